// Word and token helpers of the utility library: stepping over words and blanks, cutting
// a text into tokens in place, and reading a number.
#include <cstring>

#include "util/orr.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// The digit value of c, or 99 when c is no digit in any radix.
int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return 99;
}

}  // namespace

char* OrrSkipWord(const char* text) {
    if (text == nullptr) {
        return nullptr;
    }
    const char* p = text;
    while (IsBlank(*p)) ++p;
    while (*p != '\0' && !IsBlank(*p)) ++p;
    return *p == '\0' ? nullptr : const_cast<char*>(p);
}

char* OrrSkipBlanks(const char* text) {
    if (text == nullptr) {
        return nullptr;
    }
    const char* p = text;
    while (IsBlank(*p)) ++p;
    return *p == '\0' ? nullptr : const_cast<char*>(p);
}

// Runs of delimiters count as one and yield no empty tokens: listing lines are split at
// runs of blanks, received data into lines at runs of CR and LF. When the text is used
// up the cursor stays on its NUL instead of moving past it, so a caller that calls again
// reads nothing beyond the text.
char* OrrNextToken(char** cursor, const char* delimiters) {
    if (cursor == nullptr || *cursor == nullptr) {
        return nullptr;
    }
    const char* set = delimiters == nullptr ? "" : delimiters;
    auto isDelimiter = [set](char c) { return c != '\0' && std::strchr(set, c) != nullptr; };

    char* p = *cursor;
    while (isDelimiter(*p)) ++p;
    if (*p == '\0') {
        *cursor = p;
        return nullptr;
    }
    char* token = p;
    while (*p != '\0' && !isDelimiter(*p)) ++p;
    if (*p != '\0') {
        *p++ = '\0';
    }
    *cursor = p;
    return token;
}

// Server texts are hostile: a PASV reply may carry a number of any length. The value is
// accumulated in 64 bits and held at the 32-bit limits, so no digit string overflows.
int32_t OrrStrToLong(const char* text, int radix) {
    if (text == nullptr) {
        return 0;
    }
    if (radix < 2 || radix > 36) {
        radix = 10;
    }
    const char* p = text;
    while (IsBlank(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    if (radix == 16 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && DigitValue(p[2]) < 16) {
        p += 2;
    }
    constexpr int64_t kLimit = int64_t{INT32_MAX} + 1;  // magnitude of INT32_MIN
    int64_t magnitude = 0;
    for (int digit = DigitValue(*p); digit < radix; digit = DigitValue(*++p)) {
        magnitude = magnitude * radix + digit;
        if (magnitude > kLimit) {
            magnitude = kLimit;
        }
    }
    if (negative) {
        return static_cast<int32_t>(-magnitude);
    }
    return magnitude > INT32_MAX ? INT32_MAX : static_cast<int32_t>(magnitude);
}
