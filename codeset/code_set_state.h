// The module-wide code-set state that all connections share: the CCSS function table
// (the library's functions or the built-in fallbacks), the outgoing and incoming conversion
// contexts, the code-set table in force, and the two switches that decide whether text is
// converted at all.
#pragma once

#include <cstdint>

#include "codeset/ccss_interface.h"

// A library handle at or below this value means the code-set library is not bound.
constexpr UINT_PTR CODE_SET_LIBRARY_NOT_BOUND = 32;

struct CodeSetState {
    HMODULE library;
    CcssFunctionTable functions;
    CcssContext* outgoing;  // local to remote: commands and uploaded data
    CcssContext* incoming;  // remote to local: replies, listings and downloaded data
    const CodeSetTableRecord* codeSetTable;
    LONG numberOfCodeSets;
    // Set by a connection open that names a remote code set; never cleared while loaded.
    bool conversionActive;
    // The user's "disable conversion" option of the options dialog; not saved.
    bool conversionDisabled;
};

extern CodeSetState gCodeSet;

// The module-wide code-set state for every use of it: the conversions, the contexts and the
// code-set table. The library that start-up named (BindCodeSetLibraryOnFirstUse) is bound
// at the first call rather than at start-up, because start-up runs inside the loader's
// entry point, where loading another library is unsafe (the loader lock is held).
// Defined in binding.cpp.
CodeSetState& CodeSets();

// Marks the library as not bound and fills the whole function table with the built-in
// fallbacks. Contexts and the code-set table keep their values.
void InstallCcssFallbacks();

// Text is converted only while a connection has named a remote code set and the user has
// not disabled conversion.
bool ConversionRuns();

// The worst-case expansion of a context, never below 1 whatever the library answers.
int32_t WorstCaseFactor(CcssContext* context);

// The conversions of text between the code sets: incoming from the remote code set to the
// local one (replies, listings), outgoing the other way (commands). Each converts `length`
// bytes into `target`, which has room for `room` bytes, and answers the count written,
// or CONVERSION_FAILED when the library failed or would have written more. An incoming
// count may be 0: the library holds back the start of a character until the rest of it
// arrives.
constexpr int32_t CONVERSION_FAILED = -1;
int32_t ConvertIncoming(const char* bytes, int32_t length, char* target, uint32_t room);
int32_t ConvertOutgoing(const char* bytes, int32_t length, char* target, uint32_t room);

// How many received bytes may go into one incoming conversion so that what they turn into
// surely fits `room` bytes: all of the room while conversion does not run; else the room
// less one byte (the library may give up a character it held back from an earlier block)
// divided by the worst-case factor; 0 when not even one byte fits.
uint32_t IncomingPieceLimit(uint32_t room);

// The built-in context and code-set table record used before the library is bound.
CcssContext* BuiltInContext();
const CodeSetTableRecord* BuiltInCodeSetTable();
