// The listing parser of Windows 95 servers (host type 12). Their lines are read from the
// word that holds the first ":" (normally the time of day): the two words in front of it
// and the text behind it tell the kind and the name, e.g.
//      <DIR>  08-14-95  19:49  Desktop       kind word, date, time, name
#include "listing/parser_steps.h"
#include "util/orr.h"

namespace {

// A blank-delimited word of the working line, cut out in place.
struct Word {
    char* start = nullptr;  // null when there is no such word
};

// The word in front of `position`: blanks before it are passed over, and the word begins
// after the nearest blank before its last character, or at the line's start. The blank
// that follows the word is cut. No word when only blanks (or nothing) stand in front.
Word CutWordBefore(char* line, char* position) {
    char* end = position;
    while (end > line && IsListingBlank(end[-1])) --end;
    if (end == line) return {};
    char* start = end;
    while (start > line && !IsListingBlank(start[-1])) --start;
    if (end < position) *end = '\0';
    return {start};
}

}  // namespace

int32_t ParseWindows95Line(DirEntry* entry, char* line, ListingHandle* handle,
                           uint8_t hostType) {
    if (StoreLineCopy(line, entry) < 0) return FSE_NO_MEMORY;
    LineCopyGuard lineCopy(entry);

    // The ":" is looked for from the third character on; a shorter line has none.
    if (line[0] == '\0' || line[1] == '\0') return PARSE_SKIP;
    char* const colon = OrrFindChar(line + 2, ':');
    if (colon == nullptr) return PARSE_SKIP;

    // w0, the word that holds the ":", and the tail after the blanks that follow it. A w0
    // that runs to the end of the line leaves an empty tail.
    char* w0 = colon;
    while (w0 > line && !IsListingBlank(w0[-1])) --w0;
    char* w0End = colon;
    while (*w0End != '\0' && !IsListingBlank(*w0End)) ++w0End;
    char* tail = w0End;
    while (IsListingBlank(*tail)) ++tail;
    *w0End = '\0';

    // Every shape needs the two words in front of w0, w1 and w2 (the kind word is one of
    // them). A line with fewer is passed over: the walk back stops at the line's start and
    // never reads in front of it. w2 may begin the line: the kind, date, time, name shape
    // then needs no leading blank, and the name-in-front shape finds an empty name there and
    // passes the line over.
    const Word w1 = CutWordBefore(line, w0);
    if (w1.start == nullptr) return PARSE_SKIP;
    const Word w2 = CutWordBefore(line, w1.start);
    if (w2.start == nullptr) return PARSE_SKIP;

    if (OrrFindChar(w2.start, ':') != nullptr) {
        // Time, kind word, name. An attribute column ("R", "A", "RA") would put the name
        // behind it, but w0 holds the ":" and so is never such a column: the name is the
        // line from w0 on, as received.
        const int32_t kind = ApplyDirectoryWord(w1.start, handle, entry);
        if (kind < 0) return kind;
        return lineCopy.Finish(
            StoreDosStyleNameFromLineCopy(static_cast<size_t>(w0 - line), handle, entry));
    }

    if (OrrFindChar(tail, ':') != nullptr) {
        // A second ":" behind w0: the name comes first, in front of w2, and ends where the
        // blanks before w2 begin; w1 is the kind word.
        const int32_t kind = ApplyDirectoryWord(w1.start, handle, entry);
        if (kind < 0) return kind;
        char* nameEnd = w2.start;
        while (nameEnd > line && IsListingBlank(nameEnd[-1])) --nameEnd;
        *nameEnd = '\0';
        return lineCopy.Finish(StoreDosStyleName(line, handle, entry));
    }

    // Kind word (w2), date, time (w0), name.
    const int32_t kind = ApplyDirectoryWord(w2.start, handle, entry);
    if (kind < 0) return kind;
    return lineCopy.Finish(StoreDosStyleName(tail, handle, entry));
}
