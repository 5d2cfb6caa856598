// The TextFormat of a file fetched in image type, decided from its first block. Elsewhere
// the text/binary sample decides, and text without any line end is asked about. VMS
// servers that want a listing before a change of directory send their files as they store
// them: text whose lines end in LF only, or in CR, CR LF and form feed, and binary files
// as variable-length records; their line ends or records are read from the block.
#include "transfer/file_type.h"

#include "connection/ftp_connection.h"
#include "transfer/byte_scan.h"
#include "transfer/converters.h"
#include "transfer/sample.h"

namespace {

bool HoldsLineEnd(const unsigned char* bytes, int32_t length) {
    for (int32_t i = 0; i < length; ++i) {
        if (bytes[i] == kCr || bytes[i] == kLf) return true;
    }
    return false;
}

// The line ends of VMS text: LF-only text, text ending its lines in CR, CR LF or form
// feed, or 0 when the block holds both kinds or neither.
int32_t FormatOfLineEnds(const unsigned char* bytes, int32_t length) {
    bool bareLf = false;
    bool otherEnd = false;  // a CR LF pair, a lone CR or a form feed
    for (int32_t i = 0; i < length; ++i) {
        switch (bytes[i]) {
            case kLf:
                if (i == 0 || bytes[i - 1] != kCr) bareLf = true;
                break;
            case kCr:
                // A CR followed by another CR is judged by the next one; a CR that ends the
                // block is judged by nothing, as its follower is in the next block.
                if (i + 1 < length && bytes[i + 1] != kCr) otherEnd = true;
                break;
            case kFormFeed: otherEnd = true; break;
            default: break;
        }
    }
    if (bareLf == otherEnd) return 0;
    return bareLf ? TEXT_FORMAT_LF_ONLY : TEXT_FORMAT_CR_CRLF_FF;
}

// The records of VMS binary data: each a 16-bit little-endian length, its bytes and a pad
// byte after an odd length. The last record that ends in the block tells whether they
// hold text; a length beyond any record's means the data is not records. Returns
// `textFormat` when no record ends in the block.
int32_t FormatOfRecords(const unsigned char* bytes, int32_t length, int32_t textFormat) {
    int32_t at = 0;
    while (length - at >= 2) {
        const uint32_t recordLength = uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8;
        if (recordLength > VMS_RECORD_LIMIT) return TEXT_FORMAT_NOT_RECORDS;
        const int32_t start = at + 2;
        if (int64_t(start) + recordLength > length) break;
        textFormat = ClassifySample(bytes + start, int32_t(recordLength)) == SAMPLE_TEXT
                         ? TEXT_FORMAT_TEXT_RECORDS
                         : TEXT_FORMAT_BINARY_RECORDS;
        at = start + int32_t(recordLength) + int32_t(recordLength & 1);
    }
    return textFormat;
}

}  // namespace

int32_t DecideFileType(const void* block, int32_t length, FsStateRecord* record,
                       const char* fileName) {
    FtpConnection* connection = record->connection;
    const auto* bytes = static_cast<const unsigned char*>(block);
    if (length < 0) length = 0;
    connection->textFormat = TEXT_FORMAT_TEXT;
    bool ask = false;
    if (record->hostType == HOST_VMS && (connection->hostQuirks & QUIRK_LIST_BEFORE_CWD)) {
        if (ClassifySample(bytes, length) == SAMPLE_TEXT) {
            const int32_t format = FormatOfLineEnds(bytes, length);
            if (format != 0) connection->textFormat = format;
            ask = format == 0;
        } else {
            connection->textFormat = FormatOfRecords(bytes, length, connection->textFormat);
        }
    } else {
        const bool text = ClassifySample(bytes, length) == SAMPLE_TEXT;
        connection->textFormat = text ? TEXT_FORMAT_TEXT : TEXT_FORMAT_BINARY;
        ask = text && !HoldsLineEnd(bytes, length);
    }
    if (ask) {
        const int32_t answer = AskFileType(connection, fileName, record);
        if (answer < 0) return answer;
    }
    return length;
}
