// Opening and closing directory and glob listings. The open sends LIST (parsed line by
// line as the host reads) or NLST (read whole at once) over a fresh data connection, after
// switching the connection to the representation listings travel in; the close frees what
// the listing holds and switches the representation back.
#include "listing/listing_open.h"

#include "connection/socket_guard.h"
#include "listing/listing_representation.h"
#include "listing/name_list.h"
#include "listing/send_listing_command.h"
#include "util/memory_guards.h"
#include "util/orr.h"

namespace {

// MVS and VM servers read an argument of LIST in their own naming syntax rather than as a
// wildcard of the host's, and of host type 13 nothing is known: a directory listing there
// always lists the whole working directory. A glob's pattern was written for the server
// and always goes.
bool DropsDirectoryPattern(uint8_t hostType) {
    return hostType == HOST_MVS || hostType == HOST_VM || hostType == HOST_OTHER;
}

// A pattern with a CR or LF in it would reach the server as more than one command line: it
// is refused before anything is sent.
bool HoldsLineEnd(const char* pattern) {
    return pattern != nullptr &&
           (OrrFindChar(pattern, '\r') != nullptr || OrrFindChar(pattern, '\n') != nullptr);
}

void FreeListingBuffers(ListingHandle* handle) {
    FreeGlobalSlot(&handle->deferredBuffer);
    FreeGlobalSlot(&handle->listingBuffer);
}

// Switches to the listing representation (remembering that it must be put back) and sends
// the listing command: 0, or an FsError.
int32_t StartListing(FsStateRecord* record, FtpConnection* connection, ListingHandle* handle,
                     const char* word, const char* argument) {
    int32_t switched =
        SwitchToListingRepresentation(record, connection, &handle->savedRepresentation);
    if (switched < 0) return switched;
    if (switched == LISTING_REPRESENTATION_SWITCHED) handle->representationSaved = 1;
    DataConnection opened;
    const int32_t sent = SendListingCommand(connection, word, argument, &opened);
    handle->dataSocket = opened.data;
    handle->listeningSocket = opened.listening;
    return sent;
}

// LIST: the data connection stays open and is read through the line buffer as the host
// asks for entries.
int32_t OpenListMode(FsStateRecord* record, FtpConnection* connection, ListingHandle* handle,
                     const char* argument) {
    int32_t sent = StartListing(record, connection, handle, "LIST", argument);
    if (sent < 0) return sent;
    handle->listingBuffer = GlobalAlloc(GHND, LISTING_LINE_BUFFER_SIZE);
    if (handle->listingBuffer == nullptr) {
        CloseListingSockets(handle);
        return FSE_NO_MEMORY;
    }
    return sent;
}

// NLST: the whole name list is read now and the data connection ends before the open
// returns, so the representation can go back at once. The result is the listing's length,
// or the result of putting the representation back.
int32_t OpenNameListMode(FsStateRecord* record, FtpConnection* connection,
                         ListingHandle* handle, const char* argument) {
    int32_t sent = StartListing(record, connection, handle, "NLST", argument);
    if (sent < 0) return sent;
    int32_t result = RetrieveWholeListing(connection, handle);
    if (result < 0) return result;
    if (handle->representationSaved != 0) {
        result = ApplyRepresentation(handle->savedRepresentation, record);
        if (result == 0) handle->representationSaved = 0;
    }
    return result;
}

}  // namespace

bool ListsWithParser(const FsStateRecord* record, const FtpConnection* connection) {
    if ((connection->optionFlags & OPTION_PARSE_DIRECTORIES) == 0) return false;
    return !(record->hostType == HOST_VMS &&
             (connection->hostQuirks & QUIRK_LIST_BEFORE_CWD) != 0);
}

int32_t OpenListing(HGLOBAL handleBlock, HGLOBAL pattern, HGLOBAL stateRecord, bool glob) {
    // Without the host's block and record there is nothing to link a listing to: refuse
    // before anything is sent.
    LockedBlock<HostHandleBlock> block(handleBlock);
    LockedStateRecord record(stateRecord);
    if (block.get() == nullptr || !record) return FSE_INVALID;

    auto* handle = static_cast<ListingHandle*>(OrrAlloc(sizeof(ListingHandle)));
    if (handle == nullptr) return FSE_NO_MEMORY;
    FtpConnection* connection = record->connection;
    handle->glob = glob ? 1 : 0;
    handle->representationSaved = 0;
    handle->dataSocket = INVALID_SOCKET;
    handle->listeningSocket = INVALID_SOCKET;

    int32_t result;
    {
        LockedBlock<const char> patternText(pattern);
        const char* argument = patternText.get();
        if (!glob && DropsDirectoryPattern(record->hostType)) argument = nullptr;
        if (HoldsLineEnd(argument)) {
            result = FSE_INVALID;
        } else {
            result = ListsWithParser(record.get(), connection)
                         ? OpenListMode(record.get(), connection, handle, argument)
                         : OpenNameListMode(record.get(), connection, handle, argument);
        }
    }

    const bool nothingToList = result == FSE_NOT_FOUND;
    if (result < 0 && !nothingToList) {
        FreeListingBuffers(handle);
        OrrFree(handle);
        return result;
    }
    block.get()->handleSlot = handle;
    handle->stateRecord = stateRecord;
    handle->lineReaderState = LINE_READER_START;
    handle->kindMask = KIND_MASK_ALL;
    // A server that answers 550 has nothing to list: the handle reads as an empty listing.
    handle->dataState = nothingToList ? DATA_STATE_ENDED : DATA_STATE_OPEN;
    handle->readState = nothingToList ? READ_STATE_FINISHED : READ_STATE_LINES;
    return nothingToList ? 0 : result;
}

int32_t CloseListing(HostHandleBlock* handleBlock) {
    auto* handle = static_cast<ListingHandle*>(handleBlock->handleSlot);
    if (handle == nullptr) return FSE_INVALID;
    int32_t result = 0;
    {
        LockedStateRecord record(handle->stateRecord);
        FreeListingBuffers(handle);
        // A transfer still running is cut off here, not drained: its completion reply is
        // left for whoever reads the next reply of a transfer.
        CloseListingSockets(handle);
        if (handle->representationSaved != 0 && record) {
            result = ApplyRepresentation(handle->savedRepresentation, record.get());
            if (result == 0) handle->representationSaved = 0;
        }
    }
    OrrFree(handle);
    // The record is gone; a second close of the same block is refused instead of freeing
    // it again.
    handleBlock->handleSlot = nullptr;
    return result;
}

void CloseListingSockets(ListingHandle* handle) {
    CloseSlot(&handle->dataSocket);
    CloseSlot(&handle->listeningSocket);
}

int32_t FinishListingTransfer(FtpConnection* connection, ListingHandle* handle) {
    CloseListingSockets(handle);
    const int32_t error = ReadReply(connection).error;
    // The reply just read closes the passive connection as much as an accepted one: left
    // set, either flag would make the close of a later file wait for a reply that has
    // already come.
    connection->stateFlags &= ~(STATE_DATA_TRANSFER | STATE_PASSIVE_CONNECTION_OPEN);
    return error == FSE_TIMED_OUT || error == FSE_CANCELLED ? error : 0;
}
