// The line reader of LIST listings. The line buffer holds at most 2047 bytes of data and a
// NUL; a line ends at CR LF and is handed over in place, its CR turned into the NUL. When
// the buffered data ends inside a line, that unfinished line moves to the start of the
// buffer and more data is received behind it, converted to the local code set while
// conversion runs.
#include "listing/line_reader.h"

#include <cstring>

#include "codeset/code_set_state.h"
#include "connection/data_connection.h"
#include "listing/listing_open.h"
#include "util/memory_guards.h"
#include "util/orr.h"

namespace {

constexpr uint32_t kDataCapacity = LISTING_LINE_BUFFER_SIZE - 1;

// How many bytes one receive may take so that what it turns into fits the free part of the
// buffer.
uint32_t ReceiveLimit(uint32_t fill) { return IncomingPieceLimit(kDataCapacity - fill); }

// The data connection has ended, normally (`failure` 0) or with `failure`.
int32_t EndData(FtpConnection* connection, ListingHandle* handle, int32_t failure) {
    const int32_t unanswered = FinishListingTransfer(connection, handle);
    if (failure == 0) failure = unanswered;
    handle->dataState = failure == 0 ? DATA_STATE_ENDED : DATA_STATE_FAILED;
    return failure;
}

// Receives more data behind the `fill` bytes of the buffer, at most `limit` bytes. Returns
// once some bytes have been added rather than when the buffer is full, so that a line goes
// on to the host as soon as its end has arrived. The count added, 0 when the data
// connection ended normally, or an FsError.
int32_t FillLineBuffer(FtpConnection* connection, ListingHandle* handle, char* buffer,
                       uint32_t limit) {
    const bool converting = ConversionRuns();
    ScratchBlock raw(converting ? limit : 0);
    // Short of memory the data connection is left as it is, to be drained.
    if (converting && raw.get() == nullptr) return FSE_NO_MEMORY;
    char* free = buffer + handle->fill;
    int32_t added;
    do {
        const int32_t received =
            ReceiveData(handle->dataSocket, converting ? raw.get() : free,
                        static_cast<int32_t>(limit), connection->ownerWindow);
        if (received <= 0) return EndData(connection, handle, received);
        added = converting ? ConvertIncoming(raw.get(), received, free, kDataCapacity - handle->fill)
                           : received;
        if (added == CONVERSION_FAILED) return EndData(connection, handle, FSE_CONVERSION);
        // Nothing added: the library held the bytes back (the start of a character).
    } while (added == 0);
    handle->fill += static_cast<uint32_t>(added);
    buffer[handle->fill] = '\0';
    return added;
}

}  // namespace

int32_t NextListingLine(FtpConnection* connection, ListingHandle* handle, char* buffer,
                        char** line) {
    if (handle->lineReaderState == LINE_READER_START) {
        handle->cursorOffset = 0;
        handle->fill = 0;
        handle->lineCount = 0;
        buffer[0] = '\0';
        handle->lineReaderState = LINE_READER_RESUME;
    }
    uint32_t lineStart = handle->cursorOffset;
    uint32_t scan = lineStart;
    // Set while the rest of a line too long for the buffer is passed over.
    bool passingOver = false;
    for (;;) {
        // The scan goes from CR to CR (memchr over the bytes that have one after them) and
        // restarts right behind each CR LF: after a line passed over it must look at the
        // very first byte of the next one, which may start another CR LF.
        while (scan + 1 < handle->fill) {
            const void* cr = std::memchr(buffer + scan, '\r', handle->fill - 1 - scan);
            if (cr == nullptr) {
                scan = handle->fill - 1;
                break;
            }
            scan = static_cast<uint32_t>(static_cast<const char*>(cr) - buffer);
            if (buffer[scan + 1] != '\n') {
                ++scan;
                continue;
            }
            const uint32_t end = scan;
            scan += 2;
            if (passingOver || end == lineStart) {
                passingOver = false;
                lineStart = scan;
                continue;
            }
            buffer[end] = '\0';
            handle->cursorOffset = scan;
            ++handle->lineCount;
            *line = buffer + lineStart;
            return LISTING_LINE;
        }

        if (handle->dataState != DATA_STATE_OPEN) {
            handle->cursorOffset = handle->fill;
            // The failure itself was reported when the data ended; a reader that asks again
            // is told that the data failed.
            if (handle->dataState == DATA_STATE_FAILED) return FSE_FAILED;
            return LISTING_DATA_END;
        }

        // The unfinished line moves to the start of the buffer; the part already scanned
        // stays scanned, except for a CR at its end that may yet be followed by its LF.
        const uint32_t kept = handle->fill - lineStart;
        std::memmove(buffer, buffer + lineStart, kept);
        handle->fill = kept;
        buffer[kept] = '\0';
        scan -= lineStart;
        lineStart = 0;
        handle->cursorOffset = 0;

        uint32_t limit = ReceiveLimit(handle->fill);
        if (limit == 0 && handle->fill > 0) {
            // A line that does not fit the buffer (more than 2045 characters before its CR
            // LF) is passed over whole, up to its CR LF, like an empty line, and not
            // counted. Cut to what fits, its name would be another one, or none; and
            // waiting for an end that cannot fit would hold the listing for good. Only a
            // CR at the end is kept, in case its LF comes next.
            passingOver = true;
            const bool endsInCr = buffer[handle->fill - 1] == '\r';
            if (endsInCr) buffer[0] = '\r';
            handle->fill = endsInCr ? 1 : 0;
            buffer[handle->fill] = '\0';
            scan = 0;
            limit = ReceiveLimit(handle->fill);
        }
        // Not even one byte would fit once converted: the code set cannot be read here.
        if (limit == 0) return EndData(connection, handle, FSE_CONVERSION);

        int32_t added = FillLineBuffer(connection, handle, buffer, limit);
        if (added < 0) return added;
        if (added == 0) {
            // The data ended inside a line: a last line without CR LF is not delivered.
            handle->cursorOffset = handle->fill;
            return LISTING_DATA_END;
        }
    }
}
