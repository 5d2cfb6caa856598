// wsprintfA as the module formats its command lines and messages with it.
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
    EXPECT_EQ(Format("%x|%X|%lx|%#x|%#X", 255, 255, 0xDEADBEEFu, 26, 26),
              "ff|FF|deadbeef|0x1a|0X1A");
    EXPECT_EQ(Format("%hd|%hu", 70000, 70000), "4464|4464");
    EXPECT_EQ(Format("[%5d][%-5d][%05d][%05d]", 42, 42, 42, -42), "[   42][42   ][00042][-0042]");
    EXPECT_EQ(Format("[%.3d][%6.3d][%-6.3u]", 7, -7, 7u), "[007][  -007][007   ]");
    EXPECT_EQ(Format("[%#06x][%#-6x]", 10, 10), "[0x000a][0xa   ]");
    EXPECT_EQ(Format("%u%%", 50u), "50%");
    EXPECT_EQ(Format("[%s]", static_cast<const char*>(nullptr)), "[(null)]");
    EXPECT_EQ(Format("[%6s][%-6s][%.2s][%4.1s]", "ab", "ab", "abcdef", "xyz"),
              "[    ab][ab    ][ab][   x]");
    EXPECT_EQ(Format("%c%c%3c", 'O', 'K', '!'), "OK  !");
    std::string pointer = Format("%p", reinterpret_cast<void*>(static_cast<uintptr_t>(0xAB12)));
    EXPECT_EQ(pointer.size(), 2 * sizeof(void*));
    EXPECT_EQ(pointer.substr(pointer.size() - 6), "00AB12");
    // Unknown conversions and a lone '%' at the end stand for themselves or vanish.
    EXPECT_EQ(Format("%q|%"), "q|");
}

TEST(WsPrintf, OutputStopsAt1024Characters) {
    std::string longText(2000, 'a');
    char out[1100];
    std::fill(std::begin(out), std::end(out), '#');
    EXPECT_EQ(wsprintfA(out, "%s tail", longText.c_str()), 1024);
    EXPECT_EQ(std::string(out), std::string(1024, 'a'));
    EXPECT_EQ(out[1025], '#');

    // Padding is cut the same way, and huge widths do not overflow the count.
    std::fill(std::begin(out), std::end(out), '#');
    EXPECT_EQ(wsprintfA(out, "%99999999999d", 1), 1024);
    EXPECT_EQ(out[1024], '\0');
    EXPECT_EQ(out[1025], '#');
    EXPECT_EQ(wsprintfA(out, "%.1030d|", 5), 1024);
    EXPECT_EQ(out[1023], '0');
}

}  // namespace
