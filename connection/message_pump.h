// Message pumping: while the module waits on the network it runs the host's window
// messages itself, so that the host's windows (and the protocol window) stay alive.
#pragma once

#include "platform/platform.h"

// Dispatches every waiting message of `window`.
void PumpMessages(HWND window);
// Dispatches at most one waiting message of the window that has the keyboard focus,
// without yielding.
void PumpOneMessage();
// Counts one pass of a waiting loop; every PeekInterval passes (counted over all
// connections) pumps the window's messages. PeekInterval 0 never pumps.
void YieldTick(HWND window);
// Dispatches every waiting message of the thread, whatever its window.
void DispatchThreadMessages();
