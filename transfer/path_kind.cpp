// Telling a remote directory from a remote file. Servers that report representations are
// asked with STAT; every other server is asked indirectly: a path the server lets the
// connection change into is a directory, anything else is taken for a file.
#include "connection/ftp_connection.h"
#include "fsops/path_operations.h"
#include "transfer/representation.h"
#include "util/memory_guards.h"

int32_t QueryPathKind(const char* path, TransferRepresentation* out, FsStateRecord* record,
                      bool restore) {
    FtpConnection* connection = record->connection;
    if (connection->stateFlags & STATE_STAT_REPORTS_REPRESENTATION) {
        return QueryRepresentationByStat(connection, path, out);
    }

    *out = TransferRepresentation{};
    out->recordKind = REPRESENTATION_RECORD_KIND;
    out->attributeFlags = REPRESENTATION_FILE;

    // The working directory saved before the probing change, to come back to.
    ScratchBlock saved(WORKING_DIRECTORY_SIZE);
    if (restore) {
        if (saved.get() == nullptr) return FSE_NO_MEMORY;
        int32_t known = PrintWorkingDirectory(connection, saved.get(), WORKING_DIRECTORY_SIZE);
        // Without a directory to come back to, the path is not tried at all: the host's
        // working directory must not move under it because it asked about a name.
        if (known == FSE_NOT_SUPPORTED) return 0;
        if (known < 0) return known;
    }

    // Whatever the refusal (no such directory, a file, no permission), the path is not one
    // the connection can enter, which is all a file means here.
    int32_t result = ChangeDirectory(connection, path, record);
    if (result < 0) return 0;

    out->attributeFlags = REPRESENTATION_DIRECTORY;
    if (restore) result = ChangeDirectory(connection, saved.get(), record);
    return result == FSE_NOT_SUPPORTED ? 0 : result;
}
