// Where the settings file is looked for, and reads of its values.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <string>

#include "util/orr.h"

namespace {

// Clears the variables that steer the settings path and restores them afterwards.
struct SettingsEnvironment {
    std::map<std::string, std::optional<std::string>> saved;
    SettingsEnvironment() {
        for (const char* name : {"TARVO_ORR_INI", "APPDATA", "XDG_CONFIG_HOME", "HOME"}) {
            const char* value = std::getenv(name);
            saved[name] = value ? std::optional<std::string>(value) : std::nullopt;
            unsetenv(name);
        }
    }
    ~SettingsEnvironment() {
        for (const auto& [name, value] : saved) {
            value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
        }
    }
};

std::string SettingsPath() {
    char buffer[128];
    const int32_t length = OrrGetSettingsPath(buffer, sizeof buffer);
    EXPECT_EQ(length, static_cast<int32_t>(std::string(buffer).size()));
    return buffer;
}

}  // namespace

TEST(OrrSettings, PathFollowsTheEnvironmentInOrderAndIsNeverCut) {
    SettingsEnvironment environment;
    EXPECT_EQ(SettingsPath(), "ORR.INI");
    setenv("HOME", "/home/u", 1);
    EXPECT_EQ(SettingsPath(), "/home/u/.config/tarvo/ORR.INI");
    setenv("XDG_CONFIG_HOME", "/xdg", 1);
    EXPECT_EQ(SettingsPath(), "/xdg/tarvo/ORR.INI");
    setenv("APPDATA", "C:\\Users\\u\\AppData", 1);
    EXPECT_EQ(SettingsPath(), "C:\\Users\\u\\AppData\\Tarvo\\ORR.INI");
    setenv("TARVO_ORR_INI", "/etc/tarvo.ini", 1);
    EXPECT_EQ(SettingsPath(), "/etc/tarvo.ini");
    setenv("TARVO_ORR_INI", "", 1);  // an empty variable names no place
    setenv("APPDATA", "", 1);
    EXPECT_EQ(SettingsPath(), "/xdg/tarvo/ORR.INI");

    // A path longer than 127 characters is passed over, not cut.
    const std::string folder = "/" + std::string(112, 'f');  // + "/tarvo/ORR.INI" = 127
    setenv("XDG_CONFIG_HOME", (folder + "x").c_str(), 1);
    EXPECT_EQ(SettingsPath(), "/home/u/.config/tarvo/ORR.INI");
    setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    EXPECT_EQ(SettingsPath(), folder + "/tarvo/ORR.INI");
    char small[8] = "#######";
    EXPECT_EQ(OrrGetSettingsPath(small, 7), 0);
    EXPECT_STREQ(small, "");
}

TEST(OrrSettings, ValuesIgnoreTheCaseOfSectionAndKeyAndAreCutToTheirBuffer) {
    SettingsEnvironment environment;
    char path[] = "/tmp/orr-ini-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    std::ofstream(path) << "; settings\r\n[Other]\r\nPeekInterval=99\r\n[FTP_Protocol]\r\n"
                           ";Note=1\r\n  PeekInterval = 3  \r\nBig=70000\r\nNegative=-5\r\n"
                           "Pasv=  7 apples\r\nBad=abc\r\nQuoted=\"  spaced  \"\r\n"
                           "OSTYPE-1=UNIX;acme ftpd\r\nOSTYPE-2=\r\nOneChar=\x01\r\n"
                           "[ftp_protocol]\r\nLater=found\r\n";
    setenv("TARVO_ORR_INI", path, 1);

    EXPECT_EQ(OrrGetProfileWord("ftp_protocol", "PEEKINTERVAL", 8, 0, 0), 3);
    EXPECT_EQ(OrrGetProfileWord("FTP_Protocol", "Missing", 8, 0, 0), 8);
    EXPECT_EQ(OrrGetProfileInt("FTP_PROTOCOL", "big", 0), 70000);
    EXPECT_EQ(OrrGetProfileInt("FTP_PROTOCOL", "Negative", 0), -5);
    EXPECT_EQ(OrrGetProfileInt("No_Section", "PeekInterval", 1), 1);
    // A number is read up to its first other character; a comment line holds no key.
    EXPECT_EQ(OrrGetProfileInt("FTP_Protocol", "Pasv", 1), 7);
    EXPECT_EQ(OrrGetProfileInt("FTP_Protocol", "Bad", 5), 0);
    EXPECT_EQ(OrrGetProfileInt("FTP_Protocol", "OSTYPE-2", 5), 5);
    EXPECT_EQ(OrrGetProfileInt("FTP_Protocol", ";Note", 5), 5);

    // An absent key gives the default, an empty value stays empty.
    char value[65];
    EXPECT_EQ(OrrGetProfileString("FTP_PROTOCOL", "ostype-1", "", value, sizeof value), 14);
    EXPECT_STREQ(value, "UNIX;acme ftpd");
    EXPECT_EQ(OrrGetProfileString("FTP_PROTOCOL", "OSTYPE-3", "dflt", value, sizeof value), 0);
    EXPECT_STREQ(value, "dflt");
    EXPECT_EQ(OrrGetProfileString("FTP_PROTOCOL", "OSTYPE-2", "dflt", value, sizeof value), 0);
    EXPECT_STREQ(value, "");
    EXPECT_EQ(OrrGetProfileString("FTP_PROTOCOL", "OneChar", "", value, sizeof value), 1);
    EXPECT_STREQ(value, "\x01");
    // Quotes keep the blanks inside them; a repeated section is searched too.
    EXPECT_EQ(OrrGetProfileString("FTP_PROTOCOL", "Quoted", "", value, sizeof value), 10);
    EXPECT_STREQ(value, "  spaced  ");
    EXPECT_EQ(OrrGetProfileString("FTP_PROTOCOL", "Later", "", value, sizeof value), 5);
    EXPECT_STREQ(value, "found");
    std::string small(5, '#');
    EXPECT_EQ(OrrGetProfileString("FTP_PROTOCOL", "OSTYPE-1", "", small.data(), 5), 4);
    EXPECT_EQ(small, std::string("UNIX\0", 5));
    EXPECT_EQ(OrrGetProfileString("FTP_PROTOCOL", "OSTYPE-9", "longer", small.data(), 5), 0);
    EXPECT_EQ(small, std::string("long\0", 5));
    std::remove(path);
    EXPECT_EQ(OrrGetProfileWord("FTP_Protocol", "PeekInterval", 8, 0, 0), 8);
}
