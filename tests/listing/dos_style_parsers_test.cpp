// The parsers of the DOS-style listings: DOS and OS/2, Windows NT in DOS style and
// Windows 95, on real-looking lines of each shape.
#include <gtest/gtest.h>

#include "tests/listing/parse_line.h"

using namespace tvtest;

TEST(DosParser, DateFirstShortNameAndKindWordLines) {
    ExpectLines(ParseDosLine, HOST_DOS, {
        {"10-20-95  01:23p  <DIR>  Program Files", "Program Files", kDir},
        {"10-20-95  01:23p  <dir>  lower", "lower", kDir},
        // The attribute column is passed over; the name keeps its inner and trailing blanks.
        {"10-20-95  01:23p  1234  RA  my  file.txt ", "my  file.txt ", kFile},
        {"10-20-95\t01:23p\t1234\tR\tx.bat", "x.bat", kFile},
        // A last column is a name even when it looks like an attribute; "AR" is none.
        {"10-20-95  01:23p  1234  R", "R", kFile},
        {"10-20-95  01:23p  1234  AR  x", "AR  x", kFile},
        {"10-20-95  01:23p  <DIR>", "", kSkip},
        {"10-20-95  01:23p", "", kSkip},
        // Short names are joined with their extension in the room of fifteen characters.
        {"COMMAND  COM  54645  05-31-94  6:22a", "COMMAND.COM", kFile},
        {"SYSTEM  OLD  <DIR>  05-31-94  6:22a", "SYSTEM.OLD", kDir},
        {"LONGERNAME  EXTENSION  10  05-31-94  6:22a", "LONGERNAME.EXTE", kFile},
        {"FIFTEENCHARSXYZ  TXT  10  05-31-94  6:22a", "FIFTEENCHARSXYZ", kFile},
        {"DOS  <DIR>  05-31-94  6:22a", "DOS", kDir},
        {"README  1234  05-31-94  6:22a", "README", kFile},
        {"..  <DIR>  05-31-94  6:22a", "", kSkip},
        {"10-20-95  01:23p  <DIR>  .", "", kSkip},
        {".  .  <DIR>  05-31-94  6:22a", "", kSkip},
        {" Volume in drive C is SYSTEM", "", kSkip},
        {"        3 file(s)      60273 bytes", "", kSkip},
        {"", "", kSkip},
        // The kind mask, and the path a directory handle cuts and a glob handle keeps.
        {"10-20-95  01:23p  <DIR>  Program Files", "", kSkip, kFilesOnly},
        {"COMMAND  COM  54645  05-31-94  6:22a", "", kSkip, kDirectoriesOnly},
        {"DOS  <DIR>  05-31-94  6:22a", "DOS", kDir, kDirectoriesOnly},
        {"10-20-95  01:23p  <DIR>  sub\\Program Files", "Program Files", kDir},
        {"10-20-95  01:23p  <DIR>  sub\\Program Files", "sub\\Program Files", kDir, kGlob},
        {"SUB\\COMMAND  COM  54645  05-31-94  6:22a", "COMMAND.COM", kFile},
        {"SUB\\COMMAND  COM  54645  05-31-94  6:22a", "SUB\\COMMAND.COM", kFile, kGlob},
        {"A:\\DOS  <DIR>  05-31-94  6:22a", "DOS", kDir},
        {"10-20-95  01:23p  <DIR>  sub\\..", "", kSkip},  // dot names are tested after the cut
        {"10-20-95  01:23p  <DIR>  sub\\..", "sub\\..", kDir, kGlob},
        {"10-20-95  01:23p  <DIR>  sub\\", "", kSkip},
    });
    // OS/2: size first; the name after the time is a single field.
    ExpectLines(ParseDosLine, HOST_OS2, {
        {"      0  DIR  08-14-95  19:49  Desktop", "Desktop", kDir},
        {"\t1234  A  08-14-95  19:49  config.sys", "config.sys", kFile},
        {"      0  DIR  08-14-95  19:49  My Folder", "My", kDir},
        {"      0  DIR  08-14-95  19:49", "", kSkip},
    });
}

TEST(WindowsNtDosParser, NamesKeepTheirBlanksAndLosePathsOnDirectoryHandles) {
    ExpectLines(ParseWindowsNtDosLine, HOST_WINDOWS_NT_DOS, {
        {"01-23-96  10:15AM       <DIR>          My Documents", "My Documents", kDir},
        {"01-23-96  10:15AM                 1024 a.txt", "a.txt", kFile},
        {"01-23-96  10:15AM  1024  two  blanks  ", "two  blanks  ", kFile},
        {"01-23-96\t10:15AM\t1024\t\tTabbed Name", "Tabbed Name", kFile},
        {"01-23-96  10:15AM  1024  web\\a b.txt", "a b.txt", kFile},
        {"01-23-96  10:15AM  1024  web\\a b.txt", "web\\a b.txt", kFile, kGlob},
        {"01-23-96  10:15AM  <DIR>  My Documents", "", kSkip, kFilesOnly},
        {"01-23-96  10:15AM  1024  a.txt", "", kSkip, kDirectoriesOnly},
        {"01-23-96  10:15AM       <DIR>          ..", "", kSkip},
        {"01-23-96  10:15AM  <DIR>  web\\.", "", kSkip},
        {"01-23-96  10:15AM  <DIR>     ", "", kSkip},
        {"01-23-96  10:15AM", "", kSkip},
        {"total 3", "", kSkip},
        {"01-23-96  1015AM  1024  a.txt", "", kSkip},
    });
}

TEST(Windows95Parser, KindDateTimeNameAndNameInFrontShapes) {
    ExpectLines(ParseWindows95Line, HOST_WINDOWS_95, {
        {"  <DIR>  08-14-95  19:49  Desktop", "Desktop", kDir},
        {"      0  DIR  08-14-95  19:49  My Folder ", "My Folder ", kDir},
        {"\t1234\t08-14-95\t7:05\treadme.txt", "readme.txt", kFile},
        {"<DIR>  08-14-95  19:49  Desktop", "Desktop", kDir},
        {"  <DIR>  08-14-95  19:49  WINDOWS\\Desktop", "Desktop", kDir},
        {"  <DIR>  08-14-95  19:49  WINDOWS\\Desktop", "WINDOWS\\Desktop", kDir, kGlob},
        {"  <DIR>  08-14-95  19:49  Desktop", "", kSkip, kFilesOnly},
        {"   1234  08-14-95  19:49  readme.txt", "", kSkip, kDirectoriesOnly},
        // A second ":" behind the anchor word: the name stands in front of the two words
        // before it, and the word just before the anchor is the kind word.
        {"Old Files  08-14-95  <DIR>  19:49  9:30", "Old Files", kDir},
        {"sub\\report.doc  1024  08-14-95  19:49  9:30", "report.doc", kFile},
        {"   1024  08-14-95  19:49  9:30", "", kSkip},
        {"  <DIR>  08-14-95  19:49  C:\\WINDOWS", "", kSkip, kGlob},
        // A ":" in the word two before the anchor: kind word, then the name from the anchor.
        {"1:  <DIR>  a:b c", "a:b c", kDir},
        // A ":" before the third character does not count; the kind word needs two words in
        // front of the anchor; the name needs text behind it.
        {":abc def ghi", "", kSkip}, {"ab:  <DIR>  19:49  Desktop", "", kSkip},
        {"12:00  Desktop", "", kSkip},
        {"08-14-95  19:49  Desktop", "", kSkip}, {"  <DIR>  08-14-95  19:49    ", "", kSkip},
        {"  <DIR>  08-14-95  19:49  ..", "", kSkip}, {"  no colon in this line", "", kSkip},
    });
}
