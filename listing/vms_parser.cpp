// The listing parser of VMS servers (host type 9):
//   Directory DISK$USER:[ALICE]
//
//   LOGIN.COM;3           2/3      12-JAN-1996 10:22:33  [ALICE]  (RWED,RWED,RE,)
//   SUB.DIR;1             1/3      12-JAN-1996 10:22:33  [ALICE]  (RWED,RWED,RE,E)
//   A_NAME_THAT_FILLS_THE_COLUMN.TXT;1
//                         4/6      12-JAN-1996 10:22:33  [ALICE]  (RWED,RWED,RE,)
//
//   Total of 3 files, 7/12 blocks.
// The first field names the entry, extension and version included; a DIR extension marks
// a directory.
#include <cstring>

#include "listing/parser_steps.h"

int32_t ParseVmsLine(DirEntry* entry, char* line, ListingHandle* handle, uint8_t hostType) {
    // A blank begins the second line of an entry whose name filled the first one.
    if (IsListingBlank(line[0])) return PARSE_SKIP;
    // The first line of the listing is the heading that names the directory.
    if (handle->lineCount == 1) return PARSE_SKIP;
    if (StoreLineCopy(line, entry) < 0) return FSE_NO_MEMORY;
    LineCopyGuard lineCopy(entry);

    char* cursor = line;
    char* const name = NextField(&cursor);
    if (name == nullptr || std::strcmp(name, "Total") == 0) return PARSE_SKIP;

    const int32_t kind = FindDirExtension(name) != nullptr ? SetDirectoryKind(handle, entry)
                                                           : SetFileKind(handle, entry);
    if (kind < 0) return kind;
    return lineCopy.Finish(StoreName(name, entry));
}
