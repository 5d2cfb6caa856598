// The first read or write of a remote file: the representation the open mode wants, then
// the data connection.
#include "transfer/file_handle.h"
#include "transfer/start_transfer.h"

int32_t PrepareFileTransfer(RemoteFileHandle* handle, FsStateRecord* record) {
    // Once per handle: after a failure the handle has no data connection, and every later
    // read or write says so, instead of sending the commands a second time.
    handle->firstTransferPending = 0;
    FtpConnection* connection = record->connection;
    const int32_t currentType = connection->currentType;
    const int32_t currentStructure = connection->currentStructure;

    TransferRepresentation wanted{};
    wanted.recordKind = REPRESENTATION_RECORD_KIND;
    wanted.type = (handle->openMode & FILE_MODE_ASCII) != 0 ? REPRESENTATION_TYPE_ASCII
                                                             : REPRESENTATION_TYPE_IMAGE;
    const bool recordWanted = (handle->openMode & FILE_MODE_RECORD) != 0;
    wanted.structure = static_cast<uint32_t>(currentStructure);
    if (recordWanted && currentStructure == STRUCTURE_FILE) {
        wanted.structure = REPRESENTATION_STRUCTURE_RECORD;
    } else if (!recordWanted && currentStructure == STRUCTURE_RECORD) {
        wanted.structure = REPRESENTATION_STRUCTURE_FILE;
    }

    if (static_cast<int32_t>(wanted.type) != currentType ||
        static_cast<int32_t>(wanted.structure) != currentStructure) {
        // What is put back at the close. The flag is set before the commands go out: when
        // TYPE is taken and STRU refused, the close still puts the type back (and sends
        // nothing for what did not change). A type or structure the connection never knew
        // has nothing to go back to.
        TransferRepresentation& saved = handle->savedRepresentation;
        saved = TransferRepresentation{};
        saved.recordKind = REPRESENTATION_RECORD_KIND;
        saved.type = currentType != TYPE_NONE ? static_cast<uint32_t>(currentType) : wanted.type;
        saved.structure = currentStructure != 0 ? static_cast<uint32_t>(currentStructure)
                                                : wanted.structure;
        handle->restoreRepresentation = 1;
        if (const int32_t applied = ApplyRepresentation(wanted, record); applied < 0) {
            return applied;
        }
    }
    return StartFileTransfer(handle, record);
}
