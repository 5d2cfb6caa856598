// The command table of ftpsh, its dispatch, help and usage, and the commands that are not
// about remote paths or listings.
#include "host/commands.h"
#include "host/user_text.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string_view>

#include "host/dialogs.h"
#include "host/fs_error_text.h"
#include "host/host_window.h"
#include "host/protocol_window.h"
#include "host/vault32/vault32.h"

namespace ftpsh {

constexpr Shell::Command Shell::kCommands[] = {
    {"open", "[-n NAME] [ftp://][user[:password]@]host[:port] [account]", 1, 4,
     "connect and log on (one more connection, named `NAME` or by its host, made current); "
     "log off the current or the named connection",
     &Shell::Open},
    {"close", "[NAME]", 0, 1, nullptr, &Shell::Close},
    {"quit", "", 0, SIZE_MAX, nullptr, &Shell::Leave, "exit bye "},
    {"cd", "DIR", 1, 1, "remote paths (names with blanks in double quotes)",
     &Shell::ChangeRemoteDirectory},
    {"pwd", "", 0, 0, nullptr, &Shell::PrintRemoteDirectory},
    {"mkdir", "DIR", 1, 1, nullptr, &Shell::MakeRemoteDirectory},
    {"rmdir", "DIR", 1, 1, nullptr, &Shell::RemoveRemoteDirectory},
    {"rm", "FILE", 1, 1, nullptr, &Shell::DeleteRemoteFile},
    {"rename", "OLD NEW", 2, 2, nullptr, &Shell::RenameRemote},
    {"system", "", 0, 0, "the remote system the connection uses", &Shell::ShowSystem},
    {"ls", "[PATTERN]", 0, 1,
     "the names in the remote directory (or what `PATTERN` names), `/` after directories",
     &Shell::List},
    {"dir", "[PATTERN]", 0, 1, "the same listing, each entry as the server's listing line",
     &Shell::List},
    {"glob", "PATTERN", 1, 1,
     "the names the server matches to `PATTERN`, with the path it puts in front", &Shell::List},
    {"info", "NAME...", 1, NAME_LIST_MAX_NAMES, "the server's listing lines of each name",
     &Shell::ShowFileInfo},
    {"attr", "NAME", 1, 1,
     "`directory`; else the type and structure the server reports (`ascii`, `image`, "
     "`record`); else `file`",
     &Shell::ShowAttributes},
    {"get", "REMOTE [LOCAL]", 1, 2,
     "copy a remote file to the local disk (as `LOCAL`, else under its own name); Ctrl-C "
     "stops the copy, and the part already written stays",
     &Shell::Get},
    {"put", "[-n] LOCAL [REMOTE]", 1, 3,
     "copy a local file to the server (as `REMOTE`, else under its own name); `-n` never "
     "replaces a remote file",
     &Shell::Put},
    {"append", "LOCAL REMOTE", 2, 2, "add a local file to the end of a remote one", &Shell::Put},
    {"mget", "PATTERN", 1, 1,
     "get each file the server matches to `PATTERN`; the file type question's choice may "
     "hold for the rest",
     &Shell::GetMany},
    {"mput", "LOCALGLOB", 1, 1, "put each local file that `LOCALGLOB` (`*`, `?`) matches",
     &Shell::PutMany},
    {"cat", "REMOTE", 1, 1, "print a remote file's bytes as the server stores them", &Shell::Cat},
    {"lcd", "DIR", 1, 1, "change the local directory; show it", &Shell::ChangeLocalDirectory},
    {"lpwd", "", 0, 0, nullptr, &Shell::PrintLocalDirectory},
    {"use", "NAME", 1, 1, "make the named connection the current one", &Shell::UseConnection},
    {"connections", "", 0, 0,
     "the open connections: name (`*` the current one), user, host, port, remote system, "
     "current directory",
     &Shell::ListConnections},
    {"copy", "[NAME:]REMOTE NAME:REMOTE", 2, 2,
     "copy a file from one server to another (the first without `NAME:` on the current "
     "connection); says whether the servers exchanged the data directly or ftpsh relayed it; "
     "Ctrl-C stops a relayed copy",
     &Shell::CopyBetween},
    {"quote", "LINE", 1, 1,
     "a command typed into the protocol window; show or close that window", &Shell::Quote, "",
     true},
    {"protocol", "on|off", 1, 1, nullptr, &Shell::Protocol},
    {"answer", "DIALOG STEP...", 0, SIZE_MAX, "the answer for the next dialog of that name",
     &Shell::Answer},
    {"options", "", 0, 0,
     "the transfer options dialog of the connection; in scripts answer `FTP_OPTIONS_DLG`",
     &Shell::Options},
    {"type", "ascii|binary|auto", 1, 1,
     "fix the transfer type, or leave it to the module; fix the structure (through the "
     "options dialog on a connection, and for the next connections)",
     &Shell::ChooseOption},
    {"stru", "file|record", 1, 1, nullptr, &Shell::ChooseOption},
    {"passive", "on|off", 1, 1,
     "data connections by `PASV` on the next connections whose remote system is detected "
     "(`SupportPasv` in the settings file)",
     &Shell::Passive},
    {"status", "", 0, 0,
     "the status dialog: host, remote system, remote directory and the server's greeting",
     &Shell::Status},
    {"help", "", 0, SIZE_MAX, "these commands and what they do", &Shell::Help, "? "},
};

namespace {

using Command = Shell::Command;

constexpr const char* kHelpNotes =
    "\n"
    "Names with blanks go in double quotes: cd \"my dir\". In an answer ID=TEXT types or\n"
    "chooses (ID=on or ID=off sets a check box or radio button), a number or a button's\n"
    "label clicks, and ? prints the dialog: answer USER_PASSWORD 500=secret OK.\n"
    "\n"
    "Passive mode: with SupportPasv=1 in section FTP_Protocol of the settings file\n"
    "  %s\n"
    "(passive on writes it) data connections are opened with PASV. The module reads the key only when it detects\n"
    "the remote system itself, so not for a connection opened with --host-type. They go to\n"
    "the server's own address, on the port the PASV reply names; PasvTrustAddress=1 in the\n"
    "same section connects to the address the reply names instead.\n"
    "\n"
    "Listings: the module reads the server's LIST lines. Started with --no-parse-dirs (or\n"
    "with ParseDirectories=0 in the settings file) it asks for bare names (NLST) instead\n"
    "and asks the server whether each is a directory; dir then shows the names.\n";

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

const Command* Find(const std::string& name) {
    for (const Command& command : Shell::kCommands) {
        if (name == command.name ||
            (' ' + std::string(command.aliases)).find(' ' + name + ' ') != std::string::npos)
            return &command;
    }
    return nullptr;
}

}  // namespace

std::vector<std::string> Shell::CommandNames() {
    std::vector<std::string> names;
    for (const Command& command : kCommands) {
        names.push_back(command.name);
        const std::string aliases = command.aliases;
        for (size_t at = 0, end; (end = aliases.find(' ', at)) != std::string::npos; at = end + 1)
            names.push_back(aliases.substr(at, end - at));
    }
    return names;
}

namespace {

std::string Usage(const Command& command) {
    return *command.synopsis == '\0' ? command.name
                                     : std::string(command.name) + ' ' + command.synopsis;
}

// Each line of help and of the README's table: the usages of the commands that share it,
// each between `quote`s, and their description.
std::vector<std::pair<std::string, std::string>> TableLines(const std::string& quote) {
    std::vector<std::pair<std::string, std::string>> lines;
    for (const Command& command : Shell::kCommands) {
        const std::string usage = quote + Usage(command) + quote;
        if (command.description != nullptr) lines.push_back({usage, command.description});
        else lines.back().first += ", " + usage;
    }
    return lines;
}

// One line of help: the usages, and from column 22 on the description (without the
// README's backquotes), wrapped before column 80.
void PrintHelpLine(const std::string& usages, std::string description) {
    constexpr size_t kColumn = 22;
    constexpr size_t kWidth = 80;
    const std::string indent = "\n" + std::string(kColumn, ' ');
    std::string text = "  " + usages;
    text += text.size() + 2 <= kColumn ? std::string(kColumn - text.size(), ' ') : indent;
    size_t lineStart = text.rfind('\n') + 1;  // 0 when the usages fit
    std::erase(description, '`');
    std::istringstream words(description);
    for (std::string word; words >> word; text += word) {
        if (text.size() - lineStart + 1 + word.size() > kWidth) {
            text += indent;
            lineStart = text.size() - kColumn;
        } else if (text.size() - lineStart > kColumn) {
            text += ' ';
        }
    }
    std::printf("%s\n", text.c_str());
}

}  // namespace

void Shell::PrintCommandTable() {
    for (const auto& [usages, description] : TableLines("`")) {
        std::string cell;  // a bar inside a cell is written "\|"
        for (char c : usages) cell += c == '|' ? std::string("\\|") : std::string(1, c);
        std::printf("| %s | %s |\n", cell.c_str(), description.c_str());
    }
}

void Complain(const std::string& what) {
    std::fflush(stdout);
    std::fprintf(stderr, "ftpsh: %s\n", what.c_str());
    std::fflush(stderr);
}

CommandResult Report(const char* command, int32_t result, const std::string& done) {
    if (result < 0) {
        Complain(std::string(command) + ": " + DescribeFsError(result));
        return CommandResult::Failed;
    }
    if (!done.empty()) std::printf("%s\n", done.c_str());
    std::fflush(stdout);
    return CommandResult::Done;
}

std::vector<std::string> SplitCommands(const std::string& text) {
    std::vector<std::string> commands;
    std::string current;
    bool quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\\' && i + 1 < text.size() && text[i + 1] == ';') {
            current += ';';
            ++i;
            continue;
        }
        if (c == '"') quoted = !quoted;
        if (c == ';' && !quoted) {
            commands.push_back(current);
            current.clear();
            continue;
        }
        current += c;
    }
    commands.push_back(current);
    return commands;
}

Shell::Shell(ProtocolModule& module, HWND owner, AnswerBook& answers, ShellChoices choices)
    : module_(module), owner_(owner), answers_(answers), choices_(choices), session_(module, owner) {}

std::string Shell::Prompt() const {
    if (!session_.Connected()) return "ftpsh> ";
    return "ftpsh " + session_.CurrentName() + "> ";
}

void Shell::End() { session_.CloseAll(); }

CommandResult Shell::OpenAddress(const std::string& address) {
    return Open(*Find("open"), {"open", address});
}

CommandResult Shell::Run(const std::string& typed) {
    const std::string line = UserToHost(typed);
    size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == '#') return CommandResult::Done;
    const std::string word = line.substr(start, line.find_first_of(" \t", start) - start);
    const Command* command = Find(Lower(word));
    Words words;
    if (command != nullptr && command->asTyped) {
        words = {word};
        const size_t rest = line.find_first_not_of(" \t", start + word.size());
        if (rest != std::string::npos) words.push_back(line.substr(rest));
    } else if (!SplitWords(line, words)) {
        Complain("a quote is not closed: " + line);
        return CommandResult::Failed;
    }
    if (command == nullptr) {
        Complain("unknown command \"" + word + "\" (try help)");
        return CommandResult::Failed;
    }
    if (words.size() - 1 < command->least || words.size() - 1 > command->most) {
        Complain("usage: " + Usage(*command));
        return CommandResult::Failed;
    }
    const CommandResult result = (this->*command->run)(*command, words);
    // What the module left to the host's message loop (a protocol window's close) runs now.
    DispatchWaitingMessages();
    return result;
}

bool Shell::ReadyFor(const Command& command, bool offered) {
    if (!session_.Connected()) {
        Complain(std::string(command.name) + ": not connected");
        return false;
    }
    if (!offered) {
        Complain(std::string(command.name) + ": not available (the module does not offer it)");
        return false;
    }
    return true;
}

CommandResult Shell::Quote(const Command&, const Words& words) {
    const std::string& rest = words[1];
    if (!session_.Connected()) {
        Complain("quote: not connected");
        return CommandResult::Failed;
    }
    if (module_.showProtocol == nullptr) {
        Complain("quote: not available yet (the module offers no protocol window)");
        return CommandResult::Failed;
    }
    if (rest.size() > kLongestTypedCommand) {
        Complain("quote: the protocol window takes at most " +
                 std::to_string(kLongestTypedCommand) + " characters");
        return CommandResult::Failed;
    }
    // Commands are typed into the protocol window, so it is opened for the command when it
    // is not open, and closed again afterwards.
    bool isOpen = false;
    if (module_.isProtocol != nullptr) {
        LockedRecord record(session_.recordHandle());
        isOpen = module_.isProtocol(record.get()) == 1;
    }
    HWND window = isOpen ? FindProtocolWindow(owner_) : nullptr;
    const bool openedHere = window == nullptr;
    if (openedHere) {
        LockedRecord record(session_.recordHandle());
        int32_t shown = module_.showProtocol(1, record.get());
        if (shown < 0) {
            Complain("quote: the protocol window did not open: " + DescribeFsError(shown));
            return CommandResult::Failed;
        }
        window = FindProtocolWindow(owner_);
        if (window == nullptr) {
            Complain("quote: the protocol window did not open");
            return CommandResult::Failed;
        }
    }
    ProtocolView::Instance().Forget();
    std::string problem = SendTypedCommand(window, rest);
    if (openedHere && session_.Connected()) {
        LockedRecord record(session_.recordHandle());
        module_.showProtocol(0, record.get());
    }
    if (!problem.empty()) {
        Complain("quote: " + problem);
        return CommandResult::Failed;
    }
    // The server's refusal is the command's failure, for scripts that test it. No reply at
    // all means the connection broke (or the user stopped the log from recording replies).
    std::string code = ProtocolView::Instance().LastReplyCode();
    if (code.empty()) {
        Complain("quote: no reply was logged");
        return CommandResult::Failed;
    }
    if (code[0] == '4' || code[0] == '5') {
        Complain("quote: the server answered " + code);
        return CommandResult::Failed;
    }
    return CommandResult::Done;
}

CommandResult Shell::Answer(const Command&, const Words& words) {
    std::string error;
    auto answer = AnswerFromWords({words.begin() + 1, words.end()}, error);
    if (!answer) {
        Complain("answer: " + error);
        return CommandResult::Failed;
    }
    answers_.Add(std::move(*answer));
    return CommandResult::Done;
}

CommandResult Shell::Protocol(const Command& command, const Words& words) {
    const std::string choice = Lower(words[1]);
    if (choice != "on" && choice != "off") {
        Complain("usage: " + Usage(command));
        return CommandResult::Failed;
    }
    // Remembered for the next connections too.
    choices_.showProtocol = choice == "on";
    if (!session_.Connected()) return CommandResult::Done;
    if (module_.showProtocol == nullptr) {
        Complain("protocol: not available yet (the module offers no protocol window)");
        return CommandResult::Failed;
    }
    // The window as it was, with its lines, before it closes.
    if (!choices_.showProtocol) {
        if (HWND window = FindProtocolWindow(owner_)) RecordWindow(window, "PROTOCOL_WINDOW");
    }
    LockedRecord record(session_.recordHandle());
    int32_t result = module_.showProtocol(choices_.showProtocol ? 1 : 0, record.get());
    if (result < 0) {
        Complain("protocol: " + DescribeFsError(result));
        return CommandResult::Failed;
    }
    return CommandResult::Done;
}

CommandResult Shell::Help(const Command&, const Words&) {
    std::printf("Commands:\n");
    for (const auto& [usages, description] : TableLines("")) PrintHelpLine(usages, description);
    std::printf(kHelpNotes, SettingsPath().c_str());
    std::fflush(stdout);
    return CommandResult::Done;
}

CommandResult Shell::Leave(const Command&, const Words&) { return CommandResult::Quit; }

}  // namespace ftpsh
