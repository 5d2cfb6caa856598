// The settings file of the utility library: where "ORR.INI" lives, and reads of integer
// and text values from it through the platform's private-profile calls.
#include <cstdlib>
#include <cstring>

#include "util/orr.h"

namespace {

constexpr const char* kSettingsFile = "ORR.INI";
constexpr int32_t kPathRoom = 128;

// Writes prefix followed by suffix into buffer when both fit in size - 1 characters.
bool JoinIfFits(char* buffer, int32_t size, const char* prefix, const char* suffix) {
    size_t prefixLength = std::strlen(prefix);
    size_t suffixLength = std::strlen(suffix);
    if (prefixLength + suffixLength + 1 > static_cast<size_t>(size)) {
        return false;
    }
    std::memcpy(buffer, prefix, prefixLength);
    std::memcpy(buffer + prefixLength, suffix, suffixLength + 1);
    return true;
}

// An environment variable that is unset or empty names nothing.
const char* Variable(const char* name) {
    const char* value = std::getenv(name);
    return (value != nullptr && value[0] != '\0') ? value : nullptr;
}

struct SettingsPath {
    char text[kPathRoom];
    SettingsPath() { OrrGetSettingsPath(text, kPathRoom); }
};

}  // namespace

// The places tried, in order:
//   1. TARVO_ORR_INI, the full path of the file itself;
//   2. %APPDATA%\Tarvo\ORR.INI (Windows sets APPDATA for every user);
//   3. $XDG_CONFIG_HOME/tarvo/ORR.INI;
//   4. $HOME/.config/tarvo/ORR.INI;
//   5. plain "ORR.INI", which the platform resolves (the Windows directory on Windows).
// A place is taken when its variable is set and not empty, whether or not the file exists
// yet: the options dialog creates the file there. A place whose path does not fit the
// buffer is passed over for the next one rather than cut, since a cut path would name
// some other file.
int32_t OrrGetSettingsPath(char* buffer, int32_t size) {
    if (buffer == nullptr || size <= 0) {
        return 0;
    }
    struct Place {
        const char* variable;
        const char* suffix;
    };
    static constexpr Place kPlaces[] = {
        {"TARVO_ORR_INI", ""},
        {"APPDATA", "\\Tarvo\\ORR.INI"},
        {"XDG_CONFIG_HOME", "/tarvo/ORR.INI"},
        {"HOME", "/.config/tarvo/ORR.INI"},
    };
    for (const Place& place : kPlaces) {
        const char* value = Variable(place.variable);
        if (value != nullptr && JoinIfFits(buffer, size, value, place.suffix)) {
            return static_cast<int32_t>(std::strlen(buffer));
        }
    }
    if (JoinIfFits(buffer, size, kSettingsFile, "")) {
        return static_cast<int32_t>(std::strlen(kSettingsFile));
    }
    buffer[0] = '\0';
    return 0;
}

int32_t OrrGetProfileWord(const char* section, const char* key, int32_t defaultValue,
                          int32_t reserved1, int32_t reserved2) {
    return OrrGetProfileInt(section, key, defaultValue);
}

int32_t OrrGetProfileInt(const char* section, const char* key, int32_t defaultValue) {
    SettingsPath path;
    return static_cast<int32_t>(GetPrivateProfileIntA(section, key, defaultValue, path.text));
}

// The profile call gives no sign of whether the key exists: it hands back the default in
// its place. So the key is read with a default no settings file holds (a lone control
// character); only when that comes back is it read once more with another such default.
// The key is absent when each read returns its own default.
int32_t OrrGetProfileString(const char* section, const char* key, const char* defaultValue,
                            char* buffer, int32_t size) {
    if (buffer == nullptr || size <= 0) {
        return 0;
    }
    if (size == 1) {
        buffer[0] = '\0';  // no room for any character, present or not
        return 0;
    }
    SettingsPath path;
    constexpr const char* kFirstMark = "\x01";
    constexpr const char* kSecondMark = "\x02";
    DWORD length = GetPrivateProfileStringA(section, key, kFirstMark, buffer,
                                            static_cast<DWORD>(size), path.text);
    if (length != 1 || buffer[0] != kFirstMark[0]) {
        return static_cast<int32_t>(length);
    }
    char check[2] = {};
    DWORD checkLength =
        GetPrivateProfileStringA(section, key, kSecondMark, check, sizeof check, path.text);
    if (checkLength != 1 || check[0] != kSecondMark[0]) {
        return 1;  // the value really is that one character
    }
    OrrCopyStringN(buffer, defaultValue, size - 1);
    return 0;
}
