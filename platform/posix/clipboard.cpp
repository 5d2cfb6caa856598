// The clipboard: one process-wide set of memory blocks by format, opened by one thread at
// a time. A block set on the clipboard becomes the clipboard's; it frees the block when it
// is replaced or emptied, as Windows does.
#include "platform/posix/win32.h"

#include <map>
#include <mutex>
#include <thread>

namespace {

struct Clipboard {
    std::mutex mutex;
    bool open = false;
    std::thread::id openedBy;
    HWND owner = nullptr;
    std::map<UINT, HANDLE> data;
};

Clipboard& TheClipboard() {
    static Clipboard* clipboard = new Clipboard;
    return *clipboard;
}

bool OpenedHereLocked(const Clipboard& clipboard) {
    return clipboard.open && clipboard.openedBy == std::this_thread::get_id();
}

}  // namespace

BOOL WINAPI OpenClipboard(HWND owner) {
    Clipboard& clipboard = TheClipboard();
    std::lock_guard<std::mutex> lock(clipboard.mutex);
    if (clipboard.open && clipboard.openedBy != std::this_thread::get_id()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    clipboard.open = true;
    clipboard.openedBy = std::this_thread::get_id();
    clipboard.owner = owner;
    return TRUE;
}

BOOL WINAPI CloseClipboard() {
    Clipboard& clipboard = TheClipboard();
    std::lock_guard<std::mutex> lock(clipboard.mutex);
    if (!OpenedHereLocked(clipboard)) {
        SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
        return FALSE;
    }
    clipboard.open = false;
    return TRUE;
}

BOOL WINAPI EmptyClipboard() {
    Clipboard& clipboard = TheClipboard();
    std::lock_guard<std::mutex> lock(clipboard.mutex);
    if (!OpenedHereLocked(clipboard)) {
        SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
        return FALSE;
    }
    for (auto& [format, handle] : clipboard.data) GlobalFree(static_cast<HGLOBAL>(handle));
    clipboard.data.clear();
    return TRUE;
}

HANDLE WINAPI SetClipboardData(UINT format, HANDLE data) {
    Clipboard& clipboard = TheClipboard();
    std::lock_guard<std::mutex> lock(clipboard.mutex);
    if (!OpenedHereLocked(clipboard)) {
        SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
        return nullptr;
    }
    if (data != nullptr && GlobalFlags(static_cast<HGLOBAL>(data)) == GMEM_INVALID_HANDLE) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    auto& slot = clipboard.data[format];
    if (slot != nullptr && slot != data) GlobalFree(static_cast<HGLOBAL>(slot));
    slot = data;
    return data;
}

HANDLE WINAPI GetClipboardData(UINT format) {
    Clipboard& clipboard = TheClipboard();
    std::lock_guard<std::mutex> lock(clipboard.mutex);
    if (!OpenedHereLocked(clipboard)) {
        SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
        return nullptr;
    }
    auto found = clipboard.data.find(format);
    return found == clipboard.data.end() ? nullptr : found->second;
}
