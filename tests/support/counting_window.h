// A headless window for tests that counts the messages dispatched to it, to show which
// waiting messages a pump took.
#pragma once

#include "platform/platform.h"

namespace tvtest {

constexpr UINT COUNTED_MESSAGE = WM_USER + 77;

class CountingWindow {
public:
    CountingWindow() {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = Procedure;
        windowClass.lpszClassName = "TvTestCountingWindow";
        RegisterClassA(&windowClass);
        window_ = CreateWindowExA(0, "TvTestCountingWindow", "", 0, 0, 0, 10, 10, nullptr, nullptr,
                                  nullptr, nullptr);
        SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~CountingWindow() { DestroyWindow(window_); }
    CountingWindow(const CountingWindow&) = delete;
    CountingWindow& operator=(const CountingWindow&) = delete;

    HWND handle() const { return window_; }
    void Post() const { PostMessageA(window_, COUNTED_MESSAGE, 0, 0); }
    int dispatched() const { return dispatched_; }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message != COUNTED_MESSAGE) return DefWindowProcA(window, message, wParam, lParam);
        ++reinterpret_cast<CountingWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA))->dispatched_;
        return 0;
    }

    HWND window_;
    int dispatched_ = 0;
};

}  // namespace tvtest
