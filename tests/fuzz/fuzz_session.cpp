// The fuzz targets' stand-ins for the server, the code-set library and the host (see
// fuzz_session.h).
#include "tests/fuzz/fuzz_session.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/posix/hooks.h"
#include "util/orr.h"

namespace tvfuzz {

// Local socket pairs (local_socket_pair.cpp, apart from the platform header, whose Winsock
// declarations clash with the system's): both ends blocking, with send buffers large enough
// for all an input makes either side send; and a drain that throws away what arrives at the
// server's end until the other end is closed, so that the module's sends never wait.
bool OpenLocalSocketPair(int* moduleEnd, int* serverEnd);
void DiscardUntilClosed(int serverEnd);

namespace {

// What a host's records hold before a read; fields the module does not write keep it.
const HGLOBAL kHostValue = reinterpret_cast<HGLOBAL>(uintptr_t{0x7e57});
constexpr uint16_t kHostLength = 0xbeef;

}  // namespace

void Fail(const char* what, const char* file, int line) {
    std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", what, file, line);
    std::abort();
}

uint8_t InputReader::Byte() {
    if (text_.empty()) return 0;
    const auto byte = static_cast<uint8_t>(text_.front());
    text_.remove_prefix(1);
    return byte;
}

std::string_view InputReader::Part(size_t limit) {
    size_t length = Byte();
    length |= size_t{Byte()} << 8;
    if (length > text_.size()) length = text_.size();
    std::string_view part = text_.substr(0, length);
    text_.remove_prefix(length);
    return part.substr(0, limit);
}

std::string_view InputReader::Rest(size_t limit) {
    std::string_view rest = text_.substr(0, limit);
    text_ = {};
    return rest;
}

ServerPeer::ServerPeer(std::string_view sent, bool discardReceived) {
    int moduleEnd = -1;
    int serverEnd = -1;
    if (!OpenLocalSocketPair(&moduleEnd, &serverEnd)) Fail("no local socket pair", __FILE__, __LINE__);
    moduleEnd_ = static_cast<SOCKET>(moduleEnd);
    serverEnd_ = static_cast<SOCKET>(serverEnd);
    size_t at = 0;
    while (at < sent.size()) {
        const int written = send(serverEnd_, sent.data() + at, static_cast<int>(sent.size() - at), 0);
        TVFUZZ_CHECK(written > 0);
        at += static_cast<size_t>(written);
    }
    shutdown(serverEnd_, SD_SEND);
    if (discardReceived) discarder_ = std::thread(DiscardUntilClosed, serverEnd);
}

ServerPeer::~ServerPeer() {
    // The module's end goes first: only then does the discarding thread see the end.
    if (moduleEnd_ != INVALID_SOCKET) closesocket(moduleEnd_);
    if (discarder_.joinable()) discarder_.join();
    closesocket(serverEnd_);
}

SOCKET ServerPeer::TakeModuleEnd() {
    const SOCKET end = moduleEnd_;
    moduleEnd_ = INVALID_SOCKET;
    TVFUZZ_CHECK(static_cast<int>(end) >= 0);
    return end;
}

IncomingConversion::IncomingConversion(Conversion mode) : mode_(mode) {
    if (mode == Conversion::Widening) {
        library_.emplace(tvtest::StandInRules{.worstCase = 2, .widen = true, .dropped = 0x01,
                                              .refused = 0x7f});
    } else if (mode != Conversion::Off) {
        library_.emplace(tvtest::StandInRules{.worstCase = static_cast<LONG>(mode)});
    }
}

FuzzConnection::FuzzConnection(std::string_view replies)
    : control_(replies, true), connection_(static_cast<FtpConnection*>(OrrAlloc(sizeof(FtpConnection)))) {
    TVFUZZ_CHECK(connection_ != nullptr);
    connection_->replyText = static_cast<char*>(OrrAlloc(REPLY_BLOCK_SIZE));
    connection_->replyBufferSize = REPLY_BLOCK_SIZE;
    const SOCKET control = control_.TakeModuleEnd();
    u_long nonBlocking = 1;
    ioctlsocket(control, FIONBIO, &nonBlocking);
    connection_->controlSocket = control;
    ControlStreamInit(&connection_->stream, control);
    connection_->currentType = TYPE_ASCII;
    connection_->currentStructure = STRUCTURE_FILE;
    connection_->currentFormat = 1;
    connection_->currentMode = 1;
}

FuzzConnection::~FuzzConnection() {
    if (connection_->stream.socket != INVALID_SOCKET) ControlStreamClose(&connection_->stream);
    OrrFree(connection_->greeting);
    OrrFree(connection_->replyText);
    OrrFree(connection_);
}

size_t NoBlockLeftBehind::LiveBlocks() {
    TvGlobalMemoryUsage usage{};
    TvQueryGlobalMemory(&usage, FALSE);
    return usage.liveBlocks;
}

NoBlockLeftBehind::~NoBlockLeftBehind() {
    const size_t after = LiveBlocks();
    if (after != blocks_) {
        std::fprintf(stderr, "%zu global memory blocks before the input, %zu after it\n", blocks_, after);
        Fail("no global memory block is left behind", __FILE__, __LINE__);
    }
}

HostEntries::HostEntries(int count) : count_(count), entries_(static_cast<size_t>(count) + 1) {
    for (DirEntry& entry : entries_) {
        entry.name = entry.line = kHostValue;
        entry.nameLength = entry.lineLength = kHostLength;
        entry.kind = 0xa5;
    }
}

namespace {

// The text of a block the host takes over: exactly its text and a NUL, its length as the
// entry says.
std::string TakeText(HGLOBAL block, uint16_t length) {
    TVFUZZ_CHECK(block != nullptr && block != kHostValue);
    TVFUZZ_CHECK(GlobalSize(block) == SIZE_T{length} + 1);
    const char* text = static_cast<const char*>(GlobalLock(block));
    TVFUZZ_CHECK(text != nullptr);
    std::string copy(text, strnlen(text, SIZE_T{length} + 1));
    TVFUZZ_CHECK(copy.size() == length);
    GlobalUnlock(block);
    TVFUZZ_CHECK((GlobalFlags(block) & GMEM_LOCKCOUNT) == 0);
    GlobalFree(block);
    return copy;
}

}  // namespace

std::vector<TakenEntry> HostEntries::TakeOver(int32_t result) {
    std::vector<TakenEntry> taken;
    // The record behind the array is never the module's to write.
    const DirEntry& behind = entries_[static_cast<size_t>(count_)];
    TVFUZZ_CHECK(behind.name == kHostValue && behind.line == kHostValue);
    TVFUZZ_CHECK(behind.nameLength == kHostLength && behind.lineLength == kHostLength);
    // A failed read has freed whatever it filled; what is left is not the host's to free.
    if (result < 0) return taken;
    TVFUZZ_CHECK(result <= count_);
    for (int32_t i = 0; i < result; ++i) {
        DirEntry& entry = entries_[static_cast<size_t>(i)];
        TakenEntry out;
        out.name = TakeText(entry.name, entry.nameLength);
        out.hasLine = entry.line != kHostValue;
        if (out.hasLine) out.line = TakeText(entry.line, entry.lineLength);
        out.kind = entry.kind;
        taken.push_back(std::move(out));
    }
    for (int i = result; i < count_; ++i) {
        const DirEntry& entry = entries_[static_cast<size_t>(i)];
        TVFUZZ_CHECK(entry.name == kHostValue && entry.line == kHostValue);
    }
    return taken;
}

ListingInput::ListingInput(const uint8_t* data, size_t size) {
    InputReader input(data, size);
    hostType = input.Byte();
    flags = input.Byte();
    readBits = input.Byte();
    targetBits = input.Byte();
    replies = input.Part(kMaxReplyBytes);
    listing = input.Rest(kMaxDataBytes);
}

ListingSession::ListingSession(const ListingInput& input, std::string_view replies)
    : conversion_(ConversionFrom(static_cast<uint8_t>((input.flags >> 3) & 7))),
      connection_(replies),
      server_(input.listing),
      record_(GlobalAlloc(GHND, sizeof(FsStateRecord))),
      blockHandle_(GlobalAlloc(GHND, sizeof(HostHandleBlock))),
      block_(static_cast<HostHandleBlock*>(GlobalLock(blockHandle_))),
      listing_(static_cast<ListingHandle*>(OrrAlloc(sizeof(ListingHandle)))) {
    TVFUZZ_CHECK(record_ != nullptr && block_ != nullptr && listing_ != nullptr);
    FsStateRecord* state = record();
    state->connection = connection_.get();
    state->fsKind = FS_KIND_FTP;
    state->hostType = input.hostType;
    block_->handleSlot = listing_;
    listing_->stateRecord = record_;
    listing_->glob = input.glob() ? 1 : 0;
    listing_->kindMask = (input.flags >> 1) & 3;
    listing_->dataSocket = server_.TakeModuleEnd();
    listing_->listeningSocket = INVALID_SOCKET;
    connection_->stateFlags = STATE_DATA_TRANSFER;
    if (input.flags & 0x40) connection_->stateFlags |= STATE_STAT_REPORTS_REPRESENTATION;
    if (input.flags & 0x80) {
        connection_->stateFlags |= STATE_DIRECTORY_KNOWN;
        std::strcpy(connection_->cachedWorkingDirectory, "/home/user");
    }
}

ListingSession::~ListingSession() {
    GlobalUnlock(blockHandle_);
    GlobalFree(blockHandle_);
    GlobalFree(record_);
}

bool ListingSession::Unlocked() const {
    const HGLOBAL buffer = listing_->listingBuffer;
    return (GlobalFlags(record_) & GMEM_LOCKCOUNT) == 0 &&
           (buffer == nullptr || (GlobalFlags(buffer) & GMEM_LOCKCOUNT) == 0);
}

FsStateRecord* ListingSession::record() const {
    FsStateRecord* record = static_cast<FsStateRecord*>(GlobalLock(record_));
    GlobalUnlock(record_);
    return record;
}

}  // namespace tvfuzz
