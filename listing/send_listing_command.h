// The listing command step shared by directory and glob listings, file information and the
// name probes of path operations: open a data connection (PASV where the connection is in
// passive mode, else the PORT step), send LIST or NLST, and hand back the open data
// connection once the server has started the transfer.
#pragma once

#include <cstdint>

#include "connection/data_connection.h"

// Opens a data connection and sends the listing command: "word argument\r\n", or "word\r\n"
// when there is no argument or the argument is empty or holds a blank (the server would
// take such an argument for more than one). A PASV that the server refuses (FSE_NOT_FOUND)
// turns passive mode off for the rest of the connection and the PORT step is used instead.
//
// 0 with the open data connection in *opened: its role, its data socket and, in the
// Listening role, the listening socket, both for the caller to close. Failures:
// FSE_NOT_FOUND when the server answers the command with 550 (nothing to list),
// FSE_UNEXPECTED_REPLY for any other refusal, FSE_CONNECTION_BROKEN when the control
// connection broke, FSE_INVALID when the line would not fit the command buffer (nothing is
// sent), or a failure of opening the data connection. After a failure *opened holds no
// socket.
int32_t SendListingCommand(FtpConnection* connection, const char* word, const char* argument,
                           DataConnection* opened);
