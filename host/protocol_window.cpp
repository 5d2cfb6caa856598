// Finding the protocol window, sending typed commands through it, printing its lines.
#include "host/protocol_window.h"

#include <cstdio>

#include "host/handed_text.h"
#include "host/person.h"

namespace ftpsh {

namespace {

bool IsProtocolWindowClass(HWND window) {
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    return lstrcmpiA(className, kProtocolWindowClass) == 0;
}

}  // namespace

HWND FindProtocolWindow(HWND owner) {
    if (owner == nullptr) return nullptr;
    // The top-level windows in turn: the protocol window is one of them, owned by ours.
    for (HWND window = GetWindow(owner, GW_HWNDFIRST); window != nullptr;
         window = GetWindow(window, GW_HWNDNEXT)) {
        if (GetWindow(window, GW_OWNER) == owner && IsProtocolWindowClass(window)) return window;
    }
    return nullptr;
}

std::string SendTypedCommand(HWND protocolWindow, const std::string& line) {
    HWND edit = GetDlgItem(protocolWindow, kCommandEditId);
    HWND send = GetDlgItem(protocolWindow, kSendButtonId);
    if (edit == nullptr || send == nullptr) return "the protocol window has no command edit";
    if (!TypeInto(edit, line)) return "the command edit takes no text";
    if (TextOf(edit) != line) return "the command edit did not take the whole command";
    if (!Click(send)) return "\"Send\" cannot be clicked";
    return "";
}

ProtocolView& ProtocolView::Instance() {
    static ProtocolView view;
    return view;
}

void ProtocolView::Print(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
    // A reply line carries its code after the prefix; the last one seen tells how the
    // server answered a typed command.
    constexpr std::string_view kReplyPrefix = "<-- ";
    if (line.substr(0, kReplyPrefix.size()) == kReplyPrefix && line.size() >= 7) {
        std::string_view code = line.substr(4, 3);
        bool digits = true;
        for (char c : code) digits = digits && c >= '0' && c <= '9';
        bool last = line.size() == 7 || line[7] == ' ';
        if (digits && last) lastReplyCode_ = std::string(code);
    }
    // The text is the server's: control characters are shown, not let loose on the terminal.
    std::string shown = ShownText(line);
    shown += '\n';
    std::fwrite(shown.data(), 1, shown.size(), stdout);
    std::fflush(stdout);
}

}  // namespace ftpsh
