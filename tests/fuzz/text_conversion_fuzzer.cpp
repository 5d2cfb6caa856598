// Fuzz target for the text rules of copies: every converter and every direction-bound rule
// over arbitrary bytes cut into arbitrary blocks. Wherever the blocks end, a rule must emit
// the same bytes and give the same result as over whole 2048-byte blocks; an output that
// fails must stop it at once; no rule may read or write outside its block and buffer. The
// upload rules and the download rules of the same structure must undo each other.
//
// Input: three header bytes, then the data.
//   byte 0: the rule (modulo the number of rules); bit 7 set: the output fails from its
//           put number (byte 1 & 7) + 1 on
//   bytes 1-2: seed of the block lengths (0 to 2048, most of them short)
#include <cstdint>
#include <cstring>
#include <string>

#include "tests/fuzz/fuzz_session.h"
#include "transfer/converters.h"
#include "transfer/download_rules.h"
#include "transfer/upload_rules.h"

namespace {

struct Rule {
    int32_t textFormat;
    OutputSide side;
    TextRuleStep step;
    TextRuleFinish finish;
};

// Positions in kRules of the rules that undo each other.
constexpr int kUploadText = 5, kUploadRecords = 6, kDownloadText = 8, kDownloadRecords = 9;

constexpr Rule kRules[] = {
    {TEXT_FORMAT_LF_ONLY, OutputSide::Local, nullptr, nullptr},
    {TEXT_FORMAT_LF_ONLY, OutputSide::Server, nullptr, nullptr},
    {TEXT_FORMAT_CR_CRLF_FF, OutputSide::Local, nullptr, nullptr},
    {TEXT_FORMAT_TEXT_RECORDS, OutputSide::Server, nullptr, nullptr},
    {TEXT_FORMAT_BINARY, OutputSide::Local, nullptr, nullptr},
    {0, OutputSide::Server, UploadStreamText, FinishUploadStreamText},
    {0, OutputSide::Server, UploadRecordText, FinishUploadRecordText},
    {0, OutputSide::Server, UploadRecordFile, FinishUploadRecordFile},
    {0, OutputSide::Local, DownloadStreamText, nullptr},
    {0, OutputSide::Local, DownloadRecordText, FinishDownloadRecordText},
    {0, OutputSide::Local, ImageTypeText, nullptr},
};

struct Sink {
    std::string bytes;
    int puts = 0;
    int failFrom = 0;  // 0: never fails
};

int32_t SinkStep(const CopyOutput* output, const char* bytes, int32_t count, CopyContext*) {
    auto* sink = static_cast<Sink*>(output->sink);
    TVFUZZ_CHECK(count > 0 && count <= COPY_BUFFER_SIZE);
    if (++sink->puts >= sink->failFrom && sink->failFrom != 0) return FSE_LOCAL_SHORT_WRITE;
    sink->bytes.append(bytes, static_cast<size_t>(count));
    return count;
}

// Block lengths from a seed: mostly short, now and then empty or a whole block.
struct Lengths {
    uint32_t state;
    size_t Next() {
        state = state * 1103515245u + 12345u;
        const uint32_t pick = state >> 16;
        if (pick % 8 == 0) return pick % 2 == 0 ? 0 : COPY_BUFFER_SIZE;
        return 1 + pick % (pick % 4 == 0 ? COPY_BUFFER_SIZE : 16);
    }
};

// One copy of `data` through the rule, in blocks of the lengths given (whole 2048-byte
// blocks without a seed): the result, and the bytes out in `sink`.
int32_t Copy(const Rule& rule, const std::string& data, Lengths* lengths, Sink* sink) {
    CopyContext context{};
    context.outputSize = COPY_BUFFER_SIZE;
    const CopyOutput output{SinkStep, INVALID_SOCKET, HFILE_ERROR, sink};
    ConverterState state = StartConverterState(rule.textFormat);
    uint32_t carry = TEXT_CARRY_CLEAR;
    for (size_t at = 0; at < data.size();) {
        size_t length = lengths != nullptr ? lengths->Next() : COPY_BUFFER_SIZE;
        if (length > data.size() - at) length = data.size() - at;
        int32_t result;
        if (rule.step != nullptr) {
            // From a copy of its own, so that the sanitizers see any read beyond the block.
            const std::string block = data.substr(at, length);
            result = rule.step(&output, &carry, block.data(), int32_t(length), &context);
        } else {
            std::memcpy(context.inputBuffer, data.data() + at, length);
            context.inputCount = uint32_t(length);
            result = SelectConverter(rule.textFormat, rule.side)(&output, &state, &context);
        }
        TVFUZZ_CHECK(context.outputCount < COPY_BUFFER_SIZE);  // never left full
        if (result < 0) {
            // A rule stops at once when its output fails, and emits nothing more.
            TVFUZZ_CHECK(result == FSE_NO_RECORD_MARKER || sink->puts == sink->failFrom);
            TVFUZZ_CHECK(context.outputCount == 0);
            return result;
        }
        at += length;
    }
    const int32_t last = rule.step == nullptr  ? FinishConverter(&output, &state, &context)
                         : rule.finish != nullptr ? rule.finish(&output, &carry, &context)
                                                  : 0;
    if (last < 0) return last;
    const int32_t flushed = FlushOutput(&output, &context);
    return flushed < 0 ? flushed : 0;
}

std::string Through(const Rule& rule, const std::string& data) {
    Sink sink;
    TVFUZZ_CHECK(Copy(rule, data, nullptr, &sink) == 0);  // only a failing output fails a rule
    return sink.bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    if (size < 3) return 0;
    const Rule& rule = kRules[(bytes[0] & 0x7F) % (sizeof kRules / sizeof kRules[0])];
    const int failFrom = (bytes[0] & 0x80) != 0 ? 1 + (bytes[1] & 7) : 0;
    const std::string data(reinterpret_cast<const char*>(bytes) + 3, size - 3);

    Sink whole{.bytes = {}, .puts = 0, .failFrom = failFrom};
    Sink split{.bytes = {}, .puts = 0, .failFrom = failFrom};
    Lengths lengths{uint32_t(bytes[1]) | uint32_t(bytes[2]) << 8};
    const int32_t wholeResult = Copy(rule, data, nullptr, &whole);
    const int32_t splitResult = Copy(rule, data, &lengths, &split);
    // Where the blocks end changes neither the result nor the bytes out.
    TVFUZZ_CHECK(wholeResult == splitResult);
    TVFUZZ_CHECK(whole.bytes == split.bytes);
    TVFUZZ_CHECK(whole.bytes.size() <= 3 * data.size() + 4);

    // What an upload sends, the download of the same structure gives back: without the
    // Ctrl-Z bytes for network text; with the end-of-file line end for records, where the
    // data holds no 0xFF of its own (data bytes 0xFF are not escaped on the way out).
    std::string withoutCtrlZ;
    for (char c : data) {
        if (c != '\x1A') withoutCtrlZ += c;
    }
    const std::string network = Through(kRules[kUploadText], data);
    TVFUZZ_CHECK(Through(kRules[kDownloadText], network) == withoutCtrlZ);
    if (data.find('\xFF') == std::string::npos) {
        const std::string sent = Through(kRules[kUploadRecords], data);
        TVFUZZ_CHECK(Through(kRules[kDownloadRecords], sent) == data + "\r\n");
    }
    return 0;
}
