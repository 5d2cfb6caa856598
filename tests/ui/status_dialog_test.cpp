// The status dialog as a person sees it: the greeting one line per item, scrolled sideways
// as far as its widest line, the directory the connection knows without asking, and a
// logon list that takes whatever the window gains, never less than it had.
#include <gtest/gtest.h>

#include <cstring>

#include "connection/message_pump.h"
#include "tests/support/dialog_script.h"
#include "tests/support/host_fixture.h"
#include "ui/protocol_log.h"
#include "ui/resources/resource_ids.h"

using namespace tvtest;

TEST(StatusDialog, ShowsTheGreetingAndGrowsWithItsWindow) {
    AttachedModule module;
    HostRecord host("ftp.example.org", HOST_VMS);
    FtpConnection connection{};
    const char greeting[] = "220-first\n220-a much longer second line\n220 last\nno LF after it";
    connection.greeting = static_cast<char*>(OrrAlloc(sizeof greeting));
    std::memcpy(connection.greeting, greeting, sizeof greeting);
    connection.stateFlags = STATE_DIRECTORY_KNOWN;
    std::strcpy(connection.cachedWorkingDirectory, "DISK$USER:[ME]");
    host->connection = &connection;

    DialogScript person;
    person.Expect("FTP_STATUS_DLG")
        .Check(IDC_STATUS_HOST, "ftp.example.org")
        .Check(IDC_HOST_TYPE_NAME, "VMS")
        .Check(IDC_STATUS_PATH, "DISK$USER:[ME]")
        .Check(IDC_STATUS_LOGON, "220-first|220-a much longer second line|220 last")
        .Inspect([](HWND dialog) {
            HWND list = GetDlgItem(dialog, IDC_STATUS_LOGON);
            EXPECT_EQ(SendMessageA(list, LB_GETHORIZONTALEXTENT, 0, 0),
                      LogLineWidth(list, "220-a much longer second line"));
            auto place = [&](HWND control) {
                RECT rect;
                GetWindowRect(control, &rect);
                POINT corner{rect.left, rect.top};
                ScreenToClient(dialog, &corner);
                return RECT{corner.x, corner.y, corner.x + rect.right - rect.left,
                            corner.y + rect.bottom - rect.top};
            };
            RECT frame, client;
            GetWindowRect(dialog, &frame);
            GetClientRect(dialog, &client);
            const RECT before = place(list);
            MINMAXINFO limits{};
            SendMessageA(dialog, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
            EXPECT_EQ(limits.ptMinTrackSize.x, frame.right - frame.left);
            EXPECT_EQ(limits.ptMinTrackSize.y, frame.bottom - frame.top);
            const LONG margin = client.bottom - before.bottom;
            MoveWindow(dialog, frame.left, frame.top, 900, 700, TRUE);
            DispatchThreadMessages();
            GetClientRect(dialog, &client);
            const RECT after = place(list);
            EXPECT_EQ(after.left, before.left);
            EXPECT_EQ(after.top, before.top);
            EXPECT_EQ(after.right, client.right - before.left);
            EXPECT_EQ(after.bottom, client.bottom - margin);
            EXPECT_LT(place(GetDlgItem(dialog, IDOK)).bottom, after.top) << "the list runs under OK";
        })
        .Click(IDOK);
    EXPECT_EQ(FTP_Status(host.get()), 1);
    EXPECT_EQ(person.problems(), std::vector<std::string>{});
    EXPECT_TRUE(person.finished());

    // Without a greeting the list is empty; a dialog that cannot end is closed by its
    // window's close box, which ends it with 1 as OK does.
    OrrFree(connection.greeting);
    connection.greeting = nullptr;
    person.Expect("FTP_STATUS_DLG").Check(IDC_STATUS_LOGON, "").Command(IDCANCEL);
    EXPECT_EQ(FTP_Status(host.get()), 1);
    EXPECT_EQ(person.problems(), std::vector<std::string>{});
    host->connection = nullptr;
}
