// Following the protocol window on the POSIX platform: the platform tells of every line a
// list box accepts, so lines are printed the moment the module logs them, also while it
// waits inside an open.
#include "host/protocol_window.h"
#include "platform/posix/hooks.h"

namespace ftpsh {

namespace {

void HearLine(HWND listBox, int index, LPCSTR text, void* context) {
    auto* owner = static_cast<HWND>(context);
    HWND window = GetParent(listBox);
    if (GetDlgCtrlID(listBox) != kLogListId || window != FindProtocolWindow(owner)) return;
    ProtocolView::Instance().Print(text);
}

}  // namespace

void ProtocolView::Follow(HWND owner) { TvSetListBoxObserver({&HearLine, owner}); }

}  // namespace ftpsh
