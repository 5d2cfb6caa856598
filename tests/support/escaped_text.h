// The escapes of the text files that tests read: {TEXT*N} is TEXT N times, then \r \n \t \0,
// \xHH and a backslash before any other character for that character.
#pragma once

#include <regex>
#include <string>

namespace tvtest {

inline std::string Unescape(std::string text) {
    static const std::regex repeat(R"(\{([^{}]*)\*(\d+)\})");
    // Innermost first; the search goes on at the brace that may enclose a repetition, else
    // behind it, never through what it made (megabytes).
    size_t from = 0;
    for (std::smatch match; std::regex_search(text.cbegin() + from, text.cend(), match, repeat);) {
        const size_t start = from + match.position(0);
        std::string repeated;
        for (int i = std::stoi(match[2]); i > 0; --i) repeated += match[1];
        text.replace(start, match.length(0), repeated);
        const size_t enclosing = start == 0 ? std::string::npos : text.rfind('{', start - 1);
        from = enclosing == std::string::npos ? start + repeated.size() : enclosing;
    }
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i] == '\\' && i + 1 < text.size() ? text[++i] : (out += text[i], 0);
        if (c == 'x') {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else if (c != 0) {
            out += c == 'r' ? '\r' : c == 'n' ? '\n' : c == 't' ? '\t' : c == '0' ? '\0' : c;
        }
    }
    return out;
}

}  // namespace tvtest
