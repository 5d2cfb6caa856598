// The thread message queue: posted messages wait in order on the queue of the thread that
// owns their window (or of the posting thread, for thread messages); PeekMessageA and
// GetMessageA take the first one that passes the window and range filters; WM_QUIT comes
// only when nothing else matches. GetMessageA sleeps on a condition variable until a post
// arrives, so waiting for messages costs nothing.
#include "platform/posix/window_object.h"

namespace tvplatform {

void PurgeWindowMessagesLocked(HWND window) {
    for (auto& [thread, queue] : User().queues) {
        std::erase_if(queue.posted, [window](const MSG& msg) { return msg.hwnd == window; });
    }
}

}  // namespace tvplatform

using namespace tvplatform;

namespace {

constexpr UINT kWmSysKeyDown = 0x0104;
constexpr UINT kWmSysKeyUp = 0x0105;
// The window filter that selects only messages posted to the thread itself.
const HWND kThreadMessagesOnly = reinterpret_cast<HWND>(static_cast<intptr_t>(-1));

ThreadQueue& QueueLocked(std::thread::id thread) { return User().queues[thread]; }

// A null window filter takes messages of every window of the thread and thread messages;
// a window takes its own messages and those of its children. No range (0, 0) takes every
// message, and so does a range whose ends are reversed.
bool MatchesLocked(const MSG& msg, HWND window, UINT filterMin, UINT filterMax) {
    if (window == kThreadMessagesOnly) {
        if (msg.hwnd != nullptr) return false;
    } else if (window != nullptr) {
        if (msg.hwnd == nullptr || !IsSelfOrDescendantLocked(window, msg.hwnd)) return false;
    }
    if (filterMin == 0 && filterMax == 0) return true;
    if (filterMin > filterMax) return true;
    return msg.message >= filterMin && msg.message <= filterMax;
}

bool TakeMessageLocked(ThreadQueue& queue, LPMSG msg, HWND window, UINT filterMin, UINT filterMax,
                       bool remove) {
    for (auto it = queue.posted.begin(); it != queue.posted.end(); ++it) {
        if (!MatchesLocked(*it, window, filterMin, filterMax)) continue;
        *msg = *it;
        if (remove) queue.posted.erase(it);
        return true;
    }
    // A quit request is seen whatever the filters, once no posted message matches.
    if (queue.quitPosted) {
        *msg = MSG{};
        msg->message = WM_QUIT;
        msg->wParam = static_cast<WPARAM>(queue.quitCode);
        msg->time = GetTickCount();
        if (remove) queue.quitPosted = false;
        return true;
    }
    return false;
}

bool IsValidFilterLocked(HWND window) {
    return window == nullptr || window == kThreadMessagesOnly ||
           FindWindowLocked(window) != nullptr;
}

}  // namespace

BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    UserState& user = User();
    {
        std::lock_guard<std::mutex> lock(user.mutex);
        std::thread::id target = std::this_thread::get_id();
        if (window != nullptr) {
            auto object = FindWindowLocked(window);
            if (object == nullptr) {
                SetLastError(ERROR_INVALID_WINDOW_HANDLE);
                return FALSE;
            }
            target = object->thread;
        }
        MSG msg{};
        msg.hwnd = window;
        msg.message = message;
        msg.wParam = wParam;
        msg.lParam = lParam;
        msg.time = GetTickCount();
        QueueLocked(target).posted.push_back(msg);
    }
    user.posted.notify_all();
    return TRUE;
}

// Windows hands a message sent from another thread to the window's own thread; the module
// and its hosts send only on the window's thread, so the procedure is called directly.
LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto object = FindWindowObject(window);
    if (object == nullptr) return 0;
    WNDPROC proc;
    {
        std::lock_guard<std::mutex> lock(User().mutex);
        proc = object->proc;
    }
    return proc == nullptr ? 0 : proc(window, message, wParam, lParam);
}

BOOL WINAPI PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT remove) {
    if (msg == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard<std::mutex> lock(User().mutex);
    if (!IsValidFilterLocked(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    ThreadQueue& queue = QueueLocked(std::this_thread::get_id());
    return TakeMessageLocked(queue, msg, window, filterMin, filterMax, (remove & PM_REMOVE) != 0);
}

BOOL WINAPI GetMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax) {
    if (msg == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    UserState& user = User();
    std::unique_lock<std::mutex> lock(user.mutex);
    for (;;) {
        if (!IsValidFilterLocked(window)) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return -1;
        }
        ThreadQueue& queue = QueueLocked(std::this_thread::get_id());
        if (TakeMessageLocked(queue, msg, window, filterMin, filterMax, true)) {
            return msg->message == WM_QUIT ? FALSE : TRUE;
        }
        user.posted.wait(lock);
    }
}

// There is no keyboard layout behind this platform, so key messages are reported as
// translated without producing characters; whoever plays the user posts WM_CHAR itself.
BOOL WINAPI TranslateMessage(const MSG* msg) {
    if (msg == nullptr) return FALSE;
    switch (msg->message) {
        case WM_KEYDOWN:
        case WM_KEYUP:
        case kWmSysKeyDown:
        case kWmSysKeyUp: return TRUE;
        default: return FALSE;
    }
}

// A thread message has no window to go to and is dropped.
LRESULT WINAPI DispatchMessageA(const MSG* msg) {
    if (msg == nullptr || msg->hwnd == nullptr) return 0;
    auto object = FindWindowObject(msg->hwnd);
    if (object == nullptr) return 0;
    WNDPROC proc;
    {
        std::lock_guard<std::mutex> lock(User().mutex);
        proc = object->proc;
    }
    return proc == nullptr ? 0 : proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

void WINAPI PostQuitMessage(int exitCode) {
    UserState& user = User();
    {
        std::lock_guard<std::mutex> lock(user.mutex);
        ThreadQueue& queue = QueueLocked(std::this_thread::get_id());
        queue.quitPosted = true;
        queue.quitCode = exitCode;
    }
    user.posted.notify_all();
}
