// Copying a file from one server to another, both open through this module: the servers
// exchange the data themselves (one passive, the other told its address with PORT) when
// either connection is set to passive mode, else the module relays it block by block.
#pragma once

#include <cstdint>

#include "transfer/remote_file_handle.h"

// Copies the file of `source` (opened for reading, nothing fetched yet) into the file of
// `destination` (opened for writing, nothing sent yet); the copy record's source and
// destination are the two servers' state records. 0 on success, or the first FsError;
// FSE_NOT_SUPPORTED, with nothing sent, when both records hold the same connection.
// Either way the host closes both handles next: each close reads its server's final reply
// where a transfer was started on it.
int32_t CopyBetweenServers(RemoteFileHandle* source, RemoteFileHandle* destination,
                           CopyContext* context);
