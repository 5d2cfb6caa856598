// Module-wide state shared by every connection of the process: what start-up found (the
// module instance, the settings file, the message-pump interval, the binary byte set), the
// resource module opened at its first use, what every connection open sets again (the idle
// callback and the protocol window font), and the yield counter that YieldTick advances.
#pragma once

#include <cstdint>

#include "records/tarvoftp.h"

constexpr uint16_t PEEK_INTERVAL_DEFAULT = 8;
// The silence in seconds after which a network wait gives up; 0 waits without limit.
constexpr uint16_t TIMEOUT_SECONDS_DEFAULT = 60;
// The settings file path holds at most 127 characters and its NUL.
constexpr int SETTINGS_PATH_SIZE = 128;

// The module's section of the settings file.
constexpr const char* SETTINGS_SECTION = "FTP_Protocol";
// The library that holds the module's strings and dialog templates.
constexpr const char* RESOURCE_MODULE_NAME = "QUENTL32.DLL";
// The maker's code-set library, bound at its first use when it can be found.
constexpr const char* CODE_SET_LIBRARY_NAME = "BKCS32.DLL";

// Which of the two sets of byte values marks a sample of data as binary. Start-up chooses
// by the code-set table in force: the first set for a code set that needs the system fixed
// font, else the second.
enum class BinaryByteSet : int32_t { First = 1, Second = 2 };

struct ModuleState {
    // Attaches of the library not yet matched by a detach.
    int32_t attachCount = 0;
    // The library's own instance, which owns the window classes.
    HINSTANCE moduleInstance = nullptr;
    // Where every string-table text and dialog template is loaded from, once
    // ResourceInstance() has opened it; null until then.
    HINSTANCE resourceInstance = nullptr;
    // Full path of the settings file; the options dialog writes its keys there.
    char settingsPath[SETTINGS_PATH_SIZE] = {};
    // Where the code-set library is looked for: its name in the usual library search, or a
    // path.
    const char* codeSetLibraryName = CODE_SET_LIBRARY_NAME;
    // Data loops and YieldTick pump the owner window's messages once every peekInterval
    // passes; 0 means they never pump.
    uint16_t peekInterval = PEEK_INTERVAL_DEFAULT;
    // Seconds of silence a network wait tolerates (TimeoutSeconds); 0: no limit.
    uint16_t timeoutSeconds = TIMEOUT_SECONDS_DEFAULT;
    // Passes since the last pump, shared by all connections.
    uint32_t yieldCounter = 0;
    // The stock font of the protocol window; the last connection opened chose it.
    HGDIOBJ protocolFont = nullptr;
    BinaryByteSet binaryByteSet = BinaryByteSet::Second;
    // The host's idle callback of the last connection opened: LocalBlockingHook runs it
    // while a name lookup waits, and every network wait asks it once per slice.
    IdleCallback idleCallback = nullptr;
};

extern ModuleState gModule;

// The instance that string-table texts and dialog templates are loaded from. The resource
// module is opened at the first call after start-up, not by start-up itself: start-up runs
// inside the loader's entry point, where loading another library is unsafe (the loader
// lock is held). Before start-up there is no module to open it for, and null is returned.
HINSTANCE ResourceInstance();

// A setting of the module's section as a 16-bit value, or `defaultValue` when it is absent.
uint16_t ReadSetting(const char* key, uint16_t defaultValue);
