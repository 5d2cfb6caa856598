// Attributes of a remote name: directory or file, and on servers that report it the
// representation type and structure of a file. FTP offers no way to change any of them.
#include <cstring>

#include "connection/ftp_connection.h"
#include "transfer/representation.h"

namespace {

uint8_t AttributeFlags(const TransferRepresentation& kind) {
    if (kind.attributeFlags & REPRESENTATION_DIRECTORY) return ATTR_DIRECTORY;
    uint8_t flags = 0;
    if (kind.attributeFlags & REPRESENTATION_ASCII) flags |= ATTR_ASCII;
    if (kind.attributeFlags & REPRESENTATION_IMAGE) flags |= ATTR_IMAGE;
    if (kind.attributeFlags & REPRESENTATION_RECORD) flags |= ATTR_RECORD;
    return flags;
}

}  // namespace

extern "C" TVFTP_EXPORT LONG WINAPI FTP_Get_Attributes(LPCSTR name, FsStateRecord* record,
                                                       AttributeRecord* attributes) {
    // The working directory is put back when the name turned out to be a directory.
    TransferRepresentation kind;
    if (QueryPathKind(name, &kind, record, true) < 0) return 0;
    std::memset(attributes, 0, sizeof *attributes);
    attributes->flags = AttributeFlags(kind);
    return 0;
}

extern "C" TVFTP_EXPORT LONG WINAPI FTP_Set_Attributes(LONG, LONG, LONG) { return 0; }
