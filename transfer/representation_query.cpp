// The representation a server reports for a remote path: servers that know the
// representation of their files (Brannock and Quorin, recognised by their greeting) answer
// "STAT path" with letters for type, format, structure and mode, which are read here.
#include "connection/ftp_connection.h"
#include "fsops/path_operations.h"
#include "transfer/representation.h"

namespace {

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// One letter of a group and what it stands for.
struct Letter {
    char letter;
    uint32_t value;
    uint32_t flags;
};

constexpr Letter kFormats[] = {{'N', 1, 0}, {'T', 2, 0}, {'C', 3, 0}};
constexpr Letter kStructures[] = {
    {'F', REPRESENTATION_STRUCTURE_FILE, 0},
    {'R', REPRESENTATION_STRUCTURE_RECORD, REPRESENTATION_RECORD},
    {'P', REPRESENTATION_STRUCTURE_PAGE, 0},
};
constexpr Letter kModes[] = {{'S', 1, 0}, {'B', 2, 0}, {'C', 3, 0}};

// Takes the letter at *cursor when it belongs to the group: its value goes to *field, its
// flags to the record, and the cursor moves on. Anything else stays for the next group.
template <size_t N>
void TakeLetter(const char** cursor, const Letter (&group)[N], uint32_t* field,
                TransferRepresentation* out) {
    const char c = Upper(**cursor);
    for (const Letter& entry : group) {
        if (entry.letter == c) {
            *field = entry.value;
            out->attributeFlags |= entry.flags;
            ++*cursor;
            return;
        }
    }
}

void TakeType(const char** cursor, TransferRepresentation* out) {
    switch (Upper(**cursor)) {
        case 'A':
            out->type = REPRESENTATION_TYPE_ASCII;
            out->attributeFlags |= REPRESENTATION_ASCII;
            break;
        case 'D':  // a directory has no type of its own
            out->attributeFlags |= REPRESENTATION_DIRECTORY;
            break;
        case 'E': out->type = REPRESENTATION_TYPE_EBCDIC; break;
        case 'I':
            out->type = REPRESENTATION_TYPE_IMAGE;
            out->attributeFlags |= REPRESENTATION_IMAGE;
            break;
        case 'L':
            // The digits name the server's byte size; the module only ever uses 8.
            out->type = REPRESENTATION_TYPE_LOCAL_BYTE;
            out->byteSize = LOCAL_BYTE_SIZE;
            ++*cursor;
            while (IsDigit(**cursor)) ++*cursor;
            return;
        default: return;
    }
    ++*cursor;
}

}  // namespace

const char* ParseRepresentationLetters(TransferRepresentation* out, const char* text) {
    *out = TransferRepresentation{};
    out->recordKind = REPRESENTATION_RECORD_KIND;
    const char* cursor = text;
    TakeType(&cursor, out);
    TakeLetter(&cursor, kFormats, &out->format, out);
    TakeLetter(&cursor, kStructures, &out->structure, out);
    TakeLetter(&cursor, kModes, &out->mode, out);
    return cursor;
}

int32_t QueryRepresentationByStat(FtpConnection* connection, const char* path,
                                  TransferRepresentation* out) {
    // A path that does not fit one command line (or would split it) is refused like a
    // refused STAT: to the existence test of a file open that means "no such file", which
    // is the truth as far as this module can ever reach that path.
    char line[COMMAND_BUFFER_SIZE];
    if (!FormatCommandLine(line, sizeof line, "STAT %s\r\n", path)) return FSE_INVALID;
    char text[REPLY_TEXT_BUFFER_SIZE];
    const Reply reply = SendCommand(connection, line, text);
    // Whatever else kept the reply from coming (a closed stream) counts as a refusal.
    if (reply.broken()) return reply.error;
    if (!reply.Is(ReplyClass::Complete)) return FSE_INVALID;
    ParseRepresentationLetters(out, text);
    return 2;
}
