// The representation type and structure of transfers: the record that describes a remote
// file or a wanted transfer, and bringing the server to a wanted type and structure.
#pragma once

#include <cstdint>

#include "records/tarvoftp.h"

struct FtpConnection;

// Attribute flags of TransferRepresentation::attributeFlags.
enum : uint32_t {
    REPRESENTATION_IMAGE = 0x1000,
    REPRESENTATION_ASCII = 0x2000,
    REPRESENTATION_DIRECTORY = 0x4000,
    REPRESENTATION_FILE = 0x8000,
    REPRESENTATION_RECORD = 0x10000,
};

// Representation types (TYPE) and structures (STRU); 0 means not stated.
enum : uint32_t {
    REPRESENTATION_TYPE_ASCII = 1,
    REPRESENTATION_TYPE_EBCDIC = 2,
    REPRESENTATION_TYPE_IMAGE = 3,
    REPRESENTATION_TYPE_LOCAL_BYTE = 4,
};
enum : uint32_t {
    REPRESENTATION_STRUCTURE_FILE = 1,
    REPRESENTATION_STRUCTURE_RECORD = 2,
    REPRESENTATION_STRUCTURE_PAGE = 3,
};

// The record kind every TransferRepresentation carries.
constexpr uint32_t REPRESENTATION_RECORD_KIND = 2;
// The byte size of the local byte type.
constexpr uint32_t LOCAL_BYTE_SIZE = 8;

// The representation of a remote file as the server reports it, or of a wanted transfer.
// Always cleared as a whole before it is filled.
struct TransferRepresentation {
    uint32_t attributeFlags;
    uint32_t reserved;    // always 0
    uint32_t recordKind;  // always REPRESENTATION_RECORD_KIND
    uint32_t type;
    uint32_t format;     // 1 non-print, 2 Telnet, 3 carriage control
    uint32_t structure;
    uint32_t mode;       // 1 stream, 2 block, 3 compressed
    uint32_t byteSize;   // LOCAL_BYTE_SIZE for the local byte type, else 0
};
static_assert(sizeof(TransferRepresentation) == 32);

// Brings the record's connection to the wanted type and structure (the other fields are
// not read), sending TYPE and STRU only where they differ from what the server last
// accepted. 0; FSE_INVALID for a type or structure without a command (nothing further is
// sent); FSE_UNEXPECTED_REPLY when the server refuses, and also when no reply came (the
// remembered values keep what it last accepted).
int32_t ApplyRepresentation(const TransferRepresentation& wanted, FsStateRecord* record);

struct FtpConnection;
// The transfer options of the open flags (port mode, directory parsing, local byte size,
// a fixed or a chosen representation) set on a connection just logged on, with TYPE and
// STRU sent: what ApplyRepresentation returns.
int32_t ApplyInitialOptions(FsStateRecord* record, FtpConnection* connection, uint32_t openFlags);


// ---------------------------------------------------------------------------------------
// What the server says about a remote path
// ---------------------------------------------------------------------------------------

// Asks a server that reports representations (STAT-reports-representation flag) about the
// path with "STAT path" and fills `out` from the letters its reply begins with. 2 on a 2xx
// reply (as a change into a directory gives); FSE_CONNECTION_BROKEN when the control
// connection broke; FSE_INVALID for any other reply, and for a path that cannot be sent as
// one command line (nothing is sent then).
int32_t QueryRepresentationByStat(FtpConnection* connection, const char* path,
                                  TransferRepresentation* out);

// Fills `out` (cleared first, record kind 2) from the representation letters at the start
// of `text`, in either case and without blanks between them: a type (A, D for a directory,
// E, I, or L with any digits after it, read as byte size 8), a format (N, T, C), a
// structure (F, R, P) and a mode (S, B, C), each optional. A character that is not a letter
// of its group is left to the next group. Returns where the text goes on after the last
// letter taken.
const char* ParseRepresentationLetters(TransferRepresentation* out, const char* text);

// Whether a remote path is a directory or a file: by STAT on servers that report the
// representation, else by trying to change into it (a directory) or not (a file: then the
// result is 0, whatever the refusal). With `restore` the working directory is read first and
// entered again afterwards, and a server that cannot tell its working directory
// (FSE_NOT_SUPPORTED) gets the path taken for a file without trying; without `restore` a
// directory stays the working directory. A non-negative value (2 after a change into a
// directory or a STAT answered, 0 for a file), or an FsError.
int32_t QueryPathKind(const char* path, TransferRepresentation* out, FsStateRecord* record,
                      bool restore);
