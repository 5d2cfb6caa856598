// The protocol window: opening it for a connection, its window procedure (the command
// entry, copying log lines to the clipboard, clearing, help and activation notices to the
// owner, closing, and the layout that follows the window's size), and the exports through
// which the host shows it, closes it and asks for it.
// The standard headers come first: the platform's socket declarations must follow them.
#include <algorithm>

#include "ui/protocol_window.h"

#include "connection/control_stream.h"
#include "connection/ftp_connection.h"
#include "records/module_state.h"
#include "ui/protocol_log.h"
#include "ui/resources/resource_ids.h"
#include "ui/window_layout.h"
#include "util/memory_guards.h"
#include "util/orr.h"

namespace {

// Taken from a window when it is shown, shared by all protocol windows: its size limits
// with the margin below the bottom row of controls, and the height of its buttons.
SizeLimits gLayout;
LONG gButtonHeight = 0;

// The controls along the bottom edge, which keep their place relative to it.
constexpr int kBottomRow[] = {IDC_PROTOCOL_COPY, IDC_PROTOCOL_CLEAR, IDC_PROTOCOL_REQUESTS,
                              IDC_PROTOCOL_REPLIES, IDC_PROTOCOL_HELP};

// Text of the window title: the template's caption and the host name.
constexpr int kTitleSize = 128;
// The clipboard text is one block of at most this many bytes, its NUL included.
constexpr SIZE_T kClipboardLimit = 65535;
// What the owner hears when the user asks for help.
constexpr WPARAM kHelpRequestWParam = 0;

HWND OwnerOf(HWND window) {
    FtpConnection* connection = ProtocolWindowConnection(window);
    if (connection != nullptr && connection->ownerWindow != nullptr) return connection->ownerWindow;
    return GetWindow(window, GW_OWNER);
}

void TakeLayoutMeasures(HWND window) {
    gLayout = MeasureSizeLimits(window, GetDlgItem(window, IDC_PROTOCOL_COPY));
    const RECT clear = ClientRectOf(window, GetDlgItem(window, IDC_PROTOCOL_CLEAR));
    gButtonHeight = clear.bottom - clear.top;
}

// The log takes the width less its margins and the height down to one margin above the
// bottom row; the bottom row stays one margin above the bottom edge. Until a window has
// been measured the template's own layout stands.
void LayOut(HWND window) {
    RECT client{};
    if (!gLayout.valid || !GetClientRect(window, &client)) return;
    const LONG height = client.bottom;
    HWND listBox = GetDlgItem(window, IDC_PROTOCOL_LOG);
    RECT list = ClientRectOf(window, listBox);
    MoveWindow(listBox, list.left, list.top, std::max<LONG>(0, client.right - 2 * list.left),
               std::max<LONG>(0, height - list.top - 2 * gLayout.bottomMargin -
                                     gButtonHeight),
               TRUE);
    for (int id : kBottomRow) {
        HWND control = GetDlgItem(window, id);
        if (control == nullptr) continue;
        RECT rect = ClientRectOf(window, control);
        const LONG ownHeight = rect.bottom - rect.top;
        MoveWindow(control, rect.left, height - gLayout.bottomMargin - ownHeight,
                   rect.right - rect.left, ownHeight, TRUE);
    }
}

// Sends what the user typed as one command line. An empty edit sends nothing: "Send" is
// disabled then, and Enter must not send a bare line end either. The reply is read (and
// so logged) by SendCommand. Messages run while the reply is awaited, so the window may
// be gone when it returns; nothing of it is used afterwards.
void SendTypedCommand(HWND window) {
    FtpConnection* connection = ProtocolWindowConnection(window);
    if (connection == nullptr) return;
    // At most PROTOCOL_COMMAND_LIMIT - 1 characters, then CR LF and the NUL.
    char line[PROTOCOL_COMMAND_LIMIT + 2];
    UINT length = GetDlgItemTextA(window, IDC_PROTOCOL_COMMAND, line, PROTOCOL_COMMAND_LIMIT);
    if (length == 0) return;
    lstrcpyA(line + length, "\r\n");
    SendCommand(connection, line);
}

// Appends `length` bytes and CR LF to the clipboard text of `used` bytes (its NUL not
// counted); false when the block would pass its limit or cannot grow.
bool AppendClipboardLine(GlobalBlock& text, SIZE_T& used, const char* line, SIZE_T length) {
    const SIZE_T needed = used + length + 2 + 1;
    if (needed > kClipboardLimit) return false;
    HGLOBAL grown = GlobalReAlloc(text.get(), needed, GMEM_MOVEABLE | GMEM_ZEROINIT);
    if (grown == nullptr) return false;
    text.reset(grown);
    LockedBlock bytes(grown);
    if (!bytes) return false;
    OrrCopyBytes(line, bytes.get() + used, static_cast<int32_t>(length));
    OrrCopyBytes("\r\n", bytes.get() + used + length, 2);
    used += length + 2;
    return true;
}

// The selected lines in index order, each ended by CR LF, as one zero-filled block of
// global memory; each line copied is deselected. Null when memory runs out or the text
// would pass its limit.
HGLOBAL CollectSelectedLines(HWND listBox) {
    LRESULT count = SendMessageA(listBox, LB_GETSELCOUNT, 0, 0);
    if (count <= 0) return nullptr;
    ScratchBlock indexBlock(static_cast<uint32_t>(count) * sizeof(INT));
    auto* indices = reinterpret_cast<INT*>(indexBlock.get());
    GlobalBlock text(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_DDESHARE, 1));
    if (indices == nullptr || text.get() == nullptr) return nullptr;
    LRESULT found = SendMessageA(listBox, LB_GETSELITEMS, static_cast<WPARAM>(count),
                                 reinterpret_cast<LPARAM>(indices));
    SIZE_T used = 0;
    for (LRESULT i = 0; i < std::min(found, count); ++i) {
        const INT index = indices[i];
        LRESULT length = SendMessageA(listBox, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
        if (length < 0) continue;
        ScratchBlock line(static_cast<uint32_t>(length) + 1);
        if (line.get() == nullptr) return nullptr;
        length = SendMessageA(listBox, LB_GETTEXT, static_cast<WPARAM>(index),
                              reinterpret_cast<LPARAM>(line.get()));
        if (length < 0) continue;
        if (!AppendClipboardLine(text, used, line.get(), static_cast<SIZE_T>(length)))
            return nullptr;
        SendMessageA(listBox, LB_SETSEL, FALSE, index);
    }
    return text.Release();
}

// Puts the selected lines on the clipboard as text; when that fails the clipboard keeps
// what it had.
void CopySelectedLines(HWND window) {
    GlobalBlock text(CollectSelectedLines(GetDlgItem(window, IDC_PROTOCOL_LOG)));
    if (text.get() != nullptr && OpenClipboard(window)) {
        EmptyClipboard();
        // The clipboard owns the block once it has taken it.
        if (SetClipboardData(CF_TEXT, text.get()) != nullptr) text.Release();
        CloseClipboard();
    }
    EnableWindow(GetDlgItem(window, IDC_PROTOCOL_COPY), FALSE);
}

// The window's commands; false for those left to the default dialog handling.
bool Command(HWND window, WPARAM id, WORD notification) {
    switch (id) {
        case IDOK: SendTypedCommand(window); return true;
        case IDC_PROTOCOL_HELP:
            if (HWND owner = OwnerOf(window))
                SendMessageA(owner, PROTOCOL_HELP_REQUEST, kHelpRequestWParam,
                             PROTOCOL_HELP_CONTEXT);
            return true;
        case PROTOCOL_LAYOUT_COMMAND: LayOut(window); return true;
        case IDC_PROTOCOL_COMMAND:
            if (notification != EN_CHANGE) return false;
            EnableWindow(GetDlgItem(window, IDOK),
                         GetWindowTextLengthA(GetDlgItem(window, IDC_PROTOCOL_COMMAND)) > 0);
            return true;
        case IDC_PROTOCOL_LOG:
            if (notification != LBN_SELCHANGE) return false;
            EnableWindow(GetDlgItem(window, IDC_PROTOCOL_COPY),
                         SendDlgItemMessageA(window, IDC_PROTOCOL_LOG, LB_GETSELCOUNT, 0, 0) > 0);
            return true;
        case IDC_PROTOCOL_COPY: CopySelectedLines(window); return true;
        case IDC_PROTOCOL_CLEAR: ClearProtocolLog(window); return true;
        default: return false;
    }
}

// "FTP Connection To: " and the host name, at most kTitleSize - 1 characters in all.
void SetTitle(HWND window, const FsStateRecord* record) {
    char title[kTitleSize] = "";
    GetWindowTextA(window, title, kTitleSize);
    if (LockedBlock<const char> host(record->hostName); host) {
        OrrAppendStringN(title, host.get(), kTitleSize - 1 - lstrlenA(title));
    }
    SetWindowTextA(window, title);
}

}  // namespace

FtpConnection* ProtocolWindowConnection(HWND window) {
    return reinterpret_cast<FtpConnection*>(GetWindowLongPtrA(window, PROTOCOL_WINDOW_CONNECTION));
}

LONG ProtocolWindowWidestLine(HWND window) {
    return GetWindowLongA(window, PROTOCOL_WINDOW_WIDEST_LINE);
}

void SetProtocolWindowWidestLine(HWND window, LONG width) {
    SetWindowLongA(window, PROTOCOL_WINDOW_WIDEST_LINE, width);
}

int32_t OpenProtocolWindow(FsStateRecord* record) {
    FtpConnection* connection = record != nullptr ? record->connection : nullptr;
    if (connection == nullptr) return FSE_WINDOW_FAILED;
    if (connection->protocolWindow != nullptr) {
        BringWindowToTop(connection->protocolWindow);
        return 0;
    }
    HWND window = CreateDialogParamA(ResourceInstance(), PROTOCOL_WINDOW_TEMPLATE,
                                     connection->ownerWindow, nullptr, 0);
    if (window == nullptr) return FSE_WINDOW_FAILED;
    connection->protocolWindow = window;
    SetProtocolWindowWidestLine(window, 0);
    SetWindowLongPtrA(window, PROTOCOL_WINDOW_CONNECTION, reinterpret_cast<LONG_PTR>(connection));

    EnableWindow(GetDlgItem(window, IDOK), FALSE);
    EnableWindow(GetDlgItem(window, IDC_PROTOCOL_COPY), FALSE);
    EnableWindow(GetDlgItem(window, IDC_PROTOCOL_CLEAR), FALSE);
    CheckDlgButton(window, IDC_PROTOCOL_REQUESTS, BST_CHECKED);
    CheckDlgButton(window, IDC_PROTOCOL_REPLIES, BST_CHECKED);
    SendDlgItemMessageA(window, IDC_PROTOCOL_COMMAND, EM_LIMITTEXT, PROTOCOL_COMMAND_LIMIT, 0);
    SendDlgItemMessageA(window, IDC_PROTOCOL_LOG, WM_SETFONT,
                        reinterpret_cast<WPARAM>(gModule.protocolFont), FALSE);
    SetTitle(window, record);

    ShowWindow(window, SW_SHOW);
    TakeLayoutMeasures(window);
    return 0;
}

extern "C" TVFTP_EXPORT LRESULT CALLBACK FTP_ProtocolWP(HWND window, UINT message, WPARAM wParam,
                                                        LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            if (OrrDialogLookEnabled()) {
                OrrApplyDialogLook(window, 0xFFFF);
                OrrDialogLookDone();
            }
            break;
        case WM_DESTROY: {
            FtpConnection* connection = ProtocolWindowConnection(window);
            if (connection != nullptr && connection->protocolWindow == window)
                connection->protocolWindow = nullptr;
            break;
        }
        case WM_SIZE:
            // Laid out once the sizing is over, and not while the window is still being
            // made and has no controls yet.
            PostMessageA(window, WM_COMMAND, PROTOCOL_LAYOUT_COMMAND, 0);
            break;
        case WM_ACTIVATE:
            if (HWND owner = OwnerOf(window)) {
                bool active = LOWORD(wParam) != WA_INACTIVE;
                PostMessageA(owner, PROTOCOL_ACTIVATION,
                             active ? reinterpret_cast<WPARAM>(window) : 0, 0);
            }
            break;
        case WM_CLOSE: DestroyWindow(window); return 0;
        case WM_GETMINMAXINFO:
            if (ApplyMinimumSize(gLayout, lParam)) return 0;
            break;
        case WM_COMMAND:
            if (Command(window, LOWORD(wParam), HIWORD(wParam))) return 0;
            break;
        default: break;
    }
    return DefDlgProcA(window, message, wParam, lParam);
}

extern "C" TVFTP_EXPORT LONG WINAPI IsProtocolWnd(FsStateRecord* record) {
    return record != nullptr && record->connection != nullptr &&
                   record->connection->protocolWindow != nullptr
               ? 1
               : 0;
}

extern "C" TVFTP_EXPORT LONG WINAPI ShowProtocolWnd(LONG show, FsStateRecord* record) {
    if (show != 0) return OpenProtocolWindow(record);
    // The window closes when the host's message loop takes the message, not inside this
    // call, which may come from one of the window's own commands.
    if (record != nullptr && record->connection != nullptr &&
        record->connection->protocolWindow != nullptr) {
        PostMessageA(record->connection->protocolWindow, WM_CLOSE, 0, 0);
    }
    return 1;
}
