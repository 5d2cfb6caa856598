// Where the settings file "ORR.INI" of the utility library lives. The reference host builds
// this file in as well, so that it reads the very file the module reads.
#include <cstdlib>
#include <cstring>

#include "util/orr.h"

namespace {

constexpr const char* kSettingsFile = "ORR.INI";

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
