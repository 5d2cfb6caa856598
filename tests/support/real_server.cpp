// Starting and stopping a real FTP server through servers/ftpserver.py, over plain
// POSIX processes.
#include "tests/support/real_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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

std::string Environment(const char* name, const std::string& otherwise = "") {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0' ? value : otherwise;
}

std::string PythonPath() { return Environment("TVFTP_PYTHON", "/usr/bin/python3"); }

std::string LauncherPath() {
    // The build compiles this file by its absolute path: tests/support/ -> servers/.
    return Environment("TVFTP_FTPSERVER",
                       (std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() /
                        "servers" / "ftpserver.py")
                           .string());
}


void CloseFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

// Runs the launcher in a process group of its own (so that a stop of last resort reaches
// the server's sessions) with pipes on its standard input and on its output and error.
pid_t Launch(std::vector<std::string> arguments, int* input, int* output) {
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    if (pipe2(out, O_CLOEXEC) != 0) {
        ::close(in[0]), ::close(in[1]);
        throw std::runtime_error("pipe failed");
    }
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        // The test process has threads: up to the exec only calls that are safe after a fork.
        ::setpgid(0, 0);
        ::dup2(in[0], 0), ::dup2(out[1], 1), ::dup2(out[1], 2);
        // Sockets of the test must not stay open in the launcher.
        ::close_range(3, ~0U, 0);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        for (int signal : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGCHLD}) ::signal(signal, SIG_DFL);
        ::execve(argv[0], argv.data(), environ);
        ::_exit(127);
    }
    ::close(in[0]), ::close(out[1]);
    if (pid < 0) {
        ::close(in[1]), ::close(out[0]);
        throw std::runtime_error("cannot run " + arguments[0] + ": " + std::strerror(errno));
    }
    *input = in[1];
    *output = out[0];
    return pid;
}

// Reads the output until a line that `wanted` takes, the end or the time limit: that line
// without its LF ("" if none), with the lines before it in `before`.
template <typename Wanted>
std::string ReadLine(int fd, Clock::time_point deadline, std::string& before, Wanted wanted) {
    std::string text;
    for (;;) {
        for (size_t newline; (newline = text.find('\n')) != std::string::npos;) {
            std::string line = text.substr(0, newline);
            text.erase(0, newline + 1);
            if (wanted(line)) return line;
            before += line + "\n";
        }
        pollfd entry{fd, POLLIN, 0};
        char buffer[4096];
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        int ready = ::poll(&entry, 1, static_cast<int>(std::max<long>(left.count(), 0)));
        if (ready < 0 && errno == EINTR) continue;
        ssize_t count = ready > 0 ? ::read(fd, buffer, sizeof buffer) : 0;
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0 || text.size() > kTextLimit) return "";
        text.append(buffer, static_cast<size_t>(count));
    }
}

// Waits a bounded time for the process to end (its output closes when it exits), else
// kills its process group; reaps it. True when it ended by itself.
bool AwaitExit(pid_t pid, int output, int* status) {
    std::string ignored;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kStopLimitMs);
    ReadLine(output, deadline, ignored, [](const std::string&) { return false; });
    const bool ended = Clock::now() < deadline;
    if (!ended) ::kill(-pid, SIGKILL);
    while (::waitpid(pid, status, 0) < 0 && errno == EINTR) {
    }
    return ended;
}

// A value of the launcher's flat, one-line JSON object (ASCII; "" when absent).
std::string Value(const std::string& line, std::string_view key) {
    const std::string quoted = "\"" + std::string(key) + "\":";
    size_t at = line.find(quoted);
    if (at == std::string::npos) return "";
    at = line.find_first_not_of(' ', at + quoted.size());
    if (at == std::string::npos || line[at] != '"') {
        return line.substr(at, line.find_first_of(",}", at) - at);
    }
    std::string value;
    for (size_t i = at + 1; i < line.size() && line[i] != '"'; ++i) {
        if (line[i] == '\\' && line[++i] == 'u') {
            value += static_cast<char>(std::stoul(line.substr(i + 1, 4), nullptr, 16));
            i += 4;
        } else {
            value += line[i];
        }
    }
    return value;
}

}  // namespace

RealServer::RealServer(std::string_view kind) : RealServer(kind, {}) {}

RealServer::RealServer(std::string_view kind, const std::vector<std::string>& options)
    : kind_(kind) {
    std::vector<std::string> command{PythonPath(), LauncherPath(), "start", kind_, "--stop-on-eof"};
    command.insert(command.end(), options.begin(), options.end());
    pid_ = Launch(command, &stdinFd_, &stdoutFd_);
    std::string errors;
    const std::string line =
        ReadLine(stdoutFd_, Clock::now() + std::chrono::milliseconds(kStartLimitMs), errors,
                 [](const std::string& text) { return text.starts_with("{"); });
    host_ = Value(line, "host");
    port_ = static_cast<uint16_t>(std::atoi(Value(line, "port").c_str()));
    user_ = Value(line, "user");
    password_ = Value(line, "password");
    root_ = Value(line, "root");
    folder_ = Value(line, "folder");
    anonymous_ = Value(line, "anonymous") == "true";
    if (host_.empty() || port_ == 0 || root_.empty()) {
        Stop();
        if (errors.empty()) errors = line.empty() ? "no ready line" : "unreadable ready line " + line;
        throw std::runtime_error("the " + kind_ + " server did not start: " + errors);
    }
}

RealServer::~RealServer() { Stop(); }

void RealServer::Stop() {
    if (pid_ < 0) return;
    // End of input tells the launcher to stop the server and remove its folder.
    CloseFd(stdinFd_);
    int status = 0;
    if (!AwaitExit(pid_, stdoutFd_, &status)) {
        // The read-only folder of the tree must be made writable to be removed.
        std::error_code ignored;
        if (folder_.empty()) folder_ = root_;
        for (auto it = std::filesystem::recursive_directory_iterator(folder_, ignored);
             it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ignored);
        }
        std::filesystem::remove_all(folder_, ignored);
    }
    pid_ = -1;
    CloseFd(stdoutFd_);
}

std::string RealServer::LocalPath(std::string_view remotePath) const {
    while (!remotePath.empty() && remotePath.front() == '/') remotePath.remove_prefix(1);
    return remotePath.empty() ? root_ : root_ + "/" + std::string(remotePath);
}

const std::vector<std::string>& RealServer::Kinds() {
    static const std::vector<std::string> kinds{"vsftpd", "proftpd", "pure-ftpd", "pyftpdlib"};
    return kinds;
}

std::string RealServer::Unavailable(std::string_view kind) {
    static std::mutex lock;
    static std::map<std::string, std::string, std::less<>> known;
    std::lock_guard<std::mutex> guard(lock);
    if (auto found = known.find(kind); found != known.end()) return found->second;
    std::string reason;
    if (::access(PythonPath().c_str(), X_OK) != 0) {
        reason = PythonPath() + " is missing";
    } else if (!std::filesystem::exists(LauncherPath())) {
        reason = LauncherPath() + " is missing";
    } else {
        // The launcher's check prints why the kind cannot run, and fails.
        int input = -1, output = -1, status = 0;
        pid_t pid = Launch({PythonPath(), LauncherPath(), "check", std::string(kind)}, &input,
                           &output);
        CloseFd(input);
        ReadLine(output, Clock::now() + std::chrono::milliseconds(kStopLimitMs), reason,
                 [](const std::string&) { return false; });
        if (!AwaitExit(pid, output, &status)) {
            reason = "the launcher did not answer";
        } else if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
            reason.clear();
        } else if (reason.empty()) {
            reason = "the launcher failed";
        }
        CloseFd(output);
    }
    while (!reason.empty() && reason.back() == '\n') reason.pop_back();
    if (!reason.empty()) reason = std::string(kind) + " unavailable: " + reason;
    known.emplace(std::string(kind), reason);
    return reason;
}

bool RealServer::Required() {
    const std::string required = Environment("TVFTP_REQUIRE_SERVERS");
    return !required.empty() && required != "0";
}

}  // namespace tvtest
