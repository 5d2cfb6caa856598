// Runs curl as the transfer benchmarks' yardstick (see curl_transfer.h).
#include "bench/curl_transfer.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <sstream>

#include "bench/curl_listing.h"

extern char** environ;

namespace tvbench {

namespace {

std::string Encoded(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~';
        if (plain) {
            out += static_cast<char>(c);
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            out += escaped;
        }
    }
    return out;
}

// A time_pretransfer beyond this is one of curl's stalls.
constexpr double kStallSeconds = 0.5;

double Seconds(const timeval& time) { return static_cast<double>(time.tv_sec) + time.tv_usec / 1e6; }

// Runs curl with these arguments after its name and "-s"; every transfer writes
// "time_pretransfer time_total" on a line of its own, which come back through a pipe.
bool RunCurl(std::vector<std::string> arguments, CurlRun* run) {
    const std::string curl = CurlPath();
    if (curl.empty()) return false;
    arguments.insert(arguments.begin(),
                     {curl, "-s", "--max-time", "600", "-w", "%{time_pretransfer} %{time_total}\\n"});
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);

    int timings[2];
    if (pipe(timings) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, timings[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, timings[0]);
    const auto started = std::chrono::steady_clock::now();
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, curl.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(timings[1]);
    std::string written;
    if (spawned == 0) {
        char bytes[4096];
        for (ssize_t got; (got = read(timings[0], bytes, sizeof bytes)) > 0;) {
            written.append(bytes, static_cast<size_t>(got));
        }
    }
    close(timings[0]);
    if (spawned != 0) return false;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) return false;
    run->wallSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    run->cpuSeconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return false;
    std::istringstream lines(written);
    double pretransfer = 0;
    double total = 0;
    int transfers = 0;
    double firstSeconds = 0;
    double unstalledTotal = 0;
    int unstalled = 0;
    while (lines >> pretransfer >> total) {
        run->transferSeconds += total - pretransfer;
        if (transfers == 0) {
            firstSeconds = total - pretransfer;
        } else if (pretransfer <= kStallSeconds) {
            unstalledTotal += total;
            ++unstalled;
        }
        run->afterLogonSeconds += transfers == 0 ? firstSeconds : total;
        if (pretransfer > kStallSeconds) ++run->stalls;
        ++transfers;
    }
    run->unstalledSeconds = unstalled == 0 ? run->afterLogonSeconds
                                           : firstSeconds + unstalledTotal / unstalled * (transfers - 1);
    return transfers > 0;
}

}  // namespace

std::string CurlAddress(const std::string& host, uint16_t port, const std::string& user,
                        const std::string& password, const std::string& path) {
    return "ftp://" + Encoded(user) + ":" + Encoded(password) + "@" + host + ":" +
           std::to_string(port) + "/" + path;
}

bool CurlDownloads(const std::vector<std::pair<std::string, std::string>>& files,
                   const std::vector<std::string>& options, CurlRun* run) {
    std::vector<std::string> arguments = options;
    for (const auto& [address, localFile] : files) {
        arguments.push_back("-o");
        arguments.push_back(localFile);
        arguments.push_back(address);
    }
    return RunCurl(arguments, run);
}

bool CurlUpload(const std::string& localFile, const std::string& address, CurlRun* run) {
    return RunCurl({"-T", localFile, address}, run);
}

}  // namespace tvbench
