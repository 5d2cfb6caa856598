// The listing probe of VMS servers that want a directory listed before they let the client
// change into it: NLST of the directory over a data connection, its names read and thrown
// away, the transfer's completion reply read, the representation put back.
#include "listing/listing_probe.h"

#include "connection/data_connection.h"
#include "fsops/path_operations.h"
#include "listing/listing_representation.h"
#include "listing/send_listing_command.h"
#include "transfer/representation.h"

int32_t RunListingProbe(FtpConnection* connection, const char* name, FsStateRecord* record) {
    // Listings travel as ASCII text with file structure; whatever the connection was set to
    // before is put back afterwards.
    TransferRepresentation saved{};
    const int32_t switched = SwitchToListingRepresentation(record, connection, &saved);
    if (switched < 0) return switched;

    // The probe reads the completion reply itself, so the transfer flags that tell a later
    // file close to read one must look afterwards as they did before.
    const uint32_t transferFlags =
        connection->stateFlags & (STATE_DATA_TRANSFER | STATE_PASSIVE_CONNECTION_OPEN);
    DataConnection transfer;
    int32_t result = SendListingCommand(connection, "NLST", name, &transfer);
    if (result >= 0) {
        result = DiscardData(transfer.data, connection->ownerWindow);
        CloseDataConnection(&transfer);
        ReadReply(connection);
        connection->stateFlags =
            (connection->stateFlags & ~(STATE_DATA_TRANSFER | STATE_PASSIVE_CONNECTION_OPEN)) |
            transferFlags;
    }

    // Transfers bring the connection to the representation they need themselves, so a
    // failed restore does not make the change of directory fail; a connection that broke
    // meanwhile shows at the CWD.
    if (switched == LISTING_REPRESENTATION_SWITCHED) ApplyRepresentation(saved, record);
    return result < 0 ? result : 0;
}
