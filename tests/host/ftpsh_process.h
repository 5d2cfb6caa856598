// ftpsh run as a process by the tests, as a user or a script runs it: its arguments and
// environment, nothing on its standard input, its output and error output collected, its
// exit status. A run is bounded in time; one that overruns is killed and says so.
#pragma once

#include <sys/types.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/temp_folder.h"

namespace ftpsh_test {

struct Outcome {
    int exitCode = -1;  // the exit status, or -1 when a signal ended the process
    bool timedOut = false;
    std::string out;
    std::string err;
};

class Process {
public:
    // Starts `program` with `arguments`; `environment` adds to (and overrides) the test's
    // own environment. The process starts in a process group of its own, with nothing on
    // its input and both outputs collected, or on a terminal of its own (a pseudo-terminal)
    // with `terminal`, as a person at a prompt runs it.
    Process(const std::string& program, const std::vector<std::string>& arguments,
            const std::map<std::string, std::string>& environment = {}, bool terminal = false);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    void Signal(int signal);
    // At the terminal: waits for each text in turn (5 s at the most) after what earlier
    // waits consumed, and types the keys that follow it ("\r" is Enter, "\x03" Ctrl-C);
    // false when a text does not come.
    bool Converse(const std::vector<std::pair<std::string, std::string>>& steps);
    // Everything written to the output (the terminal) so far.
    const std::string& screen() const { return outcome_.out; }
    // Waits for the end (killing the process after `timeoutMs`) and
    // returns everything it wrote.
    Outcome Finish(int timeoutMs);

private:
    // Reads what is there within `timeoutMs`; false once both outputs are closed.
    bool Collect(int timeoutMs);
    bool WaitFor(const std::string& text, int timeoutMs);
    void Type(const std::string& keys);

    pid_t pid_ = -1;
    int fds_[2] = {-1, -1};  // the output and error output, or the terminal alone
    Outcome outcome_;
    size_t consumed_ = 0;
};

// ftpsh on a terminal of its own.
Process Terminal(const std::vector<std::string>& arguments,
                 const std::map<std::string, std::string>& environment);

// Runs ftpsh of this build (FTPSH_PROGRAM) to its end with the arguments, nothing on its
// input, and a settings file of the test's own (an empty one unless given), so that no
// ORR.INI of the machine takes part.
Outcome RunFtpsh(const std::vector<std::string>& arguments,
                 const std::map<std::string, std::string>& environment = {},
                 int timeoutMs = 30000);

// Why ftpsh.exe of a Windows build cannot run here, if so: TVFTP_WINE_FTPSH does not name
// it, or the i686 build's i386 root (TVFTP_WINE32_ROOT) could not be made.
std::optional<std::string> WineSkipReason();
// Runs that ftpsh.exe to its end under Wine (tests/wine/run_under_wine.sh) on a virtual X
// display.
Outcome RunFtpshUnderWine(const std::vector<std::string>& arguments,
                          const std::map<std::string, std::string>& environment = {});

// A file holding `content` in a fresh temporary folder, both removed by the destructor: a
// settings file (ORR.INI), a script, a file of dialog answers.
class TempFile {
public:
    explicit TempFile(const std::string& content = "", const std::string& name = "ORR.INI")
        : path_(folder_ / name) {
        tvtest::WriteFile(path_, content);
    }
    const std::string& path() const { return path_; }
    const std::string& folder() const { return folder_.path(); }
    // The environment that makes ftpsh and the module use this file as their settings.
    std::map<std::string, std::string> SettingsEnvironment() const {
        return {{"TARVO_ORR_INI", path_}};
    }

private:
    tvtest::TempFolder folder_;
    std::string path_;
};

// A listening loopback socket that never accepts: one connection waits in its queue,
// unanswered; `fillers` more fill the queue, so that the kernel drops further requests and
// a connect to it blocks until it times out. Closed, its port is one where nothing listens.
class Listener {
public:
    explicit Listener(int fillers = 0);
    ~Listener() { Close(); }
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;
    void Close();
    // The address with a user and a password.
    std::string Address() const { return "ftp://bob:pw@127.0.0.1:" + std::to_string(port_); }

private:
    int listener_ = -1;
    uint16_t port_ = 0;
    std::vector<int> fillers_;
};

// The exit status and both outputs, for the message of a failed check.
std::string Describe(const Outcome& outcome);

// Checks that `text` holds each of the parts.
void ExpectContains(const std::string& text, const std::vector<std::string>& parts);

// The lines of a text, without their line ends.
std::vector<std::string> Lines(const std::string& text);
// The lines that start with "--> " or "<-- ": the protocol as ftpsh printed it.
std::vector<std::string> ProtocolLines(const std::string& text);

}  // namespace ftpsh_test
