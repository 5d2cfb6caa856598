// The host's file-system layer library, VAULT32, as ftpsh uses it: loaded from beside the
// program at run time (the module binds the same library for its side of a name list),
// and the name lists ftpsh makes with it for the module to work through.
#pragma once

#include <string>
#include <vector>

#include "host/vault32/vault32.h"

namespace ftpsh {

// The library's file name as a host names it; the POSIX platform maps it to
// libvault32.so beside the program.
constexpr const char* kFileSystemLayerName = "VAULT32.DLL";

// A name list of VAULT32 that ftpsh owns for as long as the object lives.
class NameList {
public:
    NameList() = default;
    ~NameList();
    NameList(const NameList&) = delete;
    NameList& operator=(const NameList&) = delete;

    // Loads VAULT32 and makes the list of `names`: "" on success, else what went wrong.
    std::string Make(const std::vector<std::string>& names);
    // The list's memory handle, for the module.
    HGLOBAL handle() const { return list_; }
    // Frees the list: false while the module still holds one of its names.
    bool Free();

private:
    HMODULE library_ = nullptr;
    HGLOBAL list_ = nullptr;
    decltype(&FreeNameList) free_ = nullptr;
};

}  // namespace ftpsh
