// Windows without a screen: creation and destruction with the messages Windows sends on
// the way, the parent/child and owner links, window long values and extra bytes, texts,
// enabled and visible states, focus and the geometry a layout needs. Nothing is drawn.
//
// Window handles are small numbers, never pointers, and are not reused: a handle kept
// after DestroyWindow stays invalid, and every call given one fails cleanly with
// ERROR_INVALID_WINDOW_HANDLE.
#include "platform/posix/window_object.h"

#include <algorithm>
#include <cstring>

namespace tvplatform {

namespace {

constexpr uintptr_t kFirstWindowHandle = 0x20000;
constexpr uintptr_t kWindowHandleStep = 4;

}  // namespace

std::shared_ptr<WindowObject> FindWindowLocked(HWND window) {
    auto& windows = User().windows;
    auto found = windows.find(reinterpret_cast<uintptr_t>(window));
    return found == windows.end() ? nullptr : found->second;
}

std::shared_ptr<WindowObject> FindWindowObject(HWND window) {
    std::lock_guard<std::mutex> lock(User().mutex);
    auto object = FindWindowLocked(window);
    if (object == nullptr) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return object;
}

bool IsSelfOrDescendantLocked(HWND ancestor, HWND window) {
    // The depth bound only guards against a corrupt parent chain.
    for (int depth = 0; window != nullptr && depth < 1000; ++depth) {
        if (window == ancestor) return true;
        auto object = FindWindowLocked(window);
        if (object == nullptr) return false;
        window = object->parent;
    }
    return false;
}

}  // namespace tvplatform

using namespace tvplatform;

namespace {

// Focus and activation belong to a thread's input state.
thread_local HWND tFocus = nullptr;
thread_local HWND tActive = nullptr;

LRESULT CallProc(WNDPROC proc, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return proc == nullptr ? 0 : proc(window, message, wParam, lParam);
}

// Sends to the window's current procedure, found again at each call since a procedure may
// subclass the window or destroy it.
LRESULT SendToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC proc;
    {
        std::lock_guard<std::mutex> lock(User().mutex);
        auto object = FindWindowLocked(window);
        if (object == nullptr) return 0;
        proc = object->proc;
    }
    return CallProc(proc, window, message, wParam, lParam);
}

// Screen origin of a window's client area: the sum of its own and its parents' positions.
POINT ClientOriginLocked(const WindowObject& object) {
    POINT origin{object.rect.left, object.rect.top};
    HWND parent = object.parent;
    for (int depth = 0; parent != nullptr && depth < 1000; ++depth) {
        auto parentObject = FindWindowLocked(parent);
        if (parentObject == nullptr) break;
        origin.x += parentObject->rect.left;
        origin.y += parentObject->rect.top;
        parent = parentObject->parent;
    }
    return origin;
}

// Default geometry for CW_USEDEFAULT: a top-level window gets a usual size, a child none.
void ResolveDefaultGeometry(bool child, int& x, int& y, int& width, int& height) {
    if (x == CW_USEDEFAULT) x = y = 0;
    if (width == CW_USEDEFAULT) {
        width = child ? 0 : 640;
        height = child ? 0 : 480;
    }
}

void CollectSubtreeLocked(HWND window, std::vector<HWND>& preOrder) {
    auto object = FindWindowLocked(window);
    if (object == nullptr) return;
    preOrder.push_back(window);
    for (HWND child : object->children) CollectSubtreeLocked(child, preOrder);
}

// Takes a destroyed window out of the tables and out of its parent's list of children.
void RemoveWindowLocked(HWND window) {
    auto object = FindWindowLocked(window);
    if (object == nullptr) return;
    if (object->parent != nullptr) {
        if (auto parent = FindWindowLocked(object->parent)) std::erase(parent->children, window);
    }
    object->windowClass->windowCount--;
    PurgeWindowMessagesLocked(window);
    User().windows.erase(reinterpret_cast<uintptr_t>(window));
    if (tFocus == window) tFocus = nullptr;
    if (tActive == window) tActive = nullptr;
}

// The value of a window long; `ok` is false for an index the window does not have.
// Pointer-sized values (procedure, instance, parent) are readable only through the
// LONG_PTR calls when pointers do not fit a LONG, as on 64-bit Windows.
LONG_PTR ReadWindowLongLocked(const WindowObject& object, int index, size_t width, bool& ok) {
    ok = true;
    if (index >= 0) {
        if (static_cast<size_t>(index) + width > object.extraBytes.size()) {
            ok = false;
            return 0;
        }
        if (width == sizeof(LONG_PTR)) {
            LONG_PTR value;
            std::memcpy(&value, object.extraBytes.data() + index, sizeof(value));
            return value;
        }
        LONG value;
        std::memcpy(&value, object.extraBytes.data() + index, sizeof(value));
        return value;
    }
    bool pointerFits = width >= sizeof(void*);
    switch (index) {
        case GWL_WNDPROC:
            if (!pointerFits) break;
            return reinterpret_cast<LONG_PTR>(object.proc);
        case GWL_HINSTANCE:
            if (!pointerFits) break;
            return reinterpret_cast<LONG_PTR>(object.instance);
        case GWL_HWNDPARENT:
            if (!pointerFits) break;
            return reinterpret_cast<LONG_PTR>(object.parent != nullptr ? object.parent
                                                                       : object.owner);
        case GWL_ID: return object.controlId;
        case GWL_STYLE:
            return static_cast<LONG>(object.style | (object.visible ? WS_VISIBLE : 0) |
                                     (object.enabled ? 0 : WS_DISABLED));
        case GWL_EXSTYLE: return static_cast<LONG>(object.exStyle);
        case GWL_USERDATA:
            return width == sizeof(LONG) ? static_cast<LONG>(object.userData) : object.userData;
        default: break;
    }
    ok = false;
    return 0;
}

LONG_PTR WindowLong(HWND window, int index, size_t width, const LONG_PTR* write) {
    std::lock_guard<std::mutex> lock(User().mutex);
    auto object = FindWindowLocked(window);
    if (object == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    bool ok;
    LONG_PTR old = ReadWindowLongLocked(*object, index, width, ok);
    if (!ok) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    if (write == nullptr) return old;
    LONG_PTR value = *write;
    if (index >= 0) {
        if (width == sizeof(LONG_PTR)) {
            std::memcpy(object->extraBytes.data() + index, &value, sizeof(value));
        } else {
            LONG narrow = static_cast<LONG>(value);
            std::memcpy(object->extraBytes.data() + index, &narrow, sizeof(narrow));
        }
        return old;
    }
    switch (index) {
        case GWL_WNDPROC: object->proc = reinterpret_cast<WNDPROC>(value); break;
        case GWL_HINSTANCE: object->instance = reinterpret_cast<HINSTANCE>(value); break;
        case GWL_HWNDPARENT:
            // Only the owner of a top-level window may be changed this way.
            if (object->parent == nullptr) object->owner = reinterpret_cast<HWND>(value);
            break;
        case GWL_ID: object->controlId = static_cast<int>(value); break;
        case GWL_STYLE:
            object->style =
                static_cast<DWORD>(value) & ~static_cast<DWORD>(WS_VISIBLE | WS_DISABLED);
            object->visible = (static_cast<DWORD>(value) & WS_VISIBLE) != 0;
            object->enabled = (static_cast<DWORD>(value) & WS_DISABLED) == 0;
            break;
        case GWL_EXSTYLE: object->exStyle = static_cast<DWORD>(value); break;
        case GWL_USERDATA: object->userData = value; break;
        default: break;
    }
    return old;
}

}  // namespace

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x,
                            int y, int width, int height, HWND parent, HMENU menu,
                            HINSTANCE instance, LPVOID param) {
    return CreateWindowWithState(exStyle, className, windowName, style, x, y, width, height, parent,
                                 menu, instance, param, nullptr);
}

HWND tvplatform::CreateWindowWithState(DWORD exStyle, LPCSTR className, LPCSTR windowName,
                                       DWORD style, int x, int y, int width, int height,
                                       HWND parent, HMENU menu, HINSTANCE instance, LPVOID param,
                                       std::unique_ptr<WindowExtension> state) {
    const bool child = (style & WS_CHILD) != 0;
    auto object = std::make_shared<WindowObject>();
    HWND window;
    {
        UserState& user = User();
        std::lock_guard<std::mutex> lock(user.mutex);
        auto windowClass = FindClassLocked(className, instance);
        if (windowClass == nullptr) {
            SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
            return nullptr;
        }
        if (parent != nullptr && FindWindowLocked(parent) == nullptr) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        if (child && parent == nullptr) {
            SetLastError(ERROR_TLW_WITH_WSCHILD);
            return nullptr;
        }
        if (user.nextWindowHandle == 0) user.nextWindowHandle = kFirstWindowHandle;
        window = reinterpret_cast<HWND>(user.nextWindowHandle);
        user.nextWindowHandle += kWindowHandleStep;

        ResolveDefaultGeometry(child, x, y, width, height);
        object->handle = window;
        object->windowClass = windowClass;
        object->proc = windowClass->proc;
        object->instance = instance;
        object->parent = child ? parent : nullptr;
        object->owner = child ? nullptr : parent;
        object->controlId = child ? static_cast<int>(reinterpret_cast<intptr_t>(menu)) : 0;
        object->style = style & ~static_cast<DWORD>(WS_VISIBLE | WS_DISABLED);
        object->exStyle = exStyle;
        object->enabled = (style & WS_DISABLED) == 0;
        object->rect = RECT{x, y, x + width, y + height};
        object->extraBytes.assign(static_cast<size_t>(windowClass->windowExtraBytes), 0);
        object->thread = std::this_thread::get_id();
        object->controlState = std::move(state);
        windowClass->windowCount++;
        user.windows[reinterpret_cast<uintptr_t>(window)] = object;
        if (child) FindWindowLocked(parent)->children.push_back(window);
    }

    CREATESTRUCTA create{};
    create.lpCreateParams = param;
    create.hInstance = instance;
    create.hMenu = menu;
    create.hwndParent = parent;
    create.cy = height;
    create.cx = width;
    create.y = y;
    create.x = x;
    create.style = static_cast<LONG>(style);
    create.lpszName = windowName;
    create.lpszClass = className;
    create.dwExStyle = exStyle;
    auto createParam = reinterpret_cast<LPARAM>(&create);

    // A window refused by WM_NCCREATE never got WM_CREATE, so it only gets WM_NCDESTROY.
    if (!SendToWindow(window, WM_NCCREATE, 0, createParam)) {
        if (IsWindow(window)) {
            SendToWindow(window, WM_NCDESTROY, 0, 0);
            std::lock_guard<std::mutex> lock(User().mutex);
            RemoveWindowLocked(window);
        }
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (SendToWindow(window, WM_CREATE, 0, createParam) == -1 || !IsWindow(window)) {
        DestroyWindow(window);
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    // Windows follows creation with the first size and position, which windows use to lay
    // out their children.
    SendToWindow(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(width, height));
    SendToWindow(window, WM_MOVE, 0, MAKELPARAM(x, y));
    if (style & WS_VISIBLE) ShowWindow(window, SW_SHOW);
    return IsWindow(window) ? window : nullptr;
}

// Owned windows go first, then the window: WM_DESTROY travels down the tree, parent before
// children, and WM_NCDESTROY comes back up, children before parent, as on Windows.
BOOL WINAPI DestroyWindow(HWND window) {
    std::vector<HWND> owned;
    std::vector<HWND> subtree;
    {
        std::lock_guard<std::mutex> lock(User().mutex);
        auto object = FindWindowLocked(window);
        if (object == nullptr) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        // A window procedure that destroys its window again while it is being destroyed
        // changes nothing.
        if (object->destroying) return TRUE;
        for (auto& [key, other] : User().windows) {
            if (other->owner == window && !other->destroying) owned.push_back(other->handle);
        }
        // Handles rise with creation, so owned windows go in the order they were made.
        std::sort(owned.begin(), owned.end());
    }
    for (HWND ownedWindow : owned) DestroyWindow(ownedWindow);
    {
        std::lock_guard<std::mutex> lock(User().mutex);
        CollectSubtreeLocked(window, subtree);
        for (HWND member : subtree) {
            auto object = FindWindowLocked(member);
            object->destroying = true;
            object->visible = false;
        }
    }
    for (HWND member : subtree) SendToWindow(member, WM_DESTROY, 0, 0);
    for (auto it = subtree.rbegin(); it != subtree.rend(); ++it) {
        SendToWindow(*it, WM_NCDESTROY, 0, 0);
        std::lock_guard<std::mutex> lock(User().mutex);
        RemoveWindowLocked(*it);
    }
    return TRUE;
}

BOOL WINAPI IsWindow(HWND window) {
    std::lock_guard<std::mutex> lock(User().mutex);
    return FindWindowLocked(window) != nullptr;
}

BOOL WINAPI ShowWindow(HWND window, int command) {
    bool wasVisible;
    bool show = command != SW_HIDE;
    {
        std::lock_guard<std::mutex> lock(User().mutex);
        auto object = FindWindowLocked(window);
        if (object == nullptr) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        wasVisible = object->visible;
        object->visible = show;
    }
    if (wasVisible != show) SendToWindow(window, WM_SHOWWINDOW, show, 0);
    return wasVisible;
}

// Visible only when the window and every parent above it are.
BOOL WINAPI IsWindowVisible(HWND window) {
    std::lock_guard<std::mutex> lock(User().mutex);
    for (int depth = 0; window != nullptr && depth < 1000; ++depth) {
        auto object = FindWindowLocked(window);
        if (object == nullptr || !object->visible) return FALSE;
        window = object->parent;
    }
    return TRUE;
}

// A child's parent, or a pop-up's owner; other top-level windows have none.
HWND WINAPI GetParent(HWND window) {
    std::lock_guard<std::mutex> lock(User().mutex);
    auto object = FindWindowLocked(window);
    if (object == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    if (object->parent != nullptr) return object->parent;
    return (object->style & WS_POPUP) ? object->owner : nullptr;
}

LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_NCCREATE: {
            auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
            if (create != nullptr && create->lpszName != nullptr &&
                !IS_INTRESOURCE(create->lpszName)) {
                std::lock_guard<std::mutex> lock(User().mutex);
                if (auto object = FindWindowLocked(window)) object->text = create->lpszName;
            }
            return TRUE;
        }
        case WM_SETTEXT: {
            std::lock_guard<std::mutex> lock(User().mutex);
            auto object = FindWindowLocked(window);
            if (object == nullptr) return FALSE;
            auto* text = reinterpret_cast<const char*>(lParam);
            object->text = text == nullptr ? "" : text;
            return TRUE;
        }
        case WM_GETTEXT: {
            auto* out = reinterpret_cast<char*>(lParam);
            int max = static_cast<int>(wParam);
            if (out == nullptr || max <= 0) return 0;
            std::lock_guard<std::mutex> lock(User().mutex);
            auto object = FindWindowLocked(window);
            if (object == nullptr) {
                out[0] = '\0';
                return 0;
            }
            lstrcpynA(out, object->text.c_str(), max);
            return lstrlenA(out);
        }
        case WM_GETTEXTLENGTH: {
            std::lock_guard<std::mutex> lock(User().mutex);
            auto object = FindWindowLocked(window);
            return object == nullptr ? 0 : static_cast<LRESULT>(object->text.size());
        }
        case WM_CLOSE: DestroyWindow(window); return 0;
        default: return 0;
    }
}

LRESULT WINAPI CallWindowProcA(WNDPROC proc, HWND window, UINT message, WPARAM wParam,
                               LPARAM lParam) {
    return CallProc(proc, window, message, wParam, lParam);
}

LONG WINAPI GetWindowLongA(HWND window, int index) {
    return static_cast<LONG>(WindowLong(window, index, sizeof(LONG), nullptr));
}

LONG WINAPI SetWindowLongA(HWND window, int index, LONG value) {
    LONG_PTR wide = value;
    return static_cast<LONG>(WindowLong(window, index, sizeof(LONG), &wide));
}

LONG_PTR WINAPI GetWindowLongPtrA(HWND window, int index) {
    return WindowLong(window, index, sizeof(LONG_PTR), nullptr);
}

LONG_PTR WINAPI SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
    return WindowLong(window, index, sizeof(LONG_PTR), &value);
}

// Words live only in the extra bytes; like Windows this also answers GWL_ID with the
// control id's low word.
WORD WINAPI GetWindowWord(HWND window, int index) {
    std::lock_guard<std::mutex> lock(User().mutex);
    auto object = FindWindowLocked(window);
    if (object == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (index == GWL_ID) return LOWORD(object->controlId);
    if (index < 0 || static_cast<size_t>(index) + sizeof(WORD) > object->extraBytes.size()) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    WORD value;
    std::memcpy(&value, object->extraBytes.data() + index, sizeof(value));
    return value;
}

WORD WINAPI SetWindowWord(HWND window, int index, WORD value) {
    std::lock_guard<std::mutex> lock(User().mutex);
    auto object = FindWindowLocked(window);
    if (object == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (index < 0 || static_cast<size_t>(index) + sizeof(WORD) > object->extraBytes.size()) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    WORD old;
    std::memcpy(&old, object->extraBytes.data() + index, sizeof(old));
    std::memcpy(object->extraBytes.data() + index, &value, sizeof(value));
    return old;
}

BOOL WINAPI SetWindowTextA(HWND window, LPCSTR text) {
    if (!IsWindow(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return static_cast<BOOL>(SendToWindow(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)));
}

int WINAPI GetWindowTextA(HWND window, LPSTR out, int max) {
    if (out == nullptr || max <= 0) return 0;
    out[0] = '\0';
    if (!IsWindow(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    // The procedure answers, but it must not report more than it could have stored.
    auto length =
        SendToWindow(window, WM_GETTEXT, static_cast<WPARAM>(max), reinterpret_cast<LPARAM>(out));
    out[max - 1] = '\0';
    if (length < 0) return 0;
    return static_cast<int>(std::min<LRESULT>(length, max - 1));
}

int WINAPI GetWindowTextLengthA(HWND window) {
    if (!IsWindow(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return static_cast<int>(SendToWindow(window, WM_GETTEXTLENGTH, 0, 0));
}

// Returns whether the window was disabled before. A window that loses its enabled state
// also loses the focus, as on Windows.
BOOL WINAPI EnableWindow(HWND window, BOOL enable) {
    bool wasEnabled;
    {
        std::lock_guard<std::mutex> lock(User().mutex);
        auto object = FindWindowLocked(window);
        if (object == nullptr) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        wasEnabled = object->enabled;
        object->enabled = enable != FALSE;
    }
    if (wasEnabled != (enable != FALSE)) {
        if (!enable && tFocus != nullptr) {
            bool focusInside;
            {
                std::lock_guard<std::mutex> lock(User().mutex);
                focusInside = IsSelfOrDescendantLocked(window, tFocus);
            }
            if (focusInside) SetFocus(nullptr);
        }
        SendToWindow(window, WM_ENABLE, enable != FALSE, 0);
    }
    return !wasEnabled;
}

BOOL WINAPI IsWindowEnabled(HWND window) {
    std::lock_guard<std::mutex> lock(User().mutex);
    auto object = FindWindowLocked(window);
    if (object == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return object->enabled;
}

HWND WINAPI SetFocus(HWND window) {
    if (window != nullptr && !IsWindow(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    HWND previous = tFocus;
    if (previous == window) return previous;
    tFocus = window;
    if (previous != nullptr)
        SendToWindow(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(window), 0);
    if (window != nullptr && tFocus == window) {
        SendToWindow(window, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
    }
    return previous;
}

HWND WINAPI GetFocus() { return tFocus; }

HWND WINAPI SetActiveWindow(HWND window) {
    if (window != nullptr && !IsWindow(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    HWND previous = tActive;
    if (previous == window) return previous;
    tActive = window;
    if (previous != nullptr) {
        SendToWindow(previous, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(window));
    }
    if (window != nullptr) {
        SendToWindow(window, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(previous));
    }
    return previous;
}

HWND WINAPI GetActiveWindow() { return tActive; }

BOOL WINAPI BringWindowToTop(HWND window) {
    if (!IsWindow(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return TRUE;
}

// Moves and sizes a window; it hears WM_MOVE and WM_SIZE only for what changed.
BOOL WINAPI MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
    bool moved;
    bool resized;
    {
        std::lock_guard<std::mutex> lock(User().mutex);
        auto object = FindWindowLocked(window);
        if (object == nullptr) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        const RECT& old = object->rect;
        moved = old.left != x || old.top != y;
        resized = old.right - old.left != width || old.bottom - old.top != height;
        object->rect = RECT{x, y, x + width, y + height};
    }
    if (moved) SendToWindow(window, WM_MOVE, 0, MAKELPARAM(x, y));
    if (resized) SendToWindow(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(width, height));
    return TRUE;
}

// Without a frame the client area is the whole window.
BOOL WINAPI GetClientRect(HWND window, LPRECT rect) {
    std::lock_guard<std::mutex> lock(User().mutex);
    auto object = FindWindowLocked(window);
    if (object == nullptr || rect == nullptr) {
        SetLastError(object == nullptr ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *rect =
        RECT{0, 0, object->rect.right - object->rect.left, object->rect.bottom - object->rect.top};
    return TRUE;
}

BOOL WINAPI GetWindowRect(HWND window, LPRECT rect) {
    std::lock_guard<std::mutex> lock(User().mutex);
    auto object = FindWindowLocked(window);
    if (object == nullptr || rect == nullptr) {
        SetLastError(object == nullptr ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    POINT origin = ClientOriginLocked(*object);
    *rect = RECT{origin.x, origin.y, origin.x + (object->rect.right - object->rect.left),
                 origin.y + (object->rect.bottom - object->rect.top)};
    return TRUE;
}

// Screen coordinates relative to the window's client area, whose origin (without a frame)
// is the window's own position on the screen.
BOOL WINAPI ScreenToClient(HWND window, LPPOINT point) {
    std::lock_guard<std::mutex> lock(User().mutex);
    auto object = FindWindowLocked(window);
    if (object == nullptr || point == nullptr) {
        SetLastError(object == nullptr ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    POINT origin = ClientOriginLocked(*object);
    point->x -= origin.x;
    point->y -= origin.y;
    return TRUE;
}

// Nothing is painted, so there is nothing to invalidate or update.
BOOL WINAPI InvalidateRect(HWND window, const RECT* rect, BOOL erase) {
    if (window != nullptr && !IsWindow(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI UpdateWindow(HWND window) {
    if (!IsWindow(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return TRUE;
}

// Only the z-order request that the module makes is kept: whether the window stays on top
// of the others (WS_EX_TOPMOST). Moving, sizing and showing go through the usual calls.
BOOL WINAPI SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height,
                         UINT flags) {
    RECT rect;
    {
        std::lock_guard<std::mutex> lock(User().mutex);
        auto object = FindWindowLocked(window);
        if (object == nullptr) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        if (!(flags & SWP_NOZORDER)) {
            if (insertAfter == HWND_TOPMOST) object->exStyle |= WS_EX_TOPMOST;
            if (insertAfter == HWND_NOTOPMOST)
                object->exStyle &= ~static_cast<DWORD>(WS_EX_TOPMOST);
        }
        rect = object->rect;
    }
    if ((flags & (SWP_NOMOVE | SWP_NOSIZE)) != (SWP_NOMOVE | SWP_NOSIZE)) {
        if (flags & SWP_NOMOVE) {
            x = rect.left;
            y = rect.top;
        }
        if (flags & SWP_NOSIZE) {
            width = rect.right - rect.left;
            height = rect.bottom - rect.top;
        }
        MoveWindow(window, x, y, width, height, !(flags & SWP_NOREDRAW));
    }
    if (flags & SWP_SHOWWINDOW) ShowWindow(window, SW_SHOW);
    if (flags & SWP_HIDEWINDOW) ShowWindow(window, SW_HIDE);
    return TRUE;
}

// Children are kept in creation order, which is also their order on the screen and the
// order in which a dialog's controls are visited. Top-level windows are taken in the order
// they were made.
HWND WINAPI GetWindow(HWND window, UINT relation) {
    std::lock_guard<std::mutex> lock(User().mutex);
    auto object = FindWindowLocked(window);
    if (object == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    if (relation == GW_CHILD) return object->children.empty() ? nullptr : object->children.front();
    if (relation == GW_OWNER) return object->owner;
    std::vector<HWND> siblings;
    if (object->parent != nullptr) {
        if (auto parent = FindWindowLocked(object->parent)) siblings = parent->children;
    } else {
        for (auto& [key, other] : User().windows) {
            if (other->parent == nullptr) siblings.push_back(other->handle);
        }
        std::sort(siblings.begin(), siblings.end());
    }
    auto at = std::find(siblings.begin(), siblings.end(), window);
    if (at == siblings.end()) return nullptr;
    switch (relation) {
        case GW_HWNDFIRST: return siblings.front();
        case GW_HWNDLAST: return siblings.back();
        case GW_HWNDNEXT: return at + 1 == siblings.end() ? nullptr : *(at + 1);
        case GW_HWNDPREV: return at == siblings.begin() ? nullptr : *(at - 1);
        default: SetLastError(ERROR_INVALID_PARAMETER); return nullptr;
    }
}

int WINAPI GetClassNameA(HWND window, LPSTR out, int max) {
    if (out == nullptr || max <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    out[0] = '\0';
    std::lock_guard<std::mutex> lock(User().mutex);
    auto object = FindWindowLocked(window);
    if (object == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    lstrcpynA(out, object->windowClass->name.c_str(), max);
    return lstrlenA(out);
}
