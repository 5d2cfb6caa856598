// The transfer options the host asks for when it opens a connection, applied once the
// server is logged on.
#include "connection/ftp_connection.h"
#include "transfer/representation.h"

int32_t ApplyInitialOptions(FsStateRecord* record, FtpConnection* connection,
                            uint32_t openFlags) {
    const uint8_t hostType = record->hostType;
    // These systems get ASCII with file structure unless the user fixed something else:
    // VM and MVS always, other systems when the user left the choice to the module.
    if (hostType == HOST_VM || hostType == HOST_MVS ||
        (hostType == HOST_OTHER && !(openFlags & OPEN_REPRESENTATION_FIXED))) {
        openFlags |= OPEN_REPRESENTATION_FIXED | OPEN_TYPE_ASCII | OPEN_STRUCTURE_FILE;
    }
    if (openFlags & OPEN_SEND_PORT) {
        connection->stateFlags |= STATE_SEND_PORT;
    } else {
        connection->stateFlags &= ~STATE_SEND_PORT;
    }
    if ((openFlags & OPEN_PARSE_DIRECTORIES) && hostType != HOST_OTHER) {
        connection->optionFlags |= OPTION_PARSE_DIRECTORIES;
    } else {
        connection->optionFlags &= ~OPTION_PARSE_DIRECTORIES;
    }
    connection->currentFormat = 1;
    connection->currentMode = 1;
    connection->localByteSize = (openFlags & OPEN_LOCAL_BYTE_SIZE) ? 1 : 0;

    TransferRepresentation wanted{};
    wanted.recordKind = REPRESENTATION_RECORD_KIND;
    if (openFlags & OPEN_REPRESENTATION_FIXED) {
        connection->optionFlags |= OPTION_REPRESENTATION_FIXED;
        wanted.type = (openFlags & OPEN_TYPE_ASCII) ? REPRESENTATION_TYPE_ASCII
                                                    : REPRESENTATION_TYPE_IMAGE;
        wanted.structure = (openFlags & OPEN_STRUCTURE_FILE) ? REPRESENTATION_STRUCTURE_FILE
                                                             : REPRESENTATION_STRUCTURE_RECORD;
    } else {
        connection->optionFlags &= ~OPTION_REPRESENTATION_FIXED;
        wanted.type = REPRESENTATION_TYPE_ASCII;
        wanted.structure = REPRESENTATION_STRUCTURE_FILE;
    }
    // Type and structure are still unknown here, so both commands go out.
    return ApplyRepresentation(wanted, record);
}

