// The parsers of MVS, VM, VMS and Macintosh listings on real-looking lines of each system.
#include <gtest/gtest.h>

#include <string>

#include "tests/listing/parse_line.h"

using namespace tvtest;

namespace {

constexpr int kUntouched = kUntouchedKind;
constexpr ParseSetting kFirstLine{KIND_MASK_ALL, 0, 1};

// A Macintosh line: `front` padded with blanks to column 39, the name from column 40 on.
std::string MacLine(std::string front, const std::string& name) {
    front.resize(39, ' ');
    return front + name;
}

}  // namespace

TEST(MvsParser, DataSetsAndMembersKeepTheHostsKindUnlessPartitioned) {
    const std::string pds = "WRK001 3390   1996/01/12  1   15  FB      80 27920  PO  USER.SOURCE";
    const std::string ps = "WRK001 3390   1996/01/12  1    2  VB     255 27998  PS  USER.LOG";
    ExpectLines(ParseMvsLine, HOST_MVS, {
        {"Volume Unit    Referred Ext Used Recfm Lrecl BlkSz Dsorg Dsname", "", kSkip},
        {pds, "USER.SOURCE", kDir},
        {ps, "USER.LOG", kUntouched},
        {"Migrated                                         USER.OLD", "USER.OLD", kUntouched},
        {"USER.ALONE", "USER.ALONE", kUntouched},
        {"PO USER.LIB", "USER.LIB", kDir},
        // Only the exact heading is passed over.
        {"Volume Unit    Referred EXT Used Recfm Lrecl BlkSz Dsorg Dsname", "Dsname", kUntouched},
        {" Name     VV.MM   Created       Changed      Size  Init   Mod   Id", "", kSkip},
        {"MEMBER1   01.00 1996/01/12 1996/01/12 10:22    10    10     0 USER1", "MEMBER1",
         kUntouched},
        {"MEMBER2", "MEMBER2", kUntouched},
        {"\tMEMBER3", "", kSkip},
        // The kind mask filters no data set.
        {pds, "USER.SOURCE", kUntouched, kFilesOnly},
        {pds, "USER.SOURCE", kDir, kDirectoriesOnly},
        {ps, "USER.LOG", kUntouched, kDirectoriesOnly},
    });
}

TEST(VmParser, FileNameAndTypeMakeTheNameOfAFile) {
    const std::string line =
        "PROFILE  EXEC     A1 V         80         12          1  1/12/96 12:00:00 USER";
    ExpectLines(ParseVmLine, HOST_VM, {
        {line, "PROFILE.EXEC", kUntouched},
        {"README", "README", kUntouched},
        {"ALL\tNOTEBOOK  A0", "ALL.NOTEBOOK", kUntouched},
        // The joined name has the room of 63 characters.
        {std::string(40, 'N') + " " + std::string(40, 'T') + " A1",
         std::string(40, 'N') + "." + std::string(22, 'T'), kUntouched},
        {"   PROFILE  EXEC  A1", "", kSkip},
        {"", "", kSkip},
        {line, "", kSkip, kDirectoriesOnly},
        {line, "PROFILE.EXEC", kUntouched, kFilesOnly},
    });
}

TEST(VmsParser, EntriesAfterTheHeadingWithoutContinuationsAndTotals) {
    ExpectLines(ParseVmsLine, HOST_VMS, {
        // The first line is the heading, whatever it says.
        {"Directory DISK$USER:[ALICE]", "", kSkip, kFirstLine},
        {"LOGIN.COM;3  2/3  12-JAN-1996 10:22:33  [ALICE]  (RWED,RWED,RE,)", "", kSkip, kFirstLine},
        {"LOGIN.COM;3           2/3      12-JAN-1996 10:22:33  [ALICE]  (RWED,RWED,RE,)",
         "LOGIN.COM;3", kFile},
        {"SUB.DIR;1     1/3      12-JAN-1996 10:22:33  [ALICE]  (RWED,RWED,RE,E)", "SUB.DIR;1",
         kDir},
        {"low.dir;1  1/3", "low.dir;1", kDir},
        {"MIXED.Dir;1  1/3", "MIXED.Dir;1", kFile},
        {"A_NAME_THAT_FILLS_THE_COLUMN.TXT;1", "A_NAME_THAT_FILLS_THE_COLUMN.TXT;1", kFile},
        {"[ALICE]X.TXT;1  1/3", "[ALICE]X.TXT;1", kFile, kGlob},  // never cut
        {"                      4/6      12-JAN-1996 10:22:33  [ALICE]", "", kSkip},
        {"Total of 3 files, 7/12 blocks.", "", kSkip},
        {"", "", kSkip},
        {"TOTAL.DAT;1  1/3", "TOTAL.DAT;1", kFile},  // "Total" is compared exactly
        {"Totals  1/3", "Totals", kFile},
        {"SUB.DIR;1  1/3", "", kSkip, kFilesOnly},
        {"LOGIN.COM;3  2/3", "", kSkip, kDirectoriesOnly},
        {"SUB.DIR;1  1/3", "SUB.DIR;1", kDir, kDirectoriesOnly},
    });
}

TEST(MacintoshParser, TypeCodesGiveTheKindAndALineOfOneWordEndsTheRead) {
    const std::string text = "TEXT ttxt      1234      0 01/12/96";
    const std::string application = MacLine("APPL ttxt         0 412345 01/12/96", "SimpleText");
    const std::string folder = MacLine("       Folder", "Projects/");
    ExpectLines(ParseMacintoshLine, HOST_MACINTOSH, {
        {MacLine(text, "read me"), "read me", kFile},
        {MacLine("???? ????         0   4096 01/12/96", "mystery"), "mystery", 0},
        {application, "SimpleText", 4},
        {MacLine("PICT ttxt         0   1234 01/12/96", "photo/"), "photo", 4},
        {MacLine("DIR  MACS         0      0 01/12/96", "System Folder/"), "System Folder", kDir},
        {folder, "Projects", kDir},
        {MacLine("\tFolder", "Tabbed"), "Tabbed", kDir},
        // Only one "/" goes; neither path prefixes nor "." and ".." are special.
        {MacLine("       Folder", "Deep//"), "Deep/", kDir},
        {MacLine(text, "a/b"), "a/b", kFile},
        {MacLine("       Folder", ".."), "..", kDir},
        // Lines of 40 to 75 characters carry entries.
        {MacLine(text, "").substr(0, 39), "", kSkip},
        {MacLine(text, "x"), "x", kFile},
        {MacLine(text, std::string(36, 'y')), std::string(36, 'y'), kFile},
        {MacLine(text, std::string(37, 'y')), "", kSkip},
        {MacLine("    12 File(s)      34567 bytes", "free"), "", kSkip},
        {MacLine("       Document", "letter"), "", kSkip},
        {std::string(45, 'A'), "", -2},
        {std::string(45, ' '), "", -2},
        {application, "", kSkip, kDirectoriesOnly},
        {folder, "", kSkip, kFilesOnly},
        {folder, "Projects", kDir, kDirectoriesOnly},
    });
}
