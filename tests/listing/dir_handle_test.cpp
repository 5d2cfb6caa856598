// Directory and glob handles against the scripted server: the listing commands, the
// representation switched and put back, the 550 of an empty listing, the kind mask of the
// ioctl, and listings that end early or fail.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "connection/data_connection.h"
#include "tests/listing/listing_session.h"

using namespace tvtest;

namespace {

constexpr uint32_t kTransferFlags = STATE_DATA_TRANSFER | STATE_PASSIVE_CONNECTION_OPEN;

HostEntry Unix(const std::string& name, int kind, const std::string& shown = "") {
    return {shown.empty() ? name : shown, UnixLine(name, kind == ENTRY_DIRECTORY ? 'd' : 'f'),
            kind};
}

}  // namespace

TEST(DirectoryHandle, ListsThePatternInAsciiAndPutsTheTypeBackAtClose) {
    ListingSession session;
    session.server().Expect("TYPE A\r\n").Reply("200 Switching to ASCII mode.\r\n");
    ListingOverPort(session.server(), "LIST *.txt\r\n",
                    "total 12\r\n" + UnixLine("notes.txt") + "\r\n" + UnixLine("docs", 'd') +
                        "\r\n" + UnixLine("sub/old file.txt") + "\r\n");
    session.server().DataClose().Reply("226 Directory send OK.\r\n")
        .Expect("TYPE I\r\n").Reply("200 Switching to Binary mode.\r\n");
    session.Begin(TYPE_IMAGE, STATE_SEND_PORT);

    ASSERT_EQ(session.Open("*.txt"), 0);
    ASSERT_NE(session.handle(), nullptr);
    EXPECT_EQ(session.connection()->currentType, TYPE_ASCII);
    EXPECT_EQ(session.ReadAll(2),
              (HostEntries{Unix("notes.txt", ENTRY_FILE), Unix("docs", ENTRY_DIRECTORY),
                           Unix("sub/old file.txt", ENTRY_FILE, "old file.txt")}));
    EXPECT_EQ(session.handle()->lineCount, 4);
    EXPECT_EQ(session.handle()->readState, READ_STATE_FINISHED);
    EXPECT_EQ(session.connection()->stateFlags & kTransferFlags, 0u);
    EXPECT_EQ(session.ReadAll(), HostEntries{});

    EXPECT_EQ(session.Close(), 0);
    EXPECT_EQ(session.block()->handleSlot, nullptr);
    EXPECT_EQ(session.Close(), FSE_INVALID) << "a second close finds no listing";
    EXPECT_EQ(session.connection()->currentType, TYPE_IMAGE);
    EXPECT_EQ(session.Finish(), "");
}

TEST(DirectoryHandle, PatternGoesByHostTypeAndHandleKindAnd550IsAnEmptyListing) {
    struct Case {
        uint8_t hostType;
        const char* pattern;
        bool glob;
        const char* command;
    };
    const Case cases[] = {
        {HOST_UNIX, "my file", false, "LIST\r\n"},  // a blank keeps the pattern back
        {HOST_UNIX, nullptr, false, "LIST\r\n"},    {HOST_MVS, "*.txt", false, "LIST\r\n"},
        {HOST_MVS, "*.txt", true, "LIST *.txt\r\n"}, {HOST_VM, "PROFILE*", false, "LIST\r\n"},
        {HOST_VM, "PROFILE*", true, "LIST PROFILE*\r\n"}, {HOST_AUTOMATIC, "x", true, "LIST x\r\n"},
    };
    ListingSession session;
    for (const Case& c : cases) {
        session.server().ExpectLineStartingWith("PORT ").Reply("200 PORT ok.\r\n")
            .Expect(c.command).Reply("550 No files found.\r\n");
    }
    ListingOverPort(session.server(), "LIST sub/*.c\r\n", UnixLine("sub/file.c") + "\r\n");
    session.server().DataClose().Reply("226 Done.\r\n")
        .ExpectLineStartingWith("PORT ").Reply("200 PORT ok.\r\n")
        .Expect("LIST secret\r\n").Reply("450 Not now.\r\n");
    session.Begin(TYPE_ASCII, STATE_SEND_PORT);

    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        session.SetHostType(c.hostType);
        ASSERT_EQ(session.Open(c.pattern, c.glob), 0);
        HostEntries none;
        // A host type without a listing parser cannot read LIST output, not even an empty one.
        EXPECT_EQ(session.Read(4, &none), c.hostType == HOST_AUTOMATIC ? FSE_BAD_LISTING : 0);
        EXPECT_EQ(FTP_Glob_Close(session.block()), 0);
    }
    // A glob handle keeps the path the server put in front of the name.
    session.SetHostType(HOST_UNIX);
    ASSERT_EQ(session.Open("sub/*.c", true), 0);
    EXPECT_EQ(session.ReadAll(), (HostEntries{Unix("sub/file.c", ENTRY_FILE)}));
    EXPECT_EQ(FTP_Glob_Close(session.block()), 0);

    // Any other refusal fails the open; no handle is linked. Nor is one for a pattern that
    // would be read as two commands, which is not sent at all.
    session.block()->handleSlot = nullptr;
    EXPECT_EQ(session.Open("x\r\nDELE y", true), FSE_INVALID);
    EXPECT_EQ(session.Open("secret"), FSE_UNEXPECTED_REPLY);
    EXPECT_EQ(session.block()->handleSlot, nullptr);
    EXPECT_EQ(session.Finish(), "");
}

TEST(DirectoryHandle, KindMaskOfTheIoctlAppliesToTheLinesReadAfterIt) {
    ListingSession session;
    std::string data;
    for (const char* name : {"d1", "f1", "d2", "f2", "d3"}) data += UnixLine(name, *name) + "\r\n";
    CompletedListing(session.server(), "LIST\r\n", data);
    session.Begin(TYPE_ASCII, STATE_SEND_PORT);
    ASSERT_EQ(session.Open(nullptr), 0);

    EXPECT_EQ(FTP_Dir_Ioctl(session.block(), 1, KIND_MASK_FILES), 0);
    EXPECT_EQ(FTP_Dir_Ioctl(session.block(), 2, KIND_MASK_DIRECTORIES), FSE_INVALID);
    EXPECT_EQ(FTP_Glob_Ioctl(session.block(), 0x10001, KIND_MASK_DIRECTORIES), 0)
        << "only the low 16 bits are the code";
    EXPECT_EQ(FTP_Glob_Ioctl(session.block(), 1, KIND_MASK_FILES), 0);
    HostEntries taken;
    EXPECT_EQ(session.Read(1, &taken), 1);
    EXPECT_EQ(FTP_Dir_Ioctl(session.block(), 1, KIND_MASK_DIRECTORIES), 0);
    EXPECT_EQ(session.Read(8, &taken), 2);
    EXPECT_EQ(taken, (HostEntries{Unix("f1", ENTRY_FILE), Unix("d2", ENTRY_DIRECTORY),
                                  Unix("d3", ENTRY_DIRECTORY)}));
    EXPECT_EQ(session.Close(), 0);
    EXPECT_EQ(session.Finish(), "");
}

TEST(DirectoryHandle, RefusedPasvTurnsToPortForTheConnectionAndOtherFailuresFailTheOpen) {
    ListingSession session;
    session.Converse({{"PASV", "500 PASV not understood."}});
    CompletedListing(session.server(), "LIST\r\n", UnixLine("a") + "\r\n")
        .ExpectLineStartingWith("PORT ").Reply("200 PORT ok.\r\n");
    session.Converse({{"LIST -la", "425 Can't open data connection."}});
    session.server().ExpectLineStartingWith("PORT ").Reply("200 PORT ok.\r\n");
    session.Converse({{"LIST dir", ""}});
    session.Begin(TYPE_ASCII, STATE_PASSIVE_MODE | STATE_SEND_PORT);
    ASSERT_EQ(session.Open(nullptr), 0);
    EXPECT_EQ(session.ReadAll(), HostEntries{Unix("a", ENTRY_FILE)});
    EXPECT_EQ(session.Close(), 0);
    EXPECT_EQ(session.connection()->stateFlags & STATE_PASSIVE_MODE, 0u);
    EXPECT_EQ(session.Open("-la"), FSE_UNEXPECTED_REPLY);
    // A pattern too long for the command line is refused before anything is sent.
    const std::string pattern(COMMAND_BUFFER_SIZE - 7, 'p');  // "LIST " + it + CR LF + NUL
    EXPECT_TRUE(CommandLineFits("LIST", pattern.substr(1).c_str()));
    EXPECT_EQ(session.Open(pattern.c_str()), FSE_INVALID);
    EXPECT_EQ(session.Open("dir"), FSE_CONNECTION_BROKEN);
    EXPECT_EQ(session.Finish(), "");

    // Nothing to list closes and forgets the passive connection; a 227 without an address
    // is no refusal of PASV: the open fails, and passive mode stays.
    ListingSession passive;
    passive.Converse({{"PASV", ""}}).Passive();
    passive.Converse({{"LIST", "550 No files found."},
                      {"PASV", "227 Entering Passive Mode (127,0,0,1,1)"}});
    passive.Begin(TYPE_ASCII, STATE_PASSIVE_MODE);
    ASSERT_EQ(passive.Open(nullptr), 0);
    EXPECT_EQ(passive.connection()->stateFlags, uint32_t{STATE_PASSIVE_MODE});
    EXPECT_EQ(passive.ReadAll(), HostEntries{});
    EXPECT_EQ(passive.Close(), 0);
    EXPECT_EQ(passive.Open(nullptr), FSE_FAILED);
    EXPECT_EQ(passive.connection()->stateFlags, uint32_t{STATE_PASSIVE_MODE});
    EXPECT_EQ(passive.Finish(), "");
}

TEST(DirectoryHandle, VmsHeadingIsTheFirstLineThatIsNotEmpty) {
    const std::string login = "LOGIN.COM;3  2/3  12-JAN-1996 10:22:33  [ALICE]  (RWED,RWED,RE,)";
    ListingSession vms(HOST_VMS);
    CompletedListing(vms.server(), "LIST\r\n",
                     "\r\nDirectory DISK$USER:[ALICE]\r\n\r\n" + login + "\r\nLONG.TXT;1\r\n");
    vms.Begin(TYPE_ASCII, STATE_SEND_PORT);
    ASSERT_EQ(vms.Open(nullptr), 0);
    EXPECT_EQ(vms.ReadAll(1), (HostEntries{{"LOGIN.COM;3", login, ENTRY_FILE},
                                           {"LONG.TXT;1", "LONG.TXT;1", ENTRY_FILE}}));
    EXPECT_EQ(vms.Close(), 0);
    EXPECT_EQ(vms.Finish(), "");
}

TEST(DirectoryHandle, ListingsEndEarlyOnForeignLinesAndFailOnAResetDataConnection) {
    std::string rest;
    for (int i = 0; i < 120; ++i) rest += UnixLine("after-" + std::to_string(i)) + "\r\n";
    std::string text = "TEXT ttxt      1234      0 01/12/96", folder = "       Folder";
    text.resize(39, ' ');
    folder.resize(39, ' ');
    ListingSession session;
    session.Converse({{"TYPE A", "200 Type A."}});
    CompletedListing(session.server(), "LIST\r\n",
                     UnixLine("a") + "\r\n" + UnixLine("b") + "\r\nno-blank-here\r\n" + rest)
        .Expect("TYPE I\r\n").Reply("200 Type I.\r\n");
    CompletedListing(session.server(), "LIST\r\n",
                     text + "read me\r\n" + std::string(45, 'X') + "\r\n" + folder + "Dir/\r\n");
    ListingOverPort(session.server(), "LIST\r\n", UnixLine("a") + "\r\n" + UnixLine("b") + "\r\n")
        .Pause(300).DataReset().Reply("426 Connection closed; transfer aborted.\r\n");
    session.Converse({{"NOOP", "200 NOOP ok."}});
    session.Begin(TYPE_IMAGE, STATE_SEND_PORT);

    // A line of no known shape ends the listing quietly after a drain; TYPE I goes only
    // once the completion reply has been read.
    ASSERT_EQ(session.Open(nullptr), 0);
    HostEntries taken;
    EXPECT_EQ(session.Read(10, &taken), 2);
    EXPECT_EQ(NamesOf(taken), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(session.handle()->readState, READ_STATE_FINISHED);
    EXPECT_EQ(session.handle()->dataSocket, INVALID_SOCKET);
    EXPECT_EQ(session.Read(10, &taken), 0);
    EXPECT_EQ(session.Close(), 0);

    // A Macintosh line of one word ends the read with its own error, the entry filled
    // before it given back, the rest drained.
    session.SetHostType(HOST_MACINTOSH);
    session.connection()->currentType = TYPE_ASCII;
    ASSERT_EQ(session.Open(nullptr), 0);
    taken.clear();
    EXPECT_EQ(session.Read(8, &taken), -2);
    EXPECT_EQ(session.Read(8, &taken), 0);
    EXPECT_EQ(taken, HostEntries{});
    EXPECT_EQ(session.Close(), 0);

    // A reset takes back what the failed read filled; records it did not reach keep the
    // host's values, and the 426 is read with the listing.
    session.SetHostType(HOST_UNIX);
    ASSERT_EQ(session.Open(nullptr), 0);
    std::vector<DirEntry> array;
    EXPECT_EQ(session.Read(10, &taken, &array), FsErrorFromSocket(WSAECONNRESET));
    for (int i = 0; i < 2; ++i) EXPECT_TRUE(!array[i].name && !array[i].line) << i;
    EXPECT_EQ(array[2].name, kHostValue);
    EXPECT_EQ(session.handle()->dataState, DATA_STATE_FAILED);
    EXPECT_EQ(session.Read(10, &taken), 0);
    EXPECT_TRUE(taken.empty());
    EXPECT_EQ(session.Close(), 0);
    EXPECT_TRUE(SendCommand(session.connection(), "NOOP\r\n").Is(ReplyClass::Complete));
    EXPECT_EQ(session.Finish(), "");
}
