// Fuzz target for the line reader of LIST listings: the input is the data a server sends
// on the listing's data connection, read through a local socket pair, optionally converted
// by a stand-in code-set library. The lines handed over are checked against what the data
// says: only CR LF ends a line, empty lines and lines too long for the line buffer are
// passed over whole, an unfinished last line is dropped. Long lines, lone CRs and LFs, CRs
// at the buffer's end and NULs are what the engine is meant to find.
//
// Input: an optional first byte 0x00 to 0x04 chooses the conversion (see Conversion in
// fuzz_session.h); any other first byte is already data.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "listing/line_reader.h"
#include "tests/fuzz/fuzz_session.h"

using namespace tvfuzz;

namespace {

constexpr int32_t kDataCapacity = LISTING_LINE_BUFFER_SIZE - 1;

// The lines the reader must hand over, as the parser sees them (cut at a NUL).
std::vector<std::string> ExpectedLines(std::string_view data, size_t longest) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = data.find("\r\n", start)) != std::string_view::npos; start = end + 2) {
        const std::string_view line = data.substr(start, end - start);
        if (line.empty() || line.size() > longest) continue;
        lines.emplace_back(line.data(), strnlen(line.data(), line.size()));
    }
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    InputReader input(data, size);
    Conversion mode = Conversion::Off;
    if (size > 0 && data[0] < static_cast<uint8_t>(Conversion::Count)) mode = ConversionFrom(input.Byte());
    const std::string_view sent = input.Rest(kMaxDataBytes);

    NoBlockLeftBehind blocks;
    IncomingConversion conversion(mode);
    FuzzConnection connection("226 Transfer complete.\r\n");
    connection->stateFlags = STATE_DATA_TRANSFER;
    ServerPeer server(sent);

    ListingHandle handle{};
    handle.dataSocket = server.TakeModuleEnd();
    handle.listeningSocket = INVALID_SOCKET;
    handle.dataState = DATA_STATE_OPEN;
    handle.readState = READ_STATE_LINES;
    handle.lineReaderState = LINE_READER_START;
    handle.listingBuffer = GlobalAlloc(GHND, LISTING_LINE_BUFFER_SIZE);
    TVFUZZ_CHECK(handle.listingBuffer != nullptr);
    char* buffer = static_cast<char*>(GlobalLock(handle.listingBuffer));

    // The longest line that reaches the parser: the buffer holds the line, its CR LF and the
    // NUL. While conversion runs each receive leaves room for the worst case and one byte
    // more, so the buffer never fills beyond 2047 - factor bytes.
    const int32_t usable = kDataCapacity - (mode != Conversion::Off ? conversion.Factor() : 0);
    const size_t longest = static_cast<size_t>(usable - 2);
    std::vector<std::string> lines;
    int32_t result;
    char* line = nullptr;
    while ((result = NextListingLine(connection.get(), &handle, buffer, &line)) == LISTING_LINE) {
        // In place, inside the buffer, NUL-terminated there and never empty of bytes.
        TVFUZZ_CHECK(line >= buffer && line < buffer + kDataCapacity);
        const size_t length = strnlen(line, static_cast<size_t>(buffer + LISTING_LINE_BUFFER_SIZE - line));
        TVFUZZ_CHECK(line + length < buffer + LISTING_LINE_BUFFER_SIZE);
        TVFUZZ_CHECK(length <= longest);
        TVFUZZ_CHECK(handle.fill <= static_cast<uint32_t>(kDataCapacity));
        TVFUZZ_CHECK(handle.cursorOffset <= handle.fill);
        lines.emplace_back(line, length);
        TVFUZZ_CHECK(handle.lineCount == static_cast<uint16_t>(lines.size()));
        // What the LIST reader does after every line: the parser may have cut the line up.
        std::memset(line, 'x', length);
        handle.lineReaderState = LINE_READER_RESUME;
    }

    // The data connection is over: its socket closed, the completion reply read.
    TVFUZZ_CHECK(handle.dataSocket == INVALID_SOCKET);
    TVFUZZ_CHECK((connection->stateFlags & STATE_DATA_TRANSFER) == 0);
    if (conversion.Predictable()) {
        TVFUZZ_CHECK(result == LISTING_DATA_END);
        TVFUZZ_CHECK(handle.dataState == DATA_STATE_ENDED);
        TVFUZZ_CHECK(lines == ExpectedLines(sent, longest));
    } else {
        TVFUZZ_CHECK(result == LISTING_DATA_END || result == FSE_CONVERSION);
        TVFUZZ_CHECK(handle.dataState == (result == LISTING_DATA_END ? DATA_STATE_ENDED : DATA_STATE_FAILED));
    }
    // Asked again, the reader neither reads nor hands over anything more.
    const int32_t again = NextListingLine(connection.get(), &handle, buffer, &line);
    TVFUZZ_CHECK(result == LISTING_DATA_END ? again == LISTING_DATA_END : again == FSE_FAILED);

    GlobalUnlock(handle.listingBuffer);
    GlobalFree(handle.listingBuffer);
    return 0;
}
