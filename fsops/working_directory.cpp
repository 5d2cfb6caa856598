// The working directory: changing it (with the account a server may ask for on the way),
// and reporting it, from the connection's cache while no change has made that stale.
#include <string_view>

#include "fsops/path_operations.h"
#include "util/memory_guards.h"

namespace {

// Writes the text of a reply without its code columns into `out` (room for the whole reply
// and its NUL): from the fifth character of each line on, each line ended by its LF. The
// length written.
size_t CollectReplyText(const char* reply, char* out) {
    constexpr int kFirstTextPosition = 5;
    char* const start = out;
    int linePosition = 0;
    for (const char* p = reply; *p != '\0'; ++p) {
        if (linePosition < kFirstTextPosition) ++linePosition;
        if (linePosition == kFirstTextPosition) *out++ = *p;
        if (*p == '\n') linePosition = 0;
    }
    *out = '\0';
    return static_cast<size_t>(out - start);
}

// The directory between the double quote at `open` and its closing quote, where two
// quotes in a row stand for one quote of the name (servers double the quotes of a name so
// that it can hold them): undoubled in place. False when no quote closes it.
bool UndoubleQuotedDirectory(char* text, size_t size, size_t open, std::string_view* directory) {
    size_t written = open + 1;
    for (size_t read = open + 1; read < size; ++read) {
        if (text[read] == '"') {
            if (read + 1 >= size || text[read + 1] != '"') {
                *directory = std::string_view(text + open + 1, written - open - 1);
                return true;
            }
            ++read;
        }
        text[written++] = text[read];
    }
    return false;
}

// The directory a 257 reply names: between the first double quote and the next one that is
// not doubled, else between the first single quote and the next one, else everything
// before the first blank. False when a quote is left open or the text has neither quote
// nor blank. The text is writable: a doubled quote is made one in place.
bool FindDirectoryInReply(char* writable, size_t size, std::string_view* directory) {
    const std::string_view text(writable, size);
    if (size_t open = text.find('"'); open != std::string_view::npos) {
        return UndoubleQuotedDirectory(writable, size, open, directory);
    }
    if (size_t open = text.find('\''); open != std::string_view::npos) {
        size_t close = text.find('\'', open + 1);
        if (close == std::string_view::npos) return false;
        *directory = text.substr(open + 1, close - open - 1);
        return true;
    }
    size_t blank = text.find(' ');
    if (blank == std::string_view::npos) return false;
    *directory = text.substr(0, blank);
    return true;
}

// Asks the user for the account a server wants before it lets the connection into a
// directory, then sends it: the ACCT reply; FSE_CANCELLED when the user cancelled, and
// FSE_INVALID for an answer that cannot be sent as one command line, stand in its way.
Reply SendAccountForDirectory(FtpConnection* connection) {
    // A cancel sends nothing: no account the user never confirmed goes to the server.
    char answer[QUESTION_ANSWER_SIZE] = {};
    if (!AskUser(connection, Question::AccountForDirectory, answer)) {
        return Reply::Failed(FSE_CANCELLED);
    }
    char line[LARGE_COMMAND_BUFFER_SIZE];
    if (!FormatCommandLine(line, sizeof line, "ACCT %s\r\n", answer)) {
        return Reply::Failed(FSE_INVALID);
    }
    return SendCommand(connection, line);
}

}  // namespace

int32_t ChangeDirectory(FtpConnection* connection, const char* name, FsStateRecord* record) {
    DirectoryNameForServer directory(name, IsVmsHost(record));
    if (directory.get() == nullptr) return FSE_NO_MEMORY;
    char line[LARGE_COMMAND_BUFFER_SIZE];
    if (!FormatCommandLine(line, sizeof line, "CWD %s\r\n", directory.get())) return FSE_INVALID;

    if (IsVmsHost(record) && (connection->hostQuirks & QUIRK_LIST_BEFORE_CWD)) {
        int32_t probe = ListBeforeEntering(connection, directory.get(), record);
        if (probe < 0) return probe;
    }

    Reply reply = SendCommand(connection, line);
    if (reply.Is(ReplyClass::Intermediate)) reply = SendAccountForDirectory(connection);
    if (!reply.Is(ReplyClass::Complete)) return ClassifyFailedReply(connection, reply);
    connection->stateFlags &= ~STATE_DIRECTORY_KNOWN;
    return 2;
}

int32_t PrintWorkingDirectory(FtpConnection* connection, char* directory, int32_t size) {
    // What is reported is also what the cache must be able to give back later.
    const int32_t limit = size < WORKING_DIRECTORY_SIZE ? size : WORKING_DIRECTORY_SIZE;
    const int32_t cachedLength = lstrlenA(connection->cachedWorkingDirectory);
    if (connection->stateFlags & STATE_DIRECTORY_KNOWN) {
        if (cachedLength + 1 > limit) return FSE_DIRECTORY_TOO_LONG;
        OrrCopyStringN(directory, connection->cachedWorkingDirectory, cachedLength);
        return 0;
    }

    auto fail = [connection](int32_t error) {
        connection->cachedWorkingDirectory[0] = '\0';
        return error;
    };
    const Reply reply = SendWithXFallback(connection, "PWD\r\n", "XPWD\r\n");
    if (reply.error) return fail(reply.error);
    if (!reply.Is(ReplyClass::Complete)) return fail(FSE_NOT_SUPPORTED);

    // The directory is taken from the whole reply the connection keeps, not from a copy
    // cut at 255 characters, so that a long directory is reported as too long (or in full)
    // rather than as a reply that cannot be read because its closing quote was cut off.
    const char* replyText = connection->replyText != nullptr ? connection->replyText : "";
    ScratchBlock text(static_cast<uint32_t>(lstrlenA(replyText)) + 1);
    if (text.get() == nullptr) return fail(FSE_NO_MEMORY);
    const size_t collected = CollectReplyText(replyText, text.get());
    std::string_view found;
    if (!FindDirectoryInReply(text.get(), collected, &found)) return fail(FSE_NOT_SUPPORTED);
    if (static_cast<int32_t>(found.size()) + 1 > limit) return fail(FSE_DIRECTORY_TOO_LONG);

    OrrCopyBytes(found.data(), directory, static_cast<int32_t>(found.size()));
    directory[found.size()] = '\0';
    OrrCopyBytes(found.data(), connection->cachedWorkingDirectory,
                 static_cast<int32_t>(found.size()));
    connection->cachedWorkingDirectory[found.size()] = '\0';
    connection->stateFlags |= STATE_DIRECTORY_KNOWN;
    return 0;
}
