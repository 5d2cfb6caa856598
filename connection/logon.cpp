// The logon exchange: USER, then PASS when the server asks for a password, then ACCT when
// it asks for an account. A refused user name or password brings up its prompt and the
// exchange starts again with the answer; a refused account brings up the account prompt
// and the whole exchange is repeated with the new account.
//
// Only a reply of class 2 lets the user in. Every other way a reply can end the exchange
// is an error of its own: a server that answers a logon command with 421, 4xx or a reply
// it has no code for has not logged the user on, and taking such an end for success would
// leave the host working on a connection the server does not serve.
#include "connection/logon.h"


namespace {

// The server is closing the control connection: nothing more goes over it.
constexpr uint16_t kServiceClosing = 421;
// The range of reply codes a server can mean; anything else is no reply to a command.
constexpr uint16_t kLowestReplyCode = 100;
constexpr uint16_t kHighestReplyCode = 599;
// Preliminary replies read past before the final one. A server that sends nothing but
// preliminary replies would otherwise hold the open for as long as it likes.
constexpr int kPreliminaryRepliesRead = 8;

// Asks for one of the logon texts; a confirmed answer replaces `text` (cut to its buffer).
bool AskFor(FtpConnection* connection, Question question, char* text) {
    char answer[QUESTION_ANSWER_SIZE] = {};
    if (!AskUser(connection, question, answer)) return false;
    lstrcpynA(text, answer, LOGON_TEXT_SIZE);
    return true;
}

// Sends one logon command and reads past its preliminary replies (1xx) to the final one,
// which alone says how the command went; the next command's reply stays in step.
Reply SendLogonCommand(const char* format, const char* text, FtpConnection* connection) {
    Reply reply = SendFormattedCommand(text, format, connection);
    for (int read = 0; read < kPreliminaryRepliesRead && reply.Is(ReplyClass::Preliminary);
         ++read) {
        reply = ReadReply(connection);
    }
    return reply;
}

Reply SendUser(const char* user, FtpConnection* connection) {
    return SendLogonCommand("USER %s\r\n", user, connection);
}
Reply SendPassword(const char* password, FtpConnection* connection) {
    return SendLogonCommand("PASS %s\r\n", password, connection);
}
Reply SendAccount(const char* account, FtpConnection* connection) {
    return SendLogonCommand("ACCT %s\r\n", account, connection);
}

// Servers of these types want the account right after the password, unasked.
bool SendsAccountUnasked(uint8_t hostType) {
    return hostType == HOST_VM || hostType == HOST_AUTOMATIC;
}

// The end a reply puts to the logon whichever command it answers, or 0 when the reply is
// one the logon's own steps decide on (classes 2, 3 and 5): FSE_LOGON_BROKEN when the
// connection is gone or the server closes it (421); FSE_LOGON_REFUSED for a transient
// refusal (4xx), which no prompt can mend; FSE_UNEXPECTED_REPLY for a code outside 100 to
// 599 (a line starting with a 6 included, which the reader reports as a broken connection
// but with its code) and for a server that never came to a final reply; and the failure
// of the wait itself (a time-out, a cancel) as it is.
int32_t LogonEnd(const Reply& reply) {
    const bool readWithCode = reply.error == 0 || (reply.broken() && reply.code != 0);
    if (!readWithCode) {
        const bool lost = reply.broken() || reply.error == FSE_STREAM_CLOSED;
        return lost ? FSE_LOGON_BROKEN : reply.error;
    }
    if (reply.code < kLowestReplyCode || reply.code > kHighestReplyCode) {
        return FSE_UNEXPECTED_REPLY;
    }
    if (reply.code == kServiceClosing) return FSE_LOGON_BROKEN;
    if (reply.kind == ReplyClass::Transient) return FSE_LOGON_REFUSED;
    if (reply.kind == ReplyClass::Preliminary) return FSE_UNEXPECTED_REPLY;
    return 0;
}

// The account loop: ACCT with the account; a refusal (or a further question) brings up
// the account prompt and, confirmed, USER and PASS again before the new account goes out.
int32_t SendAccountUntilDecided(char* user, char* password, char* account,
                                FtpConnection* connection) {
    for (;;) {
        Reply reply = SendAccount(account, connection);
        if (const int32_t end = LogonEnd(reply)) return end;
        if (reply.Is(ReplyClass::Complete)) return 0;
        if (!AskFor(connection, Question::Account, account)) return FSE_LOGON_REFUSED;
        if (const int32_t end = LogonEnd(SendUser(user, connection))) return end;
        reply = SendPassword(password, connection);
        if (const int32_t end = LogonEnd(reply)) return end;
        if (reply.Is(ReplyClass::Complete)) return 0;
    }
}

}  // namespace

int32_t Logon(char* user, char* password, char* account, FtpConnection* connection,
              uint8_t hostType) {
    for (;;) {
        Reply reply = SendUser(user, connection);
        if (const int32_t end = LogonEnd(reply)) return end;
        if (reply.Is(ReplyClass::Complete)) return 0;
        if (reply.Is(ReplyClass::Permanent)) {
            if (!AskFor(connection, Question::UserName, user)) return FSE_USER_PROMPT_CANCELLED;
            continue;
        }

        reply = SendPassword(password, connection);
        if (const int32_t end = LogonEnd(reply)) return end;
        if (reply.Is(ReplyClass::Permanent)) {
            if (!AskFor(connection, Question::Password, password)) return FSE_LOGON_REFUSED;
            continue;
        }
        if (reply.Is(ReplyClass::Intermediate)) {
            return SendAccountUntilDecided(user, password, account, connection);
        }
        if (account[0] != '\0' && SendsAccountUnasked(hostType)) {
            // The server let the user in without asking for the account, so its answer to
            // it decides nothing, unless the server ends the connection over it.
            const int32_t end = LogonEnd(SendAccount(account, connection));
            return end == FSE_LOGON_REFUSED ? 0 : end;
        }
        return 0;
    }
}
