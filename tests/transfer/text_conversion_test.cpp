// Text conversion of copies: every converter and rule on table cases, run as one block, in
// two blocks split everywhere and byte by byte; a failed output stops each; the buffered
// output and SendAll, FillInput and the local write with their totals, callbacks, failures.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "records/module_state.h"
#include "tests/support/loopback.h"
#include "tests/support/temp_folder.h"
#include "transfer/converters.h"
#include "transfer/data_blocks.h"
#include "transfer/download_rules.h"
#include "transfer/local_write.h"
#include "transfer/upload_rules.h"

namespace {

using namespace std::string_literals;

// An output that keeps what reaches it and where each piece came from; from its
// `failAt`th put on it fails as a full disk does.
struct Sink {
    std::string bytes;
    std::vector<const char*> from;
    int puts = 0, failAt = 0;
    explicit Sink(int failFrom = 0) : failAt(failFrom) {}
};

int32_t SinkStep(const CopyOutput* output, const char* bytes, int32_t count, CopyContext*) {
    auto* sink = static_cast<Sink*>(output->sink);
    if (++sink->puts >= sink->failAt && sink->failAt != 0) return FSE_LOCAL_SHORT_WRITE;
    sink->bytes.append(bytes, static_cast<size_t>(count));
    sink->from.push_back(bytes);
    return count;
}

// A converter (by TextFormat and side) or a direction-bound rule.
struct Rule {
    int32_t textFormat;
    OutputSide side = OutputSide::Local;
    TextRuleStep step = nullptr;
    TextRuleFinish finish = nullptr;
};

const Rule kLfLocal{TEXT_FORMAT_LF_ONLY, OutputSide::Local};
const Rule kLfServer{TEXT_FORMAT_LF_ONLY, OutputSide::Server};
const Rule kCrFf{TEXT_FORMAT_CR_CRLF_FF, OutputSide::Local};
const Rule kCrFfServer{TEXT_FORMAT_CR_CRLF_FF, OutputSide::Server};
const Rule kRecords{TEXT_FORMAT_TEXT_RECORDS, OutputSide::Local};
const Rule kUpText{0, OutputSide::Server, UploadStreamText, FinishUploadStreamText};
const Rule kUpRecords{0, OutputSide::Server, UploadRecordText, FinishUploadRecordText};
const Rule kUpRecordFile{0, OutputSide::Server, UploadRecordFile, FinishUploadRecordFile};
const Rule kDownText{0, OutputSide::Local, DownloadStreamText};
const Rule kDownRecords{0, OutputSide::Local, DownloadRecordText, FinishDownloadRecordText};
const Rule kImageText{0, OutputSide::Local, ImageTypeText};

// One copy of `blocks` through the rule into the sink, flushed at the end: 0 or the failure.
int32_t Copy(const Rule& rule, const std::vector<std::string>& blocks, Sink* sink,
             uint32_t alreadyBuffered = 0) {
    CopyContext context{};
    context.outputSize = COPY_BUFFER_SIZE;
    context.outputCount = alreadyBuffered;
    const CopyOutput output{SinkStep, INVALID_SOCKET, HFILE_ERROR, sink};
    ConverterState state = StartConverterState(rule.textFormat);
    uint32_t carry = TEXT_CARRY_CLEAR;
    for (const std::string& block : blocks) {
        std::memcpy(context.inputBuffer, block.data(), context.inputCount = uint32_t(block.size()));
        const int32_t result =
            rule.step != nullptr
                ? rule.step(&output, &carry, block.data(), int32_t(block.size()), &context)
                : SelectConverter(rule.textFormat, rule.side)(&output, &state, &context);
        if (result < 0) return context.outputCount == 0 ? result : 1;  // 1: went on after it
    }
    const int32_t last = rule.step == nullptr ? FinishConverter(&output, &state, &context)
                         : rule.finish       ? rule.finish(&output, &carry, &context) : 0;
    return last < 0 ? last : FlushOutput(&output, &context) < 0 ? -1 : 0;
}

std::string Marker() { return "\x78\x56\x34\x12\x21\x43\x65\x87"s; }

struct Case {
    const Rule& rule;
    std::string in;
    std::string out;
    int32_t result = 0;
};

const Case kCases[] = {
    {kLfLocal, "a\nb", "a\r\nb"}, {kLfLocal, "a\r\n\nb\n", "a\r\r\n\r\nb\r\n"},
    {kLfServer, "a\nb\rc\r\n", "a\r\nb\r\0c\r\0\r\n"s},
    {kCrFf, "a\rb", "a\r\nb"}, {kCrFf, "a\r\nb\nc", "a\r\nb\nc"}, {kCrFf, "a\fb", "a\r\n\fb"},
    {kCrFf, "a\r\f", "a\r\n\r\n\f"},  // the end of the data completes CR and form feed
    {kCrFf, "\f\f\r\r\n", "\r\n\f\r\n\f\r\n\r\n"}, {kCrFfServer, "x\ry\f", "x\r\ny\r\n\f"},
    {kRecords, "\x03\x00" "abc\x00\x02\x00" "de"s, "abc\r\nde\r\n"},
    {kRecords, "\x01\x00" "a\x00\x01\x00" "b\x00\x00\x00\x02\x00\r\n"s, "a\r\nb\r\n\r\n\r\n\r\n"},
    {kRecords, "\x02\x01"s + std::string(258, 'x'), std::string(258, 'x') + "\r\n"},
    {kRecords, "\x05\x00" "ab"s, "ab"},  // cut short: no line end is made up for it
    {kRecords, "\x01\x00" "a\x00\x07"s, "a\r\n"},
    {{TEXT_FORMAT_BINARY, OutputSide::Local}, "a\r\n\n\0\xFF\x1A"s, "a\r\n\n\0\xFF\x1A"s},
    {{TEXT_FORMAT_BINARY_RECORDS, OutputSide::Server}, "\x01\x00\n"s, "\x01\x00\n"s},
    {{TEXT_FORMAT_NOT_RECORDS, OutputSide::Local}, "\r\f\n", "\r\f\n"},
    {{TEXT_FORMAT_TEXT, OutputSide::Local}, "a\nb", "a\nb"}, {{42, OutputSide::Server}, "\n", "\n"},
    {kUpText, "x\ry\x1a\n", "x\r\0y\n"s},
    {kUpText, "a\r\nb\r\x1a\nc\r\x1a", "a\r\nb\r\nc\r\0"s},  // a CR at the end goes as CR NUL
    {kUpText, "\x1a\r\x1a" "b\r\r\n"s, "\r\0b\r\0\r\n"s},
    {kUpRecords, "line1\r\nline2", "line1\xFF\x01line2\xFF\x02"}, {kUpRecords, "", "\xFF\x02"},
    {kUpRecords, "a\rb\r\r\n\xFF\x01\r", "a\rb\r\xFF\x01\xFF\x01\r\xFF\x02"},
    {kUpRecordFile, Marker() + "\xFF\x01" "abc", "\xFF\x01" "abc"}, {kUpRecordFile, Marker(), ""},
    {kUpRecordFile, Marker().substr(0, 7), "", FSE_NO_RECORD_MARKER},
    {kUpRecordFile, Marker().substr(0, 5) + "xyzabc", "", FSE_NO_RECORD_MARKER},
    {kDownText, "a\r\0b\r\nc\0"s, "a\rb\r\nc\0"s}, {kDownText, "\r\0\0\r\r\0\r"s, "\r\0\r\r\r"s},
    {kDownRecords, "a\xFF\x01" "b\xFF\x02", "a\r\nb\r\n"},
    {kDownRecords, "\xFF\x00\xFF\x03\xFF\xFE\xFF\xFF\x01\xFF"s,
     "\xFF\x00\xFF\x03\xFF\xFE\xFF\r\n\xFF"s},
    {kImageText, "a\nb\r\nc\rd\n", "a\r\nb\r\nc\rd\r\n"}, {kImageText, "\n\r\r\n", "\r\n\r\r\n"},
};

// The same input as one block, in two blocks split at each position, and as single bytes
// with an empty block before each.
std::vector<std::vector<std::string>> Splits(const std::string& in) {
    std::vector<std::vector<std::string>> splits{{in}, {}};
    for (char c : in) splits[1].insert(splits[1].end(), {"", std::string(1, c)});
    for (size_t at = 1; at < in.size(); ++at) splits.push_back({in.substr(0, at), in.substr(at)});
    return splits;
}

}  // namespace

TEST(TextConversion, EveryRuleGivesTheSameBytesWhereverTheBlocksEnd) {
    for (const Case& c : kCases) {
        for (const auto& blocks : Splits(c.in)) {
            Sink sink;
            const int32_t result = Copy(c.rule, blocks, &sink);
            EXPECT_EQ(std::tie(result, sink.bytes), std::tie(c.result, c.out))
                << testing::PrintToString(blocks);
        }
    }
}

TEST(TextConversion, AFailedOutputStopsEveryRuleWithItsError) {
    // The buffer is nearly full, so the first bytes a rule emits put it out, and that fails.
    const std::string text = "line\r\nlone\rcr\nlf\f\x1a\xFF\x01\r\xFF\x02" + std::string(64, '-');
    for (const Rule& rule : {kLfLocal, kLfServer, kCrFf, kRecords, kUpText, kUpRecords,
                             kUpRecordFile, kDownText, kDownRecords, kImageText, Rule{3}}) {
        const std::string in = (rule.step == UploadRecordFile ? Marker() : "\x40\x00"s) + text;
        Sink sink(1);
        EXPECT_EQ(Copy(rule, {in, in}, &sink, COPY_BUFFER_SIZE - 8), FSE_LOCAL_SHORT_WRITE);
        EXPECT_EQ(sink.puts, 1) << testing::PrintToString(in);
    }
    // The steps at the end of the data fail the same way: here only they emit.
    for (const Case& c : {Case{kCrFf, "\f", ""}, Case{kRecords, "\0\0"s, ""},
                          Case{kUpText, "\r", ""}, Case{kUpRecords, "", ""},
                          Case{kDownRecords, "\xFF", ""}}) {
        Sink sink(1);
        EXPECT_EQ(Copy(c.rule, {c.in}, &sink, COPY_BUFFER_SIZE - 1), FSE_LOCAL_SHORT_WRITE);
    }
}

TEST(BufferedOutput, GathersWholeBuffersAndPutsAWholeBuffersWorthOutDirectly) {
    Sink sink;
    const CopyOutput output{SinkStep, INVALID_SOCKET, HFILE_ERROR, &sink};
    CopyContext context{};
    context.outputSize = COPY_BUFFER_SIZE;
    const std::string piece(5000, 'p');
    EXPECT_EQ(BufferedPut(&output, piece.data(), 1000, &context), 1000);
    EXPECT_EQ(BufferedPut(&output, piece.data(), 0, &context), 0);
    EXPECT_EQ(sink.puts, 0);
    EXPECT_EQ(BufferedPut(&output, piece.data(), 1100, &context), 1100);  // fills it: 52 stay
    EXPECT_EQ(FlushOutput(&output, &context), 52);
    EXPECT_EQ(FlushOutput(&output, &context), 0);  // nothing left, nothing put
    EXPECT_EQ(BufferedPut(&output, piece.data(), 5000, &context), 5000);
    EXPECT_EQ(FlushOutput(&output, &context), 904);
    const std::vector<const char*> from{context.outputBuffer, context.outputBuffer, piece.data(),
                                        piece.data() + 2048, context.outputBuffer};
    EXPECT_EQ(sink.from, from);
    EXPECT_EQ(sink.bytes, std::string(2100 + 5000, 'p'));
}

namespace {

// A loopback data connection, both ends non-blocking.
struct DataConnection {
    SOCKET module = socket(AF_INET, SOCK_STREAM, 0), server;
    DataConnection() {
        sockaddr_in address;
        SOCKET listener = tvtest::LoopbackListener(1, &address);
        connect(module, reinterpret_cast<sockaddr*>(&address), sizeof address);
        server = accept(listener, nullptr, nullptr);
        closesocket(listener);
        u_long nonBlocking = 1;
        ioctlsocket(module, FIONBIO, &nonBlocking);
        ioctlsocket(server, FIONBIO, &nonBlocking);
    }
    ~DataConnection() { closesocket(module), closesocket(server); }
};

// The host's callback: records its calls; code 6 first runs `onYield`, then answers `yield`.
struct Host {
    std::vector<std::pair<LONG, LONG>> calls;
    LONG yield = 0, total = 0;
    std::function<void()> onYield;
    void Answer(LONG yieldWith, LONG totalWith) { *this = Host{{}, yieldWith, totalWith, {}}; }
};
Host* gHost = nullptr;

LONG CALLBACK HostCallback(DWORD cookie, LONG code, LONG, LONG value) {
    gHost->calls.emplace_back(code, value);
    if (code == PROGRESS_CODE_YIELD && gHost->onYield) gHost->onYield();
    return code == PROGRESS_CODE_YIELD ? gHost->yield : gHost->total;
}

struct HostCopy : CopyContext {
    explicit HostCopy(Host* host, uint16_t peekInterval = 2) : CopyContext{} {
        gHost = host, gModule.peekInterval = peekInterval;
        progress = HostCallback, inputSize = outputSize = COPY_BUFFER_SIZE;
    }
    ~HostCopy() { gModule.peekInterval = PEEK_INTERVAL_DEFAULT; }
};

}  // namespace

TEST(DataBlocks, SendAllWaitsForTheServerGivingTheHostItsTurnAndCountsWhatWentOut) {
    const std::string big(16 << 20, 's');
    DataConnection data;
    Host host;
    std::string received;
    host.onYield = [&] {  // the server reads all it can while the host has its turn
        char buffer[65536];
        for (int got; (got = recv(data.server, buffer, sizeof buffer, 0)) > 0;)
            received.append(buffer, size_t(got));
    };
    HostCopy copy(&host);
    copy.total = 100;
    EXPECT_EQ(SendAll(data.module, big.data(), int32_t(big.size()), &copy), int32_t(big.size()));
    EXPECT_EQ(copy.total, 100 + big.size());
    EXPECT_EQ(host.calls.back(), std::make_pair(LONG(PROGRESS_CODE_TOTAL), LONG(copy.total)));
    EXPECT_GT(host.calls.size(), 1u);  // it had to wait, and yielded while it did

    // Through the data connection output, a host that answers the total with -7 stops it.
    host.Answer(0, -7);
    CopyOutput output = DataConnectionOutput(data.module);
    EXPECT_EQ(BufferedPut(&output, "tail", 4, &copy), 4);
    EXPECT_EQ(FlushOutput(&output, &copy), -7);
    closesocket(std::exchange(data.module, INVALID_SOCKET));
    received += tvtest::ReadUntilClose(data.server);
    EXPECT_EQ(received, big + "tail");

    // A host that stops the copy while the server does not read: what went out still counts.
    DataConnection stalled;
    host.Answer(-1, 0);
    copy.total = 0;
    EXPECT_EQ(SendAll(stalled.module, big.data(), int32_t(big.size()), &copy), FSE_STOPPED);
    EXPECT_TRUE(copy.total > 0 && copy.total < big.size()) << copy.total;
    EXPECT_EQ(host.calls.size(), 1u);
    // A server that resets the connection ends the send with the socket's failure.
    const linger reset{1, 0};
    setsockopt(stalled.server, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&reset),
               sizeof reset);
    closesocket(std::exchange(stalled.server, INVALID_SOCKET));
    EXPECT_EQ(SendAll(stalled.module, "x", 1, &copy), FsErrorFromSocket(WSAECONNRESET));
}

TEST(DataBlocks, FillInputFillsWholeBlocksUntilTheDataEnds) {
    DataConnection data;
    Host host;
    HostCopy copy(&host, 1);
    // Nothing has come yet: the host gets its turn, and meanwhile the server sends and ends.
    host.onYield = [&] {
        if (host.calls.size() == 1) send(data.server, std::string(5000, 'r').data(), 5000, 0);
        if (host.calls.size() == 2) closesocket(std::exchange(data.server, INVALID_SOCKET));
    };
    std::vector<int32_t> fills;
    std::string filled;
    for (int32_t got = 1; got > 0; filled.append(copy.inputBuffer, copy.inputCount))
        fills.push_back(got = FillInput(data.module, &copy));
    EXPECT_EQ(fills, (std::vector<int32_t>{2048, 2048, 904, 0}));
    EXPECT_EQ(filled, std::string(5000, 'r'));

    DataConnection waiting;
    host.Answer(-1, 0);
    EXPECT_EQ(FillInput(waiting.module, &copy), FSE_STOPPED);
    EXPECT_EQ(copy.inputCount, 0u);
}

TEST(LocalWrite, WritesCountsAndReportsEachPieceAndNeverCutsTheFile) {
    tvtest::TempFolder folder;
    Host host;
    HostCopy copy(&host);
    const HFILE file = _lcreat((folder / "local.txt").c_str(), 0);
    CopyOutput output = LocalFileOutput(file);
    uint32_t carry = TEXT_CARRY_CLEAR;
    EXPECT_EQ(ImageTypeText(&output, &carry, "one\ntwo\n", 8, &copy), 0);
    EXPECT_EQ(FlushOutput(&output, &copy), 10);
    EXPECT_EQ(WriteLocalBlock(file, "never", 0, &copy), 0);  // no write: the file stays whole
    host.total = -3;
    EXPECT_EQ(WriteLocalBlock(file, "!", 1, &copy), -3);
    _lclose(file);
    EXPECT_EQ(tvtest::ReadFile(folder / "local.txt"), "one\r\ntwo\r\n!");
    EXPECT_EQ(host.calls, (std::vector<std::pair<LONG, LONG>>{{2, 10}, {2, 11}}));

    const HFILE full = _lopen("/dev/full", OF_WRITE);
    EXPECT_EQ(WriteLocalBlock(full, "abc", 3, &copy), FSE_LOCAL_WRITE);
    EXPECT_EQ(copy.total, 14u);
    _lclose(full);
}
