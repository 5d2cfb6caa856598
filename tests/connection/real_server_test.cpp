// The real-server fixture itself: each installed kind starts on loopback, greets, accepts
// the test account, serves the sample tree, and is gone after the fixture.
#include "tests/support/real_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

using tvtest::RawControlConnection;
using tvtest::RealServer;

namespace fs = std::filesystem;

namespace {

std::string FirstLine(const std::string& reply) { return reply.substr(0, reply.find('\n')); }

std::string LastLine(const std::string& reply) {
    size_t end = reply.size() >= 2 ? reply.size() - 2 : 0;
    size_t start = reply.rfind('\n', end == 0 ? 0 : end - 1);
    return reply.substr(start == std::string::npos ? 0 : start + 1);
}

}  // namespace

TEST(RealServer, EachKindGreetsLogsOnServesTheTreeAndStopsCleanly) {
    auto started = std::chrono::steady_clock::now();

    // A kind the launcher does not know is refused with its reason, before and at start.
    EXPECT_NE(RealServer::Unavailable("wu-ftpd").find("unknown server kind"), std::string::npos);
    EXPECT_THROW(RealServer("wu-ftpd"), std::runtime_error);

    std::vector<std::string> skipped;
    for (const std::string& kind : RealServer::Kinds()) {
        SCOPED_TRACE(kind);
        std::string whyNot = RealServer::Unavailable(kind);
        if (!whyNot.empty()) {
            if (RealServer::Required()) ADD_FAILURE() << whyNot;
            skipped.push_back(whyNot);
            continue;
        }
        std::string host, root;
        uint16_t port = 0;
        {
            RealServer server(kind);
            host = server.Host();
            port = server.Port();
            root = server.Root();
            EXPECT_EQ(host, "127.0.0.1");

            // A whole greeting, multi-line ones included, ends with its "220 " line.
            std::string greeting = server.Greeting();
            ASSERT_EQ(greeting.substr(0, 3), "220") << greeting;
            EXPECT_EQ(LastLine(greeting).substr(0, 4), "220 ") << greeting;
            EXPECT_EQ(greeting.substr(greeting.size() - 2), "\r\n");

            {
                // A refused password is not tried here: vsftpd (through PAM) and pure-ftpd
                // hold the 530 back for seconds.
                RawControlConnection control(host, port);
                ASSERT_TRUE(control.Connected());
                EXPECT_EQ(control.ReadReply().substr(0, 3), "220");
                EXPECT_EQ(control.Command("USER " + server.User()).substr(0, 4), "331 ");
                std::string logon = control.Command("PASS " + server.Password());
                EXPECT_EQ(logon.substr(0, 4), "230 ") << FirstLine(logon);
                // The account is chrooted into the sample tree.
                std::string pwd = control.Command("PWD");
                EXPECT_EQ(pwd.substr(0, 8), "257 \"/\" ") << FirstLine(pwd);
                EXPECT_EQ(control.Command("TYPE I").substr(0, 3), "200");
                EXPECT_EQ(control.Command("SIZE large.bin"), "213 1048576\r\n");
            }
            if (server.Anonymous()) {
                RawControlConnection control(host, port);
                control.ReadReply();
                std::string user = control.Command("USER anonymous");
                if (user.substr(0, 3) == "331") user = control.Command("PASS guest@example.org");
                EXPECT_EQ(user.substr(0, 4), "230 ") << FirstLine(user);
                EXPECT_EQ(control.Command("MKD refused").substr(0, 1), "5");
            }

            EXPECT_EQ(fs::file_size(server.LocalPath("/large.bin")), 1u << 20);
            EXPECT_EQ(fs::file_size(server.LocalPath("crlf.txt")), 32u);
            EXPECT_TRUE(fs::is_symlink(server.LocalPath("/link-to-dir")));
            EXPECT_TRUE(fs::is_directory(server.LocalPath("/link-to-dir")));
            EXPECT_TRUE(fs::exists(server.LocalPath("/caf\xe9-latin1.txt")));
            EXPECT_TRUE(fs::is_empty(server.LocalPath("/empty")));
            EXPECT_EQ(
                fs::status(server.LocalPath("/readonly")).permissions() & fs::perms::owner_write,
                fs::perms::none);
        }
        // Stopped: nothing listens any more and the instance's folder is gone.
        EXPECT_FALSE(RawControlConnection(host, port, 500).Connected());
        EXPECT_FALSE(fs::exists(root));
    }

    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    if (skipped.size() == RealServer::Kinds().size()) {
        std::string reasons;
        for (const std::string& reason : skipped) reasons += reason + "; ";
        GTEST_SKIP() << reasons;
    }
    for (const std::string& reason : skipped) std::printf("[  SKIPPED ] %s\n", reason.c_str());
}
