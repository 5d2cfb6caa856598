// The close of a remote file: the end of what a write held back, the data connection
// closed, the server's final reply on the transfer, and the connection's representation
// put back as it was before the handle changed it.
#include "connection/socket_guard.h"
#include "transfer/file_handle.h"

namespace {

constexpr uint16_t kInsufficientStorage = 452;

// The transfer flags that say a completion reply is still to come, in the order they are
// used up: one reply ends one of them.
constexpr uint32_t kTransferFlags[] = {STATE_DATA_TRANSFER, STATE_COPY_PORT_PENDING,
                                       STATE_PASSIVE_CONNECTION_OPEN};

// Reads the completion reply of the transfer, when one is still to come: 0, or the
// FsError of a transfer the server did not complete.
int32_t ReadCompletion(FsStateRecord* record, FtpConnection* connection) {
    for (uint32_t flag : kTransferFlags) {
        if ((connection->stateFlags & flag) == 0) continue;
        connection->stateFlags &= ~flag;
        Reply reply = ReadReply(connection);
        // VMS servers may first say something about the file with a 25x reply; the reply on
        // the transfer is the one after it.
        while (record->hostType == HOST_VMS && reply.error == 0 && reply.code >= 250 &&
               reply.code <= 259) {
            reply = ReadReply(connection);
        }
        if (reply.error) return reply.error;
        if (reply.kind == ReplyClass::Complete) return 0;
        return reply.code == kInsufficientStorage ? FSE_NO_SPACE : FSE_UNEXPECTED_REPLY;
    }
    return 0;
}

}  // namespace

extern "C" {

LONG WINAPI FTP_File_Close(HostHandleBlock* file) {
    RemoteFileHandle* handle = FileHandleOf(file);
    if (handle == nullptr) return FSE_INVALID;
    int32_t result = 0;
    {
        LockedStateRecord record(handle->stateRecord);
        FtpConnection* connection = record ? record->connection : nullptr;
        if (connection != nullptr && handle->dataSocket != INVALID_SOCKET &&
            StoresFile(handle) && handle->relayed == 0) {
            // A text write may still hold a CR it could not decide, and a record-structured
            // file has no end-of-file mark yet. Both go out before the data connection
            // closes, as an upload sends them: the CR is a byte of the file (dropped, the
            // file would lose it), and 0xFF 0x02 tells a server that reads records where the
            // file ends; one that takes the closed connection as the end ignores it.
            result = FinishFileWrite(handle, connection);
        }
        const bool closedData = CloseSlot(&handle->dataSocket);
        const bool closedListening = CloseSlot(&handle->listeningSocket);
        if (result == 0 && !(closedData && closedListening)) result = FSE_FAILED;

        if (connection != nullptr) {
            if (const int32_t completed = ReadCompletion(record.get(), connection); completed < 0) {
                result = completed;
            }
            if (handle->restoreRepresentation != 0) {
                // A failed transfer is what the host must hear of; the representation's
                // own failure is reported only when the transfer went well.
                const int32_t restored =
                    ApplyRepresentation(handle->savedRepresentation, record.get());
                if (result == 0) result = restored;
            }
        }
    }
    handle->recordBytesLeft = 0;
    handle->recordReadPosition = 0;
    FreeGlobalSlot(&handle->recordBuffer);
    FreeGlobalSlot(&handle->path);
    OrrFree(handle);
    // The record is gone; a second close of the same object is refused instead of freeing
    // it again.
    file->handleSlot = nullptr;
    return result;
}

}  // extern "C"
