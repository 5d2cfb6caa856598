// The parsers of the DOS-style listings: DOS and OS/2, Windows NT in DOS style and
// Windows 95. Real-looking lines of each shape, the names that keep the blanks of the line,
// the attribute column, the joined short names, the lines that carry no entry, the kind
// mask and the path prefix that only a glob handle keeps.
#include <gtest/gtest.h>

#include "listing/listing_parser.h"
#include "tests/listing/parse_line.h"

using tvtest::ParsedLine;
using tvtest::ParseSetting;

namespace {

constexpr uint8_t kDos = 2;
constexpr uint8_t kOs2 = 6;
constexpr uint8_t kWindowsNtDos = 10;
constexpr uint8_t kWindows95 = 12;

constexpr ParseSetting kGlob{KIND_MASK_ALL, 1, 5};
constexpr ParseSetting kFilesOnly{KIND_MASK_FILES, 0, 5};
constexpr ParseSetting kDirectoriesOnly{KIND_MASK_DIRECTORIES, 0, 5};

ParsedLine Dos(std::string_view line, ParseSetting setting = {}) {
    return tvtest::ParseLine(ParseDosLine, kDos, line, setting);
}
ParsedLine Nt(std::string_view line, ParseSetting setting = {}) {
    return tvtest::ParseLine(ParseWindowsNtDosLine, kWindowsNtDos, line, setting);
}
ParsedLine Win95(std::string_view line, ParseSetting setting = {}) {
    return tvtest::ParseLine(ParseWindows95Line, kWindows95, line, setting);
}

void ExpectEntry(const ParsedLine& parsed, const std::string& name, uint8_t kind) {
    EXPECT_EQ(parsed.result, static_cast<int32_t>(name.size()));
    EXPECT_EQ(parsed.name, name);
    EXPECT_EQ(parsed.kind, kind);
}

}  // namespace

TEST(DosParser, DateTimeKindLinesNameTheRestOfTheLine) {
    const char* line = "10-20-95  01:23p  <DIR>  Program Files";
    ParsedLine parsed = Dos(line);
    ExpectEntry(parsed, "Program Files", ENTRY_DIRECTORY);
    EXPECT_EQ(parsed.line, line);  // the line as received, not the cut and upper-cased one

    ExpectEntry(Dos("10-20-95  01:23p  <dir>  lower"), "lower", ENTRY_DIRECTORY);
    ExpectEntry(Dos("10-20-95  01:23p  1234  notes.txt"), "notes.txt", ENTRY_FILE);
    // The attribute column is passed over; the name keeps its inner and trailing blanks.
    ExpectEntry(Dos("10-20-95  01:23p  1234  A  readme.txt"), "readme.txt", ENTRY_FILE);
    ExpectEntry(Dos("10-20-95  01:23p  1234  RA  my  file.txt "), "my  file.txt ", ENTRY_FILE);
    ExpectEntry(Dos("10-20-95\t01:23p\t1234\tR\tx.bat"), "x.bat", ENTRY_FILE);
    // Only a last column is a name, even when it looks like an attribute; "AR" is no
    // attribute column.
    ExpectEntry(Dos("10-20-95  01:23p  1234  R"), "R", ENTRY_FILE);
    ExpectEntry(Dos("10-20-95  01:23p  1234  AR  x"), "AR  x", ENTRY_FILE);
    // No name column, or not even a kind column.
    EXPECT_EQ(Dos("10-20-95  01:23p  <DIR>").result, PARSE_SKIP);
    EXPECT_EQ(Dos("10-20-95  01:23p").result, PARSE_SKIP);
}

TEST(DosParser, ShortNameLinesJoinNameAndExtension) {
    ParsedLine parsed = Dos("COMMAND  COM  54645  05-31-94  6:22a");
    ExpectEntry(parsed, "COMMAND.COM", ENTRY_FILE);
    EXPECT_EQ(parsed.line, "COMMAND  COM  54645  05-31-94  6:22a");
    ExpectEntry(Dos("SYSTEM  OLD  <DIR>  05-31-94  6:22a"), "SYSTEM.OLD", ENTRY_DIRECTORY);
    // The joined name has the room of fifteen characters.
    ExpectEntry(Dos("LONGERNAME  EXTENSION  10  05-31-94  6:22a"), "LONGERNAME.EXTE",
                ENTRY_FILE);
    ExpectEntry(Dos("FIFTEENCHARSXYZ  TXT  10  05-31-94  6:22a"), "FIFTEENCHARSXYZ",
                ENTRY_FILE);
}

TEST(DosParser, KindWordLinesAndOs2Lines) {
    ExpectEntry(Dos("DOS  <DIR>  05-31-94  6:22a"), "DOS", ENTRY_DIRECTORY);
    ExpectEntry(Dos("README  1234  05-31-94  6:22a"), "README", ENTRY_FILE);
    auto os2 = [](std::string_view line) {
        return tvtest::ParseLine(ParseDosLine, kOs2, line);
    };
    ExpectEntry(os2("      0  DIR  08-14-95  19:49  Desktop"), "Desktop", ENTRY_DIRECTORY);
    ExpectEntry(os2("   1234  A  08-14-95  19:49  config.sys"), "config.sys", ENTRY_FILE);
    ExpectEntry(os2("\t1234  A  08-14-95  19:49  config.sys"), "config.sys", ENTRY_FILE);
    // The name after the time is a single field.
    ExpectEntry(os2("      0  DIR  08-14-95  19:49  My Folder"), "My", ENTRY_DIRECTORY);
    // A line that begins with a blank and ends with the time has no name.
    EXPECT_EQ(os2("      0  DIR  08-14-95  19:49").result, PARSE_SKIP);
}

TEST(DosParser, SkipsDotEntriesHeadingsAndSummaries) {
    for (const char* line : {".  <DIR>  05-31-94  6:22a", "..  <DIR>  05-31-94  6:22a",
                             "10-20-95  01:23p  <DIR>  .", "10-20-95  01:23p  <DIR>  ..",
                             ".  .  <DIR>  05-31-94  6:22a", " Volume in drive C is SYSTEM",
                             " Directory of C:\\DOS", "        3 file(s)      60273 bytes",
                             "                   1044480 bytes free", ""}) {
        EXPECT_EQ(Dos(line).result, PARSE_SKIP) << line;
    }
}

TEST(DosParser, KindMaskAndPathPrefixes) {
    EXPECT_EQ(Dos("10-20-95  01:23p  <DIR>  Program Files", kFilesOnly).result, PARSE_SKIP);
    EXPECT_EQ(Dos("COMMAND  COM  54645  05-31-94  6:22a", kDirectoriesOnly).result,
              PARSE_SKIP);
    ExpectEntry(Dos("DOS  <DIR>  05-31-94  6:22a", kDirectoriesOnly), "DOS", ENTRY_DIRECTORY);

    // A directory handle names the entry without the server's path; a glob handle keeps it.
    const char* nested = "10-20-95  01:23p  <DIR>  sub\\Program Files";
    ExpectEntry(Dos(nested), "Program Files", ENTRY_DIRECTORY);
    ExpectEntry(Dos(nested, kGlob), "sub\\Program Files", ENTRY_DIRECTORY);
    ExpectEntry(Dos("SUB\\COMMAND  COM  54645  05-31-94  6:22a"), "COMMAND.COM", ENTRY_FILE);
    ExpectEntry(Dos("SUB\\COMMAND  COM  54645  05-31-94  6:22a", kGlob), "SUB\\COMMAND.COM",
                ENTRY_FILE);
    ExpectEntry(Dos("SUB  X\\COM  54645  05-31-94  6:22a"), "COM", ENTRY_FILE);
    ExpectEntry(Dos("A:\\DOS  <DIR>  05-31-94  6:22a"), "DOS", ENTRY_DIRECTORY);
    // "." and "..", and a name that is all path, are tested after the cut.
    EXPECT_EQ(Dos("10-20-95  01:23p  <DIR>  sub\\..").result, PARSE_SKIP);
    ExpectEntry(Dos("10-20-95  01:23p  <DIR>  sub\\..", kGlob), "sub\\..", ENTRY_DIRECTORY);
    EXPECT_EQ(Dos("10-20-95  01:23p  <DIR>  sub\\").result, PARSE_SKIP);
}

TEST(WindowsNtDosParser, NamesKeepTheirBlanksAndLosePathsOnDirectoryHandles) {
    const char* line = "01-23-96  10:15AM       <DIR>          My Documents";
    ParsedLine parsed = Nt(line);
    ExpectEntry(parsed, "My Documents", ENTRY_DIRECTORY);
    EXPECT_EQ(parsed.line, line);
    ExpectEntry(Nt("01-23-96  10:15AM                 1024 a.txt"), "a.txt", ENTRY_FILE);
    ExpectEntry(Nt("01-23-96  10:15AM  1024  two  blanks  "), "two  blanks  ", ENTRY_FILE);
    ExpectEntry(Nt("01-23-96\t10:15AM\t1024\t\tTabbed Name"), "Tabbed Name", ENTRY_FILE);
    ExpectEntry(Nt("01-23-96  10:15AM  1024  web\\a b.txt"), "a b.txt", ENTRY_FILE);
    ExpectEntry(Nt("01-23-96  10:15AM  1024  web\\a b.txt", kGlob), "web\\a b.txt", ENTRY_FILE);
    EXPECT_EQ(Nt("01-23-96  10:15AM  <DIR>  My Documents", kFilesOnly).result, PARSE_SKIP);
    EXPECT_EQ(Nt("01-23-96  10:15AM  1024  a.txt", kDirectoriesOnly).result, PARSE_SKIP);
}

TEST(WindowsNtDosParser, SkipsDotEntriesShortLinesAndLinesWithoutTime) {
    // Fewer than three fields, or nothing after the size column: no name to read.
    for (const char* line : {"01-23-96  10:15AM       <DIR>          .",
                             "01-23-96  10:15AM       <DIR>          ..",
                             "01-23-96  10:15AM  <DIR>  web\\.", "01-23-96  10:15AM  <DIR>",
                             "01-23-96  10:15AM  <DIR>     ", "01-23-96  10:15AM", "01-23-96",
                             "", "total 3", "01-23-96  1015AM  1024  a.txt"}) {
        EXPECT_EQ(Nt(line).result, PARSE_SKIP) << line;
    }
}

TEST(Windows95Parser, KindDateTimeNameLines) {
    const char* line = "  <DIR>  08-14-95  19:49  Desktop";
    ParsedLine parsed = Win95(line);
    ExpectEntry(parsed, "Desktop", ENTRY_DIRECTORY);
    EXPECT_EQ(parsed.line, line);
    ExpectEntry(Win95("      0  DIR  08-14-95  19:49  My Folder "), "My Folder ",
                ENTRY_DIRECTORY);
    ExpectEntry(Win95("\t1234\t08-14-95\t7:05\treadme.txt"), "readme.txt", ENTRY_FILE);
    // The kind word may begin the line.
    ExpectEntry(Win95("<DIR>  08-14-95  19:49  Desktop"), "Desktop", ENTRY_DIRECTORY);
    ExpectEntry(Win95("  <DIR>  08-14-95  19:49  WINDOWS\\Desktop"), "Desktop",
                ENTRY_DIRECTORY);
    ExpectEntry(Win95("  <DIR>  08-14-95  19:49  WINDOWS\\Desktop", kGlob), "WINDOWS\\Desktop",
                ENTRY_DIRECTORY);
    EXPECT_EQ(Win95(line, kFilesOnly).result, PARSE_SKIP);
    EXPECT_EQ(Win95("   1234  08-14-95  19:49  readme.txt", kDirectoriesOnly).result,
              PARSE_SKIP);
}

TEST(Windows95Parser, NameInFrontAndTimeInFrontShapes) {
    // A second ":" behind the anchor word: the name stands in front of the two words before
    // it, and the word just before the anchor is the kind word.
    ExpectEntry(Win95("Old Files  08-14-95  <DIR>  19:49  9:30"), "Old Files", ENTRY_DIRECTORY);
    ExpectEntry(Win95("sub\\report.doc  1024  08-14-95  19:49  9:30"), "report.doc", ENTRY_FILE);
    EXPECT_EQ(Win95("   1024  08-14-95  19:49  9:30").result, PARSE_SKIP);  // no name in front
    // So does a drive letter behind the time.
    EXPECT_EQ(Win95("  <DIR>  08-14-95  19:49  C:\\WINDOWS", kGlob).result, PARSE_SKIP);
    // A ":" in the word two before the anchor: kind word, then the name from the anchor on.
    ExpectEntry(Win95("1:  <DIR>  a:b c"), "a:b c", ENTRY_DIRECTORY);
}

TEST(Windows95Parser, SkipsLinesThatDoNotReachTheirWords) {
    // A ":" before the third character does not count; the kind word needs two words in
    // front of the anchor; the name needs text behind it.
    for (const char* line : {"", "a", ":", "a:", "::", ":abc def ghi", "ab:", "12:00  Desktop",
                             "08-14-95  19:49  Desktop", "  <DIR>  08-14-95  19:49",
                             "  <DIR>  08-14-95  19:49    ", "  <DIR>  08-14-95  19:49  .",
                             "  <DIR>  08-14-95  19:49  ..", "  no colon in this line"}) {
        EXPECT_EQ(Win95(line).result, PARSE_SKIP) << line;
    }
}
