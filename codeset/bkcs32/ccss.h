// BKCS32, the code-set library: converts text between the Windows code set, UTF-8 and a few
// other code sets through conversion contexts. This is its whole interface: the code-set
// numbers, the table record that describes a code set, the conversion context, and the fifteen
// CCSS functions that callers bind by name.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

#if defined(_WIN32)
// The Windows build exports through bkcs32.def, by undecorated name.
#define BKCS_API
#else
#define BKCS_API __attribute__((visibility("default")))
#endif

// ---------------------------------------------------------------------------------------
// Code sets. Numbers start at 1 and are never reused; CCSSGetNumberOfCodeSets counts them.
// ---------------------------------------------------------------------------------------
constexpr LONG CCSS_WINDOWS_1252 = 1;  // the Windows (ANSI) code set of Western systems
constexpr LONG CCSS_UTF8 = 2;
constexpr LONG CCSS_ISO_8859_1 = 3;
constexpr LONG CCSS_IBM437 = 4;  // the DOS (OEM) code set
constexpr LONG CCSS_ISO_8859_15 = 5;
constexpr LONG CCSS_CODE_SET_COUNT = 5;

// A code set of -1 in CCSSChangeCodeSet leaves that side of the context as it is.
constexpr LONG CCSS_UNCHANGED = -1;

// The only kind of context CCSSCreateContext makes.
constexpr LONG CCSS_CONVERSION_CONTEXT = 1;

// Results of the conversion functions that answer success or failure.
constexpr LONG CCSS_OK = 1;
constexpr LONG CCSS_FAILED = 3;

// What an unrepresentable character becomes in a single-byte code set.
constexpr char CCSS_DEFAULT_CHAR = '?';

// ---------------------------------------------------------------------------------------
// The table record of a code set: static, one per code set, never freed.
// ---------------------------------------------------------------------------------------
struct BkcsCodeSetTable {
    uint32_t size;     // size of this record in bytes
    const char* name;  // e.g. "Windows-1252", NUL-terminated
    uint32_t number;   // the code set's number
    // The most bytes one character takes in this code set (1 for single-byte sets).
    uint32_t maxCharBytes;
    // Non-zero: text in this code set wants the system fixed font rather than the ANSI
    // fixed font, and uses bytes 0x80 to 0x9F as ordinary text bytes, so only control codes,
    // DEL and 0xFD to 0xFF mark data as binary.
    uint32_t needsSystemFixedFont;
    // The Unicode character of each of the 256 bytes of a single-byte set; null for UTF-8.
    const uint16_t* toUnicode;
    uint32_t defaultChar;  // what an unrepresentable character becomes
};
#if UINTPTR_MAX == 0xffffffffu
static_assert(offsetof(BkcsCodeSetTable, size) == 0);
static_assert(offsetof(BkcsCodeSetTable, name) == 4);
static_assert(offsetof(BkcsCodeSetTable, needsSystemFixedFont) == 16);
static_assert(sizeof(BkcsCodeSetTable) == 28);
#endif

// ---------------------------------------------------------------------------------------
// A conversion context: one direction (source code set to target code set) and the state of
// one byte stream in that direction. Callers read outputLength; the rest is the library's.
// ---------------------------------------------------------------------------------------
struct BkcsContext {
    // Bytes written by the last CCSSConvertBlock (0 after a failure). Must stay first.
    LONG outputLength;
    LONG sourceCodeSet;
    LONG targetCodeSet;
    // A UTF-8 sequence that the last block ended inside of: the bits gathered so far, the
    // continuation bytes it still needs, and the range its next byte must fall in. The next
    // block completes it, so a character split across two blocks converts as one.
    uint32_t pendingCodePoint;
    uint8_t pendingNeeded;
    uint8_t pendingLower;
    uint8_t pendingUpper;
};
static_assert(offsetof(BkcsContext, outputLength) == 0);

// ---------------------------------------------------------------------------------------
// The functions.
// ---------------------------------------------------------------------------------------
extern "C" {

// How many code sets the library knows (numbered 1 to that count).
BKCS_API LONG WINAPI CCSSGetNumberOfCodeSets();
// The number of the DOS (OEM) code set: IBM437.
BKCS_API LONG WINAPI CCSSGetDOSCodeSet();
// The number of the Windows code set: Windows-1252.
BKCS_API LONG WINAPI CCSSGetWindowsCodeSet();
// The static table record of a code set; null for an unknown number.
BKCS_API const BkcsCodeSetTable* WINAPI CCSSGetCodeSetTable(LONG codeSet);
// The static name of a code set; null for an unknown number.
BKCS_API LPCSTR WINAPI CCSSGetNameOfCodeSet(LONG codeSet);

// A new context of the given kind (CCSS_CONVERSION_CONTEXT), converting the Windows code set
// to itself; null for another kind or when memory runs out.
BKCS_API BkcsContext* WINAPI CCSSCreateContext(LONG kind);
// Frees a context; null is allowed. 1 when a context was freed, else 0.
BKCS_API LONG WINAPI CCSSDestroyContext(BkcsContext* context);
// Sets the source and target code set of a context; CCSS_UNCHANGED keeps a side. An unknown
// number is kept too, and every conversion then fails. Starts a new stream: a sequence held
// back from the last block is dropped. 1 when both sides are known code sets, else 0.
BKCS_API LONG WINAPI CCSSChangeCodeSet(BkcsContext* context, LONG source, LONG target);
// The most bytes that one source byte can become in the context's direction (1 or more).
// A destination of length x factor + 1 bytes always holds the output of a block; the one byte
// more is for a character held back from the last block that the new block shows broken.
BKCS_API LONG WINAPI CCSSHowManyTimesInWorstCase(BkcsContext* context);

// Converts exactly length bytes (NUL bytes included) of one stream into destination and
// stores the number of bytes written in the context's outputLength. CCSS_OK, or CCSS_FAILED
// for an unknown code set or bad arguments. Malformed UTF-8 and characters the target lacks
// become CCSS_DEFAULT_CHAR instead of failing the block: one stray byte from a server must
// not make a whole reply or listing unreadable.
BKCS_API LONG WINAPI CCSSConvertBlock(BkcsContext* context, const char* source, LONG length,
                                      char* destination);
// Converts a NUL-terminated text in place, where the direction never makes a text longer.
// CCSS_OK, or CCSS_FAILED (the text is then unchanged).
BKCS_API LONG WINAPI CCSSConvert(BkcsContext* context, LPSTR text);
// Converts a NUL-terminated text into destination (room for its length x factor + 1 bytes)
// and NUL-terminates it. The length written, without the NUL, or -1.
BKCS_API LONG WINAPI CCSSConvertStr(BkcsContext* context, LPCSTR source, LPSTR destination);

// Makes an 8.3 DOS file name, in the DOS code set, from a name in the context's source code
// set. dosName needs room for 13 bytes. The length of the DOS name, or -1.
BKCS_API LONG WINAPI CCSSCreateDOSFilename(BkcsContext* context, LPCSTR name, LPSTR dosName);
// 1 when cutting the NUL-terminated text after length bytes leaves only whole characters of
// the context's source code set, else 0.
BKCS_API LONG WINAPI CCSSIsTruncatable(BkcsContext* context, LPCSTR text, LONG length);
// 1 when the bytes look like binary data rather than text of the context's source code set
// (or when that cannot be told), 0 when they look like text.
BKCS_API LONG WINAPI CCSSIsBinary(BkcsContext* context, const void* bytes, LONG length);

}  // extern "C"
