// Local text and local record files as they go to the server.
#include "transfer/upload_rules.h"

#include "transfer/byte_scan.h"
#include "transfer/sample.h"

namespace {

constexpr uint32_t kMarkerSize = RECORD_FILE_MARKER_SIZE;

// The first byte from `at` on that is not a Ctrl-Z.
const unsigned char* SkipCtrlZ(const unsigned char* at, const unsigned char* end) {
    while (at != end && *at == kCtrlZ) ++at;
    return at;
}

// Network text, with or without the Ctrl-Z rule. Where it applies, the server gets what
// the file holds with its Ctrl-Z bytes taken out, and a dropped Ctrl-Z is no byte at all:
// CR, Ctrl-Z, LF is a CR LF.
template <bool kDropCtrlZ>
int32_t NetworkText(const CopyOutput* output, uint32_t* carry, const void* bytes, int32_t count,
                    CopyContext* context) {
    const unsigned char* const end = BlockEnd(bytes, count);
    const auto skip = [end](const unsigned char* at) {
        return kDropCtrlZ ? SkipCtrlZ(at, end) : at;
    };
    const unsigned char* at = BlockBegin(bytes);
    if (*carry == TEXT_CARRY_SET) {
        at = skip(at);
        if (at == end) return 0;  // still undecided
        *carry = TEXT_CARRY_CLEAR;
        const int32_t put = *at == kLf ? EmitBytes(output, "\r", context)
                                       : EmitBytes(output, "\r\0", context);
        if (put < 0) return put;
    }
    const unsigned char* run = at;
    for (;;) {
        const unsigned char* hit =
            kDropCtrlZ ? FindEither(at, end, kCr, kCtrlZ) : FindByte(at, end, kCr);
        if (hit == end) break;
        if (kDropCtrlZ && *hit == kCtrlZ) {
            if (int32_t put = EmitRun(output, run, hit, context); put < 0) return put;
            run = at = hit + 1;
            continue;
        }
        const unsigned char* next = skip(hit + 1);
        if (next == end) {
            // The next block decides; the CR waits in the carry.
            if (int32_t put = EmitRun(output, run, hit, context); put < 0) return put;
            *carry = TEXT_CARRY_SET;
            return 0;
        }
        if (*next == kLf && next == hit + 1) {
            at = next + 1;  // CR LF stays as it is, inside the run
            continue;
        }
        if (int32_t put = EmitRun(output, run, hit + 1, context); put < 0) return put;
        if (*next != kLf) {
            if (int32_t put = EmitBytes(output, "\0", context); put < 0) return put;
        }
        run = at = next;
    }
    return EmitRun(output, run, end, context);
}

}  // namespace

int32_t UploadStreamText(const CopyOutput* output, uint32_t* carry, const void* bytes,
                         int32_t count, CopyContext* context) {
    return NetworkText<true>(output, carry, bytes, count, context);
}

int32_t WriteNetworkText(const CopyOutput* output, uint32_t* carry, const void* bytes,
                         int32_t count, CopyContext* context) {
    return NetworkText<false>(output, carry, bytes, count, context);
}

int32_t FinishUploadStreamText(const CopyOutput* output, uint32_t* carry, CopyContext* context) {
    // A CR that ends the file has no LF after it: it is a lone CR like any other and goes as
    // CR NUL, so that the server stores the CR that the file holds.
    if (*carry != TEXT_CARRY_SET) return 0;
    *carry = TEXT_CARRY_CLEAR;
    return EmitBytes(output, "\r\0", context);
}

int32_t UploadRecordText(const CopyOutput* output, uint32_t* carry, const void* bytes,
                         int32_t count, CopyContext* context) {
    const unsigned char* const end = BlockEnd(bytes, count);
    const unsigned char* at = BlockBegin(bytes);
    if (at == end) return 0;
    if (*carry == TEXT_CARRY_SET) {
        *carry = TEXT_CARRY_CLEAR;
        const bool endOfRecord = *at == kLf;
        const int32_t put = endOfRecord ? EmitBytes(output, "\xFF\x01", context)
                                        : EmitBytes(output, "\r", context);
        if (put < 0) return put;
        if (endOfRecord) ++at;
    }
    const unsigned char* run = at;
    for (const unsigned char* cr; (cr = FindByte(at, end, kCr)) != end;) {
        if (cr + 1 == end) {
            if (int32_t put = EmitRun(output, run, cr, context); put < 0) return put;
            *carry = TEXT_CARRY_SET;
            return 0;
        }
        if (cr[1] != kLf) {
            at = cr + 1;  // a lone CR is data, inside the run
            continue;
        }
        if (int32_t put = EmitRun(output, run, cr, context); put < 0) return put;
        if (int32_t put = EmitBytes(output, "\xFF\x01", context); put < 0) return put;
        run = at = cr + 2;
    }
    return EmitRun(output, run, end, context);
}

int32_t FinishUploadRecordText(const CopyOutput* output, uint32_t* carry, CopyContext* context) {
    if (*carry == TEXT_CARRY_SET) {
        *carry = TEXT_CARRY_CLEAR;
        if (int32_t put = EmitBytes(output, "\r", context); put < 0) return put;
    }
    return EmitBytes(output, "\xFF\x02", context);
}

int32_t SendUnchanged(const CopyOutput* output, uint32_t*, const void* bytes, int32_t count,
                      CopyContext* context) {
    return EmitRun(output, BlockBegin(bytes), BlockEnd(bytes, count), context);
}

int32_t UploadRecordFile(const CopyOutput* output, uint32_t* carry, const void* bytes,
                         int32_t count, CopyContext* context) {
    const unsigned char* const end = BlockEnd(bytes, count);
    const unsigned char* at = BlockBegin(bytes);
    if (*carry < kMarkerSize) {
        unsigned char marker[kMarkerSize];
        PutRecordFileMarker(marker);
        for (; at != end && *carry < kMarkerSize; ++at, ++*carry) {
            if (*at != marker[*carry]) return FSE_NO_RECORD_MARKER;
        }
    }
    return EmitRun(output, at, end, context);
}

int32_t FinishUploadRecordFile(const CopyOutput* output, uint32_t* carry, CopyContext* context) {
    return *carry < kMarkerSize ? FSE_NO_RECORD_MARKER : 0;
}
