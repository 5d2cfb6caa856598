// What a server's greeting and answers tell about its ways beyond its system type: whether
// its STAT reply reports a file's representation, how a Windows NT server lists, and which
// of the two VMS quirks the server has.
#include <string_view>

#include "connection/detection.h"
#include "util/orr.h"

namespace {

// The servers of the maker's whose STAT reply reports a file's type and structure; their
// greetings name them right after the first '('.
constexpr std::string_view kStatReportingServers[] = {"Quorin", "Brannock"};

// Whether a word of the text, words separated by any of `separators`, equals `word`
// without regard to case.
bool HoldsWord(std::string_view text, std::string_view separators, std::string_view word) {
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of(separators, start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view candidate = text.substr(start, end - start);
        if (candidate.size() == word.size() &&
            OrrCompareBytes(candidate.data(), word.data(), static_cast<int32_t>(word.size())) ==
                0) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

// Words of the greeting are separated by blanks, and for the UCX check also by '('. The
// greeting text ends each line with an LF (a CR may come before it): a word at the end of
// a line is a word all the same.
constexpr std::string_view kWordSeparators = " \t\r\n";
constexpr std::string_view kUcxWordSeparators = "( \t\r\n";

}  // namespace

void CheckGreeting(FtpConnection* connection, const char* greetingText) {
    if (greetingText == nullptr) return;
    std::string_view text(greetingText);
    size_t open = text.find('(');
    if (open == std::string_view::npos) return;
    // The word runs up to the next blank; without a blank after it there is no word. Case
    // matters: these are the servers' own names as their greetings spell them.
    size_t end = text.find_first_of(" \t", open + 1);
    if (end == std::string_view::npos) return;
    std::string_view word = text.substr(open + 1, end - open - 1);
    for (std::string_view server : kStatReportingServers) {
        if (word == server) connection->stateFlags |= STATE_STAT_REPORTS_REPRESENTATION;
    }
}

int32_t CheckDirectoryStyle(FtpConnection* connection) {
    char text[REPLY_TEXT_BUFFER_SIZE] = {};
    SendCommand(connection, "SITE DIRSTYLE\r\n", text);
    if (OrrFindString(text, "command not implemented") != nullptr) return HOST_WINDOWS_NT_DOS;
    // The command toggles the style: "off" means it has just turned DOS-style listings off.
    if (OrrFindString(text, "off") != nullptr) return HOST_WINDOWS_NT_UNIX;
    // It turned them on; once more turns them off again. That reply tells nothing new.
    SendCommand(connection, "SITE DIRSTYLE\r\n");
    return HOST_WINDOWS_NT_UNIX;
}

uint32_t VmsQuirkFromGreeting(const char* greetingText) {
    const std::string_view text = greetingText != nullptr ? greetingText : "";
    if (HoldsWord(text, kWordSeparators, "MultiNet")) return QUIRK_BRACKETED_RMD;
    if (HoldsWord(text, kUcxWordSeparators, "UCX")) return QUIRK_LIST_BEFORE_CWD;
    return 0;
}
