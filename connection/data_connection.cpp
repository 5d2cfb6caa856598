// Data connections: the listening socket announced with PORT (or left on the default data
// port), the accept of the server's connection, the PASV request and the connect to the
// server's address, and the start of a file transfer with RETR, STOR or APPE.
#include "connection/data_connection.h"
#include "connection/socket_guard.h"

#include <cstdint>

#include "connection/message_pump.h"
#include "connection/wait.h"
#include "records/module_state.h"
#include "util/memory_guards.h"
#include "util/orr.h"

namespace {

// Attempts at making the passive connect's socket before giving up.
constexpr int kSocketAttempts = 5;


// The reply code that carries the server's passive address.
constexpr uint16_t kEnteringPassiveMode = 227;


constexpr int kPassiveNumbers = 6;

// The setting that lets a passive data connection go to the address the 227 reply names.
constexpr const char* kTrustPassiveAddressKey = "PasvTrustAddress";


// Reports the socket failure that just happened, then closes the slot: the close must not
// replace the error the caller is told about.
int32_t FailAndCloseSlot(SOCKET* slot) {
    int32_t failure = SocketFailure();
    CloseSlot(slot);
    return failure;
}


// Makes the listening socket in the slot for the address: reuse-address in default-port
// mode (the port is the control connection's own), keep-alive, bind, listen for one
// connection, non-blocking. The address actually bound is read back into *bound.
int32_t ListenOn(const sockaddr_in& address, bool defaultPort, HWND window, SOCKET* slot,
                 sockaddr_in* bound) {
    *slot = socket(AF_INET, SOCK_STREAM, 0);
    if (*slot == INVALID_SOCKET) return SocketFailure();
    if ((defaultPort && !SetSocketOption(*slot, SO_REUSEADDR)) ||
        !SetSocketOption(*slot, SO_KEEPALIVE)) {
        return FailAndCloseSlot(slot);
    }
    // A bind refused with address-in-use is tried again after a pause, until the time-out.
    // On the default data port the refusal comes from an earlier data connection of the
    // same port that the system holds in TIME-WAIT, which can last a minute; it ends on its
    // own. A port held for good (by a socket without reuse-address) is still refused with
    // address-in-use once the time-out has passed: that, not a silent server, is what the
    // user must hear about.
    const WaitLimit limit;
    while (bind(*slot, reinterpret_cast<const sockaddr*>(&address), sizeof address) ==
           SOCKET_ERROR) {
        if (WSAGetLastError() != WSAEADDRINUSE) return FailAndCloseSlot(slot);
        if (const int32_t over = WaitBeforeBindRetry(window, limit); over < 0) {
            CloseSlot(slot);
            return over == FSE_TIMED_OUT ? FsErrorFromSocket(WSAEADDRINUSE) : over;
        }
    }
    int length = sizeof *bound;
    if (listen(*slot, 1) == SOCKET_ERROR || !MakeNonBlocking(*slot) ||
        getsockname(*slot, reinterpret_cast<sockaddr*>(bound), &length) == SOCKET_ERROR) {
        return FailAndCloseSlot(slot);
    }
    return 0;
}

// The server's address: the control connection's peer. False when the socket cannot tell.
bool ControlPeer(const FtpConnection* connection, sockaddr_in* peer) {
    int length = sizeof *peer;
    return getpeername(connection->controlSocket, reinterpret_cast<sockaddr*>(peer), &length) !=
           SOCKET_ERROR;
}

bool IsDigit(char character) { return character >= '0' && character <= '9'; }

// One field of a passive address: blanks, then a decimal number of 0 to 255 (what follows
// its digits is not looked at). OrrStrToLong holds an overlong number at its limit, so no
// run of digits can overflow here.
bool ParseAddressByte(const char* field, uint8_t* value) {
    const char* digits = OrrSkipBlanks(field);
    if (digits == nullptr || !IsDigit(*digits)) return false;
    int32_t number = OrrStrToLong(digits, 10);
    if (number < 0 || number > 255) return false;
    *value = static_cast<uint8_t>(number);
    return true;
}

}  // namespace

bool CommandLineFits(const char* word, const char* argument) {
    int32_t length = lstrlenA(word) + 2;  // the CR LF
    if (argument != nullptr) {
        if (OrrFindChar(argument, '\r') != nullptr || OrrFindChar(argument, '\n') != nullptr) {
            return false;
        }
        length += 1 + lstrlenA(argument);
    }
    return length < COMMAND_BUFFER_SIZE;
}

int32_t OpenListeningSocket(FtpConnection* connection, SOCKET* listeningSlot) {
    for (;;) {
        CloseSlot(listeningSlot);
        sockaddr_in address{};
        int length = sizeof address;
        if (getsockname(connection->controlSocket, reinterpret_cast<sockaddr*>(&address),
                        &length) == SOCKET_ERROR) {
            return SocketFailure();
        }
        // With PORT the system chooses a free port; without, the data connection comes to
        // the control connection's own local address and port, the default data port.
        const bool sendPort = (connection->stateFlags & STATE_SEND_PORT) != 0;
        if (sendPort) address.sin_port = 0;

        sockaddr_in bound{};
        int32_t result =
            ListenOn(address, !sendPort, connection->ownerWindow, listeningSlot, &bound);
        if (result < 0) return result;
        if (!sendPort) return LISTENING_READY;

        const in_addr& host = bound.sin_addr;
        const u_short port = ntohs(bound.sin_port);
        char line[COMMAND_BUFFER_SIZE];
        wsprintfA(line, "PORT %d,%d,%d,%d,%d,%d\r\n", host.S_un.S_un_b.s_b1,
                  host.S_un.S_un_b.s_b2, host.S_un.S_un_b.s_b3, host.S_un.S_un_b.s_b4,
                  port >> 8, port & 0xff);
        const Reply reply = SendCommand(connection, line);
        if (reply.Is(ReplyClass::Permanent)) {
            // A server that refuses PORT gets none again on this connection: it will
            // connect to the default data port.
            connection->stateFlags &= ~STATE_SEND_PORT;
            continue;
        }
        if (reply.error) {
            CloseSlot(listeningSlot);
            return reply.error;
        }
        // A server that answers PORT oddly may still connect; the caller decides.
        return reply.Is(ReplyClass::Complete) ? LISTENING_READY : LISTENING_PORT_ODDLY;
    }
}

int32_t AcceptDataConnection(FtpConnection* connection, SOCKET* listeningSlot,
                             SOCKET* dataSocket) {
    // Only the server may connect: anyone else who reaches the listening port first would
    // have their bytes taken for the listing or the file. The server is the control
    // connection's peer; a connection from any other address is closed at once and the
    // accept goes on waiting.
    sockaddr_in server{};
    if (!ControlPeer(connection, &server)) return FailAndCloseSlot(listeningSlot);
    SocketWait wait(*listeningSlot, &connection->stream, WaitOn::Accept);
    SOCKET accepted;
    for (;;) {
        sockaddr_in from{};
        int length = sizeof from;
        accepted = accept(*listeningSlot, reinterpret_cast<sockaddr*>(&from), &length);
        if (accepted != INVALID_SOCKET) {
            if (from.sin_addr.s_addr == server.sin_addr.s_addr) break;
            closesocket(accepted);
            continue;
        }
        if (WSAGetLastError() != WSAEWOULDBLOCK) return FailAndCloseSlot(listeningSlot);
        if (const int32_t ended = wait.Slice(false); ended < 0) {
            CloseSlot(listeningSlot);
            return ended;
        }
        YieldTick(connection->ownerWindow);
    }
    SocketGuard data(accepted);
    if (!MakeNonBlocking(data.get())) return FailAndCloseSlot(listeningSlot);
    WatchControlOf(data.get(), &connection->stream);
    connection->stateFlags |= STATE_DATA_TRANSFER;
    *dataSocket = data.Release();
    return 0;
}

int32_t ParsePassiveAddress(const char* replyText, sockaddr_in* address) {
    if (replyText == nullptr) return FSE_FAILED;
    // The numbers follow the code and its separator, after whatever text the server puts
    // in front of them.
    int32_t length = lstrlenA(replyText);
    const char* at = replyText + (length < 4 ? length : 4);
    while (*at != '\0' && !IsDigit(*at)) at = CharNextA(at);
    if (*at == '\0') return FSE_FAILED;

    // The fields are cut out in place, so they are cut from a copy.
    int32_t rest = lstrlenA(at);
    ScratchBlock copy(static_cast<uint32_t>(rest) + 1);
    if (copy.get() == nullptr) return FSE_NO_MEMORY;
    OrrCopyStringN(copy.get(), at, rest);

    // Each of the six fields must be a number that fits a byte: a field that is missing,
    // empty or larger would otherwise give an address or port the server never named.
    uint8_t numbers[kPassiveNumbers];
    char* cursor = copy.get();
    bool complete = true;
    for (int i = 0; complete && i < kPassiveNumbers; ++i) {
        const char* field = OrrNextToken(&cursor, ",.)");
        complete = field != nullptr && ParseAddressByte(field, &numbers[i]);
    }
    if (!complete) return FSE_FAILED;
    // No server listens on port 0: a reply naming it is as unusable as one naming no port.
    if (numbers[4] == 0 && numbers[5] == 0) return FSE_FAILED;

    *address = sockaddr_in{};
    address->sin_family = AF_INET;
    address->sin_port = htons(static_cast<u_short>(numbers[4] * 256 + numbers[5]));
    address->sin_addr.S_un.S_un_b.s_b1 = numbers[0];
    address->sin_addr.S_un.S_un_b.s_b2 = numbers[1];
    address->sin_addr.S_un.S_un_b.s_b3 = numbers[2];
    address->sin_addr.S_un.S_un_b.s_b4 = numbers[3];
    return 0;
}

int32_t RequestPassive(FtpConnection* connection, sockaddr_in* address) {
    const Reply reply = SendCommand(connection, "PASV\r\n");
    // Without a complete reply the reply text is still that of an earlier reply, perhaps
    // an earlier 227: a broken connection is reported as such, not parsed.
    if (reply.error) return reply.error;
    if (reply.code != kEnteringPassiveMode) return FSE_NOT_FOUND;
    return ParsePassiveAddress(connection->replyText, address);
}

int32_t ConnectDataSocket(const sockaddr_in& address, SOCKET* connected) {
    SOCKET made = INVALID_SOCKET;
    int32_t failure = FSE_FAILED;
    for (int attempt = 0; attempt < kSocketAttempts; ++attempt) {
        SocketGuard candidate(socket(AF_INET, SOCK_STREAM, 0));
        if (candidate.get() == INVALID_SOCKET) {
            failure = SocketFailure();
            if (WSAGetLastError() == WSAENOBUFS) continue;
            return failure;
        }
        // Niceties only: a data socket works without them, so their refusal is ignored.
        SetSocketOption(candidate.get(), SO_REUSEADDR);
        SetSocketOption(candidate.get(), SO_KEEPALIVE);
        sockaddr_in any{};
        any.sin_family = AF_INET;
        any.sin_addr.s_addr = htonl(INADDR_ANY);
        any.sin_port = 0;
        if (bind(candidate.get(), reinterpret_cast<const sockaddr*>(&any), sizeof any) !=
            SOCKET_ERROR) {
            made = candidate.Release();
            break;
        }
        failure = SocketFailure();
        if (WSAGetLastError() != WSAEADDRINUSE) return failure;
    }
    if (made == INVALID_SOCKET) return failure;

    SocketGuard data(made);
    if (!MakeNonBlocking(data.get())) return SocketFailure();
    const int32_t result = ConnectWithin(data.get(), address);
    if (result == FSE_TIMED_OUT || result == FSE_CANCELLED) return result;
    if (result < 0) return FSE_FAILED;
    *connected = data.Release();
    return 0;
}

int32_t OpenPassiveConnection(FtpConnection* connection, SOCKET* dataSocket) {
    sockaddr_in address;
    int32_t result = RequestPassive(connection, &address);
    if (result != 0) return result;
    // The data of a listing or a transfer comes from the server the user connected to.
    // Following whatever host a 227 reply names would let a server (or whoever rewrites its
    // replies) point the module at another machine, inside the user's network, and show
    // what that machine sends as the server's files; servers behind address translation
    // also name addresses the module cannot reach. So the connection goes to the control
    // connection's peer, on the port the reply names, unless the user trusts the replies.
    if (ReadSetting(kTrustPassiveAddressKey, 0) == 0) {
        sockaddr_in peer{};
        if (!ControlPeer(connection, &peer)) return SocketFailure();
        address.sin_addr = peer.sin_addr;
    }
    SOCKET connected;
    result = ConnectDataSocket(address, &connected);
    if (result < 0) return result;
    WatchControlOf(connected, &connection->stream);
    *dataSocket = connected;
    connection->stateFlags |= STATE_PASSIVE_CONNECTION_OPEN;
    return 0;
}


void CloseDataConnection(DataConnection* connection) {
    CloseSlot(&connection->data);
    CloseSlot(&connection->listening);
}

int32_t ReceiveData(SOCKET data, char* into, int32_t limit, HWND window) {
    SocketWait wait(data);
    for (;;) {
        const int received = recv(data, into, limit, 0);
        const int error = received == SOCKET_ERROR ? WSAGetLastError() : 0;
        YieldTick(window);
        if (received != SOCKET_ERROR) return received;
        if (error != WSAEWOULDBLOCK) return FsErrorFromSocket(error);
        if (const int32_t ended = wait.Slice(false); ended < 0) return ended;
    }
}

int32_t DiscardData(SOCKET data, HWND window) {
    // What is thrown away is not looked at, so one small piece serves every receive.
    char piece[512];
    for (;;) {
        const int32_t received = ReceiveData(data, piece, sizeof piece, window);
        if (received <= 0) return received;
    }
}
