// The listing that VMS servers with the list-before-CWD quirk get before every change of
// directory: NLST over a passive or PORT data connection, the names drained, the
// representation switched to ASCII and back, and a refused listing that stops the CWD.
#include <gtest/gtest.h>

#include <string>

#include "fsops/path_operations.h"
#include "tests/support/scripted_session.h"

using tvtest::ScriptedSession;

TEST(ListingProbe, NamesAreListedAndDrainedBeforeTheChangeAndARefusalStopsIt) {
    constexpr uint32_t kTransferFlags = STATE_DATA_TRANSFER | STATE_PASSIVE_CONNECTION_OPEN;
    auto begin = [](ScriptedSession& session, int32_t type, uint32_t stateFlags) {
        return session.Begin(stateFlags | STATE_DIRECTORY_KNOWN, type, 0, QUIRK_LIST_BEFORE_CWD);
    };
    // Passive, already in ASCII: no TYPE at all.
    ScriptedSession passive(HOST_VMS);
    passive.server().Expect("PASV\r\n").Passive()
        .Expect("NLST [.SUBDIR]\r\n").Reply("150 Opening data connection.\r\n")
        .DataSend("A.TXT;1\r\nB.DIR;1\r\n").DataClose().Reply("226 Transfer complete.\r\n")
        .Expect("CWD [.SUBDIR]\r\n").Reply("250 Directory changed.\r\n");
    EXPECT_EQ(FTP_Chdir("SUBDIR.DIR;1", begin(passive, TYPE_ASCII, STATE_PASSIVE_MODE)), 2);
    EXPECT_EQ(passive.Finish(), "");
    // The completion reply has been read: a later close must not wait for another one.
    EXPECT_EQ(passive.connection()->stateFlags & (kTransferFlags | STATE_DIRECTORY_KNOWN), 0u);

    // PORT, in image type: ASCII for the listing and back; a listing of many pieces.
    std::string names;
    for (int i = 0; i < 400; ++i) names += "FILE" + std::to_string(i) + ".TXT;1\r\n";
    ScriptedSession active(HOST_VMS);
    active.server().Expect("TYPE A\r\n").Reply("200 Type A.\r\n")
        .ExpectLineStartingWith("PORT 127,0,0,1,").Reply("200 PORT OK.\r\n")
        .Expect("NLST [.LOGS]\r\n").Reply("150 Opening data connection.\r\n")
        .ConnectToPort().DataSend(names).DataClose().Reply("226 Transfer complete.\r\n")
        .Expect("TYPE I\r\n").Reply("200 Type I.\r\n")
        .Expect("CWD [.LOGS]\r\n").Reply("250 Directory changed.\r\n");
    EXPECT_EQ(FTP_Chdir("LOGS.DIR;1", begin(active, TYPE_IMAGE, STATE_SEND_PORT)), 2);
    EXPECT_EQ(active.Finish(), "");
    EXPECT_EQ(active.connection()->currentType, TYPE_IMAGE);
    EXPECT_EQ(active.connection()->stateFlags & kTransferFlags, 0u);

    // Nothing to list (550): the representation still goes back, and no CWD follows.
    ScriptedSession missing(HOST_VMS);
    missing.server().Expect("TYPE A\r\n").Reply("200 Type A.\r\n")
        .Expect("PASV\r\n").Passive()
        .Expect("NLST [.GONE]\r\n").Reply("550 Directory not found.\r\n")
        .Expect("TYPE I\r\n").Reply("200 Type I.\r\n");
    FsStateRecord* record = begin(missing, TYPE_IMAGE, STATE_PASSIVE_MODE);
    EXPECT_EQ(FTP_Chdir("GONE.DIR;1", record), FSE_NOT_FOUND);
    EXPECT_TRUE(missing.connection()->stateFlags & STATE_DIRECTORY_KNOWN);
    EXPECT_EQ(missing.Finish(), "");
}
