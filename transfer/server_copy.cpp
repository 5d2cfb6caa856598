// A copy between two servers. The direct transfer puts one server into passive mode, tells
// the other its address with PORT and starts STOR and RETR back to back, so no file data
// passes through this machine. The relay fetches the file from the source and sends it to
// the destination through the copy record's buffers, with each side's type chosen by the
// user's fixed representation, the source server's report, the remembered file type or the
// file's first block.
#include "transfer/server_copy.h"

#include "connection/data_connection.h"
#include "connection/ftp_connection.h"
#include "transfer/converted_copy.h"
#include "transfer/copy_progress.h"
#include "transfer/data_blocks.h"
#include "transfer/download_rules.h"
#include "transfer/file_type.h"
#include "transfer/hard_close.h"
#include "transfer/start_transfer.h"
#include "transfer/text_rule.h"
#include "util/memory_guards.h"

namespace {

// The reply code of an accepted PORT, and those that refine a refused STOR.
constexpr uint16_t kPortAccepted = 200;
constexpr uint16_t kNameNotAllowed = 553;
constexpr uint16_t kInsufficientStorage = 452;

// The two sides of one copy.
struct ServerCopy {
    RemoteFileHandle* source;
    RemoteFileHandle* destination;
    FsStateRecord* from;
    FsStateRecord* to;
    const char* sourcePath;
    const char* destinationPath;
    CopyContext* context;
};

bool Has(const FsStateRecord* record, uint32_t flag) {
    return (record->connection->stateFlags & flag) != 0;
}

bool RepresentationFixed(const FsStateRecord* record) {
    return (record->connection->optionFlags & OPTION_REPRESENTATION_FIXED) != 0;
}

// Brings the record's connection to a type and structure; a 0 (a server's report that did
// not state one of them) keeps what the connection has, so that a STAT answer without a
// structure never fails the copy for want of a command.
int32_t SetTypeAndStructure(FsStateRecord* record, int32_t type, int32_t structure) {
    const FtpConnection* connection = record->connection;
    TransferRepresentation wanted{};
    wanted.recordKind = REPRESENTATION_RECORD_KIND;
    wanted.type = static_cast<uint32_t>(type != 0 ? type : connection->currentType);
    wanted.structure =
        static_cast<uint32_t>(structure != 0 ? structure : connection->currentStructure);
    wanted.byteSize = wanted.type == REPRESENTATION_TYPE_LOCAL_BYTE ? LOCAL_BYTE_SIZE : 0;
    return ApplyRepresentation(wanted, record);
}

// Sets the same type and structure on the source and then on the destination: the first
// failure.
int32_t SetOnBoth(const ServerCopy& c, int32_t type, int32_t structure) {
    const int32_t source = SetTypeAndStructure(c.from, type, structure);
    return source < 0 ? source : SetTypeAndStructure(c.to, type, structure);
}

// The file's stored representation as the source server reports it (through STAT on the
// servers that report it), the working directory kept. A failed question leaves it empty.
TransferRepresentation ReportedRepresentation(const ServerCopy& c) {
    TransferRepresentation reported{};
    QueryPathKind(c.sourcePath, &reported, c.from, true);
    return reported;
}

// ---- the direct transfer

// Both servers are brought to one representation, so that the file arrives as the source
// sends it. What fails here is left to the transfer itself to show.
void AlignRepresentations(const ServerCopy& c) {
    if (RepresentationFixed(c.from)) return;
    if (Has(c.from, STATE_STAT_REPORTS_REPRESENTATION)) {
        TransferRepresentation reported{};
        if (QueryPathKind(c.sourcePath, &reported, c.from, true) >= 0) {
            SetOnBoth(c, static_cast<int32_t>(reported.type),
                      static_cast<int32_t>(reported.structure));
        }
        return;
    }
    if (c.from->connection->sameTypeForRemaining) return;
    SetOnBoth(c, TYPE_IMAGE, STRUCTURE_FILE);
}

// The side of a transfer that the server refused: its FsError.
int32_t Refusal(const Reply& reply, bool retrieve) {
    if (reply.error) return reply.error;
    if (retrieve) return FSE_RETRIEVE_REFUSED;
    switch (reply.code) {
        case kNameNotAllowed: return FSE_NAME_NOT_ALLOWED;
        case kInsufficientStorage: return FSE_NO_SPACE;
        default: return FSE_STORE_REFUSED;
    }
}

// A passive server whose transfer started while the other side's was refused waits for a
// data connection that will never come. Connecting to it and resetting the connection at
// once ends its transfer now, so that its final reply (read by its file's close) comes
// without waiting for the server to give up. The connection goes to the passive server
// itself, at the port its reply named: whatever address the reply claims, the module
// connects nowhere else.
void ReleasePassiveSide(const FtpConnection* passive, sockaddr_in address) {
    sockaddr_in peer{};
    int size = sizeof peer;
    if (getpeername(passive->controlSocket, reinterpret_cast<sockaddr*>(&peer), &size) != 0) return;
    address.sin_addr = peer.sin_addr;
    SOCKET released = INVALID_SOCKET;
    if (ConnectDataSocket(address, &released) >= 0) ResetDataConnection(&released);
}

// 0 when both transfers started; FSE_NOT_FOUND when the passive side refused PASV (nothing
// else was sent: the relay takes over); else the copy's FsError.
int32_t DirectTransfer(const ServerCopy& c, bool destinationPassive) {
    FsStateRecord* passive = destinationPassive ? c.to : c.from;
    FsStateRecord* active = destinationPassive ? c.from : c.to;
    // Both lines are checked before anything is sent: a name that cannot be one command
    // line would otherwise leave one server waiting for a transfer that never starts.
    if (!CommandLineFits("STOR", c.destinationPath) || !CommandLineFits("RETR", c.sourcePath)) {
        return FSE_INVALID;
    }
    AlignRepresentations(c);

    // The address goes to the other server as the passive server's 227 reply names it:
    // telling the other server that address is the whole point of the transfer.
    sockaddr_in address{};
    if (const int32_t asked = RequestPassive(passive->connection, &address); asked != 0) {
        return asked;
    }
    const auto* host = reinterpret_cast<const uint8_t*>(&address.sin_addr);
    const auto* port = reinterpret_cast<const uint8_t*>(&address.sin_port);
    char line[COMMAND_BUFFER_SIZE];
    wsprintfA(line, "PORT %d,%d,%d,%d,%d,%d\r\n", host[0], host[1], host[2], host[3], port[0],
              port[1]);
    const Reply ported = SendCommand(active->connection, line);
    if (ported.error) return ported.error;
    if (ported.code != kPortAccepted) return FSE_FAILED;

    // STOR names the destination file: a copy made under another name lands under that
    // name, as a relay's does.
    c.source->firstTransferPending = 0;
    c.destination->firstTransferPending = 0;
    wsprintfA(line, "STOR %s\r\n", c.destinationPath);
    SendCommandNoReply(c.to->connection, line);
    // No reply is read in between: a passive server may answer STOR or RETR only once the
    // other server has connected, which it does only after its own command.
    wsprintfA(line, "RETR %s\r\n", c.sourcePath);
    SendCommandNoReply(c.from->connection, line);
    const Reply retrieving = ReadReply(c.from->connection);
    const Reply storing = ReadReply(c.to->connection);

    // Each server that started its transfer owes a final reply. Both are left to the closes
    // of the two files, the passive server's as well as the one that accepted PORT, so that
    // neither connection's next command ever reads it in place of its own.
    const bool retrieveRuns = retrieving.Is(ReplyClass::Preliminary);
    const bool storeRuns = storing.Is(ReplyClass::Preliminary);
    if (retrieveRuns) c.from->connection->stateFlags |= STATE_COPY_PORT_PENDING;
    if (storeRuns) c.to->connection->stateFlags |= STATE_COPY_PORT_PENDING;
    if (retrieveRuns && storeRuns) return 0;
    if (destinationPassive ? storeRuns : retrieveRuns) {
        ReleasePassiveSide(passive->connection, address);
    }
    return retrieveRuns ? Refusal(storing, false) : Refusal(retrieving, true);
}

// ---- the relay

// Starts the source's transfer and reads its first block: the count (0 for an empty file)
// or the FsError.
int32_t StartSource(const ServerCopy& c) {
    c.source->firstTransferPending = 0;
    if (const int32_t started = StartFileTransfer(c.source, c.from); started < 0) return started;
    return FillInput(c.source->dataSocket, c.context);
}

// Prepares both sides for the relay and reads the first block: the kind of the copy (a
// TextFormat), or the FsError.
int32_t PrepareRelay(const ServerCopy& c) {
    const FtpConnection* from = c.from->connection;
    const FtpConnection* to = c.to->connection;
    int32_t kind = TEXT_FORMAT_BINARY;
    int32_t prepared = 0;
    if (RepresentationFixed(c.to)) {
        if (RepresentationFixed(c.from)) {
            c.source->relaySavedType = from->currentType;
            c.source->relaySavedStructure = from->currentStructure;
            c.source->relayRepresentationChanged = 1;
        }
        prepared = SetTypeAndStructure(c.from, to->currentType, to->currentStructure);
    } else if (RepresentationFixed(c.from)) {
        prepared = SetTypeAndStructure(c.to, from->currentType, from->currentStructure);
    } else if (Has(c.from, STATE_STAT_REPORTS_REPRESENTATION)) {
        const TransferRepresentation reported = ReportedRepresentation(c);
        prepared = SetOnBoth(c, static_cast<int32_t>(reported.type),
                             static_cast<int32_t>(reported.structure));
    } else if (from->sameTypeForRemaining) {
        kind = from->textFormat;
    } else {
        // Automatic: the source sends the file as it is stored, and its first block tells
        // text from binary; the destination then stores text as its own text.
        if (prepared = SetTypeAndStructure(c.from, TYPE_IMAGE, STRUCTURE_FILE); prepared < 0) {
            return prepared;
        }
        const int32_t filled = StartSource(c);
        if (filled < 0) return filled;
        // An empty file has no block to decide by. It is stored empty all the same, in
        // image type, as every other rule stores one: a copy never leaves the destination
        // without the file it was asked to make.
        if (filled > 0) {
            const int32_t decided =
                DecideFileType(c.context->inputBuffer, filled, c.from, c.sourcePath);
            if (decided < 0) return decided;
            kind = from->textFormat;
        }
        const bool text = kind == TEXT_FORMAT_TEXT || kind == TEXT_FORMAT_LF_ONLY ||
                          kind == TEXT_FORMAT_CR_CRLF_FF || kind == TEXT_FORMAT_TEXT_RECORDS;
        prepared = SetTypeAndStructure(c.to, text ? TYPE_ASCII : TYPE_IMAGE,
                                       from->currentStructure);
        return prepared < 0 ? prepared : kind;
    }
    if (prepared < 0) return prepared;
    const int32_t filled = StartSource(c);
    return filled < 0 ? filled : kind;
}

// Binary: each block as it came. The host gets its turn every PeekInterval blocks.
int32_t BinaryRelay(const ServerCopy& c) {
    CopyContext* context = c.context;
    CopyYieldCounter blocks;
    for (;;) {
        if (context->inputCount > 0) {
            const int32_t sent = SendAll(c.destination->dataSocket, context->inputBuffer,
                                         static_cast<int32_t>(context->inputCount), context);
            if (sent < 0) return sent;
            if (const int32_t stop = blocks.Pass(context); stop < 0) return stop;
        }
        const int32_t filled = FillInput(c.source->dataSocket, context);
        if (filled <= 0) return filled;
    }
}

// Network text fetched in image type: every LF that does not follow a CR goes as CR LF.
// Whether a block ended in CR is kept in the destination's file record, so that a CR LF
// split between two blocks stays one line end.
int32_t TextRelay(const ServerCopy& c) {
    CopyContext* context = c.context;
    const CopyOutput output = DataConnectionOutput(c.destination->dataSocket);
    context->outputCount = 0;
    for (;;) {
        uint32_t carry = c.destination->lastByteWasCr ? TEXT_CARRY_SET : TEXT_CARRY_CLEAR;
        const int32_t put = ImageTypeText(&output, &carry, context->inputBuffer,
                                          static_cast<int32_t>(context->inputCount), context);
        c.destination->lastByteWasCr = carry == TEXT_CARRY_SET ? 1 : 0;
        if (put < 0) return put;
        if (const int32_t flushed = FlushOutput(&output, context); flushed < 0) return flushed;
        const int32_t filled = FillInput(c.source->dataSocket, context);
        if (filled <= 0) return filled;
    }
}

int32_t RelayByKind(const ServerCopy& c, int32_t kind) {
    switch (kind) {
        case TEXT_FORMAT_TEXT: return TextRelay(c);
        case TEXT_FORMAT_BINARY: return BinaryRelay(c);
        case TEXT_FORMAT_LF_ONLY:
        case TEXT_FORMAT_CR_CRLF_FF:
        case TEXT_FORMAT_TEXT_RECORDS:
        case TEXT_FORMAT_BINARY_RECORDS:
        case TEXT_FORMAT_NOT_RECORDS: {
            const CopyOutput output = DataConnectionOutput(c.destination->dataSocket);
            return ConvertedCopy(c.source->dataSocket, &output, kind, OutputSide::Server,
                                 c.context);
        }
        default: return 0;
    }
}

int32_t Relay(const ServerCopy& c) {
    c.destination->lastByteWasCr = 0;
    c.destination->relayed = 1;
    const int32_t kind = PrepareRelay(c);
    int32_t result = kind;
    if (kind >= 0) {
        c.destination->firstTransferPending = 0;
        result = StartFileTransfer(c.destination, c.to);
        if (result >= 0) result = RelayByKind(c, kind);
    }
    if (result < 0) {
        // A relay that stops breaks both transfers off: the source stops sending, and the
        // destination sees a broken transfer rather than a short file that ended normally.
        HardCloseData(&c.source->dataSocket, c.context);
        ResetDataConnection(&c.destination->dataSocket);
    }
    if (c.source->relayRepresentationChanged != 0) {
        c.source->relayRepresentationChanged = 0;
        // The relay's own failure is what the host must hear of; a failed restore is
        // reported only when the copy itself went well.
        const int32_t restored = SetTypeAndStructure(c.from, c.source->relaySavedType,
                                                     c.source->relaySavedStructure);
        if (result >= 0) result = restored;
    }
    return result < 0 ? result : 0;
}

}  // namespace

int32_t CopyBetweenServers(RemoteFileHandle* source, RemoteFileHandle* destination,
                           CopyContext* context) {
    if (context->source->connection == nullptr || context->destination->connection == nullptr) {
        return FSE_INVALID;
    }
    // One control connection cannot run a transfer each way at once: a copy within one
    // connection is the host's to make with a download and an upload.
    if (context->source->connection == context->destination->connection) return FSE_NOT_SUPPORTED;
    LockedBlock<const char> sourcePath(source->path);
    LockedBlock<const char> destinationPath(destination->path);
    if (!sourcePath || !destinationPath) return FSE_INVALID;
    const ServerCopy c{source,           destination,           context->source,
                       context->destination, sourcePath.get(), destinationPath.get(),
                       context};
    int32_t direct = FSE_NOT_FOUND;
    if (Has(c.to, STATE_PASSIVE_MODE)) {
        direct = DirectTransfer(c, true);
    } else if (Has(c.from, STATE_PASSIVE_MODE)) {
        direct = DirectTransfer(c, false);
    }
    // A server that refuses PASV leaves its connection's passive-mode flag as it was: the
    // flag steers its listings, and a refusal here says nothing about those.
    return direct == FSE_NOT_FOUND ? Relay(c) : direct;
}
