// A scripted server, a connection to it and the host's state record that carries it, for
// the tests of transfer representations and of file information.
#pragma once

#include <memory>
#include <string>

#include "driver/ftp_connection.h"
#include "tests/support/scripted_server.h"
#include "tests/support/test_connection.h"

namespace tvtest {

class ScriptedSession {
public:
    explicit ScriptedSession(uint8_t hostType = HOST_UNIX) { record_.hostType = hostType; }
    ScriptedServer& server() { return server_; }
    // The server closes after the last step, so that a command the transcript does not hold
    // fails at once instead of waiting for a reply for ever.
    FsStateRecord* Begin(uint32_t stateFlags = 0) {
        server_.Close().Start();
        client_ = std::make_unique<TestConnection>(server_.Port());
        client_->get()->stateFlags = stateFlags;
        record_.connection = client_->get();
        return &record_;
    }
    FsStateRecord* record() { return &record_; }
    FtpConnection* connection() { return client_->get(); }
    std::string Finish() { return server_.Finish(); }

private:
    ScriptedServer server_;
    std::unique_ptr<TestConnection> client_;
    FsStateRecord record_{};
};

}  // namespace tvtest
