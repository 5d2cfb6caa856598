// File information and attributes: one LIST per name of a host name list made through the
// file-system layer library, every line handed to the host, the refusals that stop the loop,
// a listing that outgrows its buffer or memory, and conversion; the attribute record.
// (ftpsh's listing scenario asks real servers for a name's lines.)
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "records/module_state.h"
#include "host/vault32/vault32.h"
#include "listing/file_info_name_list.h"
#include "listing/file_info_receive.h"
#include "platform/posix/hooks.h"
#include "tests/connection/open_fixture.h"
#include "tests/support/counting_window.h"
#include "tests/listing/listing_session.h"

using namespace tvtest;
using Lines = std::vector<std::string>;

namespace {

// The host's side: name lists made through VAULT32 and freed at the end, which fails while
// a name is still handed out.
class FileSystemLayer {
public:
    FileSystemLayer() : library_(LoadLibraryA("VAULT32.DLL")) {
        create_ = reinterpret_cast<decltype(&CreateNameList)>(
            reinterpret_cast<void*>(GetProcAddress(library_, "CreateNameList")));
        free_ = reinterpret_cast<decltype(&FreeNameList)>(
            reinterpret_cast<void*>(GetProcAddress(library_, "FreeNameList")));
    }
    ~FileSystemLayer() {
        for (HGLOBAL list : lists_) EXPECT_TRUE(free_(list));
        FreeLibrary(library_);
    }
    bool loaded() const { return create_ != nullptr && free_ != nullptr; }
    HGLOBAL List(std::vector<const char*> names) {
        return lists_.emplace_back(create_(names.data(), static_cast<UINT>(names.size())));
    }

private:
    HMODULE library_;
    decltype(&CreateNameList) create_ = nullptr;
    decltype(&FreeNameList) free_ = nullptr;
    std::vector<HGLOBAL> lists_;
};

// What the host's line function was given.
Lines gLines;
bool gArgumentsRight = true;
constexpr DWORD kRecordValue = 0xC0FFEE42;

LONG CALLBACK CollectLine(LPCSTR line, int length, DWORD hostValue) {
    gLines.emplace_back(line);
    gArgumentsRight = gArgumentsRight && length == lstrlenA(line) && hostValue == kRecordValue;
    return 0;
}

// File information as a host asks for it: the result, with the lines in gLines.
LONG FileInfo(HGLOBAL list, FsStateRecord* record) {
    gLines.clear();
    record->hostValue = kRecordValue;
    const LONG result = FTP_Get_File_Info(list, record, CollectLine);
    EXPECT_TRUE(gArgumentsRight);
    EXPECT_EQ(GlobalFlags(list) & GMEM_LOCKCOUNT, 0u) << "the name list is left locked";
    return result;
}

ScriptedServer& PassiveListing(ScriptedServer& server, const std::string& command,
                               const std::string& data) {
    return server.Expect("PASV\r\n").Passive().Expect(command).Reply("150 Here it comes.\r\n")
        .DataSend(data).DataClose().Reply("226 Transfer complete.\r\n");
}

// 455 numbered lines of nine characters, eleven bytes each with their CR LF: 5005 bytes.
std::string NumberedLines(Lines* lines) {
    std::string data;
    for (int i = 0; i < 455; ++i) {
        char line[16];
        wsprintfA(line, "line%05d", i);
        lines->push_back(line);
        data += line + std::string("\r\n");
    }
    return data;
}

}  // namespace

TEST(FileInfo, HandsEveryLineToTheHostInOrderAndRefusalsStopTheLoop) {
    FileSystemLayer layer;
    ASSERT_TRUE(layer.loaded());
    ScriptedSession session;
    ScriptedServer& server = session.server();
    PassiveListing(server, "LIST a\r\n", "-rw-r--r-- 1 u g 5 Jun 15 2021 a\r\n");
    // A name with a blank cannot be sent: plain LIST.
    PassiveListing(server, "LIST\r\n",
                   "total 2\r\n\r\nfirst line\n\nsecond\rthird\r\r\nlast without end");
    const auto resetAfterTwoLines = [&server](const std::string& name) {
        server.Expect("PASV\r\n").Passive().Expect("LIST " + name + "\r\n")
            .Reply("150 Here it comes.\r\n").DataSend(name + "1\r\n" + name + "2\r\n")
            .Pause(100).DataReset().Reply("426 Connection reset.\r\n");
    };
    resetAfterTwoLines("a");
    PassiveListing(server, "LIST b\r\n", "b1\r\n");
    resetAfterTwoLines("c");
    for (const auto& [command, reply] : {std::pair{"LIST x", "550 x: No such file."},
                                         {"LIST p", "425 No data connection."}, {"LIST q", ""}}) {
        session.Converse({{"PASV", ""}}).Passive();
        session.Converse({{command, reply}});  // q: the connection breaks
    }
    FsStateRecord* record = session.Begin(STATE_PASSIVE_MODE);
    // Interval 0 only counts the passes of YieldTick, which in passive mode only the reading
    // of the data makes.
    const uint16_t interval = gModule.peekInterval;
    gModule.peekInterval = 0;
    gModule.yieldCounter = 0;

    // Nothing is sent without the library or without a name list, or for an empty one.
    gNameListLibraryName = "NOVAULT.DLL";
    EXPECT_EQ(FileInfo(layer.List({"a"}), record), FSE_NOT_SUPPORTED);
    gNameListLibraryName = NAME_LIST_LIBRARY_NAME;
    EXPECT_EQ(FTP_Get_File_Info(nullptr, record, CollectLine), FSE_INVALID);
    EXPECT_EQ(FileInfo(layer.List({}), record), 0);
    EXPECT_EQ(server.ControlReceived(), "");

    EXPECT_EQ(FileInfo(layer.List({"a", "b c"}), record), 0);
    EXPECT_EQ(gLines, Lines({"-rw-r--r-- 1 u g 5 Jun 15 2021 a", "total 2", "first line",
                             "second", "third", "last without end"}));
    // At least one receive with data and the one that found the end, per name.
    EXPECT_GE(gModule.yieldCounter, 4u);
    // Both transfers ended here, completion replies included.
    EXPECT_EQ(session.connection()->stateFlags, uint32_t(STATE_PASSIVE_MODE));
    gModule.peekInterval = interval;
    gModule.yieldCounter = 0;

    // Only the last name's result counts.
    EXPECT_EQ(FileInfo(layer.List({"a", "b"}), record), 0);
    EXPECT_EQ(gLines, Lines({"a1", "a2", "b1"}));
    EXPECT_EQ(FileInfo(layer.List({"c"}), record), FsErrorFromSocket(WSAECONNRESET));
    EXPECT_EQ(gLines, Lines({"c1", "c2"}));
    EXPECT_EQ(FileInfo(layer.List({"x", "y", "z"}), record), FSE_NOT_FOUND);
    EXPECT_TRUE(gLines.empty());
    EXPECT_EQ(FileInfo(layer.List({"p", "y"}), record), FSE_UNEXPECTED_REPLY);
    EXPECT_EQ(FileInfo(layer.List({"q"}), record), FSE_CONNECTION_BROKEN);
    EXPECT_EQ(session.Finish(), "");
}

namespace {

std::string gShown;  // the message boxes shown: owner, caption, type and text of each

int RecordMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    char line[256];
    wsprintfA(line, "%p|%s|%u|%s\n", owner, caption, type, text);
    gShown += line;
    return IDOK;
}

}  // namespace

TEST(FileInfo, ALongListingGrowsTheBufferAndOneThatCannotGrowIsCutWithAMessage) {
    AttachedModule module;  // the message text comes from the resource module
    ASSERT_TRUE(module.attached());
    FileSystemLayer layer;
    ASSERT_TRUE(layer.loaded());
    gShown.clear();
    const TvMessageBoxHook previousHook = TvSetMessageBoxHook(RecordMessageBox);
    Lines expected;
    const std::string data = NumberedLines(&expected);
    ScriptedSession session;
    PassiveListing(session.server(), "LIST big\r\n", data);
    PassiveListing(session.server(), "LIST big\r\n", data);
    FsStateRecord* record = session.Begin(STATE_PASSIVE_MODE);
    CountingWindow owner;
    session.connection()->ownerWindow = owner.handle();
    const uint32_t largest = gFileInfoLargestBuffer;
    HGLOBAL big = layer.List({"big"});

    // Two steps of growth, to 4096 and then 6144 bytes, hold it all.
    gFileInfoLargestBuffer = 6144;
    EXPECT_EQ(FileInfo(big, record), 0);
    EXPECT_EQ(gLines, expected);
    EXPECT_EQ(gShown, "");
    // Memory runs out at the second growth: the first 4095 bytes are kept (the last byte of
    // the full block gives way to the NUL), and the user is told.
    gFileInfoLargestBuffer = 6143;
    EXPECT_EQ(FileInfo(big, record), 0);
    Lines kept(expected.begin(), expected.begin() + 4095 / 11);
    kept.push_back(data.substr(4095 / 11 * 11, 4095 % 11));
    EXPECT_EQ(gLines, kept);
    char shown[256];
    wsprintfA(shown, "%p|Tarvo FTP|%u|Not enough memory for a complete listing.\n",
              owner.handle(), UINT(MB_OK));
    EXPECT_EQ(gShown, shown);

    gFileInfoLargestBuffer = largest;
    TvSetMessageBoxHook(previousHook);
    EXPECT_EQ(session.Finish(), "");
}

// Listing data comes out at its worst case, every byte four times, so that a piece too large
// for the free room of the buffer would run past it; replies pass unchanged.
TEST(FileInfo, IncomingDataIsConvertedInPiecesThatFitAndAFailureEndsTheName) {
    FileSystemLayer layer;
    ASSERT_TRUE(layer.loaded());
    Lines expected;
    const std::string data = NumberedLines(&expected);
    for (std::string& line : expected) {
        std::string converted;
        for (char c : line) converted.append(4, c);
        line = converted;
    }
    ScriptedSession session;
    PassiveListing(session.server(), "LIST big\r\n", data);
    PassiveListing(session.server(), "LIST big\r\n", data);
    PassiveListing(session.server(), "LIST small\r\n", "ab\r\ncd\r\n");
    FsStateRecord* record = session.Begin(STATE_PASSIVE_MODE);
    StandInConversion conversion({.worstCase = 4, .repeat = 4,
                                  .plainDestination = session.connection()->stream.receiveBuffer});

    HGLOBAL big = layer.List({"big"});
    EXPECT_EQ(FileInfo(big, record), 0);
    EXPECT_EQ(gLines, expected);
    // A failed conversion ends the reading quietly: what was converted is delivered.
    StandInConversion::rules().refuseAfter = StandInConversion::passed + 1100;
    EXPECT_EQ(FileInfo(big, record), 0);
    ASSERT_FALSE(gLines.empty());
    EXPECT_LT(gLines.size(), expected.size());
    EXPECT_EQ(gLines.front(), expected.front());
    // The user's "disable conversion" option: the data comes as it is.
    gCodeSet.conversionDisabled = true;
    EXPECT_EQ(FileInfo(layer.List({"small"}), record), 0);
    EXPECT_EQ(gLines, Lines({"ab", "cd"}));
    EXPECT_EQ(session.Finish(), "");
}

// What each reply gives is in the attribute transcripts; here, that the record holds the
// flags and nothing else.
TEST(Attributes, TheRecordHoldsTheFlagsAndNothingElse) {
    ScriptedSession reporting;
    reporting.Converse({{"STAT records.dat", "213 IR"}, {"STAT dir", "213 DNRS"}});
    FsStateRecord* record = reporting.Begin(STATE_STAT_REPORTS_REPRESENTATION);
    for (auto [name, flags] : {std::pair{"records.dat", ATTR_IMAGE | ATTR_RECORD},
                               std::pair{"dir", int{ATTR_DIRECTORY}}}) {
        AttributeRecord attributes;
        std::memset(&attributes, 0x5A, sizeof attributes);
        EXPECT_EQ(FTP_Get_Attributes(name, record, &attributes), 0);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(&attributes), sizeof attributes),
                  std::string(8, '\0') + char(flags) + std::string(3, '\0'))
            << name;
    }
    EXPECT_EQ(reporting.Finish(), "");
}
