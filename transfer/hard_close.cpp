// Resetting a data connection, and draining it where a reset cannot be asked for.
#include "transfer/hard_close.h"

#include "connection/socket_guard.h"
#include "transfer/data_blocks.h"

namespace {

// Linger on with a time of 0: the close sends a reset and drops what is still queued.
bool SetResetOnClose(SOCKET socket) {
    linger reset{};
    reset.l_onoff = 1;
    reset.l_linger = 0;
    return setsockopt(socket, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&reset),
                      sizeof reset) == 0;
}

}  // namespace

int32_t DrainDataConnection(SOCKET data, CopyContext* context) {
    // FillInput never breaks a connection off itself: the copy that stops owns the socket
    // and resets it, once. So nothing here can start another reset (and with it another
    // drain) of the same socket; a stop request merely ends one fill, and the next fill
    // goes on receiving.
    for (;;) {
        const int32_t filled = FillInput(data, context);
        if (filled == 0) return 0;
        if (filled < 0 && filled != FSE_STOPPED) return filled;
    }
}

void HardCloseData(SOCKET* data, CopyContext* context) {
    if (*data != INVALID_SOCKET && !SetResetOnClose(*data)) DrainDataConnection(*data, context);
    CloseSlot(data);
}

void ResetDataConnection(SOCKET* data) {
    if (*data != INVALID_SOCKET) SetResetOnClose(*data);
    CloseSlot(data);
}
