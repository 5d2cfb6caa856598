// File information where the exchange transcripts cannot reach: nothing is sent without the
// host's file-system layer library; the data's receives let the host's messages through; a
// listing that outgrows the largest buffer the memory allows is cut, and the user is told.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/vault32/vault32.h"
#include "listing/file_info_name_list.h"
#include "listing/file_info_receive.h"
#include "platform/posix/hooks.h"
#include "tests/support/counting_window.h"
#include "tests/support/host_fixture.h"

using namespace tvtest;

namespace {

std::vector<std::string> gLines;
LONG CALLBACK CollectLine(LPCSTR line, int, DWORD) {
    gLines.emplace_back(line);
    return 0;
}

std::string gShown;  // the message boxes shown: owner, caption, type and text of each
int RecordMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    char line[256];
    wsprintfA(line, "%p|%s|%u|%s\n", owner, caption, type, text);
    gShown += line;
    return IDOK;
}

}  // namespace

TEST(FileInfo, NeedsTheLibraryAndALongListingGrowsOrIsCutWithAMessage) {
    AttachedModule module;  // the message text comes from the resource module
    HMODULE vault = LoadLibraryA("VAULT32.DLL");
    auto create = reinterpret_cast<decltype(&CreateNameList)>(reinterpret_cast<void*>(GetProcAddress(vault, "CreateNameList")));
    ASSERT_TRUE(module.attached() && create != nullptr);
    // 455 numbered lines of nine characters, eleven bytes each with their CR LF: 5005 bytes.
    std::vector<std::string> lines;
    std::string data;
    for (int i = 0; i < 455; ++i) {
        lines.push_back("line" + std::to_string(10000 + i));
        data += lines.back() + "\r\n";
    }
    ScriptedSession session;
    for (int i = 0; i < 2; ++i) {
        session.server().Expect("PASV\r\n").Passive().Expect("LIST big\r\n").Reply("150 Here.\r\n")
            .DataSend(data).DataClose().Reply("226 Transfer complete.\r\n");
    }
    FsStateRecord* record = session.Begin(STATE_PASSIVE_MODE);
    CountingWindow owner;
    session.connection()->ownerWindow = owner.handle();
    const char* name = "big";
    HGLOBAL list = create(&name, 1);
    gNameListLibraryName = "NOVAULT.DLL";
    EXPECT_EQ(FTP_Get_File_Info(list, record, CollectLine), FSE_NOT_SUPPORTED);
    gNameListLibraryName = NAME_LIST_LIBRARY_NAME;
    EXPECT_EQ(session.server().ControlReceived(), "");

    // Two steps of growth, to 4096 and then 6144 bytes, hold it all. Interval 0 only counts
    // the passes of YieldTick, which in passive mode only the receives of the data make: at
    // least one with data and the one that found the end.
    const uint16_t interval = gModule.peekInterval;
    gModule.peekInterval = 0;
    gModule.yieldCounter = 0;
    const TvMessageBoxHook previousHook = TvSetMessageBoxHook(RecordMessageBox);
    const uint32_t largest = gFileInfoLargestBuffer;
    gFileInfoLargestBuffer = 6144;
    EXPECT_EQ(FTP_Get_File_Info(list, record, CollectLine), 0);
    EXPECT_EQ(gLines, lines);
    EXPECT_GE(gModule.yieldCounter, 2u);
    EXPECT_EQ(gShown, "");
    gModule.peekInterval = interval;

    // Memory runs out at the second growth: the first 4095 bytes are kept (the last byte of
    // the full block gives way to the NUL), and the user is told.
    gFileInfoLargestBuffer = 6143;
    gLines.clear();
    EXPECT_EQ(FTP_Get_File_Info(list, record, CollectLine), 0);
    lines.resize(4095 / 11);
    lines.push_back(data.substr(4095 / 11 * 11, 4095 % 11));
    EXPECT_EQ(gLines, lines);
    char shown[256];
    wsprintfA(shown, "%p|Tarvo FTP|%u|Not enough memory for a complete listing.\n", owner.handle(), UINT(MB_OK));
    EXPECT_EQ(gShown, shown);

    gFileInfoLargestBuffer = largest;
    TvSetMessageBoxHook(previousHook);
    GlobalFree(list);
    FreeLibrary(vault);
    EXPECT_EQ(session.Finish(), "");
}
