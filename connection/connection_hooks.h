// What the layers above install on a control connection when they open it: where each
// protocol line goes (the protocol window), how the user is asked for what the logon, the
// system detection and a change of directory need, and the listing that some servers want
// before a directory is entered, and how a fetched file's text is to be taken when its
// first block does not tell. The connection and the path operations know these only as
// this small table, so they never reach up to the windows, dialogs and listings that serve
// them. A connection without hooks logs nothing, every question counts as cancelled and no
// directory is listed first.
#pragma once

#include <cstdint>

struct FtpConnection;
struct FsStateRecord;

enum class ProtocolDirection { Request, Reply };

// The texts the connection may ask the user for.
enum class Question { UserName, Password, Account, AccountForDirectory };

// The longest answer to a question: at most 319 characters and a NUL.
constexpr int QUESTION_ANSWER_SIZE = 320;

struct ConnectionHooks {
    // Every command line sent (Request: the line with its CR LF) and every reply read
    // (Reply: the whole reply text, lines ended by LF).
    void (*protocolLine)(FtpConnection* connection, const char* text,
                         ProtocolDirection direction);
    // True when the user confirmed, with the answer in `answer` (QUESTION_ANSWER_SIZE
    // bytes); a cancelled question leaves `answer` as it was.
    bool (*ask)(FtpConnection* connection, Question question, char* answer);
    // The system the user says the server runs: 2 to 13 for a system chosen, 0 for OK
    // without one, -1 for Cancel.
    int32_t (*askRemoteSystem)(FtpConnection* connection);
    // Lists the directory `name` with NLST and throws the names away, as some VMS servers
    // need before they accept a CWD into it: 0, or an FsError.
    int32_t (*listBeforeEntering)(FtpConnection* connection, const char* name,
                                  FsStateRecord* record);
    // Asks the user how the file `fileName` is to be fetched (text or binary, its line
    // ends, whether the choice holds for the remaining files) and sets the connection's
    // TextFormat, LineEndConvention and same-type flag: 1 for Transfer, FSE_SKIP_FILE,
    // FSE_STOPPED, or the failure of a question that could not be shown.
    int32_t (*askFileType)(FtpConnection* connection, const char* fileName,
                           FsStateRecord* record);
};

// The hooks of a connection, or a quiet "cancelled" where it has none.
void ReportProtocolLine(FtpConnection* connection, const char* text, ProtocolDirection direction);
bool AskUser(FtpConnection* connection, Question question, char* answer);
int32_t AskRemoteSystem(FtpConnection* connection);
int32_t ListBeforeEntering(FtpConnection* connection, const char* name, FsStateRecord* record);
int32_t AskFileType(FtpConnection* connection, const char* fileName, FsStateRecord* record);
