// ftpsh, the reference host of the Tarvo FTP protocol module: a command-line file manager
// that loads the module as a dynamic library, owns the records a host owns, and drives the
// module only through its exports, with the module's dialogs and protocol window in front
// of the user.
//
//   ftpsh [options]                     commands from the terminal (or standard input)
//   ftpsh [options] ftp://user@host     open it, then commands from the terminal
//   ftpsh [options] -c "cmd; cmd"       these commands, then leave
//   ftpsh [options] SCRIPT              the commands of a file, one a line, then leave
//
// Outside the terminal a failed command ends the run, and the exit status is 1.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "host/answers.h"
#include "host/commands.h"
#include "host/console.h"
#include "host/dialogs.h"
#include "host/host_window.h"
#include "host/module.h"
#include "host/protocol_window.h"
#include "host/settings.h"
#include "host/user_text.h"

namespace {

using namespace ftpsh;

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

constexpr const char* kUsage =
    "usage: ftpsh [options] [ftp://[user[:password]@]host[:port] | -c \"cmd; cmd\" | SCRIPT]\n"
    "options:\n"
    "  -c COMMANDS          run these commands (separated by ';') and leave\n"
    "  --answers FILE       answers for the module's dialogs, one a line\n"
    "                       (\"USER_PASSWORD 500=secret OK\", as the answer command)\n"
    "  --batch              nobody is there: dialogs without an answer are cancelled\n"
    "  --show-protocol      open the protocol window with each connection and print it\n"
    "  --host-type TYPE     the remote system (UNIX, VMS, DOS, ... as the command system\n"
    "                       names them, or 2 to 13) instead of detecting it\n"
    "  --ascii, --binary    fix the transfer type (--determine-type: determined per file)\n"
    "  --file-structure, --record-structure\n"
    "  --port-mode          send PORT for data connections (--no-port-mode: default port)\n"
    "  --parse-dirs, --no-parse-dirs\n"
    "  --local-byte8, --no-local-byte8\n"
    "  --screenshots DIR    save a record of each dialog's controls before answering it\n"
    "                       (NN-NAME.txt), on Windows its picture too (NN-NAME.bmp)\n"
    "  --charset NAME       the server's code set (UTF-8, Windows-1252, ISO-8859-1,\n"
    "                       ISO-8859-15, IBM437): names are converted to and from it and\n"
    "                       shown and typed in the terminal's own characters\n"
    "  --version            the version of ftpsh and the module it comes with\n"
    "The transfer options start from those saved in ORR.INI (section FTP_Protocol), the\n"
    "server's code set from its key ServerCodeSet.\n";

struct Arguments {
    ShellChoices shell;
    DialogChoices dialogs;
    bool batch = false;
    std::optional<std::string> commands;
    std::optional<std::string> answersFile;
    std::optional<std::string> address;
    std::optional<std::string> script;
    std::optional<std::string> charset;
};

bool ParseArguments(int argc, char** argv, Arguments& arguments) {
    struct FlagOption {
        const char* name;
        uint32_t set;
        uint32_t clear;
    };
    static constexpr FlagOption kFlagOptions[] = {
        {"--ascii", OPEN_REPRESENTATION_FIXED | OPEN_TYPE_ASCII, 0},
        {"--binary", OPEN_REPRESENTATION_FIXED, OPEN_TYPE_ASCII},
        {"--determine-type", 0, OPEN_REPRESENTATION_FIXED},
        {"--file-structure", OPEN_STRUCTURE_FILE, 0},
        {"--record-structure", 0, OPEN_STRUCTURE_FILE},
        {"--port-mode", OPEN_SEND_PORT, 0},
        {"--no-port-mode", 0, OPEN_SEND_PORT},
        {"--parse-dirs", OPEN_PARSE_DIRECTORIES, 0},
        {"--no-parse-dirs", 0, OPEN_PARSE_DIRECTORIES},
        {"--local-byte8", OPEN_LOCAL_BYTE_SIZE, 0},
        {"--no-local-byte8", 0, OPEN_LOCAL_BYTE_SIZE},
    };
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        auto value = [&](std::optional<std::string>& into) {
            if (i + 1 >= argc) {
                Complain(argument + " needs a value");
                return false;
            }
            into = argv[++i];
            return true;
        };
        bool known = false;
        for (const FlagOption& option : kFlagOptions) {
            if (argument != option.name) continue;
            if (option.set != 0) arguments.shell.overrides.Set(option.set);
            if (option.clear != 0) arguments.shell.overrides.Clear(option.clear);
            known = true;
        }
        if (known) continue;
        if (argument == "-h" || argument == "--help") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else if (argument == "--version") {
            // The number the version resources of ftpsh.exe and the DLLs carry.
            std::printf("ftpsh (Tarvo FTP) %s\n", TVFTP_VERSION);
            std::exit(0);
        } else if (argument == "--commands-markdown") {
            // Not for users: the README's command table as the commands make it, which the
            // tests compare with the README.
            Shell::PrintCommandTable();
            std::exit(0);
        } else if (argument == "-c") {
            if (!value(arguments.commands)) return false;
        } else if (argument == "--charset") {
            if (!value(arguments.charset)) return false;
        } else if (argument == "--answers") {
            if (!value(arguments.answersFile)) return false;
        } else if (argument == "--screenshots") {
            std::optional<std::string> folder;
            if (!value(folder)) return false;
            arguments.dialogs.screenshotFolder = *folder;
        } else if (argument == "--host-type") {
            std::optional<std::string> type;
            if (!value(type)) return false;
            arguments.shell.hostType = HostTypeFromText(*type);
            if (arguments.shell.hostType == 0) {
                Complain("unknown host type " + *type);
                return false;
            }
        } else if (argument == "--batch") {
            arguments.batch = true;
        } else if (argument == "--show-protocol") {
            arguments.shell.showProtocol = true;
        } else if (argument.size() > 1 && argument[0] == '-') {
            Complain("unknown option " + argument);
            return false;
        } else if (arguments.address || arguments.script) {
            Complain("only one address or script may be given");
            return false;
        } else if (argument.rfind("ftp://", 0) == 0) {
            arguments.address = argument;
        } else {
            arguments.script = argument;
        }
    }
    if (arguments.commands && (arguments.address || arguments.script)) {
        Complain("-c takes the place of an address or a script");
        return false;
    }
    return true;
}

bool LoadAnswers(const std::string& path, AnswerBook& answers) {
    std::ifstream file(path);
    if (!file) {
        Complain("cannot read the answers in " + path);
        return false;
    }
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] == '#') continue;
        std::string text = line.substr(start);
        // The lines may be written as the command is.
        if (text.rfind("answer ", 0) == 0) text = text.substr(7);
        std::string error;
        auto answer = ParseAnswer(text, error);
        if (!answer) {
            Complain(path + ":" + std::to_string(number) + ": " + error);
            return false;
        }
        answers.Add(std::move(*answer));
    }
    return true;
}

// Runs commands one after the other until one fails or asks to quit.
bool RunCommands(Shell& shell, const std::vector<std::string>& commands) {
    for (const std::string& command : commands) {
        SetCommandRunning(true);
        CommandResult result = shell.Run(command);
        SetCommandRunning(false);
        if (result == CommandResult::Quit) return true;
        if (result == CommandResult::Failed) return false;
    }
    return true;
}

// Commands typed at the prompt; a failure does not end the session. Reading from a pipe
// instead, the commands are a script.
bool RunPrompt(Shell& shell) {
    const bool terminal = InputIsTerminal();
    bool ok = true;
    for (;;) {
        auto line = ReadCommandLine(shell.Prompt());
        if (!line) {
            if (terminal) std::fputs("\n", stdout);
            return ok;
        }
        ClearInterrupts();
        SetCommandRunning(true);
        CommandResult result = shell.Run(*line);
        SetCommandRunning(false);
        if (result == CommandResult::Quit) return ok;
        if (result == CommandResult::Failed && !terminal) return false;
    }
}

std::optional<std::vector<std::string>> ReadScript(const std::string& path) {
    std::ifstream file(path);
    if (!file) return std::nullopt;
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

int main(int argc, char** argv) {
    Arguments arguments;
    if (!ParseArguments(argc, argv, arguments)) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    InstallInterruptHandling();
    const std::string codeSet =
        arguments.charset.value_or(ServerCodeSetFromSettings(SettingsPath()));
    if (!codeSet.empty()) {
        if (CodeSetNumber(codeSet) == 0) {
            Complain("unknown code set " + codeSet);
            return kExitUsage;
        }
        ChooseServerCodeSet(CodeSetNumber(codeSet));
    }

    AnswerBook answers;
    if (arguments.answersFile && !LoadAnswers(*arguments.answersFile, answers)) return kExitUsage;
    std::optional<std::vector<std::string>> script;
    if (arguments.script) {
        script = ReadScript(*arguments.script);
        if (!script) {
            Complain("cannot read the script " + *arguments.script);
            return kExitUsage;
        }
    }

    HostWindow window;
    if (!window.Create()) {
        Complain("cannot create the host window");
        return kExitFailed;
    }
    ProtocolModule module;
    if (!module.Load()) {
        Complain(module.error());
        return kExitFailed;
    }
    ProtocolView::Instance().Follow(window.handle());
    arguments.dialogs.interactive = !arguments.batch && InputIsTerminal();
    StartAnsweringDialogs(answers, arguments.dialogs);

    bool ok;
    {
        Shell shell(module, window.handle(), answers, arguments.shell);
        SetCompleter([&shell](const std::string& before, const std::string& word) {
            return shell.Completions(before, word);
        });
        if (arguments.commands) {
            ok = RunCommands(shell, SplitCommands(*arguments.commands));
        } else if (script) {
            ok = RunCommands(shell, *script);
        } else {
            // An address on the command line is opened first. At a terminal the prompt follows
            // either way; commands from elsewhere are a script, which a failure ends.
            ok = true;
            if (arguments.address) {
                SetCommandRunning(true);
                ok = shell.OpenAddress(*arguments.address) == CommandResult::Done ||
                     InputIsTerminal();
                SetCommandRunning(false);
            }
            if (ok) ok = RunPrompt(shell);
        }
        shell.End();
        DispatchWaitingMessages();
        if (answers.Pending() != 0)
            Complain(std::to_string(answers.Pending()) + " dialog answer(s) not used");
    }
    StopAnsweringDialogs();
    return ok ? 0 : kExitFailed;
}
