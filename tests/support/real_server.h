// A real FTP server for interoperability tests: vsftpd, proftpd, pure-ftpd or pyftpdlib,
// started on 127.0.0.1 by servers/ftpserver.py with a private sample tree:
//
//   TVTEST_REQUIRE_SERVER("vsftpd");        // skips when the server is not installed
//   tvtest::RealServer server("vsftpd");    // throws std::runtime_error if it cannot start
//   ... the client talks to server.Host():server.Port() as server.User()/server.Password();
//   ... "/" of that account is server.Root() on disk ...
//
// The server stops, and its folder is removed, when the object goes; if the test process
// dies instead, the launcher sees its standard input close and stops the server itself.
//
// The sample tree (modification time 2021-06-15 12:34:56 UTC throughout): crlf.txt and
// lf.txt (three text lines), binary.bin (bytes 0..255 four times), large.bin (1 MiB of
// seeded random bytes), "file with blanks.txt", "colon:name.txt", "-dash-leading.txt", a
// UTF-8 name "grüße-€.txt", a Latin-1 name "caf\xe9-latin1.txt", link-to-dir -> dir,
// link-to-file -> lf.txt, empty/, upload/, readonly/ (refuses changes; holds locked.txt),
// dir/ with alpha.txt, beta.txt and sub/deep.txt.
//
// This header exposes no system socket header, so files that include the platform's
// Winsock declarations may include it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tvtest {

class RealServer {
public:
    // Starts a server of this kind; bounded by the launcher's start time (15 s).
    explicit RealServer(std::string_view kind);
    // With launcher options of its own, such as "--foreign-data" or "--pasv MIN-MAX".
    RealServer(std::string_view kind, const std::vector<std::string>& options);
    ~RealServer();
    RealServer(const RealServer&) = delete;
    RealServer& operator=(const RealServer&) = delete;

    const std::string& Host() const { return host_; }
    uint16_t Port() const { return port_; }
    const std::string& User() const { return user_; }
    const std::string& Password() const { return password_; }
    // The sample tree on disk: what the account sees as "/".
    const std::string& Root() const { return root_; }
    // Where a remote absolute path such as "/dir/alpha.txt" lies on disk.
    std::string LocalPath(std::string_view remotePath) const;
    // Whether "anonymous" may log on (read only); pure-ftpd instances do not offer it.
    bool Anonymous() const { return anonymous_; }

    // The kinds the launcher knows, in a fixed order.
    static const std::vector<std::string>& Kinds();
    // "" when this kind can run here, else why not (not installed, needs root...).
    static std::string Unavailable(std::string_view kind);
    // Set TVFTP_REQUIRE_SERVERS=1 (CI) to turn a missing server into a failure.
    static bool Required();

private:
    void Stop();

    std::string kind_;
    std::string host_;
    uint16_t port_ = 0;
    std::string user_;
    std::string password_;
    std::string root_;
    std::string folder_;
    bool anonymous_ = false;
    int pid_ = -1;
    int stdinFd_ = -1;
    int stdoutFd_ = -1;
};

}  // namespace tvtest

// Skips the test when the server kind cannot run here (fails instead under
// TVFTP_REQUIRE_SERVERS=1). Use inside a GoogleTest test body.
#define TVTEST_REQUIRE_SERVER(kind)                                               \
    do {                                                                          \
        const std::string tvtestWhyNot = ::tvtest::RealServer::Unavailable(kind); \
        if (!tvtestWhyNot.empty()) {                                              \
            if (::tvtest::RealServer::Required()) FAIL() << tvtestWhyNot;         \
            GTEST_SKIP() << tvtestWhyNot;                                         \
        }                                                                         \
    } while (0)
