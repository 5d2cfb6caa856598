// The status dialog's logon list: as wide as its widest line, and growing with the window.
#include <gtest/gtest.h>

#include "connection/message_pump.h"
#include "tests/support/dialog_script.h"
#include "tests/support/host_fixture.h"
#include "ui/protocol_log.h"
#include "ui/resources/resource_ids.h"

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
        auto place = [&](HWND control) {  // left, top, right, bottom in the client area
            RECT r;
            GetWindowRect(control, &r);
            POINT corners[] = {{r.left, r.top}, {r.right, r.bottom}};
            for (POINT& corner : corners) ScreenToClient(dialog, &corner);
            return std::tuple(corners[0].x, corners[0].y, corners[1].x, corners[1].y);
        };
        RECT frame, client;
        GetWindowRect(dialog, &frame);
        GetClientRect(dialog, &client);
        const auto [left, top, right, bottom] = place(list);
        MINMAXINFO limits{};
        SendMessageA(dialog, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
        EXPECT_EQ(std::pair(limits.ptMinTrackSize.x, limits.ptMinTrackSize.y),
                  std::pair(frame.right - frame.left, frame.bottom - frame.top));
        const LONG margin = client.bottom - bottom;
        MoveWindow(dialog, frame.left, frame.top, 900, 700, TRUE);
        DispatchThreadMessages();
        GetClientRect(dialog, &client);
        EXPECT_EQ(place(list), std::tuple(left, top, client.right - left, client.bottom - margin));
        EXPECT_LT(std::get<3>(place(GetDlgItem(dialog, IDOK))), top) << "the list runs under OK";
    }).Click(IDOK);
    EXPECT_EQ(FTP_Status(host.get()), 1);
    EXPECT_EQ(person.problems(), std::vector<std::string>{});
    host->connection = nullptr;
}
