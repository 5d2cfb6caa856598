// The directory and glob exports. Both families share one implementation: a glob handle
// differs only in sending its pattern on every host and in keeping the path the server put
// in front of each name.
#include "records/tarvoftp.h"
#include "listing/list_reader.h"
#include "listing/listing_open.h"
#include "listing/name_list.h"

namespace {

// The only ioctl code: it sets the kind mask (bit 0 directories, bit 1 files).
constexpr uint16_t kSetKindMask = 1;

ListingHandle* HandleOf(const HostHandleBlock* handleBlock) {
    return handleBlock == nullptr ? nullptr : static_cast<ListingHandle*>(handleBlock->handleSlot);
}

LONG ReadListing(HostHandleBlock* handleBlock, DirEntry* entries, LONG count) {
    ListingHandle* handle = HandleOf(handleBlock);
    if (handle == nullptr) return FSE_INVALID;
    // Hosts pass the count in a 16-bit field; the rest of the value is not theirs to set.
    const int32_t wanted = static_cast<uint16_t>(count);
    LockedStateRecord record(handle->stateRecord);
    if (!record) return FSE_INVALID;
    FtpConnection* connection = record->connection;
    return ListsWithParser(record.get(), connection)
               ? ReadListLines(record.get(), connection, handle, entries, wanted)
               : ReadNameList(record.get(), connection, handle, entries, wanted);
}

LONG ListingIoctl(HostHandleBlock* handleBlock, LONG code, LONG value) {
    ListingHandle* handle = HandleOf(handleBlock);
    if (handle == nullptr || static_cast<uint16_t>(code) != kSetKindMask) return FSE_INVALID;
    handle->kindMask = static_cast<uint32_t>(value);
    return 0;
}

LONG ListingClose(HostHandleBlock* handleBlock) {
    if (HandleOf(handleBlock) == nullptr) return FSE_INVALID;
    return CloseListing(handleBlock);
}

}  // namespace

extern "C" {

LONG WINAPI FTP_Dir_Open(HGLOBAL handleBlock, HGLOBAL pattern, HGLOBAL stateRecord) {
    return OpenListing(handleBlock, pattern, stateRecord, false);
}

LONG WINAPI FTP_Dir_Read(HostHandleBlock* handleBlock, DirEntry* entries, LONG count) {
    return ReadListing(handleBlock, entries, count);
}

LONG WINAPI FTP_Dir_Ioctl(HostHandleBlock* handleBlock, LONG code, LONG value) {
    return ListingIoctl(handleBlock, code, value);
}

LONG WINAPI FTP_Dir_Close(HostHandleBlock* handleBlock) { return ListingClose(handleBlock); }

LONG WINAPI FTP_Glob_Open(HGLOBAL handleBlock, HGLOBAL pattern, HGLOBAL stateRecord) {
    return OpenListing(handleBlock, pattern, stateRecord, true);
}

LONG WINAPI FTP_Glob_Read(HostHandleBlock* handleBlock, DirEntry* entries, LONG count) {
    return ReadListing(handleBlock, entries, count);
}

LONG WINAPI FTP_Glob_Write(LONG, LONG, LONG) { return 0; }

LONG WINAPI FTP_Glob_Ioctl(HostHandleBlock* handleBlock, LONG code, LONG value) {
    return ListingIoctl(handleBlock, code, value);
}

LONG WINAPI FTP_Glob_Close(HostHandleBlock* handleBlock) { return ListingClose(handleBlock); }

}  // extern "C"
