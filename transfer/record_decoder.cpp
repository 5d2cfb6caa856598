// Decoding the record escapes of a record-structured text file, one pass per read.
#include "transfer/record_decoder.h"

#include <cstring>

#include "transfer/byte_scan.h"

RecordDecoding DecodeRecords(RemoteFileHandle* handle, const unsigned char* buffer,
                             unsigned char* out, int32_t room) {
    const int32_t left = handle->recordBytesLeft > 0 ? handle->recordBytesLeft : 0;
    const int32_t position = handle->recordReadPosition > 0 ? handle->recordReadPosition : 0;
    const unsigned char* at = buffer + position;
    const unsigned char* const end = at + left;
    unsigned char* put = out;
    unsigned char* const limit = out + (room > 0 ? room : 0);
    int32_t& state = handle->conversionState;
    bool endOfFile = state == CONVERSION_END_OF_FILE;

    while (put < limit && !endOfFile) {
        if (state == CONVERSION_END_OF_RECORD || state == CONVERSION_ESCAPED_BYTE) {
            // The byte after the 0xFF is still in the buffer: it was looked at, not taken.
            // (A refill comes only once the buffer is used up, so it is always there.)
            if (at == end) {
                state = CONVERSION_NORMAL;
                continue;
            }
            *put++ = state == CONVERSION_END_OF_RECORD ? kLf : *at;
            ++at;
            state = CONVERSION_NORMAL;
        } else if (at == end) {
            break;
        } else if (state == CONVERSION_ESCAPE_SEEN) {
            switch (*at) {
                case kEndOfRecord: *put++ = kCr; state = CONVERSION_END_OF_RECORD; break;
                case kEndOfFile:
                case kEndOfRecordAndFile: endOfFile = true; state = CONVERSION_END_OF_FILE; break;
                default: *put++ = kEscape; state = CONVERSION_ESCAPED_BYTE; break;
            }
        } else if (*at == kEscape) {
            ++at;
            state = CONVERSION_ESCAPE_SEEN;
        } else {
            // Data up to the next escape goes in one piece, as much as the caller has room for.
            const unsigned char* escape = FindByte(at, end, kEscape);
            const size_t run = static_cast<size_t>(
                escape - at < limit - put ? escape - at : limit - put);
            std::memcpy(put, at, run);
            put += run;
            at += run;
            state = CONVERSION_NORMAL;
        }
    }

    if (endOfFile) {
        // What follows the end of the file in the same block is not part of it.
        handle->recordBytesLeft = 0;
        handle->recordReadPosition = 0;
    } else {
        handle->recordBytesLeft = static_cast<int32_t>(end - at);
        handle->recordReadPosition = static_cast<int32_t>(at - buffer);
    }
    return RecordDecoding{static_cast<int32_t>(put - out), endOfFile};
}

int32_t ReadRecords(RemoteFileHandle* handle, unsigned char* recordBuffer, unsigned char* out,
                    int32_t count, RecordRefill refill, void* source) {
    for (;;) {
        if (handle->conversionState == CONVERSION_END_OF_FILE) return 0;
        if (handle->recordBytesLeft > 0) {
            const RecordDecoding decoded = DecodeRecords(handle, recordBuffer, out, count);
            if (decoded.placed > 0 || decoded.endOfFile) return decoded.placed;
        }
        const int32_t refilled = refill(source, recordBuffer);
        if (refilled < 0) return refilled;
        if (refilled == 0) {
            // An 0xFF at the very end of the data escapes nothing: it is the file's last
            // byte, as a download writes it.
            if (handle->conversionState != CONVERSION_ESCAPE_SEEN) return 0;
            handle->conversionState = CONVERSION_NORMAL;
            out[0] = kEscape;
            return 1;
        }
        handle->recordBytesLeft = refilled < RECORD_BUFFER_SIZE ? refilled : RECORD_BUFFER_SIZE;
        handle->recordReadPosition = 0;
    }
}
