// Fuzz targets of what the server says on the control connection, one program each
// (TVFUZZ_REPLY_TARGET):
//   1 the reply reader: replies sent whole over a local socket pair, read one after the
//     other (by ReadReply or SendCommand) until the server's end breaks the last one. With
//     a conversion that copies, class, code, the 255-character text and the reply-text
//     block must be exactly what the Telnet filter and the multi-line rule make of the
//     bytes; with the widening one, they must still be within their bounds and agree.
//     Input: byte 0 bits 0-2 the conversion (Conversion), bit 3 no text buffer, bit 4 each
//     reply is asked for with a command; the rest is what the server sends.
//   2 the 227 parser on a reply text (the input, up to its first NUL): an address only
//     from six fields that say it, and always one where six plain byte numbers do.
//   3 the representation letters of a STAT reply (the input, up to its first NUL).
//   4 the working directory from PWD (or XPWD) replies: byte 0 the caller's buffer size
//     (1 to 512, scaled), the rest the server's replies.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "connection/data_connection.h"
#include "fsops/path_operations.h"
#include "tests/fuzz/fuzz_session.h"
#include "transfer/representation.h"

using namespace tvfuzz;

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The reply reader

// The characters the Telnet filter makes of received bytes: IAC IAC is one 255, other IAC
// commands (with their option byte) vanish, CR LF is LF, CR NUL is CR.
std::string TelnetFiltered(std::string_view bytes) {
    enum { Normal, AfterIac, Option, AfterCr } state = Normal;
    std::string out;
    for (const unsigned char b : bytes) {
        switch (state) {
            case Normal:
                if (b == 255 || b == '\r') state = b == 255 ? AfterIac : AfterCr;
                else out += static_cast<char>(b);
                break;
            case AfterIac:
                if (b == 255) out += static_cast<char>(b);
                state = (b >= 251 && b <= 254) ? Option : Normal;
                break;
            case Option: state = Normal; break;
            case AfterCr:
                if (b != '\n') out += '\r';
                if (b != 0 && b != 255) out += static_cast<char>(b);
                state = b == 255 ? AfterIac : Normal;
                break;
        }
    }
    return out;
}

struct ExpectedReply {
    bool complete = false;
    std::string all, text;
    int code = 0;
    char first = 0;
};

// The next reply in the filtered characters: a line whose code is followed by "-" opens a
// multi-line reply that only a line of the same code followed by a blank ends.
ExpectedReply NextReply(std::string_view* chars) {
    ExpectedReply reply;
    int firstCode = 0;
    bool multiLine = false, notSpace = false;
    for (;;) {
        int code = 0, position = 0;
        char first = 0;
        for (char c = 0; c != '\n';) {
            if (chars->empty()) return reply;
            c = chars->front();
            chars->remove_prefix(1);
            reply.all += c;
            position = std::min(position + 1, 5);
            if (position <= 3 && IsDigit(c)) code = code * 10 + (c - '0');
            if (position == 4 && code != 0) {
                if (firstCode == 0) multiLine = c == '-';
                notSpace = c != ' ';
            }
            if (position == 1) first = c;
            if (position == 5 && reply.text.size() < 255) reply.text += c;
        }
        if (multiLine && firstCode == 0) {
            firstCode = code;
        } else if (!multiLine || (!notSpace && code == firstCode)) {
            reply.complete = true;
            reply.code = code;
            reply.first = first;
            return reply;
        }
    }
}

void FuzzReplyReader(const uint8_t* data, size_t size) {
    InputReader input(data, size);
    const uint8_t flags = input.Byte();
    const std::string_view sent = input.Rest(kMaxReplyBytes);
    NoBlockLeftBehind blocks;
    IncomingConversion conversion(ConversionFrom(flags & 7));
    FuzzConnection connection(sent);
    const std::string filtered = TelnetFiltered(sent);
    std::string_view rest = filtered;
    // A buffer of its exact size, so that a write past it is caught.
    const auto text = std::make_unique<char[]>(REPLY_TEXT_BUFFER_SIZE);
    char* const textBuffer = (flags & 8) ? nullptr : text.get();

    for (int broken = 0; broken < 2;) {
        std::memset(text.get(), '@', REPLY_TEXT_BUFFER_SIZE);
        const Reply reply = (flags & 16) ? SendCommand(connection.get(), "NOOP\r\n", textBuffer)
                                         : ReadReply(connection.get(), textBuffer);
        TVFUZZ_CHECK(reply.error == 0 || reply.error == FSE_CONNECTION_BROKEN);
        TVFUZZ_CHECK(reply.code <= 999 && (reply.error == 0 || reply.kind == ReplyClass::Unknown));
        // The class is the first character of the last line, the code its first digits.
        if (reply.kind != ReplyClass::Unknown) {
            TVFUZZ_CHECK(std::to_string(reply.code)[0] == static_cast<char>('0' + int(reply.kind)));
        }
        const char* block = connection->replyText;
        TVFUZZ_CHECK(block != nullptr && connection->replyBufferSize >= REPLY_BLOCK_SIZE);
        TVFUZZ_CHECK(std::memchr(block, '\0', connection->replyBufferSize) != nullptr);
        const char* end = textBuffer ? static_cast<const char*>(std::memchr(textBuffer, '\0', 256)) : nullptr;
        TVFUZZ_CHECK(textBuffer == nullptr || end != nullptr);
        if (!conversion.Predictable()) {
            if (reply.error != 0) ++broken;
            continue;
        }
        const ExpectedReply expected = NextReply(&rest);
        if (!expected.complete) {
            TVFUZZ_CHECK(reply.broken() && reply.code == 0);
            ++broken;
            continue;
        }
        TVFUZZ_CHECK(reply.code == expected.code && connection->lastReplyCode == expected.code);
        if (expected.first == '6') {
            TVFUZZ_CHECK(reply.broken());
        } else if (expected.first >= '1' && expected.first <= '5') {
            TVFUZZ_CHECK(reply.error == 0 && int(reply.kind) == expected.first - '0');
        } else {
            TVFUZZ_CHECK(reply.error == 0 && reply.kind == ReplyClass::Unknown);
        }
        TVFUZZ_CHECK(std::string_view(block, expected.all.size() + 1) ==
                     std::string_view(expected.all.c_str(), expected.all.size() + 1));
        if (textBuffer != nullptr) {
            TVFUZZ_CHECK(std::string_view(textBuffer, expected.text.size() + 1) ==
                         std::string_view(expected.text.c_str(), expected.text.size() + 1));
        }
    }
}

// The 227 parser

// What a field states: its digits after leading blanks (none: -1), and whether nothing
// else is in it. Values past 999 count as 1000.
struct Field {
    int value = -1;
    bool plain = false;
};

Field ReadField(std::string_view field) {
    Field result;
    size_t at = field.find_first_not_of(" \t");
    if (at == std::string_view::npos || !IsDigit(field[at])) return result;
    result.value = 0;
    for (; at < field.size() && IsDigit(field[at]); ++at) {
        result.value = std::min(result.value * 10 + (field[at] - '0'), 1000);
    }
    result.plain = at == field.size();
    return result;
}

void FuzzPassiveAddress(const uint8_t* data, size_t size) {
    const std::string reply(reinterpret_cast<const char*>(data), size);
    const std::string_view text(reply.c_str());
    // The fields: from the first digit after the code and its separator, parted by runs of
    // ",", "." and ")".
    std::vector<Field> fields;
    const size_t start = text.find_first_of("0123456789", std::min<size_t>(text.size(), 4));
    for (size_t at = start; at < text.size() && fields.size() < 6;) {
        at = text.find_first_not_of(",.)", at);
        if (at == std::string_view::npos) break;
        const size_t end = std::min(text.find_first_of(",.)", at), text.size());
        fields.push_back(ReadField(text.substr(at, end - at)));
        at = end;
    }

    sockaddr_in address;
    std::memset(&address, 0x5a, sizeof address);
    const int32_t result = ParsePassiveAddress(reply.c_str(), &address);
    TVFUZZ_CHECK(result == 0 || result == FSE_FAILED);
    const bool plain = fields.size() == 6 && (fields[4].value | fields[5].value) != 0 &&
                       std::all_of(fields.begin(), fields.end(), [](const Field& f) {
                           return f.plain && f.value <= 255;
                       });
    TVFUZZ_CHECK(result == 0 || !plain);
    if (result != 0) return;
    // Every byte of the address and the port is one the reply states, in its order.
    TVFUZZ_CHECK(fields.size() == 6 && address.sin_family == AF_INET);
    const auto* bytes = reinterpret_cast<const uint8_t*>(&address.sin_addr);
    const auto* port = reinterpret_cast<const uint8_t*>(&address.sin_port);
    const int numbers[6] = {bytes[0], bytes[1], bytes[2], bytes[3], port[0], port[1]};
    for (int i = 0; i < 6; ++i) TVFUZZ_CHECK(fields[i].value == numbers[i]);
}

// The representation letters

void FuzzRepresentationLetters(const uint8_t* data, size_t size) {
    const std::string reply(reinterpret_cast<const char*>(data), size);
    TransferRepresentation out;
    std::memset(&out, 0xa5, sizeof out);
    const char* after = ParseRepresentationLetters(&out, reply.c_str());
    const size_t taken = static_cast<size_t>(after - reply.c_str());
    TVFUZZ_CHECK(after >= reply.c_str() && taken <= std::strlen(reply.c_str()));
    TVFUZZ_CHECK(out.reserved == 0 && out.recordKind == REPRESENTATION_RECORD_KIND);
    TVFUZZ_CHECK(out.type <= REPRESENTATION_TYPE_LOCAL_BYTE && out.format <= 3 &&
                 out.structure <= REPRESENTATION_STRUCTURE_PAGE && out.mode <= 3);
    TVFUZZ_CHECK(out.byteSize == (out.type == REPRESENTATION_TYPE_LOCAL_BYTE ? LOCAL_BYTE_SIZE : 0));
    const uint32_t flags = out.attributeFlags;
    TVFUZZ_CHECK((flags & ~uint32_t{0x1f000}) == 0);
    TVFUZZ_CHECK(((flags & REPRESENTATION_ASCII) != 0) == (out.type == REPRESENTATION_TYPE_ASCII));
    TVFUZZ_CHECK(((flags & REPRESENTATION_IMAGE) != 0) == (out.type == REPRESENTATION_TYPE_IMAGE));
    TVFUZZ_CHECK(((flags & REPRESENTATION_RECORD) != 0) ==
                 (out.structure == REPRESENTATION_STRUCTURE_RECORD));
    TVFUZZ_CHECK((flags & REPRESENTATION_DIRECTORY) == 0 || out.type == 0);
    TVFUZZ_CHECK((flags & REPRESENTATION_FILE) == 0);
    // One character for each group that took one, and the digits of a local byte size.
    size_t letters = out.type != 0 || (flags & REPRESENTATION_DIRECTORY);
    if (out.type == REPRESENTATION_TYPE_LOCAL_BYTE) {
        while (IsDigit(reply[letters])) ++letters;
    }
    letters += (out.format != 0) + (out.structure != 0) + (out.mode != 0);
    TVFUZZ_CHECK(taken == letters);
}

// The working directory

void FuzzWorkingDirectory(const uint8_t* data, size_t size) {
    InputReader input(data, size);
    const int32_t bufferSize = 1 + input.Byte() * 2;
    const std::string_view replies = input.Rest(kMaxReplyBytes);
    NoBlockLeftBehind blocks;
    FuzzConnection connection(replies);
    const auto directory = std::make_unique<char[]>(static_cast<size_t>(bufferSize));
    const int32_t result = PrintWorkingDirectory(connection.get(), directory.get(), bufferSize);
    const char* cache = connection->cachedWorkingDirectory;
    TVFUZZ_CHECK(std::memchr(cache, '\0', WORKING_DIRECTORY_SIZE) != nullptr);
    if (result != 0) {
        TVFUZZ_CHECK(result == FSE_NOT_SUPPORTED || result == FSE_DIRECTORY_TOO_LONG ||
                     result == FSE_CONNECTION_BROKEN);
        TVFUZZ_CHECK(cache[0] == '\0' && (connection->stateFlags & STATE_DIRECTORY_KNOWN) == 0);
        return;
    }
    const char* end = static_cast<const char*>(std::memchr(directory.get(), '\0', bufferSize));
    TVFUZZ_CHECK(end != nullptr && std::strcmp(directory.get(), cache) == 0);
    TVFUZZ_CHECK(connection->stateFlags & STATE_DIRECTORY_KNOWN);
    // The directory stands in the replies' texts without their code columns (with its
    // quotes doubled where it had any).
    std::string stated, texts;
    for (const char* p = directory.get(); *p != '\0'; ++p) stated.append(*p == '"' ? 2 : 1, *p);
    int position = 0;
    for (const char c : TelnetFiltered(replies)) {
        if (++position >= 5) texts += c;
        if (c == '\n') position = 0;
    }
    TVFUZZ_CHECK(texts.find(stated) != std::string::npos);
    // Asked again, the cache answers: the server has nothing more to say.
    std::memset(directory.get(), 0, static_cast<size_t>(bufferSize));
    TVFUZZ_CHECK(PrintWorkingDirectory(connection.get(), directory.get(), bufferSize) == 0);
    TVFUZZ_CHECK(std::strcmp(directory.get(), cache) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    switch (TVFUZZ_REPLY_TARGET) {
        case 1: FuzzReplyReader(data, size); break;
        case 2: FuzzPassiveAddress(data, size); break;
        case 3: FuzzRepresentationLetters(data, size); break;
        case 4: FuzzWorkingDirectory(data, size); break;
    }
    return 0;
}
