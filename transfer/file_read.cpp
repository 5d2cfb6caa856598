// Reading a remote file through its handle: the bytes as the server sends them in image
// type, network text with the NUL after a CR dropped, or records decoded into lines. A read
// never waits for the server: while nothing has arrived it returns FSE_WOULD_BLOCK and the
// host calls again.
#include <cstring>

#include "codeset/code_set_state.h"
#include "connection/socket_guard.h"
#include "transfer/download_rules.h"
#include "transfer/file_handle.h"
#include "transfer/record_decoder.h"

namespace {

// One receive of what has arrived, up to `room` bytes: the count, 0 when the server ended
// the data, or the socket failure (FSE_WOULD_BLOCK while nothing has arrived).
int32_t ReceiveNow(SOCKET data, char* into, int32_t room) {
    const int received = recv(data, into, room, 0);
    return received == SOCKET_ERROR ? SocketFailure() : received;
}

// One receive of text into `into`, converted to the local code set while conversion runs
// (then at most as many bytes are received as surely fit `room` converted). The count
// placed, which may be 0 while the code-set library holds back the start of a character;
// *ended is set when the server ended the data; or FSE_INVALID for a room too small for
// one converted byte, FSE_CONVERSION, or the socket failure.
int32_t ReceiveText(SOCKET data, char* into, int32_t room, bool* ended) {
    *ended = false;
    if (!ConversionRuns()) {
        const int32_t received = ReceiveNow(data, into, room);
        *ended = received == 0;
        return received;
    }
    const uint32_t piece = IncomingPieceLimit(static_cast<uint32_t>(room));
    if (piece == 0) return FSE_INVALID;
    ScratchBlock scratch(piece);
    if (scratch.get() == nullptr) return FSE_NO_MEMORY;
    const int32_t received = ReceiveNow(data, scratch.get(), static_cast<int32_t>(piece));
    if (received <= 0) {
        *ended = received == 0;
        return received;
    }
    const int32_t converted =
        ConvertIncoming(scratch.get(), received, into, static_cast<uint32_t>(room));
    return converted == CONVERSION_FAILED ? FSE_CONVERSION : converted;
}

// The output of the download text rule when it runs in place: the bytes it keeps move
// down over the ones it drops. They never overtake the rule's reading: it emits no more
// than it has read, and the copy step moves what it gathered only after reading it.
int32_t MoveDown(const CopyOutput* output, const char* bytes, int32_t count, CopyContext*) {
    auto** at = static_cast<char**>(output->sink);
    std::memmove(*at, bytes, static_cast<size_t>(count));
    *at += count;
    return count;
}

// The download rule of network text (a NUL right after a CR is dropped), with the
// handle's conversion state as its carry: the bytes kept, moved to the front.
int32_t DropNulAfterCr(RemoteFileHandle* handle, char* bytes, int32_t count) {
    char* kept = bytes;
    const CopyOutput output{MoveDown, INVALID_SOCKET, HFILE_ERROR, &kept};
    CopyContext context{};
    uint32_t carry =
        handle->conversionState == CONVERSION_CARRIAGE_RETURN ? TEXT_CARRY_SET : TEXT_CARRY_CLEAR;
    DownloadStreamText(&output, &carry, bytes, count, &context);
    FlushOutput(&output, &context);
    handle->conversionState =
        carry == TEXT_CARRY_SET ? CONVERSION_CARRIAGE_RETURN : CONVERSION_TEXT_NORMAL;
    return static_cast<int32_t>(kept - bytes);
}

int32_t ReadText(RemoteFileHandle* handle, char* buffer, int32_t count) {
    for (;;) {
        bool ended = false;
        const int32_t received = ReceiveText(handle->dataSocket, buffer, count, &ended);
        if (received < 0 || ended) return received;
        // A read whose bytes were all dropped (the NUL after a CR that ended the last read,
        // or a character the code-set library holds back) is no end of the data: it
        // receives again, which returns at once when nothing more has arrived.
        if (const int32_t kept = DropNulAfterCr(handle, buffer, received); kept > 0) return kept;
    }
}

// Refills the record buffer from the data connection (the source), converted while
// code-set conversion runs; a receive that the code-set library turned into nothing yet
// receives again.
int32_t RefillFromDataConnection(void* source, unsigned char* recordBuffer) {
    const SOCKET data = *static_cast<const SOCKET*>(source);
    for (;;) {
        bool ended = false;
        const int32_t received = ReceiveText(data, reinterpret_cast<char*>(recordBuffer),
                                             RECORD_BUFFER_SIZE, &ended);
        if (received != 0 || ended) return received;
    }
}

int32_t ReadRecordText(RemoteFileHandle* handle, unsigned char* out, int32_t count) {
    if (handle->recordBuffer == nullptr) {
        handle->recordBuffer = GlobalAlloc(GMEM_MOVEABLE, RECORD_BUFFER_SIZE);
        if (handle->recordBuffer == nullptr) return FSE_NO_MEMORY;
    }
    LockedBlock<unsigned char> recordBuffer(handle->recordBuffer);
    if (!recordBuffer) return FSE_NO_MEMORY;
    return ReadRecords(handle, recordBuffer.get(), out, count, RefillFromDataConnection,
                       &handle->dataSocket);
}

// What has arrived, into the host's buffer by the representation the connection is in.
int32_t ReadData(RemoteFileHandle* handle, FtpConnection* connection, char* buffer,
                 int32_t wanted) {
    if (wanted == 0) return 0;
    if (connection->currentType != TYPE_ASCII) {
        return ReceiveNow(handle->dataSocket, buffer, wanted);
    }
    if (connection->currentStructure == STRUCTURE_RECORD) {
        return ReadRecordText(handle, reinterpret_cast<unsigned char*>(buffer), wanted);
    }
    return ReadText(handle, buffer, wanted);
}

}  // namespace

extern "C" {

LONG WINAPI FTP_File_Read(HostHandleBlock* file, LPSTR buffer, LONG count) {
    return RunFileCall(file, buffer, count, ReadData);
}

}  // extern "C"
