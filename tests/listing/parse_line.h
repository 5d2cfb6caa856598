// Runs listing lines through a parser as the list reader would and compares what the entry
// received. Each line sits in a heap block of exactly its length and a NUL, so that a
// parser reading past its end is caught by AddressSanitizer; the entry's kind starts at a
// marker value so that a kind the parser left alone can be told from one it set, and the
// host's own fields hold a pattern no parser may change.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

#include "listing/listing_parser.h"

namespace tvtest {

// Entry kinds as the rows of the parser tables write them.
constexpr int kDir = ENTRY_DIRECTORY;
constexpr int kFile = ENTRY_FILE;

// The entry kind the host put there before the read.
constexpr uint8_t kUntouchedKind = 0xEE;

struct ParseSetting {
    uint32_t kindMask = KIND_MASK_ALL;
    uint16_t glob = 0;       // 1 for a glob handle
    uint16_t lineCount = 5;  // the line's number in the listing
};
constexpr ParseSetting kGlob{KIND_MASK_ALL, 1, 5};
constexpr ParseSetting kFilesOnly{KIND_MASK_FILES, 0, 5};
constexpr ParseSetting kDirectoriesOnly{KIND_MASK_DIRECTORIES, 0, 5};

struct ParsedLine {
    int32_t result;
    std::string name;  // what the entry's name block holds, when it is kept
    uint8_t kind;
};

// The text of a block the module handed over, which must be exactly text and NUL.
inline std::string BlockText(HGLOBAL block) {
    if (block == nullptr) return "<none>";
    std::string text = static_cast<const char*>(GlobalLock(block));
    GlobalUnlock(block);
    EXPECT_EQ(GlobalSize(block), text.size() + 1) << text;
    return text;
}

// A kept entry must carry its name and the line as received, with matching lengths; a line
// that is not kept must leave no block behind (the record takes the next line).
inline ParsedLine ParseLine(ListingParser parser, uint8_t hostType, std::string_view text,
                            ParseSetting setting = {}) {
    auto line = std::make_unique<char[]>(text.size() + 1);
    std::memcpy(line.get(), text.data(), text.size());
    line[text.size()] = '\0';
    ListingHandle handle{};
    handle.kindMask = setting.kindMask;
    handle.glob = setting.glob;
    handle.lineCount = setting.lineCount;
    DirEntry entry;
    std::memset(&entry, 0xA5, sizeof entry);
    entry.name = entry.line = nullptr;
    entry.kind = kUntouchedKind;

    ParsedLine parsed{parser(&entry, line.get(), &handle, hostType), "", entry.kind};
    if (parsed.result >= 0) {
        parsed.name = BlockText(entry.name);
        EXPECT_EQ(BlockText(entry.line), text);
        EXPECT_EQ(parsed.result, static_cast<int32_t>(parsed.name.size())) << text;
        EXPECT_EQ(entry.nameLength, parsed.name.size()) << text;
        EXPECT_EQ(entry.lineLength, text.size()) << text;
        EXPECT_EQ(entry.reserved, 0) << text;
    } else {
        EXPECT_EQ(entry.name, nullptr) << "name left behind by a skipped line: " << text;
        EXPECT_EQ(entry.line, nullptr) << "line copy left behind by a skipped line: " << text;
    }
    EXPECT_EQ(std::string(reinterpret_cast<char*>(entry.hostData), 10) +
                  std::string(reinterpret_cast<char*>(entry.hostData2), 3),
              std::string(13, '\xA5')) << text;
    FreeEntryName(&entry);
    FreeEntryLine(&entry);
    if (handle.deferredBuffer != nullptr) GlobalFree(handle.deferredBuffer);
    return parsed;
}

// One line and what the host should get from it: the entry's name and kind, or, for a
// line that gives no entry (name ""), the parser's result in `kind`.
struct LineCase {
    std::string line, name;
    int kind;
    ParseSetting setting = {};
};
constexpr int kSkip = PARSE_SKIP;

inline void ExpectLines(ListingParser parser, uint8_t hostType,
                        std::initializer_list<LineCase> cases) {
    for (const LineCase& c : cases) {
        const ParsedLine parsed = ParseLine(parser, hostType, c.line, c.setting);
        EXPECT_EQ(parsed.name, c.name) << c.line;
        EXPECT_EQ(c.name.empty() ? parsed.result : parsed.kind, c.kind) << c.line;
    }
}

}  // namespace tvtest
