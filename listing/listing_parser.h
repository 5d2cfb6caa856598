// Turning listing lines into DirEntry records: the contract every host's listing parser
// keeps, the choice of parser by host type, and the operations the parsers share (copies of
// the line and the name for the host, the entry kind under the handle's kind mask, the
// tests for directory words and DIR extensions, blank-separated fields, and the name
// extraction of UNIX-style lines).
#pragma once

#include <cstdint>

#include "connection/ftp_connection.h"
#include "listing/listing_handle.h"

// Results of a listing parser besides a name length (0 or more):
constexpr int32_t PARSE_SKIP = -1;            // no entry in this line; read the next one
constexpr int32_t PARSE_NOT_THIS_FORMAT = FSE_BAD_LISTING;  // no line of this format: passed over
// Any other negative value, FSE_NO_MEMORY among them, ends the read with that value.

// A listing parser: fills `entry` from `line` (NUL-terminated, without its CR LF, writable:
// the parser cuts it up in place) for the listing `handle` of a server of `hostType`.
using ListingParser = int32_t (*)(DirEntry* entry, char* line, ListingHandle* handle,
                                  uint8_t hostType);

// The parser for a host type, or null when the host type has none (1, 13 and unknown ones).
ListingParser SelectListingParser(uint8_t hostType);

// The parsers, one per listing style.
int32_t ParseUnixLine(DirEntry* entry, char* line, ListingHandle* handle, uint8_t hostType);
int32_t ParseDosLine(DirEntry* entry, char* line, ListingHandle* handle, uint8_t hostType);
int32_t ParseWindowsNtDosLine(DirEntry* entry, char* line, ListingHandle* handle,
                              uint8_t hostType);
int32_t ParseWindows95Line(DirEntry* entry, char* line, ListingHandle* handle,
                           uint8_t hostType);
int32_t ParseMvsLine(DirEntry* entry, char* line, ListingHandle* handle, uint8_t hostType);
int32_t ParseVmLine(DirEntry* entry, char* line, ListingHandle* handle, uint8_t hostType);
int32_t ParseVmsLine(DirEntry* entry, char* line, ListingHandle* handle, uint8_t hostType);
int32_t ParseMacintoshLine(DirEntry* entry, char* line, ListingHandle* handle,
                           uint8_t hostType);

// ---------------------------------------------------------------------------------------
// Shared operations
// ---------------------------------------------------------------------------------------

// Stores a copy of the whole line (a moveable block of exactly its length and a NUL) in the
// entry with its length, and clears the reserved field: the line length, or FSE_NO_MEMORY.
int32_t StoreLineCopy(const char* line, DirEntry* entry);
// The same for the name.
int32_t StoreName(const char* name, DirEntry* entry);
// Stores "name.extension" (the name alone when extension is null). The joined text holds at
// most `limit` characters.
int32_t StoreNameWithExtension(const char* name, const char* extension, DirEntry* entry,
                               int32_t limit);
// Frees what StoreLineCopy / StoreName put into the entry and clears the handles.
void FreeEntryLine(DirEntry* entry);
void FreeEntryName(DirEntry* entry);
// Frees the name blocks and, with `lines`, the line blocks of the first `filled` entries,
// filled by a read that then failed (a handle of 0 is passed over), so the host is left
// with no memory from that read.
void FreeEntriesOfFailedRead(DirEntry* entries, int32_t filled, bool lines);

// A record that one line fills tentatively. It starts from empty name and line handles;
// unless the line ends in an entry, the blocks stored in it are freed and it holds again
// what the host had put there, so that a copy made for a line that then carries no entry is
// neither lost nor handed to the host.
class TentativeEntry {
public:
    explicit TentativeEntry(DirEntry* entry)
        : entry_(entry), hostName_(entry->name), hostLine_(entry->line) {
        entry->name = nullptr;
        entry->line = nullptr;
    }
    ~TentativeEntry() {
        if (kept_) return;
        FreeEntryName(entry_);
        FreeEntryLine(entry_);
        entry_->name = hostName_;
        entry_->line = hostLine_;
    }
    TentativeEntry(const TentativeEntry&) = delete;
    TentativeEntry& operator=(const TentativeEntry&) = delete;

    DirEntry* get() const { return entry_; }
    // Passes the result of filling the record through; 0 or more keeps the entry.
    int32_t Finish(int32_t result) {
        kept_ = result >= 0;
        return result;
    }

private:
    DirEntry* entry_;
    HGLOBAL hostName_;
    HGLOBAL hostLine_;
    bool kept_ = false;
};

// Entry kind 1 when the handle wants directories (0), else PARSE_SKIP; file kind likewise
// with entry kind 2.
int32_t SetDirectoryKind(const ListingHandle* handle, DirEntry* entry);
int32_t SetFileKind(const ListingHandle* handle, DirEntry* entry);
// The directory-word test: a missing word skips; the word is turned to upper case in
// place; "<DIR>..." and "DIR..." take the directory kind, any other word the file kind.
int32_t ApplyDirectoryWord(char* word, const ListingHandle* handle, DirEntry* entry);
// The position after the "." of a DIR extension ("dir" or "DIR" after the name's last "."),
// or null.
char* FindDirExtension(const char* name);
// Walking back from the end of the line, the position after the third blank met; null when
// the line's start comes first.
char* FindLinkName(const char* line);

// Blank-separated fields: the next field of the line at *cursor (blanks and tabs separate;
// runs count as one), cut out in place; null when none is left.
char* NextField(char** cursor);

// Name extraction: line copy and name of a UNIX-style line (host types 5, 7, 11), of a VMS
// line (9), or the whole line (any other value): the name length, PARSE_SKIP for "." and
// "..", PARSE_NOT_THIS_FORMAT for a link line whose name cannot be found, or FSE_NO_MEMORY.
int32_t ExtractName(DirEntry* entry, char* line, const ListingHandle* handle, uint8_t hostType);

// The deferred-link pass: resolves the link lines put aside during the listing by trying to
// change into each of them, filling at most `freeRecords` entries from `entries` on. The
// number of entries filled, or an FsError.
int32_t RunDeferredLinkPass(DirEntry* entries, ListingHandle* handle, int32_t freeRecords,
                            FsStateRecord* record);
