// Text from the server as it goes to the local file.
#include "transfer/download_rules.h"

#include "transfer/byte_scan.h"

namespace {

bool EndsRecord(unsigned char code) { return code == kEndOfRecord || code == kEndOfFile; }

}  // namespace

int32_t DownloadStreamText(const CopyOutput* output, uint32_t* carry, const void* bytes,
                           int32_t count, CopyContext* context) {
    const unsigned char* const end = BlockEnd(bytes, count);
    const unsigned char* at = BlockBegin(bytes);
    if (at == end) return 0;
    if (*carry == TEXT_CARRY_SET && *at == kNul) ++at;
    const unsigned char* run = at;
    for (const unsigned char* cr; (cr = FindByte(at, end, kCr)) != end;) {
        at = cr + 1;
        if (at == end || *at != kNul) continue;
        if (int32_t put = EmitRun(output, run, at, context); put < 0) return put;
        run = ++at;
    }
    // A CR is never dropped, so the block's own last byte says whether the next block's
    // first byte follows a CR.
    *carry = end[-1] == kCr ? TEXT_CARRY_SET : TEXT_CARRY_CLEAR;
    return EmitRun(output, run, end, context);
}

int32_t DownloadRecordText(const CopyOutput* output, uint32_t* carry, const void* bytes,
                           int32_t count, CopyContext* context) {
    const unsigned char* const end = BlockEnd(bytes, count);
    const unsigned char* at = BlockBegin(bytes);
    if (at == end) return 0;
    if (*carry == TEXT_CARRY_SET) {
        *carry = TEXT_CARRY_CLEAR;
        if (EndsRecord(*at)) {
            if (int32_t put = EmitBytes(output, "\r\n", context); put < 0) return put;
            ++at;
        } else {
            // The held 0xFF is data; the byte after it is looked at as any other.
            if (int32_t put = EmitBytes(output, "\xFF", context); put < 0) return put;
        }
    }
    const unsigned char* run = at;
    for (const unsigned char* escape; (escape = FindByte(at, end, kEscape)) != end;) {
        const unsigned char* code = escape + 1;
        if (code == end) {
            if (int32_t put = EmitRun(output, run, escape, context); put < 0) return put;
            *carry = TEXT_CARRY_SET;
            return 0;
        }
        if (EndsRecord(*code)) {
            if (int32_t put = EmitRun(output, run, escape, context); put < 0) return put;
            if (int32_t put = EmitBytes(output, "\r\n", context); put < 0) return put;
            run = at = code + 1;
        } else {
            // Both bytes stay; a second 0xFF starts an escape of its own.
            at = *code == kEscape ? code : code + 1;
        }
    }
    return EmitRun(output, run, end, context);
}

int32_t FinishDownloadRecordText(const CopyOutput* output, uint32_t* carry,
                                 CopyContext* context) {
    // An 0xFF at the very end of the data escapes nothing: it is the file's last byte and is
    // written, not dropped.
    if (*carry != TEXT_CARRY_SET) return 0;
    *carry = TEXT_CARRY_CLEAR;
    return EmitBytes(output, "\xFF", context);
}

int32_t ImageTypeText(const CopyOutput* output, uint32_t* carry, const void* bytes,
                      int32_t count, CopyContext* context) {
    const unsigned char* const begin = BlockBegin(bytes);
    const unsigned char* const end = BlockEnd(bytes, count);
    if (begin == end) return 0;
    const unsigned char* run = begin;
    for (const unsigned char* at = begin;;) {
        const unsigned char* lf = FindByte(at, end, kLf);
        if (lf == end) break;
        at = lf + 1;
        const bool afterCr = lf == begin ? *carry == TEXT_CARRY_SET : lf[-1] == kCr;
        if (afterCr) continue;  // CR LF stays as it is, inside the run
        if (int32_t put = EmitRun(output, run, lf, context); put < 0) return put;
        if (int32_t put = EmitBytes(output, "\r\n", context); put < 0) return put;
        run = at;
    }
    *carry = end[-1] == kCr ? TEXT_CARRY_SET : TEXT_CARRY_CLEAR;
    return EmitRun(output, run, end, context);
}
