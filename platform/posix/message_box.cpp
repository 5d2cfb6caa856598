// Message boxes without a screen: whoever plays the user answers through a hook, and
// without one the box is dismissed at once as a person pressing Escape would.
#include "platform/posix/hooks.h"

#include <atomic>

namespace {

std::atomic<TvMessageBoxHook> gMessageBoxHook{nullptr};

constexpr UINT kButtonsMask = 0x0000000F;

// The answer of a box that is closed without choosing: its Cancel button where it has
// one, else the button that declines.
int DismissedAnswer(UINT type) {
    switch (type & kButtonsMask) {
        case MB_OK: return IDOK;
        case MB_YESNO: return IDNO;
        case MB_ABORTRETRYIGNORE: return IDABORT;
        default: return IDCANCEL;  // OK/Cancel, Yes/No/Cancel, Retry/Cancel
    }
}

}  // namespace

TvMessageBoxHook TvSetMessageBoxHook(TvMessageBoxHook hook) {
    return gMessageBoxHook.exchange(hook);
}

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    if (TvMessageBoxHook hook = gMessageBoxHook.load()) return hook(owner, text, caption, type);
    return DismissedAnswer(type);
}
