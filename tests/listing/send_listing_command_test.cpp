// The listing command step: exact command lines, passive mode and its fallback to PORT when
// the server refuses PASV, the replies that end a listing before it starts, and LIST over
// both kinds of data connection against real servers.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "connection/data_connection.h"
#include "connection/wait.h"
#include "listing/send_listing_command.h"
#include "tests/support/real_server.h"
#include "tests/support/scripted_server.h"
#include "tests/support/test_connection.h"

using tvtest::ScriptedServer;
using tvtest::TestConnection;

namespace {

constexpr uint32_t kPassive = STATE_PASSIVE_MODE;

// One listing: the step's result; when it opened, the data and the completion reply class.
struct Listing {
    int32_t result = 0;
    std::string data;
    int32_t completion = 0;
};

Listing List(TestConnection& client, const char* word, const char* argument) {
    SOCKET listener = INVALID_SOCKET;
    SOCKET data = INVALID_SOCKET;
    Listing listing;
    listing.result = SendListingCommand(client.get(), &listener, word, argument, &data);
    if (listing.result < 0) {
        EXPECT_EQ(listener, INVALID_SOCKET);
        return listing;
    }
    // In passive mode the slot holds the data socket itself.
    EXPECT_EQ(data == listener, (client->stateFlags & kPassive) != 0);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (char buffer[4096]; std::chrono::steady_clock::now() < deadline;) {
        int received = recv(data, buffer, sizeof buffer, 0);
        if (received == 0 || (received < 0 && WSAGetLastError() != WSAEWOULDBLOCK)) break;
        if (received > 0) listing.data.append(buffer, static_cast<size_t>(received));
        if (received < 0) WaitReadable(data);
    }
    closesocket(data);
    if (listener != data) closesocket(listener);
    listing.completion = ReadReply(client.get());
    return listing;
}

}  // namespace

TEST(SendListingCommand, PassiveModeConnectsFirstAndKeepsPassiveOnRefusedCommands) {
    ScriptedServer server;
    server.Expect("PASV\r\n").Passive().Expect("LIST *.txt\r\n").Reply("150 Here it is.\r\n")
        .DataSend("a.txt\r\nb.txt\r\n").DataClose().Reply("226 Directory send OK.\r\n")
        .Expect("PASV\r\n").Passive().Expect("NLST\r\n").Reply("550 No files found.\r\n")
        .Expect("PASV\r\n").Reply("227 Entering Passive Mode (127,0,0,1,1)\r\n");
    server.Start();
    TestConnection client(server.Port());
    client->stateFlags = kPassive;

    Listing listing = List(client, "LIST", "*.txt");
    ASSERT_EQ(listing.result, 0);
    EXPECT_EQ(listing.data, "a.txt\r\nb.txt\r\n");
    EXPECT_EQ(listing.completion, REPLY_COMPLETE);
    EXPECT_EQ(client->stateFlags, kPassive | STATE_PASSIVE_CONNECTION_OPEN);

    // Nothing to list: the passive connection is closed and forgotten.
    EXPECT_EQ(List(client, "NLST", "").result, FSE_NOT_FOUND);
    EXPECT_EQ(client->stateFlags, kPassive);
    // A 227 without an address is no refusal of PASV: no fallback to PORT.
    EXPECT_EQ(List(client, "LIST", nullptr).result, FSE_FAILED);
    EXPECT_EQ(client->stateFlags, kPassive);
    EXPECT_EQ(server.Finish(), "");
}

TEST(SendListingCommand, RefusedPasvFallsBackToPortForTheRestOfTheConnection) {
    ScriptedServer server;
    server.Expect("PASV\r\n").Reply("500 PASV not understood.\r\n")
        .ExpectLineStartingWith("PORT 127,0,0,1,").Reply("200 PORT ok.\r\n")
        .Expect("NLST\r\n")  // the argument held a blank
        .Reply("150 Opening data connection.\r\n").ConnectToPort().DataSend("my file\r\n")
        .DataClose().Reply("226 Transfer complete.\r\n")
        .ExpectLineStartingWith("PORT ").Reply("200 PORT ok.\r\n")
        .Expect("LIST -la\r\n").Reply("425 Can't open data connection.\r\n")
        .ExpectLineStartingWith("PORT ").Reply("200 PORT ok.\r\n")
        .Expect("LIST dir\r\n").Close();
    server.Start();
    TestConnection client(server.Port());
    client->stateFlags = kPassive | STATE_SEND_PORT;

    Listing listing = List(client, "NLST", "my file");
    ASSERT_EQ(listing.result, 0);
    EXPECT_EQ(listing.data, "my file\r\n");
    EXPECT_EQ(listing.completion, REPLY_COMPLETE);
    EXPECT_EQ(client->stateFlags, STATE_SEND_PORT | STATE_DATA_TRANSFER);

    EXPECT_EQ(List(client, "LIST", "-la").result, FSE_UNEXPECTED_REPLY);
    EXPECT_EQ(List(client, "LIST", "dir").result, FSE_CONNECTION_BROKEN);
    // A line that would not fit the command buffer is refused before anything is sent.
    const std::string pattern(COMMAND_BUFFER_SIZE - 7, 'p');  // "LIST " + it + CR LF + NUL
    EXPECT_TRUE(CommandLineFits("LIST", pattern.substr(1).c_str()));
    EXPECT_EQ(List(client, "LIST", pattern.c_str()).result, FSE_INVALID);

    EXPECT_EQ(server.Finish(), "");
    EXPECT_EQ(server.ControlReceived().find("PASV", 4), std::string::npos);
}

namespace {

void ListBothWays(const char* kind) {
    tvtest::RealServer server(kind);
    TestConnection client(server.Port());
    ASSERT_EQ(ReadReply(client.get()), REPLY_COMPLETE);
    ASSERT_EQ(SendCommand(client.get(), ("USER " + server.User() + "\r\n").c_str()), 3);
    ASSERT_EQ(SendCommand(client.get(), ("PASS " + server.Password() + "\r\n").c_str()), 2);

    for (uint32_t flags : {kPassive, static_cast<uint32_t>(STATE_SEND_PORT)}) {
        SCOPED_TRACE(flags == kPassive ? "PASV" : "PORT");
        client->stateFlags = flags;
        Listing listing = List(client, "LIST", nullptr);
        ASSERT_EQ(listing.result, 0);
        EXPECT_EQ(listing.completion, REPLY_COMPLETE);
        EXPECT_EQ(client->lastReplyCode, 226);
        // Every entry of the tree ends a line of its own (a link's line goes on with its
        // target), and there are no more entry lines than entries.
        size_t entries = 0;
        for (const auto& entry : std::filesystem::directory_iterator(server.Root())) {
            ++entries;
            const std::string name = " " + entry.path().filename().string();
            EXPECT_TRUE(listing.data.find(name + "\r\n") != std::string::npos ||
                        listing.data.find(name + " -> ") != std::string::npos)
                << name << " in\n" << listing.data;
        }
        size_t lines = 0;
        for (size_t at = 0; (at = listing.data.find("\r\n", at)) != std::string::npos; at += 2) {
            ++lines;
        }
        EXPECT_GE(lines, entries);
        EXPECT_LE(lines, entries + 3) << "at most a total line and the two dot entries more";
    }
}

}  // namespace

TEST(SendListingCommandOnRealServers, VsftpdListsOverPasvAndPort) {
    TVTEST_REQUIRE_SERVER("vsftpd");
    ListBothWays("vsftpd");
}

TEST(SendListingCommandOnRealServers, PyftpdlibListsOverPasvAndPort) {
    TVTEST_REQUIRE_SERVER("pyftpdlib");
    ListBothWays("pyftpdlib");
}

TEST(SendListingCommandOnRealServers, ProftpdListsOverPasvAndPort) {
    TVTEST_REQUIRE_SERVER("proftpd");
    ListBothWays("proftpd");
}

TEST(SendListingCommandOnRealServers, PureFtpdListsOverPasvAndPort) {
    TVTEST_REQUIRE_SERVER("pure-ftpd");
    ListBothWays("pure-ftpd");
}
