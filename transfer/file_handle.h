// What the remote file exports share: finding the module's record behind the host's file
// object, the first read's or write's preparation of the transfer, and the end of a write.
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

// What a read or write does before it moves data, with the handle's state record locked
// (null when it could not be): the transfer prepared on the first call. 0 when the handle
// has its data connection; FSE_INVALID without a record or connection, the preparation's
// error, or FSE_STREAM_CLOSED.
int32_t ReadyForData(RemoteFileHandle* handle, FsStateRecord* record);

// Sends what a text write still holds back at the end of the file (see file_write.cpp):
// 0, or FSE_FAILED when the data connection did not take it.
int32_t FinishFileWrite(RemoteFileHandle* handle, FtpConnection* connection);
