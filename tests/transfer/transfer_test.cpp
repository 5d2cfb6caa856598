// The representation of transfers, below the exports: the letters of a STAT reply, text
// told from binary bytes, the choice an upload makes from the local file, and the start of a
// file's transfer with its refusals.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <tuple>

#include "records/module_state.h"
#include "tests/support/host_fixture.h"
#include "tests/support/loopback.h"
#include "transfer/choose_representation.h"
#include "transfer/representation.h"
#include "transfer/sample.h"
#include "transfer/start_transfer.h"

using namespace tvtest;

namespace {

// Flags, reserved, kind, type, format, structure, mode and byte size as one text.
std::string Show(const TransferRepresentation& r) {
    char text[128];
    wsprintfA(text, "%x %x %u %u %u %u %u %u", r.attributeFlags, r.reserved, r.recordKind, r.type,
              r.format, r.structure, r.mode, r.byteSize);
    return text;
}

// The byte values that make a one-byte sample binary, as ranges.
std::string BinaryBytes() {
    std::string ranges;
    for (int b = 0, first = -1; b <= 256; ++b) {
        const unsigned char byte = static_cast<unsigned char>(b);
        const bool binary = b < 256 && ClassifySample(&byte, 1) == SAMPLE_BINARY;
        if (binary && first < 0) first = b;
        if (binary || first < 0) continue;
        char text[16];
        wsprintfA(text, first == b - 1 ? "%02X " : "%02X-%02X ", first, b - 1);
        ranges += text;
        first = -1;
    }
    return ranges;
}

const std::string kSamplePath = ::testing::TempDir() + "tarvo-upload-sample.bin";

// Samples a local file of these bytes for an upload; the file must be back at its start.
int32_t SampleUpload(const std::string& bytes, CopyContext* context) {
    std::ofstream(kSamplePath, std::ios::binary) << bytes;
    HFILE file = _lopen(kSamplePath.c_str(), OF_READ);
    const int32_t result = ChooseUploadRepresentation(file, context);
    EXPECT_EQ(_llseek(file, 0, FILE_CURRENT), 0);
    _lclose(file);
    return result;
}

std::string TextOf(size_t size) {
    std::string text;
    while (text.size() < size) text += "Printable text, CR LF line ends.\r\n";
    return text.substr(0, size);
}

}  // namespace

TEST(Representation, LettersAreOptionalPerGroupAndLeaveOthersToTheNextGroup) {
    const std::tuple<const char*, size_t, const char*> cases[] = {
        {"AN", 2, "2000 0 2 1 1 0 0 0"},
        {"L36FS rest", 5, "0 0 2 4 0 1 1 8"},  // the digits after L are passed over
        {"D", 1, "4000 0 2 0 0 0 0 0"},
        {"ECRB", 4, "10000 0 2 2 3 2 2 0"},
        {"itpc", 4, "1000 0 2 3 2 3 3 0"},
        {"AC", 2, "2000 0 2 1 3 0 0 0"},  // C is a format and a mode: the first group open
        {"AFC", 3, "2000 0 2 1 0 1 3 0"},
        {"NF", 2, "0 0 2 0 1 1 0 0"},
        {"AAN", 1, "2000 0 2 1 0 0 0 0"},  // one letter a group (blanks, unknown letters: the fuzzer)
    };
    for (const auto& [text, taken, fields] : cases) {
        TransferRepresentation out;
        std::memset(&out, 0xEE, sizeof out);
        EXPECT_EQ(ParseRepresentationLetters(&out, text), text + taken) << text;
        EXPECT_EQ(Show(out), fields) << text;
    }
}

TEST(Representation, EachByteSetMarksItsOwnBytesAndOneAnywhereMakesTheSampleBinary) {
    const BinaryByteSet inUse = gModule.binaryByteSet;
    gModule.binaryByteSet = BinaryByteSet::First;
    EXPECT_EQ(BinaryBytes(), "00-08 0E-1F 7F FD-FF ");
    gModule.binaryByteSet = BinaryByteSet::Second;
    EXPECT_EQ(BinaryBytes(), "00-08 0E-1F 7F-90 95 98-9F ");
    std::string text = "Line one\tTab\r\nLine two\fpage\vend\n\xE9t\xE9 \x96 \x93quoted\x94\n";
    EXPECT_EQ(ClassifySample(text.data(), static_cast<int32_t>(text.size())), SAMPLE_TEXT);
    EXPECT_EQ(ClassifySample("abc\0", 3), SAMPLE_TEXT);  // only `length` bytes count
    text.back() = '\x9F';
    EXPECT_EQ(ClassifySample(text.data(), static_cast<int32_t>(text.size())), SAMPLE_BINARY);
    gModule.binaryByteSet = inUse;

    unsigned char marker[RECORD_FILE_MARKER_SIZE];
    PutRecordFileMarker(marker);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(marker), 8), "\x78\x56\x34\x12\x21\x43\x65\x87");
    EXPECT_TRUE(StartsWithRecordFileMarker(marker, 8));
    marker[7] = 0x88;
    EXPECT_FALSE(StartsWithRecordFileMarker(marker, 8));
}

TEST(Representation, UploadSamplesTheFirst512BytesAndTheMarkerChoosesStructure) {
    ScriptedSession session;
    session.Converse({{"TYPE A", "200 Type A."}, {"STRU F", "200 Structure F."},
                      {"TYPE I", "200 Type I."}, {"TYPE A", "200 Type A."}, {"TYPE I", "200 I."},
                      {"STRU R", "200 Structure R."}, {"STRU F", "200 Structure F."},
                      {"TYPE A", "504 Type not supported."}});
    auto context = std::make_unique<CopyContext>();
    context->destination = session.Begin();
    const std::string text = TextOf(600);
    EXPECT_EQ(SampleUpload(text, context.get()), 0);
    EXPECT_EQ(std::string(context->inputBuffer, 512), text.substr(0, 512));
    std::string nul = text;
    nul[511] = '\0';
    EXPECT_EQ(SampleUpload(nul, context.get()), 0);  // image
    nul = text;
    nul[512] = '\0';
    EXPECT_EQ(SampleUpload(nul, context.get()), 0);  // beyond the sample: ASCII
    EXPECT_EQ(SampleUpload(TextOf(511) + "\x1A", context.get()), 0);  // a Ctrl-Z end: binary
    const std::string marker("\x78\x56\x34\x12\x21\x43\x65\x87", 8);
    EXPECT_EQ(SampleUpload(marker + std::string(1000, 'r'), context.get()), 0);
    EXPECT_EQ(SampleUpload(marker.substr(0, 7), context.get()), 0);  // no marker
    EXPECT_EQ(SampleUpload("abc", context.get()), FSE_UNEXPECTED_REPLY);
    EXPECT_EQ(session.connection()->currentType, TYPE_IMAGE);
    // Nothing is sent for an empty file or the user's fixed choice, which is not even read.
    EXPECT_EQ(SampleUpload("", context.get()), 0);
    session.connection()->optionFlags = OPTION_REPRESENTATION_FIXED;
    context->inputBuffer[0] = '#';
    EXPECT_EQ(SampleUpload(std::string(10, '\0'), context.get()), 0);
    EXPECT_EQ(context->inputBuffer[0], '#');
    session.connection()->optionFlags = 0;
    // A handle that cannot be read, or not be sought back, gives the platform's failure.
    HFILE writeOnly = _lopen(kSamplePath.c_str(), OF_WRITE);
    EXPECT_EQ(ChooseUploadRepresentation(writeOnly, context.get()), HFILE_ERROR);
    _lclose(writeOnly);
    std::remove(kSamplePath.c_str());
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    ASSERT_EQ(write(ends[1], "text\r\n", 6), 6);
    close(ends[1]);
    EXPECT_EQ(ChooseUploadRepresentation(ends[0], context.get()), HFILE_ERROR);
    close(ends[0]);
    EXPECT_EQ(session.Finish(), "");
}

TEST(Representation, FileTransfersStartWithTheirCommandAndMapRefusals) {
    const std::string longest(COMMAND_BUFFER_SIZE - 8, 'n');  // "RETR " + it + CR LF + NUL
    struct Case {
        std::string path;
        uint16_t mode;
        std::string command;  // "" when nothing is to be sent
        std::string reply;    // "" when the server closes instead
        int32_t result;
    };
    const Case cases[] = {
        {"/dir/a.txt", FILE_MODE_READ | FILE_MODE_ASCII, "RETR /dir/a.txt", "150 Opening", 0},
        {"lf.txt", FILE_MODE_READ, "RETR lf.txt", "125 Already open", 1},  // PORT answered 350
        {"up", FILE_MODE_WRITE | FILE_MODE_APPEND, "STOR up", "150 Ok to send", 0},
        {"new", FILE_MODE_CREATE, "STOR new", "150 Ok", 0},
        {"log", FILE_MODE_APPEND, "APPE log", "150 Ok", 0},
        {"missing", FILE_MODE_READ, "RETR missing", "550 No such file.", FSE_RETRIEVE_REFUSED},
        {longest, FILE_MODE_READ, "RETR " + longest, "452 Full", FSE_RETRIEVE_REFUSED},
        {"/ro/x", FILE_MODE_CREATE, "STOR /ro/x", "553 Could not create.", FSE_NAME_NOT_ALLOWED},
        {"full", FILE_MODE_APPEND, "APPE full", "452 Insufficient storage.", FSE_NO_SPACE},
        {"other", FILE_MODE_WRITE, "STOR other", "550 Permission denied.", FSE_STORE_REFUSED},
        {"nowhere", FILE_MODE_RECORD | FILE_MODE_ASCII, "", "", FSE_NOT_SUPPORTED},
        {longest + "n", FILE_MODE_READ, "", "", FSE_INVALID},
        {"gone", FILE_MODE_READ, "RETR gone", "", FSE_CONNECTION_BROKEN},
    };
    ScriptedSession session;
    for (const Case& c : cases) {
        if (c.command.empty()) continue;
        session.server().ExpectLineStartingWith("PORT ")
            .Reply(c.result == 1 ? "350 Odd\r\n" : "200 ok\r\n").Expect(c.command + "\r\n");
        if (!c.reply.empty()) session.server().Reply(c.reply + "\r\n");
        if (c.reply[0] == '1') session.server().ConnectToPort().DataSend(c.path).DataClose();
    }
    FsStateRecord* record = session.Begin();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.substr(0, 20));
        RemoteFileHandle handle{};
        handle.path = GlobalAlloc(GMEM_MOVEABLE, c.path.size() + 1);
        lstrcpyA(static_cast<char*>(GlobalLock(handle.path)), c.path.c_str());
        GlobalUnlock(handle.path);
        handle.openMode = c.mode;
        handle.dataSocket = handle.listeningSocket = INVALID_SOCKET;
        handle.recordBytesLeft = handle.recordReadPosition = -1;
        session.connection()->stateFlags = STATE_SEND_PORT;
        EXPECT_EQ(StartFileTransfer(&handle, record), c.result);
        if (c.result < 0) {
            EXPECT_EQ(handle.listeningSocket, INVALID_SOCKET);
            EXPECT_EQ(handle.dataSocket, INVALID_SOCKET);
        } else {
            EXPECT_EQ(handle.recordBytesLeft, 0);
            EXPECT_EQ(handle.recordReadPosition, 0);
            EXPECT_EQ(ReadUntilClose(handle.dataSocket), c.path);
            closesocket(handle.dataSocket);
            closesocket(handle.listeningSocket);
        }
        GlobalFree(handle.path);
    }
    EXPECT_EQ(session.Finish(), "");
}
