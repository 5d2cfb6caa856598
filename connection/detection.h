// Settling the remote system of a new connection: what the greeting tells, which host type
// the server runs, how Windows NT servers list, and the quirks of VMS servers.
#pragma once

#include <cstdint>

#include "driver/ftp_connection.h"

// Settles the remote system of a freshly logged-on connection from its greeting text (the
// greeting without its code columns): the HostType in use, or -1 when the user cancelled
// the question that asks for it.
//
// For now the record's host type stays as the host gave it and nothing is asked or sent.
int32_t SettleRemoteSystem(FsStateRecord* record, FtpConnection* connection,
                           const char* greetingText);
