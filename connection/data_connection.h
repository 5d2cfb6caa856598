// Data connections: every transfer of file data or of a listing runs on a TCP connection
// of its own. Either the module listens (announced with PORT, or on the default data port
// of the control connection) and accepts the server's connection, or it asks the server to
// listen with PASV and connects.
//
// Every socket these operations hand out is non-blocking. Results are 0 or more on success
// and an FsError otherwise; a failed socket call is reported as FsErrorFromSocket.
#pragma once

#include <cstdint>

#include "connection/ftp_connection.h"

// How a data connection comes about.
enum class DataRole : uint8_t {
    Listening,  // the PORT step: the module listens and accepts the server's connection
    Passive,    // PASV: the module connects to the server; nothing listens
};

// The sockets of one data connection. In the Listening role `listening` is where the
// server's connection is accepted, kept open until the transfer ends; in the Passive role it
// stays INVALID_SOCKET. `data` is the connection itself once it is open.
struct DataConnection {
    DataRole role = DataRole::Listening;
    SOCKET listening = INVALID_SOCKET;
    SOCKET data = INVALID_SOCKET;
};

// Closes the data connection's sockets that are open and marks them INVALID_SOCKET.
void CloseDataConnection(DataConnection* connection);

// Results of OpenListeningSocket besides the FsErrors.
enum : int32_t {
    LISTENING_READY = 0,       // PORT accepted, or no PORT needed (default data port)
    LISTENING_PORT_ODDLY = 1,  // PORT answered, but not with class 2 or 5; the socket listens
};

// Opens a socket on which the server's data connection will be accepted and puts it in
// *listeningSlot (a socket held there before is closed first). With the connection's
// STATE_SEND_PORT flag set it listens on a fresh port of the control connection's local
// address and announces it with PORT; a PORT refused with class 5 clears the flag for good
// and the socket listens on the control connection's own local port instead, with no
// command sent. LISTENING_READY, LISTENING_PORT_ODDLY, the reply's error when no reply to
// PORT came (FSE_CONNECTION_BROKEN when the control connection broke), or a socket failure;
// on failure *listeningSlot is INVALID_SOCKET.
int32_t OpenListeningSocket(FtpConnection* connection, SOCKET* listeningSlot);

// Waits for the server to connect to *listeningSlot and puts the non-blocking data socket
// in *dataSocket, setting STATE_DATA_TRANSFER. The listening socket stays open for the
// caller to close at the end of the transfer. While nothing has arrived the owner window's
// messages keep flowing (YieldTick). A connection from any address but the control
// connection's peer is closed and the wait goes on. 0; or a socket failure, or the end of
// the wait (SocketWait::Slice: time-out, cancel, the control connection's end or class-4
// reply), after which the listening socket is closed and *listeningSlot is INVALID_SOCKET.
// The data socket is named for WatchControlOf.
int32_t AcceptDataConnection(FtpConnection* connection, SOCKET* listeningSlot,
                             SOCKET* dataSocket);

// Sends PASV and reads the server's address from its 227 reply, as the reply names it. 0 with *address filled;
// FSE_NOT_FOUND when the reply code is not 227; FSE_FAILED when the reply does not hold six
// numbers of 0 to 255; FSE_CONNECTION_BROKEN when the control connection broke;
// FSE_STREAM_CLOSED on a closed stream; FSE_NO_MEMORY when memory is short.
int32_t RequestPassive(FtpConnection* connection, sockaddr_in* address);

// The server's address from the whole text of a 227 reply: the first decimal digit after
// the code and its separator starts six numbers parted by ",", "." or ")", four address
// bytes and the port's high and low byte. 0 with *address filled; FSE_FAILED when a number
// is missing, empty, signed or above 255, the port is 0, or the text holds no digit;
// FSE_NO_MEMORY when memory is short.
int32_t ParsePassiveAddress(const char* replyText, sockaddr_in* address);

// Connects a fresh non-blocking socket to the address and puts it in *connected. While the
// connect is pending one message of the focus window is dispatched per wait. 0;
// FSE_FAILED when the connect failed; FSE_TIMED_OUT; FSE_CANCELLED; or a socket failure of
// making the socket.
int32_t ConnectDataSocket(const sockaddr_in& address, SOCKET* connected);

// RequestPassive, then ConnectDataSocket to the port given at the control connection's
// peer address (at the reply's own address with PasvTrustAddress=1 in the settings): 0
// with the data socket in *dataSocket (named for WatchControlOf) and
// STATE_PASSIVE_CONNECTION_OPEN set, or the first failure.
int32_t OpenPassiveConnection(FtpConnection* connection, SOCKET* dataSocket);

// Whether "word argument\r\n" (or "word\r\n" for a null argument) fits the 320-byte
// command buffer with its NUL, and the argument holds no CR or LF: a line end inside it
// would make the server read a second command that the caller never meant.
bool CommandLineFits(const char* word, const char* argument);

// One receive of at most `limit` bytes from a data connection into `into`: the count
// received, 0 when the server ended the connection, the socket failure as an FsError, or
// the end of the wait (SocketWait::Slice) while nothing arrived. While nothing has arrived
// it waits for the socket (never spinning), and after every
// receive it runs YieldTick for `window`, so the host's windows keep working throughout a
// transfer.
int32_t ReceiveData(SOCKET data, char* into, int32_t limit, HWND window);

// Receives and throws away what the server still sends on a data connection, until it ends
// the connection: 0, or the socket failure that ended it first.
int32_t DiscardData(SOCKET data, HWND window);
