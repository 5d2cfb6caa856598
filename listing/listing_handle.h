// ListingHandle: the module's record of one open directory or glob listing, reached through
// the second field of the host's handle block. It carries the state of the data connection,
// of the line reader and of the list reader from one read to the next, the symbolic-link
// lines put aside for the deferred-link pass, and the representation to restore at close.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "transfer/representation.h"

// Bits of ListingHandle::kindMask.
enum : uint32_t {
    KIND_MASK_DIRECTORIES = 0x1,
    KIND_MASK_FILES = 0x2,
    KIND_MASK_ALL = KIND_MASK_DIRECTORIES | KIND_MASK_FILES,
};

// Values of ListingHandle::dataState.
enum : uint16_t {
    DATA_STATE_ENDED = 1,     // the data connection ended normally, or there is none
    DATA_STATE_OPEN = 2,      // the data connection may still deliver
    DATA_STATE_FAILED = 3,    // the data connection ended with an error
};

// Values of ListingHandle::readState.
enum : uint16_t {
    READ_STATE_LINES = 1,     // lines are read and parsed
    READ_STATE_DEFERRED = 2,  // the deferred-link pass runs
    READ_STATE_FINISHED = 3,  // every later read returns 0
    READ_STATE_ABORT = 4,     // drain the data connection, then finish
};

// Values of ListingHandle::lineReaderState.
enum : uint16_t {
    LINE_READER_RESUME = 5,   // go on after the line delivered last
    LINE_READER_START = 6,    // nothing read yet
};

// Size of the LIST line buffer: at most LISTING_LINE_BUFFER_SIZE - 1 bytes of data and a NUL.
constexpr int LISTING_LINE_BUFFER_SIZE = 2048;

struct ListingHandle {
    HGLOBAL stateRecord;  // the FsStateRecord given to the open; locked on each call
    uint32_t kindMask;    // KIND_MASK_* bits
    uint16_t glob;        // 1 for a glob handle, 0 for a directory handle
    uint16_t dataState;
    uint16_t readState;
    uint16_t lineReaderState;
    uint16_t lineCount;   // non-empty lines delivered by the line reader so far
    // Symbolic-link lines put aside for the deferred-link pass: NUL-terminated lines one
    // after another, in the order they arrived.
    HGLOBAL deferredBuffer;
    uint32_t deferredOffset;  // bytes used while collecting; next line during the pass
    uint32_t deferredCount;   // lines not yet processed
    uint32_t deferredAllocated;
    // LIST mode: the line buffer; name-list mode: the whole name list.
    HGLOBAL listingBuffer;
    uint32_t cursorOffset;  // where the next read continues in the listing buffer
    uint32_t fill;          // bytes held in the line buffer (LIST mode)
    SOCKET dataSocket;      // INVALID_SOCKET when none
    uint8_t representationSaved;  // 1 while savedRepresentation is to be applied at close
    TransferRepresentation savedRepresentation;
    // Where the PORT step listens until the listing ends; INVALID_SOCKET in passive mode,
    // where nothing listens.
    SOCKET listeningSocket;
};
