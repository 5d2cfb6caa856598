// Reading a LIST listing into the host's entries: lines from the line reader go through the
// listing parser of the host type, symbolic links are resolved after the data has ended,
// and a listing that cannot go on is drained so that the connection stays usable.
#pragma once

#include <cstdint>

#include "connection/ftp_connection.h"
#include "listing/listing_handle.h"

// Fills up to `count` entries from `entries` on: the number filled, 0 at the end of the
// listing, or an FsError (FSE_BAD_LISTING when the host type has no listing parser). A
// line that no rule of the parser fits ends the listing quietly. A read that fails frees
// what it put into the entries.
int32_t ReadListLines(FsStateRecord* record, FtpConnection* connection, ListingHandle* handle,
                      DirEntry* entries, int32_t count);
