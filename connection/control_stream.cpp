// The ControlStream: a buffered reader and writer over the non-blocking control socket.
// Received bytes pass the Telnet filter, which refuses every option the server offers or
// asks for, undoubles IAC IAC and turns CR LF into LF; text in both directions passes the
// code-set conversion while it runs.
#include <cstdint>

#include "codeset/code_set_state.h"
#include "connection/control_stream.h"
#include "connection/socket_guard.h"
#include "connection/wait.h"
#include "records/tarvoftp.h"
#include "util/memory_guards.h"
#include "util/orr.h"

namespace {

constexpr unsigned char kCr = 13;
constexpr unsigned char kLf = 10;

// Refuses a Telnet option: the answer goes straight to the socket, unconverted, and a
// failure to send it is of no consequence to the reply being read.
void Refuse(ControlStream* stream, unsigned char answer, unsigned char option) {
    const char bytes[3] = {static_cast<char>(TELNET_IAC), static_cast<char>(answer),
                           static_cast<char>(option)};
    send(stream->socket, bytes, 3, 0);
}

// Fills the receive buffer from the socket (through the incoming conversion while it
// runs). Returns the count now buffered, 0 when the server closed the connection, or an
// FsError.
int32_t Refill(ControlStream* stream) {
    // The byte behind CONTROL_RECEIVE_BUFFER_SIZE is kept for the NUL after the text.
    const bool converting = ConversionRuns();
    const uint32_t limit = IncomingPieceLimit(CONTROL_RECEIVE_BUFFER_SIZE);
    if (limit < 1) return FSE_CONVERSION;
    ScratchBlock raw(converting ? limit : 0);
    if (converting && raw.get() == nullptr) return FSE_NO_MEMORY;
    int32_t received = recv(stream->socket, converting ? raw.get() : stream->receiveBuffer,
                            static_cast<int>(limit), 0);
    if (received == 0) return 0;
    if (received < 0) return SocketFailure();
    if (converting) {
        received = ConvertIncoming(raw.get(), received, stream->receiveBuffer,
                                   CONTROL_RECEIVE_BUFFER_SIZE);
        if (received == CONVERSION_FAILED) return FSE_CONVERSION;
        // Nothing to hand out yet, exactly as if nothing had been received.
        if (received == 0) return FSE_WOULD_BLOCK;
    }
    stream->buffered = received;
    stream->receiveBuffer[received] = '\0';
    stream->cursor = stream->receiveBuffer;
    return received;
}

// Hands out raw received bytes, refilling the buffer from the socket when it is empty.
int32_t ControlStreamReceive(ControlStream* stream, char* destination, int32_t count) {
    if (stream->buffered <= 0) {
        int32_t refilled = Refill(stream);
        if (refilled < 1) return refilled;
    }
    int32_t handed;
    if (count == 1) {
        *destination = *stream->cursor;
        handed = 1;
    } else {
        handed = count < stream->buffered ? count : stream->buffered;
        OrrCopyBytes(stream->cursor, destination, handed);
    }
    stream->cursor += handed;
    stream->buffered -= handed;
    return handed;
}

// Sends every byte. Command lines are short, so a send that would block is simply
// retried once the socket takes bytes again, until the time-out. The count reported is a
// 16-bit number; the loop itself counts in full.
int32_t SendAll(ControlStream* stream, const char* bytes, int32_t length) {
    int32_t sent = 0;
    SocketWait wait(stream->socket, stream, WaitOn::Control);
    const int32_t result =
        SendWhole(wait, stream->socket, bytes, length, &sent, [] { return 0; });
    return result < 0 ? result : static_cast<uint16_t>(sent);
}

}  // namespace

void ControlStreamInit(ControlStream* stream, SOCKET socket) {
    stream->socket = socket;
    stream->telnetState = TelnetState::Normal;
    stream->buffered = 0;
    stream->receiveBuffer[0] = '\0';
    stream->cursor = stream->receiveBuffer;
    stream->heldCharacter = NO_HELD_CHARACTER;
}

int32_t ControlStreamSend(ControlStream* stream, const char* bytes, int32_t length) {
    if (stream->socket == INVALID_SOCKET) return FSE_STREAM_CLOSED;
    if (length < 0) length = 0;
    if (!ConversionRuns()) return SendAll(stream, bytes, length);

    int64_t size = static_cast<int64_t>(length) * WorstCaseFactor(CodeSets().outgoing) + 1;
    if (size > INT32_MAX) return FSE_NO_MEMORY;
    ScratchBlock converted(static_cast<uint32_t>(size));
    if (converted.get() == nullptr) return FSE_NO_MEMORY;
    // A length the block cannot hold is a broken conversion, not something to send.
    const int32_t output =
        ConvertOutgoing(bytes, length, converted.get(), static_cast<uint32_t>(size - 1));
    if (output == CONVERSION_FAILED) return FSE_CONVERSION;
    return SendAll(stream, converted.get(), output);
}

int32_t ControlStreamRead(ControlStream* stream, char* destination, int32_t count) {
    if (stream->socket == INVALID_SOCKET) return FSE_STREAM_CLOSED;
    if (count < 1) return FSE_INVALID;

    int32_t produced = 0;
    auto produce = [&](unsigned char character) {
        if (produced < count) {
            destination[produced++] = static_cast<char>(character);
        } else {
            stream->heldCharacter = character;
        }
    };
    if (stream->heldCharacter != NO_HELD_CHARACTER) {
        destination[produced++] = static_cast<char>(stream->heldCharacter);
        stream->heldCharacter = NO_HELD_CHARACTER;
    }

    while (produced < count) {
        // Once something was produced, go on only with bytes already received: the caller
        // gets what there is rather than waiting for more.
        if (produced > 0 && stream->buffered <= 0) break;
        char raw;
        int32_t received = ControlStreamReceive(stream, &raw, 1);
        if (received < 1) return received;
        auto byte = static_cast<unsigned char>(raw);

        switch (stream->telnetState) {
        case TelnetState::Normal:
            if (byte == TELNET_IAC) {
                stream->telnetState = TelnetState::AfterIac;
            } else if (byte == kCr) {
                stream->telnetState = TelnetState::AfterCr;
            } else {
                produce(byte);
            }
            break;
        case TelnetState::AfterIac:
            switch (byte) {
            case TELNET_WILL: stream->telnetState = TelnetState::AfterWill; break;
            case TELNET_WONT: stream->telnetState = TelnetState::AfterWont; break;
            case TELNET_DO: stream->telnetState = TelnetState::AfterDo; break;
            case TELNET_DONT: stream->telnetState = TelnetState::AfterDont; break;
            case TELNET_IAC:
                produce(TELNET_IAC);
                stream->telnetState = TelnetState::Normal;
                break;
            default:  // any other Telnet command is ignored
                stream->telnetState = TelnetState::Normal;
                break;
            }
            break;
        case TelnetState::AfterWill:
        case TelnetState::AfterWont:
            Refuse(stream, TELNET_DONT, byte);
            stream->telnetState = TelnetState::Normal;
            break;
        case TelnetState::AfterDo:
        case TelnetState::AfterDont:
            Refuse(stream, TELNET_WONT, byte);
            stream->telnetState = TelnetState::Normal;
            break;
        case TelnetState::AfterCr:
            if (byte == kLf) {
                produce(kLf);
                stream->telnetState = TelnetState::Normal;
            } else if (byte == TELNET_IAC) {
                produce(kCr);
                stream->telnetState = TelnetState::AfterIac;
            } else if (byte == 0) {
                produce(kCr);
                stream->telnetState = TelnetState::Normal;
            } else {
                produce(kCr);
                produce(byte);
                stream->telnetState = TelnetState::Normal;
            }
            break;
        }
    }
    return produced;
}

int32_t ControlStreamClose(ControlStream* stream) {
    if (stream->socket == INVALID_SOCKET) return FSE_STREAM_CLOSED;
    ForgetControl(stream);
    int result = closesocket(stream->socket);
    stream->socket = INVALID_SOCKET;
    return result == SOCKET_ERROR ? SocketFailure() : 0;
}

int32_t ControlStreamSignal(ControlStream* stream, long code, u_long* argument) {
    if (stream->socket == INVALID_SOCKET) return FSE_STREAM_CLOSED;
    int result;
    if (code == SIGNAL_INTERRUPT) {
        // Interrupt Process in the normal stream, then the Data Mark as urgent data so
        // that the server looks at the stream even while it is busy with a transfer.
        const char interrupt[2] = {static_cast<char>(TELNET_IAC), static_cast<char>(TELNET_IP)};
        const char mark[2] = {static_cast<char>(TELNET_IAC), static_cast<char>(TELNET_DM)};
        result = send(stream->socket, interrupt, 2, 0);
        if (result != SOCKET_ERROR) result = send(stream->socket, mark, 2, MSG_OOB);
    } else {
        result = ioctlsocket(stream->socket, code, argument);
    }
    return result == SOCKET_ERROR ? SocketFailure() : result;
}
