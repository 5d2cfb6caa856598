// Reading one reply from the control connection: the multi-line rule, the reply text kept
// in the connection's growing reply-text block, the caller's optional 255-character copy
// without the code columns, and the reply's class and code.
#include "connection/wait.h"
#include "connection/ftp_connection.h"
#include "connection/message_pump.h"

namespace {

constexpr int kTextLimit = REPLY_TEXT_BUFFER_SIZE - 1;
// Only the first five positions of a line matter: three code digits, the separator, text.
constexpr int kLinePositionsCounted = 5;

// The reply text of the reply being read, in the connection's block.
class ReplyTextBlock {
public:
    explicit ReplyTextBlock(FtpConnection* connection) : connection_(connection) {}

    // Stores one character, growing the block by 128 bytes when it is full. When the block
    // cannot grow (memory is short, or the block reached the largest size its 16-bit size
    // field can describe) the rest of the reply is read and parsed as usual but no longer
    // stored: the block keeps the reply's beginning, the connection stays in step with the
    // server, and the class and code still come from the reply's last line.
    void Store(char character) {
        while (!full_ && position_ + 1 >= Size()) {
            if (!ResizeReplyBlock(connection_, Size() + REPLY_BLOCK_GROWTH)) full_ = true;
        }
        if (connection_->replyText != nullptr && position_ + 1 < Size()) {
            connection_->replyText[position_++] = character;
        }
    }

    // NUL-terminates the block; the position never passes its last byte, but a command sent
    // by a message handled while the reply was awaited may have shrunk the block since.
    void Terminate() {
        if (connection_->replyText == nullptr || Size() == 0) return;
        uint32_t end = position_ < Size() ? position_ : Size() - 1;
        connection_->replyText[end] = '\0';
    }

private:
    uint32_t Size() const {
        return connection_->replyText == nullptr ? 0 : connection_->replyBufferSize;
    }

    FtpConnection* connection_;
    uint32_t position_ = 0;
    bool full_ = false;
};

// A complete reply from the first character of its last line and its code. Replies have
// the classes 1 to 5; 6 is the class that stands for a broken connection, so a last line
// that starts with a 6 reads as one. Any other first character gives a reply of no class.
Reply CompleteReply(unsigned char firstCharacter, uint16_t code) {
    if (firstCharacter == '6') return Reply{ReplyClass::Unknown, code, FSE_CONNECTION_BROKEN};
    if (firstCharacter < '1' || firstCharacter > '5') return Reply{ReplyClass::Unknown, code, 0};
    return Reply{static_cast<ReplyClass>(firstCharacter - '0'), code, 0};
}

}  // namespace

Reply ReadReply(FtpConnection* connection, char* text) {
    ControlStream* stream = &connection->stream;
    if (stream->socket == INVALID_SOCKET) return Reply::Failed(FSE_STREAM_CLOSED);

    ReplyTextBlock block(connection);
    int32_t copied = 0;
    auto finishTexts = [&] {
        if (text != nullptr) text[copied] = '\0';
        block.Terminate();
    };

    // The whole reply, not just each silence, is bounded: a reply is a few lines, and a
    // server that never ends one (an endless multi-line reply, a line that never ends)
    // holds the connection as surely as one that sends nothing.
    SocketWait wait(stream->socket, stream, WaitOn::Control);
    int32_t firstLineCode = 0;
    bool multiLine = false;
    // Whether the last line that carried a code had something other than a blank after
    // it; lines without a code leave it as it was.
    bool notSpace = false;
    for (;;) {
        // The code is built from at most three digits, so it never exceeds 999 and is
        // stored in the 16-bit last reply code unchanged.
        int32_t lineCode = 0;
        int32_t linePosition = 0;
        unsigned char firstCharacter = 0;
        for (;;) {
            char character;
            int32_t result = ControlStreamRead(stream, &character, 1);
            if (result == FSE_WOULD_BLOCK) {
                if (const int32_t ended = wait.Slice(false); ended < 0) {
                    finishTexts();
                    return Reply::Failed(ended);
                }
                DispatchThreadMessages();
                continue;
            }
            if (result < 1) {
                // The server closed the connection, or it failed: there is no reply to read
                // and none will come.
                finishTexts();
                return Reply::Failed(FSE_CONNECTION_BROKEN);
            }
            block.Store(character);
            if (linePosition < kLinePositionsCounted) ++linePosition;
            if (linePosition <= 3 && character >= '0' && character <= '9') {
                lineCode = lineCode * 10 + (character - '0');
            }
            if (linePosition == 4 && lineCode != 0) {
                if (firstLineCode == 0) multiLine = character == '-';
                notSpace = character != ' ';
            }
            if (linePosition == 1) firstCharacter = static_cast<unsigned char>(character);
            if (linePosition == kLinePositionsCounted && text != nullptr && copied < kTextLimit) {
                text[copied++] = character;
            }
            if (character == '\n') break;
        }

        bool complete;
        if (!multiLine) {
            complete = true;
        } else if (firstLineCode == 0) {
            firstLineCode = lineCode;
            complete = false;
        } else {
            complete = !notSpace && lineCode == firstLineCode;
        }
        if (complete) {
            finishTexts();
            if (connection->replyText != nullptr) {
                ReportProtocolLine(connection, connection->replyText, ProtocolDirection::Reply);
            }
            connection->lastReplyCode = static_cast<uint16_t>(lineCode);
            return CompleteReply(firstCharacter, static_cast<uint16_t>(lineCode));
        }
    }
}
