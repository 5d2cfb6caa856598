// The line reader of LIST listings: the listing streams through the handle's 2048-byte line
// buffer and comes out as one line at a time, without its CR LF.
#pragma once

#include <cstdint>

#include "connection/ftp_connection.h"
#include "listing/listing_handle.h"

// Results of NextListingLine besides an FsError.
enum : int32_t {
    LISTING_DATA_END = 0,  // the data connection ended normally; no line is left
    LISTING_LINE = 1,      // *line is the next line
};

// The next non-empty line of the listing, NUL-terminated inside `buffer` (the handle's
// locked line buffer) and writable up to its NUL. Only CR LF ends a line: a lone CR or LF
// stays in it. Receives more data as needed; when the data connection ends, its sockets are
// closed and the completion reply is read. LISTING_LINE with *line set; LISTING_DATA_END,
// an unfinished last line being dropped; or the FsError that ended the data (a socket
// failure, FSE_CONVERSION for a failed code-set conversion, FSE_NO_MEMORY).
int32_t NextListingLine(FtpConnection* connection, ListingHandle* handle, char* buffer,
                        char** line);
