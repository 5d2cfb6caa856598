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

Reply SendUser(const char* user, FtpConnection* connection) {
    return SendFormattedCommand(user, "USER %s\r\n", connection);
}
Reply SendPassword(const char* password, FtpConnection* connection) {
    return SendFormattedCommand(password, "PASS %s\r\n", connection);
}
Reply SendAccount(const char* account, FtpConnection* connection) {
    return SendFormattedCommand(account, "ACCT %s\r\n", connection);
}

// Servers of these types want the account right after the password, unasked.
bool SendsAccountUnasked(uint8_t hostType) {
    return hostType == HOST_VM || hostType == HOST_AUTOMATIC;
}

// A reply that never came: the host's cancel, or -60 for a connection that broke or
// timed out (the stream is then closed). 0 for a reply that was read.
int32_t NoReply(const Reply& reply) {
    if (reply.error == FSE_CANCELLED) return FSE_CANCELLED;
    return reply.error != 0 ? FSE_LOGON_BROKEN : 0;
}

// The result of a logon by the reply that ended it: a refusal, a broken connection, or
// anything else, which decides nothing and counts as logged on.
int32_t LogonResult(const Reply& last) {
    if (const int32_t missing = NoReply(last); missing < 0) return missing;
    if (last.Is(ReplyClass::Permanent)) return FSE_LOGON_REFUSED;
    if (last.broken()) return FSE_LOGON_BROKEN;
    return 0;
}

}  // namespace

int32_t Logon(char* user, char* password, char* account, FtpConnection* connection,
              uint8_t hostType) {
    // Whether the user confirmed the last prompt shown.
    bool confirmed = true;
    Reply reply;
    do {
        reply = SendUser(user, connection);
        if (reply.Is(ReplyClass::Intermediate)) {
            reply = SendPassword(password, connection);
            if (reply.Is(ReplyClass::Permanent)) {
                confirmed = AskFor(connection, Question::Password, password);
            } else if (account[0] != '\0' && SendsAccountUnasked(hostType)) {
                // The server may not have asked for it, so its answer decides nothing.
                SendAccount(account, connection);
                return 0;
            }
        } else {
            if (const int32_t missing = NoReply(reply); missing < 0) return missing;
            if (reply.Is(ReplyClass::Complete)) return 0;
            confirmed = AskFor(connection, Question::UserName, user);
            if (!confirmed) return FSE_USER_PROMPT_CANCELLED;
        }
    } while (reply.Is(ReplyClass::Permanent) && confirmed);

    if (reply.Is(ReplyClass::Intermediate) && confirmed) {
        for (;;) {
            reply = SendAccount(account, connection);
            if (NoReply(reply) < 0) break;
            if (!reply.Is(ReplyClass::Complete) && !reply.broken()) {
                confirmed = AskFor(connection, Question::Account, account);
                if (confirmed) {
                    if (SendUser(user, connection).broken()) return FSE_LOGON_BROKEN;
                    reply = SendPassword(password, connection);
                }
            }
            if (reply.Is(ReplyClass::Complete)) return 0;
            if (reply.broken() || !confirmed) break;
        }
    }
    return LogonResult(reply);
}
