// Copying a remote file to the local disk: the representation it is fetched in, the data
// connection, and the loop that writes its blocks to the local file as the representation
// or the file's first block says.
#pragma once

#include <cstdint>

#include "transfer/remote_file_handle.h"

// Fetches the remote file of `remote` (opened for reading, nothing fetched yet) into the
// host's local file; the copy record's source is the remote side. 0; the error of choosing
// the representation or of starting the transfer; FSE_SKIP_FILE or FSE_STOPPED from the
// file type question; or the first failure of the copy (a fill, the local file, the host's
// stop), after which the data connection has been reset. The data connection is left to
// the remote file's close, which reads the server's final reply.
int32_t DownloadToLocalFile(RemoteFileHandle* remote, HostLocalFile* local, CopyContext* context);
