// Name extraction: the host's copy of a listing line and the name taken from it. UNIX and
// Windows NT lines in UNIX style that show the usual columns name their entry in all the
// text after the date (a link's name ends before its arrow). Other UNIX-style lines
// (Brannock's among them) are read by where their name usually stands: the word before a
// link's arrow, the last word on Brannock servers, the text after the time of day, or the
// text after eight fields when the date shows a year. VMS lines name the file after their
// directory part; every other host's line is its own name.
#include <cstring>

#include "listing/listing_parser.h"
#include "util/orr.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

char* SkipBlanks(char* text) {
    while (IsBlank(*text)) ++text;
    return text;
}

char* SkipNonBlanks(char* text) {
    while (*text != '\0' && !IsBlank(*text)) ++text;
    return text;
}

// The name as a range of the line: [start, end).
struct NameSpan {
    char* start = nullptr;
    char* end = nullptr;
};

// What a rule found: a name, no name in this line, or (links only) a line of no known shape.
enum class Found { Name, Nothing, NotThisFormat };

// A link line: the word that starts after the third blank from the line's end, up to the
// next blank ("bin" of "... 12:34 bin -> usr/bin").
Found FindLinkSpan(char* line, NameSpan* span) {
    char* start = FindLinkName(line);
    if (start == nullptr) return Found::NotThisFormat;
    char* end = SkipNonBlanks(start);
    if (*end == '\0') return Found::NotThisFormat;
    *span = {start, end};
    return Found::Name;
}

// A Brannock line names its entry in its last word.
Found FindLastWordSpan(char* line, NameSpan* span) {
    char* end = line + std::strlen(line);
    char* start = end;
    while (start > line && !IsBlank(start[-1])) --start;
    *span = {start, end};
    return Found::Name;
}

// A line dated with a time of day: the name starts past the minutes that follow the last
// ":" and past the blanks after them, and runs to the line's end. A ":" with fewer than
// two characters behind it has no minutes and so no name behind them; reading three
// characters on would leave the line, so such a line carries no entry.
Found FindAfterTimeSpan(char* lastColon, NameSpan* span) {
    if (lastColon[1] == '\0' || lastColon[2] == '\0') return Found::Nothing;
    char* start = SkipBlanks(lastColon + 3);
    *span = {start, start + std::strlen(start)};
    return Found::Name;
}

// A line dated with a year: permissions, links, owner, group, size and the three parts of
// the date take eight fields; the name is the rest of the line. A line that runs out
// before its ninth field has no name, and carries no entry.
Found FindAfterFieldsSpan(char* line, NameSpan* span) {
    constexpr int kFieldsBeforeName = 8;
    char* scan = SkipBlanks(line);
    for (int field = 0; field < kFieldsBeforeName; ++field) {
        if (*scan == '\0') return Found::Nothing;
        scan = SkipBlanks(SkipNonBlanks(scan));
    }
    *span = {scan, scan + std::strlen(scan)};
    return Found::Name;
}

bool IsDigits(const char* start, const char* end) {
    if (start == end) return false;
    for (; start < end; ++start) {
        if (*start < '0' || *start > '9') return false;
    }
    return true;
}

bool IsMonth(const char* start, const char* end) {
    constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    if (end - start != 3) return false;
    for (const char* month : kMonths) {
        if (OrrCompareBytes(start, month, 3) == 0) return true;
    }
    return false;
}

// A time of day ("9:05", "12:34") or a year ("1995").
bool IsTimeOrYear(const char* start, const char* end) {
    const char* colon = start;
    while (colon < end && *colon != ':') ++colon;
    if (colon == end) return end - start == 4 && IsDigits(start, end);
    return colon - start >= 1 && colon - start <= 2 && end - colon == 3 &&
           IsDigits(start, colon) && IsDigits(colon + 1, end);
}

// The columns of a UNIX line before its name: permissions (ten characters, an eleventh
// for an access-list mark), links, owner, group, size, month, day, and the time of day or
// the year. Where the line has them all, the name is known to start after the date: a ":"
// or a blank inside the name (or in a link's target) cannot move it, as it moves the rules
// that look for the last ":" or count blanks back from the line's end. The start of the
// name (past the blanks after the date, as in every UNIX rule), or null for a line without
// these columns.
char* FindNameAfterColumns(char* line) {
    enum { kPermissions, kLinks, kOwner, kGroup, kSize, kMonth, kDay, kTime, kColumns };
    char* starts[kColumns];
    char* ends[kColumns];
    char* scan = line;
    for (int column = 0; column < kColumns; ++column) {
        if (*scan == '\0' || IsBlank(*scan)) return nullptr;
        starts[column] = scan;
        ends[column] = SkipNonBlanks(scan);
        scan = SkipBlanks(ends[column]);
    }
    const auto width = [&](int column) { return ends[column] - starts[column]; };
    const auto digits = [&](int column) { return IsDigits(starts[column], ends[column]); };
    const bool usual = (width(kPermissions) == 10 || width(kPermissions) == 11) &&
                       digits(kLinks) && digits(kSize) && IsMonth(starts[kMonth], ends[kMonth]) &&
                       width(kDay) <= 2 && digits(kDay) &&
                       IsTimeOrYear(starts[kTime], ends[kTime]);
    return usual ? scan : nullptr;
}

// The name of a line with the usual columns: the rest of the line, for a link what stands
// before its first " -> ", so that a target holding blanks leaves the name whole.
Found FindAfterColumnsSpan(char* start, bool link, NameSpan* span) {
    char* end = start + std::strlen(start);
    if (char* arrow = link ? OrrFindString(start, " -> ") : nullptr; arrow != nullptr) {
        end = arrow;
    }
    *span = {start, end};
    return Found::Name;
}

Found FindUnixStyleSpan(char* line, const ListingHandle* handle, uint8_t hostType,
                        NameSpan* span) {
    Found found;
    char* afterColumns = hostType == HOST_BRANNOCK ? nullptr : FindNameAfterColumns(line);
    if (afterColumns != nullptr) {
        found = FindAfterColumnsSpan(afterColumns, line[0] == 'l' || line[0] == 'L', span);
    } else if (line[0] == 'l' || line[0] == 'L') {
        found = FindLinkSpan(line, span);
    } else if (hostType == HOST_BRANNOCK) {
        found = FindLastWordSpan(line, span);
    } else if (char* lastColon = OrrFindLastChar(line, ':'); lastColon != nullptr) {
        found = FindAfterTimeSpan(lastColon, span);
    } else {
        found = FindAfterFieldsSpan(line, span);
    }
    if (found != Found::Name) return found;

    // A directory listing hands back bare names; a glob keeps the path the server matched.
    if (!handle->glob) {
        for (char* scan = span->end; scan > span->start; --scan) {
            if (scan[-1] == '/') {
                span->start = scan;
                break;
            }
        }
    }
    const std::size_t length = static_cast<std::size_t>(span->end - span->start);
    if ((length == 1 && span->start[0] == '.') ||
        (length == 2 && span->start[0] == '.' && span->start[1] == '.')) {
        return Found::Nothing;
    }
    return Found::Name;
}

// A VMS line from a directory listing drops its "[directory]" part; version and extension
// stay with the name.
Found FindVmsSpan(char* line, const ListingHandle* handle, NameSpan* span) {
    char* start = line;
    if (!handle->glob) {
        if (char* bracket = OrrFindLastChar(line, ']'); bracket != nullptr) start = bracket + 1;
    }
    *span = {start, start + std::strlen(start)};
    return Found::Name;
}

// Stores the range as the entry's name. The line is left as it came: the character behind
// the name is put back, so that a caller walking a buffer of such lines still finds each
// line's end where it was.
int32_t StoreNameSpan(const NameSpan& span, DirEntry* entry) {
    const char saved = *span.end;
    *span.end = '\0';
    const int32_t result = StoreName(span.start, entry);
    *span.end = saved;
    return result;
}

}  // namespace

// Whatever does not end in a kept entry gives its line copy back at once: the caller reuses
// the record for the next line, and a copy left in it would be lost there.
//
// A name that comes out empty (a line that ends where its name should begin, a "[dir]"
// with nothing after it, a directory listing's "sub/") is skipped like "." and "..": the
// host has no use for an entry it cannot name.
int32_t ExtractName(DirEntry* entry, char* line, const ListingHandle* handle, uint8_t hostType) {
    const int32_t copied = StoreLineCopy(line, entry);
    if (copied < 0) return copied;

    NameSpan span;
    Found found;
    switch (hostType) {
    case HOST_BRANNOCK:
    case HOST_UNIX:
    case HOST_WINDOWS_NT_UNIX:
        found = FindUnixStyleSpan(line, handle, hostType, &span);
        break;
    case HOST_VMS:
        found = FindVmsSpan(line, handle, &span);
        break;
    default:
        span = {line, line + std::strlen(line)};
        found = Found::Name;
        break;
    }
    if (found == Found::Name && span.start == span.end) found = Found::Nothing;
    if (found != Found::Name) {
        FreeEntryLine(entry);
        return found == Found::NotThisFormat ? PARSE_NOT_THIS_FORMAT : PARSE_SKIP;
    }

    const int32_t stored = StoreNameSpan(span, entry);
    if (stored < 0) FreeEntryLine(entry);
    return stored;
}
