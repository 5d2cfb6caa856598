// Runs curl as the listing benchmark's yardstick (see curl_listing.h).
#include "bench/curl_listing.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

extern char** environ;

namespace tvbench {

namespace {

// User names and passwords go into the address percent-encoded.
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

}  // namespace

std::string CurlPath() {
    for (const char* path : {"/usr/bin/curl", "/usr/local/bin/curl"}) {
        if (access(path, X_OK) == 0) return path;
    }
    return "";
}

bool CurlListsDirectory(const std::string& host, uint16_t port, const std::string& user,
                        const std::string& password, const std::string& folder,
                        double* transferSeconds) {
    const std::string curl = CurlPath();
    if (curl.empty()) return false;
    const std::string url = "ftp://" + Encoded(user) + ":" + Encoded(password) + "@" + host + ":" +
                            std::to_string(port) + "/" + folder + "/";
    std::vector<std::string> arguments = {curl, "-s", "--max-time", "120", "-o", "/dev/null",
                                          "-w", "%{time_pretransfer} %{time_total}", url};
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);

    // The timings curl writes come back through a pipe.
    int timings[2];
    if (pipe(timings) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, timings[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, timings[0]);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, curl.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(timings[1]);
    std::string written;
    if (spawned == 0) {
        char bytes[256];
        for (ssize_t got; (got = read(timings[0], bytes, sizeof bytes)) > 0;) {
            written.append(bytes, static_cast<size_t>(got));
        }
    }
    close(timings[0]);
    if (spawned != 0) return false;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return false;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return false;
    double pretransfer = 0;
    double total = 0;
    if (std::sscanf(written.c_str(), "%lf %lf", &pretransfer, &total) != 2) return false;
    *transferSeconds = total - pretransfer;
    return true;
}

}  // namespace tvbench
