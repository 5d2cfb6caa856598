// The operations every listing parser shares: the host's copies of the line and the name,
// the entry kind under the handle's kind mask, the directory-word and DIR-extension tests,
// the link-name finder and blank-separated fields.
#include <cstring>

#include "listing/listing_parser.h"
#include "util/memory_guards.h"
#include "util/orr.h"

namespace {

constexpr const char* kFieldSeparators = " \t";

int32_t SetKind(const ListingHandle* handle, DirEntry* entry, uint32_t maskBit, uint8_t kind) {
    if ((handle->kindMask & maskBit) == 0) return PARSE_SKIP;
    entry->kind = kind;
    return 0;
}

// Stores a copy of `text` in *block and its length in *length. The host's DirEntry keeps
// the lengths in 16 bits; the line buffer and every name a parser can cut from it stay far
// below that, so the length is stored as it is.
int32_t StoreText(const char* text, HGLOBAL* block, uint16_t* length, DirEntry* entry) {
    const size_t size = std::strlen(text);
    HGLOBAL copy = CopyToGlobal(text, size, size + 1);
    if (copy == nullptr) return FSE_NO_MEMORY;
    *block = copy;
    *length = static_cast<uint16_t>(size);
    entry->reserved = 0;
    return static_cast<int32_t>(size);
}

}  // namespace

int32_t StoreLineCopy(const char* line, DirEntry* entry) {
    return StoreText(line, &entry->line, &entry->lineLength, entry);
}

int32_t StoreName(const char* name, DirEntry* entry) {
    return StoreText(name, &entry->name, &entry->nameLength, entry);
}

// The joined name has the room of a short file name: a name and extension that together run
// longer are cut to that room rather than stored past it. Such lines are not of the systems
// that list names this way (their names are at most eight and three characters, or eight
// and eight), so a cut name only appears for a line that merely looks like theirs.
int32_t StoreNameWithExtension(const char* name, const char* extension, DirEntry* entry,
                               int32_t limit) {
    if (extension == nullptr) return StoreName(name, entry);
    ScratchBlock joined(static_cast<uint32_t>(limit) + 1);
    if (joined.get() == nullptr) return FSE_NO_MEMORY;
    int32_t length = OrrCopyStringN(joined.get(), name, limit);
    length = OrrAppendStringN(joined.get(), ".", limit - length);
    OrrAppendStringN(joined.get(), extension, limit - length);
    return StoreName(joined.get(), entry);
}

void FreeEntryLine(DirEntry* entry) { FreeGlobalSlot(&entry->line); }
void FreeEntryName(DirEntry* entry) { FreeGlobalSlot(&entry->name); }

void FreeEntriesOfFailedRead(DirEntry* entries, int32_t filled, bool lines) {
    for (int32_t i = 0; i < filled; ++i) {
        FreeEntryName(&entries[i]);
        if (lines) FreeEntryLine(&entries[i]);
    }
}

int32_t SetDirectoryKind(const ListingHandle* handle, DirEntry* entry) {
    return SetKind(handle, entry, KIND_MASK_DIRECTORIES, ENTRY_DIRECTORY);
}

int32_t SetFileKind(const ListingHandle* handle, DirEntry* entry) {
    return SetKind(handle, entry, KIND_MASK_FILES, ENTRY_FILE);
}

int32_t ApplyDirectoryWord(char* word, const ListingHandle* handle, DirEntry* entry) {
    if (word == nullptr) return PARSE_SKIP;
    CharUpperA(word);
    if (OrrCompareN(word, "<DIR>", 5) == 0 || OrrCompareN(word, "DIR", 3) == 0) {
        return SetDirectoryKind(handle, entry);
    }
    return SetFileKind(handle, entry);
}

char* FindDirExtension(const char* name) {
    char* dot = OrrFindLastChar(name, '.');
    if (dot == nullptr) return nullptr;
    char* extension = dot + 1;
    if (std::strncmp(extension, "dir", 3) == 0 || std::strncmp(extension, "DIR", 3) == 0) {
        return extension;
    }
    return nullptr;
}

char* FindLinkName(const char* line) {
    int blanks = 0;
    for (const char* scan = line + std::strlen(line); scan > line;) {
        --scan;
        if ((*scan == ' ' || *scan == '\t') && ++blanks == 3) return const_cast<char*>(scan + 1);
    }
    return nullptr;
}

char* NextField(char** cursor) { return OrrNextToken(cursor, kFieldSeparators); }
