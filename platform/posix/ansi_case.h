// Letter case of the ANSI code page (Windows-1252), shared by the string calls and the
// private-profile files: ASCII letters, the accented Latin-1 letters and the few letters
// of 0x80-0x9F. Case-insensitive comparisons in the platform all fold through here.
#pragma once

namespace tvplatform {

inline unsigned char AnsiToUpper(unsigned char c) {
    if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 0x20);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 0x20);
    switch (c) {
        case 0x9A: return 0x8A;  // s caron
        case 0x9C: return 0x8C;  // oe
        case 0x9E: return 0x8E;  // z caron
        case 0xFF: return 0x9F;  // y diaeresis
        default: return c;
    }
}

inline unsigned char AnsiToLower(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 0x20);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 0x20);
    switch (c) {
        case 0x8A: return 0x9A;
        case 0x8C: return 0x9C;
        case 0x8E: return 0x9E;
        case 0x9F: return 0xFF;
        default: return c;
    }
}

inline bool AnsiIsAlpha(unsigned char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
    if (c >= 0xC0) return c != 0xD7 && c != 0xF7;
    // sharp s and the letters without a case partner: f hook, ordinal indicators, micro
    return c == 0x83 || c == 0x8A || c == 0x8C || c == 0x8E || c == 0x9A || c == 0x9C ||
           c == 0x9E || c == 0x9F || c == 0xAA || c == 0xB5 || c == 0xBA;
}

// Case-insensitive order of two texts: -1, 0 or 1. A null text sorts before any other.
inline int AnsiCompareNoCase(const char* a, const char* b) {
    if (a == nullptr || b == nullptr) return a == b ? 0 : (a == nullptr ? -1 : 1);
    for (;; ++a, ++b) {
        unsigned char ca = AnsiToLower(static_cast<unsigned char>(*a));
        unsigned char cb = AnsiToLower(static_cast<unsigned char>(*b));
        if (ca != cb) return ca < cb ? -1 : 1;
        if (ca == 0) return 0;
    }
}

}  // namespace tvplatform
