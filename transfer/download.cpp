// The download loops: text the server sends in ASCII type, data fetched in image type as
// it is, with the record-file marker in front, or converted by the TextFormat that its
// first block (or the user, or an earlier file) decided.
#include "transfer/download.h"

#include "codeset/code_set_state.h"
#include "connection/ftp_connection.h"
#include "transfer/choose_representation.h"
#include "transfer/converted_copy.h"
#include "transfer/copy_progress.h"
#include "transfer/data_blocks.h"
#include "transfer/download_rules.h"
#include "transfer/file_type.h"
#include "transfer/hard_close.h"
#include "transfer/local_write.h"
#include "transfer/sample.h"
#include "transfer/start_transfer.h"
#include "util/memory_guards.h"

namespace {

// What one download works with.
struct Download {
    SOCKET data;
    CopyOutput output;  // the local file
    FsStateRecord* record;
    FtpConnection* connection;
    HostLocalFile* local;
    const char* path;
    CopyContext* context;
};

// Text in ASCII type, with file structure (CR NUL) or record structure (0xFF escapes).
// While code sets are converted, each block is received small enough that its conversion
// fits a block, and the rule runs on the converted text.
int32_t AsciiText(const Download& d, TextRuleStep step, TextRuleFinish finish) {
    CopyContext* context = d.context;
    const bool convert = ConversionRuns();
    ScratchBlock converted(convert ? COPY_BUFFER_SIZE : 0);
    if (convert && converted.get() == nullptr) return FSE_NO_MEMORY;
    const uint32_t wholeSize = context->inputSize;
    // A worst case too large for even one byte still receives one, and its conversion fails.
    const uint32_t piece = IncomingPieceLimit(COPY_BUFFER_SIZE);
    context->inputSize = piece == 0 ? 1 : piece;
    uint32_t carry = TEXT_CARRY_CLEAR;
    CopyYieldCounter blocks;
    int32_t result = 0;
    for (;;) {
        const int32_t filled = FillInput(d.data, context);
        if (filled <= 0) {
            result = filled;
            break;
        }
        const char* bytes = context->inputBuffer;
        int32_t count = filled;
        if (convert) {
            count = ConvertIncoming(bytes, filled, converted.get(), COPY_BUFFER_SIZE);
            if (count < 0) {
                result = FSE_CONVERSION;
                break;
            }
            bytes = converted.get();
        }
        if (result = step(&d.output, &carry, bytes, count, context); result < 0) break;
        if (result = blocks.Pass(context); result < 0) break;
    }
    context->inputSize = wholeSize;
    if (result < 0) {
        // What the data brought before the failure is written all the same.
        FlushOutput(&d.output, context);
        return result;
    }
    if (finish != nullptr) {
        if (const int32_t last = finish(&d.output, &carry, context); last < 0) return last;
    }
    const int32_t flushed = FlushOutput(&d.output, context);
    return flushed < 0 ? flushed : 0;
}

// Network text fetched in image type (TextFormat 1), the first block already received:
// each block goes through the rule and out to the file at once. Whether the last byte was
// a CR lives in the host's local file record. This loop gives the host no turn of its own:
// the host still hears of every block written and may stop the copy by answering that,
// and the fills give it its turn while the server keeps them waiting.
int32_t ImageText(const Download& d) {
    CopyContext* context = d.context;
    const bool convert = ConversionRuns();
    const uint32_t room = convert ? COPY_BUFFER_SIZE * uint32_t(WorstCaseFactor(CodeSets().incoming)) : 0;
    ScratchBlock converted(room);
    if (convert && converted.get() == nullptr) return FSE_NO_MEMORY;
    for (;;) {
        const char* bytes = context->inputBuffer;
        int32_t count = static_cast<int32_t>(context->inputCount);
        // Text the library cannot convert goes through the rule as it came.
        if (convert) {
            const int32_t convertedCount = ConvertIncoming(bytes, count, converted.get(), room);
            if (convertedCount >= 0) {
                bytes = converted.get();
                count = convertedCount;
            }
        }
        if (const int32_t put = ImageTypeText(&d.output, &d.local->carriageReturn, bytes, count,
                                              context);
            put < 0)
            return put;
        if (const int32_t flushed = FlushOutput(&d.output, context); flushed < 0) return flushed;
        const int32_t filled = FillInput(d.data, context);
        if (filled <= 0) return filled;
    }
}

// The rest of the data as it comes, the first block already received; TextFormat 3 and
// every format without a converter of its own come here through the pass-through.
int32_t Converted(const Download& d, int32_t textFormat) {
    return ConvertedCopy(d.data, &d.output, textFormat, OutputSide::Local, d.context);
}

// The whole data as it comes.
int32_t Raw(const Download& d) {
    const int32_t filled = FillInput(d.data, d.context);
    if (filled <= 0) return filled;
    return Converted(d, TEXT_FORMAT_BINARY);
}

// By the TextFormat, the first block already received.
int32_t ByTextFormat(const Download& d) {
    const int32_t textFormat = d.connection->textFormat;
    return textFormat == TEXT_FORMAT_TEXT ? ImageText(d) : Converted(d, textFormat);
}

// In the representation the user fixed or the server reported, as the connection now
// stands.
int32_t AsRepresented(const Download& d) {
    const bool recordStructure = d.connection->currentStructure == STRUCTURE_RECORD;
    if (d.connection->currentType == TYPE_ASCII) {
        return recordStructure ? AsciiText(d, DownloadRecordText, FinishDownloadRecordText)
                               : AsciiText(d, DownloadStreamText, nullptr);
    }
    if (recordStructure) {
        // The escapes stay in the file; the marker in front tells an upload that they are
        // there, so that the file goes back as records.
        char marker[RECORD_FILE_MARKER_SIZE];
        PutRecordFileMarker(marker);
        const int32_t written = WriteLocalBlock(d.output.file, marker, sizeof marker, d.context);
        if (written < 0) return written;
    }
    return Raw(d);
}

int32_t Fetch(const Download& d, int32_t how) {
    if (how == FETCH_CURRENT_REPRESENTATION) return AsRepresented(d);
    // DOS servers store text with CR LF already: their files come byte for byte.
    if (how == FETCH_IMAGE_AND_SNIFF && d.record->hostType == HOST_DOS) return Raw(d);
    const int32_t filled = FillInput(d.data, d.context);
    if (filled <= 0) return filled;  // an empty file is copied as soon as it is seen
    if (how == FETCH_IMAGE_AND_SNIFF) {
        const int32_t decided = DecideFileType(d.context->inputBuffer, filled, d.record, d.path);
        if (decided < 0) return decided;
    }
    return ByTextFormat(d);
}

}  // namespace

int32_t DownloadToLocalFile(RemoteFileHandle* remote, HostLocalFile* local, CopyContext* context) {
    FsStateRecord* record = context->source;
    FtpConnection* connection = record->connection;
    context->outputCount = 0;
    LockedBlock<const char> path(remote->path);
    if (!path) return FSE_INVALID;
    // The connection keeps the representation the copy chose: files fetched after this one
    // "as the same type" rely on it, and each copy applies what it needs anyway.
    const int32_t how = ChooseDownloadRepresentation(record, connection, path.get());
    if (how < 0) return how;
    remote->firstTransferPending = 0;
    const int32_t started = StartFileTransfer(remote, record);
    if (started < 0) return started;

    const Download d{remote->dataSocket, LocalFileOutput(local->file), record, connection,
                     local,              path.get(),                   context};
    const int32_t result = Fetch(d, how);
    // A copy that stops early (the local file failed, the host or the user stopped it, the
    // user skipped the file) resets the data connection rather than waiting for the rest:
    // the server learns at once that the file was not taken, and the close that follows
    // reads its answer without a long drain first.
    if (result < 0) HardCloseData(&remote->dataSocket, context);
    return result < 0 ? result : 0;
}
