// FTP_Passthru: a copy between the local disk and a server, its direction chosen by the
// file-system kinds of the two sides.
#include "connection/ftp_connection.h"
#include "transfer/download.h"
#include "transfer/server_copy.h"
#include "transfer/upload.h"

namespace {

template <typename Record>
Record* SlotOf(const HostHandleBlock* file) {
    return file == nullptr ? nullptr : static_cast<Record*>(file->handleSlot);
}

uint8_t KindOf(const FsStateRecord* record) { return record == nullptr ? 0 : record->fsKind; }

}  // namespace

extern "C" TVFTP_EXPORT LONG WINAPI FTP_Passthru(HostHandleBlock* source,
                                                 HostHandleBlock* destination,
                                                 CopyContext* context) {
    context->inputSize = COPY_BUFFER_SIZE;
    context->outputSize = COPY_BUFFER_SIZE;
    const uint8_t from = KindOf(context->source);
    const uint8_t to = KindOf(context->destination);
    // Every other pair of kinds than these three is refused before anything is sent.
    if (from == FS_KIND_LOCAL && to == FS_KIND_FTP) {
        auto* local = SlotOf<HostLocalFile>(source);
        auto* remote = SlotOf<RemoteFileHandle>(destination);
        if (local == nullptr || remote == nullptr) return FSE_RETRIEVE_REFUSED;
        // A handle that has moved data already has its transfer behind it (or failed to
        // start it): a copy needs a handle fresh from its open.
        if (!remote->firstTransferPending) return FSE_INVALID;
        return UploadFromLocalFile(local, remote, context);
    }
    if (from == FS_KIND_FTP && to == FS_KIND_LOCAL) {
        auto* remote = SlotOf<RemoteFileHandle>(source);
        auto* local = SlotOf<HostLocalFile>(destination);
        if (local == nullptr || remote == nullptr) return FSE_RETRIEVE_REFUSED;
        if (!remote->firstTransferPending) return FSE_INVALID;
        return DownloadToLocalFile(remote, local, context);
    }
    if (from == FS_KIND_FTP && to == FS_KIND_FTP) {
        auto* fromServer = SlotOf<RemoteFileHandle>(source);
        auto* toServer = SlotOf<RemoteFileHandle>(destination);
        if (fromServer == nullptr || toServer == nullptr) return FSE_RETRIEVE_REFUSED;
        if (!fromServer->firstTransferPending || !toServer->firstTransferPending) return FSE_INVALID;
        return CopyBetweenServers(fromServer, toServer, context);
    }
    return FSE_KIND_UNSUPPORTED;
}
