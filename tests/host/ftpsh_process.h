// ftpsh run as a process by the tests, as a user or a script runs it: its arguments and
// environment, nothing on its standard input, its output and error output collected, its
// exit status. A run is bounded in time; one that overruns is killed and says so.
#pragma once

#include <sys/types.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ftpsh_test {

struct Outcome {
    int exitCode = -1;       // the exit status, or -1 when a signal ended the process
    int signal = 0;          // the signal that ended it
    bool timedOut = false;
    std::string out;
    std::string err;
};

class Process {
public:
    // Starts `program` with `arguments`; `environment` adds to (and overrides) the test's
    // own environment. The process starts in a process group of its own.
    Process(const std::string& program, const std::vector<std::string>& arguments,
            const std::map<std::string, std::string>& environment = {});
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    void Signal(int signal);
    // Waits for the end (killing the process after `timeoutMs`) and
    // returns everything it wrote.
    Outcome Finish(int timeoutMs);

private:
    // Reads what is there within `timeoutMs`; false once both outputs are closed.
    bool Collect(int timeoutMs);

    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
    Outcome outcome_;
};

// ftpsh on a terminal of its own (a pseudo-terminal), as a person at a prompt runs it.
class Terminal {
public:
    Terminal(const std::vector<std::string>& arguments,
             const std::map<std::string, std::string>& environment);
    ~Terminal();
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    // Keys as typed ("\r" is Enter, "\x03" Ctrl-C).
    void Type(const std::string& keys);
    // Collects the screen output until it holds `text` after what earlier waits consumed.
    bool WaitFor(const std::string& text, int timeoutMs);
    // Waits for the end; the exit status, or -1.
    int Finish(int timeoutMs);
    // Everything written to the terminal so far.
    const std::string& screen() const { return screen_; }

private:
    pid_t pid_ = -1;
    int master_ = -1;
    std::string screen_;
    size_t consumed_ = 0;
};

// ftpsh of this build, with a settings file of the test's own (an empty one unless given),
// so that no ORR.INI of the machine takes part.
std::string FtpshPath();

// Runs ftpsh to its end with the arguments, nothing on its input.
Outcome RunFtpsh(const std::vector<std::string>& arguments,
                 const std::map<std::string, std::string>& environment = {},
                 int timeoutMs = 30000);

// Runs ftpsh.exe of a Windows build to its end under Wine (tests/wine/run_under_wine.sh) on
// a virtual X display.
Outcome RunFtpshUnderWine(const std::string& program, const std::vector<std::string>& arguments,
                          const std::map<std::string, std::string>& environment = {});
// Why the Windows program cannot run here, if so: the i686 build's i386 root
// (TVFTP_WINE32_ROOT) could not be made.
std::optional<std::string> WineSkipReason();

// A file holding `content` in a fresh temporary folder, both removed by the destructor: a
// settings file (ORR.INI), a script, a file of dialog answers.
class TempFile {
public:
    explicit TempFile(const std::string& content = "", const std::string& name = "ORR.INI");
    ~TempFile();
    const std::string& path() const { return path_; }
    const std::string& folder() const { return folder_; }
    // The environment that makes ftpsh and the module use this file as their settings.
    std::map<std::string, std::string> SettingsEnvironment() const {
        return {{"TARVO_ORR_INI", path_}};
    }

private:
    std::string folder_;
    std::string path_;
};

// The exit status and both outputs, for the message of a failed check.
std::string Describe(const Outcome& outcome);

// The lines of a text, without their line ends.
std::vector<std::string> Lines(const std::string& text);
// The lines that start with "--> " or "<-- ": the protocol as ftpsh printed it.
std::vector<std::string> ProtocolLines(const std::string& text);

}  // namespace ftpsh_test
