// The Tarvo FTP protocol module as a host sees it: the records the host owns and hands to
// the module, the callbacks it provides, the FsError numbers, and the exported operations.
// Self-contained: a host includes this header and the platform's <windows.h> (on POSIX
// systems the platform stand-in, platform/platform.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

#if defined(_WIN32)
#define TVFTP_EXPORT
#else
#define TVFTP_EXPORT __attribute__((visibility("default")))
#endif

struct FtpConnection;

// ---------------------------------------------------------------------------------------
// FsError: every negative number the module returns. Socket failures are reported on the
// same scale as 10000 minus the Winsock error code (FsErrorFromSocket).
// ---------------------------------------------------------------------------------------
enum FsError : int32_t {
    FSE_FAILED = -1,                // failure without a finer code
    FSE_NOT_FOUND = -2,             // not found or refused
    FSE_LOCAL_WRITE = -5,           // writing the local file failed
    FSE_STREAM_CLOSED = -9,         // the socket of the stream is already closed
    FSE_NO_MEMORY = -12,            // out of memory
    FSE_ACCESS_DENIED = -13,        // access denied
    FSE_EXISTS = -17,               // the remote file exists
    FSE_INVALID = -22,              // invalid request
    FSE_NO_SPACE = -28,             // no space on the server
    FSE_WOULD_BLOCK = -35,          // the socket would block
    FSE_NETWORK_DOWN = -42,         // the network interface is not available
    FSE_NOT_SUPPORTED = -45,        // not supported
    FSE_KIND_UNSUPPORTED = -46,     // copy between file-system kinds not handled
    FSE_CONVERSION = -55,           // code-set conversion failed
    FSE_CONNECTION_BROKEN = -57,    // control connection broke while a reply was read
    FSE_LOGON_BROKEN = -60,         // control connection broke during logon
    FSE_TIMED_OUT = -60,            // a network wait outlasted the time-out
    FSE_HOST_NOT_FOUND = -67,       // the server's host name does not resolve
    FSE_NO_RECORD_MARKER = -72,     // the local file lacks the record-file marker
    FSE_WINDOW_FAILED = -73,        // a dialog, the protocol window or a setting failed
    FSE_CANCELLED = -86,            // blocking call or auto-detection cancelled
    FSE_DIRECTORY_TOO_LONG = -100,  // the working directory does not fit the result block
    FSE_USER_PROMPT_CANCELLED = -150,  // the user-name prompt was cancelled
    FSE_LOGON_REFUSED = -151,          // logon refused
    FSE_STOPPED = -152,                // the host or the user asked to stop
    FSE_SKIP_FILE = -153,              // the user chose to skip this file
    FSE_BAD_LISTING = -154,            // listing line rejected, or no parser for the host
    FSE_UNEXPECTED_REPLY = -158,       // unexpected reply
    FSE_LOCAL_SHORT_WRITE = -159,      // the local file took fewer bytes than written
    FSE_RETRIEVE_REFUSED = -160,       // no file record, or the retrieve command refused
    FSE_STORE_REFUSED = -161,          // store or append command refused
    FSE_NAME_NOT_ALLOWED = -164,       // store or append refused with 553
};

// A failed socket call reported on the FsError scale (Winsock 10061 becomes -61).
constexpr int32_t FsErrorFromSocket(int winsockError) { return 10000 - winsockError; }

// ---------------------------------------------------------------------------------------
// Host-owned records. On 32-bit targets every documented offset holds (checked below);
// 64-bit builds use the natural layout of the same fields.
// ---------------------------------------------------------------------------------------

// File-system kinds of an FsStateRecord.
enum : uint8_t { FS_KIND_LOCAL = 1, FS_KIND_FTP = 2 };

// The host's record for one open file system.
struct FsStateRecord {
    union {
        HGLOBAL hostName;  // NUL-terminated host name; xfsopen lowers its case in place
        uint8_t hostNameSlot[8];
    };
    union {
        FtpConnection* connection;  // set by xfsopen, cleared by FTP_FS_Close
        uint8_t connectionSlot[8];
    };
    uint32_t hostValue;  // handed unchanged to the file-information line function
    uint8_t fsKind;      // FS_KIND_LOCAL or FS_KIND_FTP
    uint8_t hostType;    // in: 1 asks for detection; out: the HostType in use
    uint8_t hostReserved[2];
};

// Open flags of OpenParameters::openFlags.
enum : uint32_t {
    OPEN_TYPE_ASCII = 0x01,
    OPEN_LOCAL_BYTE_SIZE = 0x02,
    OPEN_STRUCTURE_FILE = 0x04,
    OPEN_PARSE_DIRECTORIES = 0x08,
    OPEN_REPRESENTATION_FIXED = 0x10,
    OPEN_SEND_PORT = 0x20,
    OPEN_SHOW_PROTOCOL = 0x80,
};

// The host's idle callback: -1 cancels the blocking call in progress.
typedef LONG(CALLBACK* IdleCallback)();

// The open request that the last argument of xfsopen points to.
struct OpenParameters {
    uint8_t hostReserved0;
    uint8_t accountHostType;  // host type of the logon's account rule
    uint16_t hostReserved2;
    uint32_t openFlags;
    IdleCallback idleCallback;
    HWND ownerWindow;
    uint16_t port;    // TCP port of the server, host byte order
    uint8_t codeSet;  // remote code set of the control connection; 0 none
    uint8_t hostReserved19;
};

// The host's handle block of an open file, directory or glob: the second field holds the
// module's per-handle record.
struct HostHandleBlock {
    uint32_t hostReserved;
    void* handleSlot;
};

// Host copy callback: (cookie, code, 0, value). Codes: 2 progress, 6 yield.
typedef LONG(CALLBACK* ProgressCallback)(DWORD cookie, LONG code, LONG zero, LONG value);
enum : LONG { PROGRESS_CODE_TOTAL = 2, PROGRESS_CODE_YIELD = 6 };

constexpr int COPY_BUFFER_SIZE = 2048;

// The host's copy record of FTP_Passthru.
struct CopyContext {
    FsStateRecord* source;
    FsStateRecord* destination;
    char inputBuffer[COPY_BUFFER_SIZE];
    uint32_t inputSize;
    uint32_t inputCount;
    char outputBuffer[COPY_BUFFER_SIZE];
    uint32_t outputSize;
    uint32_t outputCount;
    uint32_t total;
    DWORD cookie;
    ProgressCallback progress;
};

// Entry kinds of DirEntry::kind.
enum : uint8_t { ENTRY_DIRECTORY = 1, ENTRY_FILE = 2 };

// One listing entry, as the host's entry arrays hold them.
struct DirEntry {
    uint16_t nameLength;
    uint16_t lineLength;
    HGLOBAL name;  // moveable block of the NUL-terminated name; the host's after a read
    HGLOBAL line;  // moveable block of the whole listing line
    uint16_t reserved;
    uint8_t hostData[10];
    uint8_t kind;
    uint8_t hostData2[3];
};

// Attribute flags of AttributeRecord::flags.
enum : uint8_t {
    ATTR_DIRECTORY = 1,
    ATTR_ASCII = 2,
    ATTR_IMAGE = 4,
    ATTR_RECORD = 8,
};

struct AttributeRecord {
    uint8_t zero[8];
    uint8_t flags;
    uint8_t zero2[3];
};

// The host's function that receives each line of FTP_Get_File_Info.
typedef LONG(CALLBACK* FileInfoLineFunction)(LPCSTR line, int length, DWORD hostValue);

#if UINTPTR_MAX == 0xffffffffu
static_assert(offsetof(FsStateRecord, hostName) == 0);
static_assert(offsetof(FsStateRecord, connection) == 8);
static_assert(offsetof(FsStateRecord, hostValue) == 16);
static_assert(offsetof(FsStateRecord, fsKind) == 20);
static_assert(offsetof(FsStateRecord, hostType) == 21);
static_assert(offsetof(OpenParameters, accountHostType) == 1);
static_assert(offsetof(OpenParameters, openFlags) == 4);
static_assert(offsetof(OpenParameters, idleCallback) == 8);
static_assert(offsetof(OpenParameters, ownerWindow) == 12);
static_assert(offsetof(OpenParameters, port) == 16);
static_assert(offsetof(OpenParameters, codeSet) == 18);
static_assert(offsetof(HostHandleBlock, handleSlot) == 4);
static_assert(offsetof(CopyContext, source) == 0);
static_assert(offsetof(CopyContext, destination) == 4);
static_assert(offsetof(CopyContext, inputBuffer) == 8);
static_assert(offsetof(CopyContext, inputSize) == 2056);
static_assert(offsetof(CopyContext, inputCount) == 2060);
static_assert(offsetof(CopyContext, outputBuffer) == 2064);
static_assert(offsetof(CopyContext, outputSize) == 4112);
static_assert(offsetof(CopyContext, outputCount) == 4116);
static_assert(offsetof(CopyContext, total) == 4120);
static_assert(offsetof(CopyContext, cookie) == 4124);
static_assert(offsetof(CopyContext, progress) == 4128);
static_assert(sizeof(CopyContext) == 4132);
static_assert(offsetof(DirEntry, nameLength) == 0);
static_assert(offsetof(DirEntry, lineLength) == 2);
static_assert(offsetof(DirEntry, name) == 4);
static_assert(offsetof(DirEntry, line) == 8);
static_assert(offsetof(DirEntry, reserved) == 12);
static_assert(offsetof(DirEntry, kind) == 24);
static_assert(sizeof(DirEntry) == 28);
#endif
static_assert(offsetof(AttributeRecord, flags) == 8);
static_assert(sizeof(AttributeRecord) == 12);

// ---------------------------------------------------------------------------------------
// Exported operations
// ---------------------------------------------------------------------------------------
extern "C" {

// Size of the user name, password and account buffers a host passes to xfsopen: when the
// server refuses one and the user answers a prompt, the answer (at most 319 characters and
// a NUL) is copied back into that buffer, so that the host sees what was used. A null text
// stands for an empty one that the module keeps itself.
constexpr int LOGON_TEXT_SIZE = 320;

// Opens a connection to the server named in the state record (a moveable global memory
// block holding an FsStateRecord): connects, reads the greeting, logs on (asking the user
// through prompts when the server refuses), settles the remote system type and applies
// the initial transfer options. `unused` is not read. 0 or an FsError; after a failure
// that left the connection pointer set, FTP_FS_Close releases the connection.
TVFTP_EXPORT LONG WINAPI xfsopen(HGLOBAL stateRecord, DWORD unused, LPSTR user, LPSTR password,
                                 LPSTR account, const OpenParameters* parameters);

// Logs off with QUIT, closes the control connection, destroys the protocol window and frees
// the connection; the record's connection pointer becomes null. A record without a
// connection is left alone. Returns 0.
TVFTP_EXPORT LONG WINAPI FTP_FS_Close(FsStateRecord* record);

// Interrupts the running transfer of the record's connection: the Telnet interrupt (IAC IP,
// then IAC DM as urgent data), then ABOR, whose reply is read and not examined. The record
// must have a connection. Returns 0.
TVFTP_EXPORT LONG WINAPI FTP_Abort(FsStateRecord* record);

// The blocking hook of the name lookup and connect of xfsopen: runs the host's idle
// callback and cancels the blocking call when it answers -1. Returns 0. Its type is the
// platform's FARPROC, as a blocking hook's must be.
TVFTP_EXPORT INT_PTR WINAPI LocalBlockingHook();

// The dialog procedure of the password prompts USER_PASSWORD and FTP_CD_DLG.
TVFTP_EXPORT INT_PTR CALLBACK FTPChdirProc(HWND dialog, UINT message, WPARAM wParam,
                                           LPARAM lParam);

// Ends the module's use of the code-set library. `unused` is not read. Returns 1.
TVFTP_EXPORT LONG WINAPI WEP(LONG unused);

// Forgets the file-type choice of the connection: TextFormat 1, no same-type choice, and
// the line-end convention of the record's host type. Returns 0.
TVFTP_EXPORT LONG WINAPI FS_State_Record_Initialize(HGLOBAL stateRecord);

}  // extern "C"

// ---------------------------------------------------------------------------------------
// The protocol window of a connection
// ---------------------------------------------------------------------------------------
extern "C" {

// The window procedure of the window class "FTP_ProtocolWindow".
TVFTP_EXPORT LRESULT CALLBACK FTP_ProtocolWP(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam);

// 1 when the record's connection has a protocol window, else 0.
TVFTP_EXPORT LONG WINAPI IsProtocolWnd(FsStateRecord* record);

// `show` 0: asks the connection's protocol window to close (it closes once the host's
// message loop runs) and returns 1. Otherwise opens the window, owned by the connection's
// owner window, or brings the open one to the front: 0, or FSE_WINDOW_FAILED when it
// cannot be created.
TVFTP_EXPORT LONG WINAPI ShowProtocolWnd(LONG show, FsStateRecord* record);

}  // extern "C"

// ---------------------------------------------------------------------------------------
// Path operations. Names are NUL-terminated texts in the server's own syntax; on VMS
// servers directory names may be given as file names (SUBDIR.DIR;1). A name whose command
// would not fit the command line, or that holds a CR or LF, is refused with FSE_INVALID
// and nothing is sent.
// ---------------------------------------------------------------------------------------
extern "C" {

// Changes the working directory; asks the user for an account when the server wants one
// (a cancel gives FSE_CANCELLED). 2, or an FsError.
TVFTP_EXPORT LONG WINAPI FTP_Chdir(LPCSTR directory, FsStateRecord* record);

// Makes a directory. 0; FSE_CONNECTION_BROKEN, FSE_NOT_SUPPORTED or FSE_NO_SPACE; any other
// refusal gives FSE_INVALID.
TVFTP_EXPORT LONG WINAPI FTP_Mkdir(LPCSTR directory, FsStateRecord* record);

// Removes a directory. 2, or an FsError.
TVFTP_EXPORT LONG WINAPI FTP_Rmdir(LPCSTR directory, FsStateRecord* record);

// Deletes a file. 0, or an FsError.
TVFTP_EXPORT LONG WINAPI FTP_Delete(LPCSTR file, FsStateRecord* record);

// Renames a file or directory. 2, or an FsError.
TVFTP_EXPORT LONG WINAPI FTP_Rename(LPCSTR oldName, LPCSTR newName, FsStateRecord* record);

// The working directory: 0 with *result the handle of a 320-byte moveable block holding it
// as NUL-terminated text, which the host then owns and frees; or an FsError with *result
// null (FSE_NOT_SUPPORTED when the server does not tell it readably, FSE_DIRECTORY_TOO_LONG
// when it does not fit the block).
TVFTP_EXPORT LONG WINAPI FTP_Pwd(FsStateRecord* record, HGLOBAL* result);

}  // extern "C"

// ---------------------------------------------------------------------------------------
// Remote system detection
// ---------------------------------------------------------------------------------------
extern "C" {

// The dialog procedure of AUTODETECT_DLG, which asks the user for the remote system type
// when detection found none: ends with the HostType chosen, 0 without a usable choice, or
// -1 on Cancel.
TVFTP_EXPORT INT_PTR CALLBACK FTPAutoDetect(HWND dialog, UINT message, WPARAM wParam,
                                            LPARAM lParam);

}  // extern "C"

// ---------------------------------------------------------------------------------------
// The file type question
// ---------------------------------------------------------------------------------------
extern "C" {

// The dialog procedure of FTP_FILETYPE_DLG, which asks how a fetched file is to be taken
// when its first block does not tell: ends with 1 (Transfer, the choice stored in the
// connection), FSE_SKIP_FILE or FSE_STOPPED. The module shows it itself, with a creation
// parameter of its own that carries the state record and the file's name.
TVFTP_EXPORT INT_PTR CALLBACK FileTypeProc(HWND dialog, UINT message, WPARAM wParam,
                                           LPARAM lParam);

}  // extern "C"

// ---------------------------------------------------------------------------------------
// Directory and glob listings. The handle block is the host's; the open stores the module's
// listing record in its second field. Reads fill up to `count` (low 16 bits) consecutive
// DirEntry records and return how many they filled, 0 at the end of the listing; the name
// and line blocks of the filled entries then belong to the host. A read that fails frees
// what it put into the entries.
// ---------------------------------------------------------------------------------------
extern "C" {

// Opens a listing of the working directory, or of what the pattern (a memory handle of a
// NUL-terminated text, or 0) names. 0 or more, or an FsError; a server that answers 550
// gives an empty listing.
TVFTP_EXPORT LONG WINAPI FTP_Dir_Open(HGLOBAL handleBlock, HGLOBAL pattern,
                                      HGLOBAL stateRecord);
TVFTP_EXPORT LONG WINAPI FTP_Dir_Read(HostHandleBlock* handleBlock, DirEntry* entries,
                                      LONG count);
// Code 1 sets the kind mask (bit 0 directories, bit 1 files): 0. Any other code: FSE_INVALID.
TVFTP_EXPORT LONG WINAPI FTP_Dir_Ioctl(HostHandleBlock* handleBlock, LONG code, LONG value);
// 0, or the error of putting the connection's representation back.
TVFTP_EXPORT LONG WINAPI FTP_Dir_Close(HostHandleBlock* handleBlock);

// The same for a wildcard listing: the pattern is always sent, and names keep the path the
// server put in front of them.
TVFTP_EXPORT LONG WINAPI FTP_Glob_Open(HGLOBAL handleBlock, HGLOBAL pattern,
                                       HGLOBAL stateRecord);
TVFTP_EXPORT LONG WINAPI FTP_Glob_Read(HostHandleBlock* handleBlock, DirEntry* entries,
                                       LONG count);
// Does nothing; 0.
TVFTP_EXPORT LONG WINAPI FTP_Glob_Write(LONG unused1, LONG unused2, LONG unused3);
TVFTP_EXPORT LONG WINAPI FTP_Glob_Ioctl(HostHandleBlock* handleBlock, LONG code, LONG value);
TVFTP_EXPORT LONG WINAPI FTP_Glob_Close(HostHandleBlock* handleBlock);

}  // extern "C"

// ---------------------------------------------------------------------------------------
// Remote files. The file object is the host's handle block; the open stores the module's
// file record in its second field. Nothing goes to the server until the first read or
// write, which sets the representation the open mode asks for and opens the data
// connection; the close reads the server's final reply and puts the representation back.
// ---------------------------------------------------------------------------------------
extern "C" {

// Opens `path` on the connection of `record` (the host's locked state record) in `mode`:
// 0x0001 read (RETR), 0x0002 write (STOR), 0x0008 append (APPE, when neither write nor
// create is set), 0x0080 create (STOR; with write the file must not exist yet), 0x0040
// record structure (else file), 0x0200 ASCII type (else image). The fifth argument is not
// used. 0; FSE_EXISTS when the mode has both write and create and the file is there;
// FSE_NO_MEMORY; FSE_CONNECTION_BROKEN; FSE_INVALID for a path no command line can carry.
TVFTP_EXPORT LONG WINAPI FTP_File_Open(HostHandleBlock* file, LPCSTR path, FsStateRecord* record,
                                       LONG mode, LONG unused);
// Reads up to `count` (low 16 bits) bytes: the count placed, 0 at the end of the file, or an
// FsError; FSE_WOULD_BLOCK when nothing has arrived yet (call again). In ASCII type network
// text comes with the NUL after a lone CR dropped, and records as lines ending in CR LF.
TVFTP_EXPORT LONG WINAPI FTP_File_Read(HostHandleBlock* file, LPSTR buffer, LONG count);
// Writes `count` (low 16 bits) bytes: the count, once the data connection has taken them;
// FSE_FAILED when a send failed; or the FsError of the first write's preparation. In ASCII
// type a lone CR goes as CR NUL, and with record structure CR LF ends a record.
TVFTP_EXPORT LONG WINAPI FTP_File_Write(HostHandleBlock* file, LPCSTR buffer, LONG count);
// Does nothing; 0.
TVFTP_EXPORT LONG WINAPI FTP_File_Ioctl(HostHandleBlock* file, LONG code, LONG value);
// Ends the transfer and frees the file record: 0; FSE_NO_SPACE or FSE_UNEXPECTED_REPLY when
// the server did not complete the transfer; FSE_CONNECTION_BROKEN; FSE_FAILED when the last
// bytes of a write could not be sent.
TVFTP_EXPORT LONG WINAPI FTP_File_Close(HostHandleBlock* file);

}  // extern "C"

// ---------------------------------------------------------------------------------------
// File information and attributes
// ---------------------------------------------------------------------------------------
extern "C" {

// For each name of the host's name list (a memory handle of the file-system layer's block,
// whose names the module reaches through VAULT32's LockNameListName/UnlockNameListName),
// lists the name with LIST and hands every line to `lineFunction`. 0 or more, or the
// FsError of the first name whose listing command failed.
TVFTP_EXPORT LONG WINAPI FTP_Get_File_Info(HGLOBAL nameList, FsStateRecord* record,
                                           FileInfoLineFunction lineFunction);
// Fills the attribute record of a remote name: directory, or on servers that report it the
// representation type and structure. Always 0; a failed query leaves the record as it was.
TVFTP_EXPORT LONG WINAPI FTP_Get_Attributes(LPCSTR name, FsStateRecord* record,
                                            AttributeRecord* attributes);
// FTP has no way to set attributes: does nothing; 0.
TVFTP_EXPORT LONG WINAPI FTP_Set_Attributes(LONG unused1, LONG unused2, LONG unused3);

}  // extern "C"

// ---------------------------------------------------------------------------------------
// Copies between the local disk and a server
// ---------------------------------------------------------------------------------------

// What the handle slot of the local side's HostHandleBlock points to: the host's record of
// an open local file. The module reads and writes only these two words; the rest is the
// host's.
struct HostLocalFile {
    HFILE file;               // used with _lread, _llseek and _lwrite
    uint32_t hostReserved[2];
    // Whether the last byte written by a text download fetched in image type was a CR,
    // carried from one block to the next; the host clears it when it opens the file.
    uint32_t carriageReturn;
};
static_assert(offsetof(HostLocalFile, carriageReturn) == 12);

extern "C" {

// Copies a file between the local disk and a server: the source and destination file
// objects (the remote one opened with FTP_File_Open, read mode for a download, write,
// create or append mode for an upload; the local one holding a HostLocalFile) and the
// host's copy record, whose state records say which side is which. The remote file is
// then closed with FTP_File_Close, which reads the server's final reply. 0, or an FsError;
// what was written to the local file before a failure stays there.
TVFTP_EXPORT LONG WINAPI FTP_Passthru(HostHandleBlock* source, HostHandleBlock* destination,
                                      CopyContext* context);

}  // extern "C"

// ---------------------------------------------------------------------------------------
// Transfer options and status of a connection
// ---------------------------------------------------------------------------------------
extern "C" {

// Shows FTP_OPTIONS_DLG over the connection's transfer options. Not confirmed: the
// dialog's result (3 after Cancel, -1 when it could not be shown), nothing changed but a
// toggled "Disable Text File Data Conversion", which holds for every connection at once.
// Confirmed: a fixed type and structure are sent (TYPE, STRU; TYPE L 8 for local byte 8
// on an Other host) and what the server accepted is stored with the other options; the
// result is the class of the last reply (2 accepted, 5 refused, after a message box
// telling which option), 1 when nothing was sent, or FSE_CONNECTION_BROKEN at once when
// the connection broke. FSE_INVALID for a record without a connection.
TVFTP_EXPORT LONG WINAPI FTP_Option(FsStateRecord* record);
// The dialog procedure of FTP_OPTIONS_DLG; its creation parameter is the state record.
TVFTP_EXPORT INT_PTR CALLBACK FTPOptionProc(HWND dialog, UINT message, WPARAM wParam,
                                            LPARAM lParam);

// Shows FTP_STATUS_DLG: the host name, the remote system, the working directory (empty
// when it cannot be had) and the server's greeting line by line. 1 once it is closed, -1
// when it could not be shown, FSE_WINDOW_FAILED for a result of 0.
TVFTP_EXPORT LONG WINAPI FTP_Status(FsStateRecord* record);
// The dialog procedure of FTP_STATUS_DLG; its creation parameter is the state record.
TVFTP_EXPORT INT_PTR CALLBACK FTPStatusProc(HWND dialog, UINT message, WPARAM wParam,
                                            LPARAM lParam);

}  // extern "C"
