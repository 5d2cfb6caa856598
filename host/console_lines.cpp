// Reading plain command lines from standard input, the same on every system but for what
// an end of input means there.
#include <cstdio>

#include "host/console.h"

namespace ftpsh {

std::optional<std::string> ReadPlainLine(InputEnd (*classifyEnd)()) {
    std::string line;
    for (;;) {
        const int c = std::fgetc(stdin);
        if (c == EOF) {
            const InputEnd end = classifyEnd();
            if (end != InputEnd::Real) std::clearerr(stdin);
            if (end == InputEnd::Interrupted) continue;
            if (end == InputEnd::LineDropped) return std::string();
            if (line.empty()) return std::nullopt;
            break;
        }
        if (c == '\n') break;
        line += static_cast<char>(c);
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

}  // namespace ftpsh
