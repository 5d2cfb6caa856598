// The code sets: the Unicode character of every byte of each single-byte set, their table
// records, and the functions that tell callers which code sets exist.
#include "codeset/bkcs32/code_sets.h"

#include <array>

namespace bkcs {
namespace {

using ByteTable = std::array<uint16_t, 256>;
using UpperHalf = std::array<uint16_t, 128>;

// Every code set here agrees with ASCII on bytes 0x00 to 0x7F; they differ above.
constexpr ByteTable WithUpperHalf(const UpperHalf& upper) {
    ByteTable table{};
    for (int b = 0; b < 128; ++b) table[b] = static_cast<uint16_t>(b);
    for (int b = 0; b < 128; ++b) table[128 + b] = upper[b];
    return table;
}

constexpr ByteTable Latin1() {
    ByteTable table{};
    for (int b = 0; b < 256; ++b) table[b] = static_cast<uint16_t>(b);
    return table;
}

// Windows-1252 is ISO-8859-1 with printable characters in place of most C1 controls. Windows
// leaves 0x81, 0x8D, 0x8F, 0x90 and 0x9D undefined; they stand here for the C1 control of the
// same number (as Windows' own conversion does), so that every byte survives a round trip
// through UTF-8 and a file name with such a byte can still be named on the server.
constexpr ByteTable Windows1252() {
    constexpr UpperHalf kC1Area{
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
        0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    };
    ByteTable table = Latin1();
    for (int i = 0; i < 32; ++i) table[0x80 + i] = kC1Area[i];
    return table;
}

// ISO-8859-15 replaces eight rarely used Latin-1 characters, among them the euro sign.
constexpr ByteTable Latin9() {
    ByteTable table = Latin1();
    table[0xA4] = 0x20AC;
    table[0xA6] = 0x0160;
    table[0xA8] = 0x0161;
    table[0xB4] = 0x017D;
    table[0xB8] = 0x017E;
    table[0xBC] = 0x0152;
    table[0xBD] = 0x0153;
    table[0xBE] = 0x0178;
    return table;
}

// The DOS code set of the original PC: accented letters, box drawing and Greek letters.
// Bytes below 0x20 are the control codes, as in every code set here.
constexpr ByteTable Ibm437() {
    return WithUpperHalf(UpperHalf{
        0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,  // 0x80
        0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
        0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,  // 0x90
        0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,
        0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,  // 0xA0
        0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
        0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,  // 0xB0
        0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
        0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,  // 0xC0
        0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
        0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,  // 0xD0
        0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
        0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,  // 0xE0
        0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
        0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,  // 0xF0
        0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
    });
}

constexpr ByteTable kWindows1252 = Windows1252();
constexpr ByteTable kLatin1 = Latin1();
constexpr ByteTable kIbm437 = Ibm437();
constexpr ByteTable kLatin9 = Latin9();

constexpr uint32_t kRecordSize = sizeof(BkcsCodeSetTable);
constexpr uint32_t kDefaultChar = static_cast<unsigned char>(CCSS_DEFAULT_CHAR);

// Indexed by code set number - 1. The single-byte Western sets show well in the ANSI fixed
// font and use 0x80 to 0x9F for characters or C1 controls, so their flag is clear. UTF-8
// sets it: its lead and continuation bytes fill 0x80 to 0xFC, and only 0xFD to 0xFF (which
// never occur in UTF-8) and control codes betray binary data.
constexpr std::array<BkcsCodeSetTable, CCSS_CODE_SET_COUNT> kCodeSets{{
    {kRecordSize, "Windows-1252", CCSS_WINDOWS_1252, 1, 0, kWindows1252.data(), kDefaultChar},
    {kRecordSize, "UTF-8", CCSS_UTF8, 4, 1, nullptr, kDefaultChar},
    {kRecordSize, "ISO-8859-1", CCSS_ISO_8859_1, 1, 0, kLatin1.data(), kDefaultChar},
    {kRecordSize, "IBM437", CCSS_IBM437, 1, 0, kIbm437.data(), kDefaultChar},
    {kRecordSize, "ISO-8859-15", CCSS_ISO_8859_15, 1, 0, kLatin9.data(), kDefaultChar},
}};

}  // namespace

const BkcsCodeSetTable* FindCodeSet(LONG number) {
    if (number < 1 || number > CCSS_CODE_SET_COUNT) return nullptr;
    return &kCodeSets[number - 1];
}

int EncodeSingleByte(const BkcsCodeSetTable& codeSet, uint32_t codePoint) {
    const uint16_t* table = codeSet.toUnicode;
    // Most text is ASCII, and Latin-1 characters mostly sit on their own byte.
    if (codePoint < 256 && table[codePoint] == codePoint) return static_cast<int>(codePoint);
    for (int b = 128; b < 256; ++b) {
        if (table[b] == codePoint) return b;
    }
    return -1;
}

}  // namespace bkcs

extern "C" {

LONG WINAPI CCSSGetNumberOfCodeSets() { return CCSS_CODE_SET_COUNT; }

LONG WINAPI CCSSGetDOSCodeSet() { return CCSS_IBM437; }

LONG WINAPI CCSSGetWindowsCodeSet() { return CCSS_WINDOWS_1252; }

const BkcsCodeSetTable* WINAPI CCSSGetCodeSetTable(LONG codeSet) {
    return bkcs::FindCodeSet(codeSet);
}

LPCSTR WINAPI CCSSGetNameOfCodeSet(LONG codeSet) {
    const BkcsCodeSetTable* record = bkcs::FindCodeSet(codeSet);
    return record ? record->name : nullptr;
}

}  // extern "C"
