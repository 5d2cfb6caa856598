// The upload loop: blocks read from the local file, through the rule of the connection's
// representation (and, for text, the code-set conversion), to the data connection.
#include "transfer/upload.h"

#include "codeset/code_set_state.h"
#include "connection/ftp_connection.h"
#include "transfer/choose_representation.h"
#include "transfer/copy_progress.h"
#include "transfer/hard_close.h"
#include "transfer/start_transfer.h"
#include "transfer/upload_rules.h"
#include "util/memory_guards.h"

namespace {

// Text rules have no finish here: what the end of a text file still needs (a CR held back,
// the end-of-file escape of records) is sent by the remote file's close, which ends every
// text written to a remote file the same way; the upload hands it the held CR.
struct UploadRule {
    TextRuleStep step;
    TextRuleFinish finish;
    bool text;  // converted between code sets while conversion runs
};

UploadRule RuleOf(const FtpConnection* connection) {
    const bool recordStructure = connection->currentStructure == STRUCTURE_RECORD;
    if (connection->currentType == TYPE_ASCII) {
        return recordStructure ? UploadRule{UploadRecordText, nullptr, true}
                               : UploadRule{UploadStreamText, nullptr, true};
    }
    return recordStructure ? UploadRule{UploadRecordFile, FinishUploadRecordFile, false}
                           : UploadRule{SendUnchanged, nullptr, false};
}

// Reads the local file to its end and sends it through the rule. No rule holds bytes in
// front of the next block (a CR waiting for its LF lives in the carry word), so whole
// blocks are read for record structure too. A block whose rule sends nothing (Ctrl-Z
// bytes only) does not end the file; only the end of the file or a failure does. A read
// failure is returned as the platform gave it, whatever the rule: the server must not take
// what came before it for the whole file.
int32_t SendLocalFile(HFILE file, const CopyOutput* output, const UploadRule& rule,
                      uint32_t* carry, CopyContext* context) {
    const bool convert = rule.text && ConversionRuns();
    // Read small enough that the converted block still fits the input buffer.
    const UINT factor = convert ? UINT(WorstCaseFactor(CodeSets().outgoing)) : 1;
    const UINT readSize = factor > COPY_BUFFER_SIZE ? 1 : COPY_BUFFER_SIZE / factor;
    ScratchBlock read(convert ? readSize : 0);
    if (convert && read.get() == nullptr) return FSE_NO_MEMORY;
    CopyYieldCounter blocks;
    for (;;) {
        char* into = convert ? read.get() : context->inputBuffer;
        const UINT got = _lread(file, into, readSize);
        if (got > readSize) return HFILE_ERROR;
        if (got == 0) break;
        int32_t count = static_cast<int32_t>(got);
        if (convert) {
            count = ConvertOutgoing(into, count, context->inputBuffer, COPY_BUFFER_SIZE);
            if (count < 0) return FSE_CONVERSION;
        }
        context->inputCount = static_cast<uint32_t>(count);
        const int32_t put = rule.step(output, carry, context->inputBuffer, count, context);
        if (put < 0) return put;
        if (const int32_t stop = blocks.Pass(context); stop < 0) return stop;
    }
    if (rule.finish != nullptr) {
        if (const int32_t last = rule.finish(output, carry, context); last < 0) return last;
    }
    const int32_t flushed = FlushOutput(output, context);
    return flushed < 0 ? flushed : 0;
}

}  // namespace

int32_t UploadFromLocalFile(HostLocalFile* local, RemoteFileHandle* remote, CopyContext* context) {
    FsStateRecord* record = context->destination;
    context->outputCount = 0;
    if (const int32_t chosen = ChooseUploadRepresentation(local->file, context); chosen < 0) {
        return chosen;
    }
    remote->firstTransferPending = 0;
    const int32_t started = StartFileTransfer(remote, record);
    if (started < 0) return started;

    const CopyOutput output = DataConnectionOutput(remote->dataSocket);
    uint32_t carry = TEXT_CARRY_CLEAR;
    const int32_t result =
        SendLocalFile(local->file, &output, RuleOf(record->connection), &carry, context);
    remote->conversionState =
        carry == TEXT_CARRY_SET ? CONVERSION_CARRIAGE_RETURN : CONVERSION_NORMAL;
    // An upload that fails half-way is broken off with a reset, not closed in order: a
    // server that sees the data end normally stores what came as the whole file, and its
    // final reply would report success for a file cut short.
    if (result < 0) ResetDataConnection(&remote->dataSocket);
    return result;
}
