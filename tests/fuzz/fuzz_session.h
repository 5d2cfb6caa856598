// What the fuzz targets of the listing readers share: the input taken apart into header
// bytes and parts, a server played from bytes written up front over local socket pairs, a
// connection record on such a server, incoming conversion by a stand-in code-set library,
// the host's entry array with its checks, and the check that an input leaves no global
// memory block behind (the platform's heap keeps its blocks reachable, so LeakSanitizer
// cannot see such a leak).
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

// Set TVFUZZ_VERBOSE in the environment to see every entry a target takes over, for
// checking what a seed reaches.
bool Verbose();

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
    ServerPeer(const ServerPeer&) = delete;
    ServerPeer& operator=(const ServerPeer&) = delete;

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

Conversion ConversionFrom(uint8_t bits);

// Installs the conversion for as long as the object lives, through the tests' stand-in
// library; commands going out are never converted.
class IncomingConversion {
public:
    explicit IncomingConversion(Conversion mode);
    // True when the text the module sees is the received text, so that a target can predict
    // it exactly.
    bool Predictable() const { return mode_ != Conversion::Widening; }
    // The worst case the library claims (1 without conversion).
    int Factor() const;

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
    FuzzConnection(const FuzzConnection&) = delete;
    FuzzConnection& operator=(const FuzzConnection&) = delete;

    FtpConnection* get() const { return connection_; }
    FtpConnection* operator->() const { return connection_; }

private:
    ServerPeer control_;
    FtpConnection* connection_;
};

// The host's state record in moveable global memory, pointing at the connection.
class FuzzStateRecord {
public:
    FuzzStateRecord(FtpConnection* connection, uint8_t hostType);
    ~FuzzStateRecord();
    FuzzStateRecord(const FuzzStateRecord&) = delete;
    FuzzStateRecord& operator=(const FuzzStateRecord&) = delete;

    HGLOBAL handle() const { return handle_; }
    // The record stays where it is while unlocked; every call must leave it unlocked.
    FsStateRecord* get() const;
    bool Unlocked() const;

private:
    HGLOBAL handle_;
};

// The host's handle block in moveable global memory, locked while this object lives, holding
// a new listing record as the open leaves it once the listing command was accepted: the
// state record, the handle kind, the kind mask and the data connection. Closing the listing
// frees the record; the block goes with this object.
class FuzzHandleBlock {
public:
    FuzzHandleBlock(const FuzzStateRecord& record, bool glob, uint32_t kindMask, SOCKET data);
    ~FuzzHandleBlock();
    FuzzHandleBlock(const FuzzHandleBlock&) = delete;
    FuzzHandleBlock& operator=(const FuzzHandleBlock&) = delete;

    HostHandleBlock* get() const { return block_; }
    ListingHandle* listing() const { return listing_; }

private:
    HGLOBAL handle_;
    HostHandleBlock* block_;
    ListingHandle* listing_;
};

// Counts the live global memory blocks when made; the same count must be alive when it
// goes, or the input is reported.
class NoBlockLeftBehind {
public:
    NoBlockLeftBehind();
    ~NoBlockLeftBehind();
    NoBlockLeftBehind(const NoBlockLeftBehind&) = delete;
    NoBlockLeftBehind& operator=(const NoBlockLeftBehind&) = delete;

private:
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
// the connection on a server that sends `replies`, with the input's state flags, the host's
// state record, and a handle block whose listing has the listing's data connection. Every
// global memory block made while it lives must be gone when it goes.
class ListingSession {
public:
    ListingSession(const ListingInput& input, std::string_view replies);
    FtpConnection* connection() const { return connection_.get(); }
    const FuzzStateRecord& record() const { return record_; }
    HostHandleBlock* block() const { return handleBlock_.get(); }
    ListingHandle* handle() const { return handleBlock_.listing(); }
    const IncomingConversion& conversion() const { return conversion_; }

private:
    NoBlockLeftBehind blocks_;
    IncomingConversion conversion_;
    FuzzConnection connection_;
    FuzzStateRecord record_;
    ServerPeer server_;
    FuzzHandleBlock handleBlock_;
};

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
