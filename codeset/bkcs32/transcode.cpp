// The conversion engine: every conversion goes through Unicode characters, from the bytes of
// the source code set to the bytes of the target code set.
#include "codeset/bkcs32/transcode.h"

#include <cstring>

namespace bkcs {
namespace {

// Writes one character in UTF-8; a malformed sequence cannot reach here, because a UTF-8
// source into a UTF-8 target is copied unchanged.
uint8_t* PutUtf8(uint32_t codePoint, uint8_t* out) {
    switch (Utf8Length(codePoint)) {
    case 1:
        *out++ = static_cast<uint8_t>(codePoint);
        break;
    case 2:
        *out++ = static_cast<uint8_t>(0xC0 | (codePoint >> 6));
        *out++ = static_cast<uint8_t>(0x80 | (codePoint & 0x3F));
        break;
    case 3:
        *out++ = static_cast<uint8_t>(0xE0 | (codePoint >> 12));
        *out++ = static_cast<uint8_t>(0x80 | ((codePoint >> 6) & 0x3F));
        *out++ = static_cast<uint8_t>(0x80 | (codePoint & 0x3F));
        break;
    default:
        *out++ = static_cast<uint8_t>(0xF0 | (codePoint >> 18));
        *out++ = static_cast<uint8_t>(0x80 | ((codePoint >> 12) & 0x3F));
        *out++ = static_cast<uint8_t>(0x80 | ((codePoint >> 6) & 0x3F));
        *out++ = static_cast<uint8_t>(0x80 | (codePoint & 0x3F));
        break;
    }
    return out;
}

}  // namespace

void Utf8Decoder::Load(const BkcsContext& context) {
    codePoint_ = context.pendingCodePoint;
    needed_ = context.pendingNeeded;
    lower_ = context.pendingLower;
    upper_ = context.pendingUpper;
}

void Utf8Decoder::Store(BkcsContext& context) const {
    context.pendingCodePoint = codePoint_;
    context.pendingNeeded = needed_;
    context.pendingLower = lower_;
    context.pendingUpper = upper_;
}

size_t Transcode(const BkcsCodeSetTable& source, const BkcsCodeSetTable& target,
                 const uint8_t* in, size_t length, uint8_t* out, Utf8Decoder& decoder,
                 StreamEnd end) {
    if (&source == &target) {
        // A text converted in place is already what it should be.
        if (length != 0 && out != in) std::memcpy(out, in, length);
        return length;
    }
    uint8_t* const start = out;
    auto put = [&](uint32_t codePoint) {
        if (IsUtf8(target)) {
            out = PutUtf8(codePoint, out);
            return;
        }
        int byte = codePoint == kMalformed ? -1 : EncodeSingleByte(target, codePoint);
        *out++ = static_cast<uint8_t>(byte < 0 ? target.defaultChar : byte);
    };
    Decode(source, in, length, decoder, end, put);
    return static_cast<size_t>(out - start);
}

LONG WorstCaseFactor(const BkcsCodeSetTable& source, const BkcsCodeSetTable& target) {
    // Only a single-byte set into UTF-8 grows: by the longest UTF-8 form of its characters
    // (2 for ISO-8859-1, 3 where the set has the euro sign or box drawing). Into a
    // single-byte set every character becomes one byte, and a UTF-8 character has one or
    // more, so nothing grows.
    if (&source == &target || !IsUtf8(target) || IsUtf8(source)) return 1;
    int longest = 1;
    for (int b = 0; b < 256; ++b) {
        int bytes = Utf8Length(source.toUnicode[b]);
        if (bytes > longest) longest = bytes;
    }
    return longest;
}

}  // namespace bkcs
