// The representation of an upload, from a sample of the local file, and of a download,
// from the user's choice, the server's report or the choice left to the first block.
#include "transfer/choose_representation.h"

#include "transfer/representation.h"
#include "transfer/sample.h"

namespace {

bool RepresentationFixed(const FtpConnection* connection) {
    return (connection->optionFlags & OPTION_REPRESENTATION_FIXED) != 0;
}

TransferRepresentation Wanted(uint32_t type, uint32_t structure) {
    TransferRepresentation wanted{};
    wanted.recordKind = REPRESENTATION_RECORD_KIND;
    wanted.type = type;
    wanted.structure = structure;
    return wanted;
}

}  // namespace

int32_t ChooseUploadRepresentation(HFILE localFile, CopyContext* context) {
    FsStateRecord* destination = context->destination;
    if (RepresentationFixed(destination->connection)) return 0;

    UINT read = _lread(localFile, context->inputBuffer, UPLOAD_SAMPLE_SIZE);
    if (read == static_cast<UINT>(HFILE_ERROR)) return HFILE_ERROR;
    if (read == 0) return 0;
    const int32_t sampled = static_cast<int32_t>(read);

    const uint32_t type = ClassifySample(context->inputBuffer, sampled) == SAMPLE_TEXT
                              ? REPRESENTATION_TYPE_ASCII
                              : REPRESENTATION_TYPE_IMAGE;
    const uint32_t structure = StartsWithRecordFileMarker(context->inputBuffer, sampled)
                                   ? REPRESENTATION_STRUCTURE_RECORD
                                   : REPRESENTATION_STRUCTURE_FILE;
    // The upload reads the file again from its start; a file that cannot be put back there
    // would lose its first bytes on the server, so that ends the upload instead.
    if (_llseek(localFile, 0, FILE_BEGIN) == HFILE_ERROR) return HFILE_ERROR;
    return ApplyRepresentation(Wanted(type, structure), destination);
}

int32_t ChooseDownloadRepresentation(FsStateRecord* record, FtpConnection* connection,
                                     const char* path) {
    if (RepresentationFixed(connection)) return FETCH_CURRENT_REPRESENTATION;

    if (connection->stateFlags & STATE_STAT_REPORTS_REPRESENTATION) {
        TransferRepresentation reported;
        int32_t asked = QueryPathKind(path, &reported, record, true);
        if (asked < 0) return asked;
        int32_t applied = ApplyRepresentation(reported, record);
        return applied < 0 ? applied : FETCH_CURRENT_REPRESENTATION;
    }

    if (!connection->sameTypeForRemaining) {
        int32_t applied = ApplyRepresentation(
            Wanted(REPRESENTATION_TYPE_IMAGE, REPRESENTATION_STRUCTURE_FILE), record);
        return applied < 0 ? applied : FETCH_IMAGE_AND_SNIFF;
    }
    return FETCH_SAME_TYPE_AS_BEFORE;
}
