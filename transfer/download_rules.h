// The byte rules of a download toward the local file: text the server sends in ASCII type
// with file structure (network text) or with record structure (0xFF escapes), and text
// fetched in image type, whose lone LFs become CR LF. Each is a step over one block with
// its carry word (text_rule.h).
#pragma once

#include <cstdint>

#include "transfer/text_rule.h"

// ASCII type, file structure: a NUL right after a CR is dropped, everything else is
// written unchanged. Carry: the last byte was a CR.
int32_t DownloadStreamText(const CopyOutput* output, uint32_t* carry, const void* bytes,
                           int32_t count, CopyContext* context);

// ASCII type, record structure: 0xFF 0x01 and 0xFF 0x02 become CR LF; 0xFF before any other
// byte stays with that byte, and in 0xFF 0xFF the second starts an escape of its own.
// Carry: a 0xFF that ended the block, held back.
int32_t DownloadRecordText(const CopyOutput* output, uint32_t* carry, const void* bytes,
                           int32_t count, CopyContext* context);
int32_t FinishDownloadRecordText(const CopyOutput* output, uint32_t* carry,
                                 CopyContext* context);

// Text fetched in image type (TextFormat 1): an LF that does not follow a CR becomes CR LF;
// CR LF and a lone CR are written unchanged. Carry: the last byte was a CR; for a download
// it lives in the fourth word of the host's local file record.
int32_t ImageTypeText(const CopyOutput* output, uint32_t* carry, const void* bytes,
                      int32_t count, CopyContext* context);
