// Window classes: registration with class and window extra bytes, look-up by name or atom
// and class long values. A class belongs to the instance that registers it and is found
// by that instance, unless it is registered with CS_GLOBALCLASS, which any instance finds.
#include "platform/posix/ansi_case.h"
#include "platform/posix/window_object.h"

#include <cstring>

namespace tvplatform {

namespace {

bool NameMatches(const WindowClass& windowClass, LPCSTR className) {
    if (IS_INTRESOURCE(className)) return windowClass.atom == LOWORD(className);
    return AnsiCompareNoCase(windowClass.name.c_str(), className) == 0;
}

}  // namespace

UserState& User() {
    static UserState* state = new UserState;
    return *state;
}

std::shared_ptr<WindowClass> FindClassLocked(LPCSTR className, HINSTANCE instance) {
    if (className == nullptr) return nullptr;
    for (auto& windowClass : User().classes) {
        if (!(windowClass->style & CS_GLOBALCLASS) && windowClass->instance == instance &&
            NameMatches(*windowClass, className)) {
            return windowClass;
        }
    }
    for (auto& windowClass : User().classes) {
        if ((windowClass->style & CS_GLOBALCLASS) && NameMatches(*windowClass, className)) {
            return windowClass;
        }
    }
    return nullptr;
}

}  // namespace tvplatform

using namespace tvplatform;

namespace {

// Windows refuses extra-byte counts beyond a few kilobytes; so does this platform, which
// also keeps a corrupt count from asking for gigabytes.
constexpr int kMaxExtraBytes = 4000;

}  // namespace

ATOM WINAPI RegisterClassA(const WNDCLASSA* windowClass) {
    if (windowClass == nullptr || windowClass->lpszClassName == nullptr ||
        IS_INTRESOURCE(windowClass->lpszClassName) || windowClass->lpfnWndProc == nullptr ||
        windowClass->cbClsExtra < 0 || windowClass->cbWndExtra < 0 ||
        windowClass->cbClsExtra > kMaxExtraBytes || windowClass->cbWndExtra > kMaxExtraBytes) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    UserState& user = User();
    std::lock_guard<std::mutex> lock(user.mutex);
    auto existing = FindClassLocked(windowClass->lpszClassName, windowClass->hInstance);
    if (existing != nullptr &&
        ((existing->style & CS_GLOBALCLASS) || existing->instance == windowClass->hInstance)) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    auto added = std::make_shared<WindowClass>();
    added->atom = user.nextAtom++;
    added->name = windowClass->lpszClassName;
    added->style = windowClass->style;
    added->proc = windowClass->lpfnWndProc;
    added->instance = windowClass->hInstance;
    added->icon = windowClass->hIcon;
    added->cursor = windowClass->hCursor;
    added->background = windowClass->hbrBackground;
    if (windowClass->lpszMenuName != nullptr && !IS_INTRESOURCE(windowClass->lpszMenuName)) {
        added->menuNameText = windowClass->lpszMenuName;
        added->menuName = added->menuNameText.c_str();
    } else {
        added->menuName = windowClass->lpszMenuName;
    }
    added->windowExtraBytes = windowClass->cbWndExtra;
    added->classExtra.assign(static_cast<size_t>(windowClass->cbClsExtra), 0);
    user.classes.push_back(added);
    return added->atom;
}

BOOL WINAPI UnregisterClassA(LPCSTR className, HINSTANCE instance) {
    UserState& user = User();
    std::lock_guard<std::mutex> lock(user.mutex);
    auto found = FindClassLocked(className, instance);
    if (found == nullptr) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    if (found->windowCount > 0) {
        SetLastError(ERROR_CLASS_HAS_WINDOWS);
        return FALSE;
    }
    std::erase(user.classes, found);
    return TRUE;
}

BOOL WINAPI GetClassInfoA(HINSTANCE instance, LPCSTR className, LPWNDCLASSA out) {
    UserState& user = User();
    std::lock_guard<std::mutex> lock(user.mutex);
    auto found = FindClassLocked(className, instance);
    if (found == nullptr) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    if (out == nullptr) return TRUE;
    out->style = found->style;
    out->lpfnWndProc = found->proc;
    out->cbClsExtra = static_cast<int>(found->classExtra.size());
    out->cbWndExtra = found->windowExtraBytes;
    out->hInstance = found->instance;
    out->hIcon = found->icon;
    out->hCursor = found->cursor;
    out->hbrBackground = found->background;
    out->lpszMenuName = found->menuName;
    // As on Windows, the name is the caller's own pointer.
    out->lpszClassName = className;
    return TRUE;
}

namespace {

// Reads or writes a class value; `write` is null for a read. The result is the old value.
// Pointer-sized values do not fit a DWORD on 64-bit systems, so GCL_WNDPROC is refused
// there, as 64-bit Windows refuses it.
DWORD ClassLong(HWND window, int index, const LONG* write) {
    UserState& user = User();
    std::lock_guard<std::mutex> lock(user.mutex);
    auto object = FindWindowLocked(window);
    if (object == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    WindowClass& windowClass = *object->windowClass;
    if (index >= 0) {
        if (static_cast<size_t>(index) + sizeof(DWORD) > windowClass.classExtra.size()) {
            SetLastError(ERROR_INVALID_INDEX);
            return 0;
        }
        DWORD old;
        std::memcpy(&old, windowClass.classExtra.data() + index, sizeof(old));
        if (write != nullptr)
            std::memcpy(windowClass.classExtra.data() + index, write, sizeof(*write));
        return old;
    }
    switch (index) {
        case GCL_STYLE: {
            DWORD old = windowClass.style;
            if (write != nullptr) windowClass.style = static_cast<UINT>(*write);
            return old;
        }
        case GCL_CBWNDEXTRA:
            if (write != nullptr) break;
            return static_cast<DWORD>(windowClass.windowExtraBytes);
        case GCL_CBCLSEXTRA:
            if (write != nullptr) break;
            return static_cast<DWORD>(windowClass.classExtra.size());
        case GCL_WNDPROC:
            if (sizeof(void*) > sizeof(DWORD)) break;
            {
                auto old = static_cast<DWORD>(reinterpret_cast<uintptr_t>(windowClass.proc));
                if (write != nullptr) {
                    windowClass.proc = reinterpret_cast<WNDPROC>(
                        static_cast<uintptr_t>(static_cast<DWORD>(*write)));
                }
                return old;
            }
        default: break;
    }
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
}

}  // namespace

DWORD WINAPI GetClassLongA(HWND window, int index) { return ClassLong(window, index, nullptr); }

DWORD WINAPI SetClassLongA(HWND window, int index, LONG value) {
    return ClassLong(window, index, &value);
}
