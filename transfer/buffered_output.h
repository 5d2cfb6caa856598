// The buffered output of a copy: what the text rules and converters emit is gathered in
// the copy record's output buffer and goes to its destination, a data connection or the
// local file, a whole buffer at a time.
#pragma once

#include <cstdint>

#include "records/tarvoftp.h"

struct CopyOutput;

// Sends or writes `count` bytes (more than 0) in one go: the count, or an FsError.
using OutputStep = int32_t (*)(const CopyOutput* output, const char* bytes, int32_t count,
                               CopyContext* context);

// Where a copy's bytes go. The data connection and the local file differ only in their
// output step.
struct CopyOutput {
    OutputStep step;
    SOCKET socket;  // the data connection of a data connection output
    HFILE file;     // the local file of a local file output
    void* sink;     // the own record of any other output
};

// The output that sends to a data connection with SendAll.
CopyOutput DataConnectionOutput(SOCKET socket);
// The output that writes to a local file with WriteLocalBlock.
CopyOutput LocalFileOutput(HFILE file);

// Appends `count` bytes to the output buffer, putting the buffer out each time it fills;
// a whole buffer's worth that finds the buffer empty goes out directly, without a copy.
// The count given (0 for an empty piece), or the first failure of the output step.
int32_t BufferedPut(const CopyOutput* output, const void* bytes, int32_t count,
                    CopyContext* context);

// Puts out what the output buffer still holds and empties it: the output step's count (0
// when the buffer was empty), or its failure.
int32_t FlushOutput(const CopyOutput* output, CopyContext* context);
