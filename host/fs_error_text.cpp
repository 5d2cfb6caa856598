// The names of the module's FsError numbers.
#include "host/fs_error_text.h"

#include "records/tarvoftp.h"

namespace ftpsh {

namespace {

struct ErrorName {
    int32_t error;
    const char* name;
};

// The module's own conditions first; -60 is both a connection that broke during logon and a
// connect that timed out, so its name covers both.
constexpr ErrorName kNames[] = {
    {FSE_FAILED, "failed"},
    {FSE_NOT_FOUND, "not found or refused"},
    {FSE_LOCAL_WRITE, "writing the local file failed"},
    {FSE_STREAM_CLOSED, "connection already closed"},
    {FSE_NO_MEMORY, "out of memory"},
    {FSE_ACCESS_DENIED, "access denied"},
    {FSE_EXISTS, "remote file exists"},
    {FSE_INVALID, "invalid request"},
    {FSE_NO_SPACE, "no space on the server"},
    {FSE_WOULD_BLOCK, "would block"},
    {FSE_NETWORK_DOWN, "network not available"},
    {FSE_NOT_SUPPORTED, "not supported"},
    {FSE_KIND_UNSUPPORTED, "copy between these file systems not supported"},
    {FSE_CONVERSION, "character set conversion failed"},
    {FSE_CONNECTION_BROKEN, "connection broken"},
    {FSE_LOGON_BROKEN, "connection broken or timed out"},
    {FSE_HOST_NOT_FOUND, "host name does not resolve"},
    {FSE_NO_RECORD_MARKER, "local file is not a record file"},
    {FSE_WINDOW_FAILED, "window or setting failed"},
    {FSE_CANCELLED, "cancelled"},
    {FSE_DIRECTORY_TOO_LONG, "working directory too long"},
    {FSE_USER_PROMPT_CANCELLED, "user name prompt cancelled"},
    {FSE_LOGON_REFUSED, "logon refused"},
    {FSE_STOPPED, "stopped"},
    {FSE_SKIP_FILE, "file skipped"},
    {FSE_BAD_LISTING, "listing not understood"},
    {FSE_UNEXPECTED_REPLY, "unexpected reply"},
    {FSE_LOCAL_SHORT_WRITE, "local file took fewer bytes"},
    {FSE_RETRIEVE_REFUSED, "retrieve refused"},
    {FSE_STORE_REFUSED, "store refused"},
    {FSE_NAME_NOT_ALLOWED, "file name not allowed"},
    // Socket failures: 10000 minus the Winsock code.
    {FsErrorFromSocket(10004), "interrupted"},
    {FsErrorFromSocket(10048), "address in use"},
    {FsErrorFromSocket(10049), "address not available"},
    {FsErrorFromSocket(10050), "network down"},
    {FsErrorFromSocket(10051), "network unreachable"},
    {FsErrorFromSocket(10053), "connection aborted"},
    {FsErrorFromSocket(10054), "connection reset"},
    {FsErrorFromSocket(10061), "connection refused"},
    {FsErrorFromSocket(10064), "host down"},
    {FsErrorFromSocket(10065), "host unreachable"},
};

}  // namespace

const char* FsErrorName(int32_t error) {
    for (const ErrorName& entry : kNames) {
        if (entry.error == error) return entry.name;
    }
    return "unknown error";
}

std::string DescribeFsError(int32_t error) {
    return "error " + std::to_string(error) + " (" + FsErrorName(error) + ")";
}

}  // namespace ftpsh
