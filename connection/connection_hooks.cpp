// The calls through a connection's hooks, for connections that have them.
#include "connection/connection_hooks.h"

#include "connection/ftp_connection.h"

void ReportProtocolLine(FtpConnection* connection, const char* text, ProtocolDirection direction) {
    if (connection->hooks != nullptr && connection->hooks->protocolLine != nullptr) {
        connection->hooks->protocolLine(connection, text, direction);
    }
}

bool AskUser(FtpConnection* connection, Question question, char* answer) {
    if (connection->hooks == nullptr || connection->hooks->ask == nullptr) return false;
    return connection->hooks->ask(connection, question, answer);
}

int32_t AskRemoteSystem(FtpConnection* connection) {
    if (connection->hooks == nullptr || connection->hooks->askRemoteSystem == nullptr) return -1;
    return connection->hooks->askRemoteSystem(connection);
}

int32_t ListBeforeEntering(FtpConnection* connection, const char* name, FsStateRecord* record) {
    if (connection->hooks == nullptr || connection->hooks->listBeforeEntering == nullptr) return 0;
    return connection->hooks->listBeforeEntering(connection, name, record);
}

int32_t AskFileType(FtpConnection* connection, const char* fileName, FsStateRecord* record) {
    if (connection->hooks == nullptr || connection->hooks->askFileType == nullptr)
        return FSE_STOPPED;
    return connection->hooks->askFileType(connection, fileName, record);
}
