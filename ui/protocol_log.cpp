// The protocol log: how requests and replies become lines of the protocol window's list
// box, with their direction prefix, passwords masked, at most 255 characters of text, and
// what follows each addition (the horizontal extent, scrolling the new line into view, the
// "Clear" button, a pump of the window's messages so that it repaints during long waits).
// The standard headers come first: the platform's socket declarations must follow them.
#include <algorithm>
#include <cstddef>
#include <string_view>

#include "ui/protocol_log.h"

#include "connection/message_pump.h"
#include "connection/ftp_connection.h"
#include "records/module_state.h"
#include "ui/protocol_window.h"
#include "ui/resources/resource_ids.h"
#include "util/orr.h"

namespace {

// The argument words whose argument never shows in the log; only the first of them that a
// request holds is masked.
constexpr const char* kMaskedWords[] = {"PASS ", "ACCT "};
constexpr int kMaskedWordLength = 5;
// Room left around the widest line, so that its last character is not under the edge.
constexpr LONG kLineWidthMargin = 4;

bool Including(HWND window, int checkBox) {
    return IsDlgButtonChecked(window, checkBox) == BST_CHECKED;
}

// Puts the prefix and at most LOG_TEXT_LIMIT characters of `text` into the connection's
// log line, which has room for exactly that.
char* ComposeLogLine(FtpConnection* connection, const char* prefix, const char* text,
                     size_t length) {
    static_assert(LOG_LINE_SIZE >= LOG_PREFIX_LENGTH + LOG_TEXT_LIMIT + 1);
    char* line = connection->logLine;
    OrrCopyBytes(prefix, line, LOG_PREFIX_LENGTH);
    const auto kept = static_cast<int32_t>(std::min<size_t>(length, LOG_TEXT_LIMIT));
    OrrCopyBytes(text, line + LOG_PREFIX_LENGTH, kept);
    line[LOG_PREFIX_LENGTH + kept] = '\0';
    return line;
}

// Where the masked argument of a request starts (counted from the start of the request),
// or -1 when its first line holds neither PASS nor ACCT.
ptrdiff_t MaskedArgumentStart(const char* request, size_t lineLength) {
    const std::string_view line(request, lineLength);
    for (const char* word : kMaskedWords) {
        size_t at = line.find(word);
        if (at != std::string_view::npos) return static_cast<ptrdiff_t>(at + kMaskedWordLength);
    }
    return -1;
}

// Lets the list box scroll sideways as far as the widest line needs.
void WidenFor(HWND window, HWND listBox, const char* line) {
    LONG width = LogLineWidth(listBox, line);
    if (width <= ProtocolWindowWidestLine(window)) return;
    SetProtocolWindowWidestLine(window, width);
    SendMessageA(listBox, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(width), 0);
}

// Adds a line; its index, or a negative value when the list box refuses it.
LRESULT AddLine(HWND window, HWND listBox, const char* line) {
    LRESULT index = SendMessageA(listBox, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
    if (index >= 0) WidenFor(window, listBox, line);
    return index;
}

// Shows the last line added and lets the window catch up. Pumping may run anything,
// closing the window included, so nothing of the window is used after it.
void AfterAdding(HWND window, HWND listBox, LRESULT lastIndex) {
    SendMessageA(listBox, LB_SETTOPINDEX, static_cast<WPARAM>(lastIndex), 0);
    EnableWindow(GetDlgItem(window, IDC_PROTOCOL_CLEAR),
                 SendMessageA(listBox, LB_GETCOUNT, 0, 0) > 0);
    PumpMessages(window);
}

}  // namespace

LONG LogLineWidth(HWND listBox, const char* line) {
    HDC dc = GetDC(listBox);
    if (dc == nullptr) return 0;
    HGDIOBJ previous = SelectObject(dc, gModule.protocolFont);
    SIZE extent{};
    if (!GetTextExtentPointA(dc, line, lstrlenA(line), &extent)) extent.cx = 0;
    if (previous != nullptr) SelectObject(dc, previous);
    ReleaseDC(listBox, dc);
    return extent.cx + kLineWidthMargin;
}

void LogRequest(FtpConnection* connection, const char* text) {
    HWND window = connection->protocolWindow;
    if (window == nullptr || text == nullptr || !Including(window, IDC_PROTOCOL_REQUESTS)) return;
    const char* lineEnd = OrrFindChar(text, '\r');
    if (lineEnd == nullptr) return;
    const auto length = static_cast<size_t>(lineEnd - text);
    char* line = ComposeLogLine(connection, LOG_REQUEST_PREFIX, text, length);

    // The whole argument up to the line end is masked, blanks included, so the log shows
    // how long the password was and nothing else of it.
    // An argument that starts beyond the characters kept has nothing to mask.
    ptrdiff_t masked = MaskedArgumentStart(text, length);
    const ptrdiff_t kept = lstrlenA(line) - LOG_PREFIX_LENGTH;
    for (ptrdiff_t at = masked; at >= 0 && at < kept; ++at) line[LOG_PREFIX_LENGTH + at] = '*';

    HWND listBox = GetDlgItem(window, IDC_PROTOCOL_LOG);
    LRESULT index = AddLine(window, listBox, line);
    if (index >= 0) AfterAdding(window, listBox, index);
}

void LogReply(FtpConnection* connection, const char* text) {
    HWND window = connection->protocolWindow;
    if (window == nullptr || text == nullptr || !Including(window, IDC_PROTOCOL_REPLIES)) return;
    HWND listBox = GetDlgItem(window, IDC_PROTOCOL_LOG);
    // Every line is measured, not only the last, so that a long line in the middle of a
    // reply can be scrolled to as well.
    LRESULT lastIndex = -1;
    for (const char* start = text;;) {
        const char* lineEnd = OrrFindChar(start, '\n');
        if (lineEnd == nullptr) break;
        char* line = ComposeLogLine(connection, LOG_REPLY_PREFIX, start,
                                    static_cast<size_t>(lineEnd - start));
        LRESULT index = AddLine(window, listBox, line);
        if (index < 0) break;
        lastIndex = index;
        start = lineEnd + 1;
    }
    if (lastIndex >= 0) AfterAdding(window, listBox, lastIndex);
}

void ClearProtocolLog(HWND window) {
    SendDlgItemMessageA(window, IDC_PROTOCOL_LOG, LB_RESETCONTENT, 0, 0);
    SendDlgItemMessageA(window, IDC_PROTOCOL_LOG, LB_SETHORIZONTALEXTENT, 0, 0);
    SetProtocolWindowWidestLine(window, 0);
    EnableWindow(GetDlgItem(window, IDC_PROTOCOL_COPY), FALSE);
    EnableWindow(GetDlgItem(window, IDC_PROTOCOL_CLEAR), FALSE);
}

void HandToProtocolWindow(FtpConnection* connection, const char* text,
                          ProtocolDirection direction) {
    if (connection == nullptr || connection->protocolWindow == nullptr) return;
    if (direction == ProtocolDirection::Request) {
        LogRequest(connection, text);
    } else {
        LogReply(connection, text);
    }
}
