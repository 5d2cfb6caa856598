// ftpsh's commands, from one table: open, close, the commands on remote paths (cd, pwd,
// mkdir, rmdir, rm, rename) and system, the listing commands (ls, dir, glob, info, attr),
// the copies (get, put, append, mget, mput, cat) and the local directory (lcd, lpwd),
// quote, protocol, answer, the transfer options (options, type, stru, passive), status,
// help, quit. One command line in, its messages out, and whether
// it worked.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "host/answers.h"
#include "host/connections.h"
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

    CommandResult Run(const std::string& typed);
    // The open command for an address given on ftpsh's command line.
    CommandResult OpenAddress(const std::string& address);
    // The prompt for the next interactive command.
    std::string Prompt() const;
    // Logs off, if connected.
    void End();
    // What Tab offers for `word` after `before` (completion.cpp).
    std::vector<std::string> Completions(const std::string& before, const std::string& word) const;

    // The command table (commands.cpp): dispatch, usage, help and the README's command
    // table all come from it, so adding a command is one row and its handler.
    struct Command;
    static const Command kCommands[];
    // Every command's name and aliases.
    static std::vector<std::string> CommandNames();
    // The table's rows as the README's command table writes them, one a line.
    static void PrintCommandTable();

private:
    using Words = std::vector<std::string>;
    // Every handler gets its row and the command's words, its own name first.
    using Handler = CommandResult (Shell::*)(const Command& command, const Words& words);

    CommandResult Open(const Command& command, const Words& words);
    CommandResult Close(const Command& command, const Words& words);
    CommandResult Quote(const Command& command, const Words& words);
    CommandResult Answer(const Command& command, const Words& words);
    CommandResult Protocol(const Command& command, const Words& words);
    CommandResult Help(const Command& command, const Words& words);
    CommandResult Leave(const Command& command, const Words& words);
    // Several connections at once (connections.cpp): use, connections, copy between two.
    CommandResult UseConnection(const Command& command, const Words& words);
    CommandResult ListConnections(const Command& command, const Words& words);
    CommandResult CopyBetween(const Command& command, const Words& words);

    // The commands on remote paths and the remote system (path_commands.cpp).
    CommandResult ChangeRemoteDirectory(const Command& command, const Words& words);
    CommandResult PrintRemoteDirectory(const Command& command, const Words& words);
    CommandResult MakeRemoteDirectory(const Command& command, const Words& words);
    CommandResult RemoveRemoteDirectory(const Command& command, const Words& words);
    CommandResult DeleteRemoteFile(const Command& command, const Words& words);
    CommandResult RenameRemote(const Command& command, const Words& words);
    CommandResult ShowSystem(const Command& command, const Words& words);
    // cd, mkdir, rmdir and rm: one path to the export, `done` printed when it worked.
    CommandResult OnePath(const Command& command, LONG(WINAPI* call)(LPCSTR, FsStateRecord*),
                          const std::string& path, const std::string& done);

    // The listing commands (listing_commands.cpp): ls and dir list through the directory
    // exports, glob through the glob exports; info and attr ask about single names.
    CommandResult List(const Command& command, const Words& words);
    CommandResult ShowFileInfo(const Command& command, const Words& words);
    CommandResult ShowAttributes(const Command& command, const Words& words);

    // The copies (copy_commands.cpp): get, put (put -n, append) and cat move one file, mget
    // and mput many; lcd and lpwd show and change the local directory.
    CommandResult Get(const Command& command, const Words& words);
    CommandResult Put(const Command& command, const Words& words);
    CommandResult GetMany(const Command& command, const Words& words);
    CommandResult PutMany(const Command& command, const Words& words);
    CommandResult Cat(const Command& command, const Words& words);
    CommandResult ChangeLocalDirectory(const Command& command, const Words& words);
    CommandResult PrintLocalDirectory(const Command& command, const Words& words);
    // One file between `remote` and `local` (its size, where known, for the progress line);
    // its outcome reported as `command`'s. Done, or Failed; `skipped` is set for a file the
    // user chose to skip.
    CommandResult CopyOne(const Command& command, bool download, LONG mode,
                          const std::string& remote, const std::string& local,
                          std::optional<long long> size, bool* skipped = nullptr);

    // One remote entry as a listing gave it.
    struct RemoteEntry {
        std::string name;
        std::string line;  // "" where the module set no line
        uint8_t kind;
    };
    // The entries of a directory listing (`glob` false) or a wildcard listing of `pattern`:
    // 0 or more, or the module's FsError.
    int32_t ListRemote(const std::string& pattern, bool glob, std::vector<RemoteEntry>& entries);

    // The transfer options and status (option_commands.cpp): options shows the options
    // dialog; type, stru and passive choose one option (type and stru through the dialog
    // on a connection, and for the connections opened later); status prints the status
    // dialog.
    CommandResult Options(const Command& command, const Words& words);
    CommandResult ChooseOption(const Command& command, const Words& words);
    CommandResult Passive(const Command& command, const Words& words);
    CommandResult Status(const Command& command, const Words& words);
    // Runs the options dialog of the connection and tells its outcome as `command`'s.
    CommandResult RunOptionsDialog(const Command& command);

    // Whether the command may run: a connection, and the export it needs (`offered`: the
    // module has it). Says what is wrong when not.
    bool ReadyFor(const Command& command, bool offered);

    ProtocolModule& module_;
    HWND owner_;
    AnswerBook& answers_;
    ShellChoices choices_;
    // The open connections; the commands on one connection reach the current one.
    Connections session_;
    // The remote names of the last listing (directories with '/'), for completion.
    std::vector<std::string> lastNames_;
};

// One row of the command table.
struct Shell::Command {
    const char* name;
    const char* synopsis;  // its arguments, as usage messages, help and the README show them
    size_t least, most;    // how many arguments it takes
    // Its line in help and in the README's table; null: it shares the line of the row above.
    const char* description;
    Handler run;
    const char* aliases = "";  // other names it answers to, each followed by a blank
    bool asTyped = false;      // takes the text after its name as typed, as one argument
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
