// Waiting for the network. Every retry of a socket call that would block goes through
// these helpers: they wait in select() for at most a short slice, so that an idle wait costs
// no processor time while the caller still gets to do its between-retries work (pumping
// messages, yielding) a few times a second.
//
// Every wait is bounded and can be cancelled. The bound is the module's TimeoutSeconds
// setting (0: no bound): the silence a wait tolerates before it ends with FSE_TIMED_OUT.
// The host's idle callback (of the open parameters) is asked once per slice; its -1 ends
// the wait with FSE_CANCELLED.
#pragma once

#include <cstdint>

#include "connection/socket_guard.h"
#include "platform/platform.h"

struct ControlStream;

// Long enough that waiting costs nothing, short enough that windows stay responsive.
constexpr DWORD WAIT_SLICE_MS = 50;

// Waits at most `milliseconds` until a receive on the socket would not block (bytes, the
// peer's close or an error are waiting). True when the socket is ready.
bool WaitReadable(SOCKET socket, DWORD milliseconds = WAIT_SLICE_MS);

// The bound of one wait: the time-out counted from its start or its last progress, and the
// host's cancel.
class WaitLimit {
public:
    WaitLimit();
    // Bytes arrived or went: the silence starts again.
    void Progress();
    // Asks the host's idle callback, then looks at the clock: 0 while the wait may go on,
    // FSE_CANCELLED, or FSE_TIMED_OUT once the silence has lasted the time-out.
    int32_t Check() const;

private:
    DWORD start_;
};

// What a socket wait waits on, and what its end means for the control connection.
enum class WaitOn : uint8_t {
    // The control connection itself (a reply, a command going out). A wait that ends
    // without its bytes leaves the stream out of step with the server, so a time-out or a
    // cancel closes the stream: every later command fails at once with FSE_STREAM_CLOSED
    // and FTP_FS_Close frees the connection without waiting.
    Control,
    // The server's connection to a listening socket. The transfer's final reply would be
    // read as the next command's, so a time-out or a cancel closes the control stream too.
    Accept,
    // A data connection. The control connection is watched as well; a time-out closes the
    // control stream, a cancel leaves it to the transfer's end, which reads the final reply
    // as after any other stop.
    Data,
};

// One bounded wait for a socket, in slices.
class SocketWait : public WaitLimit {
public:
    // A wait on the control stream (WaitOn::Control), or on a listening socket whose
    // connection comes for the control stream's transfer (WaitOn::Accept).
    SocketWait(SOCKET socket, ControlStream* control, WaitOn on);
    // A wait on a data connection; the control stream is the one WatchControlOf named.
    explicit SocketWait(SOCKET data);

    // Waits a slice for the socket (reading or writing), then checks the limit. 0 to try
    // again; FSE_TIMED_OUT; FSE_CANCELLED; or, while a data connection or an accept waits,
    // FSE_CONNECTION_BROKEN when the control connection ended or the server's reply there
    // is of class 4 (the transfer will not come: 421, 425, 426, 451...). The reply itself is
    // left for the transfer's end to read. A data connection's wait that ended so ends
    // every later wait on it at once.
    int32_t Slice(bool forWriting);
    // How an earlier wait on the data connection ended (or a failure End recorded): 0 while
    // none did.
    int32_t Ended() const { return ended_; }
    // Records the data connection's failure for every later wait on it (FSE_STOPPED, the
    // host's stop, for the next one only). The failure.
    int32_t End(int32_t failure);

private:
    // The control connection's state while a data wait runs: 0 or FSE_CONNECTION_BROKEN.
    int32_t WatchControl();
    // One slice of Slice.
    int32_t WaitSlice(bool forWriting);

    SOCKET socket_;
    ControlStream* control_ = nullptr;
    WaitOn on_;
    // Set once the control connection held a reply that does not end the transfer (a
    // completion that came before the data's end): it is not watched again in this wait,
    // which would otherwise find it ready on every slice and spin.
    bool controlSettled_ = false;
    // How an earlier wait on the same data connection ended; it ends this one at once.
    int32_t ended_ = 0;
};

// Names the control stream whose transfer runs on the data connection `data`, so that
// waits on it watch the control connection too. A data socket's number is named again
// whenever a data connection is opened, so a number reused after a close never reaches the
// stream of an earlier transfer.
void WatchControlOf(SOCKET data, ControlStream* control);
// Forgets the stream in every entry; its close calls this, so no entry outlives it.
void ForgetControl(const ControlStream* control);

// Sends all `count` bytes on the non-blocking socket, a partial send continuing with the
// rest; a send that would block, or took nothing, waits a slice for the socket after
// `betweenRetries` has had its turn. The count; the socket failure; the end of the wait
// (SocketWait::Slice); or the negative answer of `betweenRetries`, which stops the send.
// *sent counts what went, after a failure too.
template <typename BetweenRetries>
int32_t SendWhole(SocketWait& wait, SOCKET socket, const char* bytes, int32_t count,
                  int32_t* sent, BetweenRetries betweenRetries) {
    for (*sent = 0; *sent < count;) {
        const int put = send(socket, bytes + *sent, count - *sent, 0);
        if (put > 0) {
            *sent += put;
            wait.Progress();
            continue;
        }
        if (put == SOCKET_ERROR && WSAGetLastError() != WSAEWOULDBLOCK) return SocketFailure();
        if (const int32_t stop = betweenRetries(); stop < 0) return stop;
        if (const int32_t ended = wait.Slice(true); ended < 0) return ended;
    }
    return count;
}

// How a non-blocking connect stands after a wait.
enum class ConnectProgress { Connected, Failed, Pending };

// Waits a slice for a pending non-blocking connect to end: Connected once the socket can
// send, Failed when the connect failed (or the socket cannot be watched). While it is still
// pending, one message of the window with the keyboard focus is dispatched before the
// answer, so a long connect keeps the host alive.
ConnectProgress WaitForConnect(SOCKET socket);

// Connects the non-blocking socket to the address, waiting in slices: 0; the connect's
// failure as an FsError (FsErrorFromSocket of its error); FSE_TIMED_OUT; or FSE_CANCELLED.
int32_t ConnectWithin(SOCKET socket, const sockaddr_in& address);

// The pause before a bind refused with address-in-use is tried again: a slice of waiting,
// then one pass of YieldTick for the window. 0 to try again, or the end of the limit.
int32_t WaitBeforeBindRetry(HWND window, const WaitLimit& limit);
