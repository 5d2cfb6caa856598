// wsprintfA as the module formats its command lines and messages with it: decimal numbers
// and texts, with the widths and precisions of the Windows call.
#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"

namespace {

template <typename... Args>
std::string Format(const char* format, Args... args) {
    char out[1100];
    int written = wsprintfA(out, format, args...);
    EXPECT_EQ(written, lstrlenA(out));
    return std::string(out, static_cast<size_t>(written));
}

TEST(WsPrintf, ConversionsWithFlagsWidthAndPrecision) {
    EXPECT_EQ(Format("RETR %s\r\n", "a b.txt"), "RETR a b.txt\r\n");
    EXPECT_EQ(Format("PORT %d,%d,%d,%d,%d,%d\r\n", 127, 0, 0, 1, 4, 210),
              "PORT 127,0,0,1,4,210\r\n");
    EXPECT_EQ(Format("%d|%i|%u|%ld|%lu", -42, 7, 4294967295u, -2147483647 - 1, 3000000000u),
              "-42|7|4294967295|-2147483648|3000000000");
    EXPECT_EQ(Format("[%5d][%-5d][%05d][%05d]", 42, 42, 42, -42), "[   42][42   ][00042][-0042]");
    EXPECT_EQ(Format("[%.3d][%6.3d][%-6.3u]", 7, -7, 7u), "[007][  -007][007   ]");
    EXPECT_EQ(Format("%u%%", 50u), "50%");
    EXPECT_EQ(Format("[%s]", static_cast<const char*>(nullptr)), "[(null)]");
    EXPECT_EQ(Format("[%6s][%-6s][%.2s][%4.1s]", "ab", "ab", "abcdef", "xyz"),
              "[    ab][ab    ][ab][   x]");
}

TEST(WsPrintf, OutputStopsAt1024Characters) {
    std::string longText(2000, 'a');
    char out[1100];
    std::fill(std::begin(out), std::end(out), '#');
    EXPECT_EQ(wsprintfA(out, "%s tail", longText.c_str()), 1024);
    EXPECT_EQ(std::string(out), std::string(1024, 'a'));
    EXPECT_EQ(out[1025], '#');
}

}  // namespace
