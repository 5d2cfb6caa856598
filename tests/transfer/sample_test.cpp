// Telling text from binary data: every byte value against both binary byte sets, and the
// record-file marker.
#include <gtest/gtest.h>

#include <string>

#include "records/module_state.h"
#include "transfer/sample.h"

namespace {

// The byte values that make a one-byte sample binary, as ranges of the printed table.
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

}  // namespace

TEST(Sample, EachSetMarksItsOwnBytesAndOneOfThemAnywhereMakesTheSampleBinary) {
    const BinaryByteSet inUse = gModule.binaryByteSet;
    gModule.binaryByteSet = BinaryByteSet::First;
    EXPECT_EQ(BinaryBytes(), "00-08 0E-1F 7F FD-FF ");
    gModule.binaryByteSet = BinaryByteSet::Second;
    EXPECT_EQ(BinaryBytes(), "00-08 0E-1F 7F-90 95 98-9F ");

    std::string text = "Line one\tTab\r\nLine two\fpage\vend\n\xE9t\xE9 \x96 \x93quoted\x94\n";
    EXPECT_EQ(ClassifySample(text.data(), static_cast<int32_t>(text.size())), SAMPLE_TEXT);
    EXPECT_EQ(ClassifySample("", 0), SAMPLE_TEXT);
    EXPECT_EQ(ClassifySample("abc\0", 3), SAMPLE_TEXT);  // only `length` bytes count
    text.back() = '\x9F';
    EXPECT_EQ(ClassifySample(text.data(), static_cast<int32_t>(text.size())), SAMPLE_BINARY);
    gModule.binaryByteSet = inUse;

    unsigned char marker[RECORD_FILE_MARKER_SIZE];
    PutRecordFileMarker(marker);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(marker), sizeof marker),
              std::string("\x78\x56\x34\x12\x21\x43\x65\x87", 8));
    EXPECT_TRUE(StartsWithRecordFileMarker(marker, 8));
    marker[7] = 0x88;
    EXPECT_FALSE(StartsWithRecordFileMarker(marker, 8));
}
