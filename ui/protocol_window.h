// The protocol window of a connection: the modeless window that shows every request sent
// and every reply read on the control connection and lets the user send a command by hand.
#pragma once

#include <cstdint>

#include "records/tarvoftp.h"

struct FtpConnection;

// The window's class and its extra bytes: the dialog's own bytes, then the width of the
// widest line added so far (plus 4 pixels) and the connection the window belongs to.
constexpr const char* PROTOCOL_WINDOW_CLASS = "FTP_ProtocolWindow";
constexpr int PROTOCOL_WINDOW_CLASS_EXTRA = 30;
constexpr int PROTOCOL_WINDOW_WIDEST_LINE = DLGWINDOWEXTRA;
constexpr int PROTOCOL_WINDOW_CONNECTION = DLGWINDOWEXTRA + 4;
constexpr int PROTOCOL_WINDOW_EXTRA = PROTOCOL_WINDOW_CONNECTION + int(sizeof(void*));

// The dialog template of the window.
constexpr const char* PROTOCOL_WINDOW_TEMPLATE = "FTP_PROTOCOLWINDOW";
// The command the window posts to itself when it was sized, to lay out its controls once
// the sizing is over.
constexpr WPARAM PROTOCOL_LAYOUT_COMMAND = 750;
// What the window tells its owner: a help request (with the help context as the second
// parameter) and that it became active (its handle) or inactive (0).
constexpr UINT PROTOCOL_HELP_REQUEST = WM_USER + 1;
constexpr UINT PROTOCOL_ACTIVATION = WM_USER + 2;
constexpr LPARAM PROTOCOL_HELP_CONTEXT = 53283;
// The command edit holds at most this many characters.
constexpr int PROTOCOL_COMMAND_LIMIT = 125;

// The class's window procedure, under the name start-up registers the class with.
inline constexpr auto& ProtocolWindowProc = FTP_ProtocolWP;

// Opens the protocol window of the record's connection, or brings the open one to the
// front: 0, or FSE_WINDOW_FAILED when the window cannot be created.
int32_t OpenProtocolWindow(FsStateRecord* record);

// The connection a protocol window belongs to, and the widest line width it keeps.
FtpConnection* ProtocolWindowConnection(HWND window);
LONG ProtocolWindowWidestLine(HWND window);
void SetProtocolWindowWidestLine(HWND window, LONG width);
