// The remote system types as ftpsh names them: the display names the module itself shows,
// read from the string table of its resource module, so that ftpsh keeps no list of its own.
#pragma once

#include <cstdint>
#include <string>

namespace ftpsh {

// HostType 1: the module detects the remote system.
constexpr uint8_t kDetectHostType = 1;
// The library that holds the module's strings and dialogs; found beside ftpsh, as the
// module finds it.
constexpr const char* kResourceModuleName = "QUENTL32.DLL";

// The display name of a HostType: string-table entry type - 1 ("UNIX" for 7, "OTHER" for
// 1); "none" for 0, which a question confirmed without a choice leaves; "host type N"
// when the resource module does not name it.
std::string HostTypeName(uint8_t hostType);

// The HostType of a number (1 to 13), of a system's display name (case ignored; 2 to 13)
// or of "automatic" (1); 0 for anything else.
uint8_t HostTypeFromText(const std::string& text);

}  // namespace ftpsh
