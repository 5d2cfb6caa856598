// Writing a remote file through its handle: the host's bytes as they are in image type,
// as network text in ASCII type with file structure, with records marked by 0xFF escapes in
// ASCII type with record structure. A write returns once the data connection has taken all
// of it; the host's windows keep working while the server is slow to take it.
#include "connection/message_pump.h"
#include "connection/wait.h"
#include "transfer/file_handle.h"
#include "transfer/upload_rules.h"

namespace {

// Sends a piece whole on the handle's data connection (the output's socket), giving the
// owner window of the connection (the output's sink) its turn while the socket is full.
int32_t SendPiece(const CopyOutput* output, const char* bytes, int32_t count, CopyContext*) {
    const auto* connection = static_cast<const FtpConnection*>(output->sink);
    int32_t sent = 0;
    SocketWait wait(output->socket);
    return SendWhole(wait, output->socket, bytes, count, &sent, [connection] {
        YieldTick(connection->ownerWindow);
        return 0;
    });
}

struct WriteRule {
    TextRuleStep step;
    TextRuleFinish finish;  // null: nothing is ever held back
};

// The rule of the representation the connection is in. Record structure is the record
// rule of uploads: CR LF becomes 0xFF 0x01, a lone CR stays, data bytes 0xFF go as they
// are, and a CR that ends a buffer waits for the next one.
WriteRule WriteRuleOf(const FtpConnection* connection) {
    if (connection->currentType != TYPE_ASCII) return WriteRule{SendUnchanged, nullptr};
    if (connection->currentStructure == STRUCTURE_RECORD) {
        return WriteRule{UploadRecordText, FinishUploadRecordText};
    }
    // ASCII type, file structure: the server stores a CR only when a NUL or an LF follows
    // it (network text; a read drops the NUL again), so a CR that the host's next byte does
    // not show to be the start of CR LF goes as CR NUL. Unlike the upload, which reads DOS
    // text files, the handle leaves a Ctrl-Z alone.
    return WriteRule{WriteNetworkText, FinishUploadStreamText};
}

// Runs one step of the rule (or its finish, for null bytes) over the handle's data
// connection, the handle's conversion state carrying a held CR: 0, or FSE_FAILED when a
// send failed.
int32_t RunWriteRule(RemoteFileHandle* handle, FtpConnection* connection, const void* bytes,
                     int32_t count) {
    const WriteRule rule = WriteRuleOf(connection);
    const CopyOutput output{SendPiece, handle->dataSocket, HFILE_ERROR, connection};
    CopyContext context{};
    uint32_t carry =
        handle->conversionState == CONVERSION_CARRIAGE_RETURN ? TEXT_CARRY_SET : TEXT_CARRY_CLEAR;
    int32_t result = 0;
    if (bytes != nullptr) {
        result = rule.step(&output, &carry, bytes, count, &context);
    } else if (rule.finish != nullptr) {
        result = rule.finish(&output, &carry, &context);
    }
    if (result >= 0) result = FlushOutput(&output, &context);
    handle->conversionState = carry == TEXT_CARRY_SET ? CONVERSION_CARRIAGE_RETURN
                                                      : CONVERSION_NORMAL;
    return result < 0 ? FSE_FAILED : 0;
}

// A CR held back at the end of the buffer counts as taken: the handle owns it now and
// sends it with the next write or the close, so the host must not write it again.
int32_t WriteData(RemoteFileHandle* handle, FtpConnection* connection, const char* buffer,
                  int32_t given) {
    const int32_t sent = RunWriteRule(handle, connection, buffer, given);
    return sent < 0 ? sent : given;
}

}  // namespace

int32_t FinishFileWrite(RemoteFileHandle* handle, FtpConnection* connection) {
    return RunWriteRule(handle, connection, nullptr, 0);
}

extern "C" {

LONG WINAPI FTP_File_Write(HostHandleBlock* file, LPCSTR buffer, LONG count) {
    return RunFileCall(file, buffer, count, WriteData);
}

}  // extern "C"
