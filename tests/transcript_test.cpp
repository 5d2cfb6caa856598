// Exchange tests as data. Each file of tests/transcripts holds cases; a case opens a
// connection to the scripted server through xfsopen and calls the module's exports, and
// says what the server must receive, what it sends back and what each call returns.
//
//   case NAME             starts a case; its test is FILE_NAME (FILE_NAME_N for row N)
//   vary A B... / row a b...   one test per row, with $A $B... replaced by the row's words
//   ini LINE              a line of the settings file ([FTP_Protocol] unless it names one)
//   open [KEY=VALUE...] [=> RESULT [OUT=VALUE...]]      xfsopen, by default expecting 0.
//       host= the record's HostType (default UNIX; AUTOMATIC detects), accounthost=,
//       flags=A|B (OPEN_ names without OPEN_), user= (default anonymous), password=,
//       account= (absent: none). The server greets first: greeting= (default "220
//       Scripted FTP ready."; (none) sends nothing). An open without lines of its own then plays the standard
//       logon: USER, 230, SYST answered with syst= if given, and "options": TYPE A, STRU F.
//       Outputs: host, user, password, account (as the open left them), connected.
//   call EXPORT ARG... => RESULT [OUT=VALUE...]
//       FTP_Chdir, FTP_Mkdir, FTP_Rmdir, FTP_Delete NAME; FTP_Rename OLD NEW; FTP_Pwd (dir);
//       FTP_Abort; FTP_FS_Close; FTP_Get_Attributes NAME (attr); FTP_Dir, FTP_Glob [PATTERN]
//       (open, read all, close: the count or the first error; names, '/' after a
//       directory, parted by '|'; lines, each entry's line copy or '-'); one listing
//       handle per case: FTP_Dir_Open, FTP_Glob_Open [PATTERN], FTP_Dir_Read,
//       FTP_Glob_Read COUNT (names, lines), FTP_Dir_Ioctl, FTP_Glob_Ioctl CODE VALUE,
//       FTP_Dir_Close, FTP_Glob_Close; FTP_Get_File_Info NAME... or (null) (lines, parted
//       by '|'); after every call transfer=open while a completion reply is due, else none.
//       FTP_File_Open PATH MODE, FTP_File_Read COUNT [once] (data; called again while it
//       answers FSE_WOULD_BLOCK, unless once), FTP_File_Write BYTES, FTP_File_Ioctl,
//       FTP_File_Close: one remote file per case. FTP_Passthru get PATH / put PATH BYTES
//       [mode=M] [stop=N]: PATH opened in mode M (FILE_READ, FILE_WRITE), copied to a fresh
//       local file / from one holding BYTES, the Nth yield answered with a stop, closed
//       (local: the local file afterwards; totals: each total told; close).
//       FTP_Option (options: A/I, F/R, fixed, port, parse, byte8; settings: the file's lines),
//       FTP_Status. After every call, message: the message boxes shown, "caption: text".
//       FTP_Passthru copy N:PATH M:PATH [stop=N]: a copy between the records of servers N
//       and M, the source opened to read, the destination to write, closed source first
//       (totals; closes: the two results parted by '|').
//       (null) is a null argument. RESULT is a number or an FsError name.
//   C: LINE    the client's next line (CR LF added); ending in "..." the line's beginning;
//              "C: LINE  S: REPLY" the line and the reply line it gets
//   C~ BYTES   the client's next bytes           S: LINE / S~ BYTES   the server sends
//   pause MS, close, reset, urgent BYTE          the control connection
//   hold       the server says nothing until the client closes the control connection
//   S+ LINE    the server sends the line over and over until the client closes
//   cancel MS  the host's idle callback answers -1 once, MS after the call before began
//   pasv [TEXT, % for the address], port, port default, D: LINE, D~ BYTES, data close,
//   data reset, D< BYTES (all the client sends until it closes)   the data connection
//   intruder BYTES   a third host connects from 127.0.0.2 to the PORT address, sends, closes
//   data hold  the data connection stays open, unread, to the end of the case
//   port LINE  "C: PORT 127,0,0,1,...  S: 200 PORT ok.", "C: LINE  S: 150 Here it comes.", port
//   data end   data close, "S: 226 Done."
//   convert RULE...  from this call on, incoming text goes through a stand-in code-set
//       library: worst=N (its worst case), repeat=N (each byte N times), upper, widen (0xC3
//       before bytes from 0x80), refuse=C (fails a block holding C), off (the user's option)
//   answer DIALOG STEP...  the next dialog and what the person does in it: ID=TEXT types
//       (or chooses a list item; ID= chooses none), ID?=TEXT checks a control (a list's
//       items parted by '|', '*' before the selected), ID!=on|off,enabled|disabled its
//       state, OK, Cancel, or an id to click.   ini unwritable: a settings file
//       that cannot be written
//
//   server N  the lines from here on (exchange, open and calls) are server N's (1, the
//       default, or 2); each server has its own record, and its script runs on its own
//
// Texts take \r \n \t \0 \xHH \\ \" and {TEXT*N} (TEXT N times); quoted words keep blanks.
// " ;; " parts a line into several (for the cells of a row).
// With "ini TimeoutSeconds=N" every call ends within 2N seconds and the case leaves no
// socket open.
// The record is closed at the end of a case, which sends QUIT unless the server closed
// the connection or the case already holds one. Any dialog no answer is given for fails,
// and so does a call that spins while it waits, or a listing call that returns before it
// sent its client lines.
// Every read of entries fills records that hold a pattern: a record filled must hold blocks
// of its name and line lengths, reserved 0 and the host's bytes; the records behind, and
// every record of a failed read, no block of the module's; the record behind the array,
// the pattern untouched.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>

#include "host/vault32/vault32.h"
#include "tests/codeset/stand_in_conversion.h"
#include "tests/support/escaped_text.h"
#include "tests/support/dialog_script.h"
#include "tests/support/host_fixture.h"
#include "tests/support/temp_folder.h"
#include "tests/support/thread_cpu_time.h"

using namespace tvtest;

namespace {

// The numbers are the host's contract, so they are written out here.
const std::pair<std::string, int> kNames[] = {
    {"FSE_FAILED", -1}, {"FSE_NOT_FOUND", -2}, {"FSE_STREAM_CLOSED", -9}, {"FSE_NO_MEMORY", -12},
    {"FSE_ACCESS_DENIED", -13}, {"FSE_INVALID", -22}, {"FSE_NO_SPACE", -28},
    {"FSE_NOT_SUPPORTED", -45}, {"FSE_CONNECTION_BROKEN", -57}, {"FSE_LOGON_BROKEN", -60},
    {"FSE_CANCELLED", -86}, {"FSE_DIRECTORY_TOO_LONG", -100}, {"FSE_USER_PROMPT_CANCELLED", -150},
    {"FSE_LOGON_REFUSED", -151}, {"FSE_UNEXPECTED_REPLY", -158}, {"FSE_RETRIEVE_REFUSED", -160},
    {"FSE_STORE_REFUSED", -161}, {"FSE_NAME_NOT_ALLOWED", -164},
    {"AUTOMATIC", 1}, {"DOS", 2}, {"MACINTOSH", 3}, {"MVS", 4}, {"BRANNOCK", 5}, {"OS2", 6},
    {"UNIX", 7}, {"VM", 8}, {"VMS", 9}, {"WINDOWS_NT_DOS", 10}, {"WINDOWS_NT_UNIX", 11},
    {"WINDOWS_95", 12}, {"OTHER", 13}, {"TYPE_ASCII", 1}, {"LOCAL_BYTE_SIZE", 2},
    {"STRUCTURE_FILE", 4}, {"PARSE_DIRECTORIES", 8}, {"REPRESENTATION_FIXED", 16},
    {"SEND_PORT", 32}, {"SHOW_PROTOCOL", 128}, {"OK", IDOK}, {"Cancel", IDCANCEL},
    {"FSE_EXISTS", -17}, {"FSE_WOULD_BLOCK", -35}, {"FSE_NO_RECORD_MARKER", -72},
    {"FSE_STOPPED", -152}, {"FSE_SKIP_FILE", -153}, {"FILE_READ", 1}, {"FILE_WRITE", 2},
    {"FILE_APPEND", 8}, {"FILE_RECORD", 0x40}, {"FILE_CREATE", 0x80}, {"FILE_ASCII", 0x200},
    {"FSE_BAD_LISTING", -154}, {"FSE_TIMED_OUT", -60}, {"FSE_CONVERSION", -55}, {"KIND_MASK_DIRECTORIES", 1}, {"KIND_MASK_FILES", 2},
};

// A name of the table or a number, or several joined by '|'.
std::optional<long> Number(const std::string& text) {
    long value = 0;
    for (size_t start = 0, end; start <= text.size(); start = end + 1) {
        end = std::min(text.find('|', start), text.size());
        const std::string word = text.substr(start, end - start);
        auto named = std::find_if(std::begin(kNames), std::end(kNames), [&](auto& n) { return n.first == word; });
        char* rest = nullptr;
        value |= named != std::end(kNames) ? named->second : std::strtol(word.c_str(), &rest, 0);
        if (named == std::end(kNames) && (word.empty() || *rest != '\0')) return std::nullopt;
    }
    return value;
}

// Blank-separated words, double quotes keeping blanks; unescaped, or for the cells of a row,
// which go into lines that are unescaped later, not.
std::vector<std::string> Words(const std::string& line, bool unescape = true) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false, any = false;
    for (size_t i = 0; i <= line.size(); ++i) {
        const char c = i < line.size() ? line[i] : ' ';
        if ((c == ' ' || c == '\t') && !quoted) {
            if (any) words.push_back(unescape ? Unescape(word) : word);
            word.clear();
            any = false;
            continue;
        }
        any = true;
        if (c == '\\' && i + 1 < line.size()) {
            word += line.substr(i++, 2);
        } else if (c == '"') {
            quoted = !quoted;
        } else {
            word += c;
        }
    }
    return words;
}

using Act = ScriptedServer::Step;
struct Step {
    Act act;
    std::string text, after;
    int server = -1;  // 0 or 1; -1 until the line that added it is done
};
struct Call {
    int line = 0;
    std::string name, result = "0";
    std::vector<std::string> args;
    std::map<std::string, std::string> keys;
    std::vector<std::pair<std::string, std::string>> outputs;
    bool ownLines = false;
    std::string convert;
    int server = 0;
    int cancelAfterMs = -1;
    size_t stepsEnd = 0;  // the steps before it are this call's or earlier calls'
};
struct Case {
    std::string name, file, error;
    std::vector<std::string> ini, answers;
    std::vector<Call> calls;
    std::vector<Step> steps;
};
void PrintTo(const Case& c, std::ostream* out) { *out << c.file; }

// Client lines, each followed by the server's reply; CR LF added to every line.
void Exchange(std::vector<Step>& steps, std::initializer_list<std::string> lines) {
    for (size_t i = 0; i < lines.size(); ++i) steps.push_back({i % 2 ? Act::Send : Act::Expect, lines.begin()[i] + "\r\n", ""});
}

// The TYPE and STRU that end an open without open flags.
void Options(std::vector<Step>& steps) {
    Exchange(steps, {"TYPE A", "200 Type set to A.", "STRU F", "200 Structure set to F."});
}

void StandardLogon(const Call& open, std::vector<Step>& steps) {
    Exchange(steps, {"USER " + (open.keys.count("user") ? open.keys.at("user") : "anonymous"), "230 Welcome."});
    if (open.keys.count("syst")) Exchange(steps, {"SYST", open.keys.at("syst")});
    Options(steps);
}

// The keys and values of KEY=VALUE words.
template <typename Add>
bool KeyValues(const std::vector<std::string>& words, size_t first, Add add) {
    for (size_t i = first; i < words.size(); ++i) {
        const size_t equals = words[i].find('=');
        if (equals == std::string::npos) return false;
        add(words[i].substr(0, equals), words[i].substr(equals + 1));
    }
    return true;
}

// One case from its numbered lines, with the variables of a row put in.
Case ParseCase(const std::string& file, const std::string& name,
               const std::vector<std::pair<int, std::string>>& lines,
               const std::vector<std::pair<std::string, std::string>>& variables) {
    Case c{name, file, "", {}, {}, {}, {}};
    auto fail = [&](int line, const std::string& why) {
        if (c.error.empty()) c.error = file + ":" + std::to_string(line) + ": " + why;
    };
    int server = 0;
    auto stamp = [&](int on) {
        for (Step& s : c.steps) s.server = s.server < 0 ? on : s.server;
    };
    auto endOpen = [&] {
        if (!c.calls.empty() && c.calls.back().name == "open" && !c.calls.back().ownLines) {
            StandardLogon(c.calls.back(), c.steps);
            stamp(c.calls.back().server);
        }
    };
    static const std::map<std::string, Act> kBare = {
        {"port", Act::Port}, {"port default", Act::DefaultPort}, {"close", Act::Close},
        {"reset", Act::Reset}, {"data close", Act::DataClose}, {"data reset", Act::DataReset},
        {"hold", Act::Hold}, {"data hold", Act::DataHold}};
    // The directives whose rest is the step's bytes, and what follows those.
    static const std::map<std::string, std::pair<Act, std::string>> kTexts = {
        {"S:", {Act::Send, "\r\n"}}, {"S~", {Act::Send, ""}}, {"S+", {Act::Flood, "\r\n"}},
        {"D:", {Act::DataSend, "\r\n"}}, {"D~", {Act::DataSend, ""}}, {"D<", {Act::DataReceive, ""}},
        {"intruder", {Act::Intruder, ""}}, {"pause", {Act::Pause, ""}}, {"urgent", {Act::Urgent, ""}}};
    std::vector<std::pair<int, std::string>> parted;
    for (auto [number, text] : lines) {
        for (const auto& [variable, value] : variables) {
            for (size_t at; (at = text.find("$" + variable)) != std::string::npos;) {
                text.replace(at, variable.size() + 1, value);
            }
        }
        for (size_t start = 0, end; start <= text.size(); start = end + 4) {
            end = std::min(text.find(" ;; ", start), text.size());
            if (end > start) parted.emplace_back(number, text.substr(start, end - start));
        }
    }
    for (const auto& [number, text] : parted) {
        const std::string head = text.substr(0, text.find(' '));
        const std::string rest = head.size() < text.size() ? text.substr(head.size() + 1) : "";
        // A line of the exchange: the call before it has lines of its own.
        auto step = [&](std::optional<Act> act, std::string bytes = "", std::string after = "") {
            if (c.calls.empty()) return fail(number, "an exchange before the first call");
            if (act) c.steps.push_back({*act, bytes, after});
            c.calls.back().ownLines = true;
        };
        if (head == "call" || head == "open") {
            endOpen();
            if (!c.calls.empty()) c.calls.back().stepsEnd = c.steps.size();
            Call call{number, head, "0", {}, {}, {}, false, "", server, -1, 0};
            const size_t arrow = text.find(" => ");
            std::vector<std::string> words = Words(text.substr(0, arrow));
            if (head == "call" && (words.size() < 2 || arrow == std::string::npos)) {
                fail(number, "call EXPORT ARG... => RESULT");
            } else if (head == "call") {
                call.name = words[1];
                call.args.assign(words.begin() + 2, words.end());
            } else if (!KeyValues(words, 1, [&](auto k, auto v) { call.keys[k] = v; })) {
                fail(number, "open takes KEY=VALUE words");
            }
            words = arrow == std::string::npos ? std::vector<std::string>{} : Words(text.substr(arrow + 4));
            if (!words.empty()) call.result = words[0];
            words.erase(std::remove(words.begin(), words.end(), ""), words.end());
            if (!KeyValues(words, 1, [&](auto k, auto v) { call.outputs.emplace_back(k, v); })) {
                fail(number, "an output is OUT=VALUE");
            }
            if (c.calls.empty() && head != "open") fail(number, "a case starts with open");
            if (head == "open") {
                const std::string greeting = call.keys.count("greeting") ? call.keys.at("greeting") : "220 Scripted FTP ready.";
                if (greeting != "(none)") c.steps.push_back({Act::Send, greeting + "\r\n", ""});
            }
            c.calls.push_back(call);
        } else if (head == "C:" || head == "C~") {
            // "C: LINE  S: REPLY": the line and the reply it gets.
            static const std::regex pair(R"(^(.*?)\s+S: (.*)$)");
            std::smatch reply;
            const bool paired = head == "C:" && std::regex_match(rest, reply, pair);
            const std::string line = paired ? reply[1].str() : rest;
            const bool prefix = head == "C:" && line.ends_with("...");
            step(prefix ? Act::Prefix : Act::Expect,
                 Unescape(prefix ? line.substr(0, line.size() - 3) : line + (head == "C:" ? "\r\n" : "")));
            if (paired) step(Act::Send, Unescape(reply[2].str()) + "\r\n");
        } else if (kTexts.count(head)) {
            step(kTexts.at(head).first, Unescape(rest) + kTexts.at(head).second);
        } else if (head == "cancel" && !c.calls.empty()) {
            c.calls.back().cancelAfterMs = std::stoi(rest);
        } else if (head == "pasv") {
            const size_t at = rest.find('%');
            step(Act::Passive, rest.empty() ? "227 Entering Passive Mode (" : Unescape(rest.substr(0, at)),
                 rest.empty() ? ").\r\n" : Unescape(rest.substr(at + 1)) + "\r\n");
        } else if (text == "options") {
            step(std::nullopt);
            Options(c.steps);
        } else if (kBare.count(text)) {
            step(kBare.at(text));
        } else if (head == "port" && !rest.empty()) {
            step(Act::Prefix, "PORT 127,0,0,1,"), step(Act::Send, "200 PORT ok.\r\n");
            step(Act::Expect, Unescape(rest) + "\r\n"), step(Act::Send, "150 Here it comes.\r\n"), step(Act::Port);
        } else if (text == "data end") {
            step(Act::DataClose), step(Act::Send, "226 Done.\r\n");
        } else if (head == "convert" && !c.calls.empty()) {
            c.calls.back().convert = rest;
        } else if (head == "server" && (rest == "1" || rest == "2")) {
            server = rest[0] - '1';
        } else if (head == "answer" || head == "ini") {
            (head == "ini" ? c.ini : c.answers).push_back(head == "ini" ? Unescape(rest) : rest);
        } else {
            fail(number, "unknown directive \"" + head + "\"");
        }
        stamp(server);
    }
    endOpen();
    if (c.calls.empty()) fail(0, "a case without calls");
    else c.calls.back().stepsEnd = c.steps.size();
    return c;
}

std::vector<Case> LoadCases() {
    std::vector<Case> cases;
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(TVFTP_TRANSCRIPT_DIR)) {
        if (entry.path().extension() == ".txt") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    for (const auto& path : files) {
        std::ifstream in(path);
        std::string name;
        std::vector<std::pair<int, std::string>> body;
        std::vector<std::string> columns;
        std::vector<std::vector<std::string>> rows;
        auto flush = [&] {
            std::string test = path.stem().string() + "_" + name;
            std::replace_if(test.begin(), test.end(), [](unsigned char ch) { return !std::isalnum(ch); }, '_');
            if (!name.empty() && rows.empty()) cases.push_back(ParseCase(path.filename(), test, body, {}));
            for (size_t r = 0; r < rows.size(); ++r) {
                std::vector<std::pair<std::string, std::string>> variables;
                for (size_t i = 0; i < columns.size() && i < rows[r].size(); ++i) variables.emplace_back(columns[i], rows[r][i]);
                // Longer names first, so that $AB is not taken for $A.
                std::sort(variables.begin(), variables.end(), [](auto& a, auto& b) { return a.first.size() > b.first.size(); });
                cases.push_back(ParseCase(path.filename(), test + "_" + std::to_string(r + 1), body, variables));
                if (rows[r].size() != columns.size()) cases.back().error = "a row of " + name + " does not fit vary";
            }
            body.clear(), columns.clear(), rows.clear();
        };
        int number = 0;
        for (std::string line; std::getline(in, line);) {
            ++number;
            while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
            line.erase(0, line.find_first_not_of(' '));
            if (line.empty() || line[0] == '#') continue;
            if (line.starts_with("case ")) {
                flush();
                name = line.substr(5);
            } else if (line.starts_with("vary ")) {
                columns = Words(line.substr(5));
            } else if (line.starts_with("row ")) {
                rows.push_back(Words(line.substr(4), false));
            } else {
                body.emplace_back(number, line);
            }
        }
        flush();
    }
    return cases;
}

// ---- the host's side of the calls

using Outputs = std::map<std::string, std::string>;

std::vector<std::string> gBoxes;  // the message boxes of the current call
int RecordBox(HWND, LPCSTR text, LPCSTR caption, UINT) { return gBoxes.push_back(std::string(caption) + ": " + text), IDOK; }

// The options FTP_Option leaves in the connection, and what the settings file holds.
LONG OptionOutputs(const FsStateRecord* record, LONG result, Outputs& out) {
    const FtpConnection* c = record->connection;
    out["options"] = std::string(c->currentType == TYPE_ASCII ? "A" : "I") + (c->currentStructure == STRUCTURE_RECORD ? ",R" : ",F") +
        (c->optionFlags & OPTION_REPRESENTATION_FIXED ? ",fixed" : "") + (c->stateFlags & STATE_SEND_PORT ? ",port" : "") +
        (c->optionFlags & OPTION_PARSE_DIRECTORIES ? ",parse" : "") + (c->localByteSize ? ",byte8" : "");
    std::ifstream file(getenv("TARVO_ORR_INI"));
    for (std::string line, &settings = out["settings"]; std::getline(file, line);) if (line[0] != '[') settings += (settings.empty() ? "" : "|") + line;
    return result;
}

std::string Joined(const std::string& list, const std::string& item) {
    return list.empty() ? item : list + "|" + item;
}

// One read into records that hold the host's pattern; see the rules at the top.
LONG ReadEntries(HostHandleBlock* block, LONG count, bool glob, Outputs& out) {
    std::vector<DirEntry> entries(static_cast<size_t>(std::max<LONG>(count, 0)) + 1);
    std::memset(entries.data(), 0xA5, entries.size() * sizeof(DirEntry));
    const DirEntry host = entries[0];
    out.try_emplace("names"), out.try_emplace("lines");
    const LONG read = glob ? FTP_Glob_Read(block, entries.data(), count) : FTP_Dir_Read(block, entries.data(), count);
    auto text = [](HGLOBAL copy, uint16_t length) {
        std::string text = static_cast<const char*>(GlobalLock(copy));
        GlobalUnlock(copy);
        EXPECT_TRUE(text.size() == length && GlobalSize(copy) == length + 1u) << "the block of " << text;
        GlobalFree(copy);
        return text;
    };
    for (size_t i = 0; i < entries.size(); ++i) {
        DirEntry& entry = entries[i];
        EXPECT_TRUE(std::memcmp(entry.hostData, host.hostData, sizeof entry.hostData) == 0 &&
                    std::memcmp(entry.hostData2, host.hostData2, sizeof entry.hostData2) == 0) << "record " << i;
        if (static_cast<LONG>(i) < read) {
            const std::string kind = entry.kind == ENTRY_DIRECTORY ? "/" : entry.kind == ENTRY_FILE ? "" : "?" + std::to_string(entry.kind);
            out["names"] = Joined(out["names"], text(entry.name, entry.nameLength) + kind);
            out["lines"] = Joined(out["lines"], entry.line == host.line ? "-" : text(entry.line, entry.lineLength));
            EXPECT_EQ(entry.reserved, 0) << "record " << i;
        } else if (i + 1 == entries.size()) {
            EXPECT_EQ(std::memcmp(&entry, &host, sizeof entry), 0) << "the record behind the array";
        } else {
            EXPECT_TRUE((entry.name == host.name || (read < 0 && entry.name == nullptr)) &&
                        (entry.line == host.line || (read < 0 && entry.line == nullptr))) << "record " << i;
        }
    }
    return read;
}

// FTP_Dir_Open or FTP_Glob_Open on `handle` with the pattern in a block of its own.
LONG OpenWithPattern(HostRecord& host, HGLOBAL handle, const std::vector<std::string>& args, bool glob) {
    HGLOBAL pattern = nullptr;
    if (!args.empty() && args[0] != "(null)") {
        pattern = GlobalAlloc(GHND, args[0].size() + 1);
        lstrcpyA(static_cast<char*>(GlobalLock(pattern)), args[0].c_str());
        GlobalUnlock(pattern);
    }
    const void* before = static_cast<HostHandleBlock*>(GlobalLock(handle))->handleSlot;
    GlobalUnlock(handle);
    const LONG result = glob ? FTP_Glob_Open(handle, pattern, host.handle()) : FTP_Dir_Open(handle, pattern, host.handle());
    if (result < 0) {
        EXPECT_EQ(static_cast<HostHandleBlock*>(GlobalLock(handle))->handleSlot, before) << "a failed open links a handle";
        GlobalUnlock(handle);
    }
    EXPECT_EQ(host.LockCount(), 0u) << "the open leaves the record locked";
    if (pattern != nullptr) GlobalFree(pattern);
    return result;
}

LONG Listing(HostRecord& host, const std::vector<std::string>& args, bool glob, Outputs& out) {
    HGLOBAL handle = GlobalAlloc(GHND, sizeof(HostHandleBlock));
    LONG result = OpenWithPattern(host, handle, args, glob);
    auto* block = static_cast<HostHandleBlock*>(GlobalLock(handle));
    for (LONG read = 1; result >= 0 && read > 0;) {
        read = ReadEntries(block, 8, glob, out);
        result = read < 0 ? read : result + read;
        const LONG closed = read > 0 ? 0 : glob ? FTP_Glob_Close(block) : FTP_Dir_Close(block);
        if (result >= 0 && closed < 0) result = closed;
    }
    GlobalUnlock(handle);
    GlobalFree(handle);
    return result;
}

// The listing handle of a case, kept locked from its first use to the end of the case.
HGLOBAL gListing;
HostHandleBlock* gListingBlock;

LONG ListingCall(HostRecord& host, const Call& call, Outputs& out) {
    const bool glob = call.name.starts_with("FTP_Glob");
    const std::string op = call.name.substr(glob ? 9 : 8);
    if (gListing == nullptr) gListingBlock = static_cast<HostHandleBlock*>(GlobalLock(gListing = GlobalAlloc(GHND, sizeof(HostHandleBlock))));
    if (op == "Open") return OpenWithPattern(host, gListing, call.args, glob);
    EXPECT_TRUE(op == "Read" || op == "Ioctl" || op == "Close") << "no export " << call.name;
    const auto arg = [&](size_t i) { return Number(i < call.args.size() ? call.args[i] : "0").value_or(0); };
    const LONG result = op == "Read"    ? ReadEntries(gListingBlock, arg(0), glob, out)
                        : op == "Ioctl" ? (glob ? FTP_Glob_Ioctl : FTP_Dir_Ioctl)(gListingBlock, arg(0), arg(1))
                                        : (glob ? FTP_Glob_Close : FTP_Dir_Close)(gListingBlock);
    EXPECT_TRUE(op != "Close" || gListingBlock->handleSlot == nullptr) << "a closed listing stays linked";
    EXPECT_EQ(host.LockCount(), 0u) << call.name << " leaves the record locked";
    return result;
}

std::string gInfoLines;
constexpr DWORD kHostValue = 0xC0FFEE42;
LONG CALLBACK CollectInfoLine(LPCSTR line, int length, DWORD hostValue) {
    gInfoLines = Joined(gInfoLines, line);
    EXPECT_TRUE(length == lstrlenA(line) && hostValue == kHostValue) << line;
    return 0;
}

LONG FileInfo(HostRecord& host, const std::vector<std::string>& args, Outputs& out) {
    HMODULE vault = LoadLibraryA("VAULT32.DLL");
    auto create = reinterpret_cast<decltype(&CreateNameList)>(reinterpret_cast<void*>(GetProcAddress(vault, "CreateNameList")));
    auto release = reinterpret_cast<decltype(&FreeNameList)>(reinterpret_cast<void*>(GetProcAddress(vault, "FreeNameList")));
    if (create == nullptr || release == nullptr) {
        ADD_FAILURE() << "VAULT32.DLL cannot be loaded";
        return 0;
    }
    std::vector<LPCSTR> names;
    for (const std::string& arg : args) names.push_back(arg.c_str());
    const bool none = args.size() == 1 && args[0] == "(null)";
    HGLOBAL list = none ? nullptr : create(names.data(), static_cast<UINT>(names.size()));
    gInfoLines.clear();
    host->hostValue = kHostValue;
    const LONG result = FTP_Get_File_Info(list, host.get(), CollectInfoLine);
    out["lines"] = gInfoLines;
    EXPECT_TRUE(none || (GlobalFlags(list) & GMEM_LOCKCOUNT) == 0) << "the name list is left locked";
    EXPECT_TRUE(none || release(list));
    FreeLibrary(vault);
    return result;
}

// The remote file of a case.
HostHandleBlock gFile;

LONG FileCall(const Call& call, FsStateRecord* record, Outputs& out) {
    const auto& a = call.args;
    if (call.name == "FTP_File_Open") return FTP_File_Open(&gFile, a.at(0).c_str(), record, Number(a.at(1)).value_or(0), 0);
    if (call.name == "FTP_File_Write") return FTP_File_Write(&gFile, a.at(0).data(), static_cast<LONG>(a.at(0).size()));
    if (call.name == "FTP_File_Ioctl") return FTP_File_Ioctl(&gFile, 0, 0);
    if (call.name == "FTP_File_Close") return FTP_File_Close(&gFile);
    std::string data(std::stoul(a.at(0)), '\0');
    LONG result = FSE_WOULD_BLOCK;
    for (int tries = 0; result == FSE_WOULD_BLOCK && tries < 500; ++tries) {
        if (tries > 0) Sleep(10);
        result = FTP_File_Read(&gFile, data.data(), static_cast<LONG>(data.size()));
        if (a.size() > 1 && a[1] == "once") break;
    }
    out["data"] = data.substr(0, result > 0 ? result : 0);
    return result;
}

std::string gTotals;
int gYields = 0, gStopAt = 0;
LONG CALLBACK CopyProgress(DWORD, LONG code, LONG, LONG value) {
    if (code == PROGRESS_CODE_TOTAL) gTotals = Joined(gTotals, std::to_string(value));
    return code == PROGRESS_CODE_YIELD && ++gYields == gStopAt ? -1 : 0;
}

LONG Copy(HostHandleBlock* from, FsStateRecord* source, HostHandleBlock* to, FsStateRecord* destination) {
    auto context = std::make_unique<CopyContext>();
    context->source = source, context->destination = destination;
    context->progress = CopyProgress;
    return FTP_Passthru(from, to, context.get());
}

// A copy as a host makes one: the remote file opened, the copy, the remote file closed.
LONG Passthru(FsStateRecord* record, const std::vector<std::string>& args, Outputs& out) {
    const bool get = args.at(0) == "get";
    std::map<std::string, std::string> keys{{"mode", get ? "FILE_READ" : "FILE_WRITE"}, {"stop", "0"}};
    for (size_t i = get ? 2 : 3; i < args.size(); ++i) keys[args[i].substr(0, args[i].find('='))] = args[i].substr(args[i].find('=') + 1);
    gTotals.clear(), gYields = 0, gStopAt = std::stoi(keys["stop"]);
    TempFolder folder;
    WriteFile(folder / "local", get ? "" : args.at(2));
    HostLocalFile local{_lopen((folder / "local").c_str(), OF_READWRITE), {}, 0};
    FsStateRecord localRecord{};
    localRecord.fsKind = FS_KIND_LOCAL;
    HostHandleBlock localFile{0, &local}, remote{};
    LONG result = FTP_File_Open(&remote, args.at(1).c_str(), record, Number(keys["mode"]).value_or(0), 0);
    if (result >= 0) {
        result = get ? Copy(&remote, record, &localFile, &localRecord) : Copy(&localFile, &localRecord, &remote, record);
        out["close"] = std::to_string(FTP_File_Close(&remote));
    }
    _lclose(local.file);
    out["local"] = ReadFile(folder / "local"), out["totals"] = gTotals;
    return result;
}

// A copy between two servers as a host makes one: both remote files opened, the copy, both
// closed, the source first.
LONG CopyBetween(const std::unique_ptr<HostRecord>* hosts, const std::vector<std::string>& args, Outputs& out) {
    gTotals.clear(), gYields = 0, gStopAt = args.size() > 3 ? std::stoi(args[3].substr(5)) : 0;
    HostHandleBlock files[2]{};
    FsStateRecord* records[2];
    LONG result = 0;
    for (int i = 0; i < 2 && result >= 0; ++i) {
        const std::string& side = args.at(i + 1);
        records[i] = hosts[side[0] - '1']->get();
        result = FTP_File_Open(&files[i], side.substr(2).c_str(), records[i], i == 0 ? 1 : 2, 0);
    }
    if (result < 0) return result;
    result = Copy(&files[0], records[0], &files[1], records[1]);
    out["closes"] = std::to_string(FTP_File_Close(&files[0])) + "|" + std::to_string(FTP_File_Close(&files[1]));
    out["totals"] = gTotals;
    return result;
}

// The host's idle callback: -1 once, when the call's cancel time has come.
std::optional<std::chrono::steady_clock::time_point> gCancelAt;
LONG CALLBACK CancellingIdle() {
    const bool cancel = gCancelAt && std::chrono::steady_clock::now() >= *gCancelAt;
    return cancel ? (gCancelAt.reset(), -1) : 0;
}

LONG Open(const Call& call, uint16_t port, std::unique_ptr<HostRecord>& host, Outputs& out) {
    auto key = [&](const char* name, const char* otherwise) {
        return call.keys.count(name) ? call.keys.at(name) : otherwise;
    };
    host = std::make_unique<HostRecord>("127.0.0.1", Number(key("host", "UNIX")).value_or(0));
    OpenParameters parameters = Parameters(port, Number(key("flags", "0")).value_or(0),
                                           Number(key("accounthost", "UNIX")).value_or(0));
    parameters.idleCallback = CancellingIdle;
    const char* names[] = {"user", "password", "account"};
    LogonText texts[] = {LogonText(key("user", "anonymous")), LogonText(key("password", "")),
                         LogonText(key("account", ""))};
    char* given[3];
    for (int i = 0; i < 3; ++i) {
        const bool none = (i > 0 && !call.keys.count(names[i])) || key(names[i], "") == "(null)";
        given[i] = none ? nullptr : texts[i].text;
    }
    const LONG result = xfsopen(host->handle(), 0, given[0], given[1], given[2], &parameters);
    const auto type = std::find_if(std::begin(kNames), std::end(kNames), [&](auto& n) { return n.second == (*host)->hostType; });
    out["host"] = (*host)->hostType != 0 && type != std::end(kNames) ? type->first : std::to_string((*host)->hostType);
    out["connected"] = host->connection() != nullptr ? "yes" : "no";
    for (int i = 0; i < 3; ++i) out[names[i]] = texts[i].str();
    return result;
}

LONG Perform(const Call& call, uint16_t port, std::unique_ptr<HostRecord>* hosts, Outputs& out) {
    std::unique_ptr<HostRecord>& host = hosts[call.server];
    if (call.name == "open") return Open(call, port, host, out);
    if (call.name == "FTP_Passthru" && call.args.at(0) == "copy") return CopyBetween(hosts, call.args, out);
    const auto& a = call.args;
    const char* arg[2];
    for (size_t i = 0; i < 2; ++i) arg[i] = i < a.size() && a[i] != "(null)" ? a[i].c_str() : nullptr;
    FsStateRecord* record = host->get();
    if (call.name == "FTP_Chdir") return FTP_Chdir(arg[0], record);
    if (call.name == "FTP_Mkdir") return FTP_Mkdir(arg[0], record);
    if (call.name == "FTP_Rmdir") return FTP_Rmdir(arg[0], record);
    if (call.name == "FTP_Delete") return FTP_Delete(arg[0], record);
    if (call.name == "FTP_Rename") return FTP_Rename(arg[0], arg[1], record);
    if (call.name == "FTP_Abort") return FTP_Abort(record);
    if (call.name == "FTP_FS_Close") return FTP_FS_Close(record);
    if (call.name == "FTP_Status") return FTP_Status(record);
    if (call.name == "FTP_Option") return OptionOutputs(record, FTP_Option(record), out);
    if (call.name == "FTP_Dir" || call.name == "FTP_Glob") return Listing(*host, a, call.name == "FTP_Glob", out);
    if (call.name.starts_with("FTP_Dir_") || call.name.starts_with("FTP_Glob_")) return ListingCall(*host, call, out);
    if (call.name == "FTP_Get_File_Info") return FileInfo(*host, a, out);
    if (call.name.starts_with("FTP_File_")) return FileCall(call, record, out);
    if (call.name == "FTP_Passthru") return Passthru(record, a, out);
    if (call.name == "FTP_Pwd") {
        HGLOBAL block = reinterpret_cast<HGLOBAL>(1);
        const LONG result = FTP_Pwd(record, &block);
        EXPECT_EQ(block == nullptr, result != 0) << "a block exactly when the result is 0";
        if (block == nullptr || result != 0) return result;
        EXPECT_EQ(GlobalSize(block), SIZE_T{320});
        out["dir"] = static_cast<const char*>(GlobalLock(block));
        GlobalFree(block);
        return result;
    }
    if (call.name == "FTP_Get_Attributes") {
        AttributeRecord attributes;
        std::memset(&attributes, 0xEE, sizeof attributes);
        const LONG result = FTP_Get_Attributes(arg[0], record, &attributes);
        const std::pair<int, const char*> flags[] = {{ATTR_DIRECTORY, "directory"}, {ATTR_ASCII, "ascii"},
                                                     {ATTR_IMAGE, "image"}, {ATTR_RECORD, "record"}};
        std::string& words = out["attr"];
        for (auto [flag, word] : flags) {
            if (attributes.flags & flag) words += (words.empty() ? "" : ",") + std::string(word);
        }
        words = attributes.flags == 0 ? "file" : attributes.flags == 0xEE ? "unchanged" : words;
        const std::string bytes(reinterpret_cast<const char*>(&attributes), sizeof attributes);
        EXPECT_TRUE(bytes == std::string(sizeof attributes, '\xEE') ||
                    bytes == std::string(8, '\0') + char(attributes.flags) + std::string(3, '\0')) << "the record holds more than flags";
        return result;
    }
    ADD_FAILURE() << "no export " << call.name;
    return 0;
}

class Transcript : public ::testing::TestWithParam<Case> {};

TEST_P(Transcript, Plays) {
    const Case& c = GetParam();
    ASSERT_EQ(c.error, "");
    TempFolder folder;
    std::string settings;
    for (const std::string& line : c.ini) settings += (settings.empty() && line[0] != '[' ? "[FTP_Protocol]\n" : "") + line + "\n";
    if (std::ranges::count(c.ini, "unwritable")) std::filesystem::create_directory(folder / "ORR.INI");
    else WriteFile(folder / "ORR.INI", settings);
    setenv("TARVO_ORR_INI", (folder / "ORR.INI").c_str(), 1);

    // A case with a time-out of its own also checks that its sockets are all closed.
    const auto timed = std::ranges::find_if(c.ini, [](auto& line) { return line.starts_with("TimeoutSeconds="); });
    const long timeout = timed == c.ini.end() ? 0 : std::stol(timed->substr(15));
    auto openSockets = [] {
        return std::ranges::count_if(std::filesystem::directory_iterator("/proc/self/fd"),
                                     [](auto& fd) { return std::filesystem::is_socket(fd.status()); });
    };
    ScriptedServer servers[2];
    bool used[2] = {false, false}, ends[2] = {false, false};
    for (const Call& call : c.calls) used[call.server] = true;
    const auto socketsBefore = openSockets();
    std::string urgent;
    // Where each urgent byte must come in the control stream, while that is known.
    std::vector<size_t> offsets;
    size_t received = 0;
    bool exact = true;
    // What each data connection must have received, by its number.
    std::map<size_t, std::string> dataWanted[2];
    size_t dataCounts[2] = {0, 0};
    for (const Step& step : c.steps) {
        const int s = step.server;
        servers[s].Add(step.act, step.text, step.after,
                       step.act == Act::Pause ? std::stoul(step.text) : step.act == Act::Urgent);
        ends[s] |= step.act == Act::Close || step.act == Act::Reset || step.act == Act::Hold ||
                   step.act == Act::Flood || (step.act == Act::Expect && step.text == "QUIT\r\n");
        exact &= step.act != Act::Prefix;
        received += step.act == Act::Expect ? step.text.size() : 0;
        dataCounts[s] += step.act == Act::Passive || step.act == Act::Port || step.act == Act::DefaultPort;
        if (step.act == Act::DataReceive) dataWanted[s][dataCounts[s] - 1] = step.text;
        if (step.act == Act::Urgent) {
            urgent += step.text;
            offsets.push_back(exact ? received : SIZE_MAX);
        }
    }
    for (int i = 0; i < 2; ++i) {
        if (used[i] && !ends[i]) ExpectQuit(servers[i]);
        if (used[i]) servers[i].Start();
    }
    {
        AttachedModule module;
        DialogScript person;
        const TvMessageBoxHook previousBoxHook = TvSetMessageBoxHook(&RecordBox);
        for (const std::string& answer : c.answers) {
            std::vector<std::string> words = Words(answer);
            person.Expect(words[0]);
            for (const std::string& word : std::vector(words.begin() + 1, words.end())) {
                const size_t equals = word.find('=');
                const char mark = equals != std::string::npos && equals > 0 ? word[equals - 1] : 0;
                if (mark == '!') {
                    person.Inspect([id = std::stoi(word), want = word.substr(equals + 1)](HWND dialog) {
                        const std::vector<ControlView> controls = ReadControls(dialog);
                        const ControlView* c = FindControl(controls, id);
                        EXPECT_EQ(c ? std::string(c->check == BST_CHECKED ? "on" : "off") + (c->enabled ? ",enabled" : ",disabled") : "none", want) << "control " << id;
                    });
                } else if (mark == '?') {
                    person.Check(std::stoi(word), word.substr(equals + 1));
                } else if (equals != std::string::npos) {
                    person.Enter(std::stoi(word), word.substr(equals + 1));
                } else if (!word.empty()) {
                    person.Click(static_cast<int>(Number(word).value_or(0)));
                }
            }
        }
        std::unique_ptr<HostRecord> hosts[2];
        gFile = HostHandleBlock{};
        std::optional<StandInConversion> conversion;
        size_t step = 0, lines[2] = {0, 0};
        for (const Call& call : c.calls) {
            SCOPED_TRACE(c.file + ":" + std::to_string(call.line));
            Outputs outputs;
            ScriptedServer& server = servers[call.server];
            std::unique_ptr<HostRecord>& host = hosts[call.server];
            for (const std::string& rule : Words(call.convert)) {
                if (!conversion) conversion.emplace(StandInRules{.plainDestination = host->connection()->stream.receiveBuffer});
                StandInRules& rules = StandInConversion::rules();
                const std::string value = rule.substr(rule.find('=') + 1);
                if (rule.starts_with("worst=")) rules.worstCase = std::stoi(value);
                else if (rule.starts_with("repeat=")) rules.repeat = std::stoi(value);
                else if (rule.starts_with("refuse=")) rules.refused = static_cast<unsigned char>(value[0]);
                else if (rule == "upper" || rule == "widen") (rule == "upper" ? rules.upperCase : rules.widen) = true;
                else if (rule == "off") gCodeSet.conversionDisabled = true;
                else ADD_FAILURE() << "no conversion rule " << rule;
            }
            // Every wait of a call, for the server or for a dialog, leaves the processor alone.
            const double cpu = ThreadCpuSeconds();
            const auto started = std::chrono::steady_clock::now();
            gBoxes.clear();
            if (call.cancelAfterMs >= 0) gCancelAt = started + std::chrono::milliseconds(call.cancelAfterMs);
            const long result = Perform(call, server.Port(), hosts, outputs);
            gCancelAt.reset();
            std::string& boxes = outputs["message"];
            for (const std::string& box : gBoxes) boxes += (boxes.empty() ? "" : "|") + box;
            const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - started;
            EXPECT_LT(ThreadCpuSeconds() - cpu, 0.1 + wall.count() / 10) << call.name << " spins";
            EXPECT_TRUE(timeout == 0 || wall.count() < 2.0 * timeout) << call.name << " took " << wall.count() << " s";
            // The client lines of a listing call are sent while it runs.
            for (; step < call.stepsEnd; ++step) {
                const Step& s = c.steps[step];
                lines[s.server] += s.act == Act::Prefix ? 1 : s.act == Act::Expect ? std::ranges::count(s.text, '\n') : 0;
            }
            size_t sent = 0;
            const bool listing = call.name.starts_with("FTP_Dir") || call.name.starts_with("FTP_Glob") || call.name == "FTP_Get_File_Info";
            for (int waits = 0; listing && (sent = std::ranges::count(server.ControlReceived(), '\n')) < lines[call.server] && waits < 200; ++waits) Sleep(10);
            EXPECT_TRUE(!listing || sent >= lines[call.server]) << call.name << " returned before it sent its lines";
            if (host && host->connection()) {
                const bool due = host->connection()->stateFlags & (STATE_DATA_TRANSFER | STATE_PASSIVE_CONNECTION_OPEN);
                outputs["transfer"] = due ? "open" : "none";
            }
            EXPECT_TRUE(Number(call.result).has_value()) << "no result named " << call.result;
            EXPECT_EQ(result, Number(call.result).value_or(0)) << call.name;
            for (const auto& [name, value] : call.outputs) {
                EXPECT_TRUE(outputs.count(name)) << call.name << " has no output " << name;
                EXPECT_EQ(outputs[name], value) << name;
            }
        }
        if (gListing != nullptr) {
            EXPECT_EQ(gListingBlock->handleSlot, nullptr) << "a listing is left open";
            GlobalUnlock(gListing), GlobalFree(gListing), gListing = nullptr;
        }
        hosts[0].reset(), hosts[1].reset();
        EXPECT_TRUE(person.finished()) << "a dialog answered in the transcript did not come";
        EXPECT_EQ(person.problems(), std::vector<std::string>{});
        TvSetMessageBoxHook(previousBoxHook);
    }
    for (int i = 0; i < 2; ++i) {
        if (!used[i]) continue;
        EXPECT_EQ(servers[i].Finish(), "") << "server " << i + 1;
        const std::vector<std::string> data = servers[i].DataReceived();
        for (const auto& [number, bytes] : dataWanted[i]) {
            EXPECT_EQ(number < data.size() ? data[number] : "(none)", bytes) << "server " << i + 1 << " data connection " << number;
        }
    }
    EXPECT_TRUE(timeout == 0 || openSockets() == socketsBefore) << "a socket is left open";
    const std::vector<UrgentByte> got = servers[0].UrgentReceived();
    EXPECT_EQ(got.size(), urgent.size()) << "urgent bytes";
    for (size_t i = 0; i < got.size() && i < urgent.size(); ++i) {
        EXPECT_EQ(got[i].byte, urgent[i]) << "urgent byte " << i;
        if (offsets[i] != SIZE_MAX) {
            EXPECT_EQ(got[i].offset, offsets[i]) << "urgent byte " << i;
        }
    }
    unsetenv("TARVO_ORR_INI");
}

INSTANTIATE_TEST_SUITE_P(Files, Transcript, ::testing::ValuesIn(LoadCases()),
                         [](const ::testing::TestParamInfo<Case>& info) { return info.param.name; });

}  // namespace
