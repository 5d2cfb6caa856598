// Loading the protocol module and finding its exports by name, as the file manager does.
#include "host/module.h"

namespace ftpsh {

namespace {

// GetProcAddress hands back a generic function pointer; the export's real type is known
// from its documentation.
template <typename Function>
Function Export(HMODULE library, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

}  // namespace

ProtocolModule::~ProtocolModule() {
    if (library_ != nullptr) FreeLibrary(library_);
}

bool ProtocolModule::Load() {
    // Without a path the loader looks beside the program first, where the host keeps the
    // module and its resource and code-set libraries.
    library_ = LoadLibraryA(kModuleFileName);
    if (library_ == nullptr) {
        error_ = std::string("cannot load ") + kModuleFileName + " (error " +
                 std::to_string(GetLastError()) + ")";
        return false;
    }
    open = Export<OpenExport>(library_, "xfsopen");
    close = Export<RecordExport>(library_, "FTP_FS_Close");
    showProtocol = Export<ShowProtocolExport>(library_, "ShowProtocolWnd");
    isProtocol = Export<decltype(&IsProtocolWnd)>(library_, "IsProtocolWnd");
    return true;
}

}  // namespace ftpsh
