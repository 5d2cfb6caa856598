// What the remote file exports share: finding the module's record behind the host's file
// object, the first read's or write's preparation of the transfer, the steps every read and
// write takes before it moves data, and the end of a write.
#pragma once

#include <cstdint>

#include "connection/ftp_connection.h"
#include "transfer/remote_file_handle.h"

// The module's record in the host's file object, or null.
inline RemoteFileHandle* FileHandleOf(const HostHandleBlock* file) {
    return file == nullptr ? nullptr : static_cast<RemoteFileHandle*>(file->handleSlot);
}

// Whether the handle's transfer sends the file to the server (STOR or APPE) rather than
// fetching it: the same choice StartFileTransfer makes by the open mode.
inline bool StoresFile(const RemoteFileHandle* handle) {
    return (handle->openMode & FILE_MODE_READ) == 0;
}

// The first read or write of a handle: brings the connection to the type and structure the
// open mode wants (remembering what to put back at the close) and opens the data connection
// with RETR, STOR or APPE. It runs once per handle, whether or not it succeeds: 0 or 1 (as
// StartFileTransfer), or the error of ApplyRepresentation or of StartFileTransfer.
int32_t PrepareFileTransfer(RemoteFileHandle* handle, FsStateRecord* record);

// A read or write of the host's file object: the handle's state record locked for the call,
// the transfer prepared on the first one, then `move` over the handle's data connection
// with the count the host gave. FSE_INVALID without a handle, a buffer, the record or its
// connection; the preparation's error; FSE_STREAM_CLOSED without a data connection; else
// what `move` returns.
template <typename Byte>
int32_t RunFileCall(HostHandleBlock* file, Byte* buffer, LONG count,
                    int32_t (*move)(RemoteFileHandle*, FtpConnection*, Byte*, int32_t)) {
    RemoteFileHandle* handle = FileHandleOf(file);
    if (handle == nullptr || buffer == nullptr) return FSE_INVALID;
    LockedStateRecord record(handle->stateRecord);
    if (!record || record->connection == nullptr) return FSE_INVALID;
    if (handle->firstTransferPending != 0) {
        if (const int32_t prepared = PrepareFileTransfer(handle, record.get()); prepared < 0) {
            return prepared;
        }
    }
    if (handle->dataSocket == INVALID_SOCKET) return FSE_STREAM_CLOSED;
    // Hosts pass the count in a 16-bit field.
    return move(handle, record->connection, buffer, static_cast<uint16_t>(count));
}

// Sends what a text write still holds back at the end of the file (see file_write.cpp):
// 0, or FSE_FAILED when the data connection did not take it.
int32_t FinishFileWrite(RemoteFileHandle* handle, FtpConnection* connection);
