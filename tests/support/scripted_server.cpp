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
#include <mutex>
#include <thread>

namespace tvtest {

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kSliceMs = 50;

enum class StepKind {
    Send,
    Expect,
    ExpectLineStartingWith,
    ExpectAny,
    ExpectUrgent,
    Pause,
    Close,
    Reset,
    Passive,
    ConnectToPort,
    DataSend,
    DataReceiveUntilClose,
    DataClose,
    DataReset,
};

struct Step {
    StepKind kind;
    std::string bytes;
    std::string after;
    size_t count = 0;
};

void CloseSocket(int& fd, bool reset) {
    if (fd < 0) return;
    if (reset) {
        linger abort{1, 0};
        setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    }
    ::close(fd);
    fd = -1;
}

void MakeNonBlocking(int fd) { fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK); }

// Printable form of bytes for failure messages.
std::string Show(std::string_view bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c >= 32 && c < 127 && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            out += escaped;
        }
    }
    return out.size() > 200 ? out.substr(0, 200) + "..." : out;
}

int MillisecondsLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

}  // namespace

struct ScriptedServer::Impl {
    std::vector<Step> steps;
    int listener = -1;
    int control = -1;
    int passiveListener = -1;
    int data = -1;
    uint16_t port = 0;

    std::thread thread;
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::condition_variable scriptEnded;
    bool ended = false;

    // Recorded (under mutex).
    std::string controlReceived;
    std::vector<UrgentByte> urgent;
    std::vector<std::string> dataReceived;
    std::string failures;

    // Received control bytes not yet consumed by a step (thread only).
    std::string pending;
    size_t urgentConsumed = 0;

    void Fail(const std::string& message) {
        std::lock_guard lock(mutex);
        failures += message + "\n";
    }

    Clock::time_point StepDeadline() const {
        return Clock::now() + std::chrono::milliseconds(kStepTimeoutMs);
    }

    // Waits at most a slice (and never past the deadline) for events on fd; the result of
    // poll().
    int PollSlice(int fd, short events, Clock::time_point deadline, short* revents) {
        int wait = std::min(kSliceMs, MillisecondsLeft(deadline));
        pollfd entry{fd, events, 0};
        int ready = ::poll(&entry, 1, wait);
        *revents = ready > 0 ? entry.revents : 0;
        return ready;
    }

    bool TimeLeft(Clock::time_point deadline) const {
        return !stop && Clock::now() < deadline;
    }

    int AcceptFrom(int& from, Clock::time_point deadline) {
        while (TimeLeft(deadline)) {
            short revents;
            if (PollSlice(from, POLLIN, deadline, &revents) > 0) {
                int fd = ::accept(from, nullptr, nullptr);
                if (fd >= 0) {
                    MakeNonBlocking(fd);
                    int on = 1;
                    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
                    return fd;
                }
            }
        }
        return -1;
    }

    // Reads what the control connection has (normal bytes into pending, urgent bytes into
    // the urgent record) within the deadline. False on close, error, stop or time-out.
    bool ReadControl(Clock::time_point deadline, std::string* why) {
        while (TimeLeft(deadline)) {
            short revents;
            if (PollSlice(control, POLLIN | POLLPRI, deadline, &revents) <= 0) continue;
            if (revents & POLLPRI) {
                int atMark = 0;
                ioctl(control, SIOCATMARK, &atMark);
                if (atMark) {
                    char byte;
                    ssize_t got = ::recv(control, &byte, 1, MSG_OOB);
                    if (got == 1) {
                        std::lock_guard lock(mutex);
                        urgent.push_back({controlReceived.size(), byte});
                        return true;
                    }
                    if (errno == EAGAIN || errno == EWOULDBLOCK) {
                        // The mark arrived ahead of its byte: give the byte a moment.
                        std::this_thread::sleep_for(std::chrono::milliseconds(1));
                        continue;
                    }
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
                return true;
            }
            if (got == 0) {
                *why = "the client closed the control connection";
                return false;
            }
            if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                *why = std::string("control receive failed: ") + std::strerror(errno);
                return false;
            }
            // Only an urgent mark is waiting, not yet its byte.
            if (revents & POLLPRI) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        *why = stop ? "the server was stopped" : "timed out";
        return false;
    }

    bool SendAll(int fd, std::string_view bytes, const char* what) {
        auto deadline = StepDeadline();
        size_t sent = 0;
        while (sent < bytes.size()) {
            if (!TimeLeft(deadline)) {
                Fail(std::string("sending on the ") + what + " connection timed out");
                return false;
            }
            ssize_t result = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (result > 0) {
                sent += static_cast<size_t>(result);
            } else if (result < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                short revents;
                PollSlice(fd, POLLOUT, deadline, &revents);
            } else {
                Fail(std::string("sending on the ") + what + " connection failed");
                return false;
            }
        }
        return true;
    }

    bool Expect(const std::string& expected) {
        auto deadline = StepDeadline();
        for (;;) {
            size_t compared = std::min(pending.size(), expected.size());
            if (pending.compare(0, compared, expected, 0, compared) != 0) {
                size_t lineEnd = pending.find('\n');
                std::string got = pending.substr(0, lineEnd == std::string::npos ? pending.size()
                                                                                 : lineEnd + 1);
                Fail("expected \"" + Show(expected) + "\", got \"" + Show(got) + "\"");
                return false;
            }
            if (compared == expected.size()) {
                pending.erase(0, expected.size());
                return true;
            }
            std::string why;
            if (!ReadControl(deadline, &why)) {
                Fail("expected \"" + Show(expected) + "\", got \"" + Show(pending) + "\" (" +
                     why + ")");
                return false;
            }
        }
    }

    bool ExpectLineStartingWith(const std::string& prefix) {
        auto deadline = StepDeadline();
        size_t lineEnd;
        while ((lineEnd = pending.find('\n')) == std::string::npos) {
            std::string why;
            if (!ReadControl(deadline, &why)) {
                Fail("expected a line starting \"" + Show(prefix) + "\", got \"" + Show(pending) +
                     "\" (" + why + ")");
                return false;
            }
        }
        std::string line = pending.substr(0, lineEnd + 1);
        pending.erase(0, lineEnd + 1);
        if (line.compare(0, prefix.size(), prefix) != 0) {
            Fail("expected a line starting \"" + Show(prefix) + "\", got \"" + Show(line) + "\"");
            return false;
        }
        return true;
    }

    bool ExpectAny(size_t count) {
        auto deadline = StepDeadline();
        while (pending.size() < count) {
            std::string why;
            if (!ReadControl(deadline, &why)) {
                Fail("expected " + std::to_string(count) + " bytes, got " +
                     std::to_string(pending.size()) + " (" + why + ")");
                return false;
            }
        }
        pending.erase(0, count);
        return true;
    }

    bool ExpectUrgent(size_t count) {
        auto deadline = StepDeadline();
        for (;;) {
            {
                std::lock_guard lock(mutex);
                if (urgent.size() >= urgentConsumed + count) break;
            }
            std::string why;
            if (!ReadControl(deadline, &why)) {
                Fail("expected " + std::to_string(count) + " urgent bytes (" + why + ")");
                return false;
            }
        }
        urgentConsumed += count;
        return true;
    }

    bool OpenPassive(const Step& step) {
        passiveListener = ListenOnLoopback(nullptr);
        if (passiveListener < 0) {
            Fail("cannot open the passive listener");
            return false;
        }
        sockaddr_in address{};
        socklen_t length = sizeof address;
        getsockname(passiveListener, reinterpret_cast<sockaddr*>(&address), &length);
        unsigned passivePort = ntohs(address.sin_port);
        std::string announced = step.bytes + "127,0,0,1," + std::to_string(passivePort >> 8) +
                                "," + std::to_string(passivePort & 0xff) + step.after;
        return SendAll(control, announced, "control");
    }

    bool ConnectToPort() {
        std::string received;
        {
            std::lock_guard lock(mutex);
            received = controlReceived;
        }
        size_t at = received.rfind("PORT ");
        unsigned h1, h2, h3, h4, p1, p2;
        if (at == std::string::npos ||
            std::sscanf(received.c_str() + at + 5, "%u,%u,%u,%u,%u,%u", &h1, &h2, &h3, &h4, &p1,
                        &p2) != 6) {
            Fail("no PORT command to connect to");
            return false;
        }
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>((p1 << 8) | p2));
        address.sin_addr.s_addr = htonl((h1 << 24) | (h2 << 16) | (h3 << 8) | h4);
        int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        MakeNonBlocking(fd);
        auto deadline = StepDeadline();
        int result = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        if (result < 0 && errno == EINPROGRESS) {
            short revents = 0;
            while (TimeLeft(deadline) && PollSlice(fd, POLLOUT, deadline, &revents) == 0) {
            }
            int error = 0;
            socklen_t length = sizeof error;
            getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
            result = (revents & POLLOUT) && error == 0 ? 0 : -1;
        }
        if (result < 0) {
            ::close(fd);
            Fail("cannot connect to the client's PORT address");
            return false;
        }
        OpenedData(fd);
        return true;
    }

    void OpenedData(int fd) {
        data = fd;
        std::lock_guard lock(mutex);
        dataReceived.emplace_back();
    }

    bool EnsureData() {
        if (data >= 0) return true;
        if (passiveListener < 0) {
            Fail("a data step without a data connection");
            return false;
        }
        int fd = AcceptFrom(passiveListener, StepDeadline());
        CloseSocket(passiveListener, false);
        if (fd < 0) {
            Fail("the client did not connect to the passive address");
            return false;
        }
        OpenedData(fd);
        return true;
    }

    bool DataReceiveUntilClose() {
        auto deadline = StepDeadline();
        while (TimeLeft(deadline)) {
            short revents;
            if (PollSlice(data, POLLIN, deadline, &revents) <= 0) continue;
            char buffer[65536];
            ssize_t got = ::recv(data, buffer, sizeof buffer, 0);
            if (got > 0) {
                std::lock_guard lock(mutex);
                dataReceived.back().append(buffer, static_cast<size_t>(got));
                deadline = StepDeadline();
            } else if (got == 0) {
                CloseSocket(data, false);
                return true;
            } else if (errno != EAGAIN && errno != EWOULDBLOCK) {
                Fail("data receive failed");
                return false;
            }
        }
        Fail("the client did not close the data connection");
        return false;
    }

    bool Play(const Step& step) {
        switch (step.kind) {
        case StepKind::Send: return control >= 0 && SendAll(control, step.bytes, "control");
        case StepKind::Expect: return Expect(step.bytes);
        case StepKind::ExpectLineStartingWith: return ExpectLineStartingWith(step.bytes);
        case StepKind::ExpectAny: return ExpectAny(step.count);
        case StepKind::ExpectUrgent: return ExpectUrgent(step.count);
        case StepKind::Pause: {
            auto until = Clock::now() + std::chrono::milliseconds(step.count);
            while (!stop && Clock::now() < until) {
                std::this_thread::sleep_for(
                    std::chrono::milliseconds(std::min(kSliceMs, MillisecondsLeft(until))));
            }
            return !stop;
        }
        case StepKind::Close: CloseSocket(control, false); return true;
        case StepKind::Reset: CloseSocket(control, true); return true;
        case StepKind::Passive: return OpenPassive(step);
        case StepKind::ConnectToPort: return ConnectToPort();
        case StepKind::DataSend: return EnsureData() && SendAll(data, step.bytes, "data");
        case StepKind::DataReceiveUntilClose: return EnsureData() && DataReceiveUntilClose();
        case StepKind::DataClose: CloseSocket(data, false); return true;
        case StepKind::DataReset: CloseSocket(data, true); return true;
        }
        return false;
    }

    void Run() {
        control = AcceptFrom(listener, StepDeadline());
        bool followed = control >= 0;
        if (!followed) Fail("no client connected");
        for (size_t i = 0; followed && i < steps.size(); ++i) {
            followed = Play(steps[i]);
            if (!followed && stop) Fail("stopped before the transcript ended");
        }
        if (!followed) {
            // Close everything at once so that a client waiting for a reply sees the
            // close instead of waiting for ever.
            CloseSocket(data, false);
            CloseSocket(control, false);
        }
        {
            std::lock_guard lock(mutex);
            ended = true;
        }
        scriptEnded.notify_all();
        // Keep recording what the client sends until the server is stopped.
        while (!stop && control >= 0) {
            std::string why;
            if (!ReadControl(Clock::now() + std::chrono::milliseconds(kSliceMs), &why) &&
                why != "timed out") {
                break;
            }
        }
        CloseSocket(data, false);
        CloseSocket(passiveListener, false);
        CloseSocket(control, false);
    }

    static int ListenOnLoopback(uint16_t* port) {
        int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        if (fd < 0) return -1;
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) < 0 ||
            ::listen(fd, 4) < 0) {
            ::close(fd);
            return -1;
        }
        if (port != nullptr) {
            socklen_t length = sizeof address;
            getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
            *port = ntohs(address.sin_port);
        }
        return fd;
    }
};

ScriptedServer::ScriptedServer() : impl_(std::make_unique<Impl>()) {
    impl_->listener = Impl::ListenOnLoopback(&impl_->port);
}

ScriptedServer::~ScriptedServer() {
    impl_->stop = true;
    if (impl_->thread.joinable()) impl_->thread.join();
    CloseSocket(impl_->listener, false);
}

uint16_t ScriptedServer::Port() const { return impl_->port; }

ScriptedServer& ScriptedServer::Send(std::string_view bytes) {
    impl_->steps.push_back({StepKind::Send, std::string(bytes), {}, 0});
    return *this;
}
ScriptedServer& ScriptedServer::Expect(std::string_view bytes) {
    impl_->steps.push_back({StepKind::Expect, std::string(bytes), {}, 0});
    return *this;
}
ScriptedServer& ScriptedServer::ExpectLineStartingWith(std::string_view prefix) {
    impl_->steps.push_back({StepKind::ExpectLineStartingWith, std::string(prefix), {}, 0});
    return *this;
}
ScriptedServer& ScriptedServer::ExpectAny(size_t count) {
    impl_->steps.push_back({StepKind::ExpectAny, {}, {}, count});
    return *this;
}
ScriptedServer& ScriptedServer::ExpectUrgent(size_t count) {
    impl_->steps.push_back({StepKind::ExpectUrgent, {}, {}, count});
    return *this;
}
ScriptedServer& ScriptedServer::Pause(int milliseconds) {
    impl_->steps.push_back({StepKind::Pause, {}, {}, static_cast<size_t>(milliseconds)});
    return *this;
}
ScriptedServer& ScriptedServer::Close() {
    impl_->steps.push_back({StepKind::Close, {}, {}, 0});
    return *this;
}
ScriptedServer& ScriptedServer::Reset() {
    impl_->steps.push_back({StepKind::Reset, {}, {}, 0});
    return *this;
}
ScriptedServer& ScriptedServer::Passive(std::string_view before, std::string_view after) {
    impl_->steps.push_back({StepKind::Passive, std::string(before), std::string(after), 0});
    return *this;
}
ScriptedServer& ScriptedServer::ConnectToPort() {
    impl_->steps.push_back({StepKind::ConnectToPort, {}, {}, 0});
    return *this;
}
ScriptedServer& ScriptedServer::DataSend(std::string_view bytes) {
    impl_->steps.push_back({StepKind::DataSend, std::string(bytes), {}, 0});
    return *this;
}
ScriptedServer& ScriptedServer::DataReceiveUntilClose() {
    impl_->steps.push_back({StepKind::DataReceiveUntilClose, {}, {}, 0});
    return *this;
}
ScriptedServer& ScriptedServer::DataClose() {
    impl_->steps.push_back({StepKind::DataClose, {}, {}, 0});
    return *this;
}
ScriptedServer& ScriptedServer::DataReset() {
    impl_->steps.push_back({StepKind::DataReset, {}, {}, 0});
    return *this;
}

void ScriptedServer::Start() {
    if (impl_->listener < 0) {
        impl_->Fail("the server could not listen");
        std::lock_guard lock(impl_->mutex);
        impl_->ended = true;
        return;
    }
    impl_->thread = std::thread([impl = impl_.get()] { impl->Run(); });
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

std::string ScriptedServer::ControlReceived() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->controlReceived;
}

std::vector<UrgentByte> ScriptedServer::UrgentReceived() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->urgent;
}

std::vector<std::string> ScriptedServer::DataReceived() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->dataReceived;
}

}  // namespace tvtest
