// The UNIX-style listing parser and the name extraction behind it, on lines as real servers
// send them: names after a time of day or after a year, Brannock's last word, links put
// aside, ":" inside names, path prefixes of directory and glob listings, the kind mask, the
// test that tells listing lines from headings and error texts, and short hostile lines,
// which must neither read past their end nor leave memory behind.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "listing/listing_parser.h"

namespace {

std::string BlockText(HGLOBAL block) {
    const char* text = static_cast<const char*>(GlobalLock(block));
    std::string copy(text);
    GlobalUnlock(block);
    EXPECT_EQ(GlobalSize(block), copy.size() + 1) << copy;
    return copy;
}

struct Parsed {
    int32_t result = 0;
    std::string name;
    std::string line;
    uint8_t kind = 0;
};

// A line in a heap block of exactly its length and NUL, as tight as the sanitizers need to
// see a read past its end.
std::vector<char> LineBlock(std::string_view text) {
    std::vector<char> line(text.begin(), text.end());
    line.push_back('\0');
    line.shrink_to_fit();
    return line;
}

// What the host would see of one line: the parser's result and, for an entry, its name,
// line copy and kind. A skipped line must leave no block behind.
Parsed Parse(std::string_view text, uint8_t hostType = HOST_UNIX, uint16_t glob = 0,
             uint32_t kindMask = KIND_MASK_ALL) {
    std::vector<char> line = LineBlock(text);
    ListingHandle handle{};
    handle.kindMask = kindMask;
    handle.glob = glob;
    DirEntry entry{};
    Parsed parsed;
    parsed.result = ParseUnixLine(&entry, line.data(), &handle, hostType);
    parsed.kind = entry.kind;
    if (parsed.result >= 0) {
        parsed.name = BlockText(entry.name);
        parsed.line = BlockText(entry.line);
        EXPECT_EQ(entry.nameLength, parsed.result);
        EXPECT_EQ(entry.lineLength, text.size());
    } else {
        EXPECT_EQ(entry.name, nullptr) << text;
        EXPECT_EQ(entry.line, nullptr) << text;
    }
    FreeEntryName(&entry);
    FreeEntryLine(&entry);
    if (handle.deferredBuffer != nullptr) GlobalFree(handle.deferredBuffer);
    return parsed;
}

std::string NameOf(std::string_view text, uint8_t hostType = HOST_UNIX, uint16_t glob = 0) {
    Parsed parsed = Parse(text, hostType, glob);
    return parsed.result >= 0 ? parsed.name : "<" + std::to_string(parsed.result) + ">";
}

// Name extraction alone, as the deferred-link pass and the name-list reader call it.
std::string Extract(std::string_view text, uint8_t hostType, uint16_t glob = 0) {
    std::vector<char> line = LineBlock(text);
    const std::vector<char> before = line;
    ListingHandle handle{};
    handle.kindMask = KIND_MASK_ALL;
    handle.glob = glob;
    DirEntry entry{};
    const int32_t result = ExtractName(&entry, line.data(), &handle, hostType);
    EXPECT_EQ(line, before) << "the line is left as it came";
    std::string name;
    if (result >= 0) {
        name = BlockText(entry.name);
        EXPECT_EQ(BlockText(entry.line), text);
    } else {
        EXPECT_EQ(entry.line, nullptr);
        EXPECT_EQ(entry.name, nullptr);
        name = "<" + std::to_string(result) + ">";
    }
    FreeEntryName(&entry);
    FreeEntryLine(&entry);
    return name;
}

}  // namespace

TEST(UnixParser, NameAfterTheTimeOfDayKeepsItsBlanks) {
    Parsed vsftpd = Parse("drwxr-xr-x    2 1000     1000         4096 Jun 15 12:34 dir");
    EXPECT_EQ(vsftpd.result, 3);
    EXPECT_EQ(vsftpd.name, "dir");
    EXPECT_EQ(vsftpd.kind, ENTRY_DIRECTORY);
    EXPECT_EQ(vsftpd.line, "drwxr-xr-x    2 1000     1000         4096 Jun 15 12:34 dir");

    Parsed proftpd = Parse("-rw-r--r--   1 ftp      ftp            12 Jun 15 12:34 file with blanks.txt");
    EXPECT_EQ(proftpd.name, "file with blanks.txt");
    EXPECT_EQ(proftpd.kind, ENTRY_FILE);

    EXPECT_EQ(NameOf("drwxr-xr-x   2 user  group  512 Jan 12 12:34 my dir"), "my dir");
    EXPECT_EQ(NameOf("-rw-r--r--   1 user  group  512 Jan 12 12:34   two leading"), "two leading");
    EXPECT_EQ(NameOf("-rw-r--r--   1 user  group  512 Jan 12 12:34 trailing  "), "trailing  ");
    EXPECT_EQ(NameOf("-r-xr-xr-x   1 owner    group            1024 Jan 12 12:34 readme.txt",
                     HOST_WINDOWS_NT_UNIX),
              "readme.txt");
}

TEST(UnixParser, NameAfterEightFieldsWhenTheDateShowsAYear) {
    EXPECT_EQ(NameOf("-rw-r--r--   1 user  group  512 Jan 12  1995 old file"), "old file");
    EXPECT_EQ(NameOf("-rw-r--r--   1 u  g  10 Jan  1  1996 a b c"), "a b c");
    Parsed nt = Parse("drwxrwxrwx   1 owner    group               0 Dec 31  1999 Program Files",
                      HOST_WINDOWS_NT_UNIX);
    EXPECT_EQ(nt.name, "Program Files");
    EXPECT_EQ(nt.kind, ENTRY_DIRECTORY);
    // Device files carry "major, minor" where the size stands: one field more, which ends
    // up in the name, as the rule counts fields and does not read them.
    EXPECT_EQ(NameOf("crw-rw-rw-   1 root  root  1, 3 Jan 12  2001 null"), "2001 null");
    // Tabs separate fields as blanks do.
    EXPECT_EQ(NameOf("-rw-r--r--\t1\tu\tg\t10\tJan\t1\t1996\ttabbed"), "tabbed");
}

TEST(UnixParser, ColonInsideANameMovesTheNameStart) {
    // The last ":" of the line is taken for the time's: the name starts three characters
    // after it, inside the name, whether the date shows a time or a year.
    EXPECT_EQ(NameOf("-rw-r--r-- 1 u g 10 Jun 15 12:34 colon:name.txt"), "me.txt");
    EXPECT_EQ(NameOf("-rw-r--r-- 1 u g 10 Jun 15  2021 colon:name.txt"), "me.txt");
    EXPECT_EQ(NameOf("-rw-r--r-- 1 u g 10 Jun 15  2021 x:ab"), "<-1>");  // nothing after it
    // Fewer than two characters after the last ":" leave no place for the name at all.
    EXPECT_EQ(NameOf("-rw-r--r-- 1 u g 10 Jun 15 12:34 a:b"), "<-1>");
    EXPECT_EQ(NameOf("-rw-r--r-- 1 u g 10 Jun 15 12:34 ends:"), "<-1>");
    EXPECT_EQ(NameOf("-rw-r--r-- 1 u g 10 Jun 15 12:34"), "<-1>");
    EXPECT_EQ(NameOf("-rw-r--r-- 1 u g 10 Jun 15 12:34   "), "<-1>");
}

TEST(UnixParser, BrannockNamesItsEntryInTheLastWord) {
    Parsed file = Parse("-rw-r--r--  1 owner  group  512 Jan 12 12:34 report.txt", HOST_BRANNOCK);
    EXPECT_EQ(file.name, "report.txt");
    EXPECT_EQ(file.kind, ENTRY_FILE);
    EXPECT_EQ(NameOf("drwxr-xr-x  2 owner  group  512 Jan 12 12:34 my dir", HOST_BRANNOCK), "dir");
    EXPECT_EQ(NameOf("-rw-r--r--  1 owner  group  512 Jan 12 1995 x:y", HOST_BRANNOCK), "x:y");
    EXPECT_EQ(NameOf("-rw-r--r--  1 owner  group  512 Jan 12 1995 ", HOST_BRANNOCK), "<-1>");
}

TEST(UnixParser, DirectoryListingsCutPathPrefixesGlobsKeepThem) {
    const char* line = "-rw-r--r-- 1 u g 10 Jun 15 12:34 sub/file.c";
    EXPECT_EQ(NameOf(line, HOST_UNIX, 0), "file.c");
    EXPECT_EQ(NameOf(line, HOST_UNIX, 1), "sub/file.c");
    EXPECT_EQ(NameOf("-rw-r--r-- 1 u g 10 Jun 15  2021 a/b/c d", HOST_UNIX, 0), "c d");
    EXPECT_EQ(NameOf("-rw-r--r-- 1 u g 10 Jun 15 12:34 /abs", HOST_BRANNOCK, 0), "abs");

    // "." and ".." never reach the host; neither does a name that is only its path.
    for (uint16_t glob : {0, 1}) {
        EXPECT_EQ(NameOf("drwxr-xr-x 2 u g 4096 Jun 15 12:34 .", HOST_UNIX, glob), "<-1>");
        EXPECT_EQ(NameOf("drwxr-xr-x 2 u g 4096 Jun 15  2021 ..", HOST_UNIX, glob), "<-1>");
        EXPECT_EQ(NameOf("drwxr-xr-x 2 u g 4096 Jun 15 12:34 ..", HOST_BRANNOCK, glob), "<-1>");
    }
    EXPECT_EQ(NameOf("drwxr-xr-x 2 u g 4096 Jun 15 12:34 sub/..", HOST_UNIX, 0), "<-1>");
    EXPECT_EQ(NameOf("drwxr-xr-x 2 u g 4096 Jun 15 12:34 sub/..", HOST_UNIX, 1), "sub/..");
    EXPECT_EQ(NameOf("drwxr-xr-x 2 u g 4096 Jun 15 12:34 sub/", HOST_UNIX, 0), "<-1>");
    EXPECT_EQ(NameOf("drwxr-xr-x 2 u g 4096 Jun 15 12:34 .hidden", HOST_UNIX, 0), ".hidden");
}

TEST(UnixParser, KindComesFromTheFirstCharacterUnderTheMask) {
    const char* directory = "drwxr-xr-x 2 u g 4096 Jun 15 12:34 sub";
    EXPECT_EQ(Parse(directory, HOST_UNIX, 0, KIND_MASK_FILES).result, PARSE_SKIP);
    EXPECT_EQ(Parse("Drwxr-xr-x 2 u g 4096 Jun 15 12:34 SUB").kind, ENTRY_DIRECTORY);
    EXPECT_EQ(Parse(directory, HOST_UNIX, 0, KIND_MASK_DIRECTORIES).kind, ENTRY_DIRECTORY);
    for (const char* file : {"-rw-r--r-- 1 u g 1 Jun 15 12:34 f", "brw-rw---- 1 u g 8, 0 Jun 15 12:34 sda",
                             "prw-r--r-- 1 u g 0 Jun 15 12:34 fifo", "srwxrwxrwx 1 u g 0 Jun 15 12:34 sock",
                             "?rw-r--r-- 1 u g 1 Jun 15 12:34 odd"}) {
        Parsed parsed = Parse(file);
        EXPECT_GE(parsed.result, 0) << file;
        EXPECT_EQ(parsed.kind, ENTRY_FILE) << file;
        EXPECT_EQ(Parse(file, HOST_UNIX, 0, KIND_MASK_DIRECTORIES).result, PARSE_SKIP) << file;
    }
    EXPECT_EQ(Parse(directory, HOST_UNIX, 0, 0).result, PARSE_SKIP);
}

TEST(UnixParser, LineTestSkipsHeadingsAndErrorTextsAndEndsOnForeignLines) {
    EXPECT_EQ(Parse("total 12").result, PARSE_SKIP);
    EXPECT_EQ(Parse("total 123456789012").result, PARSE_SKIP);
    // The "total" comparison keeps case: this line goes on to be an entry.
    Parsed upper = Parse("TOTAL 1 u g 10 Jan 1 1996 name");
    EXPECT_EQ(upper.name, "name");
    EXPECT_EQ(upper.kind, ENTRY_FILE);

    EXPECT_EQ(Parse(" drwxr-xr-x 2 u g 4096 Jun 15 12:34 indented").result, PARSE_SKIP);
    EXPECT_EQ(Parse("\t-rw-r--r-- 1 u g 1 Jun 15 12:34 indented").result, PARSE_SKIP);
    EXPECT_EQ(Parse("drwx------").result, PARSE_SKIP);  // ten characters: too short
    EXPECT_EQ(Parse("garbage").result, PARSE_SKIP);     // short lines go before the word test
    EXPECT_EQ(Parse("garbage-line-without-a-blank").result, PARSE_NOT_THIS_FORMAT);
    EXPECT_EQ(Parse("drwx------x").result, PARSE_NOT_THIS_FORMAT);
    EXPECT_EQ(Parse("trailing-blank-only ").result, PARSE_NOT_THIS_FORMAT);

    for (const char* error : {"xyz: No such file or directory",
                              "ls: /srv/secret: unreadable entry",
                              "The system cannot find the file specified.",
                              "-rw-r--r-- 1 u g 1 Jun 15 12:34 NO SUCH FILE here",
                              "xyz not found",
                              "*.c   Not Found anywhere"}) {
        EXPECT_EQ(Parse(error).result, PARSE_SKIP) << error;
    }
    // "not found" counts only as the second word.
    EXPECT_EQ(NameOf("-rw-r--r-- 1 u g 1 Jun 15 12:34 not found"), "not found");
}

TEST(UnixParser, LinkLinesArePutAsideInArrivalOrder) {
    ListingHandle handle{};
    handle.kindMask = KIND_MASK_ALL;
    handle.deferredOffset = 77;  // whatever it held before the first link
    const std::string first = "lrwxrwxrwx 1 root root 7 Jan 12 12:34 bin -> usr/bin";
    const std::string second = "L";  // any first "l" or "L" goes aside, even with no name
    const std::string third = "lrwxrwxrwx 1 u g 8 Jun 15 12:34 lib -> /usr/lib";
    DirEntry entry{};
    for (const std::string& text : {first, second, third}) {
        std::vector<char> line = LineBlock(text);
        EXPECT_EQ(ParseUnixLine(&entry, line.data(), &handle, HOST_UNIX), PARSE_SKIP);
        EXPECT_EQ(entry.line, nullptr);
        EXPECT_EQ(entry.name, nullptr);
    }
    const std::string expected = first + '\0' + second + '\0' + third + '\0';
    EXPECT_EQ(handle.deferredAllocated, 1u);
    EXPECT_EQ(handle.deferredCount, 3u);
    EXPECT_EQ(handle.deferredOffset, expected.size());
    ASSERT_NE(handle.deferredBuffer, nullptr);
    EXPECT_GE(GlobalSize(handle.deferredBuffer), expected.size());
    const char* held = static_cast<const char*>(GlobalLock(handle.deferredBuffer));
    EXPECT_EQ(std::string(held, expected.size()), expected);
    GlobalUnlock(handle.deferredBuffer);
    GlobalFree(handle.deferredBuffer);
}

TEST(NameExtraction, LinkNameIsTheWordBeforeTheArrow) {
    EXPECT_EQ(Extract("lrwxrwxrwx 1 root root 7 Jan 12 12:34 bin -> usr/bin", HOST_UNIX), "bin");
    EXPECT_EQ(Extract("lrwxrwxrwx 1 u g 7 Jan 12 12:34 sub/bin -> x", HOST_UNIX, 0), "bin");
    EXPECT_EQ(Extract("lrwxrwxrwx 1 u g 7 Jan 12 12:34 sub/bin -> x", HOST_UNIX, 1), "sub/bin");
    EXPECT_EQ(Extract("lrwxrwxrwx 1 u g 7 Jan 12 1999 old -> x", HOST_BRANNOCK), "old");
    EXPECT_EQ(Extract("Lrwxrwxrwx 1 u g 7 Jan 12 12:34 up -> ..", HOST_WINDOWS_NT_UNIX), "up");
    // Links named "." or ".." name nothing; lines without three blanks are no link lines.
    EXPECT_EQ(Extract("lrwxrwxrwx 1 u g 7 Jan 12 12:34 .. -> /", HOST_UNIX), "<-1>");
    EXPECT_EQ(Extract("l a b", HOST_UNIX), "<-154>");
    EXPECT_EQ(Extract("l", HOST_UNIX), "<-154>");
    EXPECT_EQ(Extract("l   ", HOST_UNIX), "<-1>");  // the name would be empty
}

TEST(NameExtraction, VmsLinesLoseTheirDirectoryOtherHostsKeepTheWholeLine) {
    EXPECT_EQ(Extract("DISK$USER:[SMITH.SUB]FILE.TXT;3", HOST_VMS, 0), "FILE.TXT;3");
    EXPECT_EQ(Extract("DISK$USER:[SMITH.SUB]FILE.TXT;3", HOST_VMS, 1),
              "DISK$USER:[SMITH.SUB]FILE.TXT;3");
    EXPECT_EQ(Extract("SUBDIR.DIR;1", HOST_VMS, 0), "SUBDIR.DIR;1");
    EXPECT_EQ(Extract("[SMITH]", HOST_VMS, 0), "<-1>");
    EXPECT_EQ(Extract("a name / with: anything", HOST_OTHER), "a name / with: anything");
    EXPECT_EQ(Extract("..", HOST_OTHER), "..");  // only the UNIX-style rules drop dot names
    EXPECT_EQ(Extract("", HOST_OTHER), "<-1>");
}

TEST(UnixParser, ShortAndHostileLinesStayInsideTheLineAndLeaveNothingBehind) {
    const char* lines[] = {
        "", "l", "d", "-", ":", "::", "total", "totally-long-line", "-rw 1 a:", "d x 12:3",
        "d 1 2 3 4 5 6 12:", "-rw-r--r-- 1 2 3 4 5 6 7", "-rw-r--r-- 1 2 3 4 5 6 7 ",
        "-rw-r--r-- 1 2 3 4 5 6 7 8", "drwxr-xr-x 2 u g 0 Jan 1 12:34 ", "-rw-r--r--        ",
        "-rw-r--r-- 1 u g 1 Jun 15 12:34 /", "-rw-r--r-- 1 u g 1 Jun 15 12:34 a/",
        "lrwxrwxrwx", "l x -> y", "-\t\t\t\t\t\t\t\t\t\t\t", "d:::::::::::::",
        "-rw-r--r-- 1 u g 1 Jun 15 12:34 \xff\xfe\x80 high bytes",
    };
    for (const char* text : lines) {
        for (uint8_t hostType : {HOST_BRANNOCK, HOST_UNIX, HOST_WINDOWS_NT_UNIX}) {
            for (uint16_t glob : {0, 1}) {
                Parsed parsed = Parse(text, hostType, glob);
                EXPECT_TRUE(parsed.result >= 0 || parsed.result == PARSE_SKIP ||
                            parsed.result == PARSE_NOT_THIS_FORMAT)
                    << text << " gave " << parsed.result;
                if (parsed.result >= 0) {
                    EXPECT_FALSE(parsed.name.empty()) << text;
                }
                const std::string extracted = Extract(text, hostType, glob);
                EXPECT_NE(extracted, "") << text;
            }
        }
    }
    // A line as long as the line buffer allows.
    const std::string fields = "-rw-r--r-- 1 u g 1 Jun 15 12:34 ";
    const std::string longest = fields + std::string(LISTING_LINE_BUFFER_SIZE - 1 - fields.size(), 'n');
    EXPECT_EQ(Parse(longest).result, static_cast<int32_t>(longest.size() - fields.size()));
}

TEST(ParserSelection, UnixStyleHostsShareOneParserUnknownHostsHaveNone) {
    for (uint8_t hostType : {HOST_BRANNOCK, HOST_UNIX, HOST_WINDOWS_NT_UNIX}) {
        EXPECT_EQ(SelectListingParser(hostType), &ParseUnixLine) << int{hostType};
    }
    for (uint8_t hostType : {0, int{HOST_AUTOMATIC}, int{HOST_OTHER}, 14, 255}) {
        EXPECT_EQ(SelectListingParser(hostType), nullptr) << int{hostType};
    }
}
