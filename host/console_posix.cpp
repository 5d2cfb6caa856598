// The terminal on POSIX systems: a SIGINT handler that only counts, and a small line
// editor on the raw terminal (arrows, Home/End, Backspace/Delete, Ctrl-A/E/K/U/W, history).
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "host/console.h"

namespace ftpsh {

namespace {

volatile sig_atomic_t gInterrupts = 0;
volatile sig_atomic_t gCommandRunning = 0;

void OnInterrupt(int) {
    gInterrupts = gInterrupts + 1;
    if (gCommandRunning && gInterrupts >= 3) {
        signal(SIGINT, SIG_DFL);
        raise(SIGINT);
    }
}

void WriteOut(const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t written = write(STDOUT_FILENO, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        done += static_cast<size_t>(written);
    }
}

// The terminal in raw mode for as long as the guard lives.
class RawTerminal {
public:
    RawTerminal() {
        if (tcgetattr(STDIN_FILENO, &saved_) != 0) return;
        termios raw = saved_;
        raw.c_iflag &= ~static_cast<tcflag_t>(ICRNL | IXON | BRKINT | ISTRIP | INPCK);
        raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG | IEXTEN);
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        active_ = tcsetattr(STDIN_FILENO, TCSAFLUSH, &raw) == 0;
    }
    ~RawTerminal() {
        if (active_) tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_);
    }
    bool active() const { return active_; }

private:
    termios saved_{};
    bool active_ = false;
};

// One byte from the terminal; -1 at end of input.
int ReadByte() {
    for (;;) {
        unsigned char byte;
        ssize_t got = read(STDIN_FILENO, &byte, 1);
        if (got == 1) return byte;
        if (got < 0 && errno == EINTR) continue;
        return -1;
    }
}

enum class Ending { Enter, Interrupt, EndOfInput };

class LineEditor {
public:
    // Edits one line; `history` may be null (no arrows through earlier lines).
    Ending Edit(const std::string& prompt, bool secret, std::string& line,
                std::vector<std::string>* history) {
        prompt_ = prompt;
        secret_ = secret;
        line_ = &line;
        cursor_ = line.size();
        size_t historyAt = history != nullptr ? history->size() : 0;
        std::string pending = line;
        Redraw();
        for (;;) {
            int c = ReadByte();
            if (c < 0) return Ending::EndOfInput;
            if (c == '\r' || c == '\n') {
                WriteOut("\r\n");
                return Ending::Enter;
            }
            if (c == 3) {
                WriteOut("^C\r\n");
                return Ending::Interrupt;
            }
            if (c == 4) {
                if (line.empty()) {
                    WriteOut("\r\n");
                    return Ending::EndOfInput;
                }
                DeleteAt(cursor_);
            } else if (c == 127 || c == 8) {
                if (cursor_ > 0) DeleteAt(--cursor_);
            } else if (c == 1) {
                cursor_ = 0;
            } else if (c == 5) {
                cursor_ = line.size();
            } else if (c == 11) {
                line.erase(cursor_);
            } else if (c == 21) {
                line.erase(0, cursor_);
                cursor_ = 0;
            } else if (c == 23) {
                size_t start = cursor_;
                while (start > 0 && line[start - 1] == ' ') --start;
                while (start > 0 && line[start - 1] != ' ') --start;
                line.erase(start, cursor_ - start);
                cursor_ = start;
            } else if (c == 27) {
                int second = ReadByte();
                if (second != '[' && second != 'O') continue;
                int key = ReadByte();
                if (key >= '0' && key <= '9') {
                    int tilde = ReadByte();
                    if (tilde != '~') continue;
                    if (key == '3') DeleteAt(cursor_);
                    if (key == '1' || key == '7') cursor_ = 0;
                    if (key == '4' || key == '8') cursor_ = line.size();
                } else if (key == 'D') {
                    if (cursor_ > 0) --cursor_;
                } else if (key == 'C') {
                    if (cursor_ < line.size()) ++cursor_;
                } else if (key == 'H') {
                    cursor_ = 0;
                } else if (key == 'F') {
                    cursor_ = line.size();
                } else if ((key == 'A' || key == 'B') && history != nullptr) {
                    if (historyAt == history->size()) pending = line;
                    if (key == 'A' && historyAt > 0) --historyAt;
                    if (key == 'B' && historyAt < history->size()) ++historyAt;
                    line = historyAt < history->size() ? (*history)[historyAt] : pending;
                    cursor_ = line.size();
                }
            } else if (c >= 32) {
                line.insert(cursor_++, 1, static_cast<char>(c));
                // Typing at the end of the line needs no redraw, only the character.
                if (cursor_ == line.size()) {
                    if (!secret) WriteOut(std::string(1, static_cast<char>(c)));
                    continue;
                }
            }
            Redraw();
        }
    }

private:
    void DeleteAt(size_t at) {
        if (at < line_->size()) line_->erase(at, 1);
    }

    // The whole line again: prompt, text (nothing for a secret), then the cursor put back.
    void Redraw() {
        std::string out = "\r" + prompt_;
        if (!secret_) out += *line_;
        out += "\x1b[K";
        if (!secret_ && cursor_ < line_->size())
            out += "\x1b[" + std::to_string(line_->size() - cursor_) + "D";
        WriteOut(out);
    }

    std::string prompt_;
    bool secret_ = false;
    std::string* line_ = nullptr;
    size_t cursor_ = 0;
};

std::vector<std::string>& History() {
    static std::vector<std::string> history;
    return history;
}

// A signal that broke off the read (the Ctrl-C handler) is no end of input.
InputEnd ClassifyInputEnd() {
    return std::ferror(stdin) && errno == EINTR ? InputEnd::Interrupted : InputEnd::Real;
}

}  // namespace

void InstallInterruptHandling() {
    struct sigaction action {};
    action.sa_handler = &OnInterrupt;
    sigemptyset(&action.sa_mask);
    // Reads restart; the waits of the platform look at the count between their slices.
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
}

bool TakeInterrupt() {
    if (gInterrupts == 0) return false;
    gInterrupts = 0;
    return true;
}

void ClearInterrupts() { gInterrupts = 0; }

void SetCommandRunning(bool running) { gCommandRunning = running ? 1 : 0; }

bool InputIsTerminal() { return isatty(STDIN_FILENO) != 0; }

bool OutputIsTerminal() { return isatty(STDOUT_FILENO) != 0; }

std::optional<std::string> ReadCommandLine(const std::string& prompt) {
    if (!InputIsTerminal()) return ReadPlainLine(&ClassifyInputEnd);
    std::fflush(stdout);
    RawTerminal raw;
    if (!raw.active()) return ReadPlainLine(&ClassifyInputEnd);
    std::string line;
    LineEditor editor;
    switch (editor.Edit(prompt, false, line, &History())) {
        case Ending::EndOfInput: return std::nullopt;
        case Ending::Interrupt: return std::string();
        case Ending::Enter: break;
    }
    if (!line.empty() && (History().empty() || History().back() != line)) History().push_back(line);
    return line;
}

std::optional<std::string> ReadFormAnswer(const std::string& prompt, bool secret,
                                          const std::string& initial) {
    std::fflush(stdout);
    RawTerminal raw;
    if (!raw.active()) {
        WriteOut(prompt);
        return ReadPlainLine(&ClassifyInputEnd);
    }
    std::string line = secret ? std::string() : initial;
    LineEditor editor;
    if (editor.Edit(prompt, secret, line, nullptr) != Ending::Enter) return std::nullopt;
    return line;
}

}  // namespace ftpsh
