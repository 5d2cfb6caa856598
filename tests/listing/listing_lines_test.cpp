// The listing parsers on the lines of listing_lines.txt, each line run as the list reader
// would: in a heap block of exactly its length and a NUL (a parser reading past its end is
// caught by AddressSanitizer), into an entry whose fields hold a pattern. A kept entry must
// carry its name and the line as received in blocks of their lengths; a line that is not kept
// leaves no block behind; no parser touches the host's own bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>

#include "listing/listing_parser.h"
#include "tests/support/escaped_text.h"

namespace {

// The text of a block the module handed over, which must be exactly text and NUL.
std::string BlockText(HGLOBAL block) {
    std::string text = static_cast<const char*>(GlobalLock(block));
    GlobalUnlock(block);
    EXPECT_EQ(GlobalSize(block), text.size() + 1) << text;
    return text;
}

// A field of a row: quotes keep its blanks; then the escapes of the test files.
std::string Field(std::string text) {
    if (text.size() > 1 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
    return tvtest::Unescape(text);
}

// What the parser made of the line: "KIND NAME", "skip", "end" or its error.
std::string Parse(uint8_t hostType, const std::string& text, const ListingHandle& setting) {
    auto line = std::make_unique<char[]>(text.size() + 1);
    std::memcpy(line.get(), text.c_str(), text.size() + 1);
    ListingHandle handle = setting;
    DirEntry entry;
    std::memset(&entry, 0xA5, sizeof entry);
    entry.name = entry.line = nullptr;
    const int32_t result = SelectListingParser(hostType)(&entry, line.get(), &handle, hostType);
    std::string got = result == PARSE_SKIP ? "skip" : result == PARSE_NOT_THIS_FORMAT ? "end" : std::to_string(result);
    if (result >= 0) {
        const std::string name = BlockText(entry.name);
        got = (entry.kind == ENTRY_DIRECTORY ? "dir" : entry.kind == ENTRY_FILE ? "file" : entry.kind == 0xA5 ? "host" : std::to_string(entry.kind)) + " " + name;
        EXPECT_EQ(BlockText(entry.line), text);
        EXPECT_TRUE(result == static_cast<int32_t>(name.size()) && entry.nameLength == name.size() && entry.lineLength == text.size() && entry.reserved == 0);
    }
    EXPECT_TRUE(result >= 0 || (entry.name == nullptr && entry.line == nullptr)) << "a block left behind by a skipped line";
    EXPECT_EQ(std::string(reinterpret_cast<char*>(entry.hostData), 10) + std::string(reinterpret_cast<char*>(entry.hostData2), 3), std::string(13, '\xA5'));
    FreeEntryName(&entry);
    FreeEntryLine(&entry);
    if (handle.deferredBuffer != nullptr) GlobalFree(handle.deferredBuffer);
    return got;
}

}  // namespace

TEST(ListingLines, EachParserGivesTheEntryOfEachLine) {
    const std::map<std::string, uint8_t> hosts = {
        {"DOS", HOST_DOS}, {"MACINTOSH", HOST_MACINTOSH}, {"MVS", HOST_MVS}, {"BRANNOCK", HOST_BRANNOCK},
        {"OS2", HOST_OS2}, {"UNIX", HOST_UNIX}, {"VM", HOST_VM}, {"VMS", HOST_VMS}, {"WINDOWS_95", HOST_WINDOWS_95},
        {"WINDOWS_NT_DOS", HOST_WINDOWS_NT_DOS}, {"WINDOWS_NT_UNIX", HOST_WINDOWS_NT_UNIX}};
    const std::map<std::string, void (*)(ListingHandle&)> settings = {
        {"+glob", [](ListingHandle& h) { h.glob = 1; }}, {"+first", [](ListingHandle& h) { h.lineCount = 1; }},
        {"+files", [](ListingHandle& h) { h.kindMask = KIND_MASK_FILES; }},
        {"+dirs", [](ListingHandle& h) { h.kindMask = KIND_MASK_DIRECTORIES; }},
        {"+none", [](ListingHandle& h) { h.kindMask = 0; }}};
    std::ifstream in(std::filesystem::path(__FILE__).parent_path() / "listing_lines.txt");
    uint8_t host = 0;
    int number = 0, rows = 0;
    for (std::string row; std::getline(in, row);) {
        SCOPED_TRACE("listing_lines.txt:" + std::to_string(++number));
        if (row.empty() || row[0] == '#') continue;
        if (row.starts_with("host ")) {
            ASSERT_TRUE(hosts.count(row.substr(5)));
            host = hosts.at(row.substr(5));
            continue;
        }
        ListingHandle handle{};
        handle.kindMask = KIND_MASK_ALL;
        handle.lineCount = 5;
        while (settings.count(row.substr(0, row.find(' ')))) {
            settings.at(row.substr(0, row.find(' ')))(handle);
            row.erase(0, row.find(' ') + 1);
        }
        const size_t arrow = row.rfind("  =>  ");
        ASSERT_TRUE(arrow != std::string::npos && host != 0) << row;
        const std::string result = row.substr(arrow + 6), line = Field(row.substr(0, arrow));
        const size_t blank = result.find(' ');
        EXPECT_EQ(Parse(host, line, handle), blank == std::string::npos ? result : result.substr(0, blank + 1) + Field(result.substr(blank + 1))) << line;
        ++rows;
    }
    EXPECT_GT(rows, 100) << "the table is read";
}
