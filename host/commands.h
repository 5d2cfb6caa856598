// ftpsh's commands: open, close, quote, answer, protocol, help, quit. One command line in,
// its messages out, and whether it worked.
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

}  // namespace ftpsh
