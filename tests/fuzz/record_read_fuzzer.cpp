// Fuzz target for reads of record-structured text (FTP_File_Read with record structure):
// arbitrary server bytes in arbitrary blocks, read in arbitrary sizes. No read may go past
// its count or the record buffer, and the lines must be the same however both are cut.
// Input: two bytes that seed the block and read sizes, then the server's bytes.
#include <cstdint>
#include <string>
#include <vector>

#include "tests/fuzz/fuzz_session.h"
#include "transfer/record_decoder.h"

namespace {

struct Server {
    const uint8_t* data;
    size_t left;
    uint32_t seed;  // 0: whole blocks and reads; else sizes of 1 to 2048, most of them short
    int32_t NextSize() {
        if (seed == 0) return RECORD_BUFFER_SIZE;
        seed = seed * 1103515245u + 12345u;
        return 1 + static_cast<int32_t>((seed >> 16) % ((seed >> 16) % 4 == 0 ? RECORD_BUFFER_SIZE : 8));
    }
};

int32_t Refill(void* source, unsigned char* buffer) {
    auto* server = static_cast<Server*>(source);
    const size_t size = std::min(static_cast<size_t>(server->NextSize()), server->left);
    std::copy(server->data, server->data + size, buffer);
    server->data += size;
    server->left -= size;
    return static_cast<int32_t>(size);
}

std::string ReadAll(Server server) {
    RemoteFileHandle handle{};
    handle.conversionState = CONVERSION_NORMAL;
    // Exactly sized heap blocks, so that the sanitizers see any byte beyond them touched.
    std::vector<unsigned char> buffer(RECORD_BUFFER_SIZE);
    std::string lines;
    for (int32_t read = 1; read > 0;) {
        std::vector<unsigned char> out(static_cast<size_t>(server.NextSize()));
        read = ReadRecords(&handle, buffer.data(), out.data(), static_cast<int32_t>(out.size()), Refill, &server);
        TVFUZZ_CHECK(read >= 0 && read <= static_cast<int32_t>(out.size()));
        lines.append(out.begin(), out.begin() + read);
    }
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const uint32_t seed = (static_cast<uint32_t>(data[0]) << 8 | data[1]) + 1;
    const std::string whole = ReadAll(Server{data + 2, size - 2, 0});
    TVFUZZ_CHECK(whole.size() <= size);
    TVFUZZ_CHECK(ReadAll(Server{data + 2, size - 2, seed}) == whole);  // the same lines for other cuts
    return 0;
}
