// The open of a remote file: the handle that remembers the path and the open mode until
// the first read or write, and the test that keeps a file that must be new from being
// overwritten. Also the handle's control call, which has nothing to control.
#include <cstring>

#include "fsops/path_operations.h"
#include "transfer/file_handle.h"

namespace {

// Whether the remote file exists, for an open that must create it: FSE_EXISTS when it
// does, 0 when it does not (or cannot be told), or FSE_CONNECTION_BROKEN.
int32_t TestExistence(FtpConnection* connection, const char* path) {
    if ((connection->stateFlags & STATE_STAT_REPORTS_REPRESENTATION) != 0) {
        // A server that reports representations describes the file only if it is there.
        // A broken connection is passed on like every other caller does: the STOR that
        // would follow could not go out either.
        TransferRepresentation found;
        const int32_t queried = QueryRepresentationByStat(connection, path, &found);
        if (queried == FSE_CONNECTION_BROKEN) return queried;
        return queried >= 0 ? FSE_EXISTS : 0;
    }

    // Elsewhere the file is renamed onto itself: a server that accepts the RNFR has the
    // file, and the RNTO that completes the rename leaves it with its name. (A path that
    // cannot be sent gives FSE_INVALID: the STOR of it could not be sent either.)
    const RenameReplies replies = ExchangeRename(connection, path, path, [](const Reply& from) {
        return from.error == 0 && from.kind != ReplyClass::Permanent;
    });
    if (replies.from.error) return replies.from.error;
    if (replies.from.kind == ReplyClass::Permanent) return 0;
    if (replies.to.error) return replies.to.error;
    // The VMS servers that want bracketed directory names accept RNFR of any name: there
    // the refused RNTO is what tells that the file is not there. Elsewhere a refused RNTO
    // only means the server would not rename the file onto itself.
    if (replies.to.kind == ReplyClass::Permanent &&
        (connection->hostQuirks & QUIRK_BRACKETED_RMD) != 0) {
        return 0;
    }
    return replies.from.Is(ReplyClass::Complete) || replies.from.Is(ReplyClass::Intermediate)
               ? FSE_EXISTS
               : 0;
}

}  // namespace

extern "C" {

LONG WINAPI FTP_File_Open(HostHandleBlock* file, LPCSTR path, FsStateRecord* record,
                          LONG mode, LONG) {
    if (file == nullptr || path == nullptr || record == nullptr) return FSE_INVALID;
    FtpConnection* connection = record->connection;
    // Later calls reach the record through its memory handle, as the other handles do.
    HGLOBAL recordHandle = GlobalHandle(record);
    if (connection == nullptr || recordHandle == nullptr) return FSE_INVALID;

    uint16_t openMode = static_cast<uint16_t>(mode);
    // VM servers keep text in their own code and lines: a file read while the connection
    // is in ASCII type is read in ASCII type too.
    if (record->hostType == HOST_VM && connection->currentType == TYPE_ASCII) {
        openMode |= FILE_MODE_ASCII;
    }
    if ((openMode & (FILE_MODE_WRITE | FILE_MODE_CREATE)) ==
        (FILE_MODE_WRITE | FILE_MODE_CREATE)) {
        if (const int32_t exists = TestExistence(connection, path); exists < 0) return exists;
    }

    auto* handle = static_cast<RemoteFileHandle*>(OrrAlloc(sizeof(RemoteFileHandle)));
    if (handle == nullptr) return FSE_NO_MEMORY;
    const size_t length = std::strlen(path);
    handle->path = CopyToGlobal(path, length, length + 3);
    if (handle->path == nullptr) {
        OrrFree(handle);
        file->handleSlot = nullptr;
        return FSE_NO_MEMORY;
    }

    handle->stateRecord = recordHandle;
    handle->dataSocket = INVALID_SOCKET;
    handle->listeningSocket = INVALID_SOCKET;
    handle->conversionState = CONVERSION_NORMAL;
    handle->openMode = openMode;
    handle->firstTransferPending = 1;
    file->handleSlot = handle;
    return 0;
}

LONG WINAPI FTP_File_Ioctl(HostHandleBlock*, LONG, LONG) { return 0; }

}  // extern "C"
