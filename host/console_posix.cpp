// The terminal on POSIX systems: a SIGINT handler that only counts; command lines read
// through libedit (emacs keys, history, Tab completion); and a small line editor on the raw
// terminal for the answers of dialog forms (arrows, Home/End, Backspace/Delete,
// Ctrl-A/E/K/U/W), which can hide a secret as it is typed.
#include <histedit.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "host/console.h"
#include "host/handed_text.h"
#include "host/user_text.h"

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
    Ending Edit(const std::string& prompt, bool secret, std::string& line) {
        prompt_ = prompt;
        secret_ = secret;
        line_ = &line;
        cursor_ = line.size();
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

// The command line's editor: one libedit state for the whole run, so that its history
// lasts from prompt to prompt.
class CommandLineEditor {
public:
    CommandLineEditor() {
        // The terminal itself, not standard output, which may convert the module's text.
        terminal_ = fdopen(dup(STDOUT_FILENO), "w");
        editor_ = terminal_ != nullptr ? el_init("ftpsh", stdin, terminal_, terminal_) : nullptr;
        history_ = history_init();
        if (editor_ == nullptr || history_ == nullptr) return;
        HistEvent event;
        history(history_, &event, H_SETSIZE, 500);
        history(history_, &event, H_SETUNIQUE, 1);
        el_set(editor_, EL_EDITOR, "emacs");
        el_set(editor_, EL_HIST, history, history_);
        el_set(editor_, EL_PROMPT, &CommandLineEditor::PromptOf);
        el_set(editor_, EL_CLIENTDATA, this);
        // The wide call keeps the names as given; the narrow one copies them and never frees.
        el_wset(editor_, EL_ADDFN, L"ftpsh-complete", L"complete the word",
                &CommandLineEditor::Complete);
        el_set(editor_, EL_BIND, "^I", "ftpsh-complete", nullptr);
        // While a line is edited Ctrl-C is a key that drops the line, not a signal: a
        // signal that came between the prompt and the read would be lost, and the prompt
        // would not come again until the next key. Outside the editor (a command running)
        // the terminal makes it a signal again.
        el_set(editor_, EL_SIGNAL, 0);
        el_set(editor_, EL_SETTY, "-d", "-isig", nullptr);
        el_wset(editor_, EL_ADDFN, L"ftpsh-interrupt", L"drop the line", &CommandLineEditor::Interrupt);
        el_set(editor_, EL_BIND, "^C", "ftpsh-interrupt", nullptr);
    }
    ~CommandLineEditor() {
        if (editor_ != nullptr) el_end(editor_);
        if (history_ != nullptr) history_end(history_);
        if (terminal_ != nullptr) std::fclose(terminal_);
    }
    bool usable() const { return editor_ != nullptr && history_ != nullptr; }

    std::optional<std::string> Read(const std::string& prompt) {
        prompt_ = prompt;
        interrupted_ = false;
        int count = 0;
        const char* text = el_gets(editor_, &count);
        if (interrupted_) {
            // The line being typed is dropped and the prompt comes again.
            WriteOut("^C\n");
            return std::string();
        }
        if (text == nullptr || count <= 0) return std::nullopt;
        std::string line(text, static_cast<size_t>(count));
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        if (line.find_first_not_of(" \t") != std::string::npos) {
            HistEvent event;
            history(history_, &event, H_ENTER, line.c_str());
        }
        return line;
    }

    void SetCompleter(Completer completer) { completer_ = std::move(completer); }

private:
    static CommandLineEditor& Of(EditLine* editor) {
        void* self = nullptr;
        el_get(editor, EL_CLIENTDATA, &self);
        return *static_cast<CommandLineEditor*>(self);
    }
    static char* PromptOf(EditLine* editor) { return Of(editor).prompt_.data(); }
    // Ctrl-C: the line ends here and is thrown away.
    static unsigned char Interrupt(EditLine* editor, int) {
        Of(editor).interrupted_ = true;
        return CC_NEWLINE;
    }

    // Tab: the word before the cursor grows by what all its candidates share; when that is
    // nothing, the candidates are listed below the line.
    static unsigned char Complete(EditLine* editor, int) {
        CommandLineEditor& self = Of(editor);
        const LineInfo* info = el_line(editor);
        if (!self.completer_ || info == nullptr) return CC_ERROR;
        const std::string before(info->buffer, static_cast<size_t>(info->cursor - info->buffer));
        size_t wordStart = before.find_last_of(" \t\"");
        wordStart = wordStart == std::string::npos ? 0 : wordStart + 1;
        const std::string word = before.substr(wordStart);
        const std::vector<std::string> candidates =
            self.completer_(before.substr(0, wordStart), word);
        if (candidates.empty()) return CC_ERROR;
        std::string shared = candidates.front();
        for (const std::string& candidate : candidates) {
            size_t same = 0;
            while (same < shared.size() && same < candidate.size() && shared[same] == candidate[same])
                ++same;
            shared.resize(same);
        }
        if (shared.size() > word.size()) {
            std::string added = shared.substr(word.size());
            const bool quoted = wordStart > 0 && before[wordStart - 1] == '"';
            // A name with a blank in it must be quoted to stay one word.
            if (!quoted && shared.find(' ') != std::string::npos) {
                el_deletestr(editor, static_cast<int>(word.size()));
                added = "\"" + shared + (candidates.size() == 1 ? "\"" : "");
            }
            if (candidates.size() == 1 && shared.back() != '/') added += quoted ? "\" " : " ";
            el_insertstr(editor, added.c_str());
            return CC_REFRESH;
        }
        if (candidates.size() == 1) return CC_REFRESH;
        std::string list = "\n";
        // Remote names are the server's text: control characters are shown, not sent.
        for (const std::string& candidate : candidates) list += ShownText(candidate) + "  ";
        WriteOut(list + "\n");
        return CC_REDISPLAY;
    }

    FILE* terminal_ = nullptr;
    EditLine* editor_ = nullptr;
    History* history_ = nullptr;
    std::string prompt_;
    bool interrupted_ = false;
    Completer completer_;
};

CommandLineEditor& CommandLine() {
    static CommandLineEditor editor;
    return editor;
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
    if (!InputIsTerminal() || !CommandLine().usable()) return ReadPlainLine(&ClassifyInputEnd);
    std::fflush(stdout);
    return CommandLine().Read(HostToUser(prompt));
}

void SetCompleter(Completer completer) { CommandLine().SetCompleter(std::move(completer)); }

std::optional<std::string> ReadFormAnswer(const std::string& prompt, bool secret,
                                          const std::string& initial) {
    std::fflush(stdout);
    RawTerminal raw;
    if (!raw.active()) {
        WriteOut(prompt);
        return ReadPlainLine(&ClassifyInputEnd);
    }
    std::string line = secret ? std::string() : HostToUser(initial);
    LineEditor editor;
    if (editor.Edit(HostToUser(prompt), secret, line) != Ending::Enter) return std::nullopt;
    return UserToHost(line);
}

}  // namespace ftpsh
