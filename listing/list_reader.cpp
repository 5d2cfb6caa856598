// The LIST reader: its read states walk a listing from line parsing (1) to the deferred-link
// pass (2) and the end (3), or through the drain of an aborted listing (4) to the end.
#include "listing/list_reader.h"

#include "connection/data_connection.h"
#include "connection/message_pump.h"
#include "listing/line_reader.h"
#include "listing/listing_open.h"
#include "listing/listing_parser.h"
#include "util/memory_guards.h"

namespace {

// Receives and throws away what the server still sends, until it ends the data connection
// or the connection fails, then reads the completion reply: the server has finished the
// transfer and the control connection can carry the next command.
void DrainDataConnection(FtpConnection* connection, ListingHandle* handle) {
    const bool failed = DiscardData(handle->dataSocket, connection->ownerWindow) < 0;
    FinishListingTransfer(connection, handle);
    handle->dataState = failed ? DATA_STATE_FAILED : DATA_STATE_ENDED;
}

// Runs the parser on one line into the tentative `entry`.
int32_t ParseIntoEntry(ListingParser parser, DirEntry* entry, char* line,
                       ListingHandle* handle, uint8_t hostType) {
    TentativeEntry tentative(entry);
    return tentative.Finish(parser(entry, line, handle, hostType));
}

}  // namespace

int32_t ReadListLines(FsStateRecord* record, FtpConnection* connection, ListingHandle* handle,
                      DirEntry* entries, int32_t count) {
    const ListingParser parser = SelectListingParser(record->hostType);
    if (parser == nullptr) return FSE_BAD_LISTING;
    LockedBlock<char> buffer(handle->listingBuffer);

    int32_t filled = 0;
    int32_t pending = 0;
    bool stop = false;
    while (filled < count && handle->readState != READ_STATE_FINISHED && !stop) {
        switch (handle->readState) {
            case READ_STATE_LINES: {
                char* line = nullptr;
                const int32_t got =
                    buffer.get() == nullptr
                        ? LISTING_DATA_END
                        : NextListingLine(connection, handle, buffer.get(), &line);
                if (got == LISTING_LINE) {
                    const int32_t parsed =
                        ParseIntoEntry(parser, &entries[filled], line, handle, record->hostType);
                    // A line of no shape the parser knows is passed over like a line
                    // without an entry: one odd line (a server's remark, a line of blanks,
                    // a name the server wrote oddly) must not cost the host every entry
                    // behind it.
                    if (parsed >= 0) {
                        ++filled;
                    } else if (parsed != PARSE_SKIP && parsed != PARSE_NOT_THIS_FORMAT) {
                        pending = parsed;
                        handle->readState = READ_STATE_ABORT;
                    }
                    handle->lineReaderState = LINE_READER_RESUME;
                } else {
                    handle->deferredOffset = 0;
                    if (got == LISTING_DATA_END) {
                        handle->readState = READ_STATE_DEFERRED;
                    } else {
                        pending = got;
                        handle->readState = READ_STATE_ABORT;
                    }
                }
                break;
            }
            case READ_STATE_DEFERRED:
                if (handle->deferredCount == 0) {
                    handle->readState = READ_STATE_FINISHED;
                    break;
                }
                if (int32_t resolved =
                        RunDeferredLinkPass(entries + filled, handle, count - filled, record);
                    resolved < 0) {
                    pending = resolved;
                    stop = true;
                } else {
                    filled += resolved;
                }
                break;
            case READ_STATE_ABORT:
                if (handle->dataState == DATA_STATE_OPEN) DrainDataConnection(connection, handle);
                handle->readState = READ_STATE_FINISHED;
                break;
            default:
                handle->readState = READ_STATE_FINISHED;
                break;
        }
        YieldTick(connection->ownerWindow);
        // Short of memory nothing more is attempted; the next read drains the listing.
        if (pending == FSE_NO_MEMORY) break;
    }

    if (pending >= 0) return filled;
    FreeEntriesOfFailedRead(entries, filled, true);
    return pending;
}
