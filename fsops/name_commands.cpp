// Making and removing directories, deleting and renaming files: one command each (two for
// a rename), the server's refusal turned into an FsError by the reply classifier.
#include "fsops/path_operations.h"

int32_t MakeRemoteDirectory(FtpConnection* connection, const char* name, FsStateRecord* record) {
    // On VMS a new directory is always named in brackets, whatever quirks the server has.
    DirectoryNameForServer directory(name, IsVmsHost(record));
    if (directory.get() == nullptr) return FSE_NO_MEMORY;
    char line[COMMAND_BUFFER_SIZE];
    char xLine[COMMAND_BUFFER_SIZE];
    if (!FormatCommandLine(line, sizeof line, "MKD %s\r\n", directory.get()) ||
        !FormatCommandLine(xLine, sizeof xLine, "XMKD %s\r\n", directory.get())) {
        return FSE_INVALID;
    }
    const Reply reply = SendWithXFallback(connection, line, xLine);
    if (reply.Is(ReplyClass::Complete)) return 0;
    if (reply.error) return reply.error;
    // The host reads a refused make-directory as an invalid request unless the cause is one
    // the user can act on: a server without the command, a full disk.
    int32_t error = ClassifyFailedReply(connection, reply);
    if (error == FSE_NOT_SUPPORTED || error == FSE_NO_SPACE) return error;
    return FSE_INVALID;
}

int32_t RemoveRemoteDirectory(FtpConnection* connection, const char* name,
                              FsStateRecord* record) {
    // Only the VMS servers found to need it get the bracketed form; the others remove a
    // directory by its file name (SUBDIR.DIR;1).
    DirectoryNameForServer directory(
        name, IsVmsHost(record) && (connection->hostQuirks & QUIRK_BRACKETED_RMD));
    if (directory.get() == nullptr) return FSE_NO_MEMORY;
    char line[COMMAND_BUFFER_SIZE];
    char xLine[COMMAND_BUFFER_SIZE];
    if (!FormatCommandLine(line, sizeof line, "RMD %s\r\n", directory.get()) ||
        !FormatCommandLine(xLine, sizeof xLine, "XRMD %s\r\n", directory.get())) {
        return FSE_INVALID;
    }
    const Reply reply = SendWithXFallback(connection, line, xLine);
    if (reply.Is(ReplyClass::Complete)) return 2;
    return ClassifyFailedReply(connection, reply);
}

int32_t DeleteRemoteFile(FtpConnection* connection, const char* name) {
    // A file name is sent as the host gave it, on VMS too.
    char line[LARGE_COMMAND_BUFFER_SIZE];
    if (!FormatCommandLine(line, sizeof line, "DELE %s\r\n", name)) return FSE_INVALID;
    const Reply reply = SendCommand(connection, line);
    if (reply.Is(ReplyClass::Complete)) return 0;
    return ClassifyFailedReply(connection, reply);
}

int32_t RenameRemoteFile(FtpConnection* connection, const char* oldName, const char* newName) {
    // Both lines are checked before RNFR goes out, so that a new name that cannot be sent
    // never leaves the server waiting for an RNTO.
    char fromLine[COMMAND_BUFFER_SIZE];
    char toLine[COMMAND_BUFFER_SIZE];
    if (!FormatCommandLine(fromLine, sizeof fromLine, "RNFR %s\r\n", oldName) ||
        !FormatCommandLine(toLine, sizeof toLine, "RNTO %s\r\n", newName)) {
        return FSE_INVALID;
    }
    Reply reply = SendCommand(connection, fromLine);
    // A server that renames on RNFR alone has nothing left to ask.
    if (reply.Is(ReplyClass::Complete)) return 2;
    if (!reply.Is(ReplyClass::Intermediate)) return ClassifyFailedReply(connection, reply);

    reply = SendCommand(connection, toLine);
    if (reply.Is(ReplyClass::Complete)) return 2;
    return ClassifyFailedReply(connection, reply);
}
