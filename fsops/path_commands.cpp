// Formatting and sending the command lines of the path operations: a line that would not
// fit its buffer, or that the argument would split in two, is refused before anything goes
// out; MKD, RMD and PWD fall back once to their X forms on servers that only know those.
#include "fsops/path_operations.h"

namespace {

// The reply codes of a server that does not know the command at all.
constexpr uint16_t kUnknownCommandCode = 500;
constexpr uint16_t kNotImplementedCode = 502;

}  // namespace

// A name is never cut to fit: a cut name is another name, and MKD, RMD or DELE on it
// would act on something the user did not choose. So a line that would not fit is refused
// as an invalid request (FSE_INVALID at the caller) and nothing is sent, which also keeps
// commands and replies in step. A CR or LF inside the argument would end the line early and
// have the server run the rest as a command of its own.
bool FormatCommandLine(char* line, int32_t size, const char* format, const char* argument) {
    const int32_t formatCharacters = lstrlenA(format) - 2;  // without the %s
    const int32_t argumentLength = lstrlenA(argument);
    if (formatCharacters + argumentLength + 1 > size) return false;
    for (int32_t i = 0; i < argumentLength; ++i) {
        if (argument[i] == '\r' || argument[i] == '\n') return false;
    }
    wsprintfA(line, format, argument);
    return true;
}

Reply SendWithXFallback(FtpConnection* connection, const char* line, const char* xLine) {
    const Reply reply = SendCommand(connection, line);
    if (reply.Is(ReplyClass::Permanent) &&
        (reply.code == kUnknownCommandCode || reply.code == kNotImplementedCode)) {
        return SendCommand(connection, xLine);
    }
    return reply;
}

Reply SendWithXFallback(FtpConnection* connection, const char* format, const char* xFormat,
                        const char* name) {
    char line[COMMAND_BUFFER_SIZE];
    char xLine[COMMAND_BUFFER_SIZE];
    if (!FormatCommandLine(line, sizeof line, format, name) ||
        !FormatCommandLine(xLine, sizeof xLine, xFormat, name)) {
        return Reply::Failed(FSE_INVALID);
    }
    return SendWithXFallback(connection, line, xLine);
}
