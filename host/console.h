// The terminal side of ftpsh: reading command lines (with line editing and history on a
// terminal), reading answers for dialog forms (hidden for passwords), and Ctrl-C, which
// cancels a blocking connect or name lookup and never ends ftpsh at its prompt.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ftpsh {

void InstallInterruptHandling();
// True once for each Ctrl-C pressed since the last call or ClearInterrupts().
bool TakeInterrupt();
void ClearInterrupts();
// While a command runs, a third Ctrl-C that nothing took ends ftpsh, so that a server that
// never answers cannot hold it forever.
void SetCommandRunning(bool running);

bool InputIsTerminal();
// Whether standard output is a terminal (where a progress line can rewrite itself).
bool OutputIsTerminal();

// A command line, without its line end; nothing at the end of the input. On a terminal the
// line is edited in place and remembered for the arrow keys; Ctrl-C there drops the line
// being typed and gives "".
std::optional<std::string> ReadCommandLine(const std::string& prompt);

// What Tab offers for the word before the cursor: the candidates that start with `word`,
// given the line before it. On a console without it, nothing happens.
using Completer =
    std::function<std::vector<std::string>(const std::string& before, const std::string& word)>;
void SetCompleter(Completer completer);

// An answer typed into a dialog form: `initial` is shown for editing (not for secrets,
// which are read without echo). Nothing when the user cancels with Ctrl-C or end of input.
std::optional<std::string> ReadFormAnswer(const std::string& prompt, bool secret,
                                          const std::string& initial);

// What an end of input turns out to be when a plain line is read.
enum class InputEnd {
    Real,         // the input has ended
    Interrupted,  // a signal broke the read off: go on reading the same line
    LineDropped,  // the user dropped the line being typed: give ""
};

// A line read byte by byte from standard input (input that is not a terminal, or a console
// without line editing), without its LF or CR LF; nothing at the end of the input.
// `classifyEnd` tells what each end of input means on this system.
std::optional<std::string> ReadPlainLine(InputEnd (*classifyEnd)());

}  // namespace ftpsh
