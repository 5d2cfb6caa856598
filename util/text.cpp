// Text helpers of the utility library: bounded copy and append, comparison of the first
// characters with and without case, and searches for a character or a piece of text.
#include <cstring>

#include "util/orr.h"

namespace {

const char* OrEmpty(const char* text) {
    return text == nullptr ? "" : text;
}

// Letters fold by the ASCII rules only, so that a search gives the same answer whatever
// code page or locale the host runs with; server texts that matter here are ASCII.
unsigned char FoldCase(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

template <bool kIgnoreCase>
int32_t CompareFirst(const char* a, const char* b, int32_t n) {
    const auto* left = reinterpret_cast<const unsigned char*>(OrEmpty(a));
    const auto* right = reinterpret_cast<const unsigned char*>(OrEmpty(b));
    for (int32_t i = 0; i < n; ++i) {
        unsigned char x = kIgnoreCase ? FoldCase(left[i]) : left[i];
        unsigned char y = kIgnoreCase ? FoldCase(right[i]) : right[i];
        if (x != y) {
            return x < y ? -1 : 1;
        }
        if (x == 0) {
            break;  // both texts end here
        }
    }
    return 0;
}

}  // namespace

// The count is a number of characters, as callers state their limits ("at most 255
// characters") for buffers one byte larger; the NUL is always written after them, so a
// copy is never left unterminated and never goes beyond maximum + 1 bytes.
int32_t OrrCopyStringN(char* destination, const char* source, int32_t maximum) {
    const char* from = OrEmpty(source);
    int32_t copied = 0;
    while (copied < maximum && from[copied] != '\0') {
        destination[copied] = from[copied];
        ++copied;
    }
    destination[copied] = '\0';
    return copied;
}

// `room` counts the characters that may still be added, in the same sense as the maximum
// of OrrCopyStringN; the NUL goes after them.
int32_t OrrAppendStringN(char* destination, const char* source, int32_t room) {
    int32_t length = static_cast<int32_t>(std::strlen(destination));
    return length + OrrCopyStringN(destination + length, source, room);
}

int32_t OrrCompareN(const char* a, const char* b, int32_t n) {
    return CompareFirst<false>(a, b, n);
}

// Ignores case: the module uses it on words that servers spell as they please (listing
// summary lines, directory markers), where "Not found" must count as "not found". Where
// the case must match, callers use OrrCompareN.
int32_t OrrCompareBytes(const char* a, const char* b, int32_t n) {
    return CompareFirst<true>(a, b, n);
}

// The library's searches (SIMD-wide in glibc) rather than a loop of one byte a step: the
// listing parsers run these on every line. Neither ever finds the NUL.
char* OrrFindChar(const char* text, int character) {
    const char wanted = static_cast<char>(character);
    if (text == nullptr || wanted == '\0') {
        return nullptr;
    }
    return const_cast<char*>(std::strchr(text, wanted));
}

char* OrrFindLastChar(const char* text, int character) {
    const char wanted = static_cast<char>(character);
    if (text == nullptr || wanted == '\0') {
        return nullptr;
    }
    return const_cast<char*>(std::strrchr(text, wanted));
}

// The searches look for server wording in replies, greetings and listing lines: the
// system names of the SYST and greeting tables, the user's own greeting pieces, and the
// error texts servers put into listings ("No such file", "no such file", "Unreadable").
// Servers differ in how they capitalise these, so letters are compared without case.
// An empty pattern is found nowhere: a detection rule without a pattern must not claim
// every server.
char* OrrFindString(const char* text, const char* pattern) {
    if (text == nullptr || pattern == nullptr || pattern[0] == '\0') {
        return nullptr;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(pattern);
    // Only a place that holds the pattern's first letter, in either case, can start it: the
    // library's strcspn finds the next such place (or the end), and the pattern is compared
    // from there.
    const unsigned char lower = FoldCase(p[0]);
    const unsigned char upper =
        lower >= 'a' && lower <= 'z' ? static_cast<unsigned char>(lower - 'a' + 'A') : lower;
    const char firsts[] = {static_cast<char>(lower), static_cast<char>(upper), '\0'};
    for (const char* start = text;; ++start) {
        start += std::strcspn(start, firsts);
        const auto* t = reinterpret_cast<const unsigned char*>(start);
        int32_t i = 0;
        while (p[i] != 0 && FoldCase(t[i]) == FoldCase(p[i])) {
            ++i;
        }
        if (p[i] == 0) {
            return const_cast<char*>(start);
        }
        if (*start == '\0') {
            return nullptr;
        }
    }
}
