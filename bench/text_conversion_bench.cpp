// How fast each converter and each upload and download rule turns text over: 64 MiB of
// the input it typically sees (lines of 10 to 100 characters with that rule's line ends,
// records of that size, page breaks now and then), fed in 2048-byte blocks through the copy
// record's input buffer and the buffered output into an output that throws the bytes away.
// Bytes per second count the input.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "transfer/converters.h"
#include "transfer/download_rules.h"
#include "transfer/sample.h"
#include "transfer/upload_rules.h"

namespace {

constexpr size_t kInputSize = 64u << 20;

// Lines of printable words, 10 to 100 characters each, from a fixed seed.
struct Lines {
    uint32_t state = 20240601;
    std::string Next() {
        state = state * 1103515245u + 12345u;
        std::string line;
        for (size_t length = 10 + (state >> 16) % 91; line.size() < length;) {
            state = state * 1103515245u + 12345u;
            line += static_cast<char>(line.size() % 7 == 6 ? ' ' : 'a' + (state >> 16) % 26);
        }
        return line;
    }
};

// 64 MiB of lines, each followed by what `end` gives for the line's number.
template <typename LineEnd>
std::string TextOf(LineEnd end) {
    Lines lines;
    std::string text;
    text.reserve(kInputSize + 256);
    for (uint32_t number = 0; text.size() < kInputSize; ++number)
        text += end(lines.Next(), number);
    text.resize(kInputSize);
    return text;
}

std::string Records(bool escaped) {
    std::string marker(RECORD_FILE_MARKER_SIZE, '\0');
    PutRecordFileMarker(marker.data());
    return TextOf([&](const std::string& line, uint32_t number) {
        if (escaped) return (number == 0 ? marker : "") + line + "\xFF\x01";
        const auto size = static_cast<char>(line.size());
        return std::string{size, '\0'} + line + (line.size() % 2 != 0 ? std::string(1, '\0') : "");
    });
}

int32_t ThrowAway(const CopyOutput*, const char* bytes, int32_t count, CopyContext*) {
    benchmark::DoNotOptimize(bytes);
    return count;
}

// Runs `convert` over the input in 2048-byte blocks placed in the copy record's input
// buffer, with the end-of-data step and the flush, once per iteration.
template <typename Convert, typename Finish>
void RunBlocks(benchmark::State& state, const std::string& input, Convert convert,
               Finish finish) {
    const CopyOutput output{ThrowAway, INVALID_SOCKET, HFILE_ERROR, nullptr};
    CopyContext context{};
    context.inputSize = context.outputSize = COPY_BUFFER_SIZE;
    for (auto _ : state) {
        for (size_t at = 0; at < input.size(); at += COPY_BUFFER_SIZE) {
            const size_t length = std::min<size_t>(COPY_BUFFER_SIZE, input.size() - at);
            std::memcpy(context.inputBuffer, input.data() + at, length);
            context.inputCount = static_cast<uint32_t>(length);
            if (convert(&output, &context) < 0) state.SkipWithError("the conversion failed");
        }
        if (finish(&output, &context) < 0 || FlushOutput(&output, &context) < 0)
            state.SkipWithError("the end of the conversion failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
}

void RunConverter(benchmark::State& state, int32_t textFormat, OutputSide side,
               const std::string& input) {
    ConverterState converter = StartConverterState(textFormat);
    const auto convert = SelectConverter(textFormat, side);
    RunBlocks(
        state, input,
        [&](const CopyOutput* o, CopyContext* c) { return convert(o, &converter, c); },
        [&](const CopyOutput* o, CopyContext* c) { return FinishConverter(o, &converter, c); });
}

void RunRule(benchmark::State& state, TextRuleStep step, TextRuleFinish finish,
          const std::string& input) {
    uint32_t carry = TEXT_CARRY_CLEAR;
    RunBlocks(
        state, input,
        [&](const CopyOutput* o, CopyContext* c) {
            return step(o, &carry, c->inputBuffer, static_cast<int32_t>(c->inputCount), c);
        },
        [&](const CopyOutput* o, CopyContext* c) { return finish ? finish(o, &carry, c) : 0; });
}

const std::string& LfText() {
    static const std::string text =
        TextOf([](const std::string& line, uint32_t) { return line + "\n"; });
    return text;
}

const std::string& CrLfText() {
    static const std::string text =
        TextOf([](const std::string& line, uint32_t) { return line + "\r\n"; });
    return text;
}

void BM_PassThrough(benchmark::State& state) {
    RunConverter(state, TEXT_FORMAT_BINARY, OutputSide::Local, CrLfText());
}
void BM_LfOnlyToLocal(benchmark::State& state) {
    RunConverter(state, TEXT_FORMAT_LF_ONLY, OutputSide::Local, LfText());
}
void BM_LfOnlyToServer(benchmark::State& state) {
    RunConverter(state, TEXT_FORMAT_LF_ONLY, OutputSide::Server, LfText());
}
void BM_CrCrLfFf(benchmark::State& state) {
    // VMS print files: CR LF lines, a lone CR now and then, a page break every 60 lines.
    static const std::string text = TextOf([](const std::string& line, uint32_t number) {
        return line + (number % 60 == 59 ? "\f" : number % 17 == 0 ? "\r" : "\r\n");
    });
    RunConverter(state, TEXT_FORMAT_CR_CRLF_FF, OutputSide::Local, text);
}
void BM_Records(benchmark::State& state) {
    static const std::string records = Records(false);
    RunConverter(state, TEXT_FORMAT_TEXT_RECORDS, OutputSide::Local, records);
}
void BM_UploadStreamText(benchmark::State& state) {
    RunRule(state, UploadStreamText, FinishUploadStreamText, CrLfText());
}
void BM_UploadRecordText(benchmark::State& state) {
    RunRule(state, UploadRecordText, FinishUploadRecordText, CrLfText());
}
void BM_UploadRecordFile(benchmark::State& state) {
    static const std::string escaped = Records(true);
    RunRule(state, UploadRecordFile, FinishUploadRecordFile, escaped);
}
void BM_DownloadStreamText(benchmark::State& state) {
    RunRule(state, DownloadStreamText, nullptr, CrLfText());
}
void BM_DownloadRecordText(benchmark::State& state) {
    static const std::string escaped = Records(true).substr(RECORD_FILE_MARKER_SIZE);
    RunRule(state, DownloadRecordText, FinishDownloadRecordText, escaped);
}
void BM_ImageTypeText(benchmark::State& state) {
    RunRule(state, ImageTypeText, nullptr, LfText());
}

BENCHMARK(BM_PassThrough)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LfOnlyToLocal)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LfOnlyToServer)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CrCrLfFf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Records)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UploadStreamText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UploadRecordText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UploadRecordFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DownloadStreamText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DownloadRecordText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImageTypeText)->Unit(benchmark::kMillisecond);

}  // namespace
