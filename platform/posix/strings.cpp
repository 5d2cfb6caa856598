// The kernel's and user's text calls for the ANSI code page: lstr* and Char*. Like their
// Windows counterparts they accept null texts where Windows does (a null text has length
// 0 and sorts first) and compare with results -1, 0 and 1.
#include "platform/posix/ansi_case.h"
#include "platform/posix/win32.h"

#include <cstring>

using tvplatform::AnsiCompareNoCase;
using tvplatform::AnsiIsAlpha;
using tvplatform::AnsiToLower;
using tvplatform::AnsiToUpper;

int WINAPI lstrlenA(LPCSTR text) {
    return text == nullptr ? 0 : static_cast<int>(std::strlen(text));
}

LPSTR WINAPI lstrcpyA(LPSTR dest, LPCSTR src) {
    if (dest == nullptr || src == nullptr) return nullptr;
    std::memmove(dest, src, std::strlen(src) + 1);
    return dest;
}

// Copies at most max - 1 characters and always ends the copy with a NUL when max > 0.
LPSTR WINAPI lstrcpynA(LPSTR dest, LPCSTR src, int max) {
    if (dest == nullptr) return nullptr;
    if (max <= 0) return dest;
    int count = 0;
    if (src != nullptr) {
        for (; count < max - 1 && src[count] != '\0'; ++count) dest[count] = src[count];
    }
    dest[count] = '\0';
    return dest;
}

LPSTR WINAPI lstrcatA(LPSTR dest, LPCSTR src) {
    if (dest == nullptr) return nullptr;
    if (src == nullptr) return dest;
    std::memmove(dest + std::strlen(dest), src, std::strlen(src) + 1);
    return dest;
}

// Windows orders texts as words, not as bytes: letters compare without case first, and only
// texts that differ in case alone are ordered by it, a small letter before its capital.
int WINAPI lstrcmpA(LPCSTR a, LPCSTR b) {
    int folded = AnsiCompareNoCase(a, b);
    if (folded != 0 || a == nullptr || b == nullptr) return folded;
    for (; *a != '\0'; ++a, ++b) {
        if (*a != *b)
            return AnsiToLower(static_cast<unsigned char>(*a)) == static_cast<unsigned char>(*a)
                       ? -1
                       : 1;
    }
    return 0;
}

int WINAPI lstrcmpiA(LPCSTR a, LPCSTR b) { return AnsiCompareNoCase(a, b); }

namespace {

// Both case calls take either a text or, when the pointer's high word is zero, a single
// character in its low byte, which they return converted in the same form.
template <unsigned char (*Convert)(unsigned char)>
LPSTR ConvertTextOrChar(LPSTR textOrChar) {
    auto value = reinterpret_cast<uintptr_t>(textOrChar);
    if ((value >> 16) == 0) {
        return reinterpret_cast<LPSTR>(static_cast<uintptr_t>(Convert(LOBYTE(value))));
    }
    for (char* p = textOrChar; *p != '\0'; ++p) {
        *p = static_cast<char>(Convert(static_cast<unsigned char>(*p)));
    }
    return textOrChar;
}

template <unsigned char (*Convert)(unsigned char)>
DWORD ConvertBuffer(LPSTR text, DWORD length) {
    if (text == nullptr) return 0;
    for (DWORD i = 0; i < length; ++i) {
        text[i] = static_cast<char>(Convert(static_cast<unsigned char>(text[i])));
    }
    return length;
}

}  // namespace

LPSTR WINAPI CharUpperA(LPSTR textOrChar) { return ConvertTextOrChar<AnsiToUpper>(textOrChar); }
LPSTR WINAPI CharLowerA(LPSTR textOrChar) { return ConvertTextOrChar<AnsiToLower>(textOrChar); }
DWORD WINAPI CharUpperBuffA(LPSTR text, DWORD length) {
    return ConvertBuffer<AnsiToUpper>(text, length);
}
DWORD WINAPI CharLowerBuffA(LPSTR text, DWORD length) {
    return ConvertBuffer<AnsiToLower>(text, length);
}

// The ANSI code page has one byte per character; the steps stop at the ends of the text.
LPSTR WINAPI CharNextA(LPCSTR current) {
    if (current == nullptr) return nullptr;
    return const_cast<LPSTR>(*current == '\0' ? current : current + 1);
}

LPSTR WINAPI CharPrevA(LPCSTR start, LPCSTR current) {
    if (current == nullptr || start == nullptr) return const_cast<LPSTR>(current);
    return const_cast<LPSTR>(current > start ? current - 1 : start);
}

BOOL WINAPI IsCharAlphaA(CHAR ch) { return AnsiIsAlpha(static_cast<unsigned char>(ch)); }

BOOL WINAPI IsCharAlphaNumericA(CHAR ch) {
    return AnsiIsAlpha(static_cast<unsigned char>(ch)) || (ch >= '0' && ch <= '9');
}
