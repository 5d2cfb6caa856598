// Questions about text in a context's source code set: what a name becomes as a DOS 8.3
// file name, where a text may be cut, and whether some bytes are text at all.
#include <string_view>

#include "codeset/bkcs32/ccss.h"
#include "codeset/bkcs32/code_sets.h"
#include "codeset/bkcs32/transcode.h"

using bkcs::FindCodeSet;
using bkcs::StreamEnd;
using bkcs::Utf8Decoder;

namespace {

constexpr size_t kDosBaseLength = 8;
constexpr size_t kDosExtensionLength = 3;
// What a character that a DOS name cannot hold becomes ('?' is a wildcard there).
constexpr uint8_t kDosSubstitute = '_';

const BkcsCodeSetTable* SourceOf(const BkcsContext* context) {
    return context ? FindCodeSet(context->sourceCodeSet) : nullptr;
}

// The DOS byte for one character of a name part: ASCII letters in upper case, characters
// that DOS names forbid or the DOS code set lacks as the substitute.
uint8_t DosNameByte(const BkcsCodeSetTable& dosSet, uint32_t codePoint) {
    constexpr std::string_view kForbidden = "\"*+,/:;<=>?[\\]|";
    if (codePoint >= 'a' && codePoint <= 'z') return static_cast<uint8_t>(codePoint - 32);
    if (codePoint < 0x20 || codePoint == 0x7F || codePoint == bkcs::kMalformed ||
        (codePoint < 0x80 && kForbidden.find(static_cast<char>(codePoint)) !=
                                 std::string_view::npos)) {
        return kDosSubstitute;
    }
    int byte = bkcs::EncodeSingleByte(dosSet, codePoint);
    return byte < 0 ? kDosSubstitute : static_cast<uint8_t>(byte);
}

// Appends the DOS form of one part of a name, cut to its DOS length; returns the bytes
// written. Spaces and dots are dropped rather than substituted, as DOS itself does.
size_t AppendDosPart(const BkcsCodeSetTable& nameSet, const BkcsCodeSetTable& dosSet,
                     std::string_view part, size_t limit, uint8_t* out) {
    size_t written = 0;
    Utf8Decoder decoder;
    bkcs::Decode(nameSet, reinterpret_cast<const uint8_t*>(part.data()), part.size(), decoder,
                 StreamEnd::kTextEnds, [&](uint32_t codePoint) {
                     if (written == limit || codePoint == ' ' || codePoint == '.') return;
                     out[written++] = DosNameByte(dosSet, codePoint);
                 });
    return written;
}

}  // namespace

extern "C" {

LONG WINAPI CCSSCreateDOSFilename(BkcsContext* context, LPCSTR name, LPSTR dosName) {
    const BkcsCodeSetTable* nameSet = SourceOf(context);
    const BkcsCodeSetTable* dosSet = FindCodeSet(CCSSGetDOSCodeSet());
    if (!nameSet || !name || !dosName) return -1;
    std::string_view whole(name);
    // The extension follows the last dot; the dot that starts a hidden Unix name such as
    // ".profile" is no extension separator.
    size_t firstKept = whole.find_first_not_of('.');
    size_t dot = whole.rfind('.');
    std::string_view base = whole;
    std::string_view extension;
    if (dot != std::string_view::npos && firstKept != std::string_view::npos && dot > firstKept) {
        base = whole.substr(0, dot);
        extension = whole.substr(dot + 1);
    }
    auto* out = reinterpret_cast<uint8_t*>(dosName);
    size_t length = AppendDosPart(*nameSet, *dosSet, base, kDosBaseLength, out);
    if (length == 0) out[length++] = kDosSubstitute;
    uint8_t* extensionStart = out + length + 1;
    size_t extensionLength =
        AppendDosPart(*nameSet, *dosSet, extension, kDosExtensionLength, extensionStart);
    if (extensionLength != 0) {
        out[length] = '.';
        length += 1 + extensionLength;
    }
    out[length] = '\0';
    return static_cast<LONG>(length);
}

LONG WINAPI CCSSIsTruncatable(BkcsContext* context, LPCSTR text, LONG length) {
    const BkcsCodeSetTable* codeSet = SourceOf(context);
    if (!codeSet || !text || length < 0) return 0;
    // A cut at or beyond the end of the text cuts nothing; look no further than the NUL.
    for (LONG i = 0; i < length; ++i) {
        if (text[i] == '\0') return 1;
    }
    if (!bkcs::IsUtf8(*codeSet)) return 1;
    // In UTF-8 a character goes on exactly when the next byte is a continuation byte.
    auto next = static_cast<uint8_t>(text[length]);
    return (next & 0xC0) == 0x80 ? 0 : 1;
}

// The library without this function is built as well, for callers that must cope with an
// older library that lacks it.
#if !defined(BKCS32_WITHOUT_ISBINARY)
LONG WINAPI CCSSIsBinary(BkcsContext* context, const void* bytes, LONG length) {
    const BkcsCodeSetTable* codeSet = SourceOf(context);
    if (!codeSet || length < 0 || (length > 0 && !bytes)) return 1;
    // Binary are control codes that text does not use, bytes the code set leaves undefined
    // (they stand for C1 controls) and, in UTF-8, malformed sequences. A sample may be cut
    // anywhere, so a character cut off by its end still counts as text.
    bool binary = false;
    Utf8Decoder decoder;
    bkcs::Decode(*codeSet, static_cast<const uint8_t*>(bytes), static_cast<size_t>(length),
                 decoder, StreamEnd::kMoreFollows, [&](uint32_t codePoint) {
                     if (codePoint == bkcs::kMalformed || bkcs::IsBinaryCharacter(codePoint)) {
                         binary = true;
                     }
                 });
    return binary ? 1 : 0;
}
#endif

}  // extern "C"
