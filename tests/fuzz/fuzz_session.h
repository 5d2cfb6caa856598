// What the fuzz targets share: the check that keeps an input, the input taken apart into
// header bytes and parts, a server played from bytes written up front over local socket
// pairs, a connection record on such a server, incoming conversion by a stand-in code-set
// library, the host's entry array with its checks, and the check that an input leaves no
// global memory block behind (the platform's heap keeps its blocks reachable, so
// LeakSanitizer cannot see such a leak).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "connection/ftp_connection.h"
#include "listing/listing_handle.h"
#include "tests/codeset/stand_in_conversion.h"

namespace tvfuzz {

// Reports a broken expectation and aborts, so that the fuzzing engine keeps the input.
[[noreturn]] void Fail(const char* what, const char* file, int line);

#define TVFUZZ_CHECK(condition) \
    ((condition) ? static_cast<void>(0) : ::tvfuzz::Fail(#condition, __FILE__, __LINE__))

// The most bytes of listing data an input may hand to a server, and of replies on the
// control connection: both are written before the module reads, so they must fit the
// pair's buffers (local_socket_pair.cpp).
constexpr size_t kMaxDataBytes = 256 * 1024;
constexpr size_t kMaxReplyBytes = 2048;

// The input front to back: single header bytes, parts with a two-byte length (low byte
// first) in front, and the rest. Reading past the end gives zero bytes and empty parts.
class InputReader {
public:
    InputReader(const uint8_t* data, size_t size)
        : text_(reinterpret_cast<const char*>(data), size) {}
    uint8_t Byte();
    std::string_view Part(size_t limit);
    std::string_view Rest(size_t limit);

private:
    std::string_view text_;
};

// The server's end of a local socket pair. Everything the server will ever send is written
// at once, then its sending side is shut: the module reads it all and then sees the server
// end the connection, instead of waiting for more (nothing here has a time-out yet). With
// `discardReceived` a thread throws away what the module sends until the module closes its
// end. The module's end is blocking, as the module finds a data connection that it
// accepted; the caller makes it non-blocking where the module would.
class ServerPeer {
public:
    explicit ServerPeer(std::string_view sent, bool discardReceived = false);
    ~ServerPeer();

    // The module's end; from now on the module closes it.
    SOCKET TakeModuleEnd();

private:
    SOCKET moduleEnd_ = INVALID_SOCKET;
    SOCKET serverEnd_ = INVALID_SOCKET;
    std::thread discarder_;
};

// How incoming text is converted while an input runs: not at all; by a library that copies
// it but claims a worst case of 1 to 3 (which narrows each receive of the line reader); or
// by one that widens bytes from 0x80 on to two bytes, swallows 0x01 (as a library holds
// back the start of a character) and refuses any block that holds 0x7F.
enum class Conversion : uint8_t { Off, Copy1, Copy2, Copy3, Widening, Count };

inline Conversion ConversionFrom(uint8_t bits) {
    return static_cast<Conversion>(bits % static_cast<uint8_t>(Conversion::Count));
}

// Installs the conversion for as long as the object lives, through the tests' stand-in
// library; commands going out are never converted.
class IncomingConversion {
public:
    explicit IncomingConversion(Conversion mode);
    // True when the text the module sees is the received text, so that a target can predict
    // it exactly.
    bool Predictable() const { return mode_ != Conversion::Widening; }
    // The worst case the library claims (1 without conversion).
    int Factor() const { return library_ ? int(tvtest::StandInConversion::rules().worstCase) : 1; }

private:
    Conversion mode_;
    std::optional<tvtest::StandInConversion> library_;
};

// A connection record as connection open leaves it (from OrrAlloc, with its reply-text
// block and a non-blocking control socket), its control connection on a server that sends
// `replies` and then ends the connection, so that every command after the last reply
// fails as on a broken connection.
class FuzzConnection {
public:
    explicit FuzzConnection(std::string_view replies);
    ~FuzzConnection();

    FtpConnection* get() const { return connection_; }
    FtpConnection* operator->() const { return connection_; }

private:
    ServerPeer control_;
    FtpConnection* connection_;
};

// Counts the live global memory blocks when made; the same count must be alive when it
// goes, or the input is reported.
class NoBlockLeftBehind {
public:
    NoBlockLeftBehind() : blocks_(LiveBlocks()) {}
    ~NoBlockLeftBehind();
    NoBlockLeftBehind(const NoBlockLeftBehind&) = delete;
    NoBlockLeftBehind& operator=(const NoBlockLeftBehind&) = delete;

private:
    static size_t LiveBlocks();
    size_t blocks_;
};

// The input of the LIST and name-list readers' targets: four header bytes, the reply script
// (two-byte length, low byte first) and the listing.
//   byte 0: host type (any value, unknown ones included)
//   byte 1: bit 0 glob handle, bits 1-2 kind mask, bits 3-5 conversion (Conversion),
//           bit 6 the server reports representations in STAT, bit 7 the working directory
//           is known
//   byte 2: entries per read, 1 to 64 (low 6 bits + 1); bits 6-7 the target's own
//   byte 3: the target's own
struct ListingInput {
    ListingInput(const uint8_t* data, size_t size);
    uint8_t hostType, flags, readBits, targetBits;
    std::string_view replies, listing;
    int count() const { return (readBits & 0x3f) + 1; }
    bool glob() const { return (flags & 1) != 0; }
};

// A listing as the open leaves it once the listing command was accepted, on such an input:
// the connection on a server that sends `replies`, with the input's state flags; the host's
// state record in moveable global memory; and the host's handle block, locked while the
// session lives, holding a new listing record (the state record, the handle kind, the kind
// mask and the listing's data connection) that closing the listing frees. Every global
// memory block made while the session lives must be gone when it goes.
class ListingSession {
public:
    ListingSession(const ListingInput& input, std::string_view replies);
    ~ListingSession();
    FtpConnection* connection() const { return connection_.get(); }
    // The state record stays where it is while unlocked.
    FsStateRecord* record() const;
    // Every call must leave the state record and the listing's line buffer unlocked.
    bool Unlocked() const;
    HostHandleBlock* block() const { return block_; }
    ListingHandle* handle() const { return listing_; }
    const IncomingConversion& conversion() const { return conversion_; }

private:
    NoBlockLeftBehind blocks_;
    IncomingConversion conversion_;
    FuzzConnection connection_;
    ServerPeer server_;
    HGLOBAL record_;
    HGLOBAL blockHandle_;
    HostHandleBlock* block_;
    ListingHandle* listing_;
};

// Where more reads of a listing than this would be needed, its reader has stopped making
// progress.
constexpr int kMostReads = 1 << 20;

// What the host takes over from one entry.
struct TakenEntry {
    std::string name;
    std::string line;  // empty when the module left the line field alone
    bool hasLine;
    uint8_t kind;
};

// The host's entry array for one read: `count` records and one behind them, every field the
// module may write holding the host's own values. TakeOver checks what a read of that
// result left there and takes the filled entries over as a host does (texts copied out,
// blocks freed).
class HostEntries {
public:
    explicit HostEntries(int count);
    DirEntry* data() { return entries_.data(); }
    int count() const { return count_; }
    std::vector<TakenEntry> TakeOver(int32_t result);

private:
    int count_;
    std::vector<DirEntry> entries_;
};

}  // namespace tvfuzz
