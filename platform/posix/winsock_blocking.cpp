// Winsock's blocking calls on the POSIX platform: the thread's blocking hook
// (WSASetBlockingHook, WSAUnhookBlockingHook), the one blocking call a thread may have in
// progress (WSAIsBlocking) and its cancellation from the hook (WSACancelBlockingCall).
//
// Which calls block this way: connect on a socket that is not non-blocking, and
// gethostbyname. They wait in slices of kBlockingSliceMs and run the hook between slices,
// so the caller's windows stay alive and the hook can cancel. accept, recv, send and
// select on a blocking socket block in the system without running the hook: the module
// makes every socket non-blocking before it uses it for them, and a plain wait keeps these
// calls usable from other threads (test servers) that have no message queue to pump.
#include "platform/posix/winsock_internal.h"

namespace {

// Winsock's own hook: dispatch one waiting message of the thread; TRUE when there was one.
INT_PTR DefaultBlockingHook() {
    MSG message;
    if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) return FALSE;
    TranslateMessage(&message);
    DispatchMessageA(&message);
    return TRUE;
}

// The hook and the blocking call belong to the thread, as they belong to the task in
// Winsock.
struct ThreadBlockingState {
    FARPROC hook = DefaultBlockingHook;
    bool inCall = false;
    bool cancelled = false;
};

thread_local ThreadBlockingState blocking;

// A hook that keeps reporting work is run again at once, but not without limit, so that
// the call still gets to look at its operation.
constexpr int kHookRunsPerSlice = 32;

}  // namespace

FARPROC WSAAPI WSASetBlockingHook(FARPROC hook) {
    if (hook == nullptr) {
        winsock::Fail(WSAEFAULT);
        return nullptr;
    }
    if (blocking.inCall) {
        winsock::Fail(WSAEINPROGRESS);
        return nullptr;
    }
    const FARPROC previous = blocking.hook;
    blocking.hook = hook;
    return previous;
}

int WSAAPI WSAUnhookBlockingHook() {
    if (blocking.inCall) return winsock::Fail(WSAEINPROGRESS);
    blocking.hook = DefaultBlockingHook;
    return 0;
}

int WSAAPI WSACancelBlockingCall() {
    if (!blocking.inCall) return winsock::Fail(WSAEINVAL);
    blocking.cancelled = true;
    return 0;
}

BOOL WSAAPI WSAIsBlocking() { return blocking.inCall ? TRUE : FALSE; }

namespace winsock {

BlockingCall::BlockingCall() {
    if (blocking.inCall) {
        Fail(WSAEINPROGRESS);
        return;
    }
    blocking.inCall = true;
    blocking.cancelled = false;
    started_ = true;
}

BlockingCall::~BlockingCall() {
    if (!started_) return;
    blocking.inCall = false;
    blocking.cancelled = false;
}

bool BlockingCall::RunHook() {
    for (int run = 0; run < kHookRunsPerSlice && !blocking.cancelled; ++run) {
        if (blocking.hook() == 0) break;
    }
    return blocking.cancelled;
}

bool BlockingCall::Cancelled() const { return blocking.cancelled; }

}  // namespace winsock
