// Host names in Winsock's terms: gethostbyname, a blocking call that runs the blocking hook
// while the lookup waits and that WSACancelBlockingCall ends with WSAEINTR, and its
// per-thread host entry (IPv4 addresses only); gethostname.
//
// The system's resolver cannot be interrupted, so the lookup runs on a worker thread while
// the calling thread waits in slices and runs the hook, as Winsock does inside its own
// blocking lookup. That thread belongs to the platform; the module itself starts none. The
// worker shares one record with the caller, each holding a reference: a cancelled caller
// drops its reference and returns at once, and the worker finishes into the record it still
// owns, which goes away with the worker's reference. Nothing leaks and nothing is written to
// memory the caller has given up.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/posix/winsock_internal.h"

namespace {

sysnet::LookupResult SystemLookup(const std::string& name) { return sysnet::LookupIpv4(name); }

std::atomic<winsock::HostLookup> hostLookup{SystemLookup};

struct PendingLookup {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::string name;
    winsock::HostLookup lookup = nullptr;
    sysnet::LookupResult result;
};

void RunLookup(std::shared_ptr<PendingLookup> pending) {
    sysnet::LookupResult result;
    try {
        result = pending->lookup(pending->name);
    } catch (...) {
        result = sysnet::LookupResult{};
        result.status = sysnet::LookupResult::Status::NoMemory;
    }
    const std::lock_guard<std::mutex> lock(pending->mutex);
    pending->result = std::move(result);
    pending->done = true;
    pending->finished.notify_all();
}

// Winsock keeps at most this many addresses in a host entry.
constexpr size_t kMaxAddresses = 35;

// The host entry gethostbyname returns: one per thread, valid until the thread's next call.
struct HostEntryStore {
    std::string name;
    std::vector<in_addr> addresses;
    std::vector<char*> addressList;
    char* aliases[1] = {nullptr};
    hostent entry{};
};

thread_local HostEntryStore hostEntryStore;

hostent* FillHostEntry(const std::string& askedName, const sysnet::LookupResult& result) {
    HostEntryStore& store = hostEntryStore;
    store.name = result.canonicalName.empty() ? askedName : result.canonicalName;
    store.addresses.clear();
    store.addressList.clear();
    for (uint32_t address : result.addresses) {
        if (store.addresses.size() == kMaxAddresses) break;
        in_addr entry{};
        entry.s_addr = address;
        store.addresses.push_back(entry);
    }
    for (in_addr& address : store.addresses) {
        store.addressList.push_back(reinterpret_cast<char*>(&address));
    }
    store.addressList.push_back(nullptr);
    store.entry.h_name = store.name.data();
    store.entry.h_aliases = store.aliases;
    store.entry.h_addrtype = AF_INET;
    store.entry.h_length = static_cast<short>(sizeof(in_addr));
    store.entry.h_addr_list = store.addressList.data();
    return &store.entry;
}

// Waits for the worker in slices, running the blocking hook between them. false: the call
// was cancelled (WSAEINTR set).
bool AwaitLookup(winsock::BlockingCall& call, PendingLookup& pending,
                 sysnet::LookupResult* result) {
    std::unique_lock<std::mutex> lock(pending.mutex);
    const auto slice = std::chrono::milliseconds(winsock::kBlockingSliceMs);
    while (!pending.finished.wait_for(lock, slice, [&] { return pending.done; })) {
        lock.unlock();
        const bool cancelled = call.RunHook();
        lock.lock();
        if (cancelled) {
            winsock::Fail(WSAEINTR);
            return false;
        }
    }
    *result = std::move(pending.result);
    return true;
}

hostent* LookUp(const char* name) {
    winsock::BlockingCall call;
    if (!call.Started()) return nullptr;
    auto pending = std::make_shared<PendingLookup>();
    pending->name = name;
    pending->lookup = hostLookup.load();
    try {
        std::thread(RunLookup, pending).detach();
    } catch (const std::system_error&) {
        winsock::Fail(WSAENOBUFS);
        return nullptr;
    }
    sysnet::LookupResult result;
    if (!AwaitLookup(call, *pending, &result)) return nullptr;
    const int error = winsock::ErrorFromLookup(result);
    if (error != 0) {
        winsock::Fail(error);
        return nullptr;
    }
    return FillHostEntry(pending->name, result);
}

}  // namespace

struct hostent* WSAAPI gethostbyname(const char* name) {
    try {
        // No name, or an empty one, asks for this machine, as on Windows.
        char localName[256];
        if (name == nullptr || *name == '\0') {
            if (sysnet::HostName(localName, sizeof localName) == -1) {
                winsock::Fail(WSANO_RECOVERY);
                return nullptr;
            }
            localName[sizeof localName - 1] = '\0';
            name = localName;
        }
        return LookUp(name);
    } catch (const std::bad_alloc&) {
        winsock::Fail(WSAENOBUFS);
        return nullptr;
    }
}

int WSAAPI gethostname(char* name, int length) {
    if (name == nullptr || length <= 0) return winsock::Fail(WSAEFAULT);
    char localName[256];
    if (sysnet::HostName(localName, sizeof localName) == -1) {
        return winsock::Fail(WSANO_RECOVERY);
    }
    localName[sizeof localName - 1] = '\0';
    const size_t needed = std::strlen(localName) + 1;
    if (needed > static_cast<size_t>(length)) return winsock::Fail(WSAEFAULT);
    std::memcpy(name, localName, needed);
    return 0;
}

namespace winsock {

HostLookup SetHostLookup(HostLookup lookup) {
    return hostLookup.exchange(lookup != nullptr ? lookup : SystemLookup);
}

}  // namespace winsock
