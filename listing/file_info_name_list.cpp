// Binding VAULT32 for the names of a host name list. The library belongs to the host,
// which has it loaded whenever it hands out name lists, so the module binds it for one call
// at a time rather than for its whole life: nothing is left pointing into a library that
// the host may since have let go.
#include "listing/file_info_name_list.h"

const char* gNameListLibraryName = NAME_LIST_LIBRARY_NAME;

HostNameList::HostNameList(HGLOBAL nameList) : block_(nameList) {
    library_ = LoadLibraryA(gNameListLibraryName);
    if (library_ != nullptr) {
        lockName_ = reinterpret_cast<LockNameListNameFn>(
            reinterpret_cast<void*>(GetProcAddress(library_, "LockNameListName")));
        unlockName_ = reinterpret_cast<UnlockNameListNameFn>(
            reinterpret_cast<void*>(GetProcAddress(library_, "UnlockNameListName")));
    }
    // Without the file-system layer there is no way to reach the names: the host gets
    // "not supported" and nothing goes to the server.
    if (lockName_ == nullptr || unlockName_ == nullptr) {
        status_ = FSE_NOT_SUPPORTED;
        return;
    }
    if (!block_) {
        status_ = FSE_INVALID;
        return;
    }
    const auto* bytes = static_cast<const unsigned char*>(block_.get());
    count_ = static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

HostNameList::~HostNameList() {
    if (library_ != nullptr) FreeLibrary(library_);
}

const char* HostNameList::Name(uint16_t index) { return lockName_(block_.get(), index); }

void HostNameList::Release() { unlockName_(block_.get()); }
