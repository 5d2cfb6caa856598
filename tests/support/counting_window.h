// A headless window for tests that counts the messages dispatched to it, to show which
// waiting messages a pump took.
#pragma once

#include <map>

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
        Counts()[window_] = 0;
    }
    ~CountingWindow() {
        DestroyWindow(window_);
        Counts().erase(window_);
    }
    CountingWindow(const CountingWindow&) = delete;
    CountingWindow& operator=(const CountingWindow&) = delete;

    HWND handle() const { return window_; }
    void Post() const { PostMessageA(window_, COUNTED_MESSAGE, 0, 0); }
    int dispatched() const { return Counts()[window_]; }

private:
    static std::map<HWND, int>& Counts() {
        static std::map<HWND, int> counts;
        return counts;
    }
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == COUNTED_MESSAGE) {
            ++Counts()[window];
            return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }

    HWND window_;
};

}  // namespace tvtest
