// Gathering a copy's output in whole buffers: BufferedPut and the flush at the end.
#include "transfer/buffered_output.h"

#include <cstring>

#include "transfer/data_blocks.h"
#include "transfer/local_write.h"

namespace {

// The size the copy set, kept within the buffer the record really has.
uint32_t OutputSize(const CopyContext* context) {
    const uint32_t size = context->outputSize;
    return size == 0 || size > COPY_BUFFER_SIZE ? COPY_BUFFER_SIZE : size;
}

int32_t SendStep(const CopyOutput* output, const char* bytes, int32_t count,
                 CopyContext* context) {
    return SendAll(output->socket, bytes, count, context);
}

int32_t WriteStep(const CopyOutput* output, const char* bytes, int32_t count,
                  CopyContext* context) {
    return WriteLocalBlock(output->file, bytes, count, context);
}

// Puts the buffer out and empties it, whatever the step answers: after a failure the copy
// ends, and no later flush may put the same bytes out a second time.
int32_t PutOutBuffer(const CopyOutput* output, CopyContext* context) {
    const int32_t count = static_cast<int32_t>(context->outputCount);
    context->outputCount = 0;
    return output->step(output, context->outputBuffer, count, context);
}

}  // namespace

CopyOutput DataConnectionOutput(SOCKET socket) {
    return CopyOutput{SendStep, socket, HFILE_ERROR, nullptr};
}

CopyOutput LocalFileOutput(HFILE file) {
    return CopyOutput{WriteStep, INVALID_SOCKET, file, nullptr};
}

int32_t BufferedPut(const CopyOutput* output, const void* bytes, int32_t count,
                    CopyContext* context) {
    const uint32_t size = OutputSize(context);
    if (context->outputCount > size) context->outputCount = size;
    const char* next = static_cast<const char*>(bytes);
    uint32_t left = count > 0 ? static_cast<uint32_t>(count) : 0;
    while (left > 0) {
        const uint32_t room = size - context->outputCount;
        const uint32_t piece = left < room ? left : room;
        if (piece == size) {
            const int32_t put = output->step(output, next, static_cast<int32_t>(piece), context);
            if (put < 0) return put;
        } else {
            std::memcpy(context->outputBuffer + context->outputCount, next, piece);
            context->outputCount += piece;
            if (context->outputCount == size) {
                const int32_t put = PutOutBuffer(output, context);
                if (put < 0) return put;
            }
        }
        next += piece;
        left -= piece;
    }
    return count > 0 ? count : 0;
}

int32_t FlushOutput(const CopyOutput* output, CopyContext* context) {
    if (context->outputCount == 0) return 0;
    if (context->outputCount > OutputSize(context)) context->outputCount = OutputSize(context);
    return PutOutBuffer(output, context);
}
