// Fuzz target for the whole LIST reader behind FTP_Dir_Read and FTP_Glob_Read: a listing
// handle as the open leaves it, its data connection a local socket pair on which the
// input's listing arrives (optionally converted by a stand-in code-set library), read in
// batches by the host type's parser, symbolic links resolved afterwards through a control
// connection whose server answers from the input's reply script and then hangs up. The
// host may change the kind mask between reads. Every entry handed over must be a whole
// block of exactly its text, the reader must come to an end, and the close must leave
// nothing behind.
//
// Input: a ListingInput (fuzz_session.h) whose own bits are
//   byte 2: bit 6: the kind mask changes to the opposite one after the first read
//   byte 3: completion reply of the transfer: 0 "226", 1 none (the server hangs up), any
//           other value the reply script only
#include <cstdint>
#include <string>
#include <string_view>

#include "listing/listing_open.h"
#include "tests/fuzz/fuzz_session.h"

using namespace tvfuzz;

namespace {

// Reads after a failed one: the host may go on reading a handle whose read failed.
constexpr int kReadsAfterFailure = 2;

bool UnixStyle(uint8_t hostType) {
    return hostType == HOST_BRANNOCK || hostType == HOST_UNIX || hostType == HOST_WINDOWS_NT_UNIX;
}

std::string RepliesFor(uint8_t completion, std::string_view script) {
    if (completion == 0) return "226 Transfer complete.\r\n" + std::string(script);
    if (completion == 1) return "";
    return std::string(script);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const ListingInput input(data, size);
    const int count = input.count();
    const bool glob = input.glob();
    ListingSession session(input, RepliesFor(input.targetBits, input.replies));
    session.connection()->optionFlags = OPTION_PARSE_DIRECTORIES;
    HostHandleBlock* block = session.block();
    ListingHandle* handle = session.handle();
    u_long nonBlocking = 1;
    ioctlsocket(handle->dataSocket, FIONBIO, &nonBlocking);
    handle->listingBuffer = GlobalAlloc(GHND, LISTING_LINE_BUFFER_SIZE);
    TVFUZZ_CHECK(handle->listingBuffer != nullptr);
    handle->dataState = DATA_STATE_OPEN;
    handle->readState = READ_STATE_LINES;
    handle->lineReaderState = LINE_READER_START;

    int reads = 0;
    int failures = 0;
    LONG result;
    do {
        TVFUZZ_CHECK(++reads < kMostReads);
        HostEntries entries(count);
        result = glob ? FTP_Glob_Read(block, entries.data(), count)
                      : FTP_Dir_Read(block, entries.data(), count);
        TVFUZZ_CHECK(session.Unlocked());
        for (const TakenEntry& entry : entries.TakeOver(result)) {
            // No line longer than the line buffer holds ever reaches a parser.
            TVFUZZ_CHECK(entry.line.size() <= LISTING_LINE_BUFFER_SIZE - 3);
            // A directory handle hands over bare names from UNIX-style lines.
            TVFUZZ_CHECK(glob || !UnixStyle(input.hostType) || entry.name.find('/') == std::string::npos);
        }
        if (reads == 1 && (input.readBits & 0x40)) {
            TVFUZZ_CHECK(FTP_Dir_Ioctl(block, 1, static_cast<LONG>(~handle->kindMask & KIND_MASK_ALL)) == 0);
        }
        if (result < 0) ++failures;
    } while (result > 0 || (result < 0 && failures <= kReadsAfterFailure));

    if (result == 0) {
        // The end stays the end, and the data connection is over.
        HostEntries entries(count);
        TVFUZZ_CHECK(FTP_Dir_Read(block, entries.data(), count) == 0);
        entries.TakeOver(0);
        TVFUZZ_CHECK(handle->readState == READ_STATE_FINISHED);
        TVFUZZ_CHECK(handle->dataSocket == INVALID_SOCKET);
    }

    TVFUZZ_CHECK(FTP_Dir_Close(block) == 0);
    TVFUZZ_CHECK(block->handleSlot == nullptr);
    return 0;
}
