// The byte rules of the converters of fetched files. Each looks only for the bytes it
// changes and emits the runs between them as single pieces.
#include "transfer/converters.h"

#include <cstddef>

#include "transfer/byte_scan.h"
#include "transfer/text_rule.h"

namespace {

// The block in the input buffer; a count beyond the buffer is held to the buffer.
struct Block {
    const unsigned char* begin;
    const unsigned char* end;
};

Block InputBlock(const CopyContext* context) {
    const auto* begin = reinterpret_cast<const unsigned char*>(context->inputBuffer);
    const uint32_t count = context->inputCount;
    return Block{begin, begin + (count < COPY_BUFFER_SIZE ? count : COPY_BUFFER_SIZE)};
}

}  // namespace

int32_t PassThrough(const CopyOutput* output, ConverterState* state, CopyContext* context) {
    const Block block = InputBlock(context);
    return EmitRun(output, block.begin, block.end, context);
}

int32_t ConvertLfOnlyForLocal(const CopyOutput* output, ConverterState* state,
                              CopyContext* context) {
    const auto [begin, end] = InputBlock(context);
    const unsigned char* run = begin;
    for (const unsigned char* lf; (lf = FindByte(run, end, kLf)) != end; run = lf + 1) {
        if (int32_t put = EmitRun(output, run, lf, context); put < 0) return put;
        if (int32_t put = EmitBytes(output, "\r\n", context); put < 0) return put;
    }
    return EmitRun(output, run, end, context);
}

int32_t ConvertLfOnlyForServer(const CopyOutput* output, ConverterState* state,
                               CopyContext* context) {
    // Toward a server the text goes in network form: a CR of the LF-only text is a character
    // of its own and goes as CR NUL.
    const auto [begin, end] = InputBlock(context);
    const unsigned char* run = begin;
    for (const unsigned char* hit; (hit = FindEither(run, end, kLf, kCr)) != end;) {
        if (*hit == kLf) {
            if (int32_t put = EmitRun(output, run, hit, context); put < 0) return put;
            if (int32_t put = EmitBytes(output, "\r\n", context); put < 0) return put;
        } else {
            if (int32_t put = EmitRun(output, run, hit + 1, context); put < 0) return put;
            if (int32_t put = EmitBytes(output, "\0", context); put < 0) return put;
        }
        run = hit + 1;
    }
    return EmitRun(output, run, end, context);
}

int32_t ConvertCrCrLfFf(const CopyOutput* output, ConverterState* state, CopyContext* context) {
    const auto [begin, end] = InputBlock(context);
    if (begin == end) return 0;
    const unsigned char* run = begin;
    // What the last block ended in is decided by this block's first byte.
    if (state->state == CONVERTER_AFTER_CR && *begin != kLf) {
        if (int32_t put = EmitBytes(output, "\n", context); put < 0) return put;
    } else if (state->state == CONVERTER_AFTER_FORM_FEED) {
        if (int32_t put = EmitBytes(output, "\r\n\f", context); put < 0) return put;
    }
    state->state = CONVERTER_LINE;

    // `run` is where the bytes not yet emitted begin, `at` where the search goes on.
    for (const unsigned char* at = begin;;) {
        const unsigned char* hit = FindEither(at, end, kCr, kFormFeed);
        if (hit == end) break;
        const unsigned char* next = hit + 1;
        if (*hit == kCr) {
            if (next == end) {
                state->state = CONVERTER_AFTER_CR;
                break;
            }
            if (*next == kLf) {
                at = next + 1;  // CR LF stays as it is, inside the run
                continue;
            }
            // A lone CR ends its line: it gets the LF it lacks.
            if (int32_t put = EmitRun(output, run, next, context); put < 0) return put;
            if (int32_t put = EmitBytes(output, "\n", context); put < 0) return put;
            run = at = next;
            continue;
        }
        // A form feed: the line before it ends, and the page break follows as CR LF FF.
        if (int32_t put = EmitRun(output, run, hit, context); put < 0) return put;
        run = at = next;
        if (next == end) {
            state->state = CONVERTER_AFTER_FORM_FEED;
            break;
        }
        if (int32_t put = EmitBytes(output, "\r\n\f", context); put < 0) return put;
    }
    return EmitRun(output, run, end, context);
}

int32_t ConvertRecords(const CopyOutput* output, ConverterState* state, CopyContext* context) {
    // Each record is a 16-bit little-endian length, that many data bytes and, when the
    // length is odd, one pad byte; each becomes its data and CR LF. A length beyond the data
    // that follows is not detected: the converter emits what comes and waits for the rest.
    auto [at, end] = InputBlock(context);
    for (;;) {
        switch (state->state) {
            case CONVERTER_RECORD_LENGTH_HIGH:
                if (at == end) return 0;
                state->recordLength = static_cast<uint16_t>(state->recordLength | *at++ << 8);
                state->oddLength = state->recordLength & 1;
                state->state = CONVERTER_RECORD_DATA;
                break;
            case CONVERTER_RECORD_DATA: {
                const ptrdiff_t take = state->recordLength < end - at ? state->recordLength : end - at;
                if (int32_t put = EmitRun(output, at, at + take, context); put < 0) return put;
                at += take;
                state->recordLength = static_cast<uint16_t>(state->recordLength - take);
                if (state->recordLength != 0) return 0;
                state->state = CONVERTER_RECORD_END;
                break;
            }
            case CONVERTER_RECORD_END:
                // Runs only with a byte of the block left, so that a pad byte that opens the
                // next block is skipped there; the end of the data finishes the last line.
                if (at == end) return 0;
                if (int32_t put = EmitBytes(output, "\r\n", context); put < 0) return put;
                if (state->oddLength) ++at;
                state->state = CONVERTER_RECORD_LENGTH;
                break;
            default:  // CONVERTER_RECORD_LENGTH, or a state no record converter leaves
                if (at == end) return 0;
                state->recordLength = *at++;
                if (at == end) {
                    state->state = CONVERTER_RECORD_LENGTH_HIGH;
                    return 0;
                }
                state->recordLength = static_cast<uint16_t>(state->recordLength | *at++ << 8);
                state->oddLength = state->recordLength & 1;
                state->state = CONVERTER_RECORD_DATA;
                break;
        }
    }
}

int32_t FinishConverter(const CopyOutput* output, ConverterState* state, CopyContext* context) {
    // The data ended where a block boundary would have left a decision to the next byte.
    // A CR at the very end is a line end like any other and gets its LF; a form feed at the
    // very end is a page break like any other: dropping it would lose it from the file. The
    // last record of the data gets its line end too, as when more records had followed.
    // A record cut short, or half a length word, is left as it came: inventing a line end
    // for it would hide that the data broke off.
    int32_t put = 0;
    switch (state->state) {
        case CONVERTER_AFTER_CR:
            put = EmitBytes(output, "\n", context);
            state->state = CONVERTER_LINE;
            break;
        case CONVERTER_AFTER_FORM_FEED:
            put = EmitBytes(output, "\r\n\f", context);
            state->state = CONVERTER_LINE;
            break;
        case CONVERTER_RECORD_END:
            put = EmitBytes(output, "\r\n", context);
            state->state = CONVERTER_RECORD_LENGTH;
            break;
        default:
            break;
    }
    return put;
}
