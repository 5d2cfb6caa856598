// The status dialog's logon list: as wide as its widest line, and growing with the window.
#include <gtest/gtest.h>

#include "connection/message_pump.h"
#include "tests/support/dialog_script.h"
#include "tests/support/host_fixture.h"
#include "ui/protocol_log.h"
#include "ui/resources/resource_ids.h"
#include "ui/window_layout.h"

TEST(StatusDialog, LogonListScrollsToItsWidestLineAndGrowsWithTheWindow) {
    tvtest::AttachedModule module;
    tvtest::HostRecord host("ftp.example.org");
    FtpConnection connection{};
    char greeting[] = "220-first\n220-a much longer second line\n220 last\n";
    connection.greeting = greeting;
    connection.stateFlags = STATE_DIRECTORY_KNOWN;
    host->connection = &connection;
    tvtest::DialogScript person;
    person.Expect("FTP_STATUS_DLG").Inspect([](HWND dialog) {
        HWND list = GetDlgItem(dialog, IDC_STATUS_LOGON);
        EXPECT_EQ(SendMessageA(list, LB_GETHORIZONTALEXTENT, 0, 0),
                  LogLineWidth(list, "220-a much longer second line"));
        RECT frame, client;
        GetWindowRect(dialog, &frame);
        GetClientRect(dialog, &client);
        const RECT before = ClientRectOf(dialog, list);
        MINMAXINFO limits{};
        SendMessageA(dialog, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
        EXPECT_EQ(limits.ptMinTrackSize.y, frame.bottom - frame.top);
        const LONG margin = client.bottom - before.bottom;
        MoveWindow(dialog, frame.left, frame.top, 900, 700, TRUE);
        DispatchThreadMessages();
        GetClientRect(dialog, &client);
        const RECT after = ClientRectOf(dialog, list);
        EXPECT_EQ(std::tuple(after.left, after.top, after.right, after.bottom),
                  std::tuple(before.left, before.top, client.right - before.left, client.bottom - margin));
    }).Click(IDOK);
    EXPECT_EQ(FTP_Status(host.get()), 1);
    EXPECT_EQ(person.problems(), std::vector<std::string>{});
    host->connection = nullptr;
}
