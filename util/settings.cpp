// The settings file of the utility library: reads of integer and text values from it
// through the platform's private-profile calls.
#include "util/orr.h"

namespace {

constexpr int32_t kPathRoom = 128;

struct SettingsPath {
    char text[kPathRoom];
    SettingsPath() { OrrGetSettingsPath(text, kPathRoom); }
};

}  // namespace

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
