// FS_State_Record_Initialize: forgets the file-type choice that the file type dialog
// remembered for the connection of a state record.
#include "connection/ftp_connection.h"

extern "C" TVFTP_EXPORT LONG WINAPI FS_State_Record_Initialize(HGLOBAL stateRecord) {
    LockedStateRecord record(stateRecord);
    FtpConnection* connection = record->connection;
    connection->textFormat = TEXT_FORMAT_INITIAL;
    connection->sameTypeForRemaining = 0;
    connection->lineEndConvention = record->hostType == HOST_UNIX ? LINE_END_UNIX : LINE_END_CRLF;
    return 0;
}
