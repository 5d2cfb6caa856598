// The kernel services of the POSIX platform as the module relies on them: memory handles,
// text calls, local files by handle and dynamic libraries.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

#include "platform/platform.h"
#include "platform/posix/hooks.h"

namespace {

TEST(Memory, MoveableBlockIsLockedThroughItsHandle) {
    HGLOBAL block = GlobalAlloc(GHND, 100);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(GlobalSize(block), 100u);

    auto* first = static_cast<unsigned char*>(GlobalLock(block));
    ASSERT_NE(first, nullptr);
    EXPECT_NE(static_cast<void*>(first), static_cast<void*>(block));
    for (int i = 0; i < 100; ++i) ASSERT_EQ(first[i], 0) << "GHND must zero the block";
    void* second = GlobalLock(block);
    EXPECT_EQ(second, first);
    EXPECT_EQ(GlobalFlags(block) & GMEM_LOCKCOUNT, 2u);
    EXPECT_EQ(GlobalHandle(first), block);

    // Unlocking reports whether the block is still locked; one unlock too many fails.
    EXPECT_TRUE(GlobalUnlock(block));
    SetLastError(12345);
    EXPECT_FALSE(GlobalUnlock(block));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_FALSE(GlobalUnlock(block));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_LOCKED));

    EXPECT_EQ(GlobalFree(block), nullptr);
}

TEST(Memory, ReAllocKeepsContentAndZeroFillsOnlyWhenAsked) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 4);
    ASSERT_NE(block, nullptr);
    std::memcpy(GlobalLock(block), "abcd", 4);
    GlobalUnlock(block);

    // Unlocked: may move, the handle stays, new bytes are zero with GMEM_ZEROINIT.
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

    // Shrunk, then grown again with zero fill: the bytes past the new end are zero, not
    // what was there before.
    ASSERT_EQ(GlobalReAlloc(block, 8, GMEM_ZEROINIT), block);
    data = static_cast<char*>(GlobalLock(block));
    EXPECT_EQ(std::string(data, 8), std::string("ab\0\0\0\0\0\0", 8));
    GlobalUnlock(block);
    EXPECT_EQ(GlobalFree(block), nullptr);
}

TEST(Memory, FixedBlocksAreTheirOwnHandles) {
    HGLOBAL block = GlobalAlloc(GPTR, 16);
    ASSERT_NE(block, nullptr);
    void* data = GlobalLock(block);
    EXPECT_EQ(data, static_cast<void*>(block));
    EXPECT_EQ(GlobalHandle(data), block);
    EXPECT_TRUE(GlobalUnlock(block));
    EXPECT_EQ(GlobalFlags(block) & GMEM_LOCKCOUNT, 0u);

    // A fixed block grows only where it may move, and then its handle changes with it.
    HGLOBAL grown = GlobalReAlloc(block, 1 << 16, GMEM_MOVEABLE | GMEM_ZEROINIT);
    ASSERT_NE(grown, nullptr);
    EXPECT_EQ(GlobalLock(grown), static_cast<void*>(grown));
    EXPECT_EQ(static_cast<char*>(static_cast<void*>(grown))[(1 << 16) - 1], 0);
    EXPECT_EQ(LocalFree(grown), nullptr);  // local and global calls share one heap
}

TEST(Memory, EmptyMoveableBlockIsDiscardedUntilReallocated) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 0);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(GlobalLock(block), nullptr);
    EXPECT_EQ(GlobalSize(block), 0u);
    ASSERT_EQ(GlobalReAlloc(block, 10, GMEM_MOVEABLE | GMEM_ZEROINIT), block);
    auto* data = static_cast<char*>(GlobalLock(block));
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data[9], 0);
    GlobalUnlock(block);
    GlobalFree(block);
}

TEST(Memory, InvalidAndStaleHandlesFailWithoutCrashing) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 8);
    void* data = GlobalLock(block);
    GlobalUnlock(block);
    ASSERT_EQ(GlobalFree(block), nullptr);

    int onStack = 0;
    HGLOBAL bogus[] = {block, reinterpret_cast<HGLOBAL>(&onStack),
                       reinterpret_cast<HGLOBAL>(0x1234)};
    for (HGLOBAL handle : bogus) {
        SetLastError(0);
        EXPECT_EQ(GlobalLock(handle), nullptr);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        EXPECT_FALSE(GlobalUnlock(handle));
        EXPECT_EQ(GlobalSize(handle), 0u);
        EXPECT_EQ(GlobalReAlloc(handle, 10, GMEM_MOVEABLE), nullptr);
        EXPECT_EQ(GlobalFlags(handle), static_cast<UINT>(GMEM_INVALID_HANDLE));
        // A failed free hands the handle back.
        EXPECT_EQ(GlobalFree(handle), handle);
    }
    EXPECT_EQ(GlobalHandle(data), nullptr);
    EXPECT_EQ(GlobalHandle(&onStack), nullptr);
    EXPECT_EQ(GlobalFree(nullptr), nullptr);
}

TEST(Strings, CopiesAndComparisonsFollowWindows) {
    char buffer[8];
    std::memset(buffer, 'x', sizeof(buffer));
    EXPECT_EQ(lstrcpynA(buffer, "abcdefghij", 5), buffer);
    EXPECT_STREQ(buffer, "abcd");
    EXPECT_EQ(buffer[5], 'x');
    lstrcpynA(buffer, "zz", 1);
    EXPECT_STREQ(buffer, "");
    lstrcpyA(buffer, "ab");
    lstrcatA(buffer, "cd");
    EXPECT_STREQ(buffer, "abcd");
    EXPECT_EQ(lstrlenA(buffer), 4);
    EXPECT_EQ(lstrlenA(nullptr), 0);

    EXPECT_EQ(lstrcmpiA("FTP_Protocol", "FTP_PROTOCOL"), 0);
    EXPECT_EQ(lstrcmpiA("abc", "ABD"), -1);
    EXPECT_EQ(lstrcmpiA("b", "A"), 1);
    EXPECT_EQ(lstrcmpiA("\xE9t\xE9", "\xC9T\xC9"), 0);  // accented letters of the code page
    EXPECT_EQ(lstrcmpA("abc", "abc"), 0);
    EXPECT_EQ(lstrcmpA("abc", "ABC"), -1);  // small before capital
    EXPECT_EQ(lstrcmpA("ABC", "abd"), -1);  // but letters before case
    EXPECT_EQ(lstrcmpA(nullptr, "a"), -1);
    EXPECT_EQ(lstrcmpA(nullptr, nullptr), 0);
}

TEST(Strings, CaseCallsTakeTextsOrSingleCharacters) {
    char text[] = "Readme.Txt \xE9\xFF";
    EXPECT_EQ(CharUpperA(text), text);
    EXPECT_STREQ(text, "README.TXT \xC9\x9F");
    EXPECT_EQ(CharLowerA(text), text);
    EXPECT_STREQ(text, "readme.txt \xE9\xFF");

    auto single = [](LPSTR (*convert)(LPSTR), char c) {
        return static_cast<char>(reinterpret_cast<uintptr_t>(convert(
            reinterpret_cast<LPSTR>(static_cast<uintptr_t>(static_cast<unsigned char>(c))))));
    };
    EXPECT_EQ(single(CharUpperA, 'q'), 'Q');
    EXPECT_EQ(single(CharLowerA, 'Q'), 'q');
    EXPECT_EQ(single(CharUpperA, '7'), '7');
    EXPECT_EQ(single(CharUpperA, '\xDF'), '\xDF');  // sharp s has no capital here

    const char* word = "ab";
    EXPECT_EQ(CharNextA(word), word + 1);
    EXPECT_EQ(CharNextA(word + 2), word + 2);
    EXPECT_EQ(CharPrevA(word, word + 2), word + 1);
    EXPECT_EQ(CharPrevA(word, word), word);
    EXPECT_TRUE(IsCharAlphaA('z'));
    EXPECT_TRUE(IsCharAlphaA('\xC4'));
    EXPECT_FALSE(IsCharAlphaA('1'));
    EXPECT_FALSE(IsCharAlphaA('\xD7'));  // the multiplication sign
    EXPECT_TRUE(IsCharAlphaNumericA('1'));
}

class LocalFiles : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tvplatform-files-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory_ = pattern;
    }
    void TearDown() override { std::system(("rm -rf " + directory_).c_str()); }
    std::string PathOf(const char* name) const { return directory_ + "/" + name; }

    std::string directory_;
};

TEST_F(LocalFiles, ReadWriteAndSeekByHandle) {
    std::string path = PathOf("data.bin");
    HFILE file = _lcreat(path.c_str(), 0);
    ASSERT_NE(file, HFILE_ERROR);
    EXPECT_EQ(_lwrite(file, "0123456789", 10), 10u);
    EXPECT_EQ(_llseek(file, 0, FILE_END), 10);
    EXPECT_EQ(_llseek(file, -4, FILE_CURRENT), 6);
    char buffer[16] = {};
    EXPECT_EQ(_lread(file, buffer, sizeof(buffer)), 4u);  // short read: the end of the file
    EXPECT_STREQ(buffer, "6789");
    EXPECT_EQ(_lread(file, buffer, sizeof(buffer)), 0u);
    // Writing nothing cuts the file at the current position.
    EXPECT_EQ(_llseek(file, 3, FILE_BEGIN), 3);
    EXPECT_EQ(_lwrite(file, "", 0), 0u);
    EXPECT_EQ(_llseek(file, 0, FILE_END), 3);
    EXPECT_EQ(_llseek(file, -1, FILE_BEGIN), HFILE_ERROR);
    EXPECT_EQ(_lclose(file), 0);

    file = _lopen(path.c_str(), OF_READ);
    ASSERT_NE(file, HFILE_ERROR);
    EXPECT_EQ(_lwrite(file, "x", 1), static_cast<UINT>(HFILE_ERROR));  // opened for reading
    std::memset(buffer, 0, sizeof(buffer));
    EXPECT_EQ(_lread(file, buffer, 3), 3u);
    EXPECT_STREQ(buffer, "012");
    _lclose(file);

    EXPECT_EQ(_lclose(file), HFILE_ERROR);
    EXPECT_EQ(_lread(file, buffer, 1), static_cast<UINT>(HFILE_ERROR));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(LocalFiles, OpenFileExistsCreatesAndReports) {
    std::string path = PathOf("ORR.INI");
    OFSTRUCT info{};
    SetLastError(0);
    EXPECT_EQ(OpenFile(path.c_str(), &info, OF_EXIST), HFILE_ERROR);
    EXPECT_EQ(info.nErrCode, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    HFILE created = OpenFile(path.c_str(), &info, OF_CREATE | OF_WRITE);
    ASSERT_NE(created, HFILE_ERROR);
    _lwrite(created, "x", 1);
    _lclose(created);

    std::memset(&info, 0, sizeof(info));
    EXPECT_EQ(OpenFile(path.c_str(), &info, OF_EXIST), TRUE);
    EXPECT_EQ(info.cBytes, sizeof(OFSTRUCT));
    EXPECT_STREQ(info.szPathName, path.c_str());
    // OF_EXIST leaves nothing open: deleting works at once.
    EXPECT_EQ(OpenFile(path.c_str(), &info, OF_DELETE), TRUE);
    EXPECT_EQ(OpenFile(path.c_str(), &info, OF_EXIST), HFILE_ERROR);

    // A directory is not a file, and a path longer than the structure holds is cut.
    EXPECT_EQ(OpenFile(directory_.c_str(), &info, OF_EXIST), HFILE_ERROR);
    std::string longPath = directory_ + "/" + std::string(300, 'n');
    EXPECT_EQ(OpenFile(longPath.c_str(), &info, OF_EXIST), HFILE_ERROR);
    EXPECT_EQ(std::strlen(info.szPathName), static_cast<size_t>(OFS_MAXPATHNAME - 1));
}

TEST(Libraries, DllNamesMapToSharedObjects) {
    // The platform itself is loaded under the name libtvplatform.so.
    HMODULE platform = GetModuleHandleA("TVPLATFORM.DLL");
    ASSERT_NE(platform, nullptr);
    EXPECT_EQ(TvModuleInstanceOf(reinterpret_cast<const void*>(&GlobalAlloc)), platform);
    HMODULE loaded = LoadLibraryA("TvPlatform.dll");
    EXPECT_EQ(loaded, platform);
    EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(loaded, "TvModuleInstanceOf")),
              reinterpret_cast<void*>(&TvModuleInstanceOf));
    SetLastError(0);
    EXPECT_EQ(GetProcAddress(loaded, "NoSuchFunction"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    EXPECT_EQ(GetProcAddress(loaded, MAKEINTRESOURCEA(3)), nullptr);

    char path[512];
    DWORD length = GetModuleFileNameA(loaded, path, sizeof(path));
    ASSERT_GT(length, 0u);
    EXPECT_EQ(std::string(path).substr(std::string(path).rfind('/')), "/libtvplatform.so");
    char small[5];
    EXPECT_EQ(GetModuleFileNameA(loaded, small, sizeof(small)), 5u);
    EXPECT_EQ(std::strlen(small), 4u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_TRUE(FreeLibrary(loaded));
    EXPECT_NE(GetModuleHandleA(nullptr), nullptr);
}

TEST(Libraries, MissingLibrariesAndBadHandlesFail) {
    SetLastError(0);
    EXPECT_EQ(LoadLibraryA("BKCS99.DLL"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    EXPECT_EQ(GetModuleHandleA("NOTLOADED.DLL"), nullptr);
    int notAModule = 0;
    auto* bogus = reinterpret_cast<HMODULE>(&notAModule);
    EXPECT_FALSE(FreeLibrary(bogus));
    EXPECT_EQ(GetProcAddress(bogus, "TvModuleInstanceOf"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(Clock, TickCountAdvancesWithSleep) {
    DWORD before = GetTickCount();
    Sleep(30);
    DWORD elapsed = GetTickCount() - before;
    EXPECT_GE(elapsed, 29u);
    EXPECT_LT(elapsed, 2000u);
}

}  // namespace
