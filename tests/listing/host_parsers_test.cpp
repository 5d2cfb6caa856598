// The parsers of MVS, VM, VMS and Macintosh listings: real-looking lines of each system,
// headings and summaries that carry no entry, the kind mask (which MVS and VM apply
// differently from the others), the VMS heading line, and the Macintosh line lengths,
// entry kinds and the error that ends a read.
#include <gtest/gtest.h>

#include <string>

#include "listing/listing_parser.h"
#include "tests/listing/parse_line.h"

using tvtest::kUntouchedKind;
using tvtest::ParsedLine;
using tvtest::ParseSetting;

namespace {

constexpr uint8_t kMacintosh = 3;
constexpr uint8_t kMvs = 4;
constexpr uint8_t kVm = 8;
constexpr uint8_t kVms = 9;

constexpr ParseSetting kGlob{KIND_MASK_ALL, 1, 5};
constexpr ParseSetting kFilesOnly{KIND_MASK_FILES, 0, 5};
constexpr ParseSetting kDirectoriesOnly{KIND_MASK_DIRECTORIES, 0, 5};
constexpr ParseSetting kFirstLine{KIND_MASK_ALL, 0, 1};

ParsedLine Mvs(std::string_view line, ParseSetting setting = {}) {
    return tvtest::ParseLine(ParseMvsLine, kMvs, line, setting);
}
ParsedLine Vm(std::string_view line, ParseSetting setting = {}) {
    return tvtest::ParseLine(ParseVmLine, kVm, line, setting);
}
ParsedLine Vms(std::string_view line, ParseSetting setting = {}) {
    return tvtest::ParseLine(ParseVmsLine, kVms, line, setting);
}
ParsedLine Mac(std::string_view line, ParseSetting setting = {}) {
    return tvtest::ParseLine(ParseMacintoshLine, kMacintosh, line, setting);
}

void ExpectEntry(const ParsedLine& parsed, const std::string& name, uint8_t kind) {
    EXPECT_EQ(parsed.result, static_cast<int32_t>(name.size()));
    EXPECT_EQ(parsed.name, name);
    EXPECT_EQ(parsed.kind, kind);
}

// A Macintosh line: `front` padded with blanks to column 39, the name from column 40 on.
std::string MacLine(std::string front, const std::string& name) {
    front.resize(39, ' ');
    return front + name;
}

}  // namespace

TEST(MvsParser, DataSetListing) {
    EXPECT_EQ(Mvs("Volume Unit    Referred Ext Used Recfm Lrecl BlkSz Dsorg Dsname").result,
              PARSE_SKIP);
    const char* pds = "WRK001 3390   1996/01/12  1   15  FB      80 27920  PO  USER.SOURCE";
    ParsedLine parsed = Mvs(pds);
    ExpectEntry(parsed, "USER.SOURCE", ENTRY_DIRECTORY);
    EXPECT_EQ(parsed.line, pds);
    // Other data sets are delivered with the kind the host put there.
    ExpectEntry(Mvs("WRK001 3390   1996/01/12  1    2  VB     255 27998  PS  USER.LOG"),
                "USER.LOG", kUntouchedKind);
    ExpectEntry(Mvs("Migrated                                                USER.OLD"),
                "USER.OLD", kUntouchedKind);
    ExpectEntry(Mvs("ARCIVE Not Direct Access Device                         USER.TAPE"),
                "USER.TAPE", kUntouchedKind);
    ExpectEntry(Mvs("USER.ALONE"), "USER.ALONE", kUntouchedKind);
    ExpectEntry(Mvs("PO USER.LIB"), "USER.LIB", ENTRY_DIRECTORY);
    // Only the exact heading is passed over.
    ExpectEntry(Mvs("Volume Unit    Referred EXT Used Recfm Lrecl BlkSz Dsorg Dsname"),
                "Dsname", kUntouchedKind);
    ExpectEntry(Mvs("Volume Unit    Referred Ext Used Recfm Lrecl BlkSz Dsorg Dsname More"),
                "More", kUntouchedKind);
}

TEST(MvsParser, MemberListing) {
    EXPECT_EQ(Mvs(" Name     VV.MM   Created       Changed      Size  Init   Mod   Id").result,
              PARSE_SKIP);
    ExpectEntry(Mvs("MEMBER1   01.00 1996/01/12 1996/01/12 10:22    10    10     0 USER1"),
                "MEMBER1", kUntouchedKind);
    // A member without statistics has only its name.
    ExpectEntry(Mvs("MEMBER2"), "MEMBER2", kUntouchedKind);
    EXPECT_EQ(Mvs("\tMEMBER3").result, PARSE_SKIP);
    EXPECT_EQ(Mvs("").result, PARSE_SKIP);
}

TEST(MvsParser, KindMaskDoesNotFilterDataSets) {
    const char* pds = "WRK001 3390   1996/01/12  1   15  FB      80 27920  PO  USER.SOURCE";
    const char* ps = "WRK001 3390   1996/01/12  1    2  VB     255 27998  PS  USER.LOG";
    ExpectEntry(Mvs(pds, kFilesOnly), "USER.SOURCE", kUntouchedKind);
    ExpectEntry(Mvs(pds, kDirectoriesOnly), "USER.SOURCE", ENTRY_DIRECTORY);
    ExpectEntry(Mvs(ps, kDirectoriesOnly), "USER.LOG", kUntouchedKind);
    ExpectEntry(Mvs(ps, ParseSetting{0, 0, 5}), "USER.LOG", kUntouchedKind);
}

TEST(VmParser, FileNameAndTypeMakeTheName) {
    const char* line =
        "PROFILE  EXEC     A1 V         80         12          1  1/12/96 12:00:00 USER";
    ParsedLine parsed = Vm(line);
    ExpectEntry(parsed, "PROFILE.EXEC", kUntouchedKind);
    EXPECT_EQ(parsed.line, line);
    ExpectEntry(Vm("README"), "README", kUntouchedKind);
    ExpectEntry(Vm("ALL\tNOTEBOOK  A0"), "ALL.NOTEBOOK", kUntouchedKind);
    // The joined name has the room of 63 characters.
    const std::string longName(40, 'N');
    const std::string longType(40, 'T');
    ExpectEntry(Vm(longName + " " + longType + " A1"),
                longName + "." + std::string(22, 'T'), kUntouchedKind);
    EXPECT_EQ(Vm("   PROFILE  EXEC  A1").result, PARSE_SKIP);
    EXPECT_EQ(Vm("").result, PARSE_SKIP);
    // Every entry is a file: a handle that wants only directories gets none.
    EXPECT_EQ(Vm(line, kDirectoriesOnly).result, PARSE_SKIP);
    ExpectEntry(Vm(line, kFilesOnly), "PROFILE.EXEC", kUntouchedKind);
}

TEST(VmsParser, EntriesAfterTheHeading) {
    // The first line is the heading, whatever it says.
    EXPECT_EQ(Vms("Directory DISK$USER:[ALICE]", kFirstLine).result, PARSE_SKIP);
    EXPECT_EQ(Vms("LOGIN.COM;3  2/3  12-JAN-1996 10:22:33  [ALICE]  (RWED,RWED,RE,)",
                  kFirstLine).result,
              PARSE_SKIP);

    const char* file =
        "LOGIN.COM;3           2/3      12-JAN-1996 10:22:33  [ALICE]  (RWED,RWED,RE,)";
    ParsedLine parsed = Vms(file);
    ExpectEntry(parsed, "LOGIN.COM;3", ENTRY_FILE);
    EXPECT_EQ(parsed.line, file);
    ExpectEntry(Vms("SUB.DIR;1     1/3      12-JAN-1996 10:22:33  [ALICE]  (RWED,RWED,RE,E)"),
                "SUB.DIR;1", ENTRY_DIRECTORY);
    ExpectEntry(Vms("low.dir;1  1/3"), "low.dir;1", ENTRY_DIRECTORY);
    // Only "dir" and "DIR" mark a directory.
    ExpectEntry(Vms("MIXED.Dir;1  1/3"), "MIXED.Dir;1", ENTRY_FILE);
    ExpectEntry(Vms("A_NAME_THAT_FILLS_THE_COLUMN.TXT;1"), "A_NAME_THAT_FILLS_THE_COLUMN.TXT;1",
                ENTRY_FILE);
    // Names are never cut, on either kind of handle.
    ExpectEntry(Vms("[ALICE]X.TXT;1  1/3", kGlob), "[ALICE]X.TXT;1", ENTRY_FILE);
}

TEST(VmsParser, SkipsContinuationsAndTotals) {
    for (const char* line : {"                      4/6      12-JAN-1996 10:22:33  [ALICE]",
                             "\t4/6", "Total of 3 files, 7/12 blocks.", ""}) {
        EXPECT_EQ(Vms(line).result, PARSE_SKIP) << line;
    }
    // "Total" is compared exactly.
    ExpectEntry(Vms("TOTAL.DAT;1  1/3"), "TOTAL.DAT;1", ENTRY_FILE);
    ExpectEntry(Vms("Totals  1/3"), "Totals", ENTRY_FILE);
}

TEST(VmsParser, KindMask) {
    EXPECT_EQ(Vms("SUB.DIR;1  1/3", kFilesOnly).result, PARSE_SKIP);
    EXPECT_EQ(Vms("LOGIN.COM;3  2/3", kDirectoriesOnly).result, PARSE_SKIP);
    ExpectEntry(Vms("SUB.DIR;1  1/3", kDirectoriesOnly), "SUB.DIR;1", ENTRY_DIRECTORY);
}

TEST(MacintoshParser, TypeCodesGiveTheEntryKind) {
    const std::string text = MacLine("TEXT ttxt      1234      0 01/12/96", "read me");
    ParsedLine parsed = Mac(text);
    ExpectEntry(parsed, "read me", ENTRY_FILE);
    EXPECT_EQ(parsed.line, text);
    ExpectEntry(Mac(MacLine("text ttxt      1234      0 01/12/96", "notes")), "notes",
                ENTRY_FILE);
    ExpectEntry(Mac(MacLine("???? ????         0   4096 01/12/96", "mystery")), "mystery", 0);
    ExpectEntry(Mac(MacLine("APPL ttxt         0 412345 01/12/96", "SimpleText")), "SimpleText",
                4);
    ExpectEntry(Mac(MacLine("PICT ttxt         0   1234 01/12/96", "photo/")), "photo", 4);
    ExpectEntry(Mac(MacLine("DIR  MACS         0      0 01/12/96", "System Folder/")),
                "System Folder", ENTRY_DIRECTORY);
    ExpectEntry(Mac(MacLine("vol  MACS         0      0 01/12/96", "Disk")), "Disk",
                ENTRY_DIRECTORY);
    ExpectEntry(Mac(MacLine("       Folder", "Projects/")), "Projects", ENTRY_DIRECTORY);
    ExpectEntry(Mac(MacLine("\tFolder", "Tabbed")), "Tabbed", ENTRY_DIRECTORY);
    // Only one "/" goes; neither path prefixes nor "." and ".." are special.
    ExpectEntry(Mac(MacLine("       Folder", "Deep//")), "Deep/", ENTRY_DIRECTORY);
    ExpectEntry(Mac(MacLine("TEXT ttxt      1234      0 01/12/96", "a/b")), "a/b", ENTRY_FILE);
    ExpectEntry(Mac(MacLine("       Folder", "..")), "..", ENTRY_DIRECTORY);
}

TEST(MacintoshParser, LineLengthsSummariesAndTheEndOfTheRead) {
    const std::string front = "TEXT ttxt      1234      0 01/12/96";
    EXPECT_EQ(Mac(MacLine(front, "").substr(0, 39)).result, PARSE_SKIP);
    ExpectEntry(Mac(MacLine(front, "x")), "x", ENTRY_FILE);                    // 40
    ExpectEntry(Mac(MacLine(front, std::string(36, 'y'))), std::string(36, 'y'),
                ENTRY_FILE);                                                   // 75
    EXPECT_EQ(Mac(MacLine(front, std::string(37, 'y'))).result, PARSE_SKIP);  // 76
    EXPECT_EQ(Mac(MacLine("    12 File(s)      34567 bytes", "free")).result, PARSE_SKIP);
    EXPECT_EQ(Mac(MacLine("       Document", "letter")).result, PARSE_SKIP);
    // A line of the right length with only one word is no Macintosh listing: the read ends.
    EXPECT_EQ(Mac(std::string(45, 'A')).result, -2);
    EXPECT_EQ(Mac("TEXT" + std::string(41, ' ')).result, -2);
    EXPECT_EQ(Mac(std::string(45, ' ')).result, -2);
}

TEST(MacintoshParser, KindMask) {
    const std::string file = MacLine("APPL ttxt         0 412345 01/12/96", "SimpleText");
    const std::string folder = MacLine("       Folder", "Projects/");
    EXPECT_EQ(Mac(file, kDirectoriesOnly).result, PARSE_SKIP);
    EXPECT_EQ(Mac(folder, kFilesOnly).result, PARSE_SKIP);
    ExpectEntry(Mac(file, kFilesOnly), "SimpleText", 4);
    ExpectEntry(Mac(folder, kDirectoriesOnly), "Projects", ENTRY_DIRECTORY);
}
