// The deferred-link pass against the scripted server, byte for byte: the working directory
// asked once, each link tried by its full path, the directory entered again at the end; a
// pass cut short by few free records and continued by the next call; links that name
// nothing; paths too long to ask about; refusals, which end the pass and give back what it
// filled; servers that report representations; and the whole way from a real server's
// LIST to classified links.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "connection/wait.h"
#include "fsops/path_operations.h"
#include "listing/listing_parser.h"
#include "listing/send_listing_command.h"
#include "tests/support/real_server.h"
#include "tests/support/scripted_server.h"
#include "tests/support/test_connection.h"

using tvtest::ScriptedServer;
using tvtest::TestConnection;

namespace {

std::string BlockText(HGLOBAL block) {
    if (block == nullptr) return "<none>";
    const char* text = static_cast<const char*>(GlobalLock(block));
    std::string copy(text);
    GlobalUnlock(block);
    return copy;
}

// A scripted server, a connection to it and the state record that carries it.
class Session {
public:
    explicit Session(uint8_t hostType = HOST_UNIX) { record_.hostType = hostType; }
    ScriptedServer& server() { return server_; }
    // The server closes after the last step, so that a command the transcript does not
    // hold fails at once instead of waiting for a reply forever.
    FsStateRecord* Begin() {
        server_.Close().Start();
        client_ = std::make_unique<TestConnection>(server_.Port());
        record_.connection = client_->get();
        return &record_;
    }
    FtpConnection* connection() { return client_->get(); }
    std::string Finish() { return server_.Finish(); }

private:
    ScriptedServer server_;
    std::unique_ptr<TestConnection> client_;
    FsStateRecord record_{};
};

// A listing handle that has read the given lines and reached the end of the data: the
// link lines wait in its deferred buffer, the entries of the other lines are returned.
class ReadListing {
public:
    explicit ReadListing(const std::vector<std::string>& lines, uint8_t hostType = HOST_UNIX) {
        handle_.kindMask = KIND_MASK_ALL;
        for (const std::string& text : lines) {
            std::vector<char> line(text.begin(), text.end());
            line.push_back('\0');
            DirEntry entry{};
            if (ParseUnixLine(&entry, line.data(), &handle_, hostType) >= 0) {
                streamed_.push_back(entry);
            }
        }
        handle_.deferredOffset = 0;  // as the LIST reader leaves it at the end of the data
    }
    ~ReadListing() {
        for (DirEntry& entry : streamed_) {
            FreeEntryName(&entry);
            FreeEntryLine(&entry);
        }
        if (handle_.deferredBuffer != nullptr) GlobalFree(handle_.deferredBuffer);
    }
    ReadListing(const ReadListing&) = delete;
    ReadListing& operator=(const ReadListing&) = delete;

    ListingHandle* handle() { return &handle_; }
    const std::vector<DirEntry>& streamed() const { return streamed_; }

private:
    ListingHandle handle_{};
    std::vector<DirEntry> streamed_;
};

// The host's entry array; whatever the pass left in it goes with the array.
class Entries {
public:
    explicit Entries(size_t count) : entries_(count) {}
    ~Entries() {
        for (DirEntry& entry : entries_) {
            FreeEntryName(&entry);
            FreeEntryLine(&entry);
        }
    }
    DirEntry* get() { return entries_.data(); }
    DirEntry& operator[](size_t i) { return entries_[i]; }
    // "name:kind" of the first `count` entries.
    std::string Describe(int32_t count) {
        std::string text;
        for (int32_t i = 0; i < count; ++i) {
            if (!text.empty()) text += ' ';
            text += BlockText(entries_[i].name) + ":" + std::to_string(entries_[i].kind);
        }
        return text;
    }
    bool Empty() const {
        for (const DirEntry& entry : entries_) {
            if (entry.name != nullptr || entry.line != nullptr) return false;
        }
        return true;
    }

private:
    std::vector<DirEntry> entries_;
};

std::string Link(const std::string& name, const std::string& target) {
    return "lrwxrwxrwx   1 u  g  8 Jan 12 12:34 " + name + " -> " + target;
}

}  // namespace

TEST(DeferredLinks, EachLinkIsTriedByItsFullPathAndTheDirectoryIsEnteredAgain) {
    Session session;
    session.server()
        .Expect("PWD\r\n").Reply("257 \"/home/u\" is the current directory\r\n")
        .Expect("CWD /home/u/lib\r\n").Reply("250 Directory successfully changed.\r\n")
        .Expect("CWD /home/u/notes\r\n").Reply("550 Failed to change directory.\r\n")
        .Expect("CWD /home/u\r\n").Reply("250 Directory successfully changed.\r\n");
    FsStateRecord* record = session.Begin();

    ReadListing listing({"total 3", Link("lib", "/usr/lib"),
                         "-rw-r--r--   1 u  g  5 Jan 12 12:34 x", Link("notes", "notes.txt")});
    // The file came with the data; the links wait for the end of it.
    ASSERT_EQ(listing.streamed().size(), 1u);
    EXPECT_EQ(BlockText(listing.streamed()[0].name), "x");
    ASSERT_EQ(listing.handle()->deferredCount, 2u);

    Entries entries(4);
    ASSERT_EQ(RunDeferredLinkPass(entries.get(), listing.handle(), 4, record), 2);
    EXPECT_EQ(entries.Describe(2), "lib:1 notes:2");
    EXPECT_EQ(BlockText(entries[0].line), Link("lib", "/usr/lib"));
    EXPECT_EQ(entries[0].lineLength, Link("lib", "/usr/lib").size());
    EXPECT_EQ(BlockText(entries[1].line), Link("notes", "notes.txt"));
    EXPECT_EQ(entries[2].name, nullptr);
    EXPECT_EQ(listing.handle()->deferredCount, 0u);
    EXPECT_EQ(listing.handle()->deferredOffset,
              Link("lib", "/usr/lib").size() + 1 + Link("notes", "notes.txt").size() + 1);
    // The last change forgot the cached directory: the next question goes to the server.
    EXPECT_EQ(session.connection()->stateFlags & STATE_DIRECTORY_KNOWN, 0u);

    // Nothing left: no command at all.
    EXPECT_EQ(RunDeferredLinkPass(entries.get() + 2, listing.handle(), 2, record), 0);
    EXPECT_EQ(session.Finish(), "");
}

TEST(DeferredLinks, FewFreeRecordsCutThePassShortAndTheNextCallGoesOn) {
    Session session;
    session.server()
        .Expect("PWD\r\n").Reply("257 \"/d\"\r\n")
        .Expect("CWD /d/a\r\n").Reply("250 OK.\r\n")
        .Expect("CWD /d/b\r\n").Reply("550 Not a directory.\r\n")
        .Expect("CWD /d\r\n").Reply("250 OK.\r\n")
        // Files only from here: the directory "c" uses a line but no record.
        .Expect("PWD\r\n").Reply("257 \"/d\"\r\n")
        .Expect("CWD /d/c\r\n").Reply("250 OK.\r\n")
        .Expect("CWD /d/e\r\n").Reply("550 Not a directory.\r\n")
        .Expect("CWD /d\r\n").Reply("250 OK.\r\n");
    FsStateRecord* record = session.Begin();

    ReadListing listing({Link("a", "x"), Link("b", "y"), Link("c", "z"), Link("e", "w")});
    Entries first(2);
    EXPECT_EQ(RunDeferredLinkPass(first.get(), listing.handle(), 2, record), 2);
    EXPECT_EQ(first.Describe(2), "a:1 b:2");
    EXPECT_EQ(listing.handle()->deferredCount, 2u);
    EXPECT_EQ(listing.handle()->deferredOffset, 2 * (Link("a", "x").size() + 1));

    listing.handle()->kindMask = KIND_MASK_FILES;
    Entries second(2);
    EXPECT_EQ(RunDeferredLinkPass(second.get(), listing.handle(), 2, record), 1);
    EXPECT_EQ(second.Describe(1), "e:2");
    EXPECT_EQ(second[1].name, nullptr);
    EXPECT_EQ(listing.handle()->deferredCount, 0u);

    EXPECT_EQ(RunDeferredLinkPass(second.get() + 1, listing.handle(), 0, record), 0);
    EXPECT_EQ(session.Finish(), "");
}

TEST(DeferredLinks, LinksThatNameNothingArePassedOverWithoutAProbe) {
    Session session;
    session.server()
        .Expect("PWD\r\n").Reply("257 \"/\" is current directory.\r\n")
        .Expect("CWD //ok\r\n").Reply("550 No such directory.\r\n")
        .Expect("CWD /\r\n").Reply("250 OK.\r\n");
    FsStateRecord* record = session.Begin();

    ReadListing listing({Link(".", "/"), "l a b", Link("..", "x"), Link("ok", "x"), "lrwx"});
    ASSERT_EQ(listing.handle()->deferredCount, 5u);
    Entries entries(5);
    // The host's own values in records the pass does not keep stay as they were.
    const HGLOBAL hostLine = reinterpret_cast<HGLOBAL>(0x1);
    entries[1].line = hostLine;
    EXPECT_EQ(RunDeferredLinkPass(entries.get(), listing.handle(), 5, record), 1);
    EXPECT_EQ(entries.Describe(1), "ok:2");
    EXPECT_EQ(entries[1].line, hostLine);
    entries[1].line = nullptr;
    EXPECT_EQ(listing.handle()->deferredCount, 0u);
    EXPECT_EQ(session.Finish(), "");
}

TEST(DeferredLinks, APathTooLongToAskAboutIsTakenForAFileUnasked) {
    const std::string directory = "/" + std::string(317, 'd');  // with "/" 319 of 320 bytes
    Session session;
    session.server()
        .Expect("PWD\r\n").Reply("257 \"" + directory + "\"\r\n")
        .Expect("CWD " + directory + "\r\n").Reply("250 OK.\r\n");
    FsStateRecord* record = session.Begin();

    ReadListing listing({Link("x", "y")});
    Entries entries(1);
    EXPECT_EQ(RunDeferredLinkPass(entries.get(), listing.handle(), 1, record), 1);
    EXPECT_EQ(entries.Describe(1), "x:2");
    EXPECT_EQ(session.Finish(), "");
}

TEST(DeferredLinks, RefusalsEndThePassAndGiveBackWhatItFilled) {
    {
        SCOPED_TRACE("the working directory cannot be told");
        Session session;
        session.server()
            .Expect("PWD\r\n").Reply("500 Unknown command.\r\n")
            .Expect("XPWD\r\n").Reply("502 Not implemented.\r\n");
        FsStateRecord* record = session.Begin();
        ReadListing listing({Link("a", "x")});
        Entries entries(1);
        EXPECT_EQ(RunDeferredLinkPass(entries.get(), listing.handle(), 1, record),
                  FSE_NOT_SUPPORTED);
        EXPECT_TRUE(entries.Empty());
        EXPECT_EQ(listing.handle()->deferredCount, 1u);
        EXPECT_EQ(listing.handle()->deferredOffset, 0u);
        EXPECT_EQ(session.Finish(), "");
    }
    {
        SCOPED_TRACE("the change back is refused");
        Session session;
        session.server()
            .Expect("PWD\r\n").Reply("257 \"/d\"\r\n")
            .Expect("CWD /d/a\r\n").Reply("250 OK.\r\n")
            .Expect("CWD /d\r\n").Reply("550 Permission denied.\r\n");
        FsStateRecord* record = session.Begin();
        ReadListing listing({Link("a", "x")});
        Entries entries(1);
        EXPECT_EQ(RunDeferredLinkPass(entries.get(), listing.handle(), 1, record),
                  FSE_ACCESS_DENIED);
        EXPECT_TRUE(entries.Empty());
        EXPECT_EQ(session.Finish(), "");
    }
    {
        SCOPED_TRACE("the connection breaks during the pass");
        Session session;
        session.server()
            .Expect("PWD\r\n").Reply("257 \"/d\"\r\n")
            .Expect("CWD /d/a\r\n").Reply("250 OK.\r\n")
            .Expect("CWD /d/b\r\n");
        FsStateRecord* record = session.Begin();
        ReadListing listing({Link("a", "x"), Link("b", "y"), Link("c", "z")});
        Entries entries(3);
        EXPECT_EQ(RunDeferredLinkPass(entries.get(), listing.handle(), 3, record),
                  FSE_CONNECTION_BROKEN);
        EXPECT_TRUE(entries.Empty());
        EXPECT_EQ(session.Finish(), "");
    }
}

TEST(DeferredLinks, ServersThatReportRepresentationsAreAskedWithStat) {
    {
        Session session(HOST_BRANNOCK);
        session.server()
            .Expect("PWD\r\n").Reply("257 \"/d\"\r\n")
            .Expect("STAT /d/lib\r\n").Reply("213 DNFS\r\n")
            .Expect("STAT /d/readme\r\n").Reply("213 ANFS\r\n")
            .Expect("CWD /d\r\n").Reply("250 OK.\r\n");
        FsStateRecord* record = session.Begin();
        session.connection()->stateFlags |= STATE_STAT_REPORTS_REPRESENTATION;
        ReadListing listing({Link("lib", "x"), Link("readme", "y")}, HOST_BRANNOCK);
        Entries entries(2);
        EXPECT_EQ(RunDeferredLinkPass(entries.get(), listing.handle(), 2, record), 2);
        EXPECT_EQ(entries.Describe(2), "lib:1 readme:2");
        EXPECT_EQ(session.Finish(), "");
    }
    {
        // A refused STAT ends the pass; no probe moved the server, so nothing is changed.
        Session session(HOST_BRANNOCK);
        session.server()
            .Expect("PWD\r\n").Reply("257 \"/d\"\r\n")
            .Expect("STAT /d/lib\r\n").Reply("213 DNFS\r\n")
            .Expect("STAT /d/gone\r\n").Reply("550 No such file.\r\n");
        FsStateRecord* record = session.Begin();
        session.connection()->stateFlags |= STATE_STAT_REPORTS_REPRESENTATION;
        ReadListing listing({Link("lib", "x"), Link("gone", "y")}, HOST_BRANNOCK);
        Entries entries(2);
        EXPECT_EQ(RunDeferredLinkPass(entries.get(), listing.handle(), 2, record), FSE_INVALID);
        EXPECT_TRUE(entries.Empty());
        EXPECT_EQ(session.Finish(), "");
        EXPECT_EQ(session.server().ControlReceived().find("CWD"), std::string::npos);
    }
}

namespace {

// LIST of the sample tree's root over a passive connection: every line, CR LF cut off.
std::vector<std::string> ListRoot(FtpConnection* connection) {
    SOCKET listener = INVALID_SOCKET;
    SOCKET data = INVALID_SOCKET;
    connection->stateFlags |= STATE_PASSIVE_MODE;
    EXPECT_EQ(SendListingCommand(connection, &listener, "LIST", nullptr, &data), 0);
    std::string received;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (char buffer[4096]; std::chrono::steady_clock::now() < deadline;) {
        const int count = recv(data, buffer, sizeof buffer, 0);
        if (count == 0 || (count < 0 && WSAGetLastError() != WSAEWOULDBLOCK)) break;
        if (count > 0) received.append(buffer, static_cast<size_t>(count));
        if (count < 0) WaitReadable(data);
    }
    closesocket(data);
    EXPECT_EQ(ReadReply(connection), REPLY_COMPLETE);
    connection->stateFlags &= ~STATE_DATA_TRANSFER;
    std::vector<std::string> lines;
    for (size_t start = 0, end; (end = received.find("\r\n", start)) != std::string::npos;
         start = end + 2) {
        lines.push_back(received.substr(start, end - start));
    }
    return lines;
}

void ClassifyLinksOf(const char* kind) {
    tvtest::RealServer server(kind);
    TestConnection client(server.Port());
    ASSERT_EQ(ReadReply(client.get()), REPLY_COMPLETE);
    ASSERT_EQ(SendCommand(client.get(), ("USER " + server.User() + "\r\n").c_str()), 3);
    ASSERT_EQ(SendCommand(client.get(), ("PASS " + server.Password() + "\r\n").c_str()), 2);
    FsStateRecord record{};
    record.hostType = HOST_UNIX;
    record.connection = client.get();

    ReadListing listing(ListRoot(client.get()));
    std::set<std::string> names;
    for (const DirEntry& entry : listing.streamed()) {
        names.insert(BlockText(entry.name) + ":" + std::to_string(entry.kind));
    }
    EXPECT_TRUE(names.count("dir:1")) << ::testing::PrintToString(names);
    EXPECT_TRUE(names.count("lf.txt:2"));
    EXPECT_TRUE(names.count("file with blanks.txt:2"));
    EXPECT_TRUE(names.count("-dash-leading.txt:2"));
    ASSERT_EQ(listing.handle()->deferredCount, 2u);

    Entries entries(2);
    ASSERT_EQ(RunDeferredLinkPass(entries.get(), listing.handle(), 2, &record), 2);
    std::set<std::string> links;
    for (size_t i = 0; i < 2; ++i) {
        links.insert(BlockText(entries[i].name) + ":" + std::to_string(entries[i].kind));
    }
    EXPECT_EQ(links, (std::set<std::string>{"link-to-dir:1", "link-to-file:2"}));
    // The server is back where the listing was made.
    char directory[WORKING_DIRECTORY_SIZE];
    ASSERT_EQ(PrintWorkingDirectory(client.get(), directory, sizeof directory), 0);
    EXPECT_STREQ(directory, "/");
}

}  // namespace

TEST(DeferredLinksOnRealServers, Vsftpd) {
    TVTEST_REQUIRE_SERVER("vsftpd");
    ClassifyLinksOf("vsftpd");
}

TEST(DeferredLinksOnRealServers, Proftpd) {
    TVTEST_REQUIRE_SERVER("proftpd");
    ClassifyLinksOf("proftpd");
}

TEST(DeferredLinksOnRealServers, PureFtpd) {
    TVTEST_REQUIRE_SERVER("pure-ftpd");
    ClassifyLinksOf("pure-ftpd");
}

TEST(DeferredLinksOnRealServers, Pyftpdlib) {
    TVTEST_REQUIRE_SERVER("pyftpdlib");
    ClassifyLinksOf("pyftpdlib");
}
