// Where the control connection hands every command line it sent and every reply it read to
// the connection's protocol window, which records them in its log.
#pragma once

struct FtpConnection;

enum class ProtocolDirection { Request, Reply };

// Called after every command line sent (Request: the line with its CR LF) and every reply
// read (Reply: the whole reply text, lines ended by LF). Does nothing while the connection
// has no protocol window.
void HandToProtocolWindow(FtpConnection* connection, const char* text,
                          ProtocolDirection direction);
