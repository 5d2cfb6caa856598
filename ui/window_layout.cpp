// The layout measures of the module's sizeable windows.
#include "ui/window_layout.h"

RECT ClientRectOf(HWND window, HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    POINT topLeft{rect.left, rect.top};
    POINT bottomRight{rect.right, rect.bottom};
    ScreenToClient(window, &topLeft);
    ScreenToClient(window, &bottomRight);
    return RECT{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
}

SizeLimits MeasureSizeLimits(HWND window, HWND bottomControl) {
    RECT frame{};
    RECT client{};
    GetWindowRect(window, &frame);
    GetClientRect(window, &client);
    const RECT bottom = ClientRectOf(window, bottomControl);
    return SizeLimits{true, frame.right - frame.left, frame.bottom - frame.top,
                      client.bottom - bottom.bottom};
}

bool ApplyMinimumSize(const SizeLimits& limits, LPARAM minMaxInfo) {
    if (!limits.valid) return false;
    auto* info = reinterpret_cast<MINMAXINFO*>(minMaxInfo);
    info->ptMinTrackSize.x = limits.minWidth;
    info->ptMinTrackSize.y = limits.minHeight;
    return true;
}
