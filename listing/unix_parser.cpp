// The UNIX-style listing parser (UNIX, Brannock and Windows NT servers in UNIX style): the
// test that tells a listing line from headings, totals and error texts, the entry kind from
// the line's first character, and the symbolic links, which the line cannot classify and
// which are put aside until the listing has ended.
#include <algorithm>
#include <cstring>

#include "listing/listing_parser.h"
#include "util/memory_guards.h"
#include "util/orr.h"

namespace {

// Texts servers write into a listing instead of an entry when a name cannot be listed.
constexpr const char* kErrorTexts[] = {"cannot find the file", "No such file", "unreadable"};

// A line shorter than this cannot hold the permissions and anything after them.
constexpr std::size_t kShortestEntryLine = 11;

// PARSE_SKIP for a line that carries no entry, PARSE_NOT_THIS_FORMAT for one that is no
// listing line at all (no second word), 0 for a line to parse.
int32_t TestUnixLine(const char* line) {
    if (line[0] == ' ' || line[0] == '\t') return PARSE_SKIP;
    // "total 12" heads the listing; the comparison keeps case, as servers write it.
    if (OrrCompareN(line, "total", 5) == 0) return PARSE_SKIP;
    if (std::strlen(line) < kShortestEntryLine) return PARSE_SKIP;
    for (const char* text : kErrorTexts) {
        if (OrrFindString(line, text) != nullptr) return PARSE_SKIP;
    }
    char* secondWord = OrrSkipBlanks(OrrSkipWord(line));
    if (secondWord == nullptr) return PARSE_NOT_THIS_FORMAT;
    // "xyz not found" from servers that answer a pattern matching nothing this way.
    if (OrrCompareBytes(secondWord, "not found", 9) == 0) return PARSE_SKIP;
    return 0;
}

// Appends the link line and its NUL to the handle's deferred buffer. The buffer grows at
// least by half of what it holds each time it is full, so a directory of many thousand
// links costs a few reallocations rather than one copy of everything per link.
int32_t DeferLinkLine(const char* line, ListingHandle* handle) {
    const uint32_t size = static_cast<uint32_t>(std::strlen(line)) + 1;
    const uint32_t used = handle->deferredAllocated ? handle->deferredOffset : 0;
    if (!handle->deferredAllocated) {
        HGLOBAL buffer = GlobalAlloc(GMEM_MOVEABLE, size);
        if (buffer == nullptr) return FSE_NO_MEMORY;
        handle->deferredBuffer = buffer;
        handle->deferredAllocated = 1;
        handle->deferredOffset = 0;
    } else if (const uint32_t capacity = static_cast<uint32_t>(GlobalSize(handle->deferredBuffer));
               used + size > capacity) {
        const uint32_t wanted = std::max(used + size, capacity + capacity / 2);
        HGLOBAL grown = GlobalReAlloc(handle->deferredBuffer, wanted, GMEM_MOVEABLE);
        if (grown == nullptr) return FSE_NO_MEMORY;  // the lines held so far stay
        handle->deferredBuffer = grown;
    }
    LockedBlock buffer(handle->deferredBuffer);
    if (!buffer) return FSE_NO_MEMORY;
    std::memcpy(buffer.get() + used, line, size);
    handle->deferredOffset = used + size;
    ++handle->deferredCount;
    return PARSE_SKIP;
}

}  // namespace

int32_t ParseUnixLine(DirEntry* entry, char* line, ListingHandle* handle, uint8_t hostType) {
    // A link may lead to a directory or to a file; only the server can tell, and it can be
    // asked only once the listing's own data connection is over.
    if (line[0] == 'l' || line[0] == 'L') return DeferLinkLine(line, handle);

    const int32_t test = TestUnixLine(line);
    if (test < 0) return test;

    // The kind comes before the name, so that an unwanted entry costs no copies.
    const bool directory = line[0] == 'd' || line[0] == 'D';
    const int32_t kind = directory ? SetDirectoryKind(handle, entry) : SetFileKind(handle, entry);
    if (kind < 0) return kind;

    return ExtractName(entry, line, handle, hostType);
}
