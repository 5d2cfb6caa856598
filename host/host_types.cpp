// The names of the remote system types, from the string table of the module's resource
// module.
#include "host/host_types.h"

#include "platform/platform.h"

namespace ftpsh {

namespace {

constexpr uint8_t kLastHostType = 13;
// The display names hold at most 32 characters.
constexpr int kNameSize = 32 + 1;

// Loaded once, on first use, and kept for the life of the program.
HINSTANCE ResourceModule() {
    static HINSTANCE module = LoadLibraryA(kResourceModuleName);
    return module;
}

// The string-table name of a HostType of 1 to 13, or "" when there is none.
std::string TableName(uint8_t hostType) {
    char name[kNameSize] = {};
    if (ResourceModule() == nullptr || hostType < kDetectHostType || hostType > kLastHostType)
        return "";
    LoadStringA(ResourceModule(), static_cast<UINT>(hostType - 1), name, kNameSize);
    return name;
}

}  // namespace

std::string HostTypeName(uint8_t hostType) {
    if (hostType == 0) return "none";
    std::string name = TableName(hostType);
    return name.empty() ? "host type " + std::to_string(hostType) : name;
}

uint8_t HostTypeFromText(const std::string& text) {
    if (lstrcmpiA(text.c_str(), "automatic") == 0) return kDetectHostType;
    for (uint8_t type = kDetectHostType; type <= kLastHostType; ++type) {
        if (text == std::to_string(type)) return type;
    }
    // Entry 0 ("OTHER", for detection) differs from entry 12 ("Other") only in case, so
    // names are looked up among the systems that can be chosen: 2 to 13.
    for (uint8_t type = kDetectHostType + 1; type <= kLastHostType; ++type) {
        std::string name = TableName(type);
        if (!name.empty() && lstrcmpiA(text.c_str(), name.c_str()) == 0) return type;
    }
    return 0;
}

}  // namespace ftpsh
