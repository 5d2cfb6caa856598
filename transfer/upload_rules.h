// The byte rules of an upload, by the representation the connection uses: local text in
// ASCII type with file structure (network text) or with record structure (0xFF escapes),
// binary data as it is, and a local record file in another type, whose record-file marker
// stays at home. Each is a step over one block with its carry word (text_rule.h) and a last
// step at the end of the file; the loop that reads the blocks may read whole blocks, as no
// rule keeps bytes in front of the next one.
#pragma once

#include <cstdint>

#include "transfer/text_rule.h"

// ASCII type, file structure: Ctrl-Z bytes are dropped wherever they stand; a CR that the
// next byte sent does not show to be the start of CR LF goes as CR NUL; everything else
// goes unchanged. Carry: a CR that ended the block, still to be decided.
int32_t UploadStreamText(const CopyOutput* output, uint32_t* carry, const void* bytes,
                         int32_t count, CopyContext* context);
int32_t FinishUploadStreamText(const CopyOutput* output, uint32_t* carry, CopyContext* context);
// The same rule without Ctrl-Z's, for a remote file written through its handle: the host
// writes exactly the bytes it means. Its end is FinishUploadStreamText too.
int32_t WriteNetworkText(const CopyOutput* output, uint32_t* carry, const void* bytes,
                         int32_t count, CopyContext* context);

// ASCII type, record structure: CR LF becomes 0xFF 0x01 (end of record), a lone CR goes as
// CR, and the end of the file sends 0xFF 0x02. Data bytes 0xFF go as they are. Carry: a CR
// that ended the block, held back.
int32_t UploadRecordText(const CopyOutput* output, uint32_t* carry, const void* bytes,
                         int32_t count, CopyContext* context);
int32_t FinishUploadRecordText(const CopyOutput* output, uint32_t* carry, CopyContext* context);

// Another type with file structure: binary data goes as it is. No carry.
int32_t SendUnchanged(const CopyOutput* output, uint32_t* carry, const void* bytes,
                      int32_t count, CopyContext* context);

// Another type with record structure: the local file already holds the escapes behind the
// 8-byte record-file marker; the marker is checked and skipped, the rest goes unchanged.
// FSE_NO_RECORD_MARKER as soon as a byte differs from the marker, or at the end of a file
// shorter than it. Carry: how many marker bytes have passed.
int32_t UploadRecordFile(const CopyOutput* output, uint32_t* carry, const void* bytes,
                         int32_t count, CopyContext* context);
int32_t FinishUploadRecordFile(const CopyOutput* output, uint32_t* carry, CopyContext* context);
