// The converters of fetched files, chosen by the connection's TextFormat: LF-only text, text
// whose lines end in CR, CR LF or form feed, variable-length records holding text, and the
// pass-through for everything else. A converter takes the block in the copy record's input
// buffer, emits through the buffered output (to the local file for a download, to a data
// connection for a copy between two servers), and carries its state from block to block for
// the whole copy.
#pragma once

#include <cstdint>

#include "records/tarvoftp.h"
#include "transfer/buffered_output.h"

// TextFormat: how a fetched file is converted.
enum : int32_t {
    TEXT_FORMAT_TEXT = 1,            // network text fetched in image type
    TEXT_FORMAT_BINARY = 3,          // no conversion
    TEXT_FORMAT_LF_ONLY = 6,         // lines end in LF only
    TEXT_FORMAT_CR_CRLF_FF = 7,      // lines end in CR, CR LF or form feed
    TEXT_FORMAT_TEXT_RECORDS = 8,    // variable-length records holding text
    TEXT_FORMAT_BINARY_RECORDS = 9,  // variable-length records holding binary data
    TEXT_FORMAT_NOT_RECORDS = 16,    // data that is not valid variable-length records
};

// Values of ConverterState::state.
enum : int32_t {
    CONVERTER_PLAIN = 1,                // a converter without state
    CONVERTER_RECORD_LENGTH = 10,       // a record's two length bytes come next
    CONVERTER_RECORD_LENGTH_HIGH = 11,  // the low length byte is in recordLength
    CONVERTER_RECORD_DATA = 12,         // recordLength data bytes are still to come
    CONVERTER_RECORD_END = 13,          // the record is whole: its line end is still to come
    CONVERTER_LINE = 20,                // within a line
    CONVERTER_AFTER_CR = 21,            // a CR was copied last
    CONVERTER_AFTER_FORM_FEED = 22,     // a form feed was read and not yet replaced
};

// The state of one copy's converter.
struct ConverterState {
    uint16_t recordLength;  // bytes of the current record still to come
    uint8_t oddLength;      // the current record's length is odd: a pad byte follows it
    int32_t state;          // CONVERTER_*
};

// Where a converter's output goes: a data connection of another server, or the local file.
enum class OutputSide { Server, Local };

using Converter = int32_t (*)(const CopyOutput* output, ConverterState* state,
                              CopyContext* context);

// The converter of a TextFormat for an output side; every format without a conversion of
// its own passes the data through unchanged.
Converter SelectConverter(int32_t textFormat, OutputSide side);

// The state a converter starts a copy in: 20 for format 7, 10 for format 8, else 1.
int32_t InitialConverterState(int32_t textFormat);

// A fresh state for a copy in `textFormat`.
inline ConverterState StartConverterState(int32_t textFormat) {
    return ConverterState{0, 0, InitialConverterState(textFormat)};
}

// Completes, at the end of the data, what the last block left waiting for a byte that will
// not come: 0, or the output's failure.
int32_t FinishConverter(const CopyOutput* output, ConverterState* state, CopyContext* context);

// The converters. Each returns 0, or the first failure of the output, and stops there.
int32_t PassThrough(const CopyOutput* output, ConverterState* state, CopyContext* context);
int32_t ConvertLfOnlyForLocal(const CopyOutput* output, ConverterState* state,
                              CopyContext* context);
int32_t ConvertLfOnlyForServer(const CopyOutput* output, ConverterState* state,
                               CopyContext* context);
int32_t ConvertCrCrLfFf(const CopyOutput* output, ConverterState* state, CopyContext* context);
int32_t ConvertRecords(const CopyOutput* output, ConverterState* state, CopyContext* context);
