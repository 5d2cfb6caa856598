// Winsock start-up and clean-up on the POSIX platform. The system's sockets need no
// start-up, so the other calls work without it; WSAStartup reports version 1.1 and
// WSACleanup balances it, as the module's start-up and end expect.
#include <atomic>
#include <cstring>

#include "platform/posix/winsock_internal.h"

namespace {

std::atomic<int> startups{0};

void CopyText(char* out, size_t size, const char* text) {
    std::strncpy(out, text, size - 1);
    out[size - 1] = '\0';
}

}  // namespace

int WSAAPI WSAStartup(WORD version, LPWSADATA data) {
    // WSAStartup returns its error instead of setting the last error.
    if (data == nullptr) return WSAEFAULT;
    const BYTE major = LOBYTE(version);
    const BYTE minor = HIBYTE(version);
    std::memset(data, 0, sizeof *data);
    data->wHighVersion = MAKEWORD(1, 1);
    if (major < 1) return WSAVERNOTSUPPORTED;
    data->wVersion = (major == 1 && minor == 0) ? MAKEWORD(1, 0) : MAKEWORD(1, 1);
    CopyText(data->szDescription, sizeof data->szDescription,
             "Windows Sockets 1.1 over POSIX sockets");
    CopyText(data->szSystemStatus, sizeof data->szSystemStatus, "Running");
    data->iMaxSockets = 32767;
    data->iMaxUdpDg = 65467;
    data->lpVendorInfo = nullptr;
    ++startups;
    return 0;
}

int WSAAPI WSACleanup() {
    int current = startups.load();
    do {
        if (current == 0) return winsock::Fail(WSANOTINITIALISED);
    } while (!startups.compare_exchange_weak(current, current - 1));
    return 0;
}
