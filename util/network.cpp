// The network services of the utility library: starting Winsock for the process and
// resolving a server's host name to the addresses to try.
#include "util/memory_guards.h"
#include "util/orr.h"

namespace {

bool gNetworkStarted = false;

// Removes the blocking hook again however the lookup ends.
class BlockingHookScope {
public:
    explicit BlockingHookScope(FARPROC hook) : installed_(hook != nullptr) {
        if (installed_) {
            WSASetBlockingHook(hook);
        }
    }
    ~BlockingHookScope() {
        if (installed_) {
            WSAUnhookBlockingHook();
        }
    }
    BlockingHookScope(const BlockingHookScope&) = delete;
    BlockingHookScope& operator=(const BlockingHookScope&) = delete;

private:
    bool installed_;
};

}  // namespace

// Winsock is started once and never cleaned up: connections come and go for as long as
// the host runs, and the process end releases it. A start that failed is tried again at
// the next call, since the network may have come up meanwhile.
int32_t OrrNetworkReady() {
    if (!gNetworkStarted) {
        WSADATA data;
        gNetworkStarted = WSAStartup(MAKEWORD(1, 1), &data) == 0;
    }
    return gNetworkStarted ? 1 : 0;
}

ResolvedHost OrrResolveHost(HGLOBAL nameHandle, FARPROC blockingHook, u_long* address) {
    LockedBlock<const char> name(nameHandle);
    if (!name || name.get()[0] == '\0') {
        WSASetLastError(WSAHOST_NOT_FOUND);
        return {HostLookup::Failed, nullptr};
    }
    // A dotted address needs no lookup, so it can neither wait nor be cancelled. The one
    // dotted text that inet_addr cannot tell from an error, 255.255.255.255, is no server
    // address and goes to the lookup like a name.
    u_long numeric = inet_addr(name.get());
    if (numeric != INADDR_NONE) {
        *address = numeric;
        return {HostLookup::Numeric, nullptr};
    }
    hostent* entry;
    int error = 0;
    {
        BlockingHookScope hook(blockingHook);
        entry = gethostbyname(name.get());
        if (entry == nullptr) {
            error = WSAGetLastError();
        }
    }
    if (entry == nullptr) {
        // Removing the hook must not hide why the lookup failed: the caller tells a
        // cancelled lookup from an unknown host by this code.
        WSASetLastError(error);
        return {HostLookup::Failed, nullptr};
    }
    return {HostLookup::Named, entry};
}
