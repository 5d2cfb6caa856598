// The bare FTP client of the transfer benchmarks (see bare_client.h): blocking sockets, no
// buffering beyond the one block.
#include "bench/bare_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tvbench {

namespace {

bool SendText(int socket, const std::string& text) {
    size_t sent = 0;
    while (sent < text.size()) {
        const ssize_t put = ::send(socket, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        sent += static_cast<size_t>(put);
    }
    return true;
}

int ConnectTo(uint32_t address, uint16_t port) {
    const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket < 0) return -1;
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    peer.sin_addr.s_addr = htonl(address);
    if (::connect(socket, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0) {
        ::close(socket);
        return -1;
    }
    return socket;
}

}  // namespace

BareClient::BareClient(const std::string& host, uint16_t port, const std::string& user,
                       const std::string& password) {
    in_addr address{};
    if (inet_pton(AF_INET, host.c_str(), &address) != 1) return;
    control_ = ConnectTo(ntohl(address.s_addr), port);
    if (control_ < 0) return;
    const bool loggedOn = ReadReply() == 220 && Command("USER " + user) == 331 &&
                          Command("PASS " + password) == 230 && Command("TYPE I") == 200;
    if (!loggedOn) {
        ::close(control_);
        control_ = -1;
    }
}

BareClient::~BareClient() {
    if (control_ < 0) return;
    Command("QUIT");
    ::close(control_);
}

int BareClient::Command(const std::string& line) {
    if (!SendText(control_, line + "\r\n")) return -1;
    return ReadReply();
}

int BareClient::ReadReply() {
    // A reply ends with a line of its code and a blank; "ddd-" opens a multi-line one.
    for (;;) {
        size_t end;
        while ((end = pending_.find("\r\n")) == std::string::npos) {
            char bytes[512];
            const ssize_t got = ::recv(control_, bytes, sizeof bytes, 0);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) return -1;
            pending_.append(bytes, static_cast<size_t>(got));
        }
        std::string line = pending_.substr(0, end);
        pending_.erase(0, end + 2);
        if (line.size() >= 4 && line[3] == ' ' && line[0] >= '1' && line[0] <= '5') {
            lastReply_ = line;
            return std::atoi(line.substr(0, 3).c_str());
        }
    }
}

int BareClient::OpenPassive() {
    if (Command("PASV") != 227) return -1;
    const size_t open = lastReply_.find('(');
    unsigned h1, h2, h3, h4, p1, p2;
    if (open == std::string::npos ||
        std::sscanf(lastReply_.c_str() + open, "(%u,%u,%u,%u,%u,%u)", &h1, &h2, &h3, &h4, &p1,
                    &p2) != 6) {
        return -1;
    }
    return ConnectTo((h1 << 24) | (h2 << 16) | (h3 << 8) | h4, static_cast<uint16_t>(p1 * 256 + p2));
}

int BareClient::ListenActive() {
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (::getsockname(control_, reinterpret_cast<sockaddr*>(&local), &length) != 0) return -1;
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener < 0) return -1;
    local.sin_port = 0;
    length = sizeof local;
    if (::bind(listener, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
        ::listen(listener, 1) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
        ::close(listener);
        return -1;
    }
    const uint32_t address = ntohl(local.sin_addr.s_addr);
    const unsigned port = ntohs(local.sin_port);
    char line[64];
    std::snprintf(line, sizeof line, "PORT %u,%u,%u,%u,%u,%u", address >> 24, (address >> 16) & 255,
                  (address >> 8) & 255, address & 255, port >> 8, port & 255);
    if (Command(line) != 200) {
        ::close(listener);
        return -1;
    }
    return listener;
}

int BareClient::StartTransfer(const std::string& command, DataMode mode) {
    const bool active = mode == DataMode::Active;
    const int socket = active ? ListenActive() : OpenPassive();
    if (socket < 0) return -1;
    const int started = Command(command);
    if (started != 150 && started != 125) {
        ::close(socket);
        return -1;
    }
    if (!active) return socket;
    const int data = ::accept4(socket, nullptr, nullptr, SOCK_CLOEXEC);
    ::close(socket);
    return data;
}

int64_t BareClient::EndTransfer(int data, int64_t total) {
    ::close(data);
    return ReadReply() == 226 ? total : -1;
}

int64_t BareClient::Receive(const std::string& command, int localFile, DataMode mode) {
    const int data = StartTransfer(command, mode);
    if (data < 0) return -1;
    int64_t total = 0;
    char block[kBareBlockSize];
    for (;;) {
        const ssize_t got = ::recv(data, block, sizeof block, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got == 0) break;
        if (got < 0 || (localFile >= 0 && ::write(localFile, block, static_cast<size_t>(got)) != got)) {
            total = -1;
            break;
        }
        total += got;
    }
    const int64_t ended = EndTransfer(data, total);
    return total < 0 ? -1 : ended;
}

int64_t BareClient::Download(const std::string& path, int localFile, DataMode mode) {
    return Receive("RETR " + path, localFile, mode);
}

int64_t BareClient::List(const std::string& path) { return Receive("LIST " + path, -1, DataMode::Passive); }

int64_t BareClient::Upload(int localFile, const std::string& path, DataMode mode) {
    const int data = StartTransfer("STOR " + path, mode);
    if (data < 0) return -1;
    int64_t total = 0;
    char block[kBareBlockSize];
    for (;;) {
        const ssize_t got = ::read(localFile, block, sizeof block);
        if (got < 0 && errno == EINTR) continue;
        if (got == 0) break;
        // A blocking send takes the whole block, a signal aside.
        if (got < 0 || ::send(data, block, static_cast<size_t>(got), MSG_NOSIGNAL) != got) {
            total = -1;
            break;
        }
        total += got;
    }
    const int64_t ended = EndTransfer(data, total);
    return total < 0 ? -1 : ended;
}

}  // namespace tvbench
