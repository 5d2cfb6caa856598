// The exported path operations: each finds the connection through the host's state record
// and runs the operation; FTP_Pwd hands the working directory to the host in a block of its
// own.
#include "fsops/path_operations.h"

namespace {

// A record whose connection has been closed (or never opened) has nobody to ask; a null
// name is no name at all.
int32_t Check(const FsStateRecord* record, const char* name) {
    if (record->connection == nullptr) return FSE_STREAM_CLOSED;
    if (name == nullptr) return FSE_INVALID;
    return 0;
}

}  // namespace

extern "C" {

TVFTP_EXPORT LONG WINAPI FTP_Chdir(LPCSTR directory, FsStateRecord* record) {
    if (int32_t refused = Check(record, directory); refused < 0) return refused;
    return ChangeDirectory(record->connection, directory, record);
}

TVFTP_EXPORT LONG WINAPI FTP_Mkdir(LPCSTR directory, FsStateRecord* record) {
    if (int32_t refused = Check(record, directory); refused < 0) return refused;
    return MakeRemoteDirectory(record->connection, directory, record);
}

TVFTP_EXPORT LONG WINAPI FTP_Rmdir(LPCSTR directory, FsStateRecord* record) {
    if (int32_t refused = Check(record, directory); refused < 0) return refused;
    return RemoveRemoteDirectory(record->connection, directory, record);
}

TVFTP_EXPORT LONG WINAPI FTP_Delete(LPCSTR file, FsStateRecord* record) {
    if (int32_t refused = Check(record, file); refused < 0) return refused;
    return DeleteRemoteFile(record->connection, file);
}

TVFTP_EXPORT LONG WINAPI FTP_Rename(LPCSTR oldName, LPCSTR newName, FsStateRecord* record) {
    if (int32_t refused = Check(record, oldName); refused < 0) return refused;
    if (newName == nullptr) return FSE_INVALID;
    return RenameRemoteFile(record->connection, oldName, newName);
}

TVFTP_EXPORT LONG WINAPI FTP_Pwd(FsStateRecord* record, HGLOBAL* result) {
    *result = nullptr;
    if (record->connection == nullptr) return FSE_STREAM_CLOSED;
    GlobalBlock block(GlobalAlloc(GHND, WORKING_DIRECTORY_SIZE));
    LockedBlock<char> directory(block.get());
    if (!directory) return FSE_NO_MEMORY;
    const int32_t status =
        PrintWorkingDirectory(record->connection, directory.get(), WORKING_DIRECTORY_SIZE);
    if (status < 0) return status;
    // From here on the block is the host's.
    *result = block.Release();
    return 0;
}

}  // extern "C"
