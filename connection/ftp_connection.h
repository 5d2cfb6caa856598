// FtpConnection: the module's record of one open connection, allocated by xfsopen and
// freed by FTP_FS_Close, reached through the state record's connection pointer.
#pragma once

#include <cstdint>

#include "connection/connection_hooks.h"
#include "connection/control_stream.h"
#include "records/tarvoftp.h"
#include "util/memory_guards.h"

// State flags of FtpConnection::stateFlags.
enum : uint32_t {
    STATE_SEND_PORT = 0x00000008,
    STATE_STAT_REPORTS_REPRESENTATION = 0x00004000,
    STATE_DIRECTORY_KNOWN = 0x00008000,
    STATE_PASSIVE_MODE = 0x00100000,
    STATE_PASSIVE_CONNECTION_OPEN = 0x00200000,
    STATE_COPY_PORT_PENDING = 0x00400000,
    STATE_DATA_TRANSFER = 0x20000000,
};

// Option flags of FtpConnection::optionFlags.
enum : uint8_t {
    OPTION_PARSE_DIRECTORIES = 0x01,
    OPTION_REPRESENTATION_FIXED = 0x02,
};

// Host quirks of FtpConnection::hostQuirks.
enum : uint32_t {
    QUIRK_LIST_BEFORE_CWD = 0x01,
    QUIRK_BRACKETED_RMD = 0x02,
};

// Representation types and structures as the connection remembers them.
enum : int32_t { TYPE_NONE = 0, TYPE_ASCII = 1, TYPE_IMAGE = 3 };
enum : int32_t { STRUCTURE_FILE = 1, STRUCTURE_RECORD = 2 };

// HostType values.
enum : uint8_t {
    HOST_AUTOMATIC = 1,
    HOST_DOS = 2,
    HOST_MACINTOSH = 3,
    HOST_MVS = 4,
    HOST_BRANNOCK = 5,
    HOST_OS2 = 6,
    HOST_UNIX = 7,
    HOST_VM = 8,
    HOST_VMS = 9,
    HOST_WINDOWS_NT_DOS = 10,
    HOST_WINDOWS_NT_UNIX = 11,
    HOST_WINDOWS_95 = 12,
    HOST_OTHER = 13,
};

// LineEndConvention: how lines end in text files on the server.
enum : int32_t { LINE_END_UNIX = 2, LINE_END_CRLF = 3 };
// TextFormat of a connection before the user chose anything.
constexpr int32_t TEXT_FORMAT_INITIAL = 1;

constexpr int LOG_LINE_SIZE = 4 + 256;
constexpr int WORKING_DIRECTORY_SIZE = 320;

struct FtpConnection {
    SOCKET controlSocket;
    ControlStream stream;
    int32_t currentType;
    int32_t currentFormat;
    int32_t currentStructure;
    int32_t currentMode;
    int32_t localByteSize;
    uint32_t stateFlags;
    uint8_t optionFlags;
    uint32_t hostQuirks;
    uint16_t lastReplyCode;  // of the last complete reply; callers take a Reply's own code
    char* replyText;  // OrrAlloc block, NUL-terminated text of the last reply
    uint16_t replyBufferSize;
    char* greeting;  // OrrAlloc block, or null
    HWND ownerWindow;
    HWND protocolWindow;
    // Installed by whoever opened the connection; null for none.
    const ConnectionHooks* hooks;
    char logLine[LOG_LINE_SIZE];
    char cachedWorkingDirectory[WORKING_DIRECTORY_SIZE];
    int32_t textFormat;
    int32_t sameTypeForRemaining;
    int32_t lineEndConvention;
};

// The state record (and through it the connection) reached through its memory handle,
// locked for as long as the guard lives.
using LockedStateRecord = LockedBlock<FsStateRecord>;
