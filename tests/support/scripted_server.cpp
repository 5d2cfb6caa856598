// The scripted FTP server's thread, over plain POSIX sockets on the loopback interface.
#include "tests/support/scripted_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>

namespace tvtest {

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kSliceMs = 50;
constexpr int kFirstClientTimeoutMs = 90000;

void CloseSocket(int& fd, bool reset = false) {
    if (fd < 0) return;
    if (reset) {
        linger abort{1, 0};
        setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    }
    ::close(fd);
    fd = -1;
}

int NonBlocking(int fd) {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    return fd;
}

// Printable form of bytes for failure messages.
std::string Show(std::string_view bytes) {
    std::string out;
    for (unsigned char c : bytes.substr(0, 200)) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
        out += c >= 32 && c < 127 && c != '\\' ? std::string(1, static_cast<char>(c)) : escaped;
    }
    return "\"" + out + (bytes.size() > 200 ? "...\"" : "\"");
}

int ListenOnLoopback(uint16_t* port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), length) < 0 ||
        ::listen(fd, 4) < 0 || getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length)) {
        CloseSocket(fd);
        return -1;
    }
    *port = ntohs(address.sin_port);
    return fd;
}

}  // namespace

struct ScriptedServer::Impl {
    struct Entry {
        Step step;
        std::string bytes, after;
        size_t count;
    };
    std::vector<Entry> steps;
    int listener = -1, control = -1, passiveListener = -1, data = -1;
    uint16_t port = 0;
    std::thread thread;
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::condition_variable scriptEnded;
    bool ended = false;
    // Recorded (under mutex).
    std::string controlReceived, failures;
    std::vector<UrgentByte> urgent;
    std::vector<std::string> dataReceived;
    // Received control bytes not yet consumed by a step (thread only).
    std::string pending;
    // The data connection stays open, unread, until the server is stopped (thread only).
    bool keepData = false;
    size_t urgentConsumed = 0;

    bool Fail(const std::string& message) {
        std::lock_guard lock(mutex);
        failures += message + "\n";
        return false;
    }
    static Clock::time_point Deadline(int milliseconds = kStepTimeoutMs) {
        return Clock::now() + std::chrono::milliseconds(milliseconds);
    }
    bool TimeLeft(Clock::time_point deadline) const { return !stop && Clock::now() < deadline; }
    // Waits at most a slice (never past the deadline) for events on fd; what happened.
    short PollSlice(int fd, short events, Clock::time_point deadline) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd entry{fd, events, 0};
        int wait = static_cast<int>(std::clamp<long>(left.count(), 0, kSliceMs));
        return ::poll(&entry, 1, wait) > 0 ? entry.revents : 0;
    }

    int AcceptFrom(int from, int milliseconds = kStepTimeoutMs) {
        for (auto deadline = Deadline(milliseconds); TimeLeft(deadline);) {
            if (PollSlice(from, POLLIN, deadline) == 0) continue;
            int fd = ::accept(from, nullptr, nullptr);
            if (fd < 0) continue;
            int on = 1;
            setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            return NonBlocking(fd);
        }
        return -1;
    }

    // Reads what the control connection has (normal bytes into pending, urgent bytes into
    // the urgent record) until `done` holds. False, with the reason, on close, error, stop
    // or time-out.
    bool ReadControlUntil(const std::function<bool()>& done, std::string* why) {
        for (auto deadline = Deadline(); !done();) {
            if (!TimeLeft(deadline)) {
                *why = stop ? "the server was stopped" : "timed out";
                return false;
            }
            short revents = PollSlice(control, POLLIN | POLLPRI, deadline);
            if (revents == 0) continue;
            int atMark = 0;
            if ((revents & POLLPRI) && ioctl(control, SIOCATMARK, &atMark) == 0 && atMark) {
                char byte;
                if (::recv(control, &byte, 1, MSG_OOB) == 1) {
                    std::lock_guard lock(mutex);
                    urgent.push_back({controlReceived.size(), byte});
                    continue;
                }
                if (errno == EAGAIN || errno == EWOULDBLOCK) {
                    // The mark arrived ahead of its byte: give the byte a moment.
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                    continue;
                }
            }
            // A normal receive stops at the urgent mark, so the offset recorded for the
            // urgent byte is exact.
            char buffer[65536];
            ssize_t got = ::recv(control, buffer, sizeof buffer, 0);
            if (got > 0) {
                pending.append(buffer, static_cast<size_t>(got));
                std::lock_guard lock(mutex);
                controlReceived.append(buffer, static_cast<size_t>(got));
            } else if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
                *why = got == 0 ? "the client closed the control connection"
                                : std::string("control receive failed: ") + std::strerror(errno);
                return false;
            } else if (revents & POLLPRI) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
        return true;
    }

    bool SendAll(int fd, std::string_view bytes, const char* what) {
        auto deadline = Deadline();
        for (size_t sent = 0; sent < bytes.size();) {
            ssize_t result = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (result > 0) {
                sent += static_cast<size_t>(result);
            } else if (result < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && TimeLeft(deadline)) {
                PollSlice(fd, POLLOUT, deadline);
            } else {
                return Fail(std::string("sending on the ") + what + " connection failed");
            }
        }
        return true;
    }

    bool Expect(const std::string& expected) {
        std::string why;
        auto deviates = [&] {
            return pending.compare(0, std::min(pending.size(), expected.size()), expected, 0,
                                   std::min(pending.size(), expected.size())) != 0;
        };
        bool complete = ReadControlUntil([&] { return deviates() || pending.size() >= expected.size(); }, &why);
        if (complete && !deviates()) {
            pending.erase(0, expected.size());
            return true;
        }
        return Fail("expected " + Show(expected) + ", got " +
                    Show(pending.substr(0, pending.find('\n') + 1)) + (complete ? "" : " (" + why + ")"));
    }

    bool ExpectLineStartingWith(const std::string& prefix) {
        std::string why;
        if (!ReadControlUntil([&] { return pending.find('\n') != std::string::npos; }, &why)) {
            return Fail("expected a line starting " + Show(prefix) + ", got " + Show(pending) + " (" + why + ")");
        }
        std::string line = pending.substr(0, pending.find('\n') + 1);
        pending.erase(0, line.size());
        return line.compare(0, prefix.size(), prefix) == 0 ||
               Fail("expected a line starting " + Show(prefix) + ", got " + Show(line));
    }

    bool OpenPassive(const Entry& step) {
        uint16_t passivePort = 0;
        passiveListener = ListenOnLoopback(&passivePort);
        if (passiveListener < 0) return Fail("cannot open the passive listener");
        return SendAll(control, step.bytes + (step.bytes.ends_with(',') ? "" : "127,0,0,1,") + std::to_string(passivePort >> 8) + "," +
                                    std::to_string(passivePort & 0xff) + step.after, "control");
    }

    // Waits for the client to close the control connection, recording what comes on it;
    // with `flood`, sends it over and over meanwhile.
    bool HoldUntilClosed(const std::string& flood) {
        std::string why;
        bool broken = false;
        ReadControlUntil([&] {
            broken = !flood.empty() && ::send(control, flood.data(), flood.size(), MSG_NOSIGNAL) < 0 &&
                     errno != EAGAIN && errno != EWOULDBLOCK;
            return broken;
        }, &why);
        return broken || why.starts_with("the client closed") || why.starts_with("control receive") ||
               Fail("the client did not close the connection");
    }

    // Connects to the address of the last PORT command, or to the client's end of the
    // control connection, its default data port. An intruder connects from 127.0.0.2,
    // sends its bytes and closes again.
    bool ConnectBack(bool defaultPort, const std::string* intrusion = nullptr) {
        sockaddr_in address{};
        socklen_t length = sizeof address;
        std::string received = ControlReceivedCopy();
        size_t at = received.rfind("PORT ");
        unsigned h1, h2, h3, h4, p1, p2;
        if (defaultPort) {
            getpeername(control, reinterpret_cast<sockaddr*>(&address), &length);
        } else if (at == std::string::npos ||
                   std::sscanf(received.c_str() + at + 5, "%u,%u,%u,%u,%u,%u", &h1, &h2, &h3,
                               &h4, &p1, &p2) != 6) {
            return Fail("no PORT command to connect to");
        } else {
            address.sin_family = AF_INET;
            address.sin_port = htons(static_cast<uint16_t>((p1 << 8) | p2));
            address.sin_addr.s_addr = htonl((h1 << 24) | (h2 << 16) | (h3 << 8) | h4);
        }
        int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        // The port the system gives this connection may later serve another test's control
        // connection, whose default data port is that same port: a client binds it with
        // reuse-address, which a connection in TIME-WAIT refuses for a minute unless it had
        // reuse-address too.
        const int reuse = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
        if (intrusion != nullptr) {
            sockaddr_in from{};
            from.sin_family = AF_INET;
            from.sin_addr.s_addr = htonl(0x7f000002);
            ::bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from);
        }
        // Bounded as every wait of a step; a client that accepted and at once broke the
        // connection off did connect.
        const timeval limit{kStepTimeoutMs / 1000, 0};
        setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) < 0 && errno != ECONNRESET) {
            CloseSocket(fd);
            return Fail("cannot connect to the client's data port");
        }
        NonBlocking(fd);
        if (intrusion != nullptr) {
            // Whether the client takes the bytes is for the test to see.
            ::send(fd, intrusion->data(), intrusion->size(), MSG_NOSIGNAL);
            CloseSocket(fd);
            return true;
        }
        return OpenedData(fd);
    }

    bool OpenedData(int fd) {
        data = fd;
        std::lock_guard lock(mutex);
        dataReceived.emplace_back();
        return true;
    }

    bool EnsureData() {
        if (data >= 0) return true;
        if (passiveListener < 0) return Fail("a data step without a data connection");
        int fd = AcceptFrom(passiveListener);
        CloseSocket(passiveListener);
        return fd >= 0 ? OpenedData(fd) : Fail("the client did not connect to the passive address");
    }

    bool DataReceiveUntilClose() {
        for (auto deadline = Deadline(); TimeLeft(deadline);) {
            if (PollSlice(data, POLLIN, deadline) == 0) continue;
            char buffer[65536];
            ssize_t got = ::recv(data, buffer, sizeof buffer, 0);
            if (got == 0) {
                CloseSocket(data);
                return true;
            }
            if (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return Fail("data receive failed");
            if (got < 0) continue;
            std::lock_guard lock(mutex);
            dataReceived.back().append(buffer, static_cast<size_t>(got));
            deadline = Deadline();
        }
        return Fail("the client did not close the data connection");
    }

    bool Play(const Entry& step) {
        std::string why;
        switch (step.step) {
            case Step::Send: return control >= 0 && SendAll(control, step.bytes, "control");
            case Step::Expect: return Expect(step.bytes);
            case Step::Prefix: return ExpectLineStartingWith(step.bytes);
            case Step::Any:
                if (!ReadControlUntil([&] { return pending.size() >= step.count; }, &why)) {
                    return Fail("expected " + std::to_string(step.count) + " bytes, got " +
                                std::to_string(pending.size()) + " (" + why + ")");
                }
                pending.erase(0, step.count);
                return true;
            case Step::Urgent:
                if (!ReadControlUntil([&] {
                        std::lock_guard lock(mutex);
                        return urgent.size() >= urgentConsumed + step.count;
                    }, &why)) {
                    return Fail("expected " + std::to_string(step.count) + " urgent bytes (" + why + ")");
                }
                urgentConsumed += step.count;
                return true;
            case Step::Pause:
                for (auto until = Clock::now() + std::chrono::milliseconds(step.count);
                     !stop && Clock::now() < until;) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(std::min<size_t>(kSliceMs, step.count)));
                }
                return !stop;
            case Step::Close: CloseSocket(control); return true;
            case Step::Reset: CloseSocket(control, true); return true;
            case Step::Passive: return OpenPassive(step);
            case Step::Port: return ConnectBack(false);
            case Step::DefaultPort: return ConnectBack(true);
            case Step::DataSend: return EnsureData() && SendAll(data, step.bytes, "data");
            case Step::DataReceive: return EnsureData() && DataReceiveUntilClose();
            case Step::Hold: return HoldUntilClosed({});
            case Step::Flood: return HoldUntilClosed(step.bytes);
            case Step::Intruder: return ConnectBack(false, &step.bytes);
            case Step::DataHold: keepData = true; return EnsureData();
            case Step::DataClose:
            case Step::DataReset:
                if (passiveListener >= 0 && !EnsureData()) return false;
                CloseSocket(data, step.step == Step::DataReset);
                return true;
        }
        return false;
    }

    void Run() {
        // The client may be a program that starts slowly (ftpsh.exe under Wine sets up its
        // prefix first); only a client that never comes waits this long.
        control = AcceptFrom(listener, kFirstClientTimeoutMs);
        bool followed = control >= 0 || Fail("no client connected");
        for (size_t i = 0; followed && i < steps.size(); ++i) {
            followed = Play(steps[i]);
            if (!followed && stop) Fail("stopped before the transcript ended");
        }
        if (!followed) {
            // Close everything at once so that a client waiting for a reply sees the close
            // instead of waiting for ever.
            CloseSocket(data);
            CloseSocket(control);
        }
        {
            std::lock_guard lock(mutex);
            ended = true;
        }
        scriptEnded.notify_all();
        // Keep recording what the client sends until the server is stopped.
        std::string why;
        while (!stop && control >= 0 && (ReadControlUntil([] { return false; }, &why) || why == "timed out")) {
        }
        while (!stop && keepData) std::this_thread::sleep_for(std::chrono::milliseconds(kSliceMs));
        CloseSocket(data);
        CloseSocket(passiveListener);
        CloseSocket(control);
    }

    std::string ControlReceivedCopy() {
        std::lock_guard lock(mutex);
        return controlReceived;
    }
};

ScriptedServer::ScriptedServer() : impl_(std::make_unique<Impl>()) {
    impl_->listener = ListenOnLoopback(&impl_->port);
}

ScriptedServer::~ScriptedServer() {
    impl_->stop = true;
    if (impl_->thread.joinable()) impl_->thread.join();
    CloseSocket(impl_->listener);
}

uint16_t ScriptedServer::Port() const { return impl_->port; }

ScriptedServer& ScriptedServer::Add(Step step, std::string_view bytes, std::string_view after,
                                    size_t count) {
    impl_->steps.push_back({step, std::string(bytes), std::string(after), count});
    return *this;
}

void ScriptedServer::Start() {
    if (impl_->listener >= 0) {
        impl_->thread = std::thread([impl = impl_.get()] { impl->Run(); });
        return;
    }
    impl_->Fail("the server could not listen");
    std::lock_guard lock(impl_->mutex);
    impl_->ended = true;
}

std::string ScriptedServer::Finish() {
    {
        std::unique_lock lock(impl_->mutex);
        // Every step is bounded; this bound only guards against a transcript that is
        // longer than any test should be.
        auto limit = std::chrono::milliseconds(kStepTimeoutMs) * (impl_->steps.size() + 2);
        if (!impl_->scriptEnded.wait_for(lock, limit, [this] { return impl_->ended; })) {
            impl_->failures += "the transcript did not end\n";
        }
    }
    impl_->stop = true;
    if (impl_->thread.joinable()) impl_->thread.join();
    std::lock_guard lock(impl_->mutex);
    return impl_->failures;
}

std::string ScriptedServer::ControlReceived() const { return impl_->ControlReceivedCopy(); }

std::vector<UrgentByte> ScriptedServer::UrgentReceived() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->urgent;
}

std::vector<std::string> ScriptedServer::DataReceived() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->dataReceived;
}

}  // namespace tvtest
