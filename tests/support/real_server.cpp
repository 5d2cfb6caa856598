// Starting and stopping a real FTP server through tests/servers/ftpserver.py, and a bare
// control connection to it, over plain POSIX processes and sockets.
#include "tests/support/real_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <stdexcept>

extern char** environ;

namespace tvtest {

namespace {

using Clock = std::chrono::steady_clock;

// The launcher gives up after 15 s; this covers its own start and its error report.
constexpr int kStartLimitMs = 25000;
constexpr int kStopLimitMs = 10000;
// No reply or ready line of a healthy server comes near this; a longer one is an error.
constexpr size_t kTextLimit = 1 << 20;

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string PythonPath() {
    std::string python = Environment("TVFTP_PYTHON");
    return python.empty() ? "/usr/bin/python3" : python;
}

std::string LauncherPath() {
    std::string launcher = Environment("TVFTP_FTPSERVER");
    if (!launcher.empty()) return launcher;
    std::string data = Environment("TVFTP_TEST_DATA");
    if (!data.empty() && std::filesystem::exists(data + "/servers/ftpserver.py"))
        return data + "/servers/ftpserver.py";
    // The build compiles this file by its absolute path: tests/support/ -> tests/servers/.
    return (std::filesystem::path(__FILE__).parent_path().parent_path() / "servers" /
            "ftpserver.py")
        .string();
}

int RemainingMs(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// A launcher process with pipes on its standard input, output and error.
struct Launched {
    pid_t pid = -1;
    int stdinFd = -1;
    int stdoutFd = -1;
    int stderrFd = -1;
};

void CloseFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

Launched Launch(const std::vector<std::string>& arguments) {
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    if (pipe2(out, O_CLOEXEC) != 0) {
        ::close(in[0]), ::close(in[1]);
        throw std::runtime_error("pipe failed");
    }
    if (pipe2(err, O_CLOEXEC) != 0) {
        ::close(in[0]), ::close(in[1]), ::close(out[0]), ::close(out[1]);
        throw std::runtime_error("pipe failed");
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    // Sockets of the test must not stay open in the launcher.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
#endif
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // Its own process group, so that a stop of last resort reaches the server's sessions.
    posix_spawnattr_setpgroup(&attributes, 0);
    sigset_t defaults, none;
    sigemptyset(&defaults);
    for (int signal : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGCHLD}) sigaddset(&defaults, signal);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(
        &attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    int failure = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(in[0]), ::close(out[1]), ::close(err[1]);
    if (failure != 0) {
        ::close(in[1]), ::close(out[0]), ::close(err[0]);
        throw std::runtime_error("cannot run " + arguments[0] + ": " + std::strerror(failure));
    }
    return Launched{pid, in[1], out[0], err[0]};
}

// Reads from both pipes until standard output holds a full line, or both end, or the time
// is up. Returns the line without its LF ("" if none); whatever came on standard error is
// appended to `errors`.
std::string ReadLine(int outFd, int errFd, Clock::time_point deadline, std::string& errors) {
    std::string out;
    bool outOpen = true, errOpen = errFd >= 0;
    while (outOpen || errOpen) {
        size_t newline = out.find('\n');
        if (newline != std::string::npos) return out.substr(0, newline);
        int waitMs = RemainingMs(deadline);
        if (waitMs == 0) break;
        pollfd fds[2] = {{outOpen ? outFd : -1, POLLIN, 0}, {errOpen ? errFd : -1, POLLIN, 0}};
        int ready = ::poll(fds, 2, waitMs);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) break;
        char buffer[4096];
        if (fds[0].revents) {
            ssize_t count = ::read(outFd, buffer, sizeof buffer);
            if (count > 0 && out.size() < kTextLimit)
                out.append(buffer, count);
            else if (count == 0 || (count < 0 && errno != EINTR))
                outOpen = false;
        }
        if (fds[1].revents) {
            ssize_t count = ::read(errFd, buffer, sizeof buffer);
            if (count > 0 && errors.size() < kTextLimit)
                errors.append(buffer, count);
            else if (count == 0 || (count < 0 && errno != EINTR))
                errOpen = false;
        }
    }
    return "";
}

// Waits for the process to end within the time limit: its standard output closes when it
// exits. True when it was reaped.
bool AwaitExit(pid_t pid, int stdoutFd, int limitMs, int* status) {
    Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(limitMs);
    char buffer[4096];
    while (stdoutFd >= 0) {
        pollfd fd{stdoutFd, POLLIN, 0};
        int ready = ::poll(&fd, 1, RemainingMs(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        ssize_t count = ::read(stdoutFd, buffer, sizeof buffer);
        if (count == 0) break;
        if (count < 0 && errno != EINTR) break;
    }
    // The pipe may also close just before the exit itself.
    while (::waitpid(pid, status, 0) < 0) {
        if (errno != EINTR) return true;
    }
    return true;
}

// Values of the launcher's flat, one-line JSON object (ASCII: non-ASCII comes escaped).
class ReadyLine {
public:
    explicit ReadyLine(std::string text) : text_(std::move(text)) {}

    std::string String(std::string_view key) const {
        size_t at = ValueStart(key);
        std::string value;
        for (size_t i = at + 1; at != std::string::npos && text_[at] == '"' && i < text_.size(); ++i) {
            if (text_[i] == '"') return value;
            if (text_[i] == '\\' && ++i < text_.size() && text_[i] == 'u') {
                const unsigned code = std::stoul(text_.substr(i + 1, 4), nullptr, 16);
                value += code < 0x80 ? static_cast<char>(code) : '?';
                i += 4;
            } else if (i < text_.size()) {
                value += text_[i];
            }
        }
        return "";
    }
    long Number(std::string_view key) const {
        size_t at = ValueStart(key);
        return at == std::string::npos ? -1 : std::strtol(text_.c_str() + at, nullptr, 10);
    }
    bool Bool(std::string_view key) const {
        size_t at = ValueStart(key);
        return at != std::string::npos && text_.compare(at, 4, "true") == 0;
    }

private:
    size_t ValueStart(std::string_view key) const {
        std::string quoted = "\"" + std::string(key) + "\":";
        size_t at = text_.find(quoted);
        if (at == std::string::npos) return at;
        at = text_.find_first_not_of(' ', at + quoted.size());
        return at < text_.size() ? at : std::string::npos;
    }

    std::string text_;
};

void MakeRemovable(const std::filesystem::path& folder) {
    std::error_code ignored;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
        if (it->is_directory(ignored) && !it->is_symlink(ignored))
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ignored);
    }
}

}  // namespace

// ---------------------------------------------------------------------------------------

RealServer::RealServer(std::string_view kind) : kind_(kind) {
    Launched launched = Launch({PythonPath(), LauncherPath(), "start", kind_, "--stop-on-eof"});
    pid_ = launched.pid;
    stdinFd_ = launched.stdinFd;
    stdoutFd_ = launched.stdoutFd;
    stderrFd_ = launched.stderrFd;

    std::string errors;
    std::string line = ReadLine(stdoutFd_, stderrFd_,
                                Clock::now() + std::chrono::milliseconds(kStartLimitMs), errors);
    ReadyLine ready(line);
    host_ = ready.String("host");
    port_ = static_cast<uint16_t>(ready.Number("port"));
    user_ = ready.String("user");
    password_ = ready.String("password");
    root_ = ready.String("root");
    folder_ = ready.String("folder");
    anonymous_ = ready.Bool("anonymous");
    if (host_.empty() || port_ == 0 || root_.empty()) {
        Stop();
        while (!errors.empty() && (errors.back() == '\n' || errors.back() == '\r'))
            errors.pop_back();
        if (errors.empty())
            errors = line.empty() ? "no ready line" : "unreadable ready line " + line;
        throw std::runtime_error("the " + kind_ + " server did not start: " + errors);
    }
}

RealServer::~RealServer() { Stop(); }

void RealServer::Stop() {
    if (pid_ < 0) return;
    // End of input tells the launcher to stop the server and remove its folder.
    CloseFd(stdinFd_);
    int status = 0;
    if (!AwaitExit(pid_, stdoutFd_, kStopLimitMs, &status)) {
        ::kill(-pid_, SIGKILL);
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        if (!folder_.empty()) {
            MakeRemovable(folder_);
            std::error_code ignored;
            std::filesystem::remove_all(folder_, ignored);
        }
    }
    pid_ = -1;
    CloseFd(stdoutFd_);
    CloseFd(stderrFd_);
}

std::string RealServer::LocalPath(std::string_view remotePath) const {
    while (!remotePath.empty() && remotePath.front() == '/') remotePath.remove_prefix(1);
    return remotePath.empty() ? root_ : root_ + "/" + std::string(remotePath);
}

std::string RealServer::Greeting(int timeoutMs) const {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port_);
    std::string greeting;
    if (fd >= 0 && ::inet_pton(AF_INET, host_.c_str(), &address.sin_addr) == 1 &&
        ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        // Complete with the line that has the first line's code and a blank.
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        auto complete = [&] {
            for (size_t line = 0; line < greeting.size(); line = greeting.find('\n', line) + 1) {
                if (greeting.find('\n', line) == std::string::npos) return false;
                if (greeting.size() > line + 3 && greeting.compare(line, 3, greeting, 0, 3) == 0 &&
                    greeting[line + 3] == ' ') {
                    return true;
                }
            }
            return false;
        };
        while (!complete() && greeting.size() < kTextLimit) {
            pollfd entry{fd, POLLIN, 0};
            char buffer[4096];
            ssize_t count = ::poll(&entry, 1, RemainingMs(deadline)) > 0 ? ::recv(fd, buffer, sizeof buffer, 0) : 0;
            if (count <= 0) break;
            greeting.append(buffer, static_cast<size_t>(count));
        }
        if (!complete()) greeting.clear();
        ::send(fd, "QUIT\r\n", 6, MSG_NOSIGNAL);
    }
    if (fd >= 0) ::close(fd);
    return greeting;
}

const std::vector<std::string>& RealServer::Kinds() {
    static const std::vector<std::string> kinds{"vsftpd", "proftpd", "pure-ftpd", "pyftpdlib"};
    return kinds;
}

std::string RealServer::Unavailable(std::string_view kind) {
    static std::mutex lock;
    static std::map<std::string, std::string, std::less<>> known;
    std::lock_guard<std::mutex> guard(lock);
    auto found = known.find(kind);
    if (found != known.end()) return found->second;

    std::string reason;
    if (::access(PythonPath().c_str(), X_OK) != 0) {
        reason = PythonPath() + " is missing";
    } else if (!std::filesystem::exists(LauncherPath())) {
        reason = LauncherPath() + " is missing";
    } else {
        Launched launched = Launch({PythonPath(), LauncherPath(), "check", std::string(kind)});
        CloseFd(launched.stdinFd);
        std::string errors;
        reason = ReadLine(launched.stdoutFd, launched.stderrFd,
                          Clock::now() + std::chrono::milliseconds(kStopLimitMs), errors);
        int status = 0;
        if (!AwaitExit(launched.pid, launched.stdoutFd, kStopLimitMs, &status)) {
            ::kill(-launched.pid, SIGKILL);
            ::waitpid(launched.pid, &status, 0);
            reason = "the launcher did not answer";
        } else if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
            reason.clear();
        } else if (reason.empty()) {
            reason = errors.empty() ? "the launcher failed" : errors;
        }
        CloseFd(launched.stdoutFd);
        CloseFd(launched.stderrFd);
    }
    if (!reason.empty()) reason = std::string(kind) + " unavailable: " + reason;
    known.emplace(std::string(kind), reason);
    return reason;
}

bool RealServer::Required() {
    std::string required = Environment("TVFTP_REQUIRE_SERVERS");
    return !required.empty() && required != "0";
}

}  // namespace tvtest
