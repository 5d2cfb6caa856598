// A scripted FTP server for tests: it listens on 127.0.0.1, accepts one control connection
// in a thread of its own and plays a transcript written with a fluent builder:
//
//   ScriptedServer server;
//   server.Reply("220 ready\r\n").Expect("USER anonymous\r\n").Reply("331 Password\r\n");
//   server.Start();
//   ... the client talks to server.Port() ...
//   EXPECT_EQ(server.Finish(), "");
//
// Replies go out byte for byte (multi-line, Telnet bytes, NULs). Every byte received on the
// control connection and on each data connection is recorded, urgent data included. Every
// wait is bounded, a deviation from the transcript closes the connections (so a client
// waiting for a reply sees the close instead of hanging) and is reported by Finish().
//
// This header exposes no system socket header, so files that include the platform's
// Winsock declarations may include it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tvtest {

// One urgent byte and the count of normal control bytes received before its mark.
struct UrgentByte {
    size_t offset;
    char byte;
};

class ScriptedServer {
public:
    // The steps; those without a builder below: Urgent waits for `count` more urgent
    // bytes; Hold says nothing more and waits for the client to close the control
    // connection, Flood sends its bytes over and over meanwhile; DefaultPort connects to the
    // client's end of the control connection, its default data port; Intruder, a third
    // host, connects from 127.0.0.2 to the address of the last PORT command, sends its bytes
    // and closes; DataHold keeps the data connection open, reading nothing more, until the
    // server is stopped.
    enum class Step { Send, Expect, Prefix, Any, Urgent, Pause, Close, Reset, Passive, Port,
                      DefaultPort, DataSend, DataReceive, DataClose, DataReset,
                      Hold, Flood, Intruder, DataHold };

    ScriptedServer();
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    uint16_t Port() const;

    // Any step (`count`: the bytes of Any and Urgent, the milliseconds of Pause), for tests
    // that hold their steps as data; the builders below add the common ones.
    ScriptedServer& Add(Step step, std::string_view bytes = {}, std::string_view after = {},
                        size_t count = 0);

    // ---- control connection steps
    ScriptedServer& Reply(std::string_view bytes) { return Add(Step::Send, bytes); }
    // The client's next bytes must be exactly these (a line with its CR LF, or raw bytes).
    ScriptedServer& Expect(std::string_view bytes) { return Add(Step::Expect, bytes); }
    // The client's next line (up to its LF) must start with these bytes; for lines whose
    // end is not known in advance, such as a PORT command.
    ScriptedServer& ExpectLineStartingWith(std::string_view prefix) {
        return Add(Step::Prefix, prefix);
    }
    // Waits for `count` more control bytes, whatever they are.
    ScriptedServer& ExpectAny(size_t count) { return Add(Step::Any, {}, {}, count); }
    ScriptedServer& Pause(int milliseconds) { return Add(Step::Pause, {}, {}, milliseconds); }
    ScriptedServer& Close() { return Add(Step::Close); }
    // Closes with SO_LINGER 0, so that the client sees a reset.
    ScriptedServer& Reset() { return Add(Step::Reset); }

    // ---- data connection steps
    // Opens a passive listener, announced: before + "127,0,0,1," (none after a ",") + "p1,p2" + after.
    ScriptedServer& Passive(std::string_view before = "227 Entering Passive Mode (",
                            std::string_view after = ").\r\n") {
        return Add(Step::Passive, before, after);
    }
    // Connects to the address of the last PORT command received on the control connection.
    ScriptedServer& ConnectToPort() { return Add(Step::Port); }
    // The data steps accept the passive connection first when it is not yet open; DataReset
    // closes it with SO_LINGER 0.
    ScriptedServer& DataSend(std::string_view bytes) { return Add(Step::DataSend, bytes); }
    ScriptedServer& DataReceiveUntilClose() { return Add(Step::DataReceive); }
    ScriptedServer& DataClose() { return Add(Step::DataClose); }

    // Starts playing the transcript; the client may connect before or after.
    void Start();
    // Waits (bounded) for the transcript to end and stops the server. Returns "" when the
    // client followed the transcript, else a description of each deviation.
    std::string Finish();

    std::string ControlReceived() const;
    std::vector<UrgentByte> UrgentReceived() const;
    // Everything received on each data connection, in the order they were opened.
    std::vector<std::string> DataReceived() const;

    // Every single wait of a step ends after this long.
    static constexpr int kStepTimeoutMs = 5000;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace tvtest
