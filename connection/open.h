// The control connection's part of xfsopen, in the order the open takes the steps: the
// connect, the connection record, then (once the layers above have installed their hooks)
// the greeting, the logon and the remote system.
#pragma once

#include <cstdint>

#include "connection/ftp_connection.h"

// The user name, password and account of the logon: the host's buffers, or for a text the
// host left out an empty one of the open's own. Each text has a buffer of its own, so that
// an answer to one prompt never changes another text.
struct LogonTexts {
    char own[3][LOGON_TEXT_SIZE] = {};
    char* user;
    char* password;
    char* account;
    LogonTexts(char* hostUser, char* hostPassword, char* hostAccount)
        : user(hostUser != nullptr ? hostUser : own[0]),
          password(hostPassword != nullptr ? hostPassword : own[1]),
          account(hostAccount != nullptr ? hostAccount : own[2]) {}
};

// Resolves the record's host name and connects to its addresses in order, until one
// accepts: 0 with the socket, or the FsError of the open (FSE_CANCELLED when the host
// cancelled).
int32_t ConnectToServer(FsStateRecord* record, uint16_t port, SOCKET* connected);

// Makes the connection record for the connected control socket and hangs it on the state
// record, which owns the socket from then on: 0, or an FsError (the socket closed when no
// record took it).
int32_t AttachConnection(FsStateRecord* record, SOCKET control, const OpenParameters* parameters);

// Reads the greeting (its text without code columns into `greetingText`, a buffer of
// REPLY_TEXT_BUFFER_SIZE bytes), logs on, detects the remote system when the host asked
// for that and settles the line-end convention: 0, or the FsError that ends the open.
int32_t GreetAndLogOn(FsStateRecord* record, LogonTexts& texts, const OpenParameters* parameters,
                      char* greetingText);
