// Runs one listing line through a parser as the list reader would and reports what the
// entry received. The line sits in a heap block of exactly its length and a NUL, so that a
// parser reading past its end is caught by AddressSanitizer, and the entry's kind starts at
// a marker value so that a kind the parser left alone can be told from one it set.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "listing/listing_parser.h"

namespace tvtest {

// The entry kind the host put there before the read.
constexpr uint8_t kUntouchedKind = 0xEE;

struct ParseSetting {
    uint32_t kindMask = KIND_MASK_ALL;
    uint16_t glob = 0;       // 0 directory handle, 1 glob handle
    uint16_t lineCount = 5;  // the line's number in the listing
};

struct ParsedLine {
    int32_t result = 0;
    std::string name;  // what the entry's name block holds, when it is kept
    std::string line;  // what the entry's line block holds, when it is kept
    uint8_t kind = kUntouchedKind;
};

inline std::string BlockText(HGLOBAL block) {
    const char* text = static_cast<const char*>(GlobalLock(block));
    std::string copy(text);
    GlobalUnlock(block);
    return copy;
}

// Parses `text` with `parser` for `hostType`. A kept entry must carry a name and a line copy
// whose lengths match the blocks; a line that is not kept must leave no block behind in the
// entry (the record takes the next line). The blocks are freed before returning.
inline ParsedLine ParseLine(ListingParser parser, uint8_t hostType, std::string_view text,
                            ParseSetting setting = {}) {
    auto line = std::make_unique<char[]>(text.size() + 1);
    std::memcpy(line.get(), text.data(), text.size());
    line[text.size()] = '\0';

    ListingHandle handle{};
    handle.kindMask = setting.kindMask;
    handle.glob = setting.glob;
    handle.lineCount = setting.lineCount;
    DirEntry entry{};
    entry.kind = kUntouchedKind;

    ParsedLine parsed;
    parsed.result = parser(&entry, line.get(), &handle, hostType);
    parsed.kind = entry.kind;
    if (parsed.result >= 0) {
        EXPECT_NE(entry.name, nullptr) << text;
        EXPECT_NE(entry.line, nullptr) << text;
        if (entry.name != nullptr) parsed.name = BlockText(entry.name);
        if (entry.line != nullptr) parsed.line = BlockText(entry.line);
        EXPECT_EQ(parsed.result, static_cast<int32_t>(parsed.name.size())) << text;
        EXPECT_EQ(entry.nameLength, parsed.name.size()) << text;
        EXPECT_EQ(entry.lineLength, parsed.line.size()) << text;
        EXPECT_EQ(entry.reserved, 0) << text;
    } else {
        EXPECT_EQ(entry.name, nullptr) << "name left behind by a skipped line: " << text;
        EXPECT_EQ(entry.line, nullptr) << "line copy left behind by a skipped line: " << text;
    }
    FreeEntryName(&entry);
    FreeEntryLine(&entry);
    if (handle.deferredBuffer != nullptr) GlobalFree(handle.deferredBuffer);
    return parsed;
}

}  // namespace tvtest
