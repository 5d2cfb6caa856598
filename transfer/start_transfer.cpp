// The start of a remote file's transfer: RETR, STOR or APPE by the file's open mode, on a
// data connection prepared as the connection's mode wants, with the server's refusals told
// apart.
#include "transfer/start_transfer.h"

#include "connection/data_connection.h"
#include "util/memory_guards.h"

namespace {

// Reply codes that refine a refused STOR or APPE.
constexpr uint16_t kNameNotAllowed = 553;
constexpr uint16_t kInsufficientStorage = 452;

}  // namespace

int32_t StartFileTransfer(RemoteFileHandle* handle, FsStateRecord* record) {
    FtpConnection* connection = record->connection;
    handle->listeningSocket = INVALID_SOCKET;
    LockedBlock<const char> path(handle->path);
    if (path.get() == nullptr) return FSE_INVALID;

    const char* word;
    const char* format;
    if ((handle->openMode & FILE_MODE_READ) != 0) {
        word = "RETR";
        format = "RETR %s\r\n";
    } else if ((handle->openMode & (FILE_MODE_WRITE | FILE_MODE_CREATE)) != 0) {
        word = "STOR";
        format = "STOR %s\r\n";
    } else if ((handle->openMode & FILE_MODE_APPEND) != 0) {
        word = "APPE";
        format = "APPE %s\r\n";
    } else {
        return FSE_NOT_SUPPORTED;
    }
    // A path that would not fit the command line is refused as an invalid request before
    // anything is sent: cut short, it would name another file, and the transfer would
    // read or overwrite that one.
    if (!CommandLineFits(word, path.get())) return FSE_INVALID;

    DataConnection opened;
    int32_t prepared = OpenListeningSocket(connection, &opened.listening);
    if (prepared < 0) return prepared;

    char line[COMMAND_BUFFER_SIZE];
    wsprintfA(line, format, path.get());
    const Reply reply = SendCommand(connection, line);
    if (reply.Is(ReplyClass::Preliminary)) {
        int32_t accepted = AcceptDataConnection(connection, &opened.listening, &opened.data);
        if (accepted < 0) return accepted;
        handle->listeningSocket = opened.listening;
        handle->dataSocket = opened.data;
        handle->recordBytesLeft = 0;
        handle->recordReadPosition = 0;
        return prepared;
    }

    CloseDataConnection(&opened);
    if (reply.error) return reply.error;
    if ((handle->openMode & FILE_MODE_READ) != 0) return FSE_RETRIEVE_REFUSED;
    switch (reply.code) {
        case kNameNotAllowed: return FSE_NAME_NOT_ALLOWED;
        case kInsufficientStorage: return FSE_NO_SPACE;
        default: return FSE_STORE_REFUSED;
    }
}
