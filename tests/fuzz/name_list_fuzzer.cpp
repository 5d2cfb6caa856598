// Fuzz target for name-list listings: an NLST listing received whole over a local socket
// pair (optionally converted by a stand-in code-set library), then read into host entries
// in batches, each name probed through a control connection whose server answers from the
// input's reply script and then hangs up. Every entry handed over must be a whole block of
// exactly its text; where no probe decides, the entries must be exactly the listing's lines.
//
// Input: a ListingInput (fuzz_session.h) whose own bits are
//   byte 3: bit 0 the connection parses directories, bit 1 the server wants a listing
//           before each change of directory
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "listing/listing_open.h"
#include "listing/name_list.h"
#include "tests/fuzz/fuzz_session.h"

using namespace tvfuzz;

namespace {

// The lines of the listing as the reader splits them: runs of CR and LF part them, and the
// text ends at its first NUL.
std::vector<std::string> Lines(const std::string& listing) {
    std::vector<std::string> lines;
    const std::string_view text(listing.c_str());
    size_t at = 0;
    while (at < text.size()) {
        const size_t start = text.find_first_not_of("\r\n", at);
        if (start == std::string_view::npos) break;
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = text.size();
        lines.emplace_back(text.substr(start, end - start));
        at = end;
    }
    return lines;
}

bool ProbesNames(uint8_t hostType) {
    switch (hostType) {
        case HOST_DOS: case HOST_BRANNOCK: case HOST_OS2: case HOST_UNIX:
        case HOST_WINDOWS_NT_DOS: case HOST_WINDOWS_NT_UNIX: case HOST_WINDOWS_95:
        case HOST_VMS:
            return true;
        default:
            return false;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const ListingInput input(data, size);
    const uint8_t hostType = input.hostType;
    const int count = input.count();
    ListingSession session(input, input.replies);
    FtpConnection* connection = session.connection();
    if (input.targetBits & 1) connection->optionFlags |= OPTION_PARSE_DIRECTORIES;
    if (input.targetBits & 2) {
        connection->hostQuirks |= QUIRK_LIST_BEFORE_CWD;
        // Such a server gets a listing before each change of directory, over a data
        // connection of its own that a scripted server cannot offer. It only takes part
        // where the VMS naming rules decide without probing.
        if (hostType == HOST_VMS) connection->optionFlags |= OPTION_PARSE_DIRECTORIES;
    }
    ListingHandle* handle = session.handle();

    const int32_t length = RetrieveWholeListing(connection, handle);
    TVFUZZ_CHECK(handle->dataSocket == INVALID_SOCKET);
    TVFUZZ_CHECK((connection->stateFlags & STATE_DATA_TRANSFER) == 0);
    std::string listing;
    if (length >= 0) {
        TVFUZZ_CHECK(handle->listingBuffer != nullptr);
        TVFUZZ_CHECK(GlobalSize(handle->listingBuffer) > static_cast<SIZE_T>(length));
        const char* text = static_cast<const char*>(GlobalLock(handle->listingBuffer));
        TVFUZZ_CHECK(text[length] == '\0');
        listing.assign(text, static_cast<size_t>(length));
        GlobalUnlock(handle->listingBuffer);
        if (session.conversion().Predictable()) TVFUZZ_CHECK(listing == input.listing);
    } else {
        TVFUZZ_CHECK(handle->listingBuffer == nullptr);
        TVFUZZ_CHECK(!session.conversion().Predictable());
    }
    handle->dataState = DATA_STATE_OPEN;
    handle->lineReaderState = LINE_READER_START;
    handle->readState = READ_STATE_LINES;

    std::vector<TakenEntry> taken;
    int32_t result = 0;
    int reads = 0;
    do {
        TVFUZZ_CHECK(++reads < kMostReads);
        HostEntries entries(count);
        result = ReadNameList(session.record(), connection, handle, entries.data(), count);
        TVFUZZ_CHECK(session.Unlocked());
        for (TakenEntry& entry : entries.TakeOver(result)) taken.push_back(std::move(entry));
    } while (result > 0);

    if (result == 0) {
        // The end stays the end.
        HostEntries entries(count);
        TVFUZZ_CHECK(ReadNameList(session.record(), connection, handle, entries.data(), count) == 0);
        entries.TakeOver(0);
        if (length >= 0 && !ProbesNames(hostType)) {
            // Without a probe every line is a file with its line copy, whatever the mask.
            std::vector<std::string> names;
            for (const TakenEntry& entry : taken) {
                TVFUZZ_CHECK(entry.kind == ENTRY_FILE && entry.hasLine && entry.line == entry.name);
                names.push_back(entry.name);
            }
            TVFUZZ_CHECK(names == Lines(listing));
        }
    }
    for (const TakenEntry& entry : taken) {
        TVFUZZ_CHECK(entry.kind == ENTRY_FILE || entry.kind == ENTRY_DIRECTORY);
        TVFUZZ_CHECK(entry.kind != ENTRY_FILE || (handle->kindMask & KIND_MASK_FILES) != 0 ||
                     !ProbesNames(hostType));
        TVFUZZ_CHECK(entry.kind != ENTRY_DIRECTORY || (handle->kindMask & KIND_MASK_DIRECTORIES) != 0);
        TVFUZZ_CHECK(entry.name.find_first_of("\r\n") == std::string::npos);
    }

    TVFUZZ_CHECK(CloseListing(session.block()) == 0);
    TVFUZZ_CHECK(session.block()->handleSlot == nullptr);
    return 0;
}
