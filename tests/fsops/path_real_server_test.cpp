// The path operations against real servers on loopback, on a connection whose remote system
// the module detected: a directory made, entered, reported, renamed and removed, a file
// deleted, each checked on disk; a missing directory, a directory that is not empty and the
// read-only folder give the errors the host expects.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/host_fixture.h"
#include "tests/support/real_server.h"

using namespace tvtest;

namespace fs = std::filesystem;

namespace {

// FTP_Pwd as a host calls it: the text of the block it was handed, or the result.
std::string Pwd(FsStateRecord* record) {
    HGLOBAL block = nullptr;
    const LONG result = FTP_Pwd(record, &block);
    if (block == nullptr) return std::to_string(result);
    std::string directory = static_cast<const char*>(GlobalLock(block));
    GlobalFree(block);
    return directory;
}

// An empty settings file of the test's own, so that no ORR.INI of the machine takes part
// in the detection.
class PathOperationsOnRealServer : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        std::ofstream file(settings_);
        setenv("TARVO_ORR_INI", settings_.c_str(), 1);
    }
    void TearDown() override {
        unsetenv("TARVO_ORR_INI");
        std::remove(settings_.c_str());
    }
    std::string settings_ = ::testing::TempDir() + "path-real-server.ini";
};

}  // namespace

TEST_P(PathOperationsOnRealServer, ChangesTheTreeAndRefusesWhatTheServerRefuses) {
    const std::string kind = GetParam();
    TVTEST_REQUIRE_SERVER(kind);
    RealServer server(kind);
    AttachedModule module;
    ASSERT_TRUE(module.attached());
    HostRecord host(server.Host().c_str(), HOST_AUTOMATIC);
    OpenParameters parameters = Parameters(server.Port());
    LogonText user(server.User()), password(server.Password());
    ASSERT_EQ(xfsopen(host.handle(), 0, user, password, nullptr, &parameters), 0);
    FsStateRecord* record = host.get();
    EXPECT_EQ(record->hostType, HOST_UNIX);
    auto onDisk = [&](const char* path) { return server.LocalPath(path); };

    EXPECT_EQ(Pwd(record), "/");
    // A name with a blank: the directory of the 257 reply must be read from its quotes.
    EXPECT_EQ(FTP_Mkdir("upload/new dir", record), 0);
    EXPECT_TRUE(fs::is_directory(onDisk("/upload/new dir")));
    EXPECT_EQ(FTP_Chdir("upload/new dir", record), 2);
    EXPECT_EQ(Pwd(record), "/upload/new dir");
    EXPECT_EQ(FTP_Chdir("/upload", record), 2);
    EXPECT_EQ(Pwd(record), "/upload");
    EXPECT_EQ(FTP_Rename("new dir", "renamed", record), 2);
    EXPECT_FALSE(fs::exists(onDisk("/upload/new dir")));
    EXPECT_TRUE(fs::is_directory(onDisk("/upload/renamed")));
    EXPECT_EQ(FTP_Rmdir("renamed", record), 2);
    EXPECT_FALSE(fs::exists(onDisk("/upload/renamed")));
    std::ofstream(onDisk("/upload/victim.txt")) << "to be deleted\n";
    EXPECT_EQ(FTP_Delete("victim.txt", record), 0);
    EXPECT_FALSE(fs::exists(onDisk("/upload/victim.txt")));

    // Every server refuses these with 550, whatever its words: a refusal that does not
    // speak of space or of a missing name (vsftpd's does not) is access denied.
    const int32_t missing = kind == "vsftpd" ? FSE_ACCESS_DENIED : FSE_NOT_FOUND;
    EXPECT_EQ(FTP_Chdir("/missing", record), missing);
    EXPECT_EQ(FTP_Rmdir("/missing", record), missing);
    EXPECT_EQ(FTP_Delete("/missing.txt", record), missing);
    EXPECT_EQ(FTP_Rmdir("/dir", record), FSE_ACCESS_DENIED);  // not empty
    EXPECT_EQ(FTP_Mkdir("/readonly/new", record), FSE_INVALID);
    EXPECT_EQ(FTP_Mkdir("/dir", record), FSE_INVALID);
    EXPECT_EQ(FTP_Delete("/readonly/locked.txt", record), FSE_ACCESS_DENIED);
    // pure-ftpd accepts the RNFR and refuses the RNTO with 451, which is no 550: refused.
    EXPECT_EQ(FTP_Rename("/readonly/locked.txt", "/readonly/moved.txt", record),
              kind == "pure-ftpd" ? FSE_NOT_FOUND : FSE_ACCESS_DENIED);
    EXPECT_TRUE(fs::exists(onDisk("/readonly/locked.txt")));

    // The failed changes kept the working directory, and the connection goes on.
    EXPECT_EQ(Pwd(record), "/upload");
    EXPECT_EQ(FTP_Chdir("/dir/sub", record), 2);
    EXPECT_EQ(Pwd(record), "/dir/sub");
}

INSTANTIATE_TEST_SUITE_P(Kinds, PathOperationsOnRealServer,
                         ::testing::Values("vsftpd", "proftpd", "pure-ftpd", "pyftpdlib"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             std::erase(name, '-');
                             return name;
                         });
