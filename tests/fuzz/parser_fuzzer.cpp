// Fuzz target for the listing parsers: every input is one listing line as the line reader
// hands it over (cut at its first NUL), parsed by the parser of each host type this target
// was built for, under every kind mask, on directory and glob handles, and as the first and
// a later line of the listing. Whatever the parser keeps is freed again, so a leak or a
// read past the line shows up under the sanitizers.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "listing/listing_parser.h"
#include "tests/fuzz/fuzz_session.h"

#ifndef TVFUZZ_HOST_TYPES
#error "TVFUZZ_HOST_TYPES names the host types whose parser this target exercises"
#endif

namespace {

constexpr uint8_t kHostTypes[] = {TVFUZZ_HOST_TYPES};
// The line reader never hands over more than its buffer holds.
constexpr size_t kLongestLine = LISTING_LINE_BUFFER_SIZE - 1;

void ParseOnce(const char* text, size_t length, uint8_t hostType, uint32_t kindMask,
               uint16_t glob, uint16_t lineCount) {
    ListingParser parser = SelectListingParser(hostType);
    TVFUZZ_CHECK(parser != nullptr);  // each target names host types that have a parser

    // A block of exactly the line and its NUL, so that a read past the NUL is caught.
    char* line = static_cast<char*>(std::malloc(length + 1));
    std::memcpy(line, text, length);
    line[length] = '\0';

    ListingHandle handle{};
    handle.kindMask = kindMask;
    handle.glob = glob;
    handle.lineCount = lineCount;
    DirEntry entry{};
    const int32_t result = parser(&entry, line, &handle, hostType);
    // The contract: a name length, a skip, the end of the listing, no memory, or the
    // Macintosh parser's own error.
    TVFUZZ_CHECK(result >= 0 || result == PARSE_SKIP || result == PARSE_NOT_THIS_FORMAT ||
                 result == FSE_NO_MEMORY || result == -2);
    if (result >= 0) {
        TVFUZZ_CHECK(entry.name != nullptr);
        const char* name = static_cast<const char*>(GlobalLock(entry.name));
        TVFUZZ_CHECK(std::strlen(name) == entry.nameLength && static_cast<int32_t>(entry.nameLength) == result);
        GlobalUnlock(entry.name);
    }
    FreeEntryName(&entry);
    FreeEntryLine(&entry);
    if (handle.deferredBuffer != nullptr) GlobalFree(handle.deferredBuffer);
    std::free(line);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    size_t length = strnlen(text, size);
    if (length > kLongestLine) length = kLongestLine;
    for (uint8_t hostType : kHostTypes) {
        for (uint32_t kindMask = 0; kindMask <= KIND_MASK_ALL; ++kindMask) {
            for (uint16_t glob = 0; glob <= 1; ++glob) {
                for (uint16_t lineCount : {1, 2}) {
                    ParseOnce(text, length, hostType, kindMask, glob, lineCount);
                }
            }
        }
    }
    return 0;
}
