// The entry operations the parser tables cannot reach: the DIR extension counts only after
// the name's last dot, and a short name without name or extension is stored as ".".
#include <gtest/gtest.h>

#include "tests/listing/parse_line.h"

TEST(EntryStore, DirExtensionAfterTheLastDotOnlyAndAnEmptyShortName) {
    const char vms[] = "SUBDIR.DIR;1";
    EXPECT_EQ(FindDirExtension(vms), vms + 7);
    for (const char* none : {"SUBDIR.Dir;1", "dir.txt", "NAME.DI", "NAME.", "DIR"}) {
        EXPECT_EQ(FindDirExtension(none), nullptr) << none;
    }
    DirEntry entry{};
    EXPECT_EQ(StoreNameWithExtension("", "", &entry, 15), 1);
    EXPECT_EQ(tvtest::BlockText(entry.name), ".");
    FreeEntryName(&entry);
    EXPECT_EQ(entry.name, nullptr);
}
