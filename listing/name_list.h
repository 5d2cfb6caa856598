// Name-list listings: the whole NLST listing is read into memory at open, and each read
// walks it, telling directories from files by asking the server about each name (or, on
// VMS servers, by the name's DIR extension).
#pragma once

#include <cstdint>

#include "connection/ftp_connection.h"
#include "listing/listing_handle.h"

// Reads the data connection to its end into a fresh listing buffer of the handle (grown in
// steps of 2048 bytes, NUL-terminated, converted to the local code set while conversion
// runs), closes the data connection and reads the transfer's completion reply. The length of
// the listing, or an FsError with no listing buffer left (FSE_NO_MEMORY when memory runs
// short, the part received being lost; a socket failure).
int32_t RetrieveWholeListing(FtpConnection* connection, ListingHandle* handle);

// Fills up to `count` entries from the name list, going on where the previous read
// stopped: the number filled, 0 at the end (or when the listing has no buffer), or the
// FsError of a probe, after which what the read put into the entries is freed.
int32_t ReadNameList(FsStateRecord* record, FtpConnection* connection, ListingHandle* handle,
                     DirEntry* entries, int32_t count);

// The bracketed directory of a VMS directory file name, in a block from OrrAlloc that the
// caller frees: "SUB.DIR;1" gives "[.SUB]", "DKA0:[USER]SUB.DIR;1" gives
// "DKA0:[USER.SUB]", a name whose first "]" ends it stays as it is. Null when memory is
// short.
char* BuildVmsBracketedDirectory(const char* name);
