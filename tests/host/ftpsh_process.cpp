// Running ftpsh as a process for the end-to-end tests.
#include "tests/host/ftpsh_process.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace ftpsh_test {

namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// The argument and environment vectors of a program to start: the test's own environment
// with `environment` added and overriding.
struct CommandLine {
    CommandLine(const std::string& program, const std::vector<std::string>& arguments,
                const std::map<std::string, std::string>& environment) {
        std::map<std::string, std::string> variables;
        for (char** entry = environ; *entry != nullptr; ++entry) {
            std::string text(*entry);
            size_t equals = text.find('=');
            if (equals != std::string::npos)
                variables[text.substr(0, equals)] = text.substr(equals + 1);
        }
        for (const auto& [name, value] : environment) variables[name] = value;
        for (const auto& [name, value] : variables) envText.push_back(name + "=" + value);
        argText.push_back(program);
        argText.insert(argText.end(), arguments.begin(), arguments.end());
        for (std::string& text : envText) envp.push_back(text.data());
        for (std::string& text : argText) argv.push_back(text.data());
        envp.push_back(nullptr);
        argv.push_back(nullptr);
    }
    std::vector<std::string> envText, argText;
    std::vector<char*> envp, argv;
};

void CloseFd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

}  // namespace

Process::Process(const std::string& program, const std::vector<std::string>& arguments,
                 const std::map<std::string, std::string>& environment) {
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");

    CommandLine command(program, arguments, environment);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // Nothing to read: a script comes from -c or a file.
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // A group of its own: a signal the test sends reaches ftpsh (and what it runs) alone.
    posix_spawnattr_setpgroup(&attributes, 0);
    sigset_t defaults, none;
    sigemptyset(&none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF |
                                              POSIX_SPAWN_SETSIGMASK);
    int failure = posix_spawn(&pid_, command.argv[0], &actions, &attributes, command.argv.data(),
                              command.envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(out[1]);
    close(err[1]);
    out_ = out[0];
    err_ = err[0];
    if (failure != 0) {
        pid_ = -1;
        throw std::runtime_error("cannot start " + program + ": " + std::strerror(failure));
    }
}

Process::~Process() {
    if (pid_ > 0) {
        kill(-pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    CloseFd(out_);
    CloseFd(err_);
}

bool Process::Collect(int timeoutMs) {
    pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
    if (out_ < 0 && err_ < 0) return false;
    int ready = poll(fds, 2, timeoutMs);
    if (ready <= 0) return true;
    for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || fds[i].revents == 0) continue;
        char buffer[4096];
        ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
        if (got > 0) {
            (i == 0 ? outcome_.out : outcome_.err).append(buffer, static_cast<size_t>(got));
        } else if (got == 0 || errno != EINTR) {
            CloseFd(i == 0 ? out_ : err_);
        }
    }
    return true;
}

void Process::Signal(int signal) {
    if (pid_ > 0) kill(pid_, signal);
}

Outcome Process::Finish(int timeoutMs) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (RemainingMs(deadline) > 0 && Collect(100)) {
    }
    if (out_ >= 0 || err_ >= 0) {
        outcome_.timedOut = true;
        kill(-pid_, SIGKILL);
    }
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    if (WIFEXITED(status)) {
        outcome_.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        outcome_.signal = WTERMSIG(status);
    }
    return outcome_;
}

Terminal::Terminal(const std::vector<std::string>& arguments,
                   const std::map<std::string, std::string>& environment) {
    // Everything the child needs is made before the fork: the test's server threads may
    // hold the allocator's lock when it happens.
    CommandLine command(FtpshPath(), arguments, environment);
    pid_ = forkpty(&master_, nullptr, nullptr, nullptr);
    if (pid_ < 0) throw std::runtime_error("forkpty failed");
    if (pid_ == 0) {
        execve(command.argv[0], command.argv.data(), command.envp.data());
        _exit(127);
    }
}

Terminal::~Terminal() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (master_ >= 0) close(master_);
}

void Terminal::Type(const std::string& keys) {
    // ftpsh reads every key on a raw terminal; keys typed while the terminal is still in
    // line mode (the editor printed its prompt but has not taken the terminal yet) would be
    // the line discipline's, and a Ctrl-C there a signal that flushes them. So the keys
    // wait, bounded, until the terminal is raw, as a person's keys come after the prompt.
    for (auto deadline = Clock::now() + std::chrono::seconds(2); Clock::now() < deadline;) {
        termios mode {};
        if (tcgetattr(master_, &mode) != 0 || (mode.c_lflag & ICANON) == 0) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (write(master_, keys.data(), keys.size()) != static_cast<ssize_t>(keys.size()))
        throw std::runtime_error("typing failed");
}

bool Terminal::WaitFor(const std::string& text, int timeoutMs) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        size_t found = screen_.find(text, consumed_);
        if (found != std::string::npos) {
            consumed_ = found + text.size();
            return true;
        }
        int left = RemainingMs(deadline);
        if (left == 0) return false;
        pollfd fd{master_, POLLIN, 0};
        if (poll(&fd, 1, std::min(left, 100)) <= 0) continue;
        char buffer[4096];
        ssize_t got = read(master_, buffer, sizeof buffer);
        // The terminal ends (EIO) when ftpsh has gone.
        if (got <= 0) return false;
        screen_.append(buffer, static_cast<size_t>(got));
    }
}

int Terminal::Finish(int timeoutMs) {
    WaitFor(std::string(1, '\0'), timeoutMs);  // collects to the end
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string FtpshPath() {
    const char* path = std::getenv("TVFTP_FTPSH");
    return path != nullptr && path[0] != '\0' ? path : FTPSH_PROGRAM;
}

Outcome RunFtpsh(const std::vector<std::string>& arguments,
                 const std::map<std::string, std::string>& environment, int timeoutMs) {
    TempFile empty;
    std::map<std::string, std::string> variables = empty.SettingsEnvironment();
    for (const auto& [name, value] : environment) variables[name] = value;
    Process process(FtpshPath(), arguments, variables);
    return process.Finish(timeoutMs);
}

Outcome RunFtpshUnderWine(const std::string& program, const std::vector<std::string>& arguments,
                          const std::map<std::string, std::string>& environment) {
    std::vector<std::string> command = {"-a", "-s", "-screen 0 1024x768x24", FTPSH_WINE_RUNNER,
                                        program};
    command.insert(command.end(), arguments.begin(), arguments.end());
    std::map<std::string, std::string> variables = {{"TVFTP_WINE_TIMEOUT", "150"}};
    variables.insert(environment.begin(), environment.end());
    Process wine("/usr/bin/xvfb-run", command, variables);
    return wine.Finish(170000);
}

std::optional<std::string> WineSkipReason() {
    const char* root = std::getenv("TVFTP_WINE32_ROOT");
    if (root == nullptr || std::filesystem::exists(std::string(root) + "/.ready")) return std::nullopt;
    std::ifstream reason(std::string(root) + "/.unusable");
    std::string text((std::istreambuf_iterator<char>(reason)), std::istreambuf_iterator<char>());
    return "32-bit Windows programs cannot run here: " + (text.empty() ? "no i386 root" : text);
}

TempFile::TempFile(const std::string& content, const std::string& name) {
    std::string pattern = (std::filesystem::temp_directory_path() / "ftpsh-test.XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    folder_ = pattern;
    path_ = folder_ + "/" + name;
    std::ofstream(path_) << content;
}

TempFile::~TempFile() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

std::string Describe(const Outcome& outcome) {
    return "exit " + std::to_string(outcome.exitCode) + (outcome.timedOut ? " (timed out)" : "") +
           "\n--- out:\n" + outcome.out + "--- err:\n" + outcome.err;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> ProtocolLines(const std::string& text) {
    std::vector<std::string> protocol;
    for (const std::string& line : Lines(text)) {
        if (line.rfind("--> ", 0) == 0 || line.rfind("<-- ", 0) == 0) protocol.push_back(line);
    }
    return protocol;
}

}  // namespace ftpsh_test
