// The logon exchange: USER, then PASS when the server asks for a password, then ACCT when
// it asks for an account. A refused user name or password brings up its prompt and the
// exchange starts again with the answer; a refused account brings up the account prompt
// and the whole exchange is repeated with the new account.
#include "connection/logon.h"


namespace {

// Asks for one of the logon texts; a confirmed answer replaces `text` (cut to its buffer).
bool AskFor(FtpConnection* connection, Question question, char* text) {
    char answer[QUESTION_ANSWER_SIZE] = {};
    if (!AskUser(connection, question, answer)) return false;
    lstrcpynA(text, answer, LOGON_TEXT_SIZE);
    return true;
}

int32_t SendUser(const char* user, FtpConnection* connection) {
    return SendFormattedCommand(user, "USER %s\r\n", connection);
}
int32_t SendPassword(const char* password, FtpConnection* connection) {
    return SendFormattedCommand(password, "PASS %s\r\n", connection);
}
int32_t SendAccount(const char* account, FtpConnection* connection) {
    return SendFormattedCommand(account, "ACCT %s\r\n", connection);
}

// Servers of these types want the account right after the password, unasked.
bool SendsAccountUnasked(uint8_t hostType) {
    return hostType == HOST_VM || hostType == HOST_AUTOMATIC;
}

}  // namespace

int32_t Logon(char* user, char* password, char* account, FtpConnection* connection,
              uint8_t hostType) {
    // Whether the user confirmed the last prompt shown.
    bool confirmed = true;
    int32_t replyClass;
    do {
        replyClass = SendUser(user, connection);
        if (replyClass == REPLY_INTERMEDIATE) {
            replyClass = SendPassword(password, connection);
            if (replyClass == REPLY_PERMANENT) {
                confirmed = AskFor(connection, Question::Password, password);
            } else if (account[0] != '\0' && SendsAccountUnasked(hostType)) {
                // The server may not have asked for it, so its answer decides nothing.
                SendAccount(account, connection);
                replyClass = REPLY_COMPLETE;
            }
        } else {
            if (replyClass == REPLY_BROKEN) return FSE_LOGON_BROKEN;
            if (replyClass == REPLY_COMPLETE) return 0;
            confirmed = AskFor(connection, Question::UserName, user);
            if (!confirmed) return FSE_USER_PROMPT_CANCELLED;
        }
    } while (replyClass == REPLY_PERMANENT && confirmed);

    if (replyClass == REPLY_INTERMEDIATE && confirmed) {
        for (;;) {
            replyClass = SendAccount(account, connection);
            if (replyClass != REPLY_COMPLETE && replyClass != REPLY_BROKEN) {
                confirmed = AskFor(connection, Question::Account, account);
                if (confirmed) {
                    if (SendUser(user, connection) == REPLY_BROKEN) return FSE_LOGON_BROKEN;
                    replyClass = SendPassword(password, connection);
                    if (replyClass == REPLY_BROKEN) return FSE_LOGON_BROKEN;
                }
            }
            if (replyClass == REPLY_COMPLETE) return 0;
            if (replyClass == REPLY_BROKEN || !confirmed) break;
        }
    }

    switch (replyClass) {
        case REPLY_PERMANENT: return FSE_LOGON_REFUSED;
        case REPLY_BROKEN: return FSE_LOGON_BROKEN;
        default: return 0;
    }
}
