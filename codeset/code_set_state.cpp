// The module-wide code-set state and the built-in fallbacks that stand in for every CCSS
// function while the code-set library is not bound: the module then runs without
// conversion, and any conversion it is asked for fails.
#include "codeset/code_set_state.h"

namespace {

// The fallbacks take the arguments of the functions they replace and answer fixed values.
// CCSSConvertBlock answers 3, which every caller treats as a failed conversion.
constexpr LONG kFallbackFailed = 3;

CcssContext builtInContext{0};
CodeSetTableRecord builtInTable{28, "", 0, 0, 0, 0, 0};

LONG WINAPI FallbackGetNumberOfCodeSets() { return 0; }
LONG WINAPI FallbackGetDosCodeSet() { return 0; }
LONG WINAPI FallbackGetWindowsCodeSet() { return 0; }
const CodeSetTableRecord* WINAPI FallbackGetCodeSetTable(LONG) { return &builtInTable; }
CcssContext* WINAPI FallbackCreateContext(LONG) { return nullptr; }
LONG WINAPI FallbackDestroyContext(CcssContext*) { return 0; }
LONG WINAPI FallbackChangeCodeSet(CcssContext*, LONG, LONG) { return 0; }
LONG WINAPI FallbackConvert(CcssContext*, LPSTR) { return kFallbackFailed; }
LONG WINAPI FallbackConvertStr(CcssContext*, LPCSTR, LPSTR) { return kFallbackFailed; }
LONG WINAPI FallbackConvertBlock(CcssContext*, const char*, LONG, char*) {
    return kFallbackFailed;
}
LONG WINAPI FallbackHowManyTimesInWorstCase(CcssContext*) { return 1; }
LONG WINAPI FallbackCreateDosFilename(CcssContext*, LPCSTR, LPSTR) { return kFallbackFailed; }
LONG WINAPI FallbackIsTruncatable(CcssContext*, LPCSTR, LONG) { return 1; }
LONG WINAPI FallbackIsBinary(CcssContext*, const void*, LONG) { return 1; }
LPCSTR WINAPI FallbackGetNameOfCodeSet(LONG) { return nullptr; }

constexpr CcssFunctionTable kFallbacks{
    FallbackGetNumberOfCodeSets, FallbackGetDosCodeSet,   FallbackGetWindowsCodeSet,
    FallbackGetCodeSetTable,     FallbackCreateContext,   FallbackDestroyContext,
    FallbackChangeCodeSet,       FallbackConvert,         FallbackConvertStr,
    FallbackConvertBlock,        FallbackHowManyTimesInWorstCase,
    FallbackCreateDosFilename,   FallbackIsTruncatable,   FallbackIsBinary,
    FallbackGetNameOfCodeSet,
};

}  // namespace

CodeSetState gCodeSet{
    reinterpret_cast<HMODULE>(CODE_SET_LIBRARY_NOT_BOUND),
    kFallbacks,
    &builtInContext,
    &builtInContext,
    &builtInTable,
    0,
    false,
    false,
};

void InstallCcssFallbacks() {
    gCodeSet.library = reinterpret_cast<HMODULE>(CODE_SET_LIBRARY_NOT_BOUND);
    gCodeSet.functions = kFallbacks;
}

bool ConversionRuns() { return gCodeSet.conversionActive && !gCodeSet.conversionDisabled; }

int32_t WorstCaseFactor(CcssContext* context) {
    LONG factor = CodeSets().functions.howManyTimesInWorstCase(context);
    return factor < 1 ? 1 : factor;
}

namespace {

int32_t Convert(CcssContext* context, const char* bytes, int32_t length, char* target,
                uint32_t room) {
    if (CodeSets().functions.convertBlock(context, bytes, length, target) != CCSS_CONVERTED) {
        return CONVERSION_FAILED;
    }
    const LONG converted = context->outputLength;
    if (converted < 0 || static_cast<uint64_t>(converted) > room) return CONVERSION_FAILED;
    return static_cast<int32_t>(converted);
}

}  // namespace

int32_t ConvertIncoming(const char* bytes, int32_t length, char* target, uint32_t room) {
    return Convert(CodeSets().incoming, bytes, length, target, room);
}

int32_t ConvertOutgoing(const char* bytes, int32_t length, char* target, uint32_t room) {
    return Convert(CodeSets().outgoing, bytes, length, target, room);
}

uint32_t IncomingPieceLimit(uint32_t room) {
    if (!ConversionRuns()) return room;
    if (room == 0) return 0;
    return (room - 1) / static_cast<uint32_t>(WorstCaseFactor(CodeSets().incoming));
}

CcssContext* BuiltInContext() { return &builtInContext; }
const CodeSetTableRecord* BuiltInCodeSetTable() { return &builtInTable; }
