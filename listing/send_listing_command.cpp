// Sending LIST or NLST over a fresh data connection, passive where the connection allows.
#include "listing/send_listing_command.h"

#include "connection/data_connection.h"

namespace {

// The reply code of a listing command that found nothing to list.
constexpr uint16_t kNothingToList = 550;

bool HoldsBlank(const char* text) {
    for (; *text != '\0'; ++text) {
        if (*text == ' ' || *text == '\t') return true;
    }
    return false;
}

void CloseSlot(SOCKET* slot) {
    if (*slot == INVALID_SOCKET) return;
    closesocket(*slot);
    *slot = INVALID_SOCKET;
}

}  // namespace

int32_t SendListingCommand(FtpConnection* connection, SOCKET* listeningSlot,
                           const char* word, const char* argument, SOCKET* dataSocket) {
    if (argument != nullptr && (*argument == '\0' || HoldsBlank(argument))) argument = nullptr;
    // A pattern too long for the command line is refused before any data connection is
    // opened for it: cut short, it would list something the caller did not ask for.
    if (!CommandLineFits(word, argument)) return FSE_INVALID;

    bool passive = (connection->stateFlags & STATE_PASSIVE_MODE) != 0;
    if (passive) {
        int32_t opened = OpenPassiveConnection(connection, listeningSlot);
        if (opened == FSE_NOT_FOUND) {
            connection->stateFlags &= ~STATE_PASSIVE_MODE;
            passive = false;
        } else if (opened < 0) {
            return opened;
        }
    }
    if (!passive) {
        int32_t opened = OpenListeningSocket(connection, listeningSlot);
        if (opened < 0) return opened;
    }

    char line[COMMAND_BUFFER_SIZE];
    if (argument != nullptr) {
        wsprintfA(line, "%s %s\r\n", word, argument);
    } else {
        wsprintfA(line, "%s\r\n", word);
    }
    const Reply reply = SendCommand(connection, line);
    if (reply.Is(ReplyClass::Preliminary)) {
        if (!passive) return AcceptDataConnection(connection, listeningSlot, dataSocket);
        *dataSocket = *listeningSlot;
        return 0;
    }

    CloseSlot(listeningSlot);
    // The passive connection just closed will deliver nothing: no completion reply is to
    // be awaited for it.
    if (passive) connection->stateFlags &= ~STATE_PASSIVE_CONNECTION_OPEN;
    if (reply.error) return reply.error;
    return reply.code == kNothingToList ? FSE_NOT_FOUND : FSE_UNEXPECTED_REPLY;
}
