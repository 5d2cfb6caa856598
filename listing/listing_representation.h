// The listing representation switch: listings travel as ASCII text with file structure, so
// before a listing the connection's type and structure are saved and switched where they
// differ, to be applied again once the listing is over.
#pragma once

#include <cstdint>

#include "connection/ftp_connection.h"
#include "transfer/representation.h"

// Result of SwitchToListingRepresentation when it saved and switched the representation.
constexpr int32_t LISTING_REPRESENTATION_SWITCHED = 1;

// 0 when the connection is already in ASCII type with a structure other than record and
// nothing changes. Otherwise copies the connection's type, format, structure, mode and
// byte size into those fields of *saved (the others are left alone) and applies ASCII
// type with file structure: LISTING_REPRESENTATION_SWITCHED, or the FsError of
// ApplyRepresentation.
int32_t SwitchToListingRepresentation(FsStateRecord* record, FtpConnection* connection,
                                      TransferRepresentation* saved);
