// What the transcripts cannot say about connections: the name lookup and the addresses
// tried, failures and cancels before a connection exists, waits that use no processor
// time, what an open and a close leave in memory, and a send that has to wait for room.
#include <gtest/gtest.h>

#include <dirent.h>

#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "platform/posix/winsock_internal.h"
#include "tests/support/host_fixture.h"
#include "tests/support/loopback.h"
#include "tests/support/thread_cpu_time.h"

using namespace tvtest;
using Status = sysnet::LookupResult::Status;

namespace {

// Name lookups get an answer of the test's own, at once or after half a second.
int gLookups = 0;
sysnet::LookupResult gAnswer;
sysnet::LookupResult TableLookup(const std::string&) {
    ++gLookups;
    return gAnswer;
}
sysnet::LookupResult SlowLookup(const std::string& name) {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    return TableLookup(name);
}

class Resolver {
public:
    Resolver(winsock::HostLookup lookup, Status status, std::vector<const char*> addresses = {})
        : previous_(winsock::SetHostLookup(lookup)) {
        gLookups = 0;
        gAnswer = {};
        gAnswer.status = status;
        for (const char* address : addresses) gAnswer.addresses.push_back(inet_addr(address));
    }
    ~Resolver() { winsock::SetHostLookup(previous_); }

private:
    winsock::HostLookup previous_;
};

int gIdleCalls = 0;
LONG CALLBACK CancellingIdle() {
    ++gIdleCalls;
    return -1;
}

LONG Open(HostRecord& record, uint16_t port, IdleCallback idle = nullptr, uint32_t flags = 0) {
    OpenParameters parameters = Parameters(port, flags, HOST_VM);
    parameters.idleCallback = idle;
    LogonText user("bob"), password("s3cr3t"), account("pr1v");
    return xfsopen(record.handle(), 0, user, password, account, &parameters);
}

// A server that lets bob in, and the QUIT of the close.
ScriptedServer& LetIn(ScriptedServer& server) {
    server.Reply("220 Scripted FTP ready.\r\n").Expect("USER bob\r\n").Reply("331 Password.\r\n");
    server.Expect("PASS s3cr3t\r\n").Reply("230 Logged in.\r\n").Expect("ACCT pr1v\r\n")
        .Reply("202 Not needed.\r\n");
    ExpectDefaultOptions(server);
    ExpectQuit(server);
    return server;
}

class Connection : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(module_.attached()); }
    AttachedModule module_;
};

}  // namespace

TEST_F(Connection, NamedAddressesAreLookedUpOnceAndTriedInOrder) {
    // The first address refuses (nothing listens on 127.0.0.2), the second is the server.
    Resolver lookups(TableLookup, Status::Found, {"127.0.0.2", "127.0.0.1"});
    ScriptedServer server;
    LetIn(server).Start();
    {
        HostRecord record("FTP.Example.ORG");
        EXPECT_EQ(Open(record, server.Port()), 0);
        EXPECT_EQ(record.HostName(), "ftp.example.org");
        EXPECT_EQ(record->fsKind, FS_KIND_FTP);
        EXPECT_EQ(record.LockCount(), 0u);
    }
    EXPECT_EQ(server.Finish(), "");
    EXPECT_EQ(gLookups, 1);
}

TEST_F(Connection, FailuresAndCancelsBeforeTheConnectionLeaveTheRecordAlone) {
    const uint16_t closedPort = UnusedPort();
    struct Case {
        const char* name;
        Status status;
        std::vector<const char*> addresses;
        LONG result;
    };
    const Case cases[] = {
        // A numeric address needs no lookup: the table's "not found" is never asked.
        {"127.0.0.1", Status::NotFound, {}, FsErrorFromSocket(WSAECONNREFUSED)},
        {"refusing.example", Status::Found, {"127.0.0.2", "127.0.0.1"}, -61},
        {"no-such-host.example", Status::NotFound, {}, FSE_HOST_NOT_FOUND},
        {"no-address.example", Status::Found, {}, FSE_HOST_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Resolver lookups(TableLookup, c.status, c.addresses);
        HostRecord record(c.name);
        EXPECT_EQ(Open(record, closedPort), c.result);
        EXPECT_EQ(record.connection(), nullptr);
        EXPECT_EQ(record->fsKind, FS_KIND_LOCAL);
        EXPECT_EQ(record.LockCount(), 0u);
    }
    // The system's own lookup of a name that cannot exist.
    HostRecord unknown("no-such-host.invalid");
    EXPECT_EQ(Open(unknown, closedPort), FSE_HOST_NOT_FOUND);

    // A lookup that takes its time runs the blocking hook, whose idle callback cancels it.
    Resolver slow(SlowLookup, Status::Found, {"127.0.0.1"});
    HostRecord record("slow.example");
    gIdleCalls = 0;
    EXPECT_EQ(Open(record, closedPort, CancellingIdle), FSE_CANCELLED);
    EXPECT_EQ(gIdleCalls, 1);
    EXPECT_EQ(record.HostName(), "slow.example");

    // So is a connect that waits on a listener whose queue is full.
    sockaddr_in address;
    SOCKET listener = LoopbackListener(0, &address);
    std::vector<SOCKET> fillers;
    for (int i = 0; i < 3; ++i) {
        fillers.push_back(socket(AF_INET, SOCK_STREAM, 0));
        u_long nonBlocking = 1;
        ioctlsocket(fillers.back(), FIONBIO, &nonBlocking);
        connect(fillers.back(), reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    // Should the connect get through after all, the listener's close resets it.
    std::promise<void> done;
    std::thread watchdog([listener, finished = done.get_future()] {
        finished.wait_for(std::chrono::seconds(3));
        closesocket(listener);
    });
    HostRecord waiting("127.0.0.1");
    gIdleCalls = 0;
    EXPECT_EQ(Open(waiting, ntohs(address.sin_port), CancellingIdle), FSE_CANCELLED);
    EXPECT_EQ(gIdleCalls, 1);
    EXPECT_EQ(waiting.connection(), nullptr);
    // Without a cancel the time-out ends it.
    gModule.timeoutSeconds = 1;
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(Open(waiting, ntohs(address.sin_port)), FSE_TIMED_OUT);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(1500));
    gModule.timeoutSeconds = TIMEOUT_SECONDS_DEFAULT;
    done.set_value();
    watchdog.join();
    for (SOCKET filler : fillers) closesocket(filler);
}

namespace {

size_t OpenDescriptors() {
    size_t count = 0;
    DIR* directory = opendir("/proc/self/fd");
    while (readdir(directory) != nullptr) ++count;
    closedir(directory);
    return count;
}

}  // namespace

TEST_F(Connection, CloseReleasesEverythingAtOnceEvenAfterTheServerWentAway) {
    enum class End { Answers, Closes, Resets };
    for (End end : {End::Answers, End::Closes, End::Resets}) {
        SCOPED_TRACE(static_cast<int>(end));
        ScriptedServer server;
        server.Reply("220 Scripted FTP ready.\r\n").Expect("USER bob\r\n").Reply("230 In.\r\n");
        ExpectDefaultOptions(server);
        if (end == End::Answers) ExpectQuit(server);
        if (end == End::Closes) server.Close();
        if (end == End::Resets) server.Reset();
        server.Start();
        HostRecord record("127.0.0.1");
        ASSERT_EQ(Open(record, server.Port()), 0);
        FtpConnection* connection = record.connection();
        const HGLOBAL blocks[] = {GlobalHandle(connection->greeting),
                                  GlobalHandle(connection->replyText), GlobalHandle(connection)};
        // The close destroys the protocol window, and leaves a stale handle alone.
        HWND window = CreateWindowExA(0, "Static", "log", 0, 0, 0, 10, 10, nullptr, nullptr,
                                      nullptr, nullptr);
        connection->protocolWindow = end == End::Answers ? window : reinterpret_cast<HWND>(0x7777);
        if (end != End::Answers) {
            EXPECT_EQ(server.Finish(), "");
        }
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(FTP_FS_Close(record.get()), 0);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
        EXPECT_EQ(record.connection(), nullptr);
        EXPECT_EQ(IsWindow(window), end != End::Answers);
        for (HGLOBAL block : blocks) EXPECT_EQ(GlobalFlags(block), UINT(GMEM_INVALID_HANDLE));
        EXPECT_EQ(server.Finish(), "");
        DestroyWindow(window);
    }

    // A thousand opens and closes leave no descriptor behind and take little time.
    const size_t descriptors = OpenDescriptors();
    const auto start = std::chrono::steady_clock::now();
    for (int cycle = 0; cycle < 1000; ++cycle) {
        ScriptedServer server;
        LetIn(server).Start();
        HostRecord record("127.0.0.1");
        ASSERT_EQ(Open(record, server.Port()), 0) << "cycle " << cycle;
        ASSERT_EQ(FTP_FS_Close(record.get()), 0);
        ASSERT_EQ(server.Finish(), "") << "cycle " << cycle;
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(OpenDescriptors(), descriptors);
}

TEST_F(Connection, RefusedUserNameWithoutThePromptTemplateEndsTheOpen) {
    // The refused name cannot be corrected: the open ends as if the prompt had been
    // cancelled instead of asking the server again for ever.
    const HINSTANCE resources = gModule.resourceInstance;
    gModule.resourceInstance = GetModuleHandleA(nullptr);
    ScriptedServer server;
    server.Reply("220 Scripted FTP ready.\r\n").Expect("USER bob\r\n").Reply("530 No.\r\n");
    ExpectQuit(server);
    server.Start();
    {
        HostRecord record("127.0.0.1");
        EXPECT_EQ(Open(record, server.Port()), FSE_USER_PROMPT_CANCELLED);
    }
    gModule.resourceInstance = resources;
    EXPECT_EQ(server.Finish(), "");
}

TEST(ControlStream, SendWaitsForRoomWithoutSpinningAndReportsTheCountIn16Bits) {
    const std::string block(1024 * 1024 + 5, 'q');
    ScriptedServer server;
    server.Pause(300).ExpectAny(block.size());
    server.Start();
    TestConnection client(server.Port());
    int small = 4096;
    setsockopt(client->stream.socket, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<char*>(&small),
               sizeof small);
    const double cpuBefore = ThreadCpuSeconds();
    EXPECT_EQ(ControlStreamSend(client.stream(), block.data(), static_cast<int32_t>(block.size())),
              static_cast<int32_t>(block.size() & 0xffff));
    EXPECT_LT(ThreadCpuSeconds() - cpuBefore, 0.15);
    EXPECT_EQ(server.Finish(), "");
    EXPECT_EQ(server.ControlReceived(), block);
}
