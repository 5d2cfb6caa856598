// The protocol module as ftpsh holds it: the library loaded from beside the program and
// the exports it calls, found by name as a host finds them. Nothing else of the module is
// reached.
#pragma once

#include <string>

#include "records/tarvoftp.h"

namespace ftpsh {

// A library's export found by name. GetProcAddress hands back a generic function pointer;
// the export's real type is known from its documentation.
template <typename Function>
Function FindExport(HMODULE library, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

}  // namespace ftpsh

namespace ftpsh {

// The exports' own types, from the module's public header; nothing is linked against it.
using OpenExport = decltype(&xfsopen);
using RecordExport = decltype(&FTP_FS_Close);
using ShowProtocolExport = decltype(&ShowProtocolWnd);

class ProtocolModule {
public:
    ProtocolModule() = default;
    ~ProtocolModule();
    ProtocolModule(const ProtocolModule&) = delete;
    ProtocolModule& operator=(const ProtocolModule&) = delete;

    // Loads the module; false with a reason in error() when it cannot be loaded. An export
    // the module lacks stays null, and the command that needs it says so.
    bool Load();
    const std::string& error() const { return error_; }

    OpenExport open = nullptr;
    RecordExport close = nullptr;
    // The protocol window's pair; null while the module does not offer it.
    ShowProtocolExport showProtocol = nullptr;
    decltype(&IsProtocolWnd) isProtocol = nullptr;
    // The path operations; null while the module does not offer them.
    decltype(&FTP_Chdir) changeDirectory = nullptr;
    decltype(&FTP_Mkdir) makeDirectory = nullptr;
    decltype(&FTP_Rmdir) removeDirectory = nullptr;
    decltype(&FTP_Delete) deleteFile = nullptr;
    decltype(&FTP_Rename) rename = nullptr;
    decltype(&FTP_Pwd) printDirectory = nullptr;
    // The directory and glob listings, file information and attributes; null while the
    // module does not offer them.
    decltype(&FTP_Dir_Open) dirOpen = nullptr;
    decltype(&FTP_Dir_Read) dirRead = nullptr;
    decltype(&FTP_Dir_Close) dirClose = nullptr;
    decltype(&FTP_Glob_Open) globOpen = nullptr;
    decltype(&FTP_Glob_Read) globRead = nullptr;
    decltype(&FTP_Glob_Close) globClose = nullptr;
    decltype(&FTP_Get_File_Info) fileInfo = nullptr;
    decltype(&FTP_Get_Attributes) attributes = nullptr;
    // Remote files and the copies between them and local files; null while the module does
    // not offer them.
    decltype(&FTP_File_Open) fileOpen = nullptr;
    decltype(&FTP_File_Read) fileRead = nullptr;
    decltype(&FTP_File_Close) fileClose = nullptr;
    decltype(&FTP_Passthru) passthru = nullptr;
    decltype(&FS_State_Record_Initialize) forgetFileType = nullptr;
    // The transfer options and status dialogs; null while the module does not offer them.
    decltype(&FTP_Option) option = nullptr;
    decltype(&FTP_Status) status = nullptr;

private:
    HMODULE library_ = nullptr;
    std::string error_;
};

// The library's file name as a host names it; the POSIX platform maps it to
// libtarvoftp.so beside the program.
constexpr const char* kModuleFileName = "TARVOFTP.DLL";

}  // namespace ftpsh
