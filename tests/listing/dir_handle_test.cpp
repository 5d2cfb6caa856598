// Directory and glob handles against the scripted server: the exact listing commands by host
// type and handle kind, the representation switched for the listing and put back at close,
// PASV with its fallback to PORT, the 550 that opens an empty listing, the kind mask of the
// ioctl, links resolved after the data, and listings that end early: a line of no known
// shape (drained quietly) and a data connection reset by the server.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/listing/listing_session.h"

using namespace tvtest;

namespace {

constexpr uint32_t kTransferFlags = STATE_DATA_TRANSFER | STATE_PASSIVE_CONNECTION_OPEN;

HostEntry Unix(const std::string& name, int kind, const std::string& shown = "") {
    return {shown.empty() ? name : shown, UnixLine(name, kind == ENTRY_DIRECTORY ? 'd' : '-'),
            kind};
}

}  // namespace

TEST(DirectoryHandle, ListsThePatternInAsciiAndPutsTheTypeBackAtClose) {
    ListingSession session;
    session.server()
        .Expect("TYPE A\r\n").Reply("200 Switching to ASCII mode.\r\n")
        .ExpectLineStartingWith("PORT 127,0,0,1,").Reply("200 PORT command successful.\r\n")
        .Expect("LIST *.txt\r\n").Reply("150 Here comes the directory listing.\r\n")
        .ConnectToPort()
        .DataSend("total 12\r\n" + UnixLine("notes.txt") + "\r\n" + UnixLine("docs", 'd') +
                  "\r\n" + UnixLine("sub/old file.txt") + "\r\n")
        .DataClose().Reply("226 Directory send OK.\r\n")
        .Expect("TYPE I\r\n").Reply("200 Switching to Binary mode.\r\n");
    session.Begin(TYPE_IMAGE, STATE_SEND_PORT);

    ASSERT_EQ(session.Open("*.txt"), 0);
    const ListingHandle* handle = session.handle();
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(session.connection()->currentType, TYPE_ASCII);

    // A directory handle hands back bare names: the path in front of "old file.txt" goes.
    EXPECT_EQ(session.ReadAll(2),
              (std::vector<HostEntry>{Unix("notes.txt", ENTRY_FILE), Unix("docs", ENTRY_DIRECTORY),
                                      Unix("sub/old file.txt", ENTRY_FILE, "old file.txt")}));
    EXPECT_EQ(handle->lineCount, 4);
    EXPECT_EQ(handle->readState, READ_STATE_FINISHED);
    EXPECT_EQ(session.connection()->stateFlags & kTransferFlags, 0u);
    EXPECT_EQ(session.ReadAll(), std::vector<HostEntry>{});

    EXPECT_EQ(session.Close(), 0);
    EXPECT_EQ(session.block()->handleSlot, nullptr);
    EXPECT_EQ(session.Close(), FSE_INVALID) << "a second close finds no listing";
    EXPECT_EQ(session.connection()->currentType, TYPE_IMAGE);
    EXPECT_EQ(session.Finish(), "");
}

TEST(DirectoryHandle, PatternGoesByHostTypeAndHandleKindAnd550IsAnEmptyListing) {
    ListingSession session;
    const char* kNoFiles = "550 No files found.\r\n";
    session.server()
        .ExpectLineStartingWith("PORT ").Reply("200 PORT ok.\r\n")
        .Expect("LIST\r\n").Reply(kNoFiles)  // UNIX, "my file": a blank keeps it back
        .ExpectLineStartingWith("PORT ").Reply("200 PORT ok.\r\n")
        .Expect("LIST\r\n").Reply(kNoFiles)  // UNIX, no pattern block
        .ExpectLineStartingWith("PORT ").Reply("200 PORT ok.\r\n")
        .Expect("LIST\r\n").Reply(kNoFiles)  // MVS directory
        .ExpectLineStartingWith("PORT ").Reply("200 PORT ok.\r\n")
        .Expect("LIST *.txt\r\n").Reply(kNoFiles)  // MVS glob
        .ExpectLineStartingWith("PORT ").Reply("200 PORT ok.\r\n")
        .Expect("LIST\r\n").Reply(kNoFiles)  // VM directory
        .ExpectLineStartingWith("PORT ").Reply("200 PORT ok.\r\n")
        .Expect("LIST PROFILE*\r\n").Reply(kNoFiles)  // VM glob
        .ExpectLineStartingWith("PORT ").Reply("200 PORT ok.\r\n")
        .Expect("LIST x\r\n").Reply(kNoFiles)  // nothing detected
        .ExpectLineStartingWith("PORT ").Reply("200 PORT ok.\r\n")
        .Expect("LIST sub/*.c\r\n").Reply("150 Opening.\r\n").ConnectToPort()
        .DataSend(UnixLine("sub/file.c") + "\r\n").DataClose().Reply("226 Done.\r\n")
        .ExpectLineStartingWith("PORT ").Reply("200 PORT ok.\r\n")
        .Expect("LIST secret\r\n").Reply("450 Not now.\r\n");
    session.Begin(TYPE_ASCII, STATE_SEND_PORT);

    struct Case {
        uint8_t hostType;
        const char* pattern;
        bool glob;
    };
    for (const Case& c : {Case{HOST_UNIX, "my file", false}, Case{HOST_UNIX, nullptr, false},
                          Case{HOST_MVS, "*.txt", false}, Case{HOST_MVS, "*.txt", true},
                          Case{HOST_VM, "PROFILE*", false}, Case{HOST_VM, "PROFILE*", true}}) {
        SCOPED_TRACE(std::to_string(c.hostType) + (c.glob ? " glob " : " dir ") +
                     (c.pattern ? c.pattern : "-"));
        session.SetHostType(c.hostType);
        ASSERT_EQ(session.Open(c.pattern, c.glob), 0);
        EXPECT_EQ(session.ReadAll(), std::vector<HostEntry>{});
        EXPECT_EQ(FTP_Glob_Close(session.block()), 0);
    }
    // A host type without a listing parser cannot read LIST output, not even an empty one.
    session.SetHostType(HOST_AUTOMATIC);
    ASSERT_EQ(session.Open("x", true), 0);
    std::vector<HostEntry> none;
    EXPECT_EQ(session.Read(4, &none), FSE_BAD_LISTING);
    EXPECT_EQ(session.Close(), 0);

    // A glob handle keeps the path the server put in front of the name.
    session.SetHostType(HOST_UNIX);
    ASSERT_EQ(session.Open("sub/*.c", true), 0);
    EXPECT_EQ(session.ReadAll(), (std::vector<HostEntry>{Unix("sub/file.c", ENTRY_FILE)}));
    EXPECT_EQ(FTP_Glob_Close(session.block()), 0);

    // Any other refusal fails the open; no handle is linked. Nor is one for a pattern that
    // would be read as two commands, which is not sent at all.
    session.block()->handleSlot = nullptr;
    EXPECT_EQ(session.Open("x\r\nDELE y", true), FSE_INVALID);
    EXPECT_EQ(session.Open("secret"), FSE_UNEXPECTED_REPLY);
    EXPECT_EQ(session.block()->handleSlot, nullptr);
    EXPECT_EQ(session.Finish(), "");
    EXPECT_EQ(FTP_Glob_Write(1, 2, 3), 0);
}

TEST(DirectoryHandle, RefusedPasvTurnsToPortForTheRestOfTheConnection) {
    ListingSession session;
    session.server()
        .Expect("PASV\r\n").Passive()
        .Expect("LIST\r\n").Reply("150 Here it comes.\r\n")
        .DataSend(UnixLine("a") + "\r\n").DataClose().Reply("226 Done.\r\n")
        .Expect("PASV\r\n").Reply("502 Command not implemented.\r\n")
        .ExpectLineStartingWith("PORT 127,0,0,1,").Reply("200 PORT ok.\r\n")
        .Expect("LIST\r\n").Reply("150 Here it comes.\r\n").ConnectToPort()
        .DataSend(UnixLine("b") + "\r\n").DataClose().Reply("226 Done.\r\n")
        .ExpectLineStartingWith("PORT 127,0,0,1,").Reply("200 PORT ok.\r\n")
        .Expect("LIST\r\n").Reply("150 Here it comes.\r\n").ConnectToPort()
        .DataSend(UnixLine("c") + "\r\n").DataClose().Reply("226 Done.\r\n");
    session.Begin(TYPE_ASCII, STATE_PASSIVE_MODE | STATE_SEND_PORT);

    for (const char* name : {"a", "b", "c"}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(session.Open(""), 0);
        EXPECT_EQ(session.ReadAll(), (std::vector<HostEntry>{Unix(name, ENTRY_FILE)}));
        EXPECT_EQ(session.Close(), 0);
        // The completion reply has been read: no transfer is left for a later close.
        EXPECT_EQ(session.connection()->stateFlags & kTransferFlags, 0u);
    }
    EXPECT_EQ(session.connection()->stateFlags & STATE_PASSIVE_MODE, 0u);
    EXPECT_EQ(session.Finish(), "");
}

TEST(DirectoryHandle, KindMaskOfTheIoctlAppliesToTheLinesReadAfterIt) {
    ListingSession session;
    std::string data;
    for (const char* name : {"d1", "f1", "d2", "f2", "d3"}) {
        data += UnixLine(name, name[0] == 'd' ? 'd' : '-') + "\r\n";
    }
    session.server()
        .ExpectLineStartingWith("PORT ").Reply("200 PORT ok.\r\n")
        .Expect("LIST\r\n").Reply("150 Here it comes.\r\n").ConnectToPort()
        .DataSend(data).DataClose().Reply("226 Done.\r\n");
    session.Begin(TYPE_ASCII, STATE_SEND_PORT);
    ASSERT_EQ(session.Open(nullptr), 0);

    EXPECT_EQ(FTP_Dir_Ioctl(session.block(), 1, KIND_MASK_FILES), 0);
    EXPECT_EQ(FTP_Dir_Ioctl(session.block(), 2, KIND_MASK_DIRECTORIES), FSE_INVALID);
    EXPECT_EQ(FTP_Glob_Ioctl(session.block(), 0x10001, KIND_MASK_DIRECTORIES + 0), 0)
        << "only the low 16 bits are the code";
    EXPECT_EQ(FTP_Glob_Ioctl(session.block(), 1, KIND_MASK_FILES), 0);
    EXPECT_EQ(session.handle()->kindMask, uint32_t{KIND_MASK_FILES});

    std::vector<HostEntry> taken;
    EXPECT_EQ(session.Read(1, &taken), 1);
    EXPECT_EQ(FTP_Dir_Ioctl(session.block(), 1, KIND_MASK_DIRECTORIES), 0);
    EXPECT_EQ(session.Read(8, &taken), 2);
    EXPECT_EQ(taken, (std::vector<HostEntry>{Unix("f1", ENTRY_FILE), Unix("d2", ENTRY_DIRECTORY),
                                             Unix("d3", ENTRY_DIRECTORY)}));
    EXPECT_EQ(session.Close(), 0);
    EXPECT_EQ(session.Finish(), "");
}

TEST(DirectoryHandle, LinksAreResolvedOnceTheDataHasEnded) {
    ListingSession session;
    const std::string link = "lrwxrwxrwx   1 root  root  8 Jan 12 12:34 lib -> /usr/lib";
    session.server()
        .ExpectLineStartingWith("PORT ").Reply("200 PORT ok.\r\n")
        .Expect("LIST\r\n").Reply("150 Here it comes.\r\n").ConnectToPort()
        .DataSend(link + "\r\n" + UnixLine("x") + "\r\n").DataClose().Reply("226 Done.\r\n")
        .Expect("PWD\r\n").Reply("257 \"/home/u\" is the current directory.\r\n")
        .Expect("CWD /home/u/lib\r\n").Reply("250 Directory changed.\r\n")
        .Expect("CWD /home/u\r\n").Reply("250 Directory changed.\r\n");
    session.Begin(TYPE_ASCII, STATE_SEND_PORT);
    ASSERT_EQ(session.Open(nullptr), 0);

    // One entry per read: the file comes with the data, the link only after its end.
    std::vector<HostEntry> taken;
    EXPECT_EQ(session.Read(1, &taken), 1);
    EXPECT_EQ(session.Read(1, &taken), 1);
    EXPECT_EQ(session.Read(1, &taken), 0);
    EXPECT_EQ(taken, (std::vector<HostEntry>{Unix("x", ENTRY_FILE), {"lib", link, ENTRY_DIRECTORY}}));
    EXPECT_EQ(session.Close(), 0);
    EXPECT_EQ(session.Finish(), "");
}

TEST(DirectoryHandle, ALineOfNoKnownShapeEndsTheListingQuietlyAfterADrain) {
    ListingSession session;
    std::string rest;
    for (int i = 0; i < 120; ++i) rest += UnixLine("after-" + std::to_string(i)) + "\r\n";
    session.server()
        .Expect("TYPE A\r\n").Reply("200 Type A.\r\n")
        .ExpectLineStartingWith("PORT ").Reply("200 PORT ok.\r\n")
        .Expect("LIST\r\n").Reply("150 Here it comes.\r\n").ConnectToPort()
        .DataSend(UnixLine("a") + "\r\n" + UnixLine("b") + "\r\nno-blank-in-this-line\r\n" + rest)
        .DataClose().Reply("226 Done.\r\n")
        // Sent only once the completion reply has been read.
        .Expect("TYPE I\r\n").Reply("200 Type I.\r\n");
    session.Begin(TYPE_IMAGE, STATE_SEND_PORT);
    ASSERT_EQ(session.Open(nullptr), 0);

    std::vector<HostEntry> taken;
    EXPECT_EQ(session.Read(10, &taken), 2);
    EXPECT_EQ(NamesOf(taken), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(session.handle()->readState, READ_STATE_FINISHED);
    EXPECT_EQ(session.handle()->dataSocket, INVALID_SOCKET);
    EXPECT_EQ(session.Read(10, &taken), 0);
    EXPECT_EQ(session.Close(), 0);
    EXPECT_EQ(session.Finish(), "");
}

TEST(DirectoryHandle, AResetDataConnectionFailsTheReadAndTakesBackItsEntries) {
    ListingSession session;
    session.server()
        .ExpectLineStartingWith("PORT ").Reply("200 PORT ok.\r\n")
        .Expect("LIST\r\n").Reply("150 Here it comes.\r\n").ConnectToPort()
        .DataSend(UnixLine("a") + "\r\n" + UnixLine("b") + "\r\n" + UnixLine("c") + "\r\n")
        .Pause(300).DataReset()
        .Reply("426 Connection closed; transfer aborted.\r\n")
        .Expect("NOOP\r\n").Reply("200 NOOP ok.\r\n");
    session.Begin(TYPE_ASCII, STATE_SEND_PORT);
    ASSERT_EQ(session.Open(nullptr), 0);

    std::vector<HostEntry> taken;
    std::vector<DirEntry> array;
    EXPECT_EQ(session.Read(10, &taken, &array), FsErrorFromSocket(WSAECONNRESET));
    // The host owns nothing from the failed read; records it did not reach keep its values.
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(array[i].name, nullptr) << i;
        EXPECT_EQ(array[i].line, nullptr) << i;
    }
    EXPECT_EQ(array[3].name, kHostValue);
    EXPECT_EQ(session.handle()->dataState, DATA_STATE_FAILED);
    EXPECT_EQ(session.Read(10, &taken), 0);
    EXPECT_TRUE(taken.empty());
    EXPECT_EQ(session.Close(), 0);
    // The 426 was read with the listing: the connection goes on in step.
    EXPECT_EQ(SendCommand(session.connection(), "NOOP\r\n"), REPLY_COMPLETE);
    EXPECT_EQ(session.connection()->lastReplyCode, 200);
    EXPECT_EQ(session.Finish(), "");
}
