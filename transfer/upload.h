// Copying a local file to the server: the representation its first bytes call for, the
// data connection, and the loop that sends its blocks through the rule of that
// representation.
#pragma once

#include <cstdint>

#include "transfer/remote_file_handle.h"

// Sends the host's local file, from where it stands, to the remote file of `remote`
// (opened for writing, creating or appending; nothing sent yet); the copy record's
// destination is the remote side. 0; the error of choosing the representation or of
// starting the transfer; HFILE_ERROR when the local file cannot be read; FSE_CONVERSION;
// FSE_NO_RECORD_MARKER for a record upload of a file without the record-file marker; or
// the first failure of sending (the host's stop included), after which the data connection
// has been reset. On success the data connection is left to the remote file's close.
int32_t UploadFromLocalFile(HostLocalFile* local, RemoteFileHandle* remote, CopyContext* context);
