// The operations all listing parsers share, where the parser tables cannot see them: the
// host's copies of line and name leave the host's own fields alone, and the DIR extension
// counts only after the name's last dot.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/listing/parse_line.h"

using tvtest::BlockText;

TEST(EntryStore, CopiesAreExactBlocksAndLeaveTheHostsFieldsAlone) {
    DirEntry entry;
    std::memset(&entry, 0xA5, sizeof entry);
    entry.name = entry.line = nullptr;
    EXPECT_EQ(StoreLineCopy("-rw-r--r-- 1 u g 5 Jan 1 12:34 x", &entry), 32);
    EXPECT_EQ(entry.lineLength, 32);
    EXPECT_EQ(entry.reserved, 0);
    EXPECT_EQ(BlockText(entry.line), "-rw-r--r-- 1 u g 5 Jan 1 12:34 x");
    entry.reserved = 0xFFFF;
    EXPECT_EQ(StoreNameWithExtension("", "", &entry, 15), 1);
    EXPECT_EQ(entry.nameLength, 1);
    EXPECT_EQ(entry.reserved, 0);
    EXPECT_EQ(BlockText(entry.name), ".");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(entry.hostData), 10) +
                  std::string(reinterpret_cast<char*>(entry.hostData2), 3) + char(entry.kind),
              std::string(14, '\xA5'));
    FreeEntryName(&entry);
    FreeEntryLine(&entry);
    EXPECT_TRUE(entry.name == nullptr && entry.line == nullptr);
    FreeEntryName(&entry);  // nothing left to free

    const char vms[] = "SUBDIR.DIR;1";
    EXPECT_EQ(FindDirExtension(vms), vms + 7);
    for (const char* none : {"SUBDIR.Dir;1", "dir.txt", "NAME.DI", "NAME.", "DIR"}) {
        EXPECT_EQ(FindDirExtension(none), nullptr) << none;
    }
}
