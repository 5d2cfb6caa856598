// Closing and interrupting a connection, and the blocking hook through which the host can
// cancel a name lookup or connect of connection open.
#include "connection/close.h"

#include "connection/ftp_connection.h"
#include "records/module_state.h"
#include "util/orr.h"

void CloseConnection(FsStateRecord* record) {
    FtpConnection* connection = record->connection;
    if (connection == nullptr) return;
    SendCommand(connection, "QUIT\r\n");
    ControlStreamClose(&connection->stream);
    OrrFree(connection->greeting);
    connection->greeting = nullptr;
    OrrFree(connection->replyText);
    connection->replyText = nullptr;
    connection->replyBufferSize = 0;
    // The window's own destroy handling clears its handle in the connection, which must
    // therefore still exist at this point.
    if (connection->protocolWindow != nullptr && IsWindow(connection->protocolWindow)) {
        DestroyWindow(connection->protocolWindow);
    }
    OrrFree(connection);
    record->connection = nullptr;
}

extern "C" TVFTP_EXPORT LONG WINAPI FTP_FS_Close(FsStateRecord* record) {
    CloseConnection(record);
    return 0;
}

extern "C" TVFTP_EXPORT LONG WINAPI FTP_Abort(FsStateRecord* record) {
    FtpConnection* connection = record->connection;
    // The data connection stays as it is: the transfer's own loop sees it end.
    ControlStreamSignal(&connection->stream, SIGNAL_INTERRUPT, nullptr);
    SendCommand(connection, "ABOR\r\n");
    return 0;
}

extern "C" TVFTP_EXPORT INT_PTR WINAPI LocalBlockingHook() {
    // The cancelled call fails with WSAEINTR, which connection open reports as cancelled.
    if (gModule.idleCallback != nullptr && gModule.idleCallback() == -1) {
        WSACancelBlockingCall();
    }
    return 0;
}
