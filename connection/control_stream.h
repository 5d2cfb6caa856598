// The control connection: the Telnet-aware stream over the control socket, the command
// senders, the reply reader with its multi-line rule, and the message pumping that keeps
// the host's windows alive while the module waits.
#pragma once

#include <cstdint>

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

constexpr int CONTROL_RECEIVE_BUFFER_SIZE = 128;

struct ControlStream {
    SOCKET socket;            // INVALID_SOCKET once closed
    TelnetState telnetState;  // carried from one read to the next
    int32_t buffered;         // received bytes not yet handed out
    char receiveBuffer[CONTROL_RECEIVE_BUFFER_SIZE + 1];
    char* cursor;  // next byte to hand out
};

// Reply classes: the first digit of the last line, or REPLY_BROKEN when the connection
// broke (or failed) while the reply was read.
enum : int32_t {
    REPLY_PRELIMINARY = 1,
    REPLY_COMPLETE = 2,
    REPLY_INTERMEDIATE = 3,
    REPLY_TRANSIENT = 4,
    REPLY_PERMANENT = 5,
    REPLY_BROKEN = 6,
};

// Size of the optional reply text buffer of SendCommand and ReadReply, with its NUL.
constexpr int REPLY_TEXT_BUFFER_SIZE = 256;
// Size of the reply-text block between commands.
constexpr int REPLY_BLOCK_SIZE = 256;
constexpr int REPLY_BLOCK_GROWTH = 128;
// Size of the formatting buffer of SendFormattedCommand.
constexpr int COMMAND_BUFFER_SIZE = 320;

void ControlStreamInit(ControlStream* stream, SOCKET socket);
int32_t ControlStreamSend(ControlStream* stream, const char* bytes, int32_t length);
int32_t ControlStreamRead(ControlStream* stream, char* destination, int32_t count);
int32_t ControlStreamClose(ControlStream* stream);
int32_t ControlStreamSignal(ControlStream* stream, int32_t code, u_long* argument);

int32_t SendCommand(FtpConnection* connection, const char* line, char* text = nullptr);
int32_t SendCommandNoReply(FtpConnection* connection, const char* line);
int32_t SendFormattedCommand(const char* argument, const char* format,
                             FtpConnection* connection);
int32_t ReadReply(FtpConnection* connection, char* text = nullptr);

void PumpMessages(HWND window);
void PumpOneMessage();
void YieldTick(HWND window);
