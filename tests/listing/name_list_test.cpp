// Name-list listings: NLST read whole at open, names that are all files where the host
// cannot tell, names probed with CWD under the kind mask, and the VMS rules.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "listing/name_list.h"
#include "tests/listing/listing_session.h"
#include "util/orr.h"

using namespace tvtest;

TEST(NameList, HostsThatCannotTellKindsGetEveryNameAsAFile) {
    // Image type: ASCII for the listing, and image again before the open returns. "." and
    // ".." (alone or behind a path) are never entries.
    std::string many;
    for (int i = 0; i < 300; ++i) many += "\r\nDATASET" + std::to_string(i);
    ListingSession mvs(HOST_MVS);
    mvs.server().Expect("TYPE A\r\n").Reply("200 Type A.\r\n");
    ListingOverPort(mvs.server(), "NLST\r\n", "a\r\n\r\n.\r\nx/..\r\nb").Pause(30).DataSend(many)
        .DataClose().Reply("226 Done.\r\n").Expect("TYPE I\r\n").Reply("200 Type I.\r\n");
    mvs.Begin(TYPE_IMAGE, STATE_SEND_PORT, 0);
    ASSERT_EQ(mvs.Open("*"), 0);
    EXPECT_EQ(mvs.handle()->representationSaved, 0);
    EXPECT_EQ(mvs.handle()->dataSocket, INVALID_SOCKET);
    EXPECT_EQ(mvs.connection()->stateFlags & STATE_DATA_TRANSFER, 0u);
    EXPECT_EQ(mvs.Finish(), "") << "the name list is read before the open returns";

    EXPECT_EQ(FTP_Dir_Ioctl(mvs.block(), 1, KIND_MASK_DIRECTORIES), 0);
    const HostEntries entries = mvs.ReadAll(7);
    ASSERT_EQ(entries.size(), 302u);
    EXPECT_EQ(entries[0], (HostEntry{"a", "a", ENTRY_FILE}));
    EXPECT_EQ(entries[1], (HostEntry{"b", "b", ENTRY_FILE}));
    EXPECT_EQ(entries[301], (HostEntry{"DATASET299", "DATASET299", ENTRY_FILE}));
    EXPECT_EQ(mvs.handle()->dataState, DATA_STATE_ENDED);
    EXPECT_EQ(mvs.Close(), 0);

    // Already ASCII: no TYPE, and the open answers the listing's length.
    ListingSession vm(HOST_VM);
    vm.server().Expect("PASV\r\n").Passive().Expect("NLST PROFILE*\r\n").Reply("150 Here.\r\n")
        .DataSend("PROFILE EXEC\r\nPROFILE XEDIT\r\n").DataClose().Reply("226 Done.\r\n");
    vm.Begin(TYPE_ASCII, STATE_PASSIVE_MODE, 0);
    ASSERT_EQ(vm.Open("PROFILE*", true), 29);
    EXPECT_EQ(vm.connection()->stateFlags & STATE_PASSIVE_CONNECTION_OPEN, 0u);
    EXPECT_EQ(vm.ReadAll(), (HostEntries{{"PROFILE EXEC", "PROFILE EXEC", ENTRY_FILE},
                                         {"PROFILE XEDIT", "PROFILE XEDIT", ENTRY_FILE}}));
    EXPECT_EQ(vm.Close(), 0);
    EXPECT_EQ(vm.Finish(), "");
}

TEST(NameList, NamesAreProbedWithCwdUnderTheKindMaskAndAFailedProbeFailsTheRead) {
    ListingSession session;
    CompletedListing(session.server(), "NLST\r\n", "docs\r\nnotes.txt\r\n");
    session.Converse({{"PWD", "257 \"/home/u\" is current."}, {"CWD docs", "250 Changed."},
                      {"CWD /home/u", "250 Changed."}, {"PWD", "257 \"/home/u\" is current."},
                      {"CWD notes.txt", "550 Not a directory."}});
    // DOS: the name only, no line; the working directory is still known.
    CompletedListing(session.server(), "NLST\r\n", "README.TXT\r\n")
        .Expect("CWD README.TXT\r\n").Reply("550 Not a directory.\r\n");
    // UNIX again: the second probe finds the connection gone.
    CompletedListing(session.server(), "NLST\r\n", "a\r\nb\r\n");
    session.Converse({{"CWD a", "250 Changed."}, {"CWD /home/u", "250 Changed."}, {"PWD", ""}});
    session.Begin(TYPE_ASCII, STATE_SEND_PORT, 0);

    ASSERT_EQ(session.Open(nullptr), 17);
    EXPECT_EQ(FTP_Dir_Ioctl(session.block(), 1, KIND_MASK_DIRECTORIES), 0);
    EXPECT_EQ(session.ReadAll(), (HostEntries{{"docs", "docs", ENTRY_DIRECTORY}}));
    EXPECT_EQ(session.Close(), 0);

    session.SetHostType(HOST_DOS);
    ASSERT_GT(session.Open(nullptr), 0);
    EXPECT_EQ(session.ReadAll(), (HostEntries{{"README.TXT", "-", ENTRY_FILE}}));
    EXPECT_EQ(session.Close(), 0);

    session.SetHostType(HOST_UNIX);
    ASSERT_GT(session.Open(nullptr), 0);
    HostEntries taken;
    std::vector<DirEntry> array;
    EXPECT_EQ(session.Read(8, &taken, &array), FSE_CONNECTION_BROKEN);
    EXPECT_TRUE(array[0].name == nullptr && array[0].line == nullptr);
    EXPECT_EQ(array[1].name, kHostValue);
    EXPECT_EQ(session.Close(), 0);
    EXPECT_EQ(session.Finish(), "");
}

TEST(NameList, VmsNamesAreToldByTheirDirExtensionAndProbedInBracketedForm) {
    ListingSession probing(HOST_VMS);
    CompletedListing(probing.server(), "NLST\r\n",
                     "SUB.DIR;1\r\nREADME.TXT;3\r\nMY FILE.TXT;1\r\nDKA0:[USER]LOGS.DIR;2\r\n");
    probing.Converse({{"PWD", "257 \"DKA0:[USER]\" is current directory."},
                      {"CWD [.SUB]", "250 Changed."}, {"CWD DKA0:[USER]", "250 Changed."},
                      {"PWD", "257 \"DKA0:[USER]\" is current directory."},
                      {"CWD DKA0:[USER.LOGS]", "550 No such directory."}});
    probing.Begin(TYPE_ASCII, STATE_SEND_PORT, 0);
    ASSERT_GT(probing.Open(nullptr), 0);
    EXPECT_EQ(probing.ReadAll(), (HostEntries{{"SUB.DIR;1", "SUB.DIR;1", ENTRY_DIRECTORY},
                                              {"README.TXT;3", "README.TXT;3", ENTRY_FILE},
                                              {"LOGS.DIR;2", "DKA0:[USER]LOGS.DIR;2", 2}}));
    EXPECT_EQ(probing.Close(), 0);
    EXPECT_EQ(probing.Finish(), "");

    // A server that wants a listing before each CWD: name-list mode even when the
    // connection parses directories, whose DIR files then are directories unasked; the
    // wildcard line it answers with names no entry.
    ListingSession listing(HOST_VMS);
    CompletedListing(listing.server(), "NLST [.SUB]\r\n",
                     "SUB.DIR;1\r\nDKA0:[USER]*.*;\r\nA.TXT;1\r\n");
    listing.Begin(TYPE_ASCII, STATE_SEND_PORT, OPTION_PARSE_DIRECTORIES, QUIRK_LIST_BEFORE_CWD);
    ASSERT_GT(listing.Open("[.SUB]", true), 0);
    EXPECT_EQ(listing.ReadAll(), (HostEntries{{"SUB.DIR;1", "SUB.DIR;1", ENTRY_DIRECTORY},
                                              {"A.TXT;1", "A.TXT;1", ENTRY_FILE}}));
    EXPECT_EQ(listing.Close(), 0);
    EXPECT_EQ(listing.Finish(), "");

    for (auto [name, directory] : std::vector<std::pair<const char*, const char*>>{
             {"SUB.DIR;1", "[.SUB]"}, {"sub.dir;1", "[.sub]"}, {"SUB.DIR", "[.SUB]"},
             {"A.TXT;1", "[.A.TXT]"}, {"DKA0:[USER]SUB.DIR;1", "DKA0:[USER.SUB]"},
             {"DKA0:[USER]SUB;2", "DKA0:[USER.SUB]"}, {"DKA0:[USER]", "DKA0:[USER]"},
             {"", "[.]"}}) {
        char* built = BuildVmsBracketedDirectory(name);
        ASSERT_NE(built, nullptr);
        EXPECT_STREQ(built, directory) << name;
        OrrFree(built);
    }
}

TEST(NameList, TheWholeListingIsConvertedAndAFailedConversionFailsTheOpen) {
    UpperCaseConversion conversion;
    ListingSession session(HOST_MVS);
    ListingOverPort(session.server(), "NLST\r\n", "abc\r\ndef\r\n").DataClose().Reply("226 .\r\n");
    CompletedListing(session.server(), "NLST\r\n", "a#c\r\n")
        .Expect("NOOP\r\n").Reply("200 NOOP ok.\r\n");
    session.Begin(TYPE_ASCII, STATE_SEND_PORT, 0);

    ASSERT_EQ(session.Open(nullptr), 10);
    EXPECT_EQ(GlobalSize(session.handle()->listingBuffer), SIZE_T{11}) << "shrunk to its text";
    EXPECT_EQ(NamesOf(session.ReadAll()), (std::vector<std::string>{"ABC", "DEF"}));
    EXPECT_EQ(session.Close(), 0);

    session.block()->handleSlot = nullptr;
    EXPECT_EQ(session.Open(nullptr), FSE_NO_MEMORY);
    EXPECT_EQ(session.block()->handleSlot, nullptr);
    EXPECT_TRUE(SendCommand(session.connection(), "NOOP\r\n").Is(ReplyClass::Complete));
    EXPECT_EQ(session.Finish(), "");
}
