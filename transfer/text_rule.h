// What the direction-bound text rules of a copy share: each is a step over one block of
// bytes that emits through the copy's buffered output, and carries what a block boundary
// left undecided in one word from one block to the next; some have a last step at the end
// of the data. A rule returns 0, or the first failure of the output, and stops there.
#pragma once

#include <cstdint>

#include "transfer/buffered_output.h"

// The carry word between blocks: clear at the start of a copy.
enum : uint32_t { TEXT_CARRY_CLEAR = 0, TEXT_CARRY_SET = 1 };

using TextRuleStep = int32_t (*)(const CopyOutput* output, uint32_t* carry, const void* bytes,
                                 int32_t count, CopyContext* context);
using TextRuleFinish = int32_t (*)(const CopyOutput* output, uint32_t* carry,
                                   CopyContext* context);

// Emits the bytes [from, to) as one piece; nothing for an empty run.
inline int32_t EmitRun(const CopyOutput* output, const unsigned char* from,
                       const unsigned char* to, CopyContext* context) {
    if (to == from) return 0;
    const int32_t put = BufferedPut(output, from, static_cast<int32_t>(to - from), context);
    return put < 0 ? put : 0;
}

// Emits a fixed sequence (CR LF, CR NUL, ...).
template <int32_t N>
inline int32_t EmitBytes(const CopyOutput* output, const char (&bytes)[N],
                         CopyContext* context) {
    const int32_t put = BufferedPut(output, bytes, N - 1, context);
    return put < 0 ? put : 0;
}
