// Deciding the TextFormat of a file fetched in image type from its first block: by the
// text/binary sample, on VMS servers by the line ends or the records the block holds, and
// by asking the user (FTP_FILETYPE_DLG) when the block does not settle it.
#pragma once

#include <cstdint>

#include "records/tarvoftp.h"

// The LineEndConvention values besides LINE_END_UNIX (2) and LINE_END_CRLF (3).
enum : int32_t {
    LINE_END_CR = 1,             // lines end in CR only
    LINE_END_CR_CRLF_FF = 4,     // lines end in CR, CR LF or form feed
};

// The longest variable-length record a VMS server's binary data can hold; a longer first
// length means the data is not records at all.
constexpr uint32_t VMS_RECORD_LIMIT = 512;

// Decides the TextFormat of the record's connection from the file's first block of
// `length` bytes, asking the user when the block does not tell; `fileName` is the name
// the question shows. Returns `length` when the copy goes on, FSE_STOPPED when the user
// cancelled it, FSE_SKIP_FILE when the user chose to skip the file, or the failure of a
// question that could not be shown. The question may also set the LineEndConvention and
// the same-type-for-remaining-files flag.
int32_t DecideFileType(const void* block, int32_t length, FsStateRecord* record,
                       const char* fileName);
