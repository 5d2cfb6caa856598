// What the module's sizeable windows (the protocol window, the status dialog) share of
// their layout: where a control lies in the client area, and the measures taken from a
// window as it is first shown, which it keeps as the user sizes it.
#pragma once

#include "platform/platform.h"

// A control's rectangle in the client coordinates of the window.
RECT ClientRectOf(HWND window, HWND control);

// The smallest size the user may give a window (its size as the template made it) and the
// margin between the bottom of a control and the bottom of the client area.
struct SizeLimits {
    bool valid = false;
    LONG minWidth = 0;
    LONG minHeight = 0;
    LONG bottomMargin = 0;
};

// The limits of a window as it is now, the margin measured under `bottomControl`.
SizeLimits MeasureSizeLimits(HWND window, HWND bottomControl);

// WM_GETMINMAXINFO: the minimum tracking size from the limits. False, leaving the request
// to the default handling, while the limits are not valid.
bool ApplyMinimumSize(const SizeLimits& limits, LPARAM minMaxInfo);
