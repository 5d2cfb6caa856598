// The listing parser of VM servers (host type 8): each line of a CMS minidisk listing
// begins with the file name and the file type,
//   PROFILE  EXEC     A1 V         80         12          1  1/12/96 12:00:00 USER
// and the entry is named "PROFILE.EXEC". A minidisk has no directories, so every entry is
// a file; its entry kind is left as the host set it.
#include "listing/parser_steps.h"

namespace {

// The room of a file name joined with its file type.
constexpr int32_t kJoinedNameLimit = 63;

}  // namespace

int32_t ParseVmLine(DirEntry* entry, char* line, ListingHandle* handle, uint8_t hostType) {
    if (IsListingBlank(line[0])) return PARSE_SKIP;
    if (StoreLineCopy(line, entry) < 0) return FSE_NO_MEMORY;
    LineCopyGuard lineCopy(entry);

    char* cursor = line;
    char* const fileName = NextField(&cursor);
    if (fileName == nullptr) return PARSE_SKIP;
    char* const fileType = NextField(&cursor);

    const int32_t length = StoreNameWithExtension(fileName, fileType, entry, kJoinedNameLimit);
    if (length < 0) return length;
    if ((handle->kindMask & KIND_MASK_FILES) == 0) {
        FreeEntryName(entry);
        return PARSE_SKIP;
    }
    return lineCopy.Finish(length);
}
