// The record escapes of ASCII text with record structure, decoded for FTP_File_Read: the
// server marks the end of each record with 0xFF 0x01 and the end of the file with 0xFF 0x02
// (or 0xFF 0x03), and the host reads lines that end in CR LF.
#pragma once

#include <cstdint>

#include "transfer/remote_file_handle.h"

// What one decoding pass gave.
struct RecordDecoding {
    int32_t placed;   // bytes put into the caller's buffer
    bool endOfFile;   // the server's end-of-file escape was read
};

// Decodes the handle's record buffer (`buffer`, from the handle's read position on, its
// record bytes left) into `out` until `room` bytes are placed, the buffer is used up or the
// end-of-file escape comes, which empties the buffer. The conversion state carries an
// escape cut by either end into the next pass: 0xFF 0x01 gives CR LF, 0xFF 0xFF and 0xFF
// with any other byte give both bytes, and a CR or 0xFF placed last may leave its second
// byte for the next pass.
RecordDecoding DecodeRecords(RemoteFileHandle* handle, const unsigned char* buffer,
                             unsigned char* out, int32_t room);
