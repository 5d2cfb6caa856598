// The UNIX-style listing parser and the name extraction behind it, on lines as real servers
// send them, and on short hostile lines, which must neither read past their end nor leave
// memory behind.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/listing/parse_line.h"

using namespace tvtest;

namespace {

constexpr int kDir = ENTRY_DIRECTORY;
constexpr int kFile = ENTRY_FILE;

// Name extraction alone, as the deferred-link pass and the name-list reader call it: the
// name, or the result in angle brackets. The line is left as it came.
std::string Extract(std::string_view text, uint8_t hostType, uint16_t glob = 0) {
    std::vector<char> line(text.begin(), text.end());
    line.push_back('\0');
    line.shrink_to_fit();  // an exact block: a read past the NUL shows under AddressSanitizer
    const std::vector<char> before = line;
    ListingHandle handle{};
    handle.glob = glob;
    DirEntry entry{};
    const int32_t result = ExtractName(&entry, line.data(), &handle, hostType);
    EXPECT_EQ(line, before) << text;
    std::string name = "<" + std::to_string(result) + ">";
    if (result >= 0) {
        name = BlockText(entry.name);
        EXPECT_EQ(BlockText(entry.line), text);
    }
    EXPECT_EQ(result >= 0, entry.name != nullptr && entry.line != nullptr) << text;
    FreeEntryName(&entry);
    FreeEntryLine(&entry);
    return name;
}

}  // namespace

TEST(UnixParser, NameFollowsTheTimeOrTheEighthFieldAndKeepsItsBlanks) {
    ExpectLines(ParseUnixLine, HOST_UNIX, {
        {"drwxr-xr-x    2 1000     1000         4096 Jun 15 12:34 dir", "dir", kDir},
        {"-rw-r--r--   1 ftp      ftp            12 Jun 15 12:34 file with blanks.txt",
         "file with blanks.txt", kFile},
        {"-rw-r--r--   1 user  group  512 Jan 12 12:34   two leading", "two leading", kFile},
        {"-rw-r--r--   1 user  group  512 Jan 12 12:34 trailing  ", "trailing  ", kFile},
        {"-rw-r--r--   1 user  group  512 Jan 12  1995 old file", "old file", kFile},
        {"-rw-r--r--\t1\tu\tg\t10\tJan\t1\t1996\ttabbed", "tabbed", kFile},
        // "major, minor" of a device file is one field more: the rule counts fields.
        {"crw-rw-rw-   1 root  root  1, 3 Jan 12  2001 null", "2001 null", kFile},
        // The last ":" of the line is taken for the time's: the name starts three characters
        // after it, or there is no room for one.
        {"-rw-r--r-- 1 u g 10 Jun 15 12:34 colon:name.txt", "me.txt", kFile},
        {"-rw-r--r-- 1 u g 10 Jun 15  2021 colon:name.txt", "me.txt", kFile},
        {"-rw-r--r-- 1 u g 10 Jun 15  2021 x:ab", "", kSkip},
        {"-rw-r--r-- 1 u g 10 Jun 15 12:34 a:b", "", kSkip},
        {"-rw-r--r-- 1 u g 10 Jun 15 12:34", "", kSkip},
        {"-rw-r--r-- 1 u g 10 Jun 15 12:34   ", "", kSkip},
    });
    ExpectLines(ParseUnixLine, HOST_WINDOWS_NT_UNIX, {
        {"drwxrwxrwx   1 owner    group               0 Dec 31  1999 Program Files",
         "Program Files", kDir},
    });
    // Brannock's servers name the entry in the last word.
    ExpectLines(ParseUnixLine, HOST_BRANNOCK, {
        {"drwxr-xr-x  2 owner  group  512 Jan 12 12:34 my dir", "dir", kDir},
        {"-rw-r--r--  1 owner  group  512 Jan 12 1995 x:y", "x:y", kFile},
        {"-rw-r--r--  1 owner  group  512 Jan 12 1995 ", "", kSkip},
        {"-rw-r--r-- 1 u g 10 Jun 15 12:34 /abs", "abs", kFile},
        {"drwxr-xr-x 2 u g 4096 Jun 15 12:34 ..", "", kSkip, kGlob},
    });
}

TEST(UnixParser, PathPrefixesDotNamesAndTheKindMask) {
    const std::string directory = "drwxr-xr-x 2 u g 4096 Jun 15 12:34 sub";
    ExpectLines(ParseUnixLine, HOST_UNIX, {
        {"-rw-r--r-- 1 u g 10 Jun 15 12:34 sub/file.c", "file.c", kFile},
        {"-rw-r--r-- 1 u g 10 Jun 15 12:34 sub/file.c", "sub/file.c", kFile, kGlob},
        {"-rw-r--r-- 1 u g 10 Jun 15  2021 a/b/c d", "c d", kFile},
        {"drwxr-xr-x 2 u g 4096 Jun 15 12:34 .", "", kSkip, kGlob},
        {"drwxr-xr-x 2 u g 4096 Jun 15  2021 ..", "", kSkip},
        {"drwxr-xr-x 2 u g 4096 Jun 15 12:34 sub/..", "", kSkip},
        {"drwxr-xr-x 2 u g 4096 Jun 15 12:34 sub/..", "sub/..", kDir, kGlob},
        {"drwxr-xr-x 2 u g 4096 Jun 15 12:34 sub/", "", kSkip},
        {"drwxr-xr-x 2 u g 4096 Jun 15 12:34 .hidden", ".hidden", kDir},
        {"Drwxr-xr-x 2 u g 4096 Jun 15 12:34 SUB", "SUB", kDir},
        {directory, "sub", kDir, kDirectoriesOnly},
        {directory, "", kSkip, kFilesOnly},
        {directory, "", kSkip, {0, 0, 5}},
    });
    for (const char* type : {"-", "b", "p", "s", "?"}) {
        const std::string file = type + std::string("rw-r--r-- 1 u g 1 Jun 15 12:34 f");
        ExpectLines(ParseUnixLine, HOST_UNIX,
                    {{file, "f", kFile, kFilesOnly}, {file, "", kSkip, kDirectoriesOnly}});
    }
}

TEST(UnixParser, LineTestSkipsHeadingsAndErrorTextsAndEndsOnForeignLines) {
    ExpectLines(ParseUnixLine, HOST_UNIX, {
        {"total 12", "", kSkip},
        {"TOTAL 1 u g 10 Jan 1 1996 name", "name", kFile},  // "total" keeps its case
        {" drwxr-xr-x 2 u g 4096 Jun 15 12:34 indented", "", kSkip},
        {"drwx------", "", kSkip},  // too short for the word test
        {"garbage-line-without-a-blank", "", PARSE_NOT_THIS_FORMAT},
        {"drwx------x", "", PARSE_NOT_THIS_FORMAT},
        {"trailing-blank-only ", "", PARSE_NOT_THIS_FORMAT},
        {"xyz: No such file or directory", "", kSkip},
        {"ls: /srv/secret: unreadable entry", "", kSkip},
        {"The system cannot find the file specified.", "", kSkip},
        {"*.c   Not Found anywhere", "", kSkip},
        {"-rw-r--r-- 1 u g 1 Jun 15 12:34 not found", "not found", kFile},  // not the 2nd word
    });
}

TEST(UnixParser, LinkLinesArePutAsideInArrivalOrder) {
    ListingHandle handle{};
    handle.kindMask = KIND_MASK_ALL;
    handle.deferredOffset = 77;  // whatever it held before the first link
    std::string expected;
    for (std::string text : {"lrwxrwxrwx 1 root root 7 Jan 12 12:34 bin -> usr/bin", "L",
                             "lrwxrwxrwx 1 u g 8 Jun 15 12:34 lib -> /usr/lib"}) {
        DirEntry entry{};
        EXPECT_EQ(ParseUnixLine(&entry, text.data(), &handle, HOST_UNIX), PARSE_SKIP);
        EXPECT_TRUE(entry.line == nullptr && entry.name == nullptr);
        expected += text + '\0';
    }
    EXPECT_EQ(handle.deferredCount, 3u);
    EXPECT_EQ(handle.deferredOffset, expected.size());
    ASSERT_GE(GlobalSize(handle.deferredBuffer), expected.size());
    EXPECT_EQ(std::string(static_cast<char*>(GlobalLock(handle.deferredBuffer)), expected.size()),
              expected);
    GlobalUnlock(handle.deferredBuffer);
    GlobalFree(handle.deferredBuffer);
}

TEST(NameExtraction, LinksVmsPathsAndWholeLines) {
    struct Case {
        const char* line;
        uint8_t hostType;
        uint16_t glob;
        const char* name;
    };
    for (const Case& c : std::initializer_list<Case>{
             {"lrwxrwxrwx 1 root root 7 Jan 12 12:34 bin -> usr/bin", HOST_UNIX, 0, "bin"},
             {"lrwxrwxrwx 1 u g 7 Jan 12 12:34 sub/bin -> x", HOST_UNIX, 0, "bin"},
             {"lrwxrwxrwx 1 u g 7 Jan 12 12:34 sub/bin -> x", HOST_UNIX, 1, "sub/bin"},
             {"lrwxrwxrwx 1 u g 7 Jan 12 1999 old -> x", HOST_BRANNOCK, 0, "old"},
             {"Lrwxrwxrwx 1 u g 7 Jan 12 12:34 up -> ..", HOST_WINDOWS_NT_UNIX, 0, "up"},
             {"lrwxrwxrwx 1 u g 7 Jan 12 12:34 .. -> /", HOST_UNIX, 0, "<-1>"},
             {"l a b", HOST_UNIX, 0, "<-154>"},  // no three blanks: no link line
             {"l   ", HOST_UNIX, 0, "<-1>"},
             {"DISK$USER:[SMITH.SUB]FILE.TXT;3", HOST_VMS, 0, "FILE.TXT;3"},
             {"DISK$USER:[SMITH.SUB]FILE.TXT;3", HOST_VMS, 1, "DISK$USER:[SMITH.SUB]FILE.TXT;3"},
             {"[SMITH]", HOST_VMS, 0, "<-1>"},
             {"a name / with: anything", HOST_OTHER, 0, "a name / with: anything"},
             {"..", HOST_OTHER, 0, ".."},  // only the UNIX-style rules drop dot names
             {"", HOST_OTHER, 0, "<-1>"}}) {
        EXPECT_EQ(Extract(c.line, c.hostType, c.glob), c.name) << c.line;
    }
}

TEST(UnixParser, ShortAndHostileLinesStayInsideTheLineAndLeaveNothingBehind) {
    for (const char* text : {
             "", "l", "d", "-", ":", "::", "total", "totally-long-line", "-rw 1 a:", "d x 12:3",
             "d 1 2 3 4 5 6 12:", "-rw-r--r-- 1 2 3 4 5 6 7", "-rw-r--r-- 1 2 3 4 5 6 7 ",
             "-rw-r--r-- 1 2 3 4 5 6 7 8", "drwxr-xr-x 2 u g 0 Jan 1 12:34 ", "-rw-r--r--        ",
             "-rw-r--r-- 1 u g 1 Jun 15 12:34 /", "-rw-r--r-- 1 u g 1 Jun 15 12:34 a/",
             "lrwxrwxrwx", "l x -> y", "-\t\t\t\t\t\t\t\t\t\t\t", "d:::::::::::::",
             "-rw-r--r-- 1 u g 1 Jun 15 12:34 \xff\xfe\x80 high bytes"}) {
        for (uint8_t hostType : {HOST_BRANNOCK, HOST_UNIX, HOST_WINDOWS_NT_UNIX}) {
            for (uint16_t glob : {0, 1}) {
                const ParsedLine parsed =
                    ParseLine(ParseUnixLine, hostType, text, {KIND_MASK_ALL, glob});
                EXPECT_TRUE(parsed.result == PARSE_SKIP || parsed.result == PARSE_NOT_THIS_FORMAT ||
                            parsed.result > 0)
                    << text << " gave " << parsed.result;
                EXPECT_NE(Extract(text, hostType, glob), "") << text;
            }
        }
    }
    const std::string fields = "-rw-r--r-- 1 u g 1 Jun 15 12:34 ";
    const std::string longest(LISTING_LINE_BUFFER_SIZE - 1 - fields.size(), 'n');
    ExpectLines(ParseUnixLine, HOST_UNIX, {{fields + longest, longest, kFile}});
}
