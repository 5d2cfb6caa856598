// Static texts: a label keeps its text and font and nothing else; a person cannot act on
// it.
#include "platform/posix/controls.h"

namespace tvplatform {

LRESULT CALLBACK StaticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result;
    if (HandleFontMessage(window, message, wParam, result)) return result;
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace tvplatform
