// What the tests of connection open need from a host: a state record and its host name in
// moveable global memory, open parameters, logon texts in buffers of the documented size,
// and the module attached to the test program as a loaded library would be (resource
// module, window classes), detached again at the end; and the pieces of the scripted
// server's transcript that most opens share.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "connection/ftp_connection.h"
#include "driver/library_entry.h"
#include "records/module_state.h"
#include "tests/support/scripted_server.h"
#include "transfer/remote_file_handle.h"

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

// A remote file handle as a file open leaves it, with its path in global memory; its
// sockets are closed at the end.
struct OpenedFile {
    OpenedFile(const std::string& remotePath, uint16_t mode) : handle{} {
        handle.path = GlobalAlloc(GMEM_MOVEABLE, remotePath.size() + 1);
        lstrcpyA(static_cast<char*>(GlobalLock(handle.path)), remotePath.c_str());
        GlobalUnlock(handle.path);
        handle.openMode = mode;
        handle.dataSocket = handle.listeningSocket = INVALID_SOCKET;
        handle.recordBytesLeft = handle.recordReadPosition = -1;
    }
    ~OpenedFile() {
        if (handle.dataSocket != INVALID_SOCKET) closesocket(handle.dataSocket);
        if (handle.listeningSocket != INVALID_SOCKET) closesocket(handle.listeningSocket);
        GlobalFree(handle.path);
    }
    OpenedFile(const OpenedFile&) = delete;
    OpenedFile& operator=(const OpenedFile&) = delete;
    RemoteFileHandle handle;
};

inline bool Loaded(const std::string& path) { return GetModuleHandleA(path.c_str()) != nullptr; }

// Tests that need the module attached for their whole run.
class ModuleTest : public ::testing::Test {
protected:
    AttachedModule module_;
};

// Lines the server expects, each with its reply, both without their CR LF.
using Exchange = std::vector<std::pair<std::string, std::string>>;

inline ScriptedServer& ExpectExchange(ScriptedServer& server, const Exchange& exchange) {
    for (const auto& [line, reply] : exchange) server.Expect(line + "\r\n").Reply(reply + "\r\n");
    return server;
}

inline constexpr const char* kScriptedGreeting = "220 Scripted FTP ready.\r\n";

// The greeting and a logon as "anonymous" that the server lets in without a password.
inline ScriptedServer& ExpectAnonymousLogon(ScriptedServer& server,
                                            std::string_view greeting = kScriptedGreeting) {
    return server.Reply(greeting).Expect("USER anonymous\r\n").Reply("230 Welcome.\r\n");
}

inline LONG OpenAnonymously(HostRecord& record, const OpenParameters& parameters) {
    LogonText user("anonymous");
    return xfsopen(record.handle(), 0, user, nullptr, nullptr, &parameters);
}

// The end of every transcript: the close that the record's destructor makes.
inline void ExpectQuit(ScriptedServer& server) {
    server.Expect("QUIT\r\n").Reply("221 Goodbye.\r\n");
}

// The initial options of an open without any open flags.
inline void ExpectDefaultOptions(ScriptedServer& server) {
    server.Expect("TYPE A\r\n").Reply("200 Type set to A.\r\n");
    server.Expect("STRU F\r\n").Reply("200 Structure set to F.\r\n");
}

// What an open left: its result, the record's host type, a copy of the connection taken
// before the close (its pointers are stale by then) and the logon texts as xfsopen left them.
struct OpenOutcome {
    LONG result = 1;
    uint8_t hostType = 0;
    bool connected = false;
    FtpConnection connection{};
    std::string user, password, account;
};

// Opens a record of this host type on the scripted server with these parameters and logon
// texts (nullptr for a text the host leaves out); the record's close ends the transcript
// with QUIT, and the transcript is checked.
inline OpenOutcome OpenOn(ScriptedServer& server, OpenParameters parameters,
                          uint8_t hostType = HOST_UNIX, const char* user = "anonymous",
                          const char* password = nullptr, const char* account = nullptr) {
    ExpectQuit(server);
    server.Start();
    parameters.port = server.Port();
    LogonText texts[] = {LogonText(user ? user : ""), LogonText(password ? password : ""),
                         LogonText(account ? account : "")};
    auto given = [](const char* text, LogonText& buffer) { return text ? buffer.text : nullptr; };
    OpenOutcome outcome;
    {
        HostRecord record("127.0.0.1", hostType);
        outcome.result = xfsopen(record.handle(), 0, given(user, texts[0]),
                                 given(password, texts[1]), given(account, texts[2]), &parameters);
        outcome.hostType = record->hostType;
        outcome.connected = record.connection() != nullptr;
        if (outcome.connected) outcome.connection = *record.connection();
    }
    EXPECT_EQ(server.Finish(), "");
    outcome.user = texts[0].str();
    outcome.password = texts[1].str();
    outcome.account = texts[2].str();
    return outcome;
}

}  // namespace tvtest
