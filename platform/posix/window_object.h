// The user library's objects behind window and class handles, and the one table that
// holds them with the threads' message queues. Everything here is internal to the
// platform: the Win32 calls of window_classes.cpp, windows.cpp, message_queue.cpp,
// controls.cpp and dialogs.cpp work on these records.
//
// Locking: one mutex guards the tables and the fields of every record. It is never held
// while a window procedure runs, because procedures call back into the platform.
#pragma once

#include "platform/posix/win32.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace tvplatform {

struct WindowClass {
    ATOM atom = 0;
    std::string name;
    UINT style = 0;
    WNDPROC proc = nullptr;
    HINSTANCE instance = nullptr;
    HICON icon = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
    LPCSTR menuName = nullptr;  // points into menuNameText, or an integer resource id
    std::string menuNameText;
    int windowExtraBytes = 0;
    std::vector<BYTE> classExtra;
    int windowCount = 0;  // live windows; a class with windows cannot be unregistered
};

// Per-window state of a control or dialog (check state, list-box items, dialog result...).
// The record that needs it derives from this and hangs it on the window.
struct WindowExtension {
    virtual ~WindowExtension() = default;
};

struct WindowObject {
    HWND handle = nullptr;
    std::shared_ptr<WindowClass> windowClass;
    WNDPROC proc = nullptr;
    HINSTANCE instance = nullptr;
    HWND parent = nullptr;       // a child's parent window
    HWND owner = nullptr;        // a top-level window's owner
    std::vector<HWND> children;  // in creation order
    int controlId = 0;
    DWORD style = 0;  // without WS_VISIBLE and WS_DISABLED, which `visible`/`enabled` hold
    DWORD exStyle = 0;
    std::string text;
    bool enabled = true;
    bool visible = false;
    RECT rect{};  // relative to the parent's client area for children, else the screen
    std::vector<BYTE> extraBytes;
    LONG_PTR userData = 0;
    HFONT font = nullptr;
    std::thread::id thread;
    bool destroying = false;
    std::unique_ptr<WindowExtension> controlState;
};

// One thread's message queue: posted messages in order and the quit request, which is
// seen only once nothing else is waiting.
struct ThreadQueue {
    std::deque<MSG> posted;
    bool quitPosted = false;
    int quitCode = 0;
};

struct UserState {
    std::mutex mutex;
    std::condition_variable posted;  // notified on every post, for GetMessageA's wait
    std::unordered_map<uintptr_t, std::shared_ptr<WindowObject>> windows;
    std::vector<std::shared_ptr<WindowClass>> classes;
    std::unordered_map<std::thread::id, ThreadQueue> queues;
    uintptr_t nextWindowHandle = 0;
    ATOM nextAtom = 0xC000;
};

// The process-wide user state; never destroyed, so late callers still find it.
UserState& User();

// Lookups made with User().mutex held. A null result sets no error.
std::shared_ptr<WindowObject> FindWindowLocked(HWND window);
std::shared_ptr<WindowClass> FindClassLocked(LPCSTR className, HINSTANCE instance);

// The same, taking the lock; an unknown window sets ERROR_INVALID_WINDOW_HANDLE.
std::shared_ptr<WindowObject> FindWindowObject(HWND window);

// Whether `window` is `ancestor` or lies below it through parent links (lock held).
bool IsSelfOrDescendantLocked(HWND ancestor, HWND window);

// Removes the posted messages of a window that is going away (lock held).
void PurgeWindowMessagesLocked(HWND window);

// CreateWindowExA with a state record hung on the window before its first message: a
// dialog's procedure must be found from WM_NCCREATE on.
HWND CreateWindowWithState(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x,
                           int y, int width, int height, HWND parent, HMENU menu,
                           HINSTANCE instance, LPVOID param,
                           std::unique_ptr<WindowExtension> state);

// The state record of a window as the type its procedure gave it, or null (lock held).
template <typename State>
State* StateOfLocked(HWND window) {
    auto object = FindWindowLocked(window);
    return object == nullptr ? nullptr : dynamic_cast<State*>(object->controlState.get());
}

}  // namespace tvplatform
