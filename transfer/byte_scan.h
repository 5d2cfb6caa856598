// Finding the next of two byte values in a block eight bytes at a time: the text rules look
// only for the few bytes they change (CR and LF, CR and form feed, CR and Ctrl-Z) and pass
// everything between them on as one run. And the names of those bytes.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

// The bytes the rules look for: line ends, the form feed, Ctrl-Z, and the record escapes
// (0xFF, then 0x01 for the end of a record, 0x02 for the end of the file, 0x03 for both).
constexpr unsigned char kNul = 0x00;
constexpr unsigned char kLf = 0x0A;
constexpr unsigned char kFormFeed = 0x0C;
constexpr unsigned char kCr = 0x0D;
constexpr unsigned char kCtrlZ = 0x1A;
constexpr unsigned char kEscape = 0xFF;
constexpr unsigned char kEndOfRecord = 0x01;
constexpr unsigned char kEndOfFile = 0x02;
constexpr unsigned char kEndOfRecordAndFile = 0x03;

// A block of `count` bytes as the scans read it: [BlockBegin, BlockEnd), empty for a
// count below 0.
inline const unsigned char* BlockBegin(const void* bytes) {
    return static_cast<const unsigned char*>(bytes);
}
inline const unsigned char* BlockEnd(const void* bytes, int32_t count) {
    return BlockBegin(bytes) + (count > 0 ? count : 0);
}

// The first byte in [at, end) that is `a` or `b`, or `end`.
inline const unsigned char* FindEither(const unsigned char* at, const unsigned char* end,
                                       unsigned char a, unsigned char b) {
    if constexpr (std::endian::native == std::endian::little) {
        constexpr uint64_t kOnes = 0x0101010101010101ull;
        constexpr uint64_t kHighBits = 0x8080808080808080ull;
        const uint64_t allA = kOnes * a;
        const uint64_t allB = kOnes * b;
        while (end - at >= 8) {
            uint64_t word;
            std::memcpy(&word, at, sizeof word);
            // A byte of x is zero where the word holds `a`. The lowest bit this sets marks
            // the first such byte exactly; stray bits appear only above a real find.
            const uint64_t x = word ^ allA;
            const uint64_t y = word ^ allB;
            const uint64_t found = (((x - kOnes) & ~x) | ((y - kOnes) & ~y)) & kHighBits;
            if (found != 0) return at + std::countr_zero(found) / 8;
            at += 8;
        }
    }
    while (at < end && *at != a && *at != b) ++at;
    return at;
}

// The first byte in [at, end) that is `a`, or `end`.
inline const unsigned char* FindByte(const unsigned char* at, const unsigned char* end,
                                     unsigned char a) {
    const void* found = std::memchr(at, a, static_cast<size_t>(end - at));
    return found != nullptr ? static_cast<const unsigned char*>(found) : end;
}
