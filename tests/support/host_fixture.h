// What tests need from a host: the module attached as a loaded library would be (resource
// module, window classes), a state record in moveable global memory that xfsopen fills and
// FTP_FS_Close empties, open parameters and logon texts in buffers of the documented size,
// copies of built libraries of a test's own; and, for tests below the exports, a connection
// record on a scripted server made without an open (TestConnection) and a state record that
// carries one (ScriptedSession).
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "connection/ftp_connection.h"
#include "driver/library_entry.h"
#include "driver/open.h"
#include "records/module_state.h"
#include "tests/support/loopback.h"
#include "tests/support/scripted_server.h"
#include "util/orr.h"

namespace tvtest {

// The module's start-up and end around one test, for the test program, which holds the
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

// A state record as the host prepares one; its connection, if any, is closed at the end.
// The record stays where it is while it is not locked, so tests read it through get().
class HostRecord {
public:
    explicit HostRecord(const char* hostName, uint8_t hostType = HOST_UNIX)
        : handle_(GlobalAlloc(GHND, sizeof(FsStateRecord))) {
        HGLOBAL name = GlobalAlloc(GHND, std::strlen(hostName) + 1);
        std::strcpy(static_cast<char*>(GlobalLock(name)), hostName);
        GlobalUnlock(name);
        get()->hostName = name;
        get()->fsKind = FS_KIND_LOCAL;
        get()->hostType = hostType;
    }
    ~HostRecord() {
        FTP_FS_Close(get());
        GlobalFree(get()->hostName);
        GlobalFree(handle_);
    }
    HostRecord(const HostRecord&) = delete;
    HostRecord& operator=(const HostRecord&) = delete;

    HGLOBAL handle() const { return handle_; }
    FsStateRecord* get() const {
        auto* record = static_cast<FsStateRecord*>(GlobalLock(handle_));
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

// The initial options of an open without open flags, and the close's QUIT.
inline void ExpectDefaultOptions(ScriptedServer& server) {
    server.Expect("TYPE A\r\n").Reply("200 Type set to A.\r\n");
    server.Expect("STRU F\r\n").Reply("200 Structure set to F.\r\n");
}
inline void ExpectQuit(ScriptedServer& server) {
    server.Expect("QUIT\r\n").Reply("221 Goodbye.\r\n");
}

// A connection record as an open leaves it (OrrAlloc blocks, the reply-text block, a
// non-blocking control socket connected to a local port), made without an open; freed, and
// the socket closed, at the end.
class TestConnection {
public:
    explicit TestConnection(uint16_t port) {
        WSADATA data;
        WSAStartup(MAKEWORD(1, 1), &data);
        connection_ = static_cast<FtpConnection*>(OrrAlloc(sizeof(FtpConnection)));
        connection_->replyText = static_cast<char*>(OrrAlloc(REPLY_BLOCK_SIZE));
        connection_->replyBufferSize = REPLY_BLOCK_SIZE;
        connection_->hooks = &kModuleHooks;
        SOCKET control = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = LoopbackAddress(port);
        connect(control, reinterpret_cast<sockaddr*>(&address), sizeof address);
        u_long nonBlocking = 1;
        ioctlsocket(control, FIONBIO, &nonBlocking);
        connection_->controlSocket = control;
        ControlStreamInit(&connection_->stream, control);
    }
    ~TestConnection() {
        if (connection_->stream.socket != INVALID_SOCKET) ControlStreamClose(&connection_->stream);
        OrrFree(connection_->replyText);
        OrrFree(connection_);
        WSACleanup();
    }
    TestConnection(const TestConnection&) = delete;
    TestConnection& operator=(const TestConnection&) = delete;

    FtpConnection* get() const { return connection_; }
    FtpConnection* operator->() const { return connection_; }
    ControlStream* stream() const { return &connection_->stream; }

private:
    FtpConnection* connection_;
};

// Command lines the client must send, each with the reply it gets, CR LF added to both; a
// command without a reply is the last thing the server reads before it closes.
using Exchanges = std::initializer_list<std::pair<std::string_view, std::string_view>>;

// A scripted server, a TestConnection to it and a host record that carries it.
class ScriptedSession {
public:
    explicit ScriptedSession(uint8_t hostType = HOST_UNIX) : record_("127.0.0.1", hostType) {}
    // The connection is the TestConnection's to free, not the record's close.
    ~ScriptedSession() { record_->connection = nullptr; }
    ScriptedSession(const ScriptedSession&) = delete;
    ScriptedSession& operator=(const ScriptedSession&) = delete;

    ScriptedServer& server() { return server_; }
    ScriptedServer& Converse(Exchanges exchanges) {
        for (const auto& [command, reply] : exchanges) {
            server_.Expect(std::string(command) + "\r\n");
            if (!reply.empty()) server_.Reply(std::string(reply) + "\r\n");
        }
        return server_;
    }
    // Starts the server, which closes after its last step so that a command the transcript
    // does not hold fails at once, and connects with these flags. A type other than
    // TYPE_NONE is the connection's current type, with file structure.
    FsStateRecord* Begin(uint32_t stateFlags = 0, int32_t type = TYPE_NONE, uint8_t options = 0,
                         uint32_t quirks = 0) {
        server_.Close().Start();
        client_ = std::make_unique<TestConnection>(server_.Port());
        FtpConnection* connection = client_->get();
        connection->stateFlags = stateFlags;
        connection->optionFlags = options;
        connection->hostQuirks = quirks;
        if (type != TYPE_NONE) {
            connection->currentType = type;
            connection->currentStructure = STRUCTURE_FILE;
            connection->currentFormat = connection->currentMode = 1;
        }
        record_->connection = connection;
        return record_.get();
    }
    std::string Finish() { return server_.Finish(); }

    FtpConnection* connection() const { return client_->get(); }
    FsStateRecord* record() const { return record_.get(); }

private:
    ScriptedServer server_;
    std::unique_ptr<TestConnection> client_;
    HostRecord record_;
};

}  // namespace tvtest
