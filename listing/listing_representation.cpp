// Switching a connection to the representation listings travel in, ASCII text with file
// structure, and saving what it was before.
#include "listing/listing_representation.h"

int32_t SwitchToListingRepresentation(FsStateRecord* record, FtpConnection* connection,
                                      TransferRepresentation* saved) {
    if (connection->currentType == TYPE_ASCII &&
        connection->currentStructure != STRUCTURE_RECORD) {
        return 0;
    }
    saved->type = static_cast<uint32_t>(connection->currentType);
    saved->format = static_cast<uint32_t>(connection->currentFormat);
    saved->structure = static_cast<uint32_t>(connection->currentStructure);
    saved->mode = static_cast<uint32_t>(connection->currentMode);
    saved->byteSize = static_cast<uint32_t>(connection->localByteSize);

    TransferRepresentation listing{};
    listing.recordKind = REPRESENTATION_RECORD_KIND;
    listing.type = REPRESENTATION_TYPE_ASCII;
    listing.structure = REPRESENTATION_STRUCTURE_FILE;
    const int32_t applied = ApplyRepresentation(listing, record);
    return applied < 0 ? applied : LISTING_REPRESENTATION_SWITCHED;
}
