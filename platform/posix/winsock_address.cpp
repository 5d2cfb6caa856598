// Internet addresses in Winsock's terms: byte order, dotted-text addresses (inet_addr,
// inet_ntoa) and the translation between Winsock's sockaddr_in and the system's address,
// field by field, since the two layouts are not the same on every system.
#include <bit>
#include <cstdio>
#include <cstring>

#include "platform/posix/winsock_internal.h"

namespace {

constexpr bool kLittleEndian = std::endian::native == std::endian::little;

constexpr uint16_t Swap16(uint16_t value) {
    return static_cast<uint16_t>((value >> 8) | (value << 8));
}

constexpr uint32_t Swap32(uint32_t value) {
    return (value >> 24) | ((value >> 8) & 0x0000ff00u) | ((value << 8) & 0x00ff0000u) |
           (value << 24);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// One part of a dotted address: decimal, octal with a leading 0, or hexadecimal with 0x.
// Returns false for an empty part, a digit outside its base, or a value above 32 bits.
bool ParsePart(const char*& cursor, uint32_t* value) {
    const char* p = cursor;
    if (!IsDigit(*p)) return false;
    int base = 10;
    bool anyDigit = false;
    if (*p == '0') {
        if (p[1] == 'x' || p[1] == 'X') {
            base = 16;
            p += 2;
        } else {
            base = 8;
            ++p;
            anyDigit = true;  // "0" on its own
        }
    }
    uint64_t total = 0;
    for (;; ++p) {
        int digit;
        if (base == 16) {
            digit = HexValue(*p);
            if (digit < 0) break;
        } else {
            if (!IsDigit(*p)) break;
            digit = *p - '0';
            if (digit >= base) return false;
        }
        total = total * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
        if (total > 0xffffffffu) return false;
        anyDigit = true;
    }
    if (!anyDigit) return false;
    *value = static_cast<uint32_t>(total);
    cursor = p;
    return true;
}

// "a.b.c.d", "a.b.c" (c fills 16 bits), "a.b" (b fills 24 bits) or "a" (32 bits), host order.
bool ParseDottedAddress(const char* text, uint32_t* address) {
    uint32_t parts[4];
    int count = 0;
    const char* p = text;
    for (;;) {
        if (count == 4 || !ParsePart(p, &parts[count])) return false;
        ++count;
        if (*p != '.') break;
        ++p;
    }
    // What follows the address after a blank is ignored, as the classic parsers do.
    if (*p != '\0' && !IsBlank(*p)) return false;
    switch (count) {
        case 1: *address = parts[0]; return true;
        case 2:
            if (parts[0] > 0xff || parts[1] > 0xffffff) return false;
            *address = (parts[0] << 24) | parts[1];
            return true;
        case 3:
            if (parts[0] > 0xff || parts[1] > 0xff || parts[2] > 0xffff) return false;
            *address = (parts[0] << 24) | (parts[1] << 16) | parts[2];
            return true;
        default:
            for (uint32_t part : parts) {
                if (part > 0xff) return false;
            }
            *address = (parts[0] << 24) | (parts[1] << 16) | (parts[2] << 8) | parts[3];
            return true;
    }
}

}  // namespace

u_short WSAAPI htons(u_short value) { return kLittleEndian ? Swap16(value) : value; }
u_short WSAAPI ntohs(u_short value) { return kLittleEndian ? Swap16(value) : value; }
u_long WSAAPI htonl(u_long value) { return kLittleEndian ? Swap32(value) : value; }
u_long WSAAPI ntohl(u_long value) { return kLittleEndian ? Swap32(value) : value; }

u_long WSAAPI inet_addr(const char* text) {
    uint32_t address;
    if (text == nullptr || !ParseDottedAddress(text, &address)) return INADDR_NONE;
    return htonl(address);
}

char* WSAAPI inet_ntoa(struct in_addr address) {
    // One buffer per thread, valid until the thread's next call, as Winsock has it.
    thread_local char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", address.S_un.S_un_b.s_b1,
                  address.S_un.S_un_b.s_b2, address.S_un.S_un_b.s_b3, address.S_un.S_un_b.s_b4);
    return text;
}

namespace winsock {

bool EndpointFromAddress(const struct sockaddr* address, int length, sysnet::Endpoint* out) {
    if (address == nullptr || length < static_cast<int>(sizeof(sockaddr_in))) {
        Fail(WSAEFAULT);
        return false;
    }
    sockaddr_in internet;
    std::memcpy(&internet, address, sizeof internet);
    if (internet.sin_family != AF_INET) {
        Fail(WSAEAFNOSUPPORT);
        return false;
    }
    out->address = internet.sin_addr.s_addr;
    out->port = internet.sin_port;
    return true;
}

bool AddressBufferFits(const struct sockaddr* address, const int* length) {
    if (address == nullptr) return true;  // the caller does not want the address
    if (length == nullptr || *length < static_cast<int>(sizeof(sockaddr_in))) {
        Fail(WSAEFAULT);
        return false;
    }
    return true;
}

void AddressFromEndpoint(const sysnet::Endpoint& endpoint, struct sockaddr* address, int* length) {
    if (address == nullptr) return;
    sockaddr_in internet{};
    internet.sin_family = AF_INET;
    internet.sin_port = endpoint.port;
    internet.sin_addr.s_addr = endpoint.address;
    std::memcpy(address, &internet, sizeof internet);
    *length = static_cast<int>(sizeof internet);
}

}  // namespace winsock
