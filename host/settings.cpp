// Reading the saved transfer options from the settings file.
#include "host/settings.h"

#include <cstdlib>

#include "driver/tarvoftp.h"

namespace ftpsh {

namespace {

constexpr const char* kSection = "FTP_Protocol";
// The module keeps the path in 128 characters and passes over a place whose path does not
// fit; the host does the same, or the two would name different files.
constexpr size_t kPathRoom = 128;

const char* Variable(const char* name) {
    const char* value = std::getenv(name);
    return (value != nullptr && value[0] != '\0') ? value : nullptr;
}

bool KeyOn(const std::string& path, const char* key, bool whenAbsent) {
    return GetPrivateProfileIntA(kSection, key, whenAbsent ? 1 : 0, path.c_str()) != 0;
}

}  // namespace

std::string SettingsPath() {
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
        if (value == nullptr) continue;
        std::string path = std::string(value) + place.suffix;
        if (path.size() + 1 <= kPathRoom) return path;
    }
    return "ORR.INI";
}

uint32_t OpenFlagsFromSettings(const std::string& path) {
    uint32_t flags = 0;
    if (KeyOn(path, "FileType", false)) flags |= OPEN_TYPE_ASCII;
    if (KeyOn(path, "FileStructure", true)) flags |= OPEN_STRUCTURE_FILE;
    if (!KeyOn(path, "DetermineFileType", true)) flags |= OPEN_REPRESENTATION_FIXED;
    if (KeyOn(path, "SelectDataPort", true)) flags |= OPEN_SEND_PORT;
    if (KeyOn(path, "ParseDirectories", true)) flags |= OPEN_PARSE_DIRECTORIES;
    if (KeyOn(path, "LocalByte8", false)) flags |= OPEN_LOCAL_BYTE_SIZE;
    return flags;
}

}  // namespace ftpsh
