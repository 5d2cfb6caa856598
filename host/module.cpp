// Loading the protocol module and finding its exports by name, as the file manager does.
#include "host/module.h"

namespace ftpsh {

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
    open = FindExport<OpenExport>(library_, "xfsopen");
    close = FindExport<RecordExport>(library_, "FTP_FS_Close");
    showProtocol = FindExport<ShowProtocolExport>(library_, "ShowProtocolWnd");
    isProtocol = FindExport<decltype(&IsProtocolWnd)>(library_, "IsProtocolWnd");
    changeDirectory = FindExport<decltype(&FTP_Chdir)>(library_, "FTP_Chdir");
    makeDirectory = FindExport<decltype(&FTP_Mkdir)>(library_, "FTP_Mkdir");
    removeDirectory = FindExport<decltype(&FTP_Rmdir)>(library_, "FTP_Rmdir");
    deleteFile = FindExport<decltype(&FTP_Delete)>(library_, "FTP_Delete");
    rename = FindExport<decltype(&FTP_Rename)>(library_, "FTP_Rename");
    printDirectory = FindExport<decltype(&FTP_Pwd)>(library_, "FTP_Pwd");
    dirOpen = FindExport<decltype(&FTP_Dir_Open)>(library_, "FTP_Dir_Open");
    dirRead = FindExport<decltype(&FTP_Dir_Read)>(library_, "FTP_Dir_Read");
    dirClose = FindExport<decltype(&FTP_Dir_Close)>(library_, "FTP_Dir_Close");
    globOpen = FindExport<decltype(&FTP_Glob_Open)>(library_, "FTP_Glob_Open");
    globRead = FindExport<decltype(&FTP_Glob_Read)>(library_, "FTP_Glob_Read");
    globClose = FindExport<decltype(&FTP_Glob_Close)>(library_, "FTP_Glob_Close");
    fileInfo = FindExport<decltype(&FTP_Get_File_Info)>(library_, "FTP_Get_File_Info");
    attributes = FindExport<decltype(&FTP_Get_Attributes)>(library_, "FTP_Get_Attributes");
    fileOpen = FindExport<decltype(&FTP_File_Open)>(library_, "FTP_File_Open");
    fileRead = FindExport<decltype(&FTP_File_Read)>(library_, "FTP_File_Read");
    fileClose = FindExport<decltype(&FTP_File_Close)>(library_, "FTP_File_Close");
    passthru = FindExport<decltype(&FTP_Passthru)>(library_, "FTP_Passthru");
    forgetFileType =
        FindExport<decltype(&FS_State_Record_Initialize)>(library_, "FS_State_Record_Initialize");
    option = FindExport<decltype(&FTP_Option)>(library_, "FTP_Option");
    status = FindExport<decltype(&FTP_Status)>(library_, "FTP_Status");
    return true;
}

}  // namespace ftpsh
