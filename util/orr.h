// The operations the module takes from the maker's utility library: memory blocks, byte
// and string helpers, tokens, settings, the resource module, network readiness and host
// name resolution. Everything the module uses of that library is declared here.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// ---------------------------------------------------------------------------------------
// Memory blocks
// ---------------------------------------------------------------------------------------

// A zero-filled block of `size` bytes from locked moveable global memory (its handle is
// GlobalHandle of the pointer), or null when memory is short.
void* OrrAlloc(uint32_t size);
// Frees a block from OrrAlloc; null is ignored.
void OrrFree(void* block);

// ---------------------------------------------------------------------------------------
// Bytes. A count below 1 does nothing.
// ---------------------------------------------------------------------------------------

// Copies count bytes from source to destination (the two may overlap); returns count.
int32_t OrrCopyBytes(const void* source, void* destination, int32_t count);
void OrrFillBytes(void* destination, int value, int32_t count);
void OrrZeroBytes(void* destination, int32_t count);

// ---------------------------------------------------------------------------------------
// Texts: NUL-terminated 8-bit strings. A null text reads as the empty text. "Blank" means
// a space or a tab.
// ---------------------------------------------------------------------------------------

// Copies at most `maximum` characters of source and always ends them with a NUL, so the
// destination must have room for maximum + 1 bytes (a maximum below 0 counts as 0).
// Returns the characters copied.
int32_t OrrCopyStringN(char* destination, const char* source, int32_t maximum);
// Appends at most `room` characters of source after the text in destination and always
// ends it with a NUL, so destination needs lstrlen(destination) + room + 1 bytes.
// Returns the length of the whole text afterwards.
int32_t OrrAppendStringN(char* destination, const char* source, int32_t room);

// 0 when the first n characters of both texts are equal (a text that ends earlier is
// equal only where the other ends there too); else negative or positive as the first
// differing character orders them. Case matters.
int32_t OrrCompareN(const char* a, const char* b, int32_t n);
// As OrrCompareN, but the letters A-Z and a-z compare equal to their other case.
int32_t OrrCompareBytes(const char* a, const char* b, int32_t n);

// First and last occurrence of a character in a text, or null (also for the NUL).
char* OrrFindChar(const char* text, int character);
char* OrrFindLastChar(const char* text, int character);
// First occurrence of pattern in text, letters compared without regard to case; null when
// there is none or when the pattern is empty.
char* OrrFindString(const char* text, const char* pattern);

// The first blank after the first word (leading blanks are passed over), or null when the
// word runs to the end of the text.
char* OrrSkipWord(const char* text);
// The first non-blank character, or null when only blanks (or nothing) remain.
char* OrrSkipBlanks(const char* text);

// The next token of the text at *cursor: delimiters in front of it are passed over (a run
// of them counts as one), the delimiter after it is replaced by a NUL, and *cursor moves
// past that NUL (or to the text's end). Null when only delimiters remain; *cursor then
// rests on the text's end, so further calls keep answering null.
char* OrrNextToken(char** cursor, const char* delimiters);

// The number at the start of text in the given radix (2 to 36; any other value is taken
// as 10): leading blanks, an optional sign, for radix 16 an optional "0x", then digits up
// to the first character that is not one. Values beyond 32 bits are held at the nearest
// limit. No digit gives 0.
int32_t OrrStrToLong(const char* text, int radix);

// ---------------------------------------------------------------------------------------
// Settings: the private profile file "ORR.INI". Sections and keys are not case-sensitive.
// ---------------------------------------------------------------------------------------

// Writes the full path of the settings file into buffer (size bytes, 128 by the module's
// use) and returns its length; 0 with an empty text when not even "ORR.INI" fits.
int32_t OrrGetSettingsPath(char* buffer, int32_t size);
// The integer value of the key (callers use its low 16 bits), or defaultValue. The last
// two arguments are reserved; the module passes 0.
int32_t OrrGetProfileWord(const char* section, const char* key, int32_t defaultValue,
                          int32_t reserved1, int32_t reserved2);
// The integer value of the key, or defaultValue.
int32_t OrrGetProfileInt(const char* section, const char* key, int32_t defaultValue);
// Copies the key's value (at most size - 1 characters and a NUL) into buffer and returns
// its length. When the key is absent the default is copied instead and the result is 0.
int32_t OrrGetProfileString(const char* section, const char* key, const char* defaultValue,
                            char* buffer, int32_t size);

// ---------------------------------------------------------------------------------------
// Resource module
// ---------------------------------------------------------------------------------------

// The instance from which the module loads its strings and dialogs: the named library,
// or `instance` itself when that library cannot be loaded.
HINSTANCE OrrOpenResourceModule(const char* moduleName, HINSTANCE instance);

// ---------------------------------------------------------------------------------------
// Network
// ---------------------------------------------------------------------------------------

// Nonzero when sockets can be used (Winsock 1.1 has been started for the process).
int32_t OrrNetworkReady();

enum class HostLookup : int32_t {
    Failed = -1,   // WSAGetLastError tells why: WSAEINTR when the hook cancelled the lookup
    Numeric = 0,   // a dotted address; it has been stored and no lookup was made
    Named = 1,     // entry holds the addresses to try, in order, up to a null one
};

struct ResolvedHost {
    HostLookup how;
    // The platform's host entry when how is Named, else null. It lives in the platform's
    // own storage until the next lookup of the thread.
    hostent* entry;
};

// Resolves the host name held in the global memory block nameHandle. A dotted numeric
// address is stored in *address (network byte order). Any other name is looked up with
// blockingHook (when not null) installed as the blocking hook for the time of the lookup.
ResolvedHost OrrResolveHost(HGLOBAL nameHandle, FARPROC blockingHook, u_long* address);

// ---------------------------------------------------------------------------------------
// Dialog look: the library's decoration of dialog controls, which this module leaves
// plain.
// ---------------------------------------------------------------------------------------
int32_t OrrDialogLookEnabled();
void OrrApplyDialogLook(HWND window, UINT controls);
int32_t OrrDialogLookDone();
