// Reads of record-structured text wherever the server's blocks and the host's reads end:
// what no exchange test can cut at every byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "transfer/record_decoder.h"

namespace {

struct Blocks {
    std::string data;
    size_t at, first, rest;  // the first block's size, then every other block's
};

int32_t NextBlock(void* source, unsigned char* buffer) {
    auto* blocks = static_cast<Blocks*>(source);
    const size_t size = std::min({blocks->at == 0 ? blocks->first : blocks->rest,
                                  blocks->data.size() - blocks->at, size_t{RECORD_BUFFER_SIZE}});
    blocks->data.copy(reinterpret_cast<char*>(buffer), size, blocks->at);
    blocks->at += size;
    return static_cast<int32_t>(size);
}

// Reads of `readSize` until the first 0: what the host gets.
std::string ReadAll(Blocks blocks, int32_t readSize) {
    RemoteFileHandle handle{};
    handle.conversionState = CONVERSION_NORMAL;
    std::vector<unsigned char> buffer(RECORD_BUFFER_SIZE), out(readSize);
    std::string got;
    for (int32_t read; (read = ReadRecords(&handle, buffer.data(), out.data(), readSize, NextBlock, &blocks)) > 0;) {
        EXPECT_LE(read, readSize);
        got.append(out.begin(), out.begin() + read);
    }
    return got;
}

TEST(RecordRead, SameLinesWhereverBlocksAndReadsEnd) {
    const std::pair<std::string, std::string> cases[] = {
        {std::string("A\xFF\x01" "B\xFF\x02", 6), "A\r\nB"},
        {std::string("\xFF\x01\xFF\x01x", 5), "\r\n\r\nx"},
        {std::string("a\xFF\xFF\xFF\x00", 5), std::string("a\xFF\xFF\xFF\x00", 5)},  // kept as they came
        {std::string("a\xFF\x03" "b", 4), "a"},                                     // end of record and file
        {std::string("a\xFF\x02" "after", 8), "a"},                                 // nothing after the end
        {std::string("a\xFF", 2), std::string("a\xFF", 2)},                         // an 0xFF that ends the data
        {"", ""},
    };
    for (const auto& [sent, lines] : cases) {
        for (size_t first = 1; first <= sent.size() + 1; ++first) {
            for (size_t rest : {size_t{1}, size_t{RECORD_BUFFER_SIZE}}) {
                for (int32_t readSize : {1, 2, 3, RECORD_BUFFER_SIZE}) {
                    EXPECT_EQ(ReadAll({sent, 0, first, rest}, readSize), lines)
                        << testing::PrintToString(sent) << " in blocks of " << first << ", then " << rest
                        << ", read " << readSize << " at a time";
                }
            }
        }
    }
}

}  // namespace
