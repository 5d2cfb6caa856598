// Fuzz target for the receive of file information: the data of one name's listing sent
// whole over a local socket pair into the growing data block, optionally converted by a
// stand-in code-set library, with the block's largest size optionally lowered so that it
// runs out. The block must hold exactly the data received (zero-filled behind it, never
// more than fits, always NUL-terminated), and the user is told once when it ran out.
//
// Input: byte 0 bits 0-2 the conversion (Conversion), bits 3-5 the largest block in steps
// of 2048 bytes (0: no limit), bits 6-7 that many times 1000 bytes more; the rest is the data.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

#include "listing/file_info_receive.h"
#include "platform/posix/hooks.h"
#include "tests/fuzz/fuzz_session.h"

using namespace tvfuzz;

namespace {

int gBoxes = 0;

int CountBox(HWND, LPCSTR, LPCSTR, UINT) {
    ++gBoxes;
    return IDOK;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    InputReader input(data, size);
    const uint8_t header = input.Byte();
    const std::string_view sent = input.Rest(kMaxDataBytes);
    const uint32_t steps = (header >> 3) & 7;
    const uint32_t largest = steps == 0 ? 0x7FFFFFFF : steps * FILE_INFO_BUFFER_STEP + (header >> 6) * 1000u;

    NoBlockLeftBehind blocks;
    IncomingConversion conversion(ConversionFrom(header & 7));
    ServerPeer server(sent);
    FtpConnection connection{};
    const SOCKET socket = server.TakeModuleEnd();
    const bool converting = (header & 7) != 0;
    const auto block = converting ? std::make_unique<char[]>(FILE_INFO_CONVERSION_BLOCK_SIZE) : nullptr;
    gFileInfoLargestBuffer = largest;
    gBoxes = 0;
    const TvMessageBoxHook previous = TvSetMessageBoxHook(CountBox);
    {
        FileInfoBuffer buffer;
        TVFUZZ_CHECK(buffer.ok());
        const int32_t result = ReceiveFileInfo(&connection, socket, &buffer, block.get());
        TVFUZZ_CHECK(result == 0 && buffer.ok() && gBoxes <= 1);
        const std::string_view kept(buffer.data(), buffer.size());
        TVFUZZ_CHECK(kept.size() % FILE_INFO_BUFFER_STEP == 0 && kept.size() <= largest);
        TVFUZZ_CHECK(kept.back() == '\0');
        if (conversion.Predictable()) {
            // The data as far as it fitted, then nothing but zeros; all of it unless the user
            // was told. (While conversion runs the block may run out just as the data ends.)
            size_t same = 0;
            while (same < sent.size() && same + 1 < kept.size() && kept[same] == sent[same]) ++same;
            TVFUZZ_CHECK(kept.find_first_not_of('\0', same) == kept.npos);
            TVFUZZ_CHECK(gBoxes == 1 ? converting || same < sent.size() : same == sent.size());
        }
    }
    TvSetMessageBoxHook(previous);
    gFileInfoLargestBuffer = 0x7FFFFFFF;
    closesocket(socket);
    return 0;
}
