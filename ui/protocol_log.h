// The protocol log: the lines of the protocol window's list box, one per request sent
// ("--> ") and one per reply line read ("<-- "), and the hand-off through which the control
// connection passes every request and reply to it.
#pragma once

#include "connection/connection_hooks.h"
#include "platform/platform.h"

struct FtpConnection;

// The two prefixes and the longest text that follows one in a log line.
constexpr const char* LOG_REQUEST_PREFIX = "--> ";
constexpr const char* LOG_REPLY_PREFIX = "<-- ";
constexpr int LOG_PREFIX_LENGTH = 4;
constexpr int LOG_TEXT_LIMIT = 255;

// Called after every command line sent (Request: the line with its CR LF) and every reply
// read (Reply: the whole reply text, lines ended by LF). Does nothing while the connection
// has no protocol window.
void HandToProtocolWindow(FtpConnection* connection, const char* text,
                          ProtocolDirection direction);

// Logs a request line, when "Include Requests" is checked: the text up to its first CR,
// the argument of a PASS (else of an ACCT) masked. A text without CR is not logged.
void LogRequest(FtpConnection* connection, const char* text);
// Logs each LF-ended line of a reply, when "Include Replies" is checked.
void LogReply(FtpConnection* connection, const char* text);

// A line's width in the log font, with a margin of 4 pixels so that its last character is
// not under the edge: what a list box of log lines must scroll sideways to show it.
LONG LogLineWidth(HWND listBox, const char* line);

// Empties the log of a protocol window.
void ClearProtocolLog(HWND window);
