// Private-profile files as the module's settings read them: names found in any case,
// defaults, numbers and values cut to their buffer. (Nothing writes them.)
#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"
#include "tests/support/temp_folder.h"

namespace {

using tvtest::WriteFile;

class Profile : public ::testing::Test {
protected:
    std::string Get(const char* section, const char* key, const char* fallback = "dflt") const {
        char out[64];
        GetPrivateProfileStringA(section, key, fallback, out, sizeof(out), file_);
        return out;
    }
    UINT Int(const char* key, int fallback) const {
        return GetPrivateProfileIntA("ftp_protocol", key, fallback, file_);
    }

    tvtest::TempFolder folder_;
    const std::string path_ = folder_ / "ORR.INI";
    const char* const file_ = path_.c_str();
};

TEST_F(Profile, ValuesAreFoundInAnyCaseWithDefaultsAndNumbers) {
    WriteFile(path_,
              "; settings\r\n[Other]\r\nPeekInterval=99\r\n[FTP_Protocol]\r\n;Note=1\r\n"
              "  PeekInterval = 12  \r\nQuoted=\"  spaced  \"\r\nEmpty=\r\n"
              "Pasv=  7 apples\r\nBad=abc\r\nNegative=-2\r\n"
              "[ftp_protocol]\r\nLater=found\r\n");
    EXPECT_EQ(Get("FTP_PROTOCOL", "peekinterval"), "12");
    EXPECT_EQ(Get("Other", "PeekInterval"), "99");
    EXPECT_EQ(Get("FTP_Protocol", "Quoted"), "  spaced  ");
    EXPECT_EQ(Get("FTP_Protocol", "Empty"), "");
    EXPECT_EQ(Get("FTP_Protocol", "Later"), "found");  // a repeated section is searched too
    EXPECT_EQ(Get("FTP_Protocol", ";Note"), "dflt");  // a comment, not a key
    EXPECT_EQ(Get("FTP_Protocol", "Missing", "fallback  "), "fallback");
    EXPECT_EQ(Get("Missing", "PeekInterval", nullptr), "");
    // The value is cut to the buffer, and the result says how much was copied.
    char small[4];
    EXPECT_EQ(GetPrivateProfileStringA("Other", "PeekInterval", "", small, 2, file_), 1u);
    EXPECT_STREQ(small, "9");

    EXPECT_EQ(Int("PEEKINTERVAL", 8), 12u);
    EXPECT_EQ(Int("Pasv", 1), 7u);
    EXPECT_EQ(Int("Bad", 5), 0u);
    EXPECT_EQ(Int("Negative", 5), static_cast<UINT>(-2));
    EXPECT_EQ(Int("Empty", 5), 5u);
    EXPECT_EQ(Int("Missing", 8), 8u);
    const std::string noFile = folder_ / "NONE.INI";
    EXPECT_EQ(GetPrivateProfileIntA("FTP_Protocol", "PeekInterval", 8, noFile.c_str()), 8u);
}

}  // namespace
