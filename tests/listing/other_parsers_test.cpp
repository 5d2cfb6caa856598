// What every parser of the hosts without UNIX-style listings must hold for any line a
// server can send: the parser of each host type is the one its listing style needs, and
// short, odd and overlong lines give only the results of the parser contract, never a read
// beyond the line (the lines are exact heap blocks, checked in the sanitizer build), never
// a block left in a skipped entry, and never a DOS-style name the host must not see.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "listing/listing_parser.h"
#include "tests/listing/parse_line.h"

namespace {

struct HostParser {
    uint8_t hostType;
    ListingParser parser;
    bool dosStyle;  // names cut at "\" for directory handles, "." and ".." passed over
};

const HostParser kHostParsers[] = {
    {2, ParseDosLine, true},          {6, ParseDosLine, true},
    {3, ParseMacintoshLine, false},   {4, ParseMvsLine, false},
    {8, ParseVmLine, false},          {9, ParseVmsLine, false},
    {10, ParseWindowsNtDosLine, true}, {12, ParseWindows95Line, true},
};

// Every line of up to four characters over the characters the parsers look for, and
// longer lines built to lead their scans towards the ends of the line.
std::vector<std::string> OddLines() {
    const std::string alphabet = " \t:a\\.";
    std::vector<std::string> lines{""};
    for (size_t begin = 0, length = 1; length <= 4; ++length) {
        const size_t end = lines.size();
        for (size_t i = begin; i < end; ++i) {
            for (char c : alphabet) lines.push_back(lines[i] + c);
        }
        begin = end;
    }
    const size_t longest = LISTING_LINE_BUFFER_SIZE - 1;
    lines.push_back(std::string(longest, ' '));
    lines.push_back(std::string(longest, ':'));
    lines.push_back(std::string(longest, 'x'));
    lines.push_back(std::string(longest - 1, ' ') + ":");
    lines.push_back(":" + std::string(longest - 1, ' '));
    lines.push_back("  <DIR>  " + std::string(longest - 30, 'n') + " 1:2 x");
    lines.push_back("COMMAND  " + std::string(longest - 30, 'e') + "  1  2  3:4");
    lines.push_back(std::string(2000, 'V') + " " + std::string(40, 'T'));
    for (size_t length = 38; length <= 77; ++length) {
        lines.push_back(std::string(length, 'A'));
        lines.push_back("TEXT" + std::string(length - 4, ' '));
        lines.push_back(" Folder" + std::string(length - 8, ' ') + "/");
        lines.push_back(" Folder" + std::string(length - 7, '/'));
        lines.push_back(std::string(length - 1, ' ') + "/");
    }
    for (const char* line : {"R", "A", "RA", "Total", "PO", "PO PO", "<DIR>", "DIR",
                             "a  b  c  d:e", "a b c d e:f", "1:  <DIR>  :", "\\  \\  1  2  3:\\",
                             "x  y  z  R  :", "x  1:  <DIR>  \\", ". . . . .:"}) {
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

TEST(OtherHostParsers, SelectedByHostType) {
    for (const HostParser& host : kHostParsers) {
        EXPECT_EQ(SelectListingParser(host.hostType), host.parser) << int{host.hostType};
    }
    EXPECT_EQ(SelectListingParser(1), nullptr);
    EXPECT_EQ(SelectListingParser(13), nullptr);
}

TEST(OtherHostParsers, OddLinesKeepTheContract) {
    const std::vector<std::string> lines = OddLines();
    for (const HostParser& host : kHostParsers) {
        for (const std::string& line : lines) {
            for (uint32_t kindMask = 0; kindMask <= KIND_MASK_ALL; ++kindMask) {
                for (uint16_t glob = 0; glob <= 1; ++glob) {
                    // Only the VMS parser looks at the line's number.
                    for (uint16_t lineCount = host.hostType == 9 ? 1 : 2; lineCount <= 2;
                         ++lineCount) {
                        const tvtest::ParsedLine parsed = tvtest::ParseLine(
                            host.parser, host.hostType, line, {kindMask, glob, lineCount});
                        SCOPED_TRACE(testing::Message() << "host type " << int{host.hostType}
                                                        << ", line \"" << line << "\"");
                        if (parsed.result >= 0) {
                            EXPECT_EQ(parsed.line, line);
                        } else if (host.hostType == 3) {
                            EXPECT_TRUE(parsed.result == PARSE_SKIP || parsed.result == -2);
                        } else {
                            EXPECT_EQ(parsed.result, PARSE_SKIP);
                        }
                        if (parsed.result >= 0 && host.dosStyle) {
                            EXPECT_NE(parsed.name, "");
                            EXPECT_NE(parsed.name, ".");
                            EXPECT_NE(parsed.name, "..");
                            if (glob == 0) {
                                EXPECT_EQ(parsed.name.find('\\'), std::string::npos);
                            }
                        }
                        if (::testing::Test::HasFailure()) return;
                    }
                }
            }
        }
    }
}
