// Opening and closing directory and glob listings: the ListingHandle behind the host's
// handle block, the listing command with its representation switch, and the end of a
// listing's data connection, which the readers share.
#pragma once

#include <cstdint>

#include "connection/ftp_connection.h"
#include "listing/listing_handle.h"

// Whether the record's listings are LIST output read by the host type's listing parser
// (the connection parses directories, and the host is not a VMS server that wants a listing
// before each change of directory), or a name list whose names are probed one by one.
bool ListsWithParser(const FsStateRecord* record, const FtpConnection* connection);

// FTP_Dir_Open and FTP_Glob_Open: `glob` keeps the pattern on every host and the path
// prefixes in the names. 0 or more, or an FsError; a listing command answered with 550
// opens an empty listing.
int32_t OpenListing(HGLOBAL handleBlock, HGLOBAL pattern, HGLOBAL stateRecord, bool glob);

// FTP_Dir_Close and FTP_Glob_Close: frees the handle and everything it holds, and puts back
// the representation the listing switched from. 0, or the error of putting it back.
int32_t CloseListing(HostHandleBlock* handleBlock);

// Closes the handle's data and listening sockets and marks both slots empty.
void CloseListingSockets(ListingHandle* handle);

// The end of a listing's data connection: its sockets are closed and the transfer's
// completion reply is read, after which the connection has no transfer in progress. 0, or
// FSE_TIMED_OUT or FSE_CANCELLED when the reply did not come: the listing may be whole,
// but the connection is out of use, and the host hears why.
int32_t FinishListingTransfer(FtpConnection* connection, ListingHandle* handle);
