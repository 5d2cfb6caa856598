// Local socket pairs for the fuzz targets. A pair needs no listener and leaves no TIME_WAIT
// behind, where a fuzzing run opens millions of connections; loopback TCP would run out of
// ports within a minute. Kept apart from every file that includes the platform header: the
// system's socket declarations clash with Winsock's.
#include <sys/socket.h>

#include <cerrno>

namespace tvfuzz {

namespace {

// Room for the whole listing a fuzz input holds, written before the module reads any of it.
constexpr int kSendBufferBytes = 1 << 20;

}  // namespace

bool OpenLocalSocketPair(int* moduleEnd, int* serverEnd) {
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, ends) != 0) return false;
    for (int end : ends) {
        setsockopt(end, SOL_SOCKET, SO_SNDBUF, &kSendBufferBytes, sizeof kSendBufferBytes);
    }
    *moduleEnd = ends[0];
    *serverEnd = ends[1];
    return true;
}

void DiscardUntilClosed(int serverEnd) {
    char bytes[4096];
    for (;;) {
        const ssize_t received = recv(serverEnd, bytes, sizeof bytes, 0);
        if (received > 0) continue;
        if (received < 0 && errno == EINTR) continue;
        return;
    }
}

}  // namespace tvfuzz
