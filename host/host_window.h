// ftpsh's own window: the owner window of every connection (the module parents its
// dialogs and the protocol window to it and sends it help requests and activation notices),
// and the dispatching of the thread's waiting messages between commands.
#pragma once

#include "platform/platform.h"

namespace ftpsh {

// Help requests arrive as WM_USER+1 with a help context, activation notices of the
// protocol window as WM_USER+2.
constexpr UINT kHelpRequest = WM_USER + 1;
constexpr UINT kProtocolActivated = WM_USER + 2;

class HostWindow {
public:
    HostWindow() = default;
    ~HostWindow();
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    bool Create();
    HWND handle() const { return window_; }

private:
    HWND window_ = nullptr;
};

// Runs every message waiting in the thread's queue, as the host's message loop would
// between two of the user's commands (a protocol window closed by ShowProtocolWnd goes
// with its posted close message, for one).
void DispatchWaitingMessages();

}  // namespace ftpsh
