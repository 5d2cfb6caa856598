// RemoteFileHandle: the module's record of one open remote file, behind the host's file
// object. It remembers the path and the open mode from the open on, the data connection
// once the first read or write has opened it, and the conversion state carried from one
// read or write to the next.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "transfer/representation.h"

// Open mode bits of RemoteFileHandle::openMode. The host gives them; the module adds
// FILE_MODE_ASCII itself where the server's system reads text in ASCII type anyway.
enum : uint16_t {
    FILE_MODE_READ = 0x0001,    // opened with "RETR %s\r\n"
    FILE_MODE_WRITE = 0x0002,   // "STOR %s\r\n"
    FILE_MODE_APPEND = 0x0008,  // "APPE %s\r\n" when neither write nor create is set
    FILE_MODE_RECORD = 0x0040,  // record structure wanted, else file structure
    FILE_MODE_CREATE = 0x0080,  // "STOR %s\r\n"; with FILE_MODE_WRITE the file must not exist
    FILE_MODE_ASCII = 0x0200,   // ASCII type wanted, else image
};

// Values of RemoteFileHandle::conversionState.
enum : int32_t {
    CONVERSION_NORMAL = 1,              // record decoding and record writing; text reading too
    CONVERSION_ESCAPE_SEEN = 2,         // record decoding: 0xFF read
    CONVERSION_END_OF_RECORD = 3,       // record decoding: CR given, LF still to give
    CONVERSION_ESCAPED_BYTE = 4,        // record decoding: the byte after 0xFF to copy
    CONVERSION_TEXT_NORMAL = 10,        // text reading
    CONVERSION_CARRIAGE_RETURN = 11,    // text reading and record writing: CR seen last
};

// Size of the record buffer of a record-structured text file.
constexpr int RECORD_BUFFER_SIZE = 2048;

struct RemoteFileHandle {
    HGLOBAL stateRecord;  // the FsStateRecord of the open; locked on each call
    SOCKET dataSocket;    // INVALID_SOCKET when there is no data connection
    // Set by the server-to-server relay when it changed this side's representation and
    // must put it back; the type and structure it put aside.
    int32_t relayRepresentationChanged;
    int32_t relaySavedType;
    int32_t relaySavedStructure;
    SOCKET listeningSocket;  // where the data connection is accepted; INVALID_SOCKET if none
    int32_t conversionState;
    int32_t recordBytesLeft;     // bytes of the record buffer not yet decoded
    int32_t recordReadPosition;  // where in the record buffer decoding continues
    // The connection's type and structure before the handle changed them, and whether the
    // close has to apply them again.
    TransferRepresentation savedRepresentation;
    int32_t restoreRepresentation;
    HGLOBAL recordBuffer;  // RECORD_BUFFER_SIZE bytes, allocated on the first read
    HGLOBAL path;          // copy of the remote path, NUL-terminated
    uint16_t openMode;     // FILE_MODE_* bits
    int32_t firstTransferPending;  // 1 from the open until the data connection is opened
    int32_t lastByteWasCr;         // line-end state of the server-to-server text relay
    // Set by the server-to-server relay, which sends the source's bytes as they come: they
    // hold the source's own end-of-file mark, so the close adds nothing of its own.
    int32_t relayed;
};
