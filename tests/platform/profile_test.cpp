// Private-profile files as the module's settings use them: names found in any case,
// defaults, numbers, and writes that keep the rest of the file as it was.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include <unistd.h>

#include "platform/platform.h"

namespace {

class Profile : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tvplatform-profile-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory_ = pattern;
        path_ = directory_ + "/ORR.INI";
    }
    void TearDown() override { std::system(("rm -rf " + directory_).c_str()); }

    void Write(const std::string& content) const {
        std::ofstream(path_, std::ios::binary) << content;
    }
    std::string Read() const {
        std::ifstream in(path_, std::ios::binary);
        std::stringstream content;
        content << in.rdbuf();
        return content.str();
    }
    std::string Get(const char* section, const char* key, const char* fallback = "dflt") const {
        char out[64];
        GetPrivateProfileStringA(section, key, fallback, out, sizeof(out), path_.c_str());
        return out;
    }

    std::string directory_;
    std::string path_;
};

TEST_F(Profile, SectionsAndKeysAreFoundInAnyCase) {
    Write(
        "; settings\r\n"
        "[Other]\r\n"
        "PeekInterval=99\r\n"
        "[FTP_Protocol]\r\n"
        "  PeekInterval = 12  \r\n"
        "Quoted=\"  spaced  \"\r\n"
        "Empty=\r\n"
        "[ftp_protocol]\r\n"
        "Later=found\r\n");
    EXPECT_EQ(Get("FTP_PROTOCOL", "peekinterval"), "12");
    EXPECT_EQ(Get("ftp_protocol", "PEEKINTERVAL"), "12");
    EXPECT_EQ(Get("Other", "PeekInterval"), "99");
    EXPECT_EQ(Get("FTP_Protocol", "Quoted"), "  spaced  ");
    EXPECT_EQ(Get("FTP_Protocol", "Empty"), "");
    EXPECT_EQ(Get("FTP_Protocol", "Later"), "found");  // a repeated section is searched too
    EXPECT_EQ(Get("FTP_Protocol", "; settings"), "dflt");
    EXPECT_EQ(Get("FTP_Protocol", "Missing", "fallback  "), "fallback");
    EXPECT_EQ(Get("Missing", "PeekInterval", nullptr), "");

    // The value is cut to the buffer, and the result says how much was copied.
    char small[4];
    EXPECT_EQ(GetPrivateProfileStringA("Other", "PeekInterval", "", small, 2, path_.c_str()), 1u);
    EXPECT_STREQ(small, "9");

    // A null key lists the section's keys, a null section the sections.
    char list[64];
    DWORD length =
        GetPrivateProfileStringA("ftp_PROTOCOL", nullptr, "", list, sizeof(list), path_.c_str());
    EXPECT_EQ(std::string(list, length + 1),
              std::string("PeekInterval\0Quoted\0Empty\0Later\0", 33));
    length = GetPrivateProfileStringA(nullptr, nullptr, "", list, 12, path_.c_str());
    EXPECT_EQ(length, 10u);
    EXPECT_EQ(std::string(list, 12), std::string("Other\0FTP_\0\0", 12));
}

TEST_F(Profile, NumbersDefaultsAndGarbage) {
    Write(
        "[FTP_Protocol]\nPeekInterval=16\nSupportPasv=  7 apples\nBad=abc\nNegative=-2\nBlank=\n");
    const char* file = path_.c_str();
    EXPECT_EQ(GetPrivateProfileIntA("ftp_protocol", "peekinterval", 8, file), 16u);
    EXPECT_EQ(GetPrivateProfileIntA("FTP_Protocol", "SupportPasv", 1, file), 7u);
    EXPECT_EQ(GetPrivateProfileIntA("FTP_Protocol", "Bad", 5, file), 0u);
    EXPECT_EQ(GetPrivateProfileIntA("FTP_Protocol", "Negative", 5, file), static_cast<UINT>(-2));
    EXPECT_EQ(GetPrivateProfileIntA("FTP_Protocol", "Blank", 5, file), 5u);
    EXPECT_EQ(GetPrivateProfileIntA("FTP_Protocol", "Missing", 8, file), 8u);
    std::string noFile = directory_ + "/NONE.INI";
    EXPECT_EQ(GetPrivateProfileIntA("FTP_Protocol", "PeekInterval", 8, noFile.c_str()), 8u);
}

TEST_F(Profile, WritesChangeOnlyTheirLine) {
    Write(
        "; keep me\r\n"
        "[FTP_Protocol]\r\n"
        "PASV=0\r\n"
        "Unknown = stays\r\n"
        "\r\n"
        "[Other]\r\n"
        "x=1\r\n");
    const char* file = path_.c_str();
    EXPECT_TRUE(WritePrivateProfileStringA("FTP_PROTOCOL", "pasv", "1", file));
    EXPECT_TRUE(WritePrivateProfileStringA("FTP_Protocol", "Binary", "3", file));
    EXPECT_TRUE(WritePrivateProfileStringA("Fresh", "Key", "v", file));
    EXPECT_EQ(Read(),
              "; keep me\r\n"
              "[FTP_Protocol]\r\n"
              "PASV=1\r\n"
              "Unknown = stays\r\n"
              "Binary=3\r\n"
              "\r\n"
              "[Other]\r\n"
              "x=1\r\n"
              "\r\n"
              "[Fresh]\r\n"
              "Key=v\r\n");
    EXPECT_EQ(GetPrivateProfileIntA("ftp_protocol", "binary", 0, file), 3u);

    // A null value deletes the key; a null key deletes the whole section.
    EXPECT_TRUE(WritePrivateProfileStringA("ftp_protocol", "UNKNOWN", nullptr, file));
    EXPECT_TRUE(WritePrivateProfileStringA("OTHER", nullptr, nullptr, file));
    EXPECT_TRUE(WritePrivateProfileStringA("Gone", nullptr, nullptr, file));
    EXPECT_EQ(Read(),
              "; keep me\r\n"
              "[FTP_Protocol]\r\n"
              "PASV=1\r\n"
              "Binary=3\r\n"
              "\r\n"
              "[Fresh]\r\n"
              "Key=v\r\n");
    EXPECT_EQ(Get("Other", "x"), "dflt");
}

TEST_F(Profile, WritingCreatesTheFileAndKeepsItsLineEnds) {
    const char* file = path_.c_str();
    EXPECT_TRUE(WritePrivateProfileStringA("FTP_Protocol", "PeekInterval", "4", file));
    EXPECT_EQ(Read(), "[FTP_Protocol]\r\nPeekInterval=4\r\n");

    Write("[a]\nk=1");  // Unix line ends, no line end at the end
    EXPECT_TRUE(WritePrivateProfileStringA("A", "K", "2", file));
    EXPECT_TRUE(WritePrivateProfileStringA("b", "k", "3", file));
    EXPECT_EQ(Read(), "[a]\nk=2\n\n[b]\nk=3\n");

    std::string unwritable = directory_ + "/missing-dir/ORR.INI";
    EXPECT_FALSE(WritePrivateProfileStringA("a", "k", "v", unwritable.c_str()));
}

}  // namespace
