// Host name resolution of the utility library below what connection open shows: a numeric
// name is stored without a lookup, and a lookup cancelled from the blocking hook keeps its
// WSAEINTR while the hook is taken away again; the name block is never left locked.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "platform/posix/winsock_internal.h"
#include "util/orr.h"

namespace {

int gHookCalls = 0;

INT_PTR CancellingHook() {
    ++gHookCalls;
    WSACancelBlockingCall();
    return 0;
}

// A resolver that takes its time, so that a lookup has to wait and runs the hook.
sysnet::LookupResult SlowLookup(const std::string&) {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    sysnet::LookupResult result;
    result.status = sysnet::LookupResult::Status::NotFound;
    return result;
}

}  // namespace

TEST(OrrNetwork, NumericNamesAreStoredUnaskedAndACancelledLookupKeepsItsError) {
    ASSERT_NE(OrrNetworkReady(), 0);
    const winsock::HostLookup previousLookup = winsock::SetHostLookup(SlowLookup);
    const FARPROC hookBefore = WSASetBlockingHook(CancellingHook);
    WSASetBlockingHook(hookBefore);
    HGLOBAL name = GlobalAlloc(GHND, 256);
    u_long address = 0;
    auto resolve = [&](const char* text) {
        std::strcpy(static_cast<char*>(GlobalLock(name)), text);
        GlobalUnlock(name);
        const ResolvedHost resolved = OrrResolveHost(name, CancellingHook, &address);
        EXPECT_EQ(GlobalFlags(name) & GMEM_LOCKCOUNT, 0u) << text;
        EXPECT_EQ(resolved.entry, nullptr) << text;
        return resolved.how;
    };
    gHookCalls = 0;
    EXPECT_EQ(resolve("127.0.0.1"), HostLookup::Numeric);
    EXPECT_EQ(address, htonl(INADDR_LOOPBACK));
    EXPECT_EQ(gHookCalls, 0);
    EXPECT_EQ(resolve("slow.example"), HostLookup::Failed);
    EXPECT_EQ(WSAGetLastError(), WSAEINTR);
    EXPECT_GE(gHookCalls, 1);
    EXPECT_EQ(address, htonl(INADDR_LOOPBACK)) << "only a numeric name is stored";
    EXPECT_EQ(WSASetBlockingHook(hookBefore), hookBefore) << "the hook is taken away again";
    EXPECT_EQ(OrrResolveHost(nullptr, nullptr, &address).how, HostLookup::Failed);
    winsock::SetHostLookup(previousLookup);
    GlobalFree(name);
}
