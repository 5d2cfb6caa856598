// Steps that the listing parsers of the hosts without UNIX-style listings share besides the
// framework's operations: giving back the line copy of a line that turns out to carry no
// entry, and the bare name of the DOS-style listings (DOS and OS/2, Windows NT in DOS
// style, Windows 95).
#pragma once

#include <cstddef>
#include <cstdint>

#include "listing/listing_parser.h"

// The blanks of a listing line: the separators of its fields.
inline bool IsListingBlank(char c) { return c == ' ' || c == '\t'; }

// The line copy a parser has stored in an entry, given back unless the parser keeps the
// entry. The list reader puts the next line into the same record after a skip and stores
// its copy over the handle, so a copy left behind by a skipped line would be lost memory.
// Construct it right after StoreLineCopy succeeded.
class LineCopyGuard {
public:
    explicit LineCopyGuard(DirEntry* entry) : entry_(entry) {}
    ~LineCopyGuard() {
        if (entry_ != nullptr) FreeEntryLine(entry_);
    }
    LineCopyGuard(const LineCopyGuard&) = delete;
    LineCopyGuard& operator=(const LineCopyGuard&) = delete;

    // Passes the parser's result through; a name length (0 or more) keeps the line copy.
    int32_t Finish(int32_t result) {
        if (result >= 0) entry_ = nullptr;
        return result;
    }

private:
    DirEntry* entry_;
};

// Stores the name of a DOS-style line: a directory handle keeps only the text after the
// name's last "\", a glob handle the name as the server sent it. "." and ".." carry no entry
// (PARSE_SKIP), nor does a name that is empty. The name length, PARSE_SKIP or FSE_NO_MEMORY.
int32_t StoreDosStyleName(const char* name, const ListingHandle* handle, DirEntry* entry);

// The same for a name that is the line from some field on: the text is taken from the
// entry's line copy at that field's offset, so it keeps the blanks of the line as received.
int32_t StoreDosStyleNameFromLineCopy(size_t offset, const ListingHandle* handle,
                                      DirEntry* entry);
