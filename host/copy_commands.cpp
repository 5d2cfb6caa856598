// ftpsh's copies, made as the file manager makes them: the remote file opened with
// FTP_File_Open, the local one by ftpsh's own file layer, the copy with FTP_Passthru and the
// remote file closed with FTP_File_Close, which reads the server's final reply. get, put
// (put -n, append) copy one file; mget and mput many in one command, so that the file type
// question's "Transfer Remaining Files as Same Type" holds for the rest of them; cat reads
// a remote file with FTP_File_Read; lcd and lpwd show and change the local directory.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "host/commands.h"
#include "host/user_text.h"
#include "host/console.h"
#include "host/copy_progress.h"
#include "host/fs_error_text.h"
#include "host/host_window.h"
#include "host/local_files.h"
#include "host/settings.h"

namespace ftpsh {

namespace {

// The module's result of one copy, and what the local file holds afterwards.
struct CopyOutcome {
    int32_t result = 0;
    std::string localProblem;  // the local file could not be opened: nothing was copied
    uint32_t total = 0;        // the bytes the module reported sent or written
    long localBytes = 0;
};

CopyOutcome CopyFile(ProtocolModule& module, HGLOBAL stateRecord, bool download, LONG mode,
                     const std::string& remotePath, const std::string& localPath,
                     std::optional<long long> size) {
    CopyOutcome outcome;
    LocalFile local;
    outcome.localProblem = download ? local.Create(LocalName(localPath))
                                    : local.OpenForReading(LocalName(localPath));
    if (!outcome.localProblem.empty()) return outcome;
    LockedRecord record(stateRecord);
    HostHandleBlock remote{};
    outcome.result = module.fileOpen(&remote, remotePath.c_str(), record.get(), mode, 0);
    if (outcome.result >= 0) {
        auto context = std::make_unique<CopyContext>();
        context->source = download ? record.get() : local.record();
        context->destination = download ? local.record() : record.get();
        context->progress = &CopyProgress::Callback;
        {
            CopyProgress progress(LastPart(download ? remotePath : localPath), size);
            outcome.result = download ? module.passthru(&remote, local.block(), context.get())
                                      : module.passthru(local.block(), &remote, context.get());
        }
        outcome.total = context->total;
        const int32_t closed = module.fileClose(&remote);
        if (outcome.result >= 0 && closed < 0) outcome.result = closed;
    }
    outcome.localBytes = local.Size();
    return outcome;
}

std::optional<long long> LocalSize(const std::string& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(LocalName(path), error);
    return error ? std::nullopt : std::optional<long long>(static_cast<long long>(size));
}

}  // namespace

CommandResult Shell::CopyOne(const Command& command, bool download, LONG mode,
                             const std::string& remote, const std::string& local,
                             std::optional<long long> size, bool* skipped) {
    const CopyOutcome outcome =
        CopyFile(module_, session_.recordHandle(), download, mode, remote, local, size);
    if (!outcome.localProblem.empty()) {
        Complain(std::string(command.name) + ": " + outcome.localProblem);
        return CommandResult::Failed;
    }
    if (outcome.result == FSE_SKIP_FILE && skipped != nullptr) {
        *skipped = true;
        std::printf("Skipped %s.\n", remote.c_str());
        std::fflush(stdout);
        return CommandResult::Done;
    }
    if (outcome.result < 0) {
        // The module leaves a partial local file as it is; the user hears how much it holds.
        std::string what = std::string(command.name) + ": " + DescribeFsError(outcome.result);
        if (download) what += "; " + std::to_string(outcome.localBytes) + " bytes of " + local + " written";
        Complain(what);
        return CommandResult::Failed;
    }
    if (download) {
        std::printf("Fetched %s to %s (%ld bytes).\n", remote.c_str(), local.c_str(), outcome.localBytes);
    } else {
        std::printf("%s %s to %s (%lu bytes sent).\n", mode == kRemoteAppend ? "Appended" : "Sent",
                    local.c_str(), remote.c_str(), static_cast<unsigned long>(outcome.total));
    }
    std::fflush(stdout);
    return CommandResult::Done;
}

CommandResult Shell::Get(const Command& command, const Words& words) {
    if (!ReadyFor(command, module_.fileOpen && module_.passthru && module_.fileClose))
        return CommandResult::Failed;
    const std::string& remote = words[1];
    // Each command starts without a file type chosen by an earlier one.
    if (module_.forgetFileType != nullptr) module_.forgetFileType(session_.recordHandle());
    // On a terminal the listing tells the size for the progress line; scripts are spared
    // the extra listing.
    std::optional<long long> size;
    std::vector<RemoteEntry> entries;
    if (OutputIsTerminal() && ListRemote(remote, false, entries) >= 0 && entries.size() == 1)
        size = SizeInListingLine(entries[0].line);
    return CopyOne(command, true, kRemoteRead, remote, words.size() > 2 ? words[2] : LastPart(remote),
                   size);
}

CommandResult Shell::Put(const Command& command, const Words& words) {
    if (!ReadyFor(command, module_.fileOpen && module_.passthru && module_.fileClose))
        return CommandResult::Failed;
    LONG mode = kRemoteWrite;
    size_t first = 1;
    if (std::string_view(command.name) == "append") {
        mode = kRemoteAppend;
    } else if (words[1] == "-n") {
        mode = kRemoteWrite | kRemoteCreate;
        first = 2;
    }
    if (words.size() <= first || words.size() > first + 2) {
        Complain("usage: put [-n] LOCAL [REMOTE]");
        return CommandResult::Failed;
    }
    const std::string& local = words[first];
    const std::string remote = words.size() > first + 1 ? words[first + 1] : LastPart(local);
    if (module_.forgetFileType != nullptr) module_.forgetFileType(session_.recordHandle());
    return CopyOne(command, false, mode, remote, local, LocalSize(local));
}

CommandResult Shell::GetMany(const Command& command, const Words& words) {
    if (!ReadyFor(command, module_.fileOpen && module_.passthru && module_.fileClose))
        return CommandResult::Failed;
    const std::string& pattern = words[1];
    std::vector<RemoteEntry> entries;
    int32_t listed = ListRemote(pattern, true, entries);
    const auto isFile = [](const RemoteEntry& entry) { return entry.kind != ENTRY_DIRECTORY; };
    if (listed >= 0 && std::none_of(entries.begin(), entries.end(), isFile)) {
        // A server that does not expand wildcards finds nothing by that name: its directory
        // is listed instead and the pattern matched here.
        const std::string last = LastPart(pattern);
        const std::string folder = pattern.substr(0, pattern.size() - last.size());
        std::vector<RemoteEntry> all;
        entries.clear();
        listed = ListRemote(folder, false, all);
        for (RemoteEntry& entry : all) {
            if (MatchesWildcards(last, entry.name)) {
                entry.name = folder + entry.name;
                entries.push_back(entry);
            }
        }
    }
    if (listed < 0) return Report(command.name, listed, "");
    // One choice of file type for all the files of this command, none from before it.
    if (module_.forgetFileType != nullptr) module_.forgetFileType(session_.recordHandle());
    int files = 0;
    for (const RemoteEntry& entry : entries) {
        if (entry.kind == ENTRY_DIRECTORY) continue;
        ++files;
        bool skipped = false;
        if (CopyOne(command, true, kRemoteRead, entry.name, LastPart(entry.name),
                    SizeInListingLine(entry.line), &skipped) != CommandResult::Done)
            return CommandResult::Failed;
    }
    if (files == 0) {
        Complain(std::string(command.name) + ": no file matches " + pattern);
        return CommandResult::Failed;
    }
    return CommandResult::Done;
}

CommandResult Shell::PutMany(const Command& command, const Words& words) {
    if (!ReadyFor(command, module_.fileOpen && module_.passthru && module_.fileClose))
        return CommandResult::Failed;
    const std::vector<std::string> files = LocalFilesMatching(words[1]);
    if (files.empty()) {
        Complain(std::string(command.name) + ": no local file matches " + words[1]);
        return CommandResult::Failed;
    }
    if (module_.forgetFileType != nullptr) module_.forgetFileType(session_.recordHandle());
    for (const std::string& file : files) {
        if (CopyOne(command, false, kRemoteWrite, LastPart(file), file, LocalSize(file)) !=
            CommandResult::Done)
            return CommandResult::Failed;
    }
    return CommandResult::Done;
}

CommandResult Shell::Cat(const Command& command, const Words& words) {
    if (!ReadyFor(command, module_.fileOpen && module_.fileRead && module_.fileClose))
        return CommandResult::Failed;
    LockedRecord record(session_.recordHandle());
    HostHandleBlock remote{};
    int32_t result = module_.fileOpen(&remote, words[1].c_str(), record.get(), kRemoteRead, 0);
    if (result < 0) return Report(command.name, result, "");
    ClearInterrupts();
    char buffer[4096];
    // A remote file read never waits in the module, so the silence is bounded here, by the
    // module's own time-out: a server that stalls the data ends the copy with -60.
    const int timeoutSeconds = TimeoutSecondsFromSettings(SettingsPath());
    const DWORD silenceLimit = static_cast<DWORD>(timeoutSeconds) * 1000;
    DWORD lastData = GetTickCount();
    for (;;) {
        result = module_.fileRead(&remote, buffer, sizeof buffer);
        if (result > 0) {
            std::fwrite(buffer, 1, static_cast<size_t>(result), stdout);
            lastData = GetTickCount();
            continue;
        }
        if (TakeInterrupt()) result = FSE_STOPPED;
        if (result == FSE_WOULD_BLOCK && timeoutSeconds > 0 && GetTickCount() - lastData >= silenceLimit)
            result = FSE_TIMED_OUT;
        if (result != FSE_WOULD_BLOCK) break;
        // Nothing has come yet: the read does not wait, so ftpsh does, keeping the module's
        // windows alive.
        DispatchWaitingMessages();
        Sleep(10);
    }
    std::fflush(stdout);
    const int32_t closed = module_.fileClose(&remote);
    return Report(command.name, result < 0 ? result : closed, "");
}

CommandResult Shell::ChangeLocalDirectory(const Command& command, const Words& words) {
    std::error_code error;
    std::filesystem::current_path(LocalName(words[1]), error);
    if (error) {
        Complain(std::string(command.name) + ": " + words[1] + ": " + error.message());
        return CommandResult::Failed;
    }
    return PrintLocalDirectory(command, words);
}

CommandResult Shell::PrintLocalDirectory(const Command&, const Words&) {
    std::error_code error;
    std::printf("Local directory: %s\n",
                HostName(std::filesystem::current_path(error).string()).c_str());
    std::fflush(stdout);
    return CommandResult::Done;
}

}  // namespace ftpsh
