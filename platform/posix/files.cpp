// Local files by handle: _lopen, _lcreat, _lread, _lwrite, _llseek, _lclose and OpenFile,
// over POSIX file descriptors. A file handle is the descriptor itself; every failure gives
// HFILE_ERROR and sets the Windows error code of the cause.
#include "platform/posix/win32.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <string>

namespace {

constexpr DWORD kErrorFileExists = 80;
constexpr DWORD kErrorDiskFull = 112;

DWORD WindowsErrorOf(int error) {
    switch (error) {
        case ENOENT: return ERROR_FILE_NOT_FOUND;
        case ENOTDIR: return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EISDIR:
        case EROFS: return ERROR_ACCESS_DENIED;
        case EBADF: return ERROR_INVALID_HANDLE;
        case EEXIST: return kErrorFileExists;
        case ENOSPC:
        case EFBIG: return kErrorDiskFull;
        case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
        default: return ERROR_INVALID_PARAMETER;
    }
}

HFILE FailWithErrno() {
    SetLastError(WindowsErrorOf(errno));
    return HFILE_ERROR;
}

int OpenFlagsOf(int mode) {
    switch (mode & 3) {
        case OF_WRITE: return O_WRONLY;
        case OF_READWRITE: return O_RDWR;
        default: return O_RDONLY;
    }
}

// Windows opens files for sharing as the share bits say; POSIX has no mandatory sharing,
// so the share bits are accepted and ignored.
HFILE OpenDescriptor(const char* path, int flags, mode_t permissions) {
    if (path == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return HFILE_ERROR;
    }
    int fd;
    do {
        fd = open(path, flags | O_CLOEXEC, permissions);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return FailWithErrno();
    // A directory opens for reading under POSIX but is no file to Windows.
    struct stat info;
    if (fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        close(fd);
        SetLastError(ERROR_ACCESS_DENIED);
        return HFILE_ERROR;
    }
    return fd;
}

// Attribute 1 (read-only) creates a file that cannot be written once it is closed.
mode_t PermissionsOfAttributes(int attributes) { return (attributes & 1) ? 0444 : 0666; }

void FillOfStruct(LPOFSTRUCT reOpen, const char* fileName, WORD error) {
    if (reOpen == nullptr) return;
    reOpen->cBytes = static_cast<BYTE>(sizeof(OFSTRUCT));
    reOpen->fFixedDisk = 1;
    reOpen->nErrCode = error;
    std::string full;
    if (fileName != nullptr) {
        if (fileName[0] == '/') {
            full = fileName;
        } else {
            char cwd[PATH_MAX];
            if (getcwd(cwd, sizeof(cwd)) != nullptr)
                full = std::string(cwd) + "/" + fileName;
            else
                full = fileName;
        }
    }
    lstrcpynA(reOpen->szPathName, full.c_str(), OFS_MAXPATHNAME);
}

// The file that stands for a Windows library name without a folder ("BKCS32.DLL" ->
// "libbkcs32.so") beside the module at `caller`, where LoadLibraryA looks first; empty
// for any other name.
std::string LibraryBesideCaller(const char* fileName, const void* caller) {
    std::string name(fileName);
    if (name.find_first_of("/\\") != std::string::npos || name.size() <= 4) return "";
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (name.compare(name.size() - 4, 4, ".dll") != 0) return "";
    Dl_info info;
    if (dladdr(caller, &info) == 0 || info.dli_fname == nullptr) return "";
    std::string directory(info.dli_fname);
    size_t slash = directory.rfind('/');
    if (slash == std::string::npos) return "";
    return directory.substr(0, slash + 1) + "lib" + name.substr(0, name.size() - 4) + ".so";
}

}  // namespace

HFILE WINAPI _lopen(LPCSTR path, int mode) { return OpenDescriptor(path, OpenFlagsOf(mode), 0); }

HFILE WINAPI _lcreat(LPCSTR path, int attributes) {
    return OpenDescriptor(path, O_RDWR | O_CREAT | O_TRUNC, PermissionsOfAttributes(attributes));
}

HFILE WINAPI _lclose(HFILE file) {
    if (close(file) != 0) return FailWithErrno();
    return 0;
}

UINT WINAPI _lread(HFILE file, LPVOID buffer, UINT bytes) {
    char* out = static_cast<char*>(buffer);
    UINT total = 0;
    // A short read means the end of the file, as on Windows; only a signal may cut a read
    // short here, so it is resumed.
    while (total < bytes) {
        ssize_t got = read(file, out + total, bytes - total);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return static_cast<UINT>(FailWithErrno());
        if (got == 0) break;
        total += static_cast<UINT>(got);
    }
    return total;
}

// Writing no bytes cuts the file at the current position, as _lwrite always has.
UINT WINAPI _lwrite(HFILE file, LPCCH buffer, UINT bytes) {
    if (bytes == 0) {
        off_t position = lseek(file, 0, SEEK_CUR);
        if (position < 0 || ftruncate(file, position) != 0)
            return static_cast<UINT>(FailWithErrno());
        return 0;
    }
    UINT total = 0;
    while (total < bytes) {
        ssize_t put = write(file, buffer + total, bytes - total);
        if (put < 0 && errno == EINTR) continue;
        // A disk that fills part-way takes some of the bytes: as on Windows, the count it
        // took is the answer (the error code says why), and only a write that took nothing
        // fails.
        if (put < 0 && total > 0) {
            SetLastError(WindowsErrorOf(errno));
            return total;
        }
        if (put < 0) return static_cast<UINT>(FailWithErrno());
        total += static_cast<UINT>(put);
    }
    return total;
}

LONG WINAPI _llseek(HFILE file, LONG offset, int origin) {
    int whence;
    switch (origin) {
        case FILE_BEGIN: whence = SEEK_SET; break;
        case FILE_CURRENT: whence = SEEK_CUR; break;
        case FILE_END: whence = SEEK_END; break;
        default: SetLastError(ERROR_INVALID_PARAMETER); return HFILE_ERROR;
    }
    off_t position = lseek(file, offset, whence);
    if (position < 0) return FailWithErrno();
    // Positions beyond what a LONG holds cannot be reported through this call.
    if (position > 0x7FFFFFFF) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return HFILE_ERROR;
    }
    return static_cast<LONG>(position);
}

// OpenFile's actions: OF_PARSE only fills the structure; OF_DELETE removes the file;
// OF_EXIST opens and closes it again and returns TRUE; OF_CREATE creates or empties it;
// otherwise it is opened with the access bits. The structure gets the full path and, on
// failure, the error code.
HFILE WINAPI OpenFile(LPCSTR fileName, LPOFSTRUCT reOpen, UINT style) {
    if (fileName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return HFILE_ERROR;
    }
    FillOfStruct(reOpen, fileName, 0);
    if (style & OF_PARSE) return 0;
    auto fail = [&]() {
        if (reOpen != nullptr) reOpen->nErrCode = static_cast<WORD>(GetLastError());
        return HFILE_ERROR;
    };
    if (style & OF_DELETE) {
        if (unlink(fileName) != 0) {
            FailWithErrno();
            return fail();
        }
        return TRUE;
    }
    HFILE file = (style & OF_CREATE)
                     ? OpenDescriptor(fileName, OpenFlagsOf(style) | O_CREAT | O_TRUNC, 0666)
                     : OpenDescriptor(fileName, OpenFlagsOf(style), 0);
    // Windows searches further for a name without a folder; for a library name the place
    // that matters is the one LoadLibraryA looks at first, beside the module that asks.
    if (file == HFILE_ERROR && (style & OF_EXIST)) {
        std::string library = LibraryBesideCaller(fileName, __builtin_return_address(0));
        if (!library.empty() && access(library.c_str(), F_OK) == 0) {
            FillOfStruct(reOpen, library.c_str(), 0);
            return TRUE;
        }
    }
    if (file == HFILE_ERROR) return fail();
    if (style & OF_EXIST) {
        close(file);
        return TRUE;
    }
    return file;
}
