// Fuzz target for reads of record-structured text (FTP_File_Read with record structure):
// arbitrary server bytes arriving in arbitrary blocks, read in arbitrary sizes. Every read
// must stay within the caller's count and the record buffer, and the host must get the
// same lines however the blocks and reads are cut.
//
// Input: two header bytes, the seed of the block and read sizes (1 to 2048, most of them
// short); then the bytes the server sends.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "transfer/record_decoder.h"

namespace {

void Check(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "record read: %s\n", what);
    std::abort();
}

struct Sizes {
    uint32_t state;  // 0: whole blocks and whole reads
    int32_t Next() {
        if (state == 0) return RECORD_BUFFER_SIZE;
        state = state * 1103515245u + 12345u;
        const uint32_t pick = state >> 16;
        return 1 + static_cast<int32_t>(pick % (pick % 4 == 0 ? RECORD_BUFFER_SIZE : 8));
    }
};

struct Server {
    const uint8_t* data;
    size_t left;
    Sizes* sizes;
};

int32_t Refill(void* source, unsigned char* buffer) {
    auto* server = static_cast<Server*>(source);
    size_t size = static_cast<size_t>(server->sizes->Next());
    if (size > server->left) size = server->left;
    std::copy(server->data, server->data + size, buffer);
    server->data += size;
    server->left -= size;
    return static_cast<int32_t>(size);
}

std::string ReadAll(const uint8_t* data, size_t size, uint32_t seed) {
    Sizes sizes{seed};
    Server server{data, size, &sizes};
    RemoteFileHandle handle{};
    handle.conversionState = CONVERSION_NORMAL;
    // Exactly sized heap blocks, so that the sanitizers see a byte written beyond them.
    std::vector<unsigned char> buffer(RECORD_BUFFER_SIZE);
    std::string lines;
    for (;;) {
        const int32_t count = sizes.Next();
        std::vector<unsigned char> out(static_cast<size_t>(count));
        const int32_t read = ReadRecords(&handle, buffer.data(), out.data(), count, Refill, &server);
        Check(read >= 0 && read <= count, "a read beyond its count");
        Check(handle.recordBytesLeft >= 0 &&
                  handle.recordReadPosition + handle.recordBytesLeft <= RECORD_BUFFER_SIZE,
              "a position outside the record buffer");
        if (read == 0) return lines;
        lines.append(out.begin(), out.begin() + read);
        // Every input byte gives at most two bytes of a line.
        Check(lines.size() <= 2 * size + 1, "more lines than the data can give");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const uint32_t seed = (static_cast<uint32_t>(data[0]) << 8 | data[1]) + 1;
    const std::string whole = ReadAll(data + 2, size - 2, 0);
    Check(ReadAll(data + 2, size - 2, seed) == whole, "other lines for other blocks and reads");
    return 0;
}
