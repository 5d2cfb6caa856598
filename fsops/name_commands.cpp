// Making and removing directories, deleting and renaming files: one command each (two for
// a rename), the server's refusal turned into an FsError by the reply classifier.
#include "fsops/path_operations.h"

int32_t MakeRemoteDirectory(FtpConnection* connection, const char* name, FsStateRecord* record) {
    // On VMS a new directory is always named in brackets, whatever quirks the server has.
    DirectoryNameForServer directory(name, IsVmsHost(record));
    if (directory.get() == nullptr) return FSE_NO_MEMORY;
    const Reply reply =
        SendWithXFallback(connection, "MKD %s\r\n", "XMKD %s\r\n", directory.get());
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
    const Reply reply =
        SendWithXFallback(connection, "RMD %s\r\n", "XRMD %s\r\n", directory.get());
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

RenameReplies ExchangeRename(FtpConnection* connection, const char* oldName,
                             const char* newName, bool (*sendTo)(const Reply& from)) {
    // Both lines are checked before RNFR goes out, so that a new name that cannot be sent
    // never leaves the server waiting for an RNTO.
    char fromLine[COMMAND_BUFFER_SIZE];
    char toLine[COMMAND_BUFFER_SIZE];
    if (!FormatCommandLine(fromLine, sizeof fromLine, "RNFR %s\r\n", oldName) ||
        !FormatCommandLine(toLine, sizeof toLine, "RNTO %s\r\n", newName)) {
        return RenameReplies{Reply::Failed(FSE_INVALID), Reply{}};
    }
    RenameReplies replies{SendCommand(connection, fromLine), Reply{}};
    if (sendTo(replies.from)) replies.to = SendCommand(connection, toLine);
    return replies;
}

int32_t RenameRemoteFile(FtpConnection* connection, const char* oldName, const char* newName) {
    // RNTO goes out only when the server asks for it; one that renames on RNFR alone has
    // nothing left to ask.
    const RenameReplies replies = ExchangeRename(
        connection, oldName, newName,
        [](const Reply& from) { return from.Is(ReplyClass::Intermediate); });
    if (replies.from.Is(ReplyClass::Complete) || replies.to.Is(ReplyClass::Complete)) return 2;
    return ClassifyFailedReply(connection, replies.from.Is(ReplyClass::Intermediate)
                                               ? replies.to
                                               : replies.from);
}
