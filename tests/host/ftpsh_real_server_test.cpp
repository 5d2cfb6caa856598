// ftpsh end to end against real FTP servers on loopback: the logon, a typed command and
// the close as a user of the reference host would run them; the remote system the module
// detects, the commands on remote paths, and the listing commands on the sample tree,
// parsed from LIST lines and from name lists. (The servers' refusals and the errors they
// give are the module's own tests' concern; how ftpsh reports one is shown elsewhere.)
//
// And ftpsh's copies there: binary files up and back unchanged (PORT, and passive
// listings), a UNIX text file down with CR LF and up again, append, put -n refusing; the
// copy between two real servers of one kind that take data connections of other addresses:
// with passive mode the servers exchange the data directly, without it ftpsh relays it.
// Binary files arrive unchanged either way, UNIX text relayed goes as text and arrives as
// the destination stores text, and after each copy the destination's listing shows the new
// file. Under Wine, ftpsh.exe copies both ways as well. Last, ftpsh.exe under Wine on its
// own.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <random>
#include <regex>

#include "tests/host/ftpsh_process.h"
#include "tests/support/real_server.h"

namespace {

using ftpsh_test::Describe;
using ftpsh_test::Lines;
using ftpsh_test::Outcome;
using ftpsh_test::ProtocolLines;
using ftpsh_test::RunFtpsh;
using ftpsh_test::RunFtpshUnderWine;
using tvtest::ReadFile;
using tvtest::RealServer;

// The address of a real server with its user, and its password or not.
std::string ServerUrl(const RealServer& server, bool withPassword = true) {
    return "ftp://" + server.User() + (withPassword ? ":" + server.Password() : "") + "@" +
           server.Host() + ":" + std::to_string(server.Port());
}

// A real server's kind as part of a test name: pure-ftpd as pureftpd.
std::string KindName(const ::testing::TestParamInfo<const char*>& info) {
    std::string name = info.param;
    std::erase(name, '-');
    return name;
}

// A UTF-8 name beyond ASCII: grüße-€.txt.
constexpr const char* kNonAsciiName = "gr\xC3\xBC\xC3\x9F" "e-\xE2\x82\xAC.txt";

void CheckListingOutput(const std::string& out, const std::string& root) {
    // The open's message, then the parts between the lines "/" that each "pwd" prints.
    const std::vector<std::string> lines = Lines(out);
    std::vector<std::vector<std::string>> parts(1);
    for (size_t i = 1; i < lines.size(); ++i) {
        if (lines[i] == "/")
            parts.emplace_back();
        else
            parts.back().push_back(lines[i]);
    }
    ASSERT_EQ(parts.size(), 3u) << out;
    // ls prints "/" after directories and links to them.
    std::vector<std::string> rootNames;
    for (const auto& entry : std::filesystem::directory_iterator(root))
        rootNames.push_back(entry.path().filename().string() + (entry.is_directory() ? "/" : ""));
    std::sort(rootNames.begin(), rootNames.end());
    std::sort(parts[0].begin(), parts[0].end());
    EXPECT_EQ(parts[0], rootNames);
    EXPECT_EQ(parts[1], std::vector<std::string>{});

    // The server's own line for the file (vsftpd also lists the link that points to it),
    // then the attributes.
    const std::vector<std::string>& rest = parts[2];
    ASSERT_GE(rest.size(), 3u) << out;
    EXPECT_TRUE(std::any_of(rest.begin(), rest.end() - 2, [](const std::string& line) {
        return line.starts_with("-rw-r--r--") && line.ends_with(" lf.txt");
    })) << out;
    EXPECT_EQ(std::vector<std::string>(rest.end() - 2, rest.end()),
              (std::vector<std::string>{"dir: directory", "lf.txt: file"}));
}

// The listing scenario ftpsh runs against real servers, on Linux and under Wine: after
// `open`, ls of the sample tree's root and of empty/, the server's line for lf.txt, and the
// attributes of dir and lf.txt; run by `run` with LIST lines parsed and with name lists,
// and checked against the sample tree at `root` on disk. "." and ".." never show, also
// where the server's name lists hold them.
void CheckListingScenario(const std::function<Outcome(const std::vector<std::string>&)>& run,
                          const std::string& open, const std::string& root) {
    for (bool parsed : {true, false}) {
        SCOPED_TRACE(parsed ? "LIST" : "NLST");
        Outcome outcome = run({"--batch", parsed ? "--parse-dirs" : "--no-parse-dirs", "-c",
                               open + "; ls; pwd; ls empty; pwd; info lf.txt; attr dir; attr lf.txt"});
        EXPECT_EQ(outcome.exitCode, 0) << Describe(outcome);
        CheckListingOutput(outcome.out, root);
    }
}

class FtpshOnRealServer : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        TVTEST_REQUIRE_SERVER(GetParam());
        server_.emplace(GetParam());
    }
    std::string Open() const { return "open " + ServerUrl(*server_); }
    std::optional<RealServer> server_;
};

TEST_P(FtpshOnRealServer, OpensDetectsUnixChangesTheTreeAndCloses) {
    namespace fs = std::filesystem;
    std::ofstream(server_->LocalPath("/upload/victim.txt")) << "to be deleted\n";
    Outcome outcome = RunFtpsh(
        {"--batch", "-c",
         Open() + "; quote SYST; system; mkdir \"/upload/new dir\"; cd \"/upload/new dir\"; pwd; "
                  "cd /upload; rename \"new dir\" renamed; rmdir renamed; rm victim.txt; pwd; "
                  "close"});
    EXPECT_EQ(outcome.exitCode, 0) << Describe(outcome);
    EXPECT_EQ(ProtocolLines(outcome.out),
              (std::vector<std::string>{"--> SYST", "<-- 215 UNIX Type: L8"}));
    ftpsh_test::ExpectContains(
        outcome.out, {"Connected to " + server_->Host() + " port " + std::to_string(server_->Port()) +
                          " as " + server_->User() + " (remote system UNIX).\n",
                      "Remote system: UNIX\n", "Made the directory /upload/new dir.\n",
                      "/upload/new dir\n", "Renamed new dir to renamed.\n",
                      "Removed the directory renamed.\n", "Deleted victim.txt.\n", "/upload\n",
                      "Closed the connection to " + server_->Host() + ".\n"});
    EXPECT_FALSE(fs::exists(server_->LocalPath("/upload/renamed")));
    EXPECT_FALSE(fs::exists(server_->LocalPath("/upload/victim.txt")));
}

TEST_P(FtpshOnRealServer, ListsTheSampleTreeFromLinesAndFromNameLists) {
    CheckListingScenario([](const auto& arguments) { return RunFtpsh(arguments); }, Open(),
                                     server_->Root());
}

// Options set in ftpsh steer the next copies and listing; status shows the greeting by line.
TEST_P(FtpshOnRealServer, OptionsSteerTheNextCopyAndListingAndStatusShowsTheGreeting) {
    ftpsh_test::TempFile settings;
    const std::string get = "; get lf.txt " + settings.folder() + "/lf.txt";
    Outcome outcome = RunFtpsh({"--batch", "--show-protocol", "-c", "passive on; " + Open() +
                                "; status; type ascii" + get + "; ls dir; type binary" + get},
                               settings.SettingsEnvironment());
    ASSERT_EQ(outcome.exitCode, 0) << Describe(outcome);
    std::string sent;
    for (const std::string& line : ProtocolLines(outcome.out))
        if (line.starts_with("--> ")) sent += line.substr(4) + "|";
    EXPECT_TRUE(std::regex_search(sent, std::regex(R"(PWD\|TYPE A\|STRU F\|(PORT [0-9,]+\|)?RETR lf\.txt\|PASV\|LIST dir\|.*TYPE I\|STRU F\|(PORT [0-9,]+\|)?RETR lf\.txt\|)"))) << sent;
    std::smatch status;
    ASSERT_TRUE(std::regex_search(outcome.out, status, std::regex("Host Operating System: UNIX\nCurrent Path: /\n.*\nServer Logon Message:\n((  220-.*\n)*)  220 .*\n"))) << outcome.out;
    EXPECT_EQ(status[1].length() > 0, std::string(GetParam()) == "pure-ftpd") << status[0];
}

// A UTF-8 server's non-ASCII name lists, downloads and deletes as itself, whether the
// server's code set is chosen on the command line, in the settings file, or not at all (the
// bytes then pass unconverted).
TEST_P(FtpshOnRealServer, NonAsciiNamesListDownloadAndDeleteAsThemselves) {
    const std::string name = kNonAsciiName;
    for (const char* choice : {"--charset", "ServerCodeSet", "none"}) {
        SCOPED_TRACE(choice);
        ftpsh_test::TempFile settings(choice == std::string("ServerCodeSet")
                                          ? "[FTP_Protocol]\nServerCodeSet=UTF-8\n" : "");
        std::ofstream(server_->LocalPath("/upload/" + name)) << "Gr\xC3\xBC\xC3\x9F" "e\n";
        std::vector<std::string> arguments{"--batch", "-c",
            Open() + "; cd /upload; ls; get \"" + name + "\" " + settings.folder() + "/" + name +
            "; rm " + name + "; close"};
        if (choice == std::string("--charset")) arguments.insert(arguments.begin(), {"--charset", "utf-8"});
        Outcome outcome = RunFtpsh(arguments, settings.SettingsEnvironment());
        EXPECT_EQ(outcome.exitCode, 0) << Describe(outcome);
        ftpsh_test::ExpectContains(outcome.out, {"\n" + name + "\n", "Fetched " + name + " to ",
                                                 "Deleted " + name + ".\n"});
        EXPECT_EQ(ReadFile(settings.folder() + "/" + name), "Gr\xC3\xBC\xC3\x9F" "e\n");
        EXPECT_FALSE(std::filesystem::exists(server_->LocalPath("/upload/" + name)));
    }
}

// At the terminal Tab completes a command name, and a remote name of the last listing as
// the user's characters spell it.
TEST_P(FtpshOnRealServer, TabCompletesCommandsAndListedNames) {
    const std::string name = kNonAsciiName;
    std::ofstream(server_->LocalPath("/upload/" + name)) << "x\n";
    ftpsh_test::TempFile settings;
    auto terminal = ftpsh_test::Terminal({"--batch", "--charset", "utf-8"}, settings.SettingsEnvironment());
    ASSERT_TRUE(terminal.Converse({{"ftpsh> ", Open() + "\r"}, {"> ", "cd /upload\r"}, {"> ", "lp\t\r"},
                                   {"Local directory: ", ""}, {"> ", "ls\r"}, {"> ", "rm gr\t\r"},
                                   {"Deleted " + name + ".", "quit\r"}}))
        << terminal.screen();
    EXPECT_EQ(terminal.Finish(5000).exitCode, 0);
    EXPECT_FALSE(std::filesystem::exists(server_->LocalPath("/upload/" + name)));
}

INSTANTIATE_TEST_SUITE_P(Kinds, FtpshOnRealServer,
                         ::testing::Values("vsftpd", "proftpd", "pure-ftpd", "pyftpdlib"),
                         KindName);

constexpr const char* kPassive = "[FTP_Protocol]\nSupportPasv=1\n";

// Files f<size>.bin in `folder` of seeded random bytes after a NUL (binary without a
// question); their names.
std::vector<std::string> WriteBinaryFiles(const std::string& folder,
                                          std::initializer_list<size_t> sizes, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<std::string> names;
    for (size_t size : sizes) {
        std::string bytes(size, '\0');
        for (size_t i = 1; i < size; ++i) bytes[i] = static_cast<char>(random());
        names.push_back("f" + std::to_string(size) + ".bin");
        tvtest::WriteFile(folder + "/" + names.back(), bytes);
    }
    return names;
}

class FtpshCopiesOnRealServer : public FtpshOnRealServer {};

TEST_P(FtpshCopiesOnRealServer, FilesGoUpAndComeBackAsTheirTypeWants) {
    const RealServer& server = *server_;
    const std::string kind = GetParam();
    auto run = [&](const std::string& commands, const std::string& settings = "") {
        ftpsh_test::TempFile ini(settings);
        return RunFtpsh({"--batch", "-c", Open() + "; " + commands}, ini.SettingsEnvironment(), 120000);
    };
    // Binary files (a NUL first: no question) up and back, by PORT; then with passive listings.
    tvtest::TempFolder up, down;
    const std::vector<std::string> names =
        WriteBinaryFiles(up.path(), {0, 1, 2047, 2048, 2049, 5000, 3 << 20}, 7);
    for (const char* settings : {"", kPassive}) {
        const auto outcome = run("cd upload; lcd " + up.path() + "; mput *.bin; lcd " + down.path() + "; mget *.bin", settings);
        ASSERT_EQ(outcome.exitCode, 0) << Describe(outcome);
        for (const std::string& name : names) {
            EXPECT_TRUE(ReadFile(server.LocalPath("/upload/" + name)) == ReadFile(up / name)) << name;
            EXPECT_TRUE(ReadFile(down / name) == ReadFile(up / name)) << name;
        }
    }
    // Text: CR LF here, the server's own line ends there (vsftpd, as the launcher sets it up,
    // stores ASCII uploads unchanged; proftpd refuses appends).
    const std::string lf = ReadFile(server.LocalPath("/lf.txt"));
    const std::string crlf = std::regex_replace(lf, std::regex("\n"), "\r\n");
    const std::string stored = kind == "vsftpd" ? crlf : lf;
    auto outcome = run("lcd " + down.path() + "; get lf.txt; put lf.txt upload/lf.txt; append lf.txt upload/lf.txt");
    EXPECT_EQ(ReadFile(down / "lf.txt"), crlf);
    EXPECT_EQ(outcome.err, kind == "proftpd" ? "ftpsh: append: error -161 (store refused)\n" : "") << Describe(outcome);
    EXPECT_EQ(ReadFile(server.LocalPath("/upload/lf.txt")), kind == "proftpd" ? stored : stored + stored);
    outcome = run("lcd " + down.path() + "; put -n lf.txt upload/lf.txt");
    EXPECT_EQ(outcome.err, "ftpsh: put: error -17 (remote file exists)\n") << Describe(outcome);
}

INSTANTIATE_TEST_SUITE_P(Kinds, FtpshCopiesOnRealServer,
                         ::testing::Values("vsftpd", "proftpd", "pure-ftpd", "pyftpdlib"),
                         KindName);

// Two instances of a kind, a and b, each with half of the kind's passive ports.
struct ServerPair {
    explicit ServerPair(const std::string& kind) : from(kind, Options(kind, 0)), to(kind, Options(kind, 50)) {}
    static std::vector<std::string> Options(const std::string& kind, int offset) {
        const int first = (kind == "vsftpd" ? 40000 : 40300) + offset;
        return {"--foreign-data", "--pasv", std::to_string(first) + "-" + std::to_string(first + 49)};
    }
    std::string OpenBoth() const {
        return "open -n a " + ServerUrl(from) + "; open -n b " + ServerUrl(to) + "; ";
    }
    RealServer from, to;
};

class FtpshCopiesBetweenRealServers : public ::testing::TestWithParam<const char*> {};

TEST_P(FtpshCopiesBetweenRealServers, FilesArriveUnchangedDirectlyAndRelayed) {
    TVTEST_REQUIRE_SERVER(GetParam());
    const std::string kind = GetParam();
    const ServerPair servers(kind);
    std::vector<std::string> names =
        WriteBinaryFiles(servers.from.LocalPath("/upload"), {0, 2048, 2049, 3 << 20}, 11);
    names.push_back("lf.txt");
    const std::string lf = ReadFile(servers.from.LocalPath("/lf.txt"));
    const std::string crlf = std::regex_replace(lf, std::regex("\n"), "\r\n");
    tvtest::WriteFile(servers.from.LocalPath("/upload/lf.txt"), lf);

    for (const bool direct : {true, false}) {
        SCOPED_TRACE(direct ? "direct" : "relayed");
        const std::string prefix = direct ? "d-" : "r-";
        // The copies start on a, then use b: the source side named and not.
        std::string commands = servers.OpenBoth() + "use a";
        for (const std::string& name : names) {
            commands += "; copy /upload/" + name + " b:/upload/" + prefix + name + "; use b; ls /upload/" +
                        prefix + name + "; use a";
        }
        commands += "; cd upload; connections; close a; connections";
        ftpsh_test::TempFile ini(direct ? kPassive : "");
        const auto outcome = RunFtpsh({"--batch", "-c", commands}, ini.SettingsEnvironment(), 120000);
        ASSERT_EQ(outcome.exitCode, 0) << Describe(outcome);
        // Closing the current connection makes the one opened last of the others current.
        const std::string b = "b  " + servers.to.User() + "@" + servers.to.Host() + ":" + std::to_string(servers.to.Port());
        EXPECT_NE(outcome.out.find("  " + b + "  UNIX  /\nClosed the connection to 127.0.0.1.\nUsing b (127.0.0.1).\n* " + b),
                  std::string::npos) << outcome.out;
        const std::string how = direct ? "(the servers exchanged the data directly)" : "(relayed through ftpsh";
        for (const std::string& name : names) {
            const std::string copied = "Copied a:/upload/" + name + " to b:/upload/" + prefix + name + " " + how;
            EXPECT_NE(outcome.out.find(copied + (direct ? ".\n" : "")), std::string::npos) << copied << "\n" << outcome.out;
            EXPECT_NE(outcome.out.find(prefix + name + "\n"), std::string::npos) << name << " not listed";
            const std::string arrived = ReadFile(servers.to.LocalPath("/upload/" + prefix + name));
            // Relayed text goes in ASCII type; vsftpd, as the launcher sets it up, stores it
            // as it comes, pyftpdlib with its own line ends.
            const bool text = name == "lf.txt" && !direct && kind == "vsftpd";
            EXPECT_TRUE(arrived == (text ? crlf : ReadFile(servers.from.LocalPath("/upload/" + name)))) << name;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, FtpshCopiesBetweenRealServers, ::testing::Values("vsftpd", "pyftpdlib"));

// ftpsh.exe of the Windows build under Wine (TVFTP_WINE_FTPSH), over real Winsock.
TEST(FtpshUnderWineCopies, CopiesBetweenTwoServersDirectlyAndRelayed) {
    if (auto skipped = ftpsh_test::WineSkipReason()) GTEST_SKIP() << *skipped;
    TVTEST_REQUIRE_SERVER("pyftpdlib");
    const ServerPair servers("pyftpdlib");
    for (const bool direct : {true, false}) {
        ftpsh_test::TempFile ini(direct ? kPassive : "");
        const std::string name = direct ? "direct.bin" : "relayed.bin";
        const auto outcome = ftpsh_test::RunFtpshUnderWine(
            {"--batch", "-c", servers.OpenBoth() + "copy a:/large.bin b:/upload/" + name},
            {{"TARVO_ORR_INI", "Z:" + ini.path()}});
        EXPECT_EQ(outcome.exitCode, 0) << Describe(outcome);
        EXPECT_NE(outcome.out.find(direct ? "exchanged the data directly" : "relayed through ftpsh"), std::string::npos)
            << Describe(outcome);
        EXPECT_TRUE(ReadFile(servers.to.LocalPath("/upload/" + name)) == ReadFile(servers.from.LocalPath("/large.bin")));
    }
}

// ftpsh.exe of a Windows build (x86_64 under wine64, i686 under 32-bit Wine) on a virtual
// X display: the real TARVOFTP.DLL, QUENTL32.DLL and BKCS32.DLL beside it, real Winsock to
// a loopback server, a password prompt and the file type question as real Windows dialogs,
// found and answered by ftpsh's Windows side, and the remote system, path commands,
// listings and copies as on Linux. Runs when TVFTP_WINE_FTPSH names the program (the
// native test run sets it, once for each build).
// A Linux path as the Windows program sees it: on Wine's drive Z:, with forward slashes,
// which Windows takes as well and ftpsh's script words keep as they are.
std::string OnDriveZ(const std::string& path) { return "Z:" + path; }

// The dialog was on the screen: its picture is a bitmap file with something drawn in it.
void ExpectPicture(const std::string& path) {
    const std::string bytes = ReadFile(path);
    ASSERT_GT(bytes.size(), 54u) << "no picture " << path;
    EXPECT_EQ(bytes.substr(0, 2), "BM") << path;
    const std::string pixels = bytes.substr(54);
    EXPECT_NE(pixels.find_first_not_of(pixels[0]), std::string::npos) << "a blank picture " << path;
}

class FtpshUnderWine : public ::testing::Test {
protected:
    void SetUp() override {
        if (auto skipped = ftpsh_test::WineSkipReason()) GTEST_SKIP() << *skipped;
        TVTEST_REQUIRE_SERVER("pyftpdlib");
        server_.emplace("pyftpdlib");
    }
    std::string Open(bool withPassword) const {
        return "open " + ServerUrl(*server_, withPassword);
    }

    std::optional<tvtest::RealServer> server_;
};

TEST_F(FtpshUnderWine, LogonThroughARealPasswordDialogThenPathCommands) {
    std::ofstream(server_->LocalPath("/upload/victim.txt")) << "to be deleted\n";
    // Pictures of the dialogs go to a folder of the test, named the way Wine maps it.
    ftpsh_test::TempFile folder;
    std::string windowsPictures = OnDriveZ(folder.folder());
    for (char& c : windowsPictures) c = c == '/' ? '\\' : c;

    // No password in the address: the server refuses the empty one and the module asks.
    // The last command fails, which ends the script with its error.
    Outcome outcome = RunFtpshUnderWine(
        {"--screenshots", windowsPictures, "-c",
         "answer USER_PASSWORD 500=" + server_->Password() + " OK; " + Open(false) +
             "; quote SYST; system; mkdir \"/upload/new dir\"; cd \"/upload/new dir\"; pwd; "
             "cd /upload; rename \"new dir\" renamed; rmdir renamed; rm victim.txt; rmdir /dir"});

    EXPECT_EQ(outcome.exitCode, 1) << Describe(outcome);
    ftpsh_test::ExpectContains(
        outcome.out, {"[dialog USER_PASSWORD \"Password Required\" answered from the script]",
                      "(remote system UNIX).", "Remote system: UNIX", "Made the directory /upload/new dir.",
                      "/upload/new dir", "Renamed new dir to renamed.", "Removed the directory renamed.",
                      "Deleted victim.txt."});
    EXPECT_EQ(ProtocolLines(outcome.out),
              (std::vector<std::string>{"--> SYST", "<-- 215 UNIX Type: L8"}));
    EXPECT_NE(outcome.err.find("ftpsh: rmdir: error -13 (access denied)"), std::string::npos)
        << Describe(outcome);
    EXPECT_FALSE(std::filesystem::exists(server_->LocalPath("/upload/renamed")));
    EXPECT_FALSE(std::filesystem::exists(server_->LocalPath("/upload/victim.txt")));
    ExpectPicture(folder.folder() + "/01-USER_PASSWORD.bmp");
}

// Binary bytes go up and come back unchanged; UNIX text comes down with CR LF and goes up
// again as LF (pyftpdlib stores ASCII uploads with its own line ends); a line without its
// end brings up the file type question on the screen. Binary, with the choice kept for the
// remaining files of that mget, sends the UNIX text after it down unchanged.
TEST_F(FtpshUnderWine, CopiesBinaryAndTextAndAsksTheFileTypeOnTheScreen) {
    tvtest::TempFolder up, down, typed;
    std::string binary;
    for (int i = 0; i < 4096; ++i) binary += static_cast<char>(i);
    const std::string unix = "one\ntwo\n\nfour\n", line = "a single line without its end";
    tvtest::WriteFile(up / "all.bin", binary);
    tvtest::WriteFile(up / "unix.txt", unix);
    tvtest::WriteFile(up / "line.txt", line);

    Outcome outcome = RunFtpshUnderWine(
        {"--screenshots", OnDriveZ(typed.path()), "-c",
         Open(true) + "; cd /upload; lcd " + OnDriveZ(up.path()) +
             "; put all.bin; put unix.txt; put line.txt; lcd " + OnDriveZ(down.path()) +
             "; get all.bin; get unix.txt; put unix.txt back.txt; lcd " + OnDriveZ(typed.path()) +
             "; answer FTP_FILETYPE_DLG Binary 601 Transfer; mget *.txt"});

    EXPECT_EQ(outcome.exitCode, 0) << Describe(outcome);
    EXPECT_NE(outcome.out.find("[dialog FTP_FILETYPE_DLG \"Unable to Determine File Type\" "
                               "answered from the script]"),
              std::string::npos)
        << Describe(outcome);
    EXPECT_TRUE(ReadFile(server_->LocalPath("/upload/all.bin")) == binary);
    EXPECT_TRUE(ReadFile(down / "all.bin") == binary);
    EXPECT_EQ(ReadFile(server_->LocalPath("/upload/unix.txt")), unix);
    EXPECT_EQ(ReadFile(down / "unix.txt"), "one\r\ntwo\r\n\r\nfour\r\n");
    EXPECT_EQ(ReadFile(server_->LocalPath("/upload/back.txt")), unix);
    EXPECT_EQ(ReadFile(server_->LocalPath("/upload/line.txt")), line);
    // mget fetches back.txt, line.txt, unix.txt: the question comes at line.txt.
    EXPECT_EQ(ReadFile(typed / "back.txt"), "one\r\ntwo\r\n\r\nfour\r\n");
    EXPECT_EQ(ReadFile(typed / "line.txt"), line);
    EXPECT_EQ(ReadFile(typed / "unix.txt"), unix);
    ExpectPicture(typed / "01-FTP_FILETYPE_DLG.bmp");
}

// With the server's code set chosen, a UTF-8 server's non-ASCII name lists, downloads and
// deletes by that name, which a Windows program writes in the ANSI code page.
TEST_F(FtpshUnderWine, NonAsciiNamesListDownloadAndDeleteAsThemselves) {
    const std::string name = kNonAsciiName;
    const std::string ansi = "gr\xFC\xDF" "e-\x80.txt";
    tvtest::WriteFile(server_->LocalPath("/upload/" + name), "x\n");
    tvtest::TempFolder down;
    Outcome outcome = RunFtpshUnderWine({"--charset", "utf-8", "-c", Open(true) + "; cd /upload; ls; lcd " +
                                         OnDriveZ(down.path()) + "; get " + name + "; rm " + name});
    EXPECT_EQ(outcome.exitCode, 0) << Describe(outcome);
    ftpsh_test::ExpectContains(outcome.out, {"\n" + ansi, "Fetched " + ansi, "Deleted " + ansi + "."});
    EXPECT_TRUE(std::filesystem::exists(down / name));
    EXPECT_FALSE(std::filesystem::exists(server_->LocalPath("/upload/" + name)));
}

// Real options and status dialogs hold the same controls, texts and states as on Linux.
TEST_F(FtpshUnderWine, OptionsAndStatusDialogsAreTheSameAsOnLinux) {
    const std::vector<std::string> arguments = {
        "--batch", "-c", Open(true) + "; answer FTP_OPTIONS_DLG ? 407=off 401=on 404=on ? "
        "Cancel; options; type binary; status; stru record"};
    const Outcome windows = RunFtpshUnderWine(arguments), linux = ftpsh_test::RunFtpsh(arguments);
    EXPECT_EQ(linux.exitCode, 1) << Describe(linux);  // the server refused STRU R
    EXPECT_EQ(windows.exitCode, linux.exitCode) << Describe(windows);
    EXPECT_EQ(std::regex_replace(windows.out, std::regex("\r"), ""), linux.out);
}

TEST_F(FtpshUnderWine, ListsTheSampleTreeFromLinesAndFromNameLists) {
    CheckListingScenario([](const auto& arguments) { return RunFtpshUnderWine(arguments); },
                                     Open(true), server_->Root());
}

// A server whose listening queue takes the connection and that never greets: the open
// fails once the time-out of the settings has passed, instead of hanging.
TEST_F(FtpshUnderWine, ASilentServerTimesOut) {
    ftpsh_test::Listener silent;
    ftpsh_test::TempFile settings("[FTP_Protocol]\nTimeoutSeconds=2\n");
    Outcome outcome = RunFtpshUnderWine({"--batch", "-c", "open " + silent.Address()},
                                        {{"TARVO_ORR_INI", OnDriveZ(settings.path())}});
    EXPECT_EQ(outcome.exitCode, 1) << Describe(outcome);
    EXPECT_NE(outcome.err.find("open: error -60"), std::string::npos) << Describe(outcome);
}

}  // namespace
