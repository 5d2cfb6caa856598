// Name extraction: the host's copy of a listing line and the name taken from it. UNIX-style
// lines (Brannock, UNIX, Windows NT in UNIX style) are read by where their name usually
// stands: the word before a link's arrow, the last word on Brannock servers, the text after
// the time of day, or the text after eight fields when the date shows a year. VMS lines
// name the file after their directory part; every other host's line is its own name.
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

Found FindUnixStyleSpan(char* line, const ListingHandle* handle, uint8_t hostType,
                        NameSpan* span) {
    Found found;
    if (line[0] == 'l' || line[0] == 'L') {
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
