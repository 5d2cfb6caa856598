// Reading the saved transfer options from the settings file.
#include "host/settings.h"

#include <cstdint>

#include "records/module_state.h"
#include "records/tarvoftp.h"
#include "util/orr.h"

namespace ftpsh {

namespace {

constexpr const char* kSection = "FTP_Protocol";
// The room the module gives the settings path.
constexpr int32_t kPathRoom = 128;

bool KeyOn(const std::string& path, const char* key, bool whenAbsent) {
    return GetPrivateProfileIntA(kSection, key, whenAbsent ? 1 : 0, path.c_str()) != 0;
}

}  // namespace

// The module's own rule finds the file (its source is built into ftpsh too), so that the
// file ftpsh reads is the one the module reads.
std::string SettingsPath() {
    char path[kPathRoom];
    OrrGetSettingsPath(path, kPathRoom);
    return path;
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

int TimeoutSecondsFromSettings(const std::string& path) {
    return static_cast<int>(GetPrivateProfileIntA(kSection, "TimeoutSeconds", TIMEOUT_SECONDS_DEFAULT,
                                                  path.c_str()));
}

std::string ServerCodeSetFromSettings(const std::string& path) {
    char name[32];
    GetPrivateProfileStringA(kSection, "ServerCodeSet", "", name, sizeof name, path.c_str());
    return name;
}

}  // namespace ftpsh
