// The deferred-link pass: once a UNIX-style listing has ended, the symbolic links put aside
// while it streamed in are classified by asking the server. Each link is tried as a
// directory by its full path (the working directory, "/", the link's name); the working
// directory is entered again at the end, so the host finds the server where it left it.
#include <cstring>

#include "fsops/path_operations.h"
#include "listing/listing_parser.h"
#include "transfer/representation.h"
#include "util/memory_guards.h"
#include "util/orr.h"

namespace {

// The block that holds the working directory and, behind it, each path probed.
constexpr int32_t kDirectoryBlockSize = WORKING_DIRECTORY_SIZE;

// Puts the entry's name behind the prefix of the path: false when the whole path would
// not fit the block.
bool AppendName(char* path, std::size_t prefixLength, const DirEntry& entry) {
    LockedBlock name(entry.name);
    if (!name) return false;
    const std::size_t length = entry.nameLength;
    if (prefixLength + length + 1 > static_cast<std::size_t>(kDirectoryBlockSize)) return false;
    std::memcpy(path + prefixLength, name.get(), length);
    path[prefixLength + length] = '\0';
    return true;
}

}  // namespace

int32_t RunDeferredLinkPass(DirEntry* entries, ListingHandle* handle, int32_t freeRecords,
                            FsStateRecord* record) {
    const uint32_t room = freeRecords > 0 ? static_cast<uint32_t>(freeRecords) : 0;
    const uint32_t lines = handle->deferredCount < room ? handle->deferredCount : room;
    if (lines == 0) return 0;

    FtpConnection* connection = record->connection;
    LockedBlock deferred(handle->deferredBuffer);
    if (!deferred) return FSE_NO_MEMORY;
    const std::size_t bufferSize = GlobalSize(handle->deferredBuffer);

    ScratchBlock directory(kDirectoryBlockSize);
    if (directory.get() == nullptr) return FSE_NO_MEMORY;
    const int32_t known = PrintWorkingDirectory(connection, directory.get(), kDirectoryBlockSize);
    if (known < 0) return known;

    // The prefix "directory/" stays in the block; each probe writes its name behind it. A
    // directory that fills the block leaves no room for the "/": then no link can be probed.
    // A directory that ends in "/" already (the root directory) gets no second one: "//name"
    // is a different path to some servers, or none at all.
    char* path = directory.get();
    const std::size_t directoryLength = std::strlen(path);
    const bool endsInSlash = directoryLength > 0 && path[directoryLength - 1] == '/';
    const std::size_t prefixLength = directoryLength + (endsInSlash ? 0 : 1);
    const bool prefixFits = prefixLength < static_cast<std::size_t>(kDirectoryBlockSize);
    if (prefixFits && !endsInSlash) {
        path[directoryLength] = '/';
        path[prefixLength] = '\0';
    }

    const bool probeByStat = (connection->stateFlags & STATE_STAT_REPORTS_REPRESENTATION) != 0;
    int32_t kept = 0;
    uint32_t processed = 0;
    int32_t error = 0;
    bool leftDirectory = false;  // a probe entered a directory and the server is still there
    while (processed < lines) {
        const uint32_t offset = handle->deferredOffset;
        if (offset >= bufferSize) break;
        char* line = deferred.get() + offset;
        const std::size_t lineLength = strnlen(line, bufferSize - offset);
        if (lineLength == bufferSize - offset) break;  // no line ends inside the buffer

        TentativeEntry entry(&entries[kept]);
        const int32_t named = ExtractName(entry.get(), line, handle, record->hostType);
        // A link named "." or "..", or one whose name the line does not show, is passed
        // over: it names nothing the host can open, and the links after it still count.
        if (named < 0 && named != PARSE_SKIP && named != PARSE_NOT_THIS_FORMAT) {
            error = named;
            break;
        }
        if (named >= 0) {
            // A path too long for the block cannot be asked about; the link is taken for
            // what a link usually is, a file, rather than being cut into another name.
            bool isDirectory = false;
            if (prefixFits && AppendName(path, prefixLength, *entry.get())) {
                TransferRepresentation kind{};
                const int32_t probed = QueryPathKind(path, &kind, record, false);
                path[prefixLength] = '\0';
                if (probed < 0) {
                    error = probed;
                    break;
                }
                isDirectory = (kind.attributeFlags & REPRESENTATION_DIRECTORY) != 0;
                if (isDirectory && !probeByStat) leftDirectory = true;
            }
            // An unwanted kind leaves the record for the next link.
            if (entry.Finish(isDirectory ? SetDirectoryKind(handle, entry.get())
                                         : SetFileKind(handle, entry.get())) >= 0) {
                ++kept;
            }
        }
        handle->deferredOffset = offset + static_cast<uint32_t>(lineLength) + 1;
        ++processed;
    }
    // The buffer cannot be read further: what it was said to hold is given up, so that the
    // listing still comes to its end.
    if (error == 0 && processed < lines) {
        handle->deferredCount = 0;
    } else {
        handle->deferredCount -= processed;
    }

    path[directoryLength] = '\0';
    // The caller of the pass cannot tell which records a failed pass filled, so the pass
    // gives back what it filled itself.
    if (error < 0) {
        FreeEntriesOfFailedRead(entries, kept, true);
        // A failed listing should not also leave the host in a directory it never chose.
        if (leftDirectory) ChangeDirectory(connection, path, record);
        return error;
    }
    const int32_t back = ChangeDirectory(connection, path, record);
    if (back < 0) {
        FreeEntriesOfFailedRead(entries, kept, true);
        return back;
    }
    return kept;
}
