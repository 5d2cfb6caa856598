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
    changeDirectory = Export<decltype(&FTP_Chdir)>(library_, "FTP_Chdir");
    makeDirectory = Export<decltype(&FTP_Mkdir)>(library_, "FTP_Mkdir");
    removeDirectory = Export<decltype(&FTP_Rmdir)>(library_, "FTP_Rmdir");
    deleteFile = Export<decltype(&FTP_Delete)>(library_, "FTP_Delete");
    rename = Export<decltype(&FTP_Rename)>(library_, "FTP_Rename");
    printDirectory = Export<decltype(&FTP_Pwd)>(library_, "FTP_Pwd");
    dirOpen = Export<decltype(&FTP_Dir_Open)>(library_, "FTP_Dir_Open");
    dirRead = Export<decltype(&FTP_Dir_Read)>(library_, "FTP_Dir_Read");
    dirClose = Export<decltype(&FTP_Dir_Close)>(library_, "FTP_Dir_Close");
    globOpen = Export<decltype(&FTP_Glob_Open)>(library_, "FTP_Glob_Open");
    globRead = Export<decltype(&FTP_Glob_Read)>(library_, "FTP_Glob_Read");
    globClose = Export<decltype(&FTP_Glob_Close)>(library_, "FTP_Glob_Close");
    fileInfo = Export<decltype(&FTP_Get_File_Info)>(library_, "FTP_Get_File_Info");
    attributes = Export<decltype(&FTP_Get_Attributes)>(library_, "FTP_Get_Attributes");
    return true;
}

}  // namespace ftpsh
