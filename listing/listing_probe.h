// The listing some VMS servers want before they let the client change into a directory.
#pragma once

#include <cstdint>

#include "connection/ftp_connection.h"

// Lists the directory about to be entered with NLST and throws the names away: 0, or an
// FsError. Installed as the connection's listBeforeEntering hook.
int32_t RunListingProbe(FtpConnection* connection, const char* name, FsStateRecord* record);
