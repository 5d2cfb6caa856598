// The name operations of the remote file system: change, make and remove a directory,
// delete and rename a file, report the working directory. Besides the exports, connection
// open, host detection and the code that tells a directory from a file use the change- and
// print-directory operations directly. Every operation turns a refusal of the server into an
// FsError by one shared rule, falls back once to the old X form of MKD, RMD and PWD, and
// writes directory names as VMS servers want them.
#pragma once

#include <cstdint>
#include <optional>

#include "connection/ftp_connection.h"
#include "util/memory_guards.h"

// ---------------------------------------------------------------------------------------
// Command lines
// ---------------------------------------------------------------------------------------

// Most path commands are formatted into a buffer of COMMAND_BUFFER_SIZE bytes. CWD (with the
// ACCT that may follow it) and DELE get this larger one: it holds "ACCT " with the longest
// answer the account prompt can give, and the full paths by which hosts delete files.
constexpr int LARGE_COMMAND_BUFFER_SIZE = 512;

// Formats `format` (one %s and its CR LF) around the argument into `line` of `size` bytes.
// False, with nothing written, when the line would not fit or when the argument holds a CR
// or an LF: either would make the server read something other than the one command meant.
bool FormatCommandLine(char* line, int32_t size, const char* format, const char* argument);

// ---------------------------------------------------------------------------------------
// Reply classifier
// ---------------------------------------------------------------------------------------

// The FsError of a reply that did not succeed, from its code and the reply text the
// connection keeps: FSE_NO_SPACE for 452, FSE_NOT_SUPPORTED for 502, for 550
// FSE_ACCESS_DENIED, or (when the text speaks of no denial) FSE_NO_SPACE for a text that
// speaks of no space and FSE_NOT_FOUND for one that says the name does not exist, else
// FSE_NOT_FOUND. When no reply was read, the reply's own error (FSE_CONNECTION_BROKEN
// for a broken connection).
int32_t ClassifyFailedReply(const FtpConnection* connection, const Reply& reply);

// Sends the command line and, when the server does not know the command (500 or 502), the
// same request once more in its X form: the reply that decides.
Reply SendWithXFallback(FtpConnection* connection, const char* line, const char* xLine);
// The same for a command of one name (`format` and `xFormat` as for FormatCommandLine): a
// reply failed with FSE_INVALID, and nothing sent, when either line cannot be sent.
Reply SendWithXFallback(FtpConnection* connection, const char* format, const char* xFormat,
                        const char* name);

// ---------------------------------------------------------------------------------------
// VMS directory names
// ---------------------------------------------------------------------------------------

// A directory name as it goes to the server: on request rewritten for VMS ("SUBDIR.DIR;1"
// becomes "[.SUBDIR]"; a name with a "[" stays as it is) in a block of its own that lives as
// long as this object, else the caller's name itself.
class DirectoryNameForServer {
public:
    DirectoryNameForServer(const char* name, bool rewriteForVms);

    // Null when the rewritten name could not be allocated.
    const char* get() const { return name_; }

private:
    const char* name_;
    std::optional<ScratchBlock> block_;  // the rewritten name
};

// Whether directory names go to this record's server in VMS form.
inline bool IsVmsHost(const FsStateRecord* record) { return record->hostType == HOST_VMS; }

// ---------------------------------------------------------------------------------------
// The operations
// ---------------------------------------------------------------------------------------

// Changes the working directory (VMS names rewritten, the listing probe first where the
// server needs it, the account prompt when the server asks for one): 2, or an FsError.
// Forgets the cached working directory on success.
int32_t ChangeDirectory(FtpConnection* connection, const char* name, FsStateRecord* record);

// Writes the working directory, NUL-terminated, into `directory` (`size` bytes): 0,
// FSE_NOT_SUPPORTED when the server does not tell it in a form that can be read,
// FSE_DIRECTORY_TOO_LONG when it does not fit (nor the connection's cache), the reply's
// error when no reply came (FSE_CONNECTION_BROKEN), or FSE_NO_MEMORY. Asks the server only
// when the cache does not know it.
int32_t PrintWorkingDirectory(FtpConnection* connection, char* directory, int32_t size);

// MKD: 0, or the reply's error when no reply came (FSE_CONNECTION_BROKEN), FSE_NOT_SUPPORTED,
// FSE_NO_SPACE, FSE_NO_MEMORY, and FSE_INVALID for every other refusal.
int32_t MakeRemoteDirectory(FtpConnection* connection, const char* name, FsStateRecord* record);
// RMD: 2, or an FsError.
int32_t RemoveRemoteDirectory(FtpConnection* connection, const char* name, FsStateRecord* record);
// DELE: 0, or an FsError.
int32_t DeleteRemoteFile(FtpConnection* connection, const char* name);
// RNFR and, when the server asks for it, RNTO: 2, or an FsError.
int32_t RenameRemoteFile(FtpConnection* connection, const char* oldName, const char* newName);

// The replies of a rename's exchange: RNFR's, and RNTO's when that went out (else a reply of
// no class and no error).
struct RenameReplies {
    Reply from;
    Reply to;
};
// RNFR `oldName`, then RNTO `newName` when `sendTo` says so of the RNFR reply. Nothing goes
// out when either line cannot be sent: the RNFR reply is then failed with FSE_INVALID.
RenameReplies ExchangeRename(FtpConnection* connection, const char* oldName,
                             const char* newName, bool (*sendTo)(const Reply& from));

// For a server of host type 9 (the record's host type already set): sets the one host
// quirk flag the server needs, from the greeting text (without its code columns) or, when
// the greeting does not tell, from a change into a directory that cannot exist.
void DetectVmsQuirks(FsStateRecord* record, FtpConnection* connection, const char* greetingText);

