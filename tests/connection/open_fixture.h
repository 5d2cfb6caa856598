// What the tests of connection open need from a host: a state record and its host name in
// moveable global memory, open parameters, logon texts in buffers of the documented size,
// and the module attached to the test program as a loaded library would be (resource
// module, window classes), detached again at the end.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "driver/ftp_connection.h"
#include "driver/library_entry.h"
#include "driver/module_state.h"
#include "tests/support/scripted_server.h"

namespace tvtest {

// The module's start-up and end around one test, run for the test program, which holds the
// module's code itself.
class AttachedModule {
public:
    AttachedModule() : instance_(GetModuleHandleA(nullptr)) { attached_ = ModuleAttach(instance_); }
    ~AttachedModule() { ModuleDetach(instance_); }
    AttachedModule(const AttachedModule&) = delete;
    AttachedModule& operator=(const AttachedModule&) = delete;
    bool attached() const { return attached_ != FALSE; }
    HINSTANCE instance() const { return instance_; }

private:
    HINSTANCE instance_;
    BOOL attached_;
};

// A state record as the host prepares one; the connection, if any, is closed at the end.
class HostRecord {
public:
    explicit HostRecord(const char* hostName, uint8_t hostType = HOST_UNIX)
        : handle_(GlobalAlloc(GHND, sizeof(FsStateRecord))) {
        HGLOBAL name = GlobalAlloc(GHND, std::strlen(hostName) + 1);
        std::strcpy(static_cast<char*>(GlobalLock(name)), hostName);
        GlobalUnlock(name);
        FsStateRecord* record = Lock();
        record->hostName = name;
        record->fsKind = FS_KIND_LOCAL;
        record->hostType = hostType;
        GlobalUnlock(handle_);
    }
    ~HostRecord() {
        FsStateRecord* record = Lock();
        FTP_FS_Close(record);
        GlobalFree(record->hostName);
        GlobalUnlock(handle_);
        GlobalFree(handle_);
    }
    HostRecord(const HostRecord&) = delete;
    HostRecord& operator=(const HostRecord&) = delete;

    HGLOBAL handle() const { return handle_; }
    // The record stays where it is while it is not locked; tests read it through this
    // pointer after xfsopen has unlocked it again.
    FsStateRecord* get() const {
        FsStateRecord* record = Lock();
        GlobalUnlock(handle_);
        return record;
    }
    FsStateRecord* operator->() const { return get(); }
    FtpConnection* connection() const { return get()->connection; }
    std::string HostName() const {
        std::string name = static_cast<const char*>(GlobalLock(get()->hostName));
        GlobalUnlock(get()->hostName);
        return name;
    }
    UINT LockCount() const { return GlobalFlags(handle_) & GMEM_LOCKCOUNT; }

private:
    FsStateRecord* Lock() const { return static_cast<FsStateRecord*>(GlobalLock(handle_)); }
    HGLOBAL handle_;
};

inline OpenParameters Parameters(uint16_t port, uint32_t openFlags = 0,
                                 uint8_t accountHostType = HOST_UNIX) {
    OpenParameters parameters{};
    parameters.accountHostType = accountHostType;
    parameters.openFlags = openFlags;
    parameters.port = port;
    return parameters;
}

// A user name, password or account in a buffer of the size xfsopen may write back into.
struct LogonText {
    char text[LOGON_TEXT_SIZE] = {};
    explicit LogonText(const std::string& value) {
        std::strncpy(text, value.c_str(), LOGON_TEXT_SIZE - 1);
    }
    operator char*() { return text; }
    std::string str() const { return text; }
};

// Copies of built libraries in a folder of the test's own: loaded from there they are
// libraries of their own, which no other test has loaded, so whether one is loaded shows
// what the module did with it.
class PrivateLibraries {
public:
    explicit PrivateLibraries(const std::string& folder)
        : folder_(::testing::TempDir() + folder + "/") {
        std::filesystem::create_directories(folder_);
    }
    ~PrivateLibraries() { std::filesystem::remove_all(folder_); }
    PrivateLibraries(const PrivateLibraries&) = delete;
    PrivateLibraries& operator=(const PrivateLibraries&) = delete;
    // Copies the library at `builtPath`; returns the copy's path.
    std::string Copy(const std::string& builtPath) {
        std::string copy = folder_ + builtPath.substr(builtPath.rfind('/') + 1);
        std::filesystem::copy_file(builtPath, copy,
                                   std::filesystem::copy_options::overwrite_existing);
        return copy;
    }
    // Copies the library `name` of the build directory.
    std::string CopyBuilt(const std::string& name) {
        std::string built = TVFTP_BKCS32_PATH;
        return Copy(built.substr(0, built.rfind('/') + 1) + name);
    }

private:
    std::string folder_;
};

inline bool Loaded(const std::string& path) { return GetModuleHandleA(path.c_str()) != nullptr; }

// The end of every transcript: the close that the record's destructor makes.
inline void ExpectQuit(ScriptedServer& server) {
    server.Expect("QUIT\r\n").Reply("221 Goodbye.\r\n");
}

// The initial options of an open without any open flags.
inline void ExpectDefaultOptions(ScriptedServer& server) {
    server.Expect("TYPE A\r\n").Reply("200 Type set to A.\r\n");
    server.Expect("STRU F\r\n").Reply("200 Structure set to F.\r\n");
}

}  // namespace tvtest
