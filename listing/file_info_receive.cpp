// Receiving the listing of one name of file information into the growing data block.
#include "listing/file_info_receive.h"

#include "codeset/code_set_state.h"
#include "connection/data_connection.h"
#include "records/module_state.h"
#include "ui/resources/resource_ids.h"

uint32_t gFileInfoLargestBuffer = 0x7FFFFFFF;

namespace {

void ShowIncompleteListing(HWND owner) {
    char text[FILE_INFO_MESSAGE_SIZE] = {};  // empty should the text be missing
    LoadStringA(ResourceInstance(), IDS_LISTING_INCOMPLETE, text, sizeof text);
    MessageBoxA(owner, text, FILE_INFO_MESSAGE_CAPTION, MB_OK);
}

// How many raw bytes the next receive may take: all the free room, or while conversion
// runs what is sure to fit it once converted, at most the conversion block. 0 when the
// block must grow first.
uint32_t NextPieceSize(uint32_t freeRoom, bool converting) {
    if (!converting) return freeRoom;
    const uint32_t piece = IncomingPieceLimit(freeRoom);
    return piece < FILE_INFO_CONVERSION_BLOCK_SIZE ? piece : FILE_INFO_CONVERSION_BLOCK_SIZE;
}

}  // namespace

FileInfoBuffer::FileInfoBuffer()
    : handle_(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, FILE_INFO_BUFFER_STEP)) {
    if (handle_ == nullptr) return;
    data_ = static_cast<char*>(GlobalLock(handle_));
    if (data_ != nullptr) size_ = FILE_INFO_BUFFER_STEP;
}

FileInfoBuffer::~FileInfoBuffer() {
    if (handle_ == nullptr) return;
    if (data_ != nullptr) GlobalUnlock(handle_);
    GlobalFree(handle_);
}

bool FileInfoBuffer::Grow() {
    if (size_ > gFileInfoLargestBuffer || gFileInfoLargestBuffer - size_ < FILE_INFO_BUFFER_STEP) {
        return false;
    }
    // A locked block may not move, so it is unlocked for the growth and locked again at
    // wherever it went; on failure it stays where it was.
    GlobalUnlock(handle_);
    const bool grown = GlobalReAlloc(handle_, size_ + FILE_INFO_BUFFER_STEP,
                                     GMEM_MOVEABLE | GMEM_ZEROINIT) != nullptr;
    data_ = static_cast<char*>(GlobalLock(handle_));
    if (grown && data_ != nullptr) size_ += FILE_INFO_BUFFER_STEP;
    return grown && data_ != nullptr;
}

int32_t ReceiveFileInfo(FtpConnection* connection, SOCKET data, FileInfoBuffer* buffer,
                        char* conversionBlock) {
    const bool converting = conversionBlock != nullptr && ConversionRuns();
    uint32_t used = 0;
    int32_t result = 0;
    for (;;) {
        const uint32_t freeRoom = buffer->size() - used;
        const uint32_t piece = NextPieceSize(freeRoom, converting);
        if (piece == 0) {
            if (!buffer->Grow()) {
                ShowIncompleteListing(connection->ownerWindow);
                break;
            }
            continue;
        }

        char* into = converting ? conversionBlock : buffer->data() + used;
        const int32_t received =
            ReceiveData(data, into, static_cast<int32_t>(piece), connection->ownerWindow);
        if (received <= 0) {
            result = received;
            break;
        }
        const int32_t added =
            converting ? ConvertIncoming(conversionBlock, received, buffer->data() + used, freeRoom)
                       : received;
        if (added == CONVERSION_FAILED) break;  // the lines converted so far are still delivered
        used += static_cast<uint32_t>(added);
    }
    // A block that moved and could not be locked again has lost its data.
    if (!buffer->ok()) return FSE_NO_MEMORY;
    // Every way out of the loop but a block that could not grow leaves room for the NUL;
    // a full block gives its last byte for it.
    buffer->data()[used < buffer->size() ? used : buffer->size() - 1] = '\0';
    return result;
}
