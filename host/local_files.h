// ftpsh's local side of a copy, as the file manager's own file-system layer provides it:
// local files opened with the platform's file calls behind the record the module reads
// (the platform file handle in its first word, the carriage-return state in its fourth),
// the state record of the local disk, and what ftpsh needs of local and remote names.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "records/tarvoftp.h"

namespace ftpsh {

// The open modes of FTP_File_Open.
enum : LONG {
    kRemoteRead = 0x0001,    // RETR
    kRemoteWrite = 0x0002,   // STOR
    kRemoteAppend = 0x0008,  // APPE
    kRemoteCreate = 0x0080,  // with kRemoteWrite: the file must not exist yet
};

// A local file open for one copy; closed when the object goes.
class LocalFile {
public:
    LocalFile();
    ~LocalFile();
    LocalFile(const LocalFile&) = delete;
    LocalFile& operator=(const LocalFile&) = delete;

    // Opens an existing file to read from its start: "" or why not.
    std::string OpenForReading(const std::string& path);
    // Creates the file, or empties an existing one, to write: "" or why not.
    std::string Create(const std::string& path);

    // The file object and the state record (the local disk) of the copy's local side.
    HostHandleBlock* block() { return &block_; }
    FsStateRecord* record() { return &record_; }
    // How many bytes the file holds now.
    long Size() const;

private:
    HostLocalFile file_{};
    HostHandleBlock block_{};
    FsStateRecord record_{};
};

// The last part of a remote or local path: what a copy names its new file by default.
std::string LastPart(const std::string& path);

// Whether `name` matches `pattern`, where '*' stands for any run of characters and '?' for
// any one.
bool MatchesWildcards(const std::string& pattern, const std::string& name);

// The regular files whose paths match `pattern` ('*' and '?' in its last part only), in
// name order: "dir/*.txt", "*.bin".
std::vector<std::string> LocalFilesMatching(const std::string& pattern);

// The size a server's listing line shows, where the line has the UNIX form
// ("-rw-r--r-- 1 user group SIZE Mon DD HH:MM name") or the Windows NT DOS form
// ("MM-DD-YY HH:MMPM SIZE name").
std::optional<long long> SizeInListingLine(const std::string& line);

}  // namespace ftpsh
