// xfsopen: turns a state record that the host prepared into a working connection. It
// resolves the server's name, connects the control socket (trying each address in turn),
// creates the FtpConnection, reads the greeting, logs on, settles the remote system type
// and applies the initial transfer options.
#include <cstring>

#include "codeset/binding.h"
#include "codeset/code_set_state.h"
#include "connection/close.h"
#include "connection/detection.h"
#include "connection/logon.h"
#include "connection/socket_guard.h"
#include "driver/ftp_connection.h"
#include "driver/module_state.h"
#include "transfer/representation.h"
#include "ui/protocol_window.h"
#include "util/orr.h"

namespace {

// Host names are at most 255 characters.
constexpr int kHostNameSize = 256;
// A socket option value: 4 bytes, as Winsock takes them.
constexpr int kOptionOn = 1;

int32_t SocketFailure() { return FsErrorFromSocket(WSAGetLastError()); }

// The copy of the server's host name that the lookup reads, in a moveable block of its own.
class HostNameBlock {
public:
    explicit HostNameBlock(HGLOBAL hostName) : handle_(GlobalAlloc(GHND, kHostNameSize)) {
        if (handle_ == nullptr) return;
        auto* copy = static_cast<char*>(GlobalLock(handle_));
        auto* name = hostName != nullptr ? static_cast<const char*>(GlobalLock(hostName)) : nullptr;
        if (name != nullptr) {
            lstrcpynA(copy, name, kHostNameSize);
            GlobalUnlock(hostName);
        }
        GlobalUnlock(handle_);
    }
    ~HostNameBlock() {
        if (handle_ != nullptr) GlobalFree(handle_);
    }
    HostNameBlock(const HostNameBlock&) = delete;
    HostNameBlock& operator=(const HostNameBlock&) = delete;
    HGLOBAL handle() const { return handle_; }

private:
    HGLOBAL handle_;
};

// The host name stays the record's, only its case changes.
void LowerHostName(FsStateRecord* record) {
    if (record->hostName == nullptr) return;
    auto* name = static_cast<char*>(GlobalLock(record->hostName));
    if (name == nullptr) return;
    CharLowerA(name);
    GlobalUnlock(record->hostName);
}

// One address tried: 0 with the connected socket in *connected, or an FsError (-86 when
// the host cancelled the connect). A failure to make or set up the socket ends the open;
// a failed connect lets the caller try the next address.
int32_t TryAddress(u_long address, uint16_t port, SOCKET* connected, bool* fatal) {
    *fatal = true;
    SocketGuard socketGuard(socket(AF_INET, SOCK_STREAM, 0));
    if (socketGuard.get() == INVALID_SOCKET) return SocketFailure();
    const int on = kOptionOn;
    if (setsockopt(socketGuard.get(), SOL_SOCKET, SO_KEEPALIVE, reinterpret_cast<const char*>(&on),
                   sizeof on) == SOCKET_ERROR ||
        setsockopt(socketGuard.get(), SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on),
                   sizeof on) == SOCKET_ERROR) {
        return SocketFailure();
    }
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(port);
    server.sin_addr.s_addr = address;

    // The connect blocks; meanwhile the hook runs the host's idle callback, which may
    // cancel it.
    WSASetBlockingHook(LocalBlockingHook);
    int connectResult =
        connect(socketGuard.get(), reinterpret_cast<const sockaddr*>(&server), sizeof server);
    int32_t noted = connectResult == SOCKET_ERROR ? SocketFailure() : 0;
    WSAUnhookBlockingHook();
    if (connectResult != SOCKET_ERROR) {
        *connected = socketGuard.Release();
        return 0;
    }
    if (noted == FsErrorFromSocket(WSAEINTR)) return FSE_CANCELLED;
    *fatal = false;
    return noted;
}

// Resolves the record's host name and connects to its addresses in order, until one
// accepts: 0 with the socket, or the FsError of the open.
int32_t ConnectToServer(FsStateRecord* record, uint16_t port, SOCKET* connected) {
    HostNameBlock name(record->hostName);
    if (name.handle() == nullptr) return FSE_NO_MEMORY;
    u_long numeric = INADDR_NONE;
    ResolvedHost resolved = OrrResolveHost(name.handle(), LocalBlockingHook, &numeric);
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

// The user name, password and account of the logon: the host's buffers, or for a text the
// host left out an empty one of the open's own. Each text has a buffer of its own, so that
// an answer to one prompt never changes another text.
struct LogonTexts {
    char own[3][LOGON_TEXT_SIZE] = {};
    char* user;
    char* password;
    char* account;
    LogonTexts(char* hostUser, char* hostPassword, char* hostAccount)
        : user(hostUser != nullptr ? hostUser : own[0]),
          password(hostPassword != nullptr ? hostPassword : own[1]),
          account(hostAccount != nullptr ? hostAccount : own[2]) {}
};

// The transfer options the host asked for, applied once the server is logged on.
int32_t ApplyInitialOptions(FsStateRecord* record, FtpConnection* connection,
                            uint32_t openFlags) {
    const uint8_t hostType = record->hostType;
    // These systems get ASCII with file structure unless the user fixed something else:
    // VM and MVS always, other systems when the user left the choice to the module.
    if (hostType == HOST_VM || hostType == HOST_MVS ||
        (hostType == HOST_OTHER && !(openFlags & OPEN_REPRESENTATION_FIXED))) {
        openFlags |= OPEN_REPRESENTATION_FIXED | OPEN_TYPE_ASCII | OPEN_STRUCTURE_FILE;
    }
    if (openFlags & OPEN_SEND_PORT) {
        connection->stateFlags |= STATE_SEND_PORT;
    } else {
        connection->stateFlags &= ~STATE_SEND_PORT;
    }
    if ((openFlags & OPEN_PARSE_DIRECTORIES) && hostType != HOST_OTHER) {
        connection->optionFlags |= OPTION_PARSE_DIRECTORIES;
    } else {
        connection->optionFlags &= ~OPTION_PARSE_DIRECTORIES;
    }
    connection->currentFormat = 1;
    connection->currentMode = 1;
    connection->localByteSize = (openFlags & OPEN_LOCAL_BYTE_SIZE) ? 1 : 0;

    TransferRepresentation wanted{};
    wanted.recordKind = REPRESENTATION_RECORD_KIND;
    if (openFlags & OPEN_REPRESENTATION_FIXED) {
        connection->optionFlags |= OPTION_REPRESENTATION_FIXED;
        wanted.type = (openFlags & OPEN_TYPE_ASCII) ? REPRESENTATION_TYPE_ASCII
                                                    : REPRESENTATION_TYPE_IMAGE;
        wanted.structure = (openFlags & OPEN_STRUCTURE_FILE) ? REPRESENTATION_STRUCTURE_FILE
                                                             : REPRESENTATION_STRUCTURE_RECORD;
    } else {
        connection->optionFlags &= ~OPTION_REPRESENTATION_FIXED;
        wanted.type = REPRESENTATION_TYPE_ASCII;
        wanted.structure = REPRESENTATION_STRUCTURE_FILE;
    }
    // Type and structure are still unknown here, so both commands go out.
    return ApplyRepresentation(wanted, record);
}

// Everything of the open from the connected socket on: the connection record, the
// greeting, the logon, the remote system and the initial options.
int32_t OpenOnSocket(FsStateRecord* record, SOCKET control, LogonTexts& texts,
                     const OpenParameters* parameters) {
    SocketGuard socketGuard(control);
    u_long nonBlocking = 1;
    if (ioctlsocket(control, FIONBIO, &nonBlocking) == SOCKET_ERROR) return SocketFailure();

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

    // Opened before the greeting is read, so that the greeting is in the log.
    if (parameters->openFlags & OPEN_SHOW_PROTOCOL) OpenProtocolWindow(record);

    char greetingText[REPLY_TEXT_BUFFER_SIZE];
    if (ReadReply(connection, greetingText) != REPLY_COMPLETE) return FSE_UNEXPECTED_REPLY;
    // Without memory for the copy the connection simply has no greeting.
    connection->greeting = static_cast<char*>(OrrAlloc(connection->replyBufferSize));
    if (connection->greeting != nullptr && connection->replyText != nullptr) {
        lstrcpynA(connection->greeting, connection->replyText, connection->replyBufferSize);
    }
    CheckGreeting(connection, greetingText);

    int32_t result = Logon(texts.user, texts.password, texts.account, connection,
                           parameters->accountHostType);
    if (result < 0) return result;

    // The remote system: detected when the host asks for it, refined for Windows NT
    // servers, and the quirks of VMS servers. Only a cancelled question ends the open here,
    // and then the connection goes too: the host gets no connection it did not choose.
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
    if (hostType == HOST_VMS) DetectVmsQuirks(record, connection, greetingText);

    return ApplyInitialOptions(record, connection, parameters->openFlags);
}

}  // namespace

extern "C" TVFTP_EXPORT LONG WINAPI xfsopen(HGLOBAL stateRecord, DWORD, LPSTR user,
                                            LPSTR password, LPSTR account,
                                            const OpenParameters* parameters) {
    if (!OrrNetworkReady()) return FSE_NETWORK_DOWN;
    LockedStateRecord record(stateRecord);
    if (!record) return FSE_INVALID;

    if (parameters->codeSet != 0) SetRemoteCodeSet(parameters->codeSet);
    gModule.protocolFont = GetStockObject(
        gCodeSet.codeSetTable->needsSystemFixedFont != 0 ? SYSTEM_FIXED_FONT : ANSI_FIXED_FONT);
    gModule.idleCallback = parameters->idleCallback;

    SOCKET control = INVALID_SOCKET;
    int32_t result = ConnectToServer(record.get(), parameters->port, &control);
    if (result < 0) return result;

    LogonTexts texts(user, password, account);
    return OpenOnSocket(record.get(), control, texts, parameters);
}
