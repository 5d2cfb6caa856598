// Conversion contexts and the conversions through them: a context holds one direction
// (source code set to target code set) and the state of the byte stream converted in it.
#include <cstring>
#include <new>

#include "codeset/bkcs32/ccss.h"
#include "codeset/bkcs32/code_sets.h"
#include "codeset/bkcs32/transcode.h"

using bkcs::FindCodeSet;
using bkcs::StreamEnd;
using bkcs::Utf8Decoder;

namespace {

// The two code sets of a context, when both are known.
struct Direction {
    const BkcsCodeSetTable* source;
    const BkcsCodeSetTable* target;
    explicit operator bool() const { return source && target; }
};

Direction DirectionOf(const BkcsContext& context) {
    return {FindCodeSet(context.sourceCodeSet), FindCodeSet(context.targetCodeSet)};
}

const uint8_t* Bytes(const char* text) { return reinterpret_cast<const uint8_t*>(text); }
uint8_t* Bytes(char* text) { return reinterpret_cast<uint8_t*>(text); }

}  // namespace

extern "C" {

BkcsContext* WINAPI CCSSCreateContext(LONG kind) {
    if (kind != CCSS_CONVERSION_CONTEXT) return nullptr;
    auto* context = new (std::nothrow) BkcsContext{};
    if (!context) return nullptr;
    context->sourceCodeSet = CCSS_WINDOWS_1252;
    context->targetCodeSet = CCSS_WINDOWS_1252;
    Utf8Decoder().Store(*context);
    return context;
}

LONG WINAPI CCSSDestroyContext(BkcsContext* context) {
    if (!context) return 0;
    delete context;
    return 1;
}

LONG WINAPI CCSSChangeCodeSet(BkcsContext* context, LONG source, LONG target) {
    if (!context) return 0;
    if (source != CCSS_UNCHANGED) context->sourceCodeSet = source;
    if (target != CCSS_UNCHANGED) context->targetCodeSet = target;
    // Whatever the last block left half-finished belonged to the old stream.
    Utf8Decoder().Store(*context);
    return DirectionOf(*context) ? 1 : 0;
}

LONG WINAPI CCSSHowManyTimesInWorstCase(BkcsContext* context) {
    // Callers divide by the factor and multiply with it, so it is never 0, even for a
    // context that cannot convert at all.
    if (!context) return 1;
    Direction direction = DirectionOf(*context);
    return direction ? bkcs::WorstCaseFactor(*direction.source, *direction.target) : 1;
}

LONG WINAPI CCSSConvertBlock(BkcsContext* context, const char* source, LONG length,
                             char* destination) {
    if (!context) return CCSS_FAILED;
    context->outputLength = 0;
    Direction direction = DirectionOf(*context);
    if (!direction || length < 0 || (length > 0 && (!source || !destination))) {
        return CCSS_FAILED;
    }
    // Blocks are pieces of one stream: a character that the block ends inside of is held in
    // the context and finished by the next block.
    Utf8Decoder decoder;
    decoder.Load(*context);
    size_t written = bkcs::Transcode(*direction.source, *direction.target, Bytes(source),
                                     static_cast<size_t>(length), Bytes(destination), decoder,
                                     StreamEnd::kMoreFollows);
    decoder.Store(*context);
    context->outputLength = static_cast<LONG>(written);
    return CCSS_OK;
}

// Texts are whole: they neither finish nor leave behind a character of the context's
// stream, and a character cut off at the end of a text becomes the default character.

LONG WINAPI CCSSConvert(BkcsContext* context, LPSTR text) {
    if (!context || !text) return CCSS_FAILED;
    Direction direction = DirectionOf(*context);
    // In place, every character must fit where its source bytes were.
    if (!direction || bkcs::WorstCaseFactor(*direction.source, *direction.target) != 1) {
        return CCSS_FAILED;
    }
    Utf8Decoder decoder;
    size_t written = bkcs::Transcode(*direction.source, *direction.target, Bytes(text),
                                     std::strlen(text), Bytes(text), decoder,
                                     StreamEnd::kTextEnds);
    text[written] = '\0';
    return CCSS_OK;
}

LONG WINAPI CCSSConvertStr(BkcsContext* context, LPCSTR source, LPSTR destination) {
    if (!context || !source || !destination) return -1;
    Direction direction = DirectionOf(*context);
    if (!direction) return -1;
    Utf8Decoder decoder;
    size_t written = bkcs::Transcode(*direction.source, *direction.target, Bytes(source),
                                     std::strlen(source), Bytes(destination), decoder,
                                     StreamEnd::kTextEnds);
    destination[written] = '\0';
    return static_cast<LONG>(written);
}

}  // extern "C"
