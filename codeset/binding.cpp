// Binding and releasing the code-set library, and choosing the remote code set that the
// module-wide conversion contexts convert to.
// Standard headers come before the platform's, whose Winsock names replace the system's.
#include <cstring>
#include <iterator>
#include <utility>

#include "codeset/binding.h"
#include "codeset/code_set_state.h"

namespace {

// The library's functions in the order they are looked up; the first one missing ends the
// binding.
constexpr const char* kFunctionNames[] = {
    "CCSSGetNumberOfCodeSets", "CCSSGetDOSCodeSet",   "CCSSGetWindowsCodeSet",
    "CCSSGetCodeSetTable",     "CCSSCreateContext",   "CCSSDestroyContext",
    "CCSSChangeCodeSet",       "CCSSConvert",         "CCSSConvertStr",
    "CCSSConvertBlock",        "CCSSHowManyTimesInWorstCase",
    "CCSSCreateDOSFilename",   "CCSSIsTruncatable",   "CCSSIsBinary",
    "CCSSGetNameOfCodeSet",
};

// The table's entries are function pointers in the order of kFunctionNames.
static_assert(sizeof(CcssFunctionTable) == std::size(kFunctionNames) * sizeof(FARPROC));

// The argument every context is created with: a conversion context.
constexpr LONG kConversionContext = 1;
// Leaves that side of a context as it is.
constexpr LONG kCodeSetUnchanged = -1;

bool LibraryBound(HMODULE library) {
    return reinterpret_cast<UINT_PTR>(library) > CODE_SET_LIBRARY_NOT_BOUND;
}

// Whether the library can be found at all, before it is loaded: a library that is not
// there is no error, the module just runs without conversion.
bool LibraryCanBeFound(const char* libraryName) {
    OFSTRUCT found{};
    return OpenFile(libraryName, &found, OF_EXIST) != HFILE_ERROR;
}

bool LookUpFunctions(HMODULE library, CcssFunctionTable* table) {
    FARPROC entries[std::size(kFunctionNames)];
    for (size_t i = 0; i < std::size(kFunctionNames); ++i) {
        entries[i] = GetProcAddress(library, kFunctionNames[i]);
        if (entries[i] == nullptr) return false;
    }
    static_assert(sizeof entries == sizeof *table);
    std::memcpy(table, entries, sizeof entries);
    return true;
}

int32_t Fallback() {
    InstallCcssFallbacks();
    return 0;
}

// The library start-up named, until its first use binds it.
const char* libraryToBind = nullptr;

}  // namespace

int32_t BindCodeSetLibrary(const char* libraryName) {
    if (libraryName == nullptr || !LibraryCanBeFound(libraryName)) return Fallback();
    HMODULE library = LoadLibraryA(libraryName);
    if (!LibraryBound(library)) return Fallback();

    CcssFunctionTable functions;
    if (!LookUpFunctions(library, &functions)) {
        FreeLibrary(library);
        return Fallback();
    }
    CcssContext* outgoing = functions.createContext(kConversionContext);
    if (outgoing == nullptr) {
        FreeLibrary(library);
        return Fallback();
    }
    CcssContext* incoming = functions.createContext(kConversionContext);
    if (incoming == nullptr) {
        functions.destroyContext(outgoing);
        FreeLibrary(library);
        return Fallback();
    }

    LONG windowsCodeSet = functions.getWindowsCodeSet();
    functions.changeCodeSet(outgoing, windowsCodeSet, REMOTE_CODE_SET_INITIAL);
    functions.changeCodeSet(incoming, REMOTE_CODE_SET_INITIAL, windowsCodeSet);
    const CodeSetTableRecord* table = functions.getCodeSetTable(windowsCodeSet);

    gCodeSet.library = library;
    gCodeSet.functions = functions;
    gCodeSet.outgoing = outgoing;
    gCodeSet.incoming = incoming;
    // A library that has no record for its own Windows code set leaves the built-in one,
    // so that the font and byte-set choices always have a record to read.
    gCodeSet.codeSetTable = table != nullptr ? table : BuiltInCodeSetTable();
    gCodeSet.numberOfCodeSets = functions.getNumberOfCodeSets();
    return 1;
}

void BindCodeSetLibraryOnFirstUse(const char* libraryName) { libraryToBind = libraryName; }

CodeSetState& CodeSets() {
    if (libraryToBind != nullptr) BindCodeSetLibrary(std::exchange(libraryToBind, nullptr));
    return gCodeSet;
}

void SetRemoteCodeSet(LONG codeSet) {
    CodeSetState& codeSets = CodeSets();
    codeSets.functions.changeCodeSet(codeSets.outgoing, kCodeSetUnchanged, codeSet);
    codeSets.functions.changeCodeSet(codeSets.incoming, codeSet, kCodeSetUnchanged);
    codeSets.conversionActive = true;
}

void UnbindCodeSetLibrary() {
    libraryToBind = nullptr;
    if (!LibraryBound(gCodeSet.library)) return;
    gCodeSet.functions.destroyContext(gCodeSet.outgoing);
    gCodeSet.functions.destroyContext(gCodeSet.incoming);
    FreeLibrary(gCodeSet.library);
    // Nothing may call into the released library any more, and a second release (WEP
    // called by the host, then again by the last detach) must find nothing to release:
    // the module goes back to the state it had before binding.
    gCodeSet.outgoing = BuiltInContext();
    gCodeSet.incoming = BuiltInContext();
    gCodeSet.codeSetTable = BuiltInCodeSetTable();
    gCodeSet.numberOfCodeSets = 0;
    InstallCcssFallbacks();
}
