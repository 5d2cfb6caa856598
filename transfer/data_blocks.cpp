// FillInput and SendAll over a non-blocking data connection.
#include "transfer/data_blocks.h"

#include "connection/wait.h"
#include "transfer/copy_progress.h"

namespace {

// The size the copy set, kept within the buffer the record really has.
uint32_t InputSize(const CopyContext* context) {
    const uint32_t size = context->inputSize;
    return size == 0 || size > COPY_BUFFER_SIZE ? COPY_BUFFER_SIZE : size;
}

}  // namespace

int32_t FillInput(SOCKET data, CopyContext* context) {
    context->inputCount = 0;
    const uint32_t size = InputSize(context);
    CopyYieldCounter retries;
    SocketWait wait(data);
    // A data connection whose wait failed has nothing more to give, whatever it says now.
    if (wait.Ended() < 0) return wait.Ended();
    while (context->inputCount < size) {
        const int received = recv(data, context->inputBuffer + context->inputCount,
                                  static_cast<int>(size - context->inputCount), 0);
        if (received > 0) {
            context->inputCount += static_cast<uint32_t>(received);
            wait.Progress();
            continue;
        }
        if (received == 0) break;
        const int error = WSAGetLastError();
        if (error != WSAEWOULDBLOCK) {
            const int32_t failure = wait.End(FsErrorFromSocket(error));
            return context->inputCount > 0 ? static_cast<int32_t>(context->inputCount) : failure;
        }
        // The bytes that came before the host's stop or the wait's end go on to the copy;
        // the next fill meets the end again at once.
        int32_t ended = retries.Pass(context);
        ended = ended < 0 ? wait.End(ended) : wait.Slice(false);
        if (ended < 0) {
            return context->inputCount > 0 ? static_cast<int32_t>(context->inputCount) : ended;
        }
    }
    return static_cast<int32_t>(context->inputCount);
}

int32_t SendAll(SOCKET data, const char* bytes, int32_t count, CopyContext* context) {
    int32_t sent = 0;
    CopyYieldCounter retries;
    SocketWait wait(data);
    const int32_t result =
        SendWhole(wait, data, bytes, count, &sent, [&] { return retries.Pass(context); });
    context->total += static_cast<uint32_t>(sent);
    if (result < 0) return result;
    const int32_t answer = ReportCopyTotal(context);
    return answer < 0 ? answer : count;
}
