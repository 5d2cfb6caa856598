// Network readiness and host name resolution of the utility library.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "platform/posix/winsock_internal.h"
#include "util/orr.h"

namespace {

// A host name in a moveable block, as connection open hands it over.
struct NameBlock {
    HGLOBAL handle;
    explicit NameBlock(const char* name) : handle(GlobalAlloc(GHND, 256)) {
        std::strcpy(static_cast<char*>(GlobalLock(handle)), name);
        GlobalUnlock(handle);
    }
    ~NameBlock() { GlobalFree(handle); }
    UINT LockCount() const { return GlobalFlags(handle) & GMEM_LOCKCOUNT; }
};

int gHookCalls = 0;

INT_PTR CancellingHook() {
    ++gHookCalls;
    WSACancelBlockingCall();
    return 0;
}

// The hook that was in place, read by replacing it for a moment.
FARPROC CurrentHook() {
    FARPROC current = WSASetBlockingHook(CancellingHook);
    WSASetBlockingHook(current);
    return current;
}

// A resolver that takes its time, so that the lookup has to wait and runs the hook.
sysnet::LookupResult SlowLookup(const std::string&) {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    sysnet::LookupResult result;
    result.status = sysnet::LookupResult::Status::NotFound;
    return result;
}

struct SlowResolver {
    winsock::HostLookup previous = winsock::SetHostLookup(SlowLookup);
    ~SlowResolver() { winsock::SetHostLookup(previous); }
};

class OrrNetwork : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(OrrNetworkReady(), 0); }
};

TEST_F(OrrNetwork, NumericAddressIsStoredWithoutLookupNamesGiveTheirList) {
    NameBlock numeric("127.0.0.1");
    u_long address = 0;
    gHookCalls = 0;
    {
        // A lookup would wait here and the hook would cancel it.
        SlowResolver slow;
        ResolvedHost resolved = OrrResolveHost(numeric.handle, CancellingHook, &address);
        EXPECT_EQ(resolved.how, HostLookup::Numeric);
        EXPECT_EQ(resolved.entry, nullptr);
    }
    EXPECT_EQ(address, htonl(INADDR_LOOPBACK));
    EXPECT_EQ(gHookCalls, 0);
    EXPECT_EQ(numeric.LockCount(), 0u);

    NameBlock name("localhost");
    address = 0xDEADBEEF;
    ResolvedHost resolved = OrrResolveHost(name.handle, nullptr, &address);
    ASSERT_EQ(resolved.how, HostLookup::Named);
    ASSERT_NE(resolved.entry->h_addr_list[0], nullptr);
    u_long first;
    std::memcpy(&first, resolved.entry->h_addr_list[0], 4);
    EXPECT_EQ(first, htonl(INADDR_LOOPBACK));
    EXPECT_EQ(address, 0xDEADBEEFu);  // only a numeric name is stored
    EXPECT_EQ(name.LockCount(), 0u);
}

TEST_F(OrrNetwork, FailedLookupTellsNotFoundFromCancelled) {
    NameBlock unknown("no-such-host.invalid");
    u_long address = 0;
    ResolvedHost resolved = OrrResolveHost(unknown.handle, nullptr, &address);
    EXPECT_EQ(resolved.how, HostLookup::Failed);
    EXPECT_EQ(WSAGetLastError(), WSAHOST_NOT_FOUND);
    EXPECT_EQ(unknown.LockCount(), 0u);

    // Cancelling from the hook fails the lookup with WSAEINTR, which removing the hook
    // afterwards must neither overwrite nor leave the hook in place.
    FARPROC before = CurrentHook();
    NameBlock name("slow.example");
    gHookCalls = 0;
    {
        SlowResolver slow;
        resolved = OrrResolveHost(name.handle, CancellingHook, &address);
    }
    EXPECT_GE(gHookCalls, 1);
    EXPECT_EQ(resolved.how, HostLookup::Failed);
    EXPECT_EQ(WSAGetLastError(), WSAEINTR);
    EXPECT_EQ(name.LockCount(), 0u);
    EXPECT_EQ(CurrentHook(), before);
    EXPECT_EQ(OrrResolveHost(nullptr, nullptr, &address).how, HostLookup::Failed);
}

}  // namespace
