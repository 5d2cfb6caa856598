// Ending a connection: logging off and releasing everything the connection holds.
#pragma once

#include "records/tarvoftp.h"

// Sends QUIT (its reply is read and not examined), closes the control socket, frees the
// saved greeting and the reply-text block, destroys the protocol window and frees the
// connection; the record's connection pointer becomes null. Nothing happens for a record
// without a connection. A server that has gone makes the QUIT fail quietly.
void CloseConnection(FsStateRecord* record);
