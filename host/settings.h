// The transfer options a connection opens with: the six keys that the options dialog saves
// in section "FTP_Protocol" of ORR.INI, turned into the open flags of the open request,
// and the command-line choices that override them.
#pragma once

#include <cstdint>
#include <string>

namespace ftpsh {

// Where ORR.INI is: the places the module itself looks, in the same order (TARVO_ORR_INI,
// %APPDATA%\Tarvo, $XDG_CONFIG_HOME/tarvo, $HOME/.config/tarvo, else ORR.INI as the
// platform resolves a bare name), so that what the module's options dialog saves is
// what the next open reads.
std::string SettingsPath();

// The open flags the six keys give; absent keys mean: the program determines the type,
// selects the data port and parses directories.
uint32_t OpenFlagsFromSettings(const std::string& path);

// The server's code set the settings file names (ServerCodeSet=UTF-8), "" for none. Only
// ftpsh reads the key; it hands the code set to the module in each open request.
std::string ServerCodeSetFromSettings(const std::string& path);

// The seconds of silence the module's network waits tolerate (TimeoutSeconds, default 60;
// 0: no limit), for the waits ftpsh makes itself.
int TimeoutSecondsFromSettings(const std::string& path);

// Command-line choices: bits to set and to clear after the settings were read.
struct FlagOverrides {
    uint32_t set = 0;
    uint32_t clear = 0;
    uint32_t Apply(uint32_t flags) const { return (flags & ~clear) | set; }
    void Set(uint32_t bits) {
        set |= bits;
        clear &= ~bits;
    }
    void Clear(uint32_t bits) {
        clear |= bits;
        set &= ~bits;
    }
};

}  // namespace ftpsh
