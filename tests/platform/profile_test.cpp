// Private-profile files as the module's settings use them: names found in any case,
// defaults, numbers, and writes that keep the rest of the file as it was.
#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"
#include "tests/support/temp_folder.h"

namespace {

using tvtest::ReadFile;
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
              "; settings\r\n[Other]\r\nPeekInterval=99\r\n"
              "[FTP_Protocol]\r\n  PeekInterval = 12  \r\nQuoted=\"  spaced  \"\r\nEmpty=\r\n"
              "Pasv=  7 apples\r\nBad=abc\r\nNegative=-2\r\n"
              "[ftp_protocol]\r\nLater=found\r\n");
    EXPECT_EQ(Get("FTP_PROTOCOL", "peekinterval"), "12");
    EXPECT_EQ(Get("Other", "PeekInterval"), "99");
    EXPECT_EQ(Get("FTP_Protocol", "Quoted"), "  spaced  ");
    EXPECT_EQ(Get("FTP_Protocol", "Empty"), "");
    EXPECT_EQ(Get("FTP_Protocol", "Later"), "found");  // a repeated section is searched too
    EXPECT_EQ(Get("FTP_Protocol", "; settings"), "dflt");
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

TEST_F(Profile, WritesChangeOnlyTheirLineAndDeleteKeysAndSections) {
    WriteFile(path_,
              "; keep me\r\n[FTP_Protocol]\r\nPASV=0\r\nUnknown = stays\r\n\r\n[Other]\r\nx=1\r\n");
    EXPECT_TRUE(WritePrivateProfileStringA("FTP_PROTOCOL", "pasv", "1", file_));
    EXPECT_TRUE(WritePrivateProfileStringA("FTP_Protocol", "Binary", "3", file_));
    EXPECT_TRUE(WritePrivateProfileStringA("Fresh", "Key", "v", file_));
    EXPECT_EQ(ReadFile(path_),
              "; keep me\r\n[FTP_Protocol]\r\nPASV=1\r\nUnknown = stays\r\nBinary=3\r\n\r\n"
              "[Other]\r\nx=1\r\n\r\n[Fresh]\r\nKey=v\r\n");
    EXPECT_EQ(Int("binary", 0), 3u);

    // A null value deletes the key; a null key deletes the whole section.
    EXPECT_TRUE(WritePrivateProfileStringA("ftp_protocol", "UNKNOWN", nullptr, file_));
    EXPECT_TRUE(WritePrivateProfileStringA("OTHER", nullptr, nullptr, file_));
    EXPECT_TRUE(WritePrivateProfileStringA("Gone", nullptr, nullptr, file_));
    EXPECT_EQ(ReadFile(path_),
              "; keep me\r\n[FTP_Protocol]\r\nPASV=1\r\nBinary=3\r\n\r\n[Fresh]\r\nKey=v\r\n");
}

TEST_F(Profile, WritingCreatesTheFileAndKeepsItsLineEnds) {
    EXPECT_TRUE(WritePrivateProfileStringA("FTP_Protocol", "PeekInterval", "4", file_));
    EXPECT_EQ(ReadFile(path_), "[FTP_Protocol]\r\nPeekInterval=4\r\n");

    WriteFile(path_, "[a]\nk=1");  // Unix line ends, none at the end
    EXPECT_TRUE(WritePrivateProfileStringA("A", "K", "2", file_));
    EXPECT_TRUE(WritePrivateProfileStringA("b", "k", "3", file_));
    EXPECT_EQ(ReadFile(path_), "[a]\nk=2\n\n[b]\nk=3\n");

    const std::string unwritable = folder_ / "missing-dir/ORR.INI";
    EXPECT_FALSE(WritePrivateProfileStringA("a", "k", "v", unwritable.c_str()));
}

}  // namespace
