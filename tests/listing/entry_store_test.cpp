// The operations all listing parsers share: the host's copies of line and name (exact
// blocks, the host's own fields left alone), the joined short name at its limit, the
// directory-word and DIR-extension tests under the kind mask, the link-name finder and
// blank-separated fields.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "listing/listing_parser.h"

namespace {

// The text of a block the module handed over; the block must be exactly text and NUL.
std::string BlockText(HGLOBAL block) {
    if (block == nullptr) return "<none>";
    const char* text = static_cast<const char*>(GlobalLock(block));
    std::string copy(text);
    GlobalUnlock(block);
    EXPECT_EQ(GlobalSize(block), copy.size() + 1) << copy;
    return copy;
}

ListingHandle HandleWanting(uint32_t kindMask) {
    ListingHandle handle{};
    handle.kindMask = kindMask;
    return handle;
}

}  // namespace

TEST(EntryStore, CopiesAreExactBlocksAndLeaveTheHostsFieldsAlone) {
    DirEntry entry;
    std::memset(&entry, 0xA5, sizeof entry);
    entry.name = nullptr;
    entry.line = nullptr;

    EXPECT_EQ(StoreLineCopy("-rw-r--r-- 1 u g 5 Jan 1 12:34 x", &entry), 32);
    EXPECT_EQ(entry.lineLength, 32);
    EXPECT_EQ(entry.reserved, 0);
    EXPECT_EQ(BlockText(entry.line), "-rw-r--r-- 1 u g 5 Jan 1 12:34 x");
    entry.reserved = 0xFFFF;
    EXPECT_EQ(StoreName("", &entry), 0);
    EXPECT_EQ(entry.nameLength, 0);
    EXPECT_EQ(entry.reserved, 0);
    EXPECT_EQ(BlockText(entry.name), "");
    for (uint8_t byte : entry.hostData) EXPECT_EQ(byte, 0xA5);
    for (uint8_t byte : entry.hostData2) EXPECT_EQ(byte, 0xA5);
    EXPECT_EQ(entry.kind, 0xA5);

    FreeEntryName(&entry);
    FreeEntryLine(&entry);
    EXPECT_EQ(entry.name, nullptr);
    EXPECT_EQ(entry.line, nullptr);
    FreeEntryName(&entry);  // nothing left to free
}

TEST(EntryStore, NameWithExtensionIsCutAtItsLimitNeverBeyond) {
    struct Case {
        const char* name;
        const char* extension;
        const char* stored;
    } cases[] = {
        {"README", "TXT", "README.TXT"},
        {"ABCDEFGHIJK", "TXT", "ABCDEFGHIJK.TXT"},   // 15: exactly the room
        {"ABCDEFGHIJKL", "TXT", "ABCDEFGHIJKL.TX"},  // 16: the extension is cut
        {"ABCDEFGHIJKLMNOPQ", "TXT", "ABCDEFGHIJKLMNO"},
        {"NOEXTENSION-BUT-LONG", nullptr, "NOEXTENSION-BUT-LONG"},  // only the join is limited
        {"", "", "."},
    };
    for (const Case& c : cases) {
        DirEntry entry{};
        const int32_t length = StoreNameWithExtension(c.name, c.extension, &entry, 15);
        EXPECT_EQ(length, static_cast<int32_t>(std::strlen(c.stored))) << c.name;
        EXPECT_EQ(entry.nameLength, length);
        EXPECT_EQ(BlockText(entry.name), c.stored);
        FreeEntryName(&entry);
    }
}

TEST(EntryStore, DirectoryWordDecidesTheKindUnderTheMask) {
    ListingHandle all = HandleWanting(KIND_MASK_ALL);
    DirEntry entry{};

    char lowerDir[] = "<dir>";
    EXPECT_EQ(ApplyDirectoryWord(lowerDir, &all, &entry), 0);
    EXPECT_EQ(entry.kind, ENTRY_DIRECTORY);
    EXPECT_STREQ(lowerDir, "<DIR>");  // upper-cased in place
    char directory[] = "Directory";
    entry.kind = 0;
    EXPECT_EQ(ApplyDirectoryWord(directory, &all, &entry), 0);
    EXPECT_EQ(entry.kind, ENTRY_DIRECTORY);
    char size[] = "1234";
    EXPECT_EQ(ApplyDirectoryWord(size, &all, &entry), 0);
    EXPECT_EQ(entry.kind, ENTRY_FILE);
    char almost[] = "<DI";  // neither "<DIR>" nor "DIR..."
    EXPECT_EQ(ApplyDirectoryWord(almost, &all, &entry), 0);
    EXPECT_EQ(entry.kind, ENTRY_FILE);
    EXPECT_EQ(ApplyDirectoryWord(nullptr, &all, &entry), PARSE_SKIP);

    // An unwanted kind skips and leaves the record's kind as it was.
    ListingHandle filesOnly = HandleWanting(KIND_MASK_FILES);
    ListingHandle directoriesOnly = HandleWanting(KIND_MASK_DIRECTORIES);
    ListingHandle nothing = HandleWanting(0);
    entry.kind = 0x77;
    char dirWord[] = "dir";
    EXPECT_EQ(ApplyDirectoryWord(dirWord, &filesOnly, &entry), PARSE_SKIP);
    char fileWord[] = "99";
    EXPECT_EQ(ApplyDirectoryWord(fileWord, &directoriesOnly, &entry), PARSE_SKIP);
    EXPECT_EQ(SetDirectoryKind(&nothing, &entry), PARSE_SKIP);
    EXPECT_EQ(SetFileKind(&nothing, &entry), PARSE_SKIP);
    EXPECT_EQ(entry.kind, 0x77);
    EXPECT_EQ(SetDirectoryKind(&directoriesOnly, &entry), 0);
    EXPECT_EQ(entry.kind, ENTRY_DIRECTORY);
    EXPECT_EQ(SetFileKind(&filesOnly, &entry), 0);
    EXPECT_EQ(entry.kind, ENTRY_FILE);
}

TEST(EntryStore, DirExtensionIsLowerOrUpperAfterTheLastDot) {
    const char vms[] = "SUBDIR.DIR;1";
    EXPECT_EQ(FindDirExtension(vms), vms + 7);
    const char lower[] = "a.b.dir";
    EXPECT_EQ(FindDirExtension(lower), lower + 4);
    EXPECT_EQ(FindDirExtension("SUBDIR.Dir;1"), nullptr);  // mixed case does not count
    EXPECT_EQ(FindDirExtension("dir.txt"), nullptr);       // only after the last dot
    EXPECT_EQ(FindDirExtension("NAME.DI"), nullptr);
    EXPECT_EQ(FindDirExtension("NAME."), nullptr);
    EXPECT_EQ(FindDirExtension("DIR"), nullptr);
}

TEST(EntryStore, LinkNameStartsAfterTheThirdBlankFromTheEnd) {
    const char link[] = "lrwxrwxrwx 1 root root 7 Jan 12 12:34 bin -> usr/bin";
    EXPECT_STREQ(FindLinkName(link), "bin -> usr/bin");
    // Each blank counts, runs included, tabs too.
    const char runs[] = "l x  ->\tb";
    EXPECT_STREQ(FindLinkName(runs), " ->\tb");
    EXPECT_STREQ(FindLinkName("x a b c"), "a b c");
    EXPECT_STREQ(FindLinkName("  a b"), " a b");  // the third blank is the first character
    EXPECT_EQ(FindLinkName("a b c"), nullptr);
    EXPECT_EQ(FindLinkName(""), nullptr);
}

TEST(EntryStore, FieldsAreCutInPlaceAndRunsOfBlanksCountOnce) {
    char line[] = "  -rw-r--r--\t 1  u\tg ";
    char* cursor = line;
    EXPECT_STREQ(NextField(&cursor), "-rw-r--r--");
    EXPECT_STREQ(NextField(&cursor), "1");
    EXPECT_STREQ(NextField(&cursor), "u");
    EXPECT_STREQ(NextField(&cursor), "g");
    EXPECT_EQ(NextField(&cursor), nullptr);
    EXPECT_EQ(NextField(&cursor), nullptr);  // stays at the end
    EXPECT_EQ(line[12], '\0');
}
