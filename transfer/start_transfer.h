// The start of a remote file's transfer.
#pragma once

#include <cstdint>

#include "transfer/remote_file_handle.h"

// Opens the data connection of a remote file by its open mode: RETR for reading, STOR for
// writing or creating, APPE for appending, sent after OpenListeningSocket and followed by
// the accept. The completion reply is left for the file's close. Returns what
// OpenListeningSocket returned (0 or 1) with the handle's data and listening sockets set,
// or: FSE_NOT_SUPPORTED for a mode with no direction, FSE_INVALID for a path too long for
// a command line, FSE_RETRIEVE_REFUSED when RETR is refused, FSE_NAME_NOT_ALLOWED when STOR
// or APPE is refused with 553, FSE_NO_SPACE with 452, FSE_STORE_REFUSED otherwise,
// FSE_CONNECTION_BROKEN when the control connection broke, or the failure of the PORT step
// or of the accept. After a failure the handle holds no socket.
int32_t StartFileTransfer(RemoteFileHandle* handle, FsStateRecord* record);
