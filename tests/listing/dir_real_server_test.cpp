// Directory listings of the sample tree on real servers through the exports: LIST parsed
// and NLST probed, each over passive and active data connections.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "fsops/path_operations.h"
#include "tests/connection/open_fixture.h"
#include "tests/listing/listing_session.h"
#include "tests/support/real_server.h"

using namespace tvtest;

namespace fs = std::filesystem;

namespace {

using Kinds = std::map<std::string, int>;

// What a listing of `folder` should give: every entry with the kind of what it points to.
// A UNIX line shows a colon only in a time of day, so the name of such a line starts three
// characters after its last colon, where the minutes would end.
Kinds Expected(const std::string& folder, bool parsed) {
    Kinds kinds;
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::string name = entry.path().filename().string();
        if (parsed && name.rfind(':') != std::string::npos) name = name.substr(name.rfind(':') + 3);
        kinds[name] = fs::is_directory(entry.path()) ? ENTRY_DIRECTORY : ENTRY_FILE;
    }
    return kinds;
}

// One listing through the exports, taken four entries at a time; the name goes to its
// last "/", for servers that answer NLST of a directory with paths.
Kinds List(HGLOBAL record, const char* pattern) {
    HGLOBAL block = GlobalAlloc(GHND, sizeof(HostHandleBlock));
    Kinds kinds;
    const LONG opened = OpenListing(block, record, pattern);
    EXPECT_GE(opened, 0);
    auto* handleBlock = static_cast<HostHandleBlock*>(GlobalLock(block));
    if (opened >= 0) {
        for (const HostEntry& entry : ReadAllEntries(handleBlock, 4)) {
            const std::string name = entry.name.substr(entry.name.rfind('/') + 1);
            EXPECT_TRUE(kinds.emplace(name, entry.kind).second) << "twice: " << name;
        }
        EXPECT_EQ(FTP_Dir_Close(handleBlock), 0);
    }
    GlobalUnlock(block);
    GlobalFree(block);
    return kinds;
}

class DirectoryListingOnRealServer : public ::testing::TestWithParam<const char*> {};

}  // namespace

TEST_P(DirectoryListingOnRealServer, ListsTheSampleTreeEitherWayOverEitherDataConnection) {
    const char* kind = GetParam();
    TVTEST_REQUIRE_SERVER(kind);
    RealServer server(kind);
    AttachedModule module;
    ASSERT_TRUE(module.attached());
    HostRecord host(server.Host().c_str(), HOST_UNIX);
    OpenParameters parameters = Parameters(server.Port(), OPEN_PARSE_DIRECTORIES | OPEN_SEND_PORT);
    LogonText user(server.User()), password(server.Password());
    ASSERT_EQ(xfsopen(host.handle(), 0, user, password, nullptr, &parameters), 0);
    FtpConnection* connection = host.connection();
    const int32_t type = connection->currentType;

    // pyftpdlib's NLST of a folder gives bare names that the probe from the working
    // directory cannot find: the name-list mode is compared on the other servers (pure-ftpd's
    // "." and ".." included, which never reach the host).
    const bool nameListsAsListed = std::string(kind) != "pyftpdlib";
    for (bool parsed : {true, false}) {
        for (bool passive : {true, false}) {
            if (!parsed && !nameListsAsListed) continue;
            SCOPED_TRACE(std::string(parsed ? "LIST" : "NLST") + (passive ? " PASV" : " PORT"));
            connection->optionFlags = parsed ? connection->optionFlags | OPTION_PARSE_DIRECTORIES
                                             : connection->optionFlags & ~OPTION_PARSE_DIRECTORIES;
            connection->stateFlags = passive ? connection->stateFlags | STATE_PASSIVE_MODE
                                             : connection->stateFlags & ~STATE_PASSIVE_MODE;
            EXPECT_EQ(List(host.handle(), nullptr), Expected(server.Root(), parsed));
            EXPECT_EQ(List(host.handle(), "dir"), Expected(server.LocalPath("/dir"), parsed));
            EXPECT_EQ(List(host.handle(), "empty"), Kinds{});
            EXPECT_EQ(connection->currentType, type);
            EXPECT_EQ((connection->stateFlags & STATE_PASSIVE_MODE) != 0, passive);
            char directory[WORKING_DIRECTORY_SIZE];
            EXPECT_EQ(PrintWorkingDirectory(connection, directory, sizeof directory), 0);
            EXPECT_STREQ(directory, "/");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Servers, DirectoryListingOnRealServer,
                         ::testing::Values("vsftpd", "proftpd", "pure-ftpd", "pyftpdlib"),
                         [](const auto& info) {
                             std::string name = info.param;
                             return name == "pure-ftpd" ? std::string("pureftpd") : name;
                         });
