// The code sets the library knows: their table records, looked up by number, and the
// properties of a code set that conversion and classification need.
#pragma once

#include <cstdint>

#include "codeset/bkcs32/ccss.h"

namespace bkcs {

// The record of a code set, or null when the number names none.
const BkcsCodeSetTable* FindCodeSet(LONG number);

inline bool IsUtf8(const BkcsCodeSetTable& codeSet) { return codeSet.toUnicode == nullptr; }

// The byte of a single-byte code set that stands for a Unicode character, or -1 when the
// code set cannot represent it.
int EncodeSingleByte(const BkcsCodeSetTable& codeSet, uint32_t codePoint);

// The bytes a Unicode character takes in UTF-8.
inline int Utf8Length(uint32_t codePoint) {
    return codePoint < 0x80 ? 1 : codePoint < 0x800 ? 2 : codePoint < 0x10000 ? 3 : 4;
}

// Control codes other than tab, line feed, vertical tab, form feed and carriage return, DEL,
// and the C1 controls: characters that do not occur in text.
inline bool IsBinaryCharacter(uint32_t codePoint) {
    return (codePoint < 0x20 && (codePoint < 0x09 || codePoint > 0x0D)) ||
           (codePoint >= 0x7F && codePoint <= 0x9F);
}

}  // namespace bkcs
