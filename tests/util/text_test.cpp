// Texts, tokens, numbers and blocks of the utility library, on edge and hostile input.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "util/orr.h"

namespace {

using Words = std::vector<std::string>;

// Every token of text, cut in place as the listing parsers take their fields. Used up, the
// cursor rests on the end and keeps answering none.
Words Tokens(std::string text, const char* delimiters) {
    Words tokens;
    char* cursor = text.data();
    while (char* token = OrrNextToken(&cursor, delimiters)) tokens.emplace_back(token);
    EXPECT_EQ(cursor, text.data() + text.size());
    EXPECT_EQ(OrrNextToken(&cursor, delimiters), nullptr);
    return tokens;
}

}  // namespace

TEST(OrrText, BoundedCopyAndAppendNeverPassTheirRoom) {
    // Exact-size heap buffers: AddressSanitizer sees any byte written past them.
    std::vector<char> six(6, '#');
    EXPECT_EQ(OrrCopyStringN(six.data(), "abcdefghij", 5), 5);
    EXPECT_EQ(std::string(six.data(), 6), std::string("abcde\0", 6));
    six.assign(6, '#');
    EXPECT_EQ(OrrCopyStringN(six.data(), "ab", 5), 2);
    EXPECT_EQ(std::string(six.data(), 6), std::string("ab\0###", 6));
    std::vector<char> one(1, '#');
    EXPECT_EQ(OrrCopyStringN(one.data(), "abc", 0), 0);
    EXPECT_EQ(OrrCopyStringN(one.data(), nullptr, -4), 0);
    EXPECT_EQ(one[0], '\0');

    // "<directory>/<name>" in a block of 12 bytes.
    std::vector<char> path(12, '#');
    OrrCopyStringN(path.data(), "/home", 11);
    EXPECT_EQ(OrrAppendStringN(path.data(), "/", 11 - 5), 6);
    EXPECT_EQ(OrrAppendStringN(path.data(), "verylongname", 11 - 6), 11);
    EXPECT_EQ(OrrAppendStringN(path.data(), "more", 0), 11);
    EXPECT_STREQ(path.data(), "/home/veryl");
}

TEST(OrrText, ComparesAndSearchesMindCaseWhereTheServerWordingNeedsIt) {
    EXPECT_EQ(OrrCompareN("total 12", "total", 5), 0);
    EXPECT_NE(OrrCompareN("TOTAL 12", "total", 5), 0);
    EXPECT_LT(OrrCompareN("ab", "abc", 10), 0);
    EXPECT_GT(OrrCompareN("\xE9", "e", 1), 0);  // bytes compare unsigned
    EXPECT_EQ(OrrCompareBytes("Not Found AZ", "not found az", 12), 0);
    EXPECT_NE(OrrCompareBytes("@[", "`{", 2), 0);  // neighbours of the letters do not fold
    EXPECT_NE(OrrCompareBytes("Fold", "Folder", 6), 0);

    const char* line = "-rw-r--r-- 1 u g 10 Jan 12 12:34 a:b";
    EXPECT_EQ(OrrFindChar(line, ':'), line + 29);
    EXPECT_EQ(OrrFindLastChar(line, ':'), line + 34);
    EXPECT_EQ(OrrFindChar(line, '\0'), nullptr);
    EXPECT_EQ(OrrFindLastChar("", '/'), nullptr);
    const char* lsError = "ls: /tmp/x: no such file or directory";
    EXPECT_EQ(OrrFindString(lsError, "No such file"), lsError + 12);
    EXPECT_EQ(OrrFindString("215 VM", "VM "), nullptr);  // partial match at the end
    const char* text = "aaab";
    EXPECT_EQ(OrrFindString(text, "aab"), text + 1);
    EXPECT_EQ(OrrFindString("220 acme ftpd", ""), nullptr);  // an empty rule matches nothing
    EXPECT_EQ(OrrFindString(nullptr, "x"), nullptr);

    const char* words = "  xyz \t not found";
    EXPECT_EQ(OrrSkipBlanks(OrrSkipWord(words)), words + 8);
    EXPECT_EQ(OrrSkipWord("garbage"), nullptr);
    EXPECT_EQ(OrrSkipWord("   "), nullptr);
    EXPECT_EQ(OrrSkipBlanks(" \t "), nullptr);
}

TEST(OrrText, NextTokenCutsFieldsAtRunsOfDelimiters) {
    EXPECT_EQ(Tokens("  drwxr-xr-x   2 u \t g  Jan 12 12:34 dir \t", " \t"),
              (Words{"drwxr-xr-x", "2", "u", "g", "Jan", "12", "12:34", "dir"}));
    EXPECT_EQ(Tokens("line1\r\n\r\nline2\n\rline3", "\r\n"), (Words{"line1", "line2", "line3"}));
    EXPECT_EQ(Tokens("", " \t"), Words{});
    EXPECT_EQ(Tokens(" \t \t", " \t"), Words{});
    EXPECT_EQ(Tokens("a b", nullptr), Words{"a b"});
    EXPECT_EQ(Tokens(std::string(70000, 'x') + " y", " ").size(), 2u);

    // "name;pattern": after the name the cursor holds the pattern, later ";" included.
    char rule[] = "UNIX;acme ftpd; v2";
    char* cursor = rule;
    EXPECT_STREQ(OrrNextToken(&cursor, ";"), "UNIX");
    EXPECT_STREQ(cursor, "acme ftpd; v2");
    char* none = nullptr;
    EXPECT_EQ(OrrNextToken(&none, " "), nullptr);
}

TEST(OrrText, StrToLongReadsSignAndRadixAndNeverOverflows) {
    EXPECT_EQ(OrrStrToLong("  -42)", 10), -42);
    EXPECT_EQ(OrrStrToLong("0x1F", 16), 31);
    EXPECT_EQ(OrrStrToLong("-ff", 16), -255);
    EXPECT_EQ(OrrStrToLong("0xg", 16), 0);
    EXPECT_EQ(OrrStrToLong("0x1F", 10), 0);
    EXPECT_EQ(OrrStrToLong("7a", 10), 7);  // a digit of the radix or beyond ends the number
    EXPECT_EQ(OrrStrToLong("fg", 16), 15);
    EXPECT_EQ(OrrStrToLong(nullptr, 10), 0);
    EXPECT_EQ(OrrStrToLong("2147483648", 10), INT_MAX);
    EXPECT_EQ(OrrStrToLong("-2147483648", 10), INT_MIN);
    EXPECT_EQ(OrrStrToLong(std::string(5000, '9').c_str(), 10), INT_MAX);
    EXPECT_EQ(OrrStrToLong("-ffffffffffffffffffff", 16), INT_MIN);
}

TEST(OrrMemory, BlocksAreZeroFilledLockedMoveableMemory) {
    auto* block = static_cast<char*>(OrrAlloc(256));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(std::string(block, 256), std::string(256, '\0'));
    EXPECT_EQ(GlobalFlags(GlobalHandle(block)) & GMEM_LOCKCOUNT, 1u);
    OrrCopyBytes("abcdef", block, 6);
    EXPECT_EQ(OrrCopyBytes(block, block + 2, 6), 6);  // overlapping shift
    EXPECT_EQ(std::string(block, 8), "ababcdef");
    OrrFree(block);
    OrrFree(nullptr);
}
