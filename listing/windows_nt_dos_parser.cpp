// The listing parser of Windows NT servers that list in DOS style (host type 10):
//   01-23-96  10:15AM       <DIR>          My Documents
//   01-23-96  10:15AM                 1024 a.txt
// date, time, size or <DIR>, and the name as the rest of the line.
#include "listing/parser_steps.h"
#include "util/orr.h"

int32_t ParseWindowsNtDosLine(DirEntry* entry, char* line, ListingHandle* handle,
                              uint8_t hostType) {
    if (StoreLineCopy(line, entry) < 0) return FSE_NO_MEMORY;
    LineCopyGuard lineCopy(entry);

    char* cursor = line;
    NextField(&cursor);  // the date, not needed
    char* const time = NextField(&cursor);
    char* const sizeOrKind = NextField(&cursor);

    if (time == nullptr || OrrFindChar(time, ':') == nullptr) return PARSE_SKIP;
    const int32_t kind = ApplyDirectoryWord(sizeOrKind, handle, entry);
    if (kind < 0) return kind;

    // The name is everything after the size column, blanks inside and at its end included
    // (NT names may hold and end in blanks). A line that stops after the size column (or
    // has fewer fields) has no name: it is passed over, and nothing is read beyond its end.
    const char* name = OrrSkipBlanks(cursor);
    if (name == nullptr) return PARSE_SKIP;
    return lineCopy.Finish(StoreDosStyleName(name, handle, entry));
}
