// Name-list listings: retrieval of the whole NLST data, the reader that turns its lines into
// entries, and the VMS rules that tell a directory from a file by its name.
#include "listing/name_list.h"

#include <cstring>
#include <string_view>

#include "codeset/code_set_state.h"
#include "connection/data_connection.h"
#include "listing/listing_open.h"
#include "listing/listing_parser.h"
#include "transfer/representation.h"
#include "util/memory_guards.h"
#include "util/orr.h"

namespace {

constexpr uint32_t kListingGrowth = 2048;
constexpr std::string_view kVmsWildcardLine = "*.*;";
// "[." in front of a bracketed VMS directory, "]" behind it, and its NUL.
constexpr uint32_t kBracketsAdded = 4;

// Receives the whole listing into `block` (`*size` bytes, always one byte left for the
// NUL): the length received, or an FsError. `block` holds the grown block either way.
int32_t ReceiveWholeListing(FtpConnection* connection, SOCKET data, GlobalBlock& block,
                            uint32_t* size) {
    uint32_t used = 0;
    for (;;) {
        if (used + 1 >= *size) {
            HGLOBAL grown =
                GlobalReAlloc(block.get(), *size + kListingGrowth, GMEM_MOVEABLE | GMEM_ZEROINIT);
            if (grown == nullptr) return FSE_NO_MEMORY;
            block.reset(grown);
            *size += kListingGrowth;
        }
        int32_t received;
        {
            LockedBlock<char> text(block.get());
            received = ReceiveData(data, text.get() + used, static_cast<int32_t>(*size - 1 - used),
                                   connection->ownerWindow);
        }
        if (received < 0) return received;
        if (received == 0) return static_cast<int32_t>(used);
        used += static_cast<uint32_t>(received);
    }
}

// Replaces the received listing in the handle by its conversion to the local code set: the
// converted length, or FSE_NO_MEMORY with no listing buffer left.
int32_t ConvertWholeListing(ListingHandle* handle, uint32_t length) {
    GlobalBlock received(handle->listingBuffer);
    handle->listingBuffer = nullptr;
    // Room for the worst case and one byte the library may give up from an earlier block;
    // the NUL comes behind it.
    const uint64_t room =
        uint64_t{length} * static_cast<uint64_t>(WorstCaseFactor(CodeSets().incoming)) + 1;
    GlobalBlock converted(room >= UINT32_MAX ? nullptr
                                             : GlobalAlloc(GHND, static_cast<SIZE_T>(room) + 1));
    int32_t convertedLength = CONVERSION_FAILED;
    if (converted.get() != nullptr) {
        LockedBlock<char> source(received.get());
        LockedBlock<char> target(converted.get());
        convertedLength = ConvertIncoming(source.get(), static_cast<int32_t>(length), target.get(),
                                          static_cast<uint32_t>(room));
        if (convertedLength >= 0) target.get()[convertedLength] = '\0';
    }
    if (convertedLength < 0) return FSE_NO_MEMORY;
    // Shrunk to what it holds; should the block not shrink, the larger one serves as well.
    if (HGLOBAL shrunk = GlobalReAlloc(converted.get(), static_cast<SIZE_T>(convertedLength) + 1,
                                       GMEM_MOVEABLE)) {
        converted.reset(shrunk);
    }
    handle->listingBuffer = converted.Release();
    return convertedLength;
}

bool HoldsBlank(const char* name) {
    return OrrFindChar(name, ' ') != nullptr || OrrFindChar(name, '\t') != nullptr;
}

bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// The kind of a name from QueryPathKind (the working directory restored afterwards), under
// the handle's kind mask: 0 with the entry kind set, PARSE_SKIP, or the probe's FsError.
int32_t ProbeKind(const char* path, FsStateRecord* record, ListingHandle* handle,
                  DirEntry* entry) {
    TransferRepresentation kind{};
    const int32_t probed = QueryPathKind(path, &kind, record, true);
    if (probed < 0) return probed;
    return (kind.attributeFlags & REPRESENTATION_DIRECTORY) != 0
               ? SetDirectoryKind(handle, entry)
               : SetFileKind(handle, entry);
}

// The VMS name-list rule: 0 with the entry kind set, PARSE_SKIP, or an FsError. A name
// without the DIR extension is a file; with it, a directory where the connection parses
// directories, else whatever the probe of its bracketed directory says.
int32_t ApplyVmsNameRule(const char* name, FsStateRecord* record, FtpConnection* connection,
                         ListingHandle* handle, DirEntry* entry) {
    if (HoldsBlank(name)) return PARSE_SKIP;
    if (FindDirExtension(name) == nullptr) return SetFileKind(handle, entry);
    if ((connection->optionFlags & OPTION_PARSE_DIRECTORIES) != 0) {
        return SetDirectoryKind(handle, entry);
    }
    char* directory = BuildVmsBracketedDirectory(name);
    if (directory == nullptr) return FSE_NO_MEMORY;
    const int32_t kind = ProbeKind(directory, record, handle, entry);
    OrrFree(directory);
    return kind;
}

// Line copy (where `withLine`) and name of an entry that is the whole line: the name
// length, or FSE_NO_MEMORY with nothing stored.
int32_t StoreWholeLine(char* line, DirEntry* entry, bool withLine) {
    if (withLine) {
        if (int32_t stored = StoreLineCopy(line, entry); stored < 0) return stored;
    }
    const int32_t named = StoreName(line, entry);
    if (named < 0 && withLine) FreeEntryLine(entry);
    return named;
}

bool HostProbedByName(uint8_t hostType) {
    switch (hostType) {
        case HOST_DOS: case HOST_BRANNOCK: case HOST_OS2: case HOST_UNIX:
        case HOST_WINDOWS_NT_DOS: case HOST_WINDOWS_NT_UNIX: case HOST_WINDOWS_95:
            return true;
        default:
            return false;
    }
}

// Whether name-list entries of the host type get the line copy besides the name: the
// hosts whose names are probed store only the name, except the UNIX-style ones.
bool NameListStoresLine(uint8_t hostType) {
    return !HostProbedByName(hostType) || hostType == HOST_BRANNOCK || hostType == HOST_UNIX ||
           hostType == HOST_WINDOWS_NT_UNIX;
}

// One line of the name list into `entry`: its name length, PARSE_SKIP, or an FsError.
// Whether the name is "." or "..", alone or behind the path of the listed directory
// ("sub/.."). They name the listed directory and its parent, never an entry of it; some
// servers put them into name lists all the same. They are passed over for every system, as
// the listing parsers pass them over, so that a host that walks a tree does not walk into
// them without end.
bool NamesDotEntry(const char* line) {
    const char* slash = OrrFindLastChar(line, '/');
    const char* last = slash != nullptr ? slash + 1 : line;
    return std::strcmp(last, ".") == 0 || std::strcmp(last, "..") == 0;
}

int32_t FillNameListEntry(char* line, FsStateRecord* record, FtpConnection* connection,
                          ListingHandle* handle, DirEntry* entry) {
    if (NamesDotEntry(line)) return PARSE_SKIP;
    const uint8_t hostType = record->hostType;
    if (HostProbedByName(hostType)) {
        if (int32_t kind = ProbeKind(line, record, handle, entry); kind < 0) return kind;
        return StoreWholeLine(line, entry, NameListStoresLine(hostType));
    }
    if (hostType == HOST_VMS) {
        // The wildcard name with which such servers answer the listing of a directory
        // names no entry.
        if ((connection->hostQuirks & QUIRK_LIST_BEFORE_CWD) != 0 &&
            EndsWith(line, kVmsWildcardLine)) {
            return PARSE_SKIP;
        }
        if (int32_t kind = ApplyVmsNameRule(line, record, connection, handle, entry); kind < 0) {
            return kind;
        }
        return ExtractName(entry, line, handle, HOST_VMS);
    }
    // Macintosh, MVS, VM and unknown systems: names cannot be told apart; all are files.
    entry->kind = ENTRY_FILE;
    return StoreWholeLine(line, entry, true);
}

}  // namespace

int32_t RetrieveWholeListing(FtpConnection* connection, ListingHandle* handle) {
    uint32_t size = kListingGrowth;
    GlobalBlock block(GlobalAlloc(GHND, size));
    int32_t result = block.get() == nullptr
                         ? FSE_NO_MEMORY
                         : ReceiveWholeListing(connection, handle->dataSocket, block, &size);
    // The completion reply is read after a failure as well: the server sends it whatever
    // became of the data, and left unread it would be taken for the reply to the next
    // command.
    const int32_t unanswered = FinishListingTransfer(connection, handle);
    if (result >= 0 && unanswered < 0) result = unanswered;
    handle->listingBuffer = result < 0 ? nullptr : block.Release();
    if (result < 0) return result;
    if (ConversionRuns()) return ConvertWholeListing(handle, static_cast<uint32_t>(result));
    return result;
}

int32_t ReadNameList(FsStateRecord* record, FtpConnection* connection, ListingHandle* handle,
                     DirEntry* entries, int32_t count) {
    if (handle->listingBuffer == nullptr) return 0;
    LockedBlock<char> text(handle->listingBuffer);
    if (text.get() == nullptr) return 0;
    char* cursor = text.get() + handle->cursorOffset;
    int32_t filled = 0;
    int32_t failure = 0;
    while (filled < count) {
        // Runs of CR and LF part the names, so empty lines vanish.
        char* line = OrrNextToken(&cursor, "\r\n");
        if (line == nullptr) {
            handle->dataState = DATA_STATE_ENDED;
            break;
        }
        DirEntry* entry = &entries[filled];
        const HGLOBAL hostName = entry->name;
        const HGLOBAL hostLine = entry->line;
        const int32_t kept = FillNameListEntry(line, record, connection, handle, entry);
        if (kept >= 0) {
            ++filled;
            continue;
        }
        // A line that ends in no entry has given back whatever it stored; the record is
        // the host's again, as it was, for the next line or for the host.
        entry->name = hostName;
        entry->line = hostLine;
        if (kept != PARSE_SKIP) {
            failure = kept;
            break;
        }
    }
    // The line just read has been cut out of the list in place, so a later read can only go
    // on after it, also when this read failed.
    handle->cursorOffset = static_cast<uint32_t>(cursor - text.get());
    if (failure == 0) return filled;
    FreeEntriesOfFailedRead(entries, filled, NameListStoresLine(record->hostType));
    return failure;
}

char* BuildVmsBracketedDirectory(const char* name) {
    const size_t length = std::strlen(name);
    char* bracketed = static_cast<char*>(OrrAlloc(static_cast<uint32_t>(length) + kBracketsAdded));
    if (bracketed == nullptr) return nullptr;
    const char* close = OrrFindChar(name, ']');
    char* body = bracketed;
    if (close != nullptr) {
        std::memcpy(bracketed, name, length);
        char* bracket = bracketed + (close - name);
        // A name that is a bracketed directory already.
        if (bracket[1] == '\0') return bracketed;
        // DKA0:[USER]SUB.DIR;1: the file SUB in [USER] is the directory [USER.SUB].
        *bracket = '.';
        body = bracket + 1;
    } else {
        bracketed[0] = '[';
        bracketed[1] = '.';
        body = bracketed + 2;
        std::memcpy(body, name, length);
    }
    // Without the DIR extension and the version behind it; a name without that extension
    // loses only its version.
    if (char* extension = FindDirExtension(body); extension != nullptr) {
        extension[-1] = '\0';
    } else if (char* version = OrrFindLastChar(bracketed, ';'); version != nullptr) {
        *version = '\0';
    }
    const size_t textLength = std::strlen(bracketed);
    bracketed[textLength] = ']';
    bracketed[textLength + 1] = '\0';
    return bracketed;
}
