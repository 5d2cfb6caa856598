// Telling text from binary data by a sample of its bytes, and the record-file marker that
// starts a local file holding a record-structured FTP byte stream.
#pragma once

#include <cstdint>

// Results of ClassifySample: the representation type the sample calls for.
enum : int32_t {
    SAMPLE_TEXT = 1,    // ASCII type
    SAMPLE_BINARY = 3,  // image type
};

// SAMPLE_BINARY as soon as one byte of the sample belongs to the module's binary byte set
// (chosen once at start-up), else SAMPLE_TEXT; an empty sample is text.
int32_t ClassifySample(const void* bytes, int32_t length);

// The record-file marker: these two 32-bit values, little-endian, as the first 8 bytes of a
// local file that holds a record-structured binary download.
constexpr uint32_t RECORD_FILE_MARKER_FIRST = 0x12345678;
constexpr uint32_t RECORD_FILE_MARKER_SECOND = 0x87654321;
constexpr int32_t RECORD_FILE_MARKER_SIZE = 8;

// Whether `length` bytes start with the record-file marker (fewer than 8 never do).
bool StartsWithRecordFileMarker(const void* bytes, int32_t length);

// Writes the record-file marker into `destination` (RECORD_FILE_MARKER_SIZE bytes).
void PutRecordFileMarker(void* destination);
