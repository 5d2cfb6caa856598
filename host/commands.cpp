// The commands of ftpsh and what each one asks of the module.
#include "host/commands.h"

#include <cctype>
#include <cstdio>

#include "host/fs_error_text.h"
#include "host/host_window.h"
#include "host/protocol_window.h"

namespace ftpsh {

namespace {

constexpr const char* kHelp =
    "Commands:\n"
    "  open [ftp://][user[:password]@]host[:port] [account]\n"
    "                      connect and log on; a missing user name or password is asked\n"
    "                      for by the module's own prompts\n"
    "  close               log off and close the connection\n"
    "  cd DIR              change the remote working directory\n"
    "  pwd                 print the remote working directory\n"
    "  mkdir DIR           make a remote directory\n"
    "  rmdir DIR           remove a remote directory\n"
    "  rm FILE             delete a remote file\n"
    "  rename OLD NEW      rename a remote file or directory\n"
    "                      (names with blanks go in double quotes: cd \"my dir\")\n"
    "  system              print the remote system the connection uses\n"
    "  ls [PATTERN]        list the remote directory, or what PATTERN names: one name a\n"
    "                      line, \"/\" after directories\n"
    "  dir [PATTERN]       the same listing, each entry as the server's listing line\n"
    "  glob PATTERN        the names the server matches to PATTERN, with their paths\n"
    "  info NAME...        the server's listing lines of each NAME\n"
    "  attr NAME           whether NAME is a directory or a file, with its type and\n"
    "                      structure where the server tells them\n"
    "  quote LINE          send LINE to the server as typed into the protocol window\n"
    "  protocol on|off     show or close the protocol window (its lines are printed)\n"
    "  answer DIALOG STEP...\n"
    "                      answer the next DIALOG shown: ID=TEXT types or chooses, a number\n"
    "                      or a button's label clicks (answer USER_PASSWORD 500=secret OK)\n"
    "  help                this list\n"
    "  quit                close the connection and leave\n"
    "\n"
    "Passive mode: with SupportPasv=1 in section FTP_Protocol of the settings file\n"
    "  %s\n"
    "data connections are opened with PASV. The module reads the key only when it detects\n"
    "the remote system itself, so not for a connection opened with --host-type.\n"
    "\n"
    "Listings: the module reads the server's LIST lines. Started with --no-parse-dirs (or\n"
    "with ParseDirectories=0 in the settings file) it asks for bare names (NLST) instead\n"
    "and asks the server whether each is a directory; dir then shows the names.\n";

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The text after the command word.
std::string RestAfterWord(const std::string& line) {
    size_t start = line.find_first_not_of(" \t");
    size_t end = line.find_first_of(" \t", start);
    if (end == std::string::npos) return "";
    size_t rest = line.find_first_not_of(" \t", end);
    return rest == std::string::npos ? "" : line.substr(rest);
}

}  // namespace

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
    return "ftpsh " + session_.HostName() + "> ";
}

void Shell::End() { session_.Close(); }

CommandResult Shell::Run(const std::string& line) {
    size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == '#') return CommandResult::Done;
    const std::string word = line.substr(start, line.find_first_of(" \t", start) - start);
    const std::string command = Lower(word);
    // quote sends its text as it is; the other commands take words.
    std::vector<std::string> words;
    if (command != "quote" && !SplitWords(line, words)) {
        Complain("a quote is not closed: " + line);
        return CommandResult::Failed;
    }
    CommandResult result;
    if (command == "open") {
        result = Open(words);
    } else if (command == "close") {
        result = Close();
    } else if (command == "quote") {
        result = Quote(RestAfterWord(line));
    } else if (command == "answer") {
        result = Answer(RestAfterWord(line));
    } else if (command == "protocol") {
        result = Protocol(words);
    } else if (command == "cd") {
        result = ChangeRemoteDirectory(words);
    } else if (command == "pwd") {
        result = PrintRemoteDirectory(words);
    } else if (command == "mkdir") {
        result = MakeRemoteDirectory(words);
    } else if (command == "rmdir") {
        result = RemoveRemoteDirectory(words);
    } else if (command == "rm") {
        result = DeleteRemoteFile(words);
    } else if (command == "rename") {
        result = RenameRemote(words);
    } else if (command == "system") {
        result = ShowSystem(words);
    } else if (command == "ls") {
        result = List(words, false, ListingShow::Names);
    } else if (command == "dir") {
        result = List(words, false, ListingShow::Lines);
    } else if (command == "glob") {
        result = List(words, true, ListingShow::Names);
    } else if (command == "info") {
        result = ShowFileInfo(words);
    } else if (command == "attr") {
        result = ShowAttributes(words);
    } else if (command == "help" || command == "?") {
        result = Help();
    } else if (command == "quit" || command == "exit" || command == "bye") {
        return CommandResult::Quit;
    } else {
        Complain("unknown command \"" + word + "\" (try help)");
        return CommandResult::Failed;
    }
    // What the module left to the host's message loop (a protocol window's close) runs now.
    DispatchWaitingMessages();
    return result;
}

CommandResult Shell::Open(const std::vector<std::string>& words) {
    if (words.size() < 2 || words.size() > 3) {
        Complain("usage: open [ftp://][user[:password]@]host[:port] [account]");
        return CommandResult::Failed;
    }
    if (module_.open == nullptr) {
        Complain("open: the module offers no xfsopen");
        return CommandResult::Failed;
    }
    if (session_.Connected()) {
        Complain("open: already connected to " + session_.HostName() + "; close first");
        return CommandResult::Failed;
    }
    std::string error;
    auto address = ParseFtpAddress(words[1], error);
    if (!address) {
        Complain("open: " + error);
        return CommandResult::Failed;
    }
    const std::string account = words.size() == 3 ? words[2] : "";
    if (address->user.value_or("").size() >= kLogonTextRoom ||
        address->password.value_or("").size() >= kLogonTextRoom ||
        account.size() >= kLogonTextRoom) {
        Complain("open: user name, password and account hold at most " +
                 std::to_string(kLogonTextRoom - 1) + " characters");
        return CommandResult::Failed;
    }

    uint32_t flags = choices_.overrides.Apply(OpenFlagsFromSettings(SettingsPath()));
    if (choices_.showProtocol) flags |= OPEN_SHOW_PROTOCOL;
    const int32_t result = session_.Open(*address, account, flags, choices_.hostType);
    if (result < 0) {
        Complain("open: " + DescribeFsError(result));
        return CommandResult::Failed;
    }
    std::printf("Connected to %s port %u as %s (remote system %s).\n", session_.HostName().c_str(),
                static_cast<unsigned>(session_.Port()), session_.User().c_str(),
                HostTypeName(session_.HostType()).c_str());
    std::fflush(stdout);
    return CommandResult::Done;
}

CommandResult Shell::Close() {
    if (!session_.Connected()) {
        Complain("close: not connected");
        return CommandResult::Failed;
    }
    std::string host = session_.HostName();
    session_.Close();
    std::printf("Closed the connection to %s.\n", host.c_str());
    std::fflush(stdout);
    return CommandResult::Done;
}

CommandResult Shell::Quote(const std::string& rest) {
    if (rest.empty()) {
        Complain("usage: quote LINE");
        return CommandResult::Failed;
    }
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

CommandResult Shell::Answer(const std::string& rest) {
    std::string error;
    auto answer = ParseAnswer(rest, error);
    if (!answer) {
        Complain("answer: " + error);
        return CommandResult::Failed;
    }
    answers_.Add(std::move(*answer));
    return CommandResult::Done;
}

CommandResult Shell::Protocol(const std::vector<std::string>& words) {
    const std::string choice = words.size() == 2 ? Lower(words[1]) : "";
    if (choice != "on" && choice != "off") {
        Complain("usage: protocol on|off");
        return CommandResult::Failed;
    }
    // Remembered for the next connections too.
    choices_.showProtocol = choice == "on";
    if (!session_.Connected()) return CommandResult::Done;
    if (module_.showProtocol == nullptr) {
        Complain("protocol: not available yet (the module offers no protocol window)");
        return CommandResult::Failed;
    }
    LockedRecord record(session_.recordHandle());
    int32_t result = module_.showProtocol(choices_.showProtocol ? 1 : 0, record.get());
    if (result < 0) {
        Complain("protocol: " + DescribeFsError(result));
        return CommandResult::Failed;
    }
    return CommandResult::Done;
}

CommandResult Shell::Help() {
    std::printf(kHelp, SettingsPath().c_str());
    std::fflush(stdout);
    return CommandResult::Done;
}

}  // namespace ftpsh
