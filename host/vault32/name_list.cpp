// Name lists of the host's file-system layer: making and freeing them, and handing their
// names to drivers one at a time.
#include <cstring>

#include "host/vault32/vault32.h"

namespace {

uint16_t ReadWord(const unsigned char* at) { return uint16_t(at[0] | at[1] << 8); }

void WriteWord(unsigned char* at, uint16_t value) {
    at[0] = static_cast<unsigned char>(value);
    at[1] = static_cast<unsigned char>(value >> 8);
}

uint32_t ReadLong(const unsigned char* at) {
    return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 |
           uint32_t(at[3]) << 24;
}

void WriteLong(unsigned char* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<unsigned char>(value >> (8 * i));
}

constexpr uint32_t kCountAt = 0;
constexpr uint32_t kHandedOutAt = 2;

}  // namespace

extern "C" {

VAULT_API HGLOBAL WINAPI CreateNameList(const LPCSTR* names, UINT count) {
    if (count > NAME_LIST_MAX_NAMES || (count > 0 && names == nullptr)) return nullptr;
    uint64_t size = NAME_LIST_OFFSETS + uint64_t(4) * count;
    for (UINT i = 0; i < count; ++i) {
        size += (names[i] != nullptr ? std::strlen(names[i]) : 0) + 1;
    }
    if (size > 0xFFFFFFFFu) return nullptr;

    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, static_cast<SIZE_T>(size));
    if (block == nullptr) return nullptr;
    auto* base = static_cast<unsigned char*>(GlobalLock(block));
    if (base == nullptr) {
        GlobalFree(block);
        return nullptr;
    }
    WriteWord(base + kCountAt, static_cast<uint16_t>(count));
    uint32_t text = NAME_LIST_OFFSETS + 4 * count;
    for (UINT i = 0; i < count; ++i) {
        WriteLong(base + NAME_LIST_OFFSETS + 4 * i, text);
        const size_t length = names[i] != nullptr ? std::strlen(names[i]) : 0;
        if (length > 0) std::memcpy(base + text, names[i], length);
        text += static_cast<uint32_t>(length) + 1;  // the NUL is already there
    }
    GlobalUnlock(block);
    return block;
}

VAULT_API BOOL WINAPI FreeNameList(HGLOBAL nameList) {
    auto* base = static_cast<unsigned char*>(GlobalLock(nameList));
    if (base == nullptr) return FALSE;
    const bool handedOut = ReadWord(base + kHandedOutAt) != 0;
    GlobalUnlock(nameList);
    if (handedOut) return FALSE;
    return GlobalFree(nameList) == nullptr ? TRUE : FALSE;
}

VAULT_API LPSTR WINAPI LockNameListName(LPVOID lockedList, UINT index) {
    auto* base = static_cast<unsigned char*>(lockedList);
    if (base == nullptr) return nullptr;
    // The block is the caller's: every offset is checked against its real size, so that a
    // damaged list gives no name rather than a text outside it.
    const SIZE_T size = GlobalSize(GlobalHandle(lockedList));
    if (size < NAME_LIST_OFFSETS) return nullptr;
    const uint16_t count = ReadWord(base + kCountAt);
    if (index >= count || NAME_LIST_OFFSETS + 4 * uint64_t(index) + 4 > size) return nullptr;
    const uint32_t text = ReadLong(base + NAME_LIST_OFFSETS + 4 * index);
    if (text >= size || std::memchr(base + text, '\0', size - text) == nullptr) return nullptr;

    const uint16_t handedOut = ReadWord(base + kHandedOutAt);
    if (handedOut == 0xFFFF) return nullptr;
    WriteWord(base + kHandedOutAt, static_cast<uint16_t>(handedOut + 1));
    return reinterpret_cast<LPSTR>(base + text);
}

VAULT_API BOOL WINAPI UnlockNameListName(LPVOID lockedList) {
    auto* base = static_cast<unsigned char*>(lockedList);
    if (base == nullptr) return FALSE;
    const uint16_t handedOut = ReadWord(base + kHandedOutAt);
    if (handedOut == 0) return FALSE;
    WriteWord(base + kHandedOutAt, static_cast<uint16_t>(handedOut - 1));
    return TRUE;
}

}  // extern "C"
