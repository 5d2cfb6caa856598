// The listing parser of MVS servers (host type 4): data set listings
//   Volume Unit    Referred Ext Used Recfm Lrecl BlkSz Dsorg Dsname
//   WRK001 3390   1996/01/12  1   15  FB      80 27920  PO  USER.SOURCE
// and the member listings of a partitioned data set, whose member lines have nine fields
// with the member name first. A partitioned data set is the MVS counterpart of a directory.
#include <cstring>

#include "listing/parser_steps.h"

namespace {

// Fields of the data set heading, counted from 1.
constexpr int kHeadingFields = 10;
constexpr int kMemberLineFields = 9;

bool Is(const char* field, const char* word) {
    return field != nullptr && std::strcmp(field, word) == 0;
}

}  // namespace

int32_t ParseMvsLine(DirEntry* entry, char* line, ListingHandle* handle, uint8_t hostType) {
    // Headings of member listings and continuation lines begin with a blank.
    if (IsListingBlank(line[0])) return PARSE_SKIP;
    if (StoreLineCopy(line, entry) < 0) return FSE_NO_MEMORY;
    LineCopyGuard lineCopy(entry);

    // Only the first field, the 4th, 5th, 9th and 10th, and the last two are looked at.
    char* first = nullptr;
    char* fourth = nullptr;
    char* fifth = nullptr;
    char* ninth = nullptr;
    char* tenth = nullptr;
    char* last = nullptr;
    char* beforeLast = nullptr;
    int count = 0;
    char* cursor = line;
    for (char* field = NextField(&cursor); field != nullptr; field = NextField(&cursor)) {
        switch (++count) {
            case 1: first = field; break;
            case 4: fourth = field; break;
            case 5: fifth = field; break;
            case 9: ninth = field; break;
            case 10: tenth = field; break;
            default: break;
        }
        beforeLast = last;
        last = field;
    }
    if (last == nullptr) return PARSE_SKIP;  // an empty line

    if (count == kHeadingFields && Is(fourth, "Ext") && Is(fifth, "Used") &&
        Is(ninth, "Dsorg") && Is(tenth, "Dsname")) {
        return PARSE_SKIP;
    }

    // A partitioned data set is marked as a directory when the handle wants directories;
    // otherwise it still reaches the host, with the entry kind as the host left it, as do
    // all other data sets: the kind mask does not filter MVS listings.
    if (Is(beforeLast, "PO")) SetDirectoryKind(handle, entry);

    const char* name = count == kMemberLineFields ? first : last;
    return lineCopy.Finish(StoreName(name, entry));
}
