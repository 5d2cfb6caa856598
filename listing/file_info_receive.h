// Reading the listing of one name of file information: the whole data of the transfer
// goes into one moveable block that grows in steps of 2048 bytes, through the incoming
// code-set conversion while it runs.
#pragma once

#include <cstdint>

#include "connection/ftp_connection.h"

// The data block's first size and its growth step.
constexpr uint32_t FILE_INFO_BUFFER_STEP = 2048;
// The block into which raw data is received while conversion runs.
constexpr uint32_t FILE_INFO_CONVERSION_BLOCK_SIZE = 2049;
// The text of the message box shown when the data block cannot grow: at most this many
// characters with the NUL.
constexpr int FILE_INFO_MESSAGE_SIZE = 64;
// The caption of that message box.
constexpr const char* FILE_INFO_MESSAGE_CAPTION = "Tarvo FTP";

// The largest the data block may grow to: growing past it counts as memory running out.
// It keeps every count of the data (and the line lengths handed to the host) within 31
// bits; tests lower it to see what a host sees when memory runs out.
extern uint32_t gFileInfoLargestBuffer;

// The data block: moveable, zero-filled, locked while the object lives (and across every
// growth), freed at the end.
class FileInfoBuffer {
public:
    FileInfoBuffer();
    ~FileInfoBuffer();
    FileInfoBuffer(const FileInfoBuffer&) = delete;
    FileInfoBuffer& operator=(const FileInfoBuffer&) = delete;

    bool ok() const { return data_ != nullptr; }
    char* data() const { return data_; }
    uint32_t size() const { return size_; }
    // Adds FILE_INFO_BUFFER_STEP zero-filled bytes. False, with the block as it was, when
    // memory is short or the block would pass gFileInfoLargestBuffer.
    bool Grow();

private:
    HGLOBAL handle_;
    char* data_ = nullptr;
    uint32_t size_ = 0;
};

// Receives the data of `data` into the buffer from its start, until the server ends the
// connection (result 0), a socket failure ends it (10000 minus the error), a failed
// conversion ends it (0), or the buffer cannot grow: then what arrived so far is kept, the
// user is told in a message box owned by the connection's owner window, and the result is
// 0. The data is NUL-terminated in every case (a full block gives its last byte for it).
// `conversionBlock` (FILE_INFO_CONVERSION_BLOCK_SIZE bytes) is used while conversion runs;
// without one nothing is converted. The owner window's messages keep flowing meanwhile.
int32_t ReceiveFileInfo(FtpConnection* connection, SOCKET data, FileInfoBuffer* buffer,
                        char* conversionBlock);
