// The one instance of the module-wide state, and the settings reads of the module's own
// section.
#include "records/module_state.h"

#include "util/orr.h"

ModuleState gModule;

uint16_t ReadSetting(const char* key, uint16_t defaultValue) {
    return LOWORD(OrrGetProfileWord(SETTINGS_SECTION, key, defaultValue, 0, 0));
}
