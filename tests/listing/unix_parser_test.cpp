// The UNIX-style listing parser on lines as real servers send them: where the name starts,
// which lines carry no entry or end the listing, path prefixes, dot names and the kind mask.
#include <gtest/gtest.h>

#include <string>

#include "tests/listing/parse_line.h"

using namespace tvtest;

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
    // The longest line the reader hands over keeps its whole name.
    const std::string fields = "-rw-r--r-- 1 u g 1 Jun 15 12:34 ";
    const std::string longest(LISTING_LINE_BUFFER_SIZE - 1 - fields.size(), 'n');
    ExpectLines(ParseUnixLine, HOST_UNIX, {{fields + longest, longest, kFile}});
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
