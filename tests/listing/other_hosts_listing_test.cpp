// Listings of hosts without UNIX-style lines read through a directory handle from the
// scripted server: the VMS heading is the first non-empty line however many empty lines
// come before it, and a Macintosh line of one word ends the read with its own error after
// the rest of the data has been drained.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/listing/listing_session.h"

using namespace tvtest;

TEST(OtherHostListing, VmsHeadingContinuationsAndTotalAreNotEntries) {
    const std::string login =
        "LOGIN.COM;3           2/3      12-JAN-1996 10:22:33  [ALICE]  (RWED,RWED,RE,)";
    const std::string longName = "A_NAME_THAT_FILLS_THE_COLUMN.TXT;1";
    const std::string sub =
        "SUB.DIR;1             1/3      12-JAN-1996 10:22:33  [ALICE]  (RWED,RWED,RE,E)";
    ListingSession session(HOST_VMS);
    session.server()
        .ExpectLineStartingWith("PORT ").Reply("200 PORT ok.\r\n")
        .Expect("LIST\r\n").Reply("150 Opening ASCII mode data connection.\r\n")
        .ConnectToPort()
        .DataSend("\r\nDirectory DISK$USER:[ALICE]\r\n\r\n" + login + "\r\n" + longName +
                  "\r\n                      4/6      12-JAN-1996 10:22:33  [ALICE]  "
                  "(RWED,RWED,RE,)\r\n" + sub + "\r\n\r\nTotal of 3 files, 7/12 blocks.\r\n")
        .DataClose().Reply("226 Transfer complete.\r\n");
    session.Begin(TYPE_ASCII, STATE_SEND_PORT);

    ASSERT_EQ(session.Open(nullptr), 0);
    EXPECT_EQ(session.ReadAll(2),
              (std::vector<HostEntry>{{"LOGIN.COM;3", login, ENTRY_FILE},
                                      {longName, longName, ENTRY_FILE},
                                      {"SUB.DIR;1", sub, ENTRY_DIRECTORY}}));
    EXPECT_EQ(session.Close(), 0);
    EXPECT_EQ(session.Finish(), "");
}

TEST(OtherHostListing, MacintoshLineOfOneWordEndsTheRead) {
    auto macLine = [](std::string front, const std::string& name) {
        front.resize(39, ' ');
        return front + name;
    };
    ListingSession session(HOST_MACINTOSH);
    session.server()
        .ExpectLineStartingWith("PORT ").Reply("200 PORT ok.\r\n")
        .Expect("LIST\r\n").Reply("150 Here it comes.\r\n")
        .ConnectToPort()
        .DataSend(macLine("TEXT ttxt      1234      0 01/12/96", "read me") + "\r\n" +
                  std::string(45, 'X') + "\r\n" +
                  macLine("       Folder", "Projects/") + "\r\n")
        .DataClose().Reply("226 Done.\r\n");
    session.Begin(TYPE_ASCII, STATE_SEND_PORT);

    ASSERT_EQ(session.Open(nullptr), 0);
    std::vector<HostEntry> taken;
    // The entry filled before the line is given back with the failed read.
    EXPECT_EQ(session.Read(8, &taken), -2);
    EXPECT_EQ(taken, std::vector<HostEntry>{});
    EXPECT_EQ(session.handle()->readState, READ_STATE_FINISHED);
    EXPECT_EQ(session.Read(8, &taken), 0);
    EXPECT_EQ(session.Close(), 0);
    EXPECT_EQ(session.Finish(), "");
}
