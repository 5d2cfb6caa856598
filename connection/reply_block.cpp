// Resizing the connection's reply-text block. The block comes from OrrAlloc, so it is
// locked moveable global memory: it is resized through its memory handle and locked again,
// and the connection keeps the new address and size.
#include "connection/ftp_connection.h"

bool ResizeReplyBlock(FtpConnection* connection, uint32_t newSize) {
    // The size is kept in a 16-bit field; a block that large is as far as it goes.
    if (newSize == 0 || newSize > UINT16_MAX || connection->replyText == nullptr) return false;
    HGLOBAL handle = GlobalHandle(connection->replyText);
    if (handle == nullptr) return false;

    GlobalUnlock(handle);
    HGLOBAL resized = GlobalReAlloc(handle, newSize, GMEM_MOVEABLE);
    HGLOBAL kept = resized != nullptr ? resized : handle;
    auto* block = static_cast<char*>(GlobalLock(kept));
    if (block == nullptr) {
        // A block that cannot be locked again cannot be used any more; the reader copes
        // with a connection that has no reply-text block.
        GlobalFree(kept);
        connection->replyText = nullptr;
        connection->replyBufferSize = 0;
        return false;
    }
    connection->replyText = block;
    if (resized == nullptr) return false;
    connection->replyBufferSize = static_cast<uint16_t>(newSize);
    return true;
}
