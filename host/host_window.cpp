// ftpsh's owner window and its message handling.
#include "host/host_window.h"

#include <cstdio>

namespace ftpsh {

namespace {

constexpr const char* kClassName = "FtpshHostWindow";

LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case kHelpRequest:
            // ftpsh has no help file to open; the request is shown instead.
            std::printf("(help requested: context %ld; ftpsh has no help file)\n",
                        static_cast<long>(lParam));
            std::fflush(stdout);
            return 0;
        case kProtocolActivated: return 0;
        default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

HostWindow::~HostWindow() {
    if (window_ != nullptr) DestroyWindow(window_);
}

bool HostWindow::Create() {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = HostWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kClassName;
    if (RegisterClassA(&windowClass) == 0) return false;
    // Never shown: a console program's stand-in for the file manager's main window.
    window_ = CreateWindowExA(0, kClassName, "ftpsh", WS_OVERLAPPEDWINDOW, 0, 0, 320, 200,
                              nullptr, nullptr, instance, nullptr);
    return window_ != nullptr;
}

void DispatchWaitingMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

}  // namespace ftpsh
