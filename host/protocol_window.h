// The connection's protocol window as ftpsh uses it: finding it among the windows owned
// by ftpsh's window, sending a raw command through its command edit and "Send" button as
// a user does, and printing its log lines ("--> USER bob", "<-- 331 ...") as they come.
#pragma once

#include <string>
#include <string_view>

#include "platform/platform.h"

namespace ftpsh {

// Control ids of the protocol window.
constexpr int kCommandEditId = 800;
constexpr int kSendButtonId = 1;
constexpr int kLogListId = 802;
constexpr const char* kProtocolWindowClass = "FTP_ProtocolWindow";
// The command edit holds at most this many characters of a command.
constexpr size_t kLongestTypedCommand = 124;

// The protocol window owned by `owner`, or null.
HWND FindProtocolWindow(HWND owner);

// Types `line` into the command edit and clicks "Send"; returns once the module has sent
// it and read the reply. "" on success, else what stopped it.
std::string SendTypedCommand(HWND protocolWindow, const std::string& line);

// Prints the log lines of the protocol windows owned by ftpsh's window.
class ProtocolView {
public:
    static ProtocolView& Instance();

    // Starts following the protocol windows of `owner`: each line their log accepts is
    // printed at once.
    void Follow(HWND owner);

    // The code of the last reply line printed since Forget(), or "" when none came.
    std::string LastReplyCode() const { return lastReplyCode_; }
    void Forget() { lastReplyCode_.clear(); }

    // One log line: printed without the CR that a reply line keeps, control characters
    // shown as ^X.
    void Print(std::string_view line);

private:
    std::string lastReplyCode_;
};

}  // namespace ftpsh
