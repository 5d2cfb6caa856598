// Running the thread's window messages while the module waits.
#include "connection/message_pump.h"

#include "records/module_state.h"

namespace {

void Dispatch(const MSG& message) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
}

}  // namespace

void PumpMessages(HWND window) {
    MSG message;
    while (PeekMessageA(&message, window, 0, 0, PM_REMOVE)) Dispatch(message);
}

void PumpOneMessage() {
    MSG message;
    if (PeekMessageA(&message, GetFocus(), 0, 0, PM_REMOVE | PM_NOYIELD)) Dispatch(message);
}

void YieldTick(HWND window) {
    ++gModule.yieldCounter;
    // "At least" rather than "equal": should the interval ever shrink below a running
    // count, the next pass pumps instead of waiting for the counter to wrap.
    if (gModule.peekInterval != 0 && gModule.yieldCounter >= gModule.peekInterval) {
        PumpMessages(window);
        gModule.yieldCounter = 0;
    }
}

void DispatchThreadMessages() { PumpMessages(nullptr); }
