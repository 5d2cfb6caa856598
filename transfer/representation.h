// The representation type and structure of transfers: the record that describes a remote
// file or a wanted transfer, and bringing the server to a wanted type and structure.
#pragma once

#include <cstdint>

#include "driver/tarvoftp.h"

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
// accepted. 0; -22 for a type or structure without a command (nothing further is sent);
// -158 when the server refuses (the remembered values keep what it last accepted).
int32_t ApplyRepresentation(const TransferRepresentation& wanted, FsStateRecord* record);

// Whether a remote path is a directory or a file: by STAT on servers that report the
// representation, else by trying to change into it (a directory) or not (a file). With
// `restore` the working directory is entered again afterwards; without it a directory stays
// the working directory. A non-negative value, or an FsError.
int32_t QueryPathKind(const char* path, TransferRepresentation* out, FsStateRecord* record,
                      bool restore);
