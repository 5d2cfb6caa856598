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

}  // namespace

int32_t SendListingCommand(FtpConnection* connection, const char* word, const char* argument,
                           DataConnection* opened) {
    if (argument != nullptr && (*argument == '\0' || HoldsBlank(argument))) argument = nullptr;
    // A pattern too long for the command line is refused before any data connection is
    // opened for it: cut short, it would list something the caller did not ask for.
    if (!CommandLineFits(word, argument)) return FSE_INVALID;

    const bool passive = (connection->stateFlags & STATE_PASSIVE_MODE) != 0;
    opened->role = passive ? DataRole::Passive : DataRole::Listening;
    if (passive) {
        int32_t connected = OpenPassiveConnection(connection, &opened->data);
        if (connected == FSE_NOT_FOUND) {
            connection->stateFlags &= ~STATE_PASSIVE_MODE;
            opened->role = DataRole::Listening;
        } else if (connected < 0) {
            return connected;
        }
    }
    if (opened->role == DataRole::Listening) {
        int32_t listening = OpenListeningSocket(connection, &opened->listening);
        if (listening < 0) return listening;
    }

    char line[COMMAND_BUFFER_SIZE];
    if (argument != nullptr) {
        wsprintfA(line, "%s %s\r\n", word, argument);
    } else {
        wsprintfA(line, "%s\r\n", word);
    }
    const Reply reply = SendCommand(connection, line);
    if (reply.Is(ReplyClass::Preliminary)) {
        if (opened->role == DataRole::Passive) return 0;
        return AcceptDataConnection(connection, &opened->listening, &opened->data);
    }

    CloseDataConnection(opened);
    // The passive connection just closed will deliver nothing: no completion reply is to
    // be awaited for it.
    if (opened->role == DataRole::Passive) {
        connection->stateFlags &= ~STATE_PASSIVE_CONNECTION_OPEN;
    }
    if (reply.error) return reply.error;
    return reply.code == kNothingToList ? FSE_NOT_FOUND : FSE_UNEXPECTED_REPLY;
}
