// Breaking off a copy's data connection: reset rather than closed in order, so that the
// server sees the transfer broken off instead of a short file that ended normally.
#pragma once

#include <cstdint>

#include "records/tarvoftp.h"

// Resets the data connection in *data (linger on with a time of 0, then closed) and marks
// the slot INVALID_SOCKET. Where the linger option cannot be set, the connection is drained
// instead (DrainDataConnection) and then closed.
void HardCloseData(SOCKET* data, CopyContext* context);

// Receives and throws away what the server still sends on the data connection until it
// ends the data or the connection fails: 0, or the socket failure. The input buffer of the
// copy record holds the bytes thrown away. A stop request of the host does not end the
// draining: the host only ever hears of the stop it asked for from the copy itself.
int32_t DrainDataConnection(SOCKET data, CopyContext* context);

// Resets the data connection in *data as HardCloseData does, but never drains it: for an
// upload the server is waiting for the module, not the other way round. The slot becomes
// INVALID_SOCKET.
void ResetDataConnection(SOCKET* data);
