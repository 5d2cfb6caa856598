// A scripted server, a connection to it and the host's state record that carries it, for
// the tests of the operations a host calls on an open connection.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "connection/ftp_connection.h"
#include "tests/support/scripted_server.h"
#include "tests/support/test_connection.h"

namespace tvtest {

// Command lines the client must send, each with the reply it gets, CR LF added to both; a
// command without a reply is the last thing the server reads before it closes.
using Exchanges = std::initializer_list<std::pair<std::string_view, std::string_view>>;

inline ScriptedServer& Converse(ScriptedServer& server, Exchanges exchanges) {
    for (const auto& [command, reply] : exchanges) {
        server.Expect(std::string(command) + "\r\n");
        if (!reply.empty()) server.Reply(std::string(reply) + "\r\n");
    }
    return server;
}

// FTP_Pwd as a host calls it: the text of the block it was handed, which it then frees, or
// the result when there is none.
inline std::string Pwd(FsStateRecord* record) {
    HGLOBAL block = reinterpret_cast<HGLOBAL>(1);
    const LONG result = FTP_Pwd(record, &block);
    if (block == nullptr) return std::to_string(result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(GlobalSize(block), static_cast<SIZE_T>(WORKING_DIRECTORY_SIZE));
    std::string directory = static_cast<const char*>(GlobalLock(block));
    GlobalUnlock(block);
    GlobalFree(block);
    return directory;
}

class ScriptedSession {
public:
    explicit ScriptedSession(uint8_t hostType = HOST_UNIX)
        : record_(GlobalAlloc(GHND, sizeof(FsStateRecord))) {
        record()->hostType = hostType;
    }
    ~ScriptedSession() { GlobalFree(record_); }
    ScriptedSession(const ScriptedSession&) = delete;
    ScriptedSession& operator=(const ScriptedSession&) = delete;

    ScriptedServer& server() { return server_; }
    ScriptedServer& Converse(Exchanges exchanges) { return tvtest::Converse(server_, exchanges); }

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
        record()->connection = connection;
        return record();
    }
    std::string Finish() { return server_.Finish(); }

    FtpConnection* connection() const { return client_->get(); }
    HGLOBAL recordHandle() const { return record_; }
    // The record stays where it is while it is not locked, as a host's does between calls.
    FsStateRecord* record() const {
        auto* record = static_cast<FsStateRecord*>(GlobalLock(record_));
        GlobalUnlock(record_);
        return record;
    }
    void SetHostType(uint8_t hostType) { record()->hostType = hostType; }

private:
    ScriptedServer server_;
    std::unique_ptr<TestConnection> client_;
    HGLOBAL record_;
};

}  // namespace tvtest
