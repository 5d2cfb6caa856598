// The interface of the code-set library BKCS32: its conversion context, the table record of
// a code set, and the fifteen CCSS functions as the module calls them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

// A conversion context. The library owns it; the module reads only the first field, the
// number of bytes the last CCSSConvertBlock produced.
struct CcssContext {
    int32_t outputLength;
};

// The library's description of one code set. The module reads only needsSystemFixedFont;
// the other fields are kept so that the record has the library's layout.
struct CodeSetTableRecord {
    uint32_t size;
    const char* name;
    uint32_t reserved8;
    uint32_t reserved12;
    // Non-zero: texts in this code set need the system fixed font rather than the ANSI
    // fixed font, and binary data is recognised by the first byte set.
    uint32_t needsSystemFixedFont;
    uint32_t reserved20;
    uint32_t reserved24;
};
#if UINTPTR_MAX == 0xffffffffu
static_assert(offsetof(CodeSetTableRecord, needsSystemFixedFont) == 16);
static_assert(sizeof(CodeSetTableRecord) == 28);
#endif

// A CCSSConvertBlock result that means success; anything else is a failed conversion.
constexpr LONG CCSS_CONVERTED = 1;

// The functions, bound by name.
typedef LONG(WINAPI* CcssGetNumberOfCodeSetsFn)();
typedef LONG(WINAPI* CcssGetDosCodeSetFn)();
typedef LONG(WINAPI* CcssGetWindowsCodeSetFn)();
typedef const CodeSetTableRecord*(WINAPI* CcssGetCodeSetTableFn)(LONG codeSet);
typedef CcssContext*(WINAPI* CcssCreateContextFn)(LONG kind);
typedef LONG(WINAPI* CcssDestroyContextFn)(CcssContext* context);
typedef LONG(WINAPI* CcssChangeCodeSetFn)(CcssContext* context, LONG source, LONG target);
typedef LONG(WINAPI* CcssConvertFn)(CcssContext* context, LPSTR text);
typedef LONG(WINAPI* CcssConvertStrFn)(CcssContext* context, LPCSTR source,
                                       LPSTR destination);
typedef LONG(WINAPI* CcssConvertBlockFn)(CcssContext* context, const char* source, LONG length,
                                         char* destination);
typedef LONG(WINAPI* CcssHowManyTimesInWorstCaseFn)(CcssContext* context);
typedef LONG(WINAPI* CcssCreateDosFilenameFn)(CcssContext* context, LPCSTR name,
                                              LPSTR dosName);
typedef LONG(WINAPI* CcssIsTruncatableFn)(CcssContext* context, LPCSTR text, LONG length);
typedef LONG(WINAPI* CcssIsBinaryFn)(CcssContext* context, const void* bytes, LONG length);
typedef LPCSTR(WINAPI* CcssGetNameOfCodeSetFn)(LONG codeSet);

// One entry per library function, in the order the library is searched.
struct CcssFunctionTable {
    CcssGetNumberOfCodeSetsFn getNumberOfCodeSets;
    CcssGetDosCodeSetFn getDosCodeSet;
    CcssGetWindowsCodeSetFn getWindowsCodeSet;
    CcssGetCodeSetTableFn getCodeSetTable;
    CcssCreateContextFn createContext;
    CcssDestroyContextFn destroyContext;
    CcssChangeCodeSetFn changeCodeSet;
    CcssConvertFn convert;
    CcssConvertStrFn convertStr;
    CcssConvertBlockFn convertBlock;
    CcssHowManyTimesInWorstCaseFn howManyTimesInWorstCase;
    CcssCreateDosFilenameFn createDosFilename;
    CcssIsTruncatableFn isTruncatable;
    CcssIsBinaryFn isBinary;
    CcssGetNameOfCodeSetFn getNameOfCodeSet;
};
