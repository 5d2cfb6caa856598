// ftpsh's commands on remote paths (cd, pwd, mkdir, rmdir, rm, rename) and system: each
// calls the module's export with the connection's state record and prints what came of it,
// or the FsError the module returned.
#include "host/commands.h"
#include "host/handed_text.h"

namespace ftpsh {

bool Shell::ReadyFor(const std::vector<std::string>& words, size_t least, size_t most,
                     const char* usage, bool offered) {
    const std::string command = usage;
    const std::string name = command.substr(0, command.find(' '));
    if (words.size() < least + 1 || words.size() - 1 > most) {
        Complain("usage: " + command);
        return false;
    }
    if (!session_.Connected()) {
        Complain(name + ": not connected");
        return false;
    }
    if (!offered) {
        Complain(name + ": not available (the module does not offer it)");
        return false;
    }
    return true;
}

CommandResult Shell::ChangeRemoteDirectory(const std::vector<std::string>& words) {
    if (!ReadyFor(words, 1, "cd DIR", module_.changeDirectory != nullptr))
        return CommandResult::Failed;
    LockedRecord record(session_.recordHandle());
    return Report("cd", module_.changeDirectory(words[1].c_str(), record.get()),
                  "Changed the directory to " + words[1] + ".");
}

CommandResult Shell::PrintRemoteDirectory(const std::vector<std::string>& words) {
    if (!ReadyFor(words, 0, "pwd", module_.printDirectory != nullptr))
        return CommandResult::Failed;
    HGLOBAL block = nullptr;
    int32_t result;
    {
        LockedRecord record(session_.recordHandle());
        result = module_.printDirectory(record.get(), &block);
    }
    // A failed call hands over no block; one handed over anyway is freed all the same.
    const std::string directory = TakeTextBlock(block);
    return Report("pwd", result, ShownText(directory));
}

CommandResult Shell::MakeRemoteDirectory(const std::vector<std::string>& words) {
    if (!ReadyFor(words, 1, "mkdir DIR", module_.makeDirectory != nullptr))
        return CommandResult::Failed;
    LockedRecord record(session_.recordHandle());
    return Report("mkdir", module_.makeDirectory(words[1].c_str(), record.get()),
                  "Made the directory " + words[1] + ".");
}

CommandResult Shell::RemoveRemoteDirectory(const std::vector<std::string>& words) {
    if (!ReadyFor(words, 1, "rmdir DIR", module_.removeDirectory != nullptr))
        return CommandResult::Failed;
    LockedRecord record(session_.recordHandle());
    return Report("rmdir", module_.removeDirectory(words[1].c_str(), record.get()),
                  "Removed the directory " + words[1] + ".");
}

CommandResult Shell::DeleteRemoteFile(const std::vector<std::string>& words) {
    if (!ReadyFor(words, 1, "rm FILE", module_.deleteFile != nullptr))
        return CommandResult::Failed;
    LockedRecord record(session_.recordHandle());
    return Report("rm", module_.deleteFile(words[1].c_str(), record.get()),
                  "Deleted " + words[1] + ".");
}

CommandResult Shell::RenameRemote(const std::vector<std::string>& words) {
    if (!ReadyFor(words, 2, "rename OLD NEW", module_.rename != nullptr))
        return CommandResult::Failed;
    LockedRecord record(session_.recordHandle());
    return Report("rename", module_.rename(words[1].c_str(), words[2].c_str(), record.get()),
                  "Renamed " + words[1] + " to " + words[2] + ".");
}

CommandResult Shell::ShowSystem(const std::vector<std::string>& words) {
    // The host type is read from the record; no export is needed.
    if (!ReadyFor(words, 0, "system", true)) return CommandResult::Failed;
    return Report("system", 0, "Remote system: " + HostTypeName(session_.HostType()));
}

}  // namespace ftpsh
