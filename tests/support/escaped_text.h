// The escapes of the text files that tests read: {TEXT*N} is TEXT N times, then \r \n \t \0,
// \xHH and a backslash before any other character for that character.
#pragma once

#include <regex>
#include <string>

namespace tvtest {

inline std::string Unescape(std::string text) {
    static const std::regex repeat(R"(\{([^{}]*)\*(\d+)\})");
    // The search goes on behind each repetition, never through what it made (megabytes).
    std::string expanded;
    auto rest = text.cbegin();
    for (std::smatch match; std::regex_search(rest, text.cend(), match, repeat); rest = match.suffix().first) {
        expanded.append(match.prefix().first, match.prefix().second);
        for (int i = std::stoi(match[2]); i > 0; --i) expanded += match[1];
    }
    text = expanded.append(rest, text.cend());
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
