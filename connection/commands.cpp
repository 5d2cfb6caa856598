// Sending commands on the control connection: a complete line and its reply, a line whose
// reply is read later, and a line formatted around one argument.
#include "connection/ftp_connection.h"

Reply SendCommand(FtpConnection* connection, const char* line, char* text) {
    // A failed send is not reported here: the reply read then fails or returns whatever
    // the server says.
    ControlStreamSend(&connection->stream, line, lstrlenA(line));
    ReportProtocolLine(connection, line, ProtocolDirection::Request);
    // A long reply grew the block; every command starts again from the usual size.
    if (connection->replyBufferSize > REPLY_BLOCK_SIZE) {
        ResizeReplyBlock(connection, REPLY_BLOCK_SIZE);
    }
    return ReadReply(connection, text);
}

int32_t SendCommandNoReply(FtpConnection* connection, const char* line) {
    ControlStreamSend(&connection->stream, line, lstrlenA(line));
    ReportProtocolLine(connection, line, ProtocolDirection::Request);
    return 1;
}

Reply SendFormattedCommand(const char* argument, const char* format, FtpConnection* connection) {
    // The format holds one %s and its CR LF. The line must fit the 320-byte buffer, so an
    // argument too long for it is cut to the room left by the format's own characters:
    // the server still gets one complete line ending in CR LF, answers it (a cut name or
    // password is simply refused) and the replies stay in step, whereas a line without
    // its end would leave the server waiting and a longer line would overrun the buffer.
    int32_t formatCharacters = lstrlenA(format) - 2;
    int32_t room = COMMAND_BUFFER_SIZE - 1 - formatCharacters;
    if (room < 0) return Reply::Failed(FSE_INVALID);
    char cutArgument[COMMAND_BUFFER_SIZE];
    lstrcpynA(cutArgument, argument, room + 1);

    char line[COMMAND_BUFFER_SIZE];
    wsprintfA(line, format, cutArgument);
    return SendCommand(connection, line);
}
