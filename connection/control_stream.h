// The control connection: the Telnet-aware stream over the control socket, the command
// senders, the reply reader with its multi-line rule, and the message pumping that keeps
// the host's windows alive while the module waits.
#pragma once

#include <cstdint>

#include "connection/message_pump.h"
#include "connection/reply.h"
#include "platform/platform.h"

struct FtpConnection;

// States of the Telnet filter on received bytes.
enum class TelnetState : int32_t {
    Normal = 0,
    AfterIac = 1,
    AfterWill = 2,
    AfterWont = 3,
    AfterDo = 4,
    AfterDont = 5,
    AfterCr = 6,
};

// Telnet bytes the stream reacts to or sends.
enum : unsigned char {
    TELNET_IAC = 255,
    TELNET_DONT = 254,
    TELNET_DO = 253,
    TELNET_WONT = 252,
    TELNET_WILL = 251,
    TELNET_IP = 244,
    TELNET_DM = 242,
};

constexpr int CONTROL_RECEIVE_BUFFER_SIZE = 128;
constexpr int32_t NO_HELD_CHARACTER = -1;

struct ControlStream {
    SOCKET socket;            // INVALID_SOCKET once closed
    TelnetState telnetState;  // carried from one read to the next
    int32_t buffered;         // received bytes not yet handed out
    char receiveBuffer[CONTROL_RECEIVE_BUFFER_SIZE + 1];
    char* cursor;  // next byte to hand out
    // A CR followed by another byte produces two characters; when the reader asked for
    // only one, the second waits here and is handed out first by the next read.
    int32_t heldCharacter;
};

// Size of the optional reply text buffer of SendCommand and ReadReply, with its NUL.
constexpr int REPLY_TEXT_BUFFER_SIZE = 256;
// Size of the reply-text block between commands.
constexpr int REPLY_BLOCK_SIZE = 256;
constexpr int REPLY_BLOCK_GROWTH = 128;
// Size of the formatting buffer of SendFormattedCommand.
constexpr int COMMAND_BUFFER_SIZE = 320;

// The code of ControlStreamSignal that interrupts the server: IAC IP, then IAC DM urgent.
constexpr long SIGNAL_INTERRUPT = TELNET_IP;

void ControlStreamInit(ControlStream* stream, SOCKET socket);
// Sends all bytes (converted to the remote code set while conversion runs). The count sent
// (low 16 bits), FSE_STREAM_CLOSED, FSE_CONVERSION when conversion failed, or a socket
// failure.
int32_t ControlStreamSend(ControlStream* stream, const char* bytes, int32_t length);
// Up to `count` characters through the Telnet filter: at least 1, 0 when the server
// closed the connection, FSE_WOULD_BLOCK when nothing has arrived yet, FSE_STREAM_CLOSED,
// FSE_CONVERSION, a socket failure, or FSE_INVALID for a count below 1.
int32_t ControlStreamRead(ControlStream* stream, char* destination, int32_t count);
// 0, FSE_STREAM_CLOSED when already closed, or a socket failure; the stream is closed in
// any case.
int32_t ControlStreamClose(ControlStream* stream);
// SIGNAL_INTERRUPT sends IAC IP, then IAC DM as urgent data; any other code is a socket
// control (ioctlsocket) with its argument. The result of the last call, FSE_STREAM_CLOSED,
// or a socket failure.
int32_t ControlStreamSignal(ControlStream* stream, long code, u_long* argument);

// Sends a complete command line (with its CR LF) and reads the reply (see ReadReply). With
// a text buffer (256 bytes) the reply text without its code columns is copied there, at
// most 255 characters.
Reply SendCommand(FtpConnection* connection, const char* line, char* text = nullptr);
// Sends a command line and reads nothing; the caller reads the reply later. Returns 1.
int32_t SendCommandNoReply(FtpConnection* connection, const char* line);
// Sends the format (one %s, and its CR LF) filled in with the argument and reads the
// reply; FSE_INVALID, with nothing sent, for a format too long for the command buffer.
Reply SendFormattedCommand(const char* argument, const char* format, FtpConnection* connection);
// Reads one complete reply: its class and the code of its last line, also kept as the
// connection's last reply code. FSE_CONNECTION_BROKEN when the connection broke or failed
// meanwhile (or the last line starts with a 6), FSE_STREAM_CLOSED on a closed stream.
// Messages of the thread are dispatched while the reply is awaited. A reply not complete
// within the time-out gives FSE_TIMED_OUT, a cancel by the host FSE_CANCELLED; either
// closes the stream, which is out of step with the server from then on.
Reply ReadReply(FtpConnection* connection, char* text = nullptr);

// Resizes the connection's reply-text block through its memory handle and records the new
// size. False, with the block and its size unchanged, when memory is short.
bool ResizeReplyBlock(FtpConnection* connection, uint32_t newSize);
