// The listing parser of DOS and OS/2 servers (host types 2 and 6). Their lines come in
// three shapes, told apart by the field that holds the time of day:
//   10-20-95  01:23p  <DIR>  Program Files     date, time, kind word, name
//   COMMAND  COM  54645  05-31-94  6:22a       name, extension, size or <DIR>, date, time
//   DOS  <DIR>  05-31-94  6:22a                name, kind word, date, time
//         0  DIR  08-14-95  19:49  Desktop     size, kind word, date, time, name (OS/2)
#include <cstring>

#include "listing/parser_steps.h"
#include "util/orr.h"

namespace {

// The room of a DOS short name joined with its extension ("COMMAND.COM").
constexpr int32_t kShortNameLimit = 15;

bool HasColon(const char* field) { return field != nullptr && OrrFindChar(field, ':') != nullptr; }

// The attribute column some servers put between the size and the name.
bool IsAttributeColumn(const char* field) {
    return std::strcmp(field, "R") == 0 || std::strcmp(field, "A") == 0 ||
           std::strcmp(field, "RA") == 0;
}

}  // namespace

int32_t ParseDosLine(DirEntry* entry, char* line, ListingHandle* handle, uint8_t hostType) {
    const bool leadingBlank = IsListingBlank(line[0]);
    if (StoreLineCopy(line, entry) < 0) return FSE_NO_MEMORY;
    LineCopyGuard lineCopy(entry);

    char* fields[5] = {};
    char* cursor = line;
    for (char*& field : fields) field = NextField(&cursor);
    char* const f1 = fields[0];
    char* const f2 = fields[1];
    char* const f3 = fields[2];
    char* const f4 = fields[3];
    char* const f5 = fields[4];

    if (HasColon(f2)) {
        // Date, time, kind word, name. f2 holds a ":", so f1 exists; the name keeps the
        // blanks of the line from its first word on.
        const int32_t kind = ApplyDirectoryWord(f3, handle, entry);
        if (kind < 0) return kind;
        if (f4 == nullptr) return PARSE_SKIP;  // no name column at all
        if (f5 == nullptr) return lineCopy.Finish(StoreDosStyleName(f4, handle, entry));
        const char* nameStart = IsAttributeColumn(f4) ? f5 : f4;
        return lineCopy.Finish(
            StoreDosStyleNameFromLineCopy(static_cast<size_t>(nameStart - line), handle, entry));
    }

    if (HasColon(f5)) {
        // Name, extension, size or <DIR>, date, time: the short name is joined again.
        const int32_t kind = ApplyDirectoryWord(f3, handle, entry);
        if (kind < 0) return kind;
        const char* name = f1;
        const char* extension = f2;
        if (handle->glob == 0) {
            // The cut through the last "\" applies to the joined name: a "\" in the
            // extension leaves only what follows it.
            if (const char* separator = OrrFindLastChar(extension, '\\')) {
                name = separator + 1;
                extension = nullptr;
            } else if (const char* nameSeparator = OrrFindLastChar(name, '\\')) {
                name = nameSeparator + 1;
            }
        }
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) return PARSE_SKIP;
        if (name[0] == '\0' && extension == nullptr) return PARSE_SKIP;
        return lineCopy.Finish(StoreNameWithExtension(name, extension, entry, kShortNameLimit));
    }

    if (HasColon(f4)) {
        // A kind word, a date and a time after one or two leading fields: the name is the
        // first field, or, on the OS/2 lines that begin with a blank, the field after the
        // time.
        const int32_t kind = ApplyDirectoryWord(f2, handle, entry);
        if (kind < 0) return kind;
        const char* name = leadingBlank ? f5 : f1;
        // A line that begins with a blank and ends with the time has no name column: it is
        // passed over rather than named after one of its other fields.
        if (name == nullptr) return PARSE_SKIP;
        return lineCopy.Finish(StoreDosStyleName(name, handle, entry));
    }

    return PARSE_SKIP;
}
