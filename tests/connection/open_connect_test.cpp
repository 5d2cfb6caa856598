// Connection open up to the greeting: the name lookup (none for a numeric address), the
// addresses tried in their order, the failures before a connection record exists (refused,
// unknown name, cancelled lookup or connect), a greeting that is not a welcome, and many
// opens and closes that leave nothing behind and wait without using the processor.
#include <gtest/gtest.h>

#include <chrono>
#include <dirent.h>
#include <future>
#include <string>
#include <thread>

#include "platform/posix/winsock_internal.h"
#include "tests/connection/open_fixture.h"
#include "tests/support/loopback.h"
#include "tests/support/thread_cpu_time.h"

using namespace tvtest;
using Status = sysnet::LookupResult::Status;

namespace {

// Name lookups go to an answer of the test's own, given at once or after half a second.
int gLookups = 0;
sysnet::LookupResult gLookupAnswer;
sysnet::LookupResult TableLookup(const std::string&) {
    ++gLookups;
    return gLookupAnswer;
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
        gLookupAnswer = {};
        gLookupAnswer.status = status;
        for (const char* address : addresses) gLookupAnswer.addresses.push_back(inet_addr(address));
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

size_t OpenDescriptors() {
    size_t count = 0;
    DIR* directory = opendir("/proc/self/fd");
    while (readdir(directory) != nullptr) ++count;
    closedir(directory);
    return count;
}

LONG Open(HostRecord& record, uint16_t port, IdleCallback idle = nullptr) {
    OpenParameters parameters = Parameters(port);
    parameters.idleCallback = idle;
    LogonText user("bob"), password("pw");
    return xfsopen(record.handle(), 0, user, password, nullptr, &parameters);
}

void ExpectPlainLogon(ScriptedServer& server) {
    ExpectExchange(server.Reply(kScriptedGreeting),
                   {{"USER bob", "331 Password."}, {"PASS pw", "230 Logged in."}});
    ExpectDefaultOptions(server);
    ExpectQuit(server);
}

class OpenConnect : public ModuleTest {
protected:
    void SetUp() override { ASSERT_TRUE(module_.attached()); }
};

}  // namespace

TEST_F(OpenConnect, NumericAddressNeedsNoLookupAndNamedAddressesAreTriedInOrder) {
    {
        // The greeting comes late: the wait for it uses no processor time.
        Resolver lookups(TableLookup, Status::NotFound);
        ScriptedServer server;
        server.Pause(1000);
        ExpectPlainLogon(server);
        server.Start();
        {
            HostRecord record("127.0.0.1");
            const double cpuBefore = ThreadCpuSeconds();
            const auto started = std::chrono::steady_clock::now();
            EXPECT_EQ(Open(record, server.Port()), 0);
            EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(900));
            EXPECT_LT(ThreadCpuSeconds() - cpuBefore, 0.1);
            EXPECT_EQ(record->fsKind, FS_KIND_FTP);
            ASSERT_NE(record.connection(), nullptr);
            EXPECT_STREQ(record.connection()->greeting, "220 Scripted FTP ready.\n");
            EXPECT_EQ(record.LockCount(), 0u);
        }
        EXPECT_EQ(server.Finish(), "");
        EXPECT_EQ(gLookups, 0);
    }

    // The first address refuses (nothing listens on 127.0.0.2), the second is the server.
    Resolver lookups(TableLookup, Status::Found, {"127.0.0.2", "127.0.0.1"});
    ScriptedServer server;
    ExpectPlainLogon(server);
    server.Start();
    {
        HostRecord record("FTP.Example.ORG");
        EXPECT_EQ(Open(record, server.Port()), 0);
        EXPECT_EQ(record.HostName(), "ftp.example.org");
    }
    EXPECT_EQ(server.Finish(), "");
    EXPECT_EQ(gLookups, 1);
}

TEST_F(OpenConnect, FailuresBeforeTheConnectionLeaveTheRecordAlone) {
    const uint16_t closedPort = UnusedPort();
    struct Case {
        const char* name;
        Status status;
        std::vector<const char*> addresses;
        LONG result;
    };
    const Case cases[] = {
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
    EXPECT_EQ(record.connection(), nullptr);
    EXPECT_EQ(record.HostName(), "slow.example");
}

TEST_F(OpenConnect, IdleCallbackCancelsAConnectThatWaits) {
    sockaddr_in address;
    SOCKET listener = LoopbackListener(0, &address);
    std::vector<SOCKET> fillers;
    for (int i = 0; i < 3; ++i) {
        SOCKET filler = socket(AF_INET, SOCK_STREAM, 0);
        u_long nonBlocking = 1;
        ioctlsocket(filler, FIONBIO, &nonBlocking);
        connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address);
        fillers.push_back(filler);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));

    // Should the connect get through after all, the listener's close resets it instead of
    // leaving the open waiting for a greeting.
    std::promise<void> done;
    std::thread watchdog([listener, finished = done.get_future()] {
        finished.wait_for(std::chrono::seconds(3));
        closesocket(listener);
    });
    HostRecord record("127.0.0.1");
    gIdleCalls = 0;
    EXPECT_EQ(Open(record, ntohs(address.sin_port), CancellingIdle), FSE_CANCELLED);
    EXPECT_EQ(gIdleCalls, 1);
    EXPECT_EQ(record.connection(), nullptr);
    done.set_value();
    watchdog.join();
    for (SOCKET filler : fillers) closesocket(filler);
}

TEST_F(OpenConnect, GreetingThatIsNoWelcomeLeavesTheConnectionForClose) {
    ScriptedServer server;
    server.Reply("421 Service not available, closing control connection.\r\n");
    ExpectQuit(server);
    server.Start();
    HostRecord record("127.0.0.1");
    EXPECT_EQ(Open(record, server.Port()), FSE_UNEXPECTED_REPLY);
    FtpConnection* connection = record.connection();
    ASSERT_NE(connection, nullptr);
    EXPECT_EQ(record->fsKind, FS_KIND_FTP);
    EXPECT_EQ(connection->lastReplyCode, 421);
    EXPECT_NE(connection->stream.socket, INVALID_SOCKET);
    EXPECT_EQ(record.LockCount(), 0u);
    EXPECT_EQ(FTP_FS_Close(record.get()), 0);
    EXPECT_EQ(server.Finish(), "");
}

TEST_F(OpenConnect, ThousandOpensAndClosesLeaveNothingBehind) {
    const size_t descriptors = OpenDescriptors();
    const auto start = std::chrono::steady_clock::now();
    for (int cycle = 0; cycle < 1000; ++cycle) {
        ScriptedServer server;
        ExpectPlainLogon(server);
        server.Start();
        HostRecord record("127.0.0.1");
        ASSERT_EQ(Open(record, server.Port()), 0) << "cycle " << cycle;
        ASSERT_EQ(FTP_FS_Close(record.get()), 0);
        ASSERT_EQ(server.Finish(), "") << "cycle " << cycle;
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(OpenDescriptors(), descriptors);
}
