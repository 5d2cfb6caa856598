// ftpsh's commands on remote paths (cd, pwd, mkdir, rmdir, rm, rename) and system: each
// calls the module's export with the connection's state record and prints what came of it,
// or the FsError the module returned.
#include "host/commands.h"
#include "host/handed_text.h"

namespace ftpsh {

CommandResult Shell::OnePath(const Command& command, LONG(WINAPI* call)(LPCSTR, FsStateRecord*),
                             const std::string& path, const std::string& done) {
    if (!ReadyFor(command, call != nullptr)) return CommandResult::Failed;
    LockedRecord record(session_.recordHandle());
    return Report(command.name, call(path.c_str(), record.get()), done);
}

CommandResult Shell::ChangeRemoteDirectory(const Command& command, const Words& words) {
    return OnePath(command, module_.changeDirectory, words[1],
                   "Changed the directory to " + words[1] + ".");
}

CommandResult Shell::PrintRemoteDirectory(const Command& command, const Words&) {
    if (!ReadyFor(command, module_.printDirectory != nullptr)) return CommandResult::Failed;
    HGLOBAL block = nullptr;
    int32_t result;
    {
        LockedRecord record(session_.recordHandle());
        result = module_.printDirectory(record.get(), &block);
    }
    // A failed call hands over no block; one handed over anyway is freed all the same.
    const std::string directory = TakeTextBlock(block);
    return Report(command.name, result, ShownText(directory));
}

CommandResult Shell::MakeRemoteDirectory(const Command& command, const Words& words) {
    return OnePath(command, module_.makeDirectory, words[1],
                   "Made the directory " + words[1] + ".");
}

CommandResult Shell::RemoveRemoteDirectory(const Command& command, const Words& words) {
    return OnePath(command, module_.removeDirectory, words[1],
                   "Removed the directory " + words[1] + ".");
}

CommandResult Shell::DeleteRemoteFile(const Command& command, const Words& words) {
    return OnePath(command, module_.deleteFile, words[1], "Deleted " + words[1] + ".");
}

CommandResult Shell::RenameRemote(const Command& command, const Words& words) {
    if (!ReadyFor(command, module_.rename != nullptr)) return CommandResult::Failed;
    LockedRecord record(session_.recordHandle());
    return Report(command.name, module_.rename(words[1].c_str(), words[2].c_str(), record.get()),
                  "Renamed " + words[1] + " to " + words[2] + ".");
}

CommandResult Shell::ShowSystem(const Command& command, const Words&) {
    // The host type is read from the record; no export is needed.
    if (!ReadyFor(command, true)) return CommandResult::Failed;
    return Report(command.name, 0, "Remote system: " + HostTypeName(session_.HostType()));
}

}  // namespace ftpsh
