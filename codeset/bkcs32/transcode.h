// The conversion engine: decodes bytes of one code set into Unicode characters and encodes
// them into another, for whole texts and for a stream cut into blocks.
#pragma once

#include <cstddef>
#include <cstdint>

#include "codeset/bkcs32/code_sets.h"

namespace bkcs {

// Stands for a malformed byte sequence among the characters a decoder produces.
constexpr uint32_t kMalformed = 0xFFFFFFFF;

// A UTF-8 decoder that can stop after any byte and go on with the next block. A malformed
// sequence gives one kMalformed for its longest valid-looking start (so a broken sequence
// never turns into more characters than it had bytes), then decoding resumes at the byte
// that broke it.
class Utf8Decoder {
public:
    // Feeds one byte; calls emit(codePoint) for each character it completes.
    template <typename Emit>
    void Feed(uint8_t byte, Emit&& emit) {
        if (needed_ != 0) {
            if (byte < lower_ || byte > upper_) {
                Reset();
                emit(kMalformed);
                // The byte that broke the sequence may start a character of its own.
            } else {
                lower_ = 0x80;
                upper_ = 0xBF;
                codePoint_ = (codePoint_ << 6) | (byte & 0x3Fu);
                if (--needed_ == 0) {
                    emit(codePoint_);
                    codePoint_ = 0;
                }
                return;
            }
        }
        // The ranges keep out overlong forms, surrogates and values above U+10FFFF.
        if (byte < 0x80) {
            emit(byte);
        } else if (byte >= 0xC2 && byte <= 0xDF) {
            Start(byte & 0x1Fu, 1);
        } else if (byte >= 0xE0 && byte <= 0xEF) {
            Start(byte & 0x0Fu, 2);
            if (byte == 0xE0) lower_ = 0xA0;
            if (byte == 0xED) upper_ = 0x9F;
        } else if (byte >= 0xF0 && byte <= 0xF4) {
            Start(byte & 0x07u, 3);
            if (byte == 0xF0) lower_ = 0x90;
            if (byte == 0xF4) upper_ = 0x8F;
        } else {
            emit(kMalformed);
        }
    }

    // True while the bytes so far end inside a character.
    bool InsideCharacter() const { return needed_ != 0; }

    void Reset() {
        codePoint_ = 0;
        needed_ = 0;
        lower_ = 0x80;
        upper_ = 0xBF;
    }

    // The state kept in a context between two blocks of a stream.
    void Load(const BkcsContext& context);
    void Store(BkcsContext& context) const;

private:
    void Start(uint32_t bits, uint8_t continuationBytes) {
        codePoint_ = bits;
        needed_ = continuationBytes;
    }

    uint32_t codePoint_ = 0;
    uint8_t needed_ = 0;
    uint8_t lower_ = 0x80;
    uint8_t upper_ = 0xBF;
};

// Whether the character that follows the stream so far may end it. Texts end; blocks of a
// stream do not, and a character that runs past the block is finished by the next one.
enum class StreamEnd { kTextEnds, kMoreFollows };

// Converts length bytes from one code set to another into out and returns the bytes written.
// out must hold length x WorstCaseFactor(source, target) + 1 bytes: one more than the factor
// allows only when a character held back in the decoder turns out broken.
size_t Transcode(const BkcsCodeSetTable& source, const BkcsCodeSetTable& target,
                 const uint8_t* in, size_t length, uint8_t* out, Utf8Decoder& decoder,
                 StreamEnd end);

// The most bytes one source byte can become when converting between the two code sets.
LONG WorstCaseFactor(const BkcsCodeSetTable& source, const BkcsCodeSetTable& target);

// Calls emit(codePoint) for every character of the bytes in the given code set, kMalformed
// for malformed UTF-8. The decoder carries a character cut off by the end of the bytes: when
// more follows, the next call finishes it; when the text ends there, it gives kMalformed.
template <typename Emit>
void Decode(const BkcsCodeSetTable& codeSet, const uint8_t* in, size_t length,
            Utf8Decoder& decoder, StreamEnd end, Emit&& emit) {
    if (!IsUtf8(codeSet)) {
        for (size_t i = 0; i < length; ++i) emit(codeSet.toUnicode[in[i]]);
        return;
    }
    for (size_t i = 0; i < length; ++i) decoder.Feed(in[i], emit);
    if (end == StreamEnd::kTextEnds && decoder.InsideCharacter()) {
        decoder.Reset();
        emit(kMalformed);
    }
}

}  // namespace bkcs
