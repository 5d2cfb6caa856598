// The listing parser of Macintosh servers (host type 3). A line holds a four-character file
// type at its start and the name from column 40 on; folders show the word "Folder" after
// leading blanks instead of a type, and their names end in "/":
//   TEXT ttxt      1234      0 01/12/96 12:34  read me
//          Folder                              Projects/
#include <cstring>

#include "listing/parser_steps.h"
#include "util/orr.h"

namespace {

constexpr size_t kShortestLine = 40;
constexpr size_t kLongestLine = 75;
constexpr size_t kNameColumn = 39;  // offset of column 40
constexpr size_t kTypeCodeLength = 4;
constexpr size_t kCreatorEnd = 10;  // the working line is also cut after character 10

// Entry kinds the host tells Macintosh files apart by.
constexpr uint8_t kEntryUnknownType = 0;
constexpr uint8_t kEntryOtherType = 4;

}  // namespace

int32_t ParseMacintoshLine(DirEntry* entry, char* line, ListingHandle* handle,
                           uint8_t hostType) {
    const size_t length = std::strlen(line);
    if (length < kShortestLine || length > kLongestLine) return PARSE_SKIP;

    // The second word: a line of this length that has only one word, or none (a line of
    // blanks), is no Macintosh listing line. It is passed over rather than taken for the
    // end of the listing, which would cost the host every entry after one odd line. The
    // first word is found as everywhere else, past leading blanks, so the summary line
    // "    12 File(s) ..." shows its "File(s)" here.
    const char* secondWord = OrrSkipBlanks(OrrSkipWord(line));
    if (secondWord == nullptr) return PARSE_NOT_THIS_FORMAT;
    if (OrrCompareN(secondWord, "File(s)", 7) == 0) return PARSE_SKIP;

    if (StoreLineCopy(line, entry) < 0) return FSE_NO_MEMORY;
    LineCopyGuard lineCopy(entry);

    bool directory = false;
    char* const typeCode = line;
    if (IsListingBlank(line[0])) {
        const char* word = OrrSkipBlanks(line);
        if (word == nullptr || OrrCompareN(word, "Folder", 6) != 0) return PARSE_SKIP;
        directory = true;
    } else {
        typeCode[kTypeCodeLength] = '\0';
        line[kCreatorEnd] = '\0';
        CharUpperA(typeCode);
        directory = std::strcmp(typeCode, "DIR ") == 0 || std::strcmp(typeCode, "VOL ") == 0;
    }

    char* const name = line + kNameColumn;
    const size_t nameLength = length - kNameColumn;
    if (name[nameLength - 1] == '/') name[nameLength - 1] = '\0';

    if (directory) {
        const int32_t kind = SetDirectoryKind(handle, entry);
        if (kind < 0) return kind;
    } else {
        if ((handle->kindMask & KIND_MASK_FILES) == 0) return PARSE_SKIP;
        if (std::strcmp(typeCode, "TEXT") == 0) {
            entry->kind = ENTRY_FILE;
        } else if (std::strcmp(typeCode, "????") == 0) {
            entry->kind = kEntryUnknownType;
        } else {
            entry->kind = kEntryOtherType;
        }
    }
    return lineCopy.Finish(StoreName(name, entry));
}
