// ftpsh's commands: open, close, the commands on remote paths (cd, pwd, mkdir, rmdir, rm,
// rename) and system, the listing commands (ls, dir, glob, info, attr), quote, answer,
// protocol, help, quit. One command line in, its messages out, and whether it worked.
#pragma once

#include <string>
#include <vector>

#include "host/answers.h"
#include "host/module.h"
#include "host/session.h"
#include "host/settings.h"

namespace ftpsh {

enum class CommandResult { Done, Failed, Quit };

struct ShellChoices {
    FlagOverrides overrides;   // from the command line, over the saved options
    bool showProtocol = false; // open the protocol window with every connection
    uint8_t hostType = kDetectHostType;  // the remote system, or detection
};

class Shell {
public:
    Shell(ProtocolModule& module, HWND owner, AnswerBook& answers, ShellChoices choices);

    CommandResult Run(const std::string& line);
    // The open command for an address given on ftpsh's command line.
    CommandResult OpenAddress(const std::string& address) { return Open({"open", address}); }
    // The prompt for the next interactive command.
    std::string Prompt() const;
    // Logs off, if connected.
    void End();

private:
    CommandResult Open(const std::vector<std::string>& words);
    CommandResult Close();
    CommandResult Quote(const std::string& rest);
    CommandResult Answer(const std::string& rest);
    CommandResult Protocol(const std::vector<std::string>& words);
    CommandResult Help();

    // The commands on remote paths and the remote system (path_commands.cpp).
    CommandResult ChangeRemoteDirectory(const std::vector<std::string>& words);
    CommandResult PrintRemoteDirectory(const std::vector<std::string>& words);
    CommandResult MakeRemoteDirectory(const std::vector<std::string>& words);
    CommandResult RemoveRemoteDirectory(const std::vector<std::string>& words);
    CommandResult DeleteRemoteFile(const std::vector<std::string>& words);
    CommandResult RenameRemote(const std::vector<std::string>& words);
    CommandResult ShowSystem(const std::vector<std::string>& words);

    // The listing commands (listing_commands.cpp): ls and dir list through the directory
    // exports, glob through the glob exports; info and attr ask about single names.
    enum class ListingShow { Names, Lines };
    CommandResult List(const std::vector<std::string>& words, bool glob, ListingShow show);
    CommandResult ShowFileInfo(const std::vector<std::string>& words);
    CommandResult ShowAttributes(const std::vector<std::string>& words);

    // Whether the command may run: `least` to `most` words after its own, a connection, and
    // the export it needs (`offered`: the module has it). Says what is wrong when not.
    bool ReadyFor(const std::vector<std::string>& words, size_t least, size_t most,
                  const char* usage, bool offered);
    bool ReadyFor(const std::vector<std::string>& words, size_t arguments, const char* usage,
                  bool offered) {
        return ReadyFor(words, arguments, arguments, usage, offered);
    }

    ProtocolModule& module_;
    HWND owner_;
    AnswerBook& answers_;
    ShellChoices choices_;
    Session session_;
};

// Splits the commands of `ftpsh -c`: ';' ends a command unless it is inside double quotes
// or written "\;".
std::vector<std::string> SplitCommands(const std::string& text);

// Prints "ftpsh: <what>" on the error output.
void Complain(const std::string& what);

// The module's result as the user sees it: `done` (when not empty) on success, else
// "<command>: error N (name)" on the error output.
CommandResult Report(const char* command, int32_t result, const std::string& done);

}  // namespace ftpsh
