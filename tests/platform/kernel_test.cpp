// The kernel services of the POSIX platform as the module relies on them: memory handles,
// text calls and local files by handle. (Dynamic libraries by their Windows names are
// loaded by every module start-up, the code-set and resource libraries included.)
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/platform.h"
#include "platform/posix/hooks.h"
#include "tests/support/temp_folder.h"

namespace {

TEST(Memory, MoveableBlockIsLockedThroughItsHandle) {
    HGLOBAL block = GlobalAlloc(GHND, 100);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(GlobalSize(block), 100u);
    auto* first = static_cast<unsigned char*>(GlobalLock(block));
    ASSERT_NE(first, nullptr);
    EXPECT_NE(static_cast<void*>(first), static_cast<void*>(block));
    for (int i = 0; i < 100; ++i) ASSERT_EQ(first[i], 0) << "byte " << i;
    EXPECT_EQ(GlobalLock(block), first);
    EXPECT_EQ(GlobalFlags(block) & GMEM_LOCKCOUNT, 2u);
    EXPECT_EQ(GlobalHandle(first), block);

    // Unlocking tells whether the block is still locked; one unlock too many fails.
    EXPECT_TRUE(GlobalUnlock(block));
    SetLastError(12345);
    EXPECT_FALSE(GlobalUnlock(block));
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    EXPECT_FALSE(GlobalUnlock(block));
    EXPECT_EQ(GetLastError(), ERROR_NOT_LOCKED);
    EXPECT_EQ(GlobalFree(block), nullptr);

    // An empty moveable block has no memory to lock until it is reallocated.
    block = GlobalAlloc(GMEM_MOVEABLE, 0);
    EXPECT_EQ(GlobalLock(block), nullptr);
    ASSERT_EQ(GlobalReAlloc(block, 10, GMEM_MOVEABLE | GMEM_ZEROINIT), block);
    EXPECT_EQ(static_cast<char*>(GlobalLock(block))[9], 0);
    GlobalUnlock(block);
    GlobalFree(block);
}

TEST(Memory, ReAllocKeepsContentAndZeroFillsOnlyWhenAsked) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 4);
    std::memcpy(GlobalLock(block), "abcd", 4);
    GlobalUnlock(block);

    // Unlocked it may move; the handle stays and the new bytes are zero.
    ASSERT_EQ(GlobalReAlloc(block, 4096, GMEM_MOVEABLE | GMEM_ZEROINIT), block);
    EXPECT_EQ(GlobalSize(block), 4096u);
    auto* data = static_cast<char*>(GlobalLock(block));
    EXPECT_EQ(std::string(data, 4), "abcd");
    for (int i = 4; i < 4096; ++i) ASSERT_EQ(data[i], 0) << "byte " << i;
    EXPECT_EQ(GlobalHandle(data), block);

    // Locked and not allowed to move: growing fails and leaves the block as it was;
    // shrinking works in place.
    EXPECT_EQ(GlobalReAlloc(block, 1 << 20, 0), nullptr);
    EXPECT_EQ(GlobalSize(block), 4096u);
    EXPECT_EQ(GlobalReAlloc(block, 2, 0), block);
    EXPECT_EQ(GlobalLock(block), data);
    EXPECT_EQ(GlobalSize(block), 2u);
    GlobalUnlock(block);
    GlobalUnlock(block);

    // Grown again after shrinking: past the new end lie zeros, not the old bytes.
    ASSERT_EQ(GlobalReAlloc(block, 8, GMEM_ZEROINIT), block);
    data = static_cast<char*>(GlobalLock(block));
    EXPECT_EQ(std::string(data, 8), std::string("ab\0\0\0\0\0\0", 8));
    GlobalUnlock(block);
    EXPECT_EQ(GlobalFree(block), nullptr);
}

TEST(Memory, InvalidAndStaleHandlesFailWithoutCrashing) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 8);
    void* data = GlobalLock(block);
    GlobalUnlock(block);
    ASSERT_EQ(GlobalFree(block), nullptr);

    int onStack = 0;
    for (HGLOBAL handle :
         {block, reinterpret_cast<HGLOBAL>(&onStack), reinterpret_cast<HGLOBAL>(0x1234)}) {
        SetLastError(0);
        EXPECT_EQ(GlobalLock(handle), nullptr);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
        EXPECT_FALSE(GlobalUnlock(handle));
        EXPECT_EQ(GlobalSize(handle), 0u);
        EXPECT_EQ(GlobalReAlloc(handle, 10, GMEM_MOVEABLE), nullptr);
        EXPECT_EQ(GlobalFlags(handle), static_cast<UINT>(GMEM_INVALID_HANDLE));
        EXPECT_EQ(GlobalFree(handle), handle);  // a failed free hands the handle back
    }
    EXPECT_EQ(GlobalHandle(data), nullptr);
    EXPECT_EQ(GlobalHandle(&onStack), nullptr);
    EXPECT_EQ(GlobalFree(nullptr), nullptr);
}

TEST(Strings, CopiesComparisonsAndCaseFollowWindows) {
    char buffer[8];
    std::memset(buffer, 'x', sizeof(buffer));
    EXPECT_EQ(lstrcpynA(buffer, "abcdefghij", 5), buffer);
    EXPECT_STREQ(buffer, "abcd");
    EXPECT_EQ(buffer[5], 'x');
    lstrcpynA(buffer, "zz", 1);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(lstrlenA(nullptr), 0);

    EXPECT_EQ(lstrcmpiA("FTP_Protocol", "FTP_PROTOCOL"), 0);
    EXPECT_EQ(lstrcmpiA("abc", "ABD"), -1);
    EXPECT_EQ(lstrcmpiA("b", "A"), 1);
    EXPECT_EQ(lstrcmpiA("\xE9t\xE9", "\xC9T\xC9"), 0);  // accented letters of the code page
    EXPECT_NE(lstrcmpA("abc", "ABC"), 0);
    EXPECT_EQ(lstrcmpA(nullptr, nullptr), 0);

    char text[] = "Readme.Txt \xE9\xFF";
    EXPECT_EQ(CharUpperA(text), text);
    EXPECT_STREQ(text, "README.TXT \xC9\x9F");
    EXPECT_STREQ(CharLowerA(text), "readme.txt \xE9\xFF");
    const char* word = "ab";
    EXPECT_EQ(CharNextA(word + 1), word + 2);
    EXPECT_EQ(CharNextA(word + 2), word + 2);  // never past the end
}

TEST(LocalFiles, ReadWriteSeekAndExistByHandle) {
    tvtest::TempFolder folder;
    const std::string path = folder / "data.bin";
    HFILE file = _lcreat(path.c_str(), 0);
    ASSERT_NE(file, HFILE_ERROR);
    EXPECT_EQ(_lwrite(file, "0123456789", 10), 10u);
    EXPECT_EQ(_llseek(file, -4, FILE_CURRENT), 6);
    char buffer[16] = {};
    EXPECT_EQ(_lread(file, buffer, sizeof(buffer)), 4u);  // short: the end of the file
    EXPECT_STREQ(buffer, "6789");
    EXPECT_EQ(_lread(file, buffer, sizeof(buffer)), 0u);
    // Writing nothing cuts the file at the current position.
    EXPECT_EQ(_llseek(file, 3, FILE_BEGIN), 3);
    EXPECT_EQ(_lwrite(file, "", 0), 0u);
    EXPECT_EQ(_llseek(file, 0, FILE_END), 3);
    EXPECT_EQ(_llseek(file, -1, FILE_BEGIN), HFILE_ERROR);
    EXPECT_EQ(_lclose(file), 0);

    file = _lopen(path.c_str(), OF_READ);
    EXPECT_EQ(_lwrite(file, "x", 1), static_cast<UINT>(HFILE_ERROR));  // opened for reading
    EXPECT_EQ(_lread(file, buffer, 3), 3u);
    EXPECT_EQ(std::string(buffer, 3), "012");
    _lclose(file);
    EXPECT_EQ(_lclose(file), HFILE_ERROR);
    EXPECT_EQ(_lread(file, buffer, 1), static_cast<UINT>(HFILE_ERROR));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

    // OF_EXIST reports and leaves nothing open, so deleting works at once.
    OFSTRUCT info{};
    EXPECT_EQ(OpenFile(path.c_str(), &info, OF_EXIST), TRUE);
    EXPECT_EQ(info.cBytes, sizeof(OFSTRUCT));
    EXPECT_STREQ(info.szPathName, path.c_str());
    EXPECT_EQ(OpenFile(path.c_str(), &info, OF_DELETE), TRUE);
    SetLastError(0);
    EXPECT_EQ(OpenFile(path.c_str(), &info, OF_EXIST), HFILE_ERROR);
    EXPECT_EQ(info.nErrCode, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    // A directory is not a file, and a path longer than the structure holds is cut.
    EXPECT_EQ(OpenFile(folder.path().c_str(), &info, OF_EXIST), HFILE_ERROR);
    const std::string longPath = folder / std::string(300, 'n');
    EXPECT_EQ(OpenFile(longPath.c_str(), &info, OF_EXIST), HFILE_ERROR);
    EXPECT_EQ(std::strlen(info.szPathName), static_cast<size_t>(OFS_MAXPATHNAME - 1));
}

}  // namespace
