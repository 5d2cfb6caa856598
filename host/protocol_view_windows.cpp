// Following the protocol window on Windows: a hook on ftpsh's thread sees every message
// sent to its windows once it has been handled, and so every line the protocol window's
// log list box accepted, the moment the module adds it.
#include "host/protocol_window.h"

namespace ftpsh {

namespace {

HHOOK gHook = nullptr;
HWND gOwner = nullptr;

LRESULT CALLBACK AfterMessage(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        const auto* sent = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
        const bool added = sent->message == LB_ADDSTRING || sent->message == LB_INSERTSTRING;
        if (added && sent->lResult >= 0 && sent->lParam != 0 &&
            GetDlgCtrlID(sent->hwnd) == kLogListId &&
            GetParent(sent->hwnd) == FindProtocolWindow(gOwner)) {
            ProtocolView::Instance().Print(reinterpret_cast<const char*>(sent->lParam));
        }
    }
    return CallNextHookEx(gHook, code, wParam, lParam);
}

}  // namespace

void ProtocolView::Follow(HWND owner) {
    gOwner = owner;
    if (gHook == nullptr)
        gHook = SetWindowsHookExA(WH_CALLWNDPROCRET, &AfterMessage, nullptr, GetCurrentThreadId());
}

}  // namespace ftpsh
