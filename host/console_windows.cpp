// The console on Windows: Ctrl-C is counted by a console control handler instead of ending
// the program, and lines are read in the console's own line-editing mode (arrows and
// history come with it), with window messages dispatched while the prompt waits.
#include <io.h>

#include <cstdio>
#include <string>

#include "host/console.h"
#include "host/host_window.h"
#include "platform/platform.h"

namespace ftpsh {

namespace {

volatile LONG gInterrupts = 0;
volatile LONG gCommandRunning = 0;

BOOL WINAPI OnConsoleControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    LONG count = InterlockedIncrement(&gInterrupts);
    // FALSE hands the event on, and the default handler ends the program.
    return !(gCommandRunning && count >= 3);
}

// A Ctrl-C during a console read ends the read; the line starts again.
InputEnd ClassifyInputEnd() {
    return gInterrupts != 0 && InputIsTerminal() ? InputEnd::LineDropped : InputEnd::Real;
}

}  // namespace

void InstallInterruptHandling() { SetConsoleCtrlHandler(&OnConsoleControl, TRUE); }

bool TakeInterrupt() { return InterlockedExchange(&gInterrupts, 0) != 0; }

void ClearInterrupts() { InterlockedExchange(&gInterrupts, 0); }

void SetCommandRunning(bool running) { InterlockedExchange(&gCommandRunning, running ? 1 : 0); }

bool InputIsTerminal() { return _isatty(_fileno(stdin)) != 0; }

bool OutputIsTerminal() { return _isatty(_fileno(stdout)) != 0; }

// The console's own line editing has its own history and no completion of ours.
void SetCompleter(Completer) {}

std::optional<std::string> ReadCommandLine(const std::string& prompt) {
    if (InputIsTerminal()) {
        std::fputs(prompt.c_str(), stdout);
        std::fflush(stdout);
        // The module's windows (the protocol window) stay alive while the prompt waits: their
        // messages run until the user starts typing.
        HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
        while (MsgWaitForMultipleObjects(1, &input, FALSE, INFINITE, QS_ALLINPUT) ==
               WAIT_OBJECT_0 + 1) {
            DispatchWaitingMessages();
        }
    }
    return ReadPlainLine(&ClassifyInputEnd);
}

std::optional<std::string> ReadFormAnswer(const std::string& prompt, bool secret,
                                          const std::string& initial) {
    // The module's dialogs are real windows here, answered on the screen; this is only
    // reached by a form without a window.
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    bool restore = secret && GetConsoleMode(input, &mode) &&
                   SetConsoleMode(input, mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
    std::fputs(prompt.c_str(), stdout);
    std::fflush(stdout);
    ClearInterrupts();
    auto line = ReadPlainLine(&ClassifyInputEnd);
    if (restore) {
        SetConsoleMode(input, mode);
        std::fputs("\n", stdout);
    }
    if (TakeInterrupt()) return std::nullopt;
    if (line && line->empty() && !secret) return initial;
    return line;
}

}  // namespace ftpsh
