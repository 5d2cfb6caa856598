// The record escapes of ASCII text with record structure, decoded for FTP_File_Read: the
// server marks the end of each record with 0xFF 0x01 and the end of the file with 0xFF 0x02
// (or 0xFF 0x03), and the host reads lines that end in CR LF.
#pragma once

#include <cstdint>

#include "transfer/remote_file_handle.h"

// The conversion state after the end-of-file escape: what the server sends after it is no
// part of the file, and every later read gives 0, however the blocks were cut.
constexpr int32_t CONVERSION_END_OF_FILE = 5;

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

// Fills the empty record buffer (RECORD_BUFFER_SIZE bytes) from the data connection: the
// count placed, 0 at the end of the data, or an FsError.
using RecordRefill = int32_t (*)(void* source, unsigned char* recordBuffer);

// One read of a record-structured text file: decodes what the record buffer holds into
// `out` (up to `count` bytes, more than 0), refilling the buffer only while nothing has
// been placed, so that a failure of the data connection never stands in for bytes already
// decoded. The count placed; 0 at the end of the file (the end-of-file escape, or the end
// of the data); or the refill's FsError.
int32_t ReadRecords(RemoteFileHandle* handle, unsigned char* recordBuffer, unsigned char* out,
                    int32_t count, RecordRefill refill, void* source);
