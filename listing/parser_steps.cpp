// The bare name of a DOS-style listing line, shared by the DOS and OS/2, Windows NT
// DOS-style and Windows 95 parsers.
#include "listing/parser_steps.h"

#include <cstring>

#include "util/memory_guards.h"
#include "util/orr.h"

int32_t StoreDosStyleName(const char* name, const ListingHandle* handle, DirEntry* entry) {
    if (handle->glob == 0) {
        const char* separator = OrrFindLastChar(name, '\\');
        if (separator != nullptr) name = separator + 1;
    }
    // A name that comes out empty (nothing after the last "\" of a directory handle's name,
    // or a line whose name column is missing) names nothing the host could open, so the
    // line is passed over like the entries "." and "..".
    if (name[0] == '\0' || std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) {
        return PARSE_SKIP;
    }
    return StoreName(name, entry);
}

int32_t StoreDosStyleNameFromLineCopy(size_t offset, const ListingHandle* handle,
                                      DirEntry* entry) {
    LockedBlock<const char> lineCopy(entry->line);
    if (!lineCopy) return FSE_NO_MEMORY;
    // The offset comes from the working line, which has the copy's length.
    return StoreDosStyleName(lineCopy.get() + offset, handle, entry);
}
