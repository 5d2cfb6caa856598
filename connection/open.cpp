// The control connection's part of an open: it resolves the server's name, connects the
// control socket (trying each address in turn), creates the FtpConnection, reads the
// greeting, logs on and settles the remote system type.
#include "connection/open.h"

#include <cstring>

#include "connection/close.h"
#include "connection/detection.h"
#include "connection/logon.h"
#include "connection/socket_guard.h"
#include "connection/wait.h"
#include "util/memory_guards.h"
#include "util/orr.h"


namespace {

// Host names are at most 255 characters.
constexpr int kHostNameSize = 256;

// Copies the server's host name into `copy`, the moveable block of its own that the lookup
// reads.
void CopyHostName(HGLOBAL hostName, HGLOBAL copy) {
    LockedBlock<char> target(copy);
    LockedBlock<const char> name(hostName);
    if (target && name) lstrcpynA(target.get(), name.get(), kHostNameSize);
}

// The host name stays the record's, only its case changes.
void LowerHostName(FsStateRecord* record) {
    if (LockedBlock<char> name(record->hostName); name) CharLowerA(name.get());
}

// One address tried: 0 with the connected socket in *connected, or an FsError
// (FSE_CANCELLED when the host cancelled the connect). A failure to make or set up the
// socket ends the open; a failed connect lets the caller try the next address.
int32_t TryAddress(u_long address, uint16_t port, SOCKET* connected, bool* fatal) {
    *fatal = true;
    SocketGuard socketGuard(socket(AF_INET, SOCK_STREAM, 0));
    if (socketGuard.get() == INVALID_SOCKET) return SocketFailure();
    if (!SetSocketOption(socketGuard.get(), SO_KEEPALIVE) ||
        !SetSocketOption(socketGuard.get(), SO_REUSEADDR)) {
        return SocketFailure();
    }
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(port);
    server.sin_addr.s_addr = address;

    // The connect waits in slices, bounded by the time-out; each slice asks the host's
    // idle callback, which may cancel it. A cancel ends the open; an address that refused
    // or timed out lets the next one be tried.
    if (!MakeNonBlocking(socketGuard.get())) return SocketFailure();
    const int32_t noted = ConnectWithin(socketGuard.get(), server);
    if (noted == 0) {
        *connected = socketGuard.Release();
        return 0;
    }
    if (noted == FSE_CANCELLED) return FSE_CANCELLED;
    *fatal = false;
    return noted;
}

}  // namespace

int32_t ConnectToServer(FsStateRecord* record, uint16_t port, SOCKET* connected) {
    GlobalBlock name(GlobalAlloc(GHND, kHostNameSize));
    if (name.get() == nullptr) return FSE_NO_MEMORY;
    CopyHostName(record->hostName, name.get());
    u_long numeric = INADDR_NONE;
    ResolvedHost resolved = OrrResolveHost(name.get(), LocalBlockingHook, &numeric);
    if (resolved.how == HostLookup::Failed) {
        return WSAGetLastError() == WSAEINTR ? FSE_CANCELLED : FSE_HOST_NOT_FOUND;
    }
    LowerHostName(record);

    // A name whose entry lists no address at all resolves to nothing that could be tried.
    int32_t noted = FSE_HOST_NOT_FOUND;
    bool fatal = false;
    if (resolved.how == HostLookup::Numeric) return TryAddress(numeric, port, connected, &fatal);
    for (char** entry = resolved.entry->h_addr_list; entry != nullptr && *entry != nullptr;
         ++entry) {
        u_long address;
        std::memcpy(&address, *entry, sizeof address);
        noted = TryAddress(address, port, connected, &fatal);
        if (noted == 0 || fatal) return noted;
    }
    return noted;
}


int32_t AttachConnection(FsStateRecord* record, SOCKET control,
                         const OpenParameters* parameters) {
    SocketGuard socketGuard(control);
    if (!MakeNonBlocking(control)) return SocketFailure();

    auto* connection = static_cast<FtpConnection*>(OrrAlloc(sizeof(FtpConnection)));
    if (connection == nullptr) return FSE_NO_MEMORY;
    record->fsKind = FS_KIND_FTP;
    record->connection = connection;
    // From here on the connection owns the socket: whatever fails, the host releases both
    // with FTP_FS_Close. The stream is set up at once, so that such a close finds a socket
    // to log off on and close, even when the open ends before the greeting.
    connection->controlSocket = socketGuard.Release();
    ControlStreamInit(&connection->stream, control);

    connection->replyText = static_cast<char*>(OrrAlloc(REPLY_BLOCK_SIZE));
    if (connection->replyText == nullptr) return FSE_NO_MEMORY;
    connection->replyBufferSize = REPLY_BLOCK_SIZE;
    connection->ownerWindow = parameters->ownerWindow;
    if (parameters->openFlags & OPEN_SEND_PORT) connection->stateFlags |= STATE_SEND_PORT;
    connection->textFormat = TEXT_FORMAT_INITIAL;
    connection->sameTypeForRemaining = 0;
    return 0;
}

int32_t GreetAndLogOn(FsStateRecord* record, LogonTexts& texts, const OpenParameters* parameters,
                      char* greetingText) {
    FtpConnection* connection = record->connection;
    const Reply greeting = ReadReply(connection, greetingText);
    // A greeting that never came (or never ended) is told as such, not as an odd reply.
    if (greeting.error == FSE_TIMED_OUT || greeting.error == FSE_CANCELLED) return greeting.error;
    if (!greeting.Is(ReplyClass::Complete)) return FSE_UNEXPECTED_REPLY;
    // Without memory for the copy the connection simply has no greeting.
    connection->greeting = static_cast<char*>(OrrAlloc(connection->replyBufferSize));
    if (connection->greeting != nullptr && connection->replyText != nullptr) {
        lstrcpynA(connection->greeting, connection->replyText, connection->replyBufferSize);
    }
    CheckGreeting(connection, greetingText);

    int32_t result = Logon(texts.user, texts.password, texts.account, connection,
                           parameters->accountHostType);
    if (result < 0) return result;

    // The remote system: detected when the host asks for it, and refined for Windows NT
    // servers. Only a cancelled question ends the open here, and then the connection goes
    // too: the host gets no connection it did not choose.
    if (record->hostType == HOST_AUTOMATIC) {
        int32_t detected = DetectHostType(connection);
        if (detected < 0) {
            CloseConnection(record);
            return FSE_CANCELLED;
        }
        record->hostType = static_cast<uint8_t>(detected);
    }
    if (record->hostType == HOST_WINDOWS_NT_UNIX) {
        record->hostType = static_cast<uint8_t>(CheckDirectoryStyle(connection));
    }
    const uint8_t hostType = record->hostType;
    connection->lineEndConvention =
        (hostType == HOST_UNIX || hostType == HOST_BRANNOCK) ? LINE_END_UNIX : LINE_END_CRLF;
    return 0;
}
