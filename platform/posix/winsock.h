// Windows Sockets 1.1 for POSIX systems, over BSD sockets: the calls the module makes on
// its control and data connections, with Winsock's error codes (WSAGetLastError), its
// fd_set of socket handles, blocking calls that run the blocking hook while they wait and
// that WSACancelBlockingCall ends with WSAEINTR, and sends that never raise SIGPIPE.
//
// A translation unit that includes this header must not include the system socket
// headers (<sys/socket.h>, <netinet/in.h>, <netdb.h>): the Winsock names would clash with
// theirs. The platform's own sources reach the system through posix/sys_net.h.
#pragma once

#include "win32.h"

// The C++ standard headers already bring in the system's fd_set, FD_* and select();
// include them first so that the Winsock definitions below replace theirs for the rest
// of the translation unit.
#include <sys/select.h>
#include <sys/time.h>

typedef unsigned char u_char;
typedef unsigned short u_short;
typedef unsigned int u_int;
// Winsock's u_long is 32 bits (in_addr holds one); the system's <sys/types.h> already
// declared a u_long of its own, as wide as a pointer. Renamed like fd_set below.
#define u_long WsULong
typedef uint32_t WsULong;
typedef UINT_PTR SOCKET;

#define INVALID_SOCKET ((SOCKET)(~0))
#define SOCKET_ERROR (-1)

// ---------------------------------------------------------------------------------------
// fd_set of socket handles, as Winsock has it: a count and an array.
// ---------------------------------------------------------------------------------------
#undef FD_SETSIZE
#undef FD_SET
#undef FD_CLR
#undef FD_ZERO
#undef FD_ISSET
#define FD_SETSIZE 64

struct WsFdSet {
    u_int fd_count;
    SOCKET fd_array[FD_SETSIZE];
};
#define fd_set WsFdSet
#define select WsSelect

int WSAAPI __WSAFDIsSet(SOCKET s, fd_set* set);
void WsFdSetAdd(SOCKET s, fd_set* set);
void WsFdSetRemove(SOCKET s, fd_set* set);
#define FD_ZERO(set) (((fd_set*)(set))->fd_count = 0)
#define FD_SET(s, set) WsFdSetAdd((SOCKET)(s), (fd_set*)(set))
#define FD_CLR(s, set) WsFdSetRemove((SOCKET)(s), (fd_set*)(set))
#define FD_ISSET(s, set) __WSAFDIsSet((SOCKET)(s), (fd_set*)(set))

// The first argument is ignored, as on Windows. A null time-out waits without limit.
int WSAAPI WsSelect(int ignored, fd_set* readSet, fd_set* writeSet, fd_set* exceptSet,
                    const struct timeval* timeout);

// ---------------------------------------------------------------------------------------
// Addresses
// ---------------------------------------------------------------------------------------
struct in_addr {
    union {
        struct {
            u_char s_b1, s_b2, s_b3, s_b4;
        } S_un_b;
        struct {
            u_short s_w1, s_w2;
        } S_un_w;
        u_long S_addr;
    } S_un;
};
#define s_addr S_un.S_addr

struct sockaddr {
    u_short sa_family;
    char sa_data[14];
};

struct sockaddr_in {
    short sin_family;
    u_short sin_port;
    struct in_addr sin_addr;
    char sin_zero[8];
};

struct hostent {
    char* h_name;
    char** h_aliases;
    short h_addrtype;
    short h_length;
    char** h_addr_list;
};
#define h_addr h_addr_list[0]

struct linger {
    u_short l_onoff;
    u_short l_linger;
};

typedef struct sockaddr SOCKADDR;
typedef struct sockaddr* LPSOCKADDR;
typedef struct sockaddr_in SOCKADDR_IN;
typedef struct sockaddr_in* LPSOCKADDR_IN;
typedef struct hostent HOSTENT;
typedef struct hostent* LPHOSTENT;
typedef struct in_addr IN_ADDR;

#define WSADESCRIPTION_LEN 256
#define WSASYS_STATUS_LEN 128
typedef struct WSAData {
    WORD wVersion;
    WORD wHighVersion;
    char szDescription[WSADESCRIPTION_LEN + 1];
    char szSystemStatus[WSASYS_STATUS_LEN + 1];
    unsigned short iMaxSockets;
    unsigned short iMaxUdpDg;
    char* lpVendorInfo;
} WSADATA, *LPWSADATA;

// ---------------------------------------------------------------------------------------
// Constants (Winsock's values)
// ---------------------------------------------------------------------------------------
#define AF_UNSPEC 0
#define AF_INET 2
#define PF_INET AF_INET
#define SOCK_STREAM 1
#define SOCK_DGRAM 2
#define IPPROTO_IP 0
#define IPPROTO_TCP 6
#define IPPROTO_UDP 17
#define INADDR_ANY ((u_long)0x00000000)
#define INADDR_LOOPBACK ((u_long)0x7f000001)
#define INADDR_NONE ((u_long)0xffffffff)
#define INADDR_BROADCAST ((u_long)0xffffffff)
#define SOMAXCONN 5

#define SOL_SOCKET 0xffff
#define SO_DEBUG 0x0001
#define SO_ACCEPTCONN 0x0002
#define SO_REUSEADDR 0x0004
#define SO_KEEPALIVE 0x0008
#define SO_DONTROUTE 0x0010
#define SO_BROADCAST 0x0020
#define SO_LINGER 0x0080
#define SO_DONTLINGER ((int)(~SO_LINGER))
#define SO_OOBINLINE 0x0100
#define SO_SNDBUF 0x1001
#define SO_RCVBUF 0x1002
#define SO_ERROR 0x1007
#define SO_TYPE 0x1008
#define TCP_NODELAY 0x0001

#define MSG_OOB 0x1
#define MSG_PEEK 0x2
#define MSG_DONTROUTE 0x4

#define SD_RECEIVE 0
#define SD_SEND 1
#define SD_BOTH 2

#define FIONREAD ((long)0x4004667F)
#define FIONBIO ((long)0x8004667E)
#define SIOCATMARK ((long)0x40047307)

#define WSABASEERR 10000
#define WSAEINTR 10004
#define WSAEBADF 10009
#define WSAEACCES 10013
#define WSAEFAULT 10014
#define WSAEINVAL 10022
#define WSAEMFILE 10024
#define WSAEWOULDBLOCK 10035
#define WSAEINPROGRESS 10036
#define WSAEALREADY 10037
#define WSAENOTSOCK 10038
#define WSAEDESTADDRREQ 10039
#define WSAEMSGSIZE 10040
#define WSAEPROTOTYPE 10041
#define WSAENOPROTOOPT 10042
#define WSAEPROTONOSUPPORT 10043
#define WSAESOCKTNOSUPPORT 10044
#define WSAEOPNOTSUPP 10045
#define WSAEPFNOSUPPORT 10046
#define WSAEAFNOSUPPORT 10047
#define WSAEADDRINUSE 10048
#define WSAEADDRNOTAVAIL 10049
#define WSAENETDOWN 10050
#define WSAENETUNREACH 10051
#define WSAENETRESET 10052
#define WSAECONNABORTED 10053
#define WSAECONNRESET 10054
#define WSAENOBUFS 10055
#define WSAEISCONN 10056
#define WSAENOTCONN 10057
#define WSAESHUTDOWN 10058
#define WSAETIMEDOUT 10060
#define WSAECONNREFUSED 10061
#define WSAELOOP 10062
#define WSAENAMETOOLONG 10063
#define WSAEHOSTDOWN 10064
#define WSAEHOSTUNREACH 10065
#define WSASYSNOTREADY 10091
#define WSAVERNOTSUPPORTED 10092
#define WSANOTINITIALISED 10093
#define WSAHOST_NOT_FOUND 11001
#define WSATRY_AGAIN 11002
#define WSANO_RECOVERY 11003
#define WSANO_DATA 11004

// ---------------------------------------------------------------------------------------
// Calls
// ---------------------------------------------------------------------------------------
int WSAAPI WSAStartup(WORD version, LPWSADATA data);
int WSAAPI WSACleanup();
int WSAAPI WSAGetLastError();
void WSAAPI WSASetLastError(int error);

// The blocking hook runs while a blocking connect() or gethostbyname() waits; a call to
// WSACancelBlockingCall from the hook ends that call with WSAEINTR.
FARPROC WSAAPI WSASetBlockingHook(FARPROC hook);
int WSAAPI WSAUnhookBlockingHook();
int WSAAPI WSACancelBlockingCall();
BOOL WSAAPI WSAIsBlocking();

SOCKET WSAAPI socket(int family, int type, int protocol);
int WSAAPI closesocket(SOCKET s);
int WSAAPI shutdown(SOCKET s, int how);
int WSAAPI connect(SOCKET s, const struct sockaddr* address, int length);
int WSAAPI bind(SOCKET s, const struct sockaddr* address, int length);
int WSAAPI listen(SOCKET s, int backlog);
SOCKET WSAAPI accept(SOCKET s, struct sockaddr* address, int* length);
int WSAAPI getsockname(SOCKET s, struct sockaddr* address, int* length);
int WSAAPI getpeername(SOCKET s, struct sockaddr* address, int* length);
int WSAAPI send(SOCKET s, const char* buffer, int length, int flags);
int WSAAPI recv(SOCKET s, char* buffer, int length, int flags);
int WSAAPI ioctlsocket(SOCKET s, long command, u_long* argument);
int WSAAPI setsockopt(SOCKET s, int level, int option, const char* value, int length);
int WSAAPI getsockopt(SOCKET s, int level, int option, char* value, int* length);

u_short WSAAPI htons(u_short value);
u_short WSAAPI ntohs(u_short value);
u_long WSAAPI htonl(u_long value);
u_long WSAAPI ntohl(u_long value);
u_long WSAAPI inet_addr(const char* text);
char* WSAAPI inet_ntoa(struct in_addr address);
struct hostent* WSAAPI gethostbyname(const char* name);
int WSAAPI gethostname(char* name, int length);
