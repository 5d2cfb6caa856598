// The hand-off of requests and replies from the control connection to the protocol window.
#include "ui/protocol_log.h"

#include "driver/ftp_connection.h"

void HandToProtocolWindow(FtpConnection* connection, const char* text,
                          ProtocolDirection direction) {
    if (connection->protocolWindow == nullptr) return;
    // The protocol window decides by its "Include" check boxes whether to add the text,
    // adds it line by line and then pumps its own messages; its log operations are called
    // from here once the window exists in the module.
    (void)text;
    (void)direction;
}
