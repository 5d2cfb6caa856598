// Which listing parser reads the LIST lines of a server: one row per host type whose
// listing style the module knows. Host types without a row (nothing detected, "Other") have
// no parser, and their LIST listings cannot be read.
#include "listing/listing_parser.h"

namespace {

struct ParserRow {
    uint8_t hostType;
    ListingParser parser;
};

constexpr ParserRow kParsers[] = {
    {HOST_BRANNOCK, ParseUnixLine},
    {HOST_UNIX, ParseUnixLine},
    {HOST_WINDOWS_NT_UNIX, ParseUnixLine},
    {HOST_DOS, ParseDosLine},
    {HOST_OS2, ParseDosLine},
    {HOST_MACINTOSH, ParseMacintoshLine},
    {HOST_MVS, ParseMvsLine},
    {HOST_VM, ParseVmLine},
    {HOST_VMS, ParseVmsLine},
    {HOST_WINDOWS_NT_DOS, ParseWindowsNtDosLine},
    {HOST_WINDOWS_95, ParseWindows95Line},
};

}  // namespace

ListingParser SelectListingParser(uint8_t hostType) {
    for (const ParserRow& row : kParsers) {
        if (row.hostType == hostType) return row.parser;
    }
    return nullptr;
}
