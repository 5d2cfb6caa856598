// Running ftpsh as a process for the end-to-end tests, and what they share.
#include "tests/host/ftpsh_process.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>
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
        for (char** entry = environ; *entry != nullptr; ++entry) {
            const std::string text(*entry);
            if (!environment.contains(text.substr(0, text.find('=')))) envText.push_back(text);
        }
        for (const auto& [name, value] : environment) envText.push_back(name + "=" + value);
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
                 const std::map<std::string, std::string>& environment, bool terminal) {
    // Everything the child needs is made before the fork: the test's server threads may
    // hold the allocator's lock when it happens.
    CommandLine command(program, arguments, environment);
    int out[2], err[2];
    if (terminal) {
        pid_ = forkpty(&fds_[0], nullptr, nullptr, nullptr);
    } else if (pipe2(out, O_CLOEXEC) == 0 && pipe2(err, O_CLOEXEC) == 0) {
        pid_ = fork();
    }
    if (pid_ < 0) throw std::runtime_error("cannot start " + program);
    if (pid_ == 0) {
        if (!terminal) {
            // A group of its own: a signal the test sends reaches ftpsh (and what it runs)
            // alone. Nothing to read: a script comes from -c or a file.
            setpgid(0, 0);
            dup2(open("/dev/null", O_RDONLY), 0);
            dup2(out[1], 1);
            dup2(err[1], 2);
        }
        signal(SIGINT, SIG_DFL);
        signal(SIGPIPE, SIG_DFL);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        execve(command.argv[0], command.argv.data(), command.envp.data());
        _exit(127);
    }
    if (!terminal) {
        close(out[1]);
        close(err[1]);
        fds_[0] = out[0];
        fds_[1] = err[0];
    }
}

Process::~Process() {
    if (pid_ > 0) {
        kill(-pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    CloseFd(fds_[0]);
    CloseFd(fds_[1]);
}

bool Process::Collect(int timeoutMs) {
    pollfd fds[2] = {{fds_[0], POLLIN, 0}, {fds_[1], POLLIN, 0}};
    if (fds_[0] < 0 && fds_[1] < 0) return false;
    int ready = poll(fds, 2, timeoutMs);
    if (ready <= 0) return true;
    for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || fds[i].revents == 0) continue;
        char buffer[4096];
        ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
        if (got > 0) {
            (i == 0 ? outcome_.out : outcome_.err).append(buffer, static_cast<size_t>(got));
        } else if (got == 0 || errno != EINTR) {
            // A terminal ends (EIO) when ftpsh has gone.
            CloseFd(fds_[i]);
        }
    }
    return true;
}

void Process::Signal(int signal) {
    if (pid_ > 0) kill(pid_, signal);
}

void Process::Type(const std::string& keys) {
    // ftpsh reads every key on a raw terminal; keys typed while the terminal is still in
    // line mode (the editor printed its prompt but has not taken the terminal yet) would be
    // the line discipline's, and a Ctrl-C there a signal that flushes them. So the keys
    // wait, bounded, until the terminal is raw, as a person's keys come after the prompt.
    for (auto deadline = Clock::now() + std::chrono::seconds(2); Clock::now() < deadline;) {
        termios mode {};
        if (tcgetattr(fds_[0], &mode) != 0 || (mode.c_lflag & ICANON) == 0) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (write(fds_[0], keys.data(), keys.size()) != static_cast<ssize_t>(keys.size()))
        throw std::runtime_error("typing failed");
}

bool Process::WaitFor(const std::string& text, int timeoutMs) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        size_t found = outcome_.out.find(text, consumed_);
        if (found != std::string::npos) {
            consumed_ = found + text.size();
            return true;
        }
        if (RemainingMs(deadline) == 0 || !Collect(std::min(RemainingMs(deadline), 100)))
            return false;
    }
}

Outcome Process::Finish(int timeoutMs) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (RemainingMs(deadline) > 0 && Collect(100)) {
    }
    if (fds_[0] >= 0 || fds_[1] >= 0) {
        outcome_.timedOut = true;
        kill(-pid_, SIGKILL);
    }
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    if (WIFEXITED(status)) outcome_.exitCode = WEXITSTATUS(status);
    return outcome_;
}

Process Terminal(const std::vector<std::string>& arguments,
                 const std::map<std::string, std::string>& environment) {
    return Process(FTPSH_PROGRAM, arguments, environment, true);
}

bool Process::Converse(const std::vector<std::pair<std::string, std::string>>& steps) {
    for (const auto& [shown, typed] : steps) {
        if (!WaitFor(shown, 5000)) return false;
        Type(typed);
    }
    return true;
}

Outcome RunFtpsh(const std::vector<std::string>& arguments,
                 const std::map<std::string, std::string>& environment, int timeoutMs) {
    TempFile empty;
    std::map<std::string, std::string> variables = environment;
    variables.emplace("TARVO_ORR_INI", empty.path());
    return Process(FTPSH_PROGRAM, arguments, variables).Finish(timeoutMs);
}

std::optional<std::string> WineSkipReason() {
    const char* program = std::getenv("TVFTP_WINE_FTPSH");
    if (program == nullptr || program[0] == '\0') return "TVFTP_WINE_FTPSH is not set";
    const char* root = std::getenv("TVFTP_WINE32_ROOT");
    if (root == nullptr || std::filesystem::exists(std::string(root) + "/.ready")) return std::nullopt;
    const std::string why = tvtest::ReadFile(std::string(root) + "/.unusable");
    return "32-bit Windows programs cannot run here: " + (why.empty() ? "no i386 root" : why);
}

Outcome RunFtpshUnderWine(const std::vector<std::string>& arguments,
                          const std::map<std::string, std::string>& environment) {
    std::vector<std::string> command = {"-a", "-s", "-screen 0 1024x768x24", FTPSH_WINE_RUNNER,
                                        std::getenv("TVFTP_WINE_FTPSH")};
    command.insert(command.end(), arguments.begin(), arguments.end());
    std::map<std::string, std::string> variables = {{"TVFTP_WINE_TIMEOUT", "150"}};
    variables.insert(environment.begin(), environment.end());
    return Process("/usr/bin/xvfb-run", command, variables).Finish(170000);
}

Listener::Listener(int fillers) {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t length = sizeof address;
    bind(listener_, reinterpret_cast<sockaddr*>(&address), length);
    listen(listener_, 0);
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    for (int i = 0; i < fillers; ++i) {
        fillers_.push_back(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
        connect(fillers_.back(), reinterpret_cast<sockaddr*>(&address), length);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(fillers > 0 ? 100 : 0));
}

void Listener::Close() {
    for (int fd : fillers_) close(fd);
    fillers_.clear();
    if (listener_ >= 0) close(listener_);
    listener_ = -1;
}

std::string Describe(const Outcome& outcome) {
    return "exit " + std::to_string(outcome.exitCode) + (outcome.timedOut ? " (timed out)" : "") +
           "\n--- out:\n" + outcome.out + "--- err:\n" + outcome.err;
}

void ExpectContains(const std::string& text, const std::vector<std::string>& parts) {
    for (const std::string& part : parts)
        EXPECT_NE(text.find(part), std::string::npos) << part << " in\n" << text;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
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
