// The one instance of the module-wide state, the resource module opened at its first use,
// and the settings reads of the module's own section.
#include "records/module_state.h"

#include "util/orr.h"

ModuleState gModule;

HINSTANCE ResourceInstance() {
    if (gModule.resourceInstance == nullptr && gModule.moduleInstance != nullptr) {
        gModule.resourceInstance =
            OrrOpenResourceModule(RESOURCE_MODULE_NAME, gModule.moduleInstance);
    }
    return gModule.resourceInstance;
}

uint16_t ReadSetting(const char* key, uint16_t defaultValue) {
    return LOWORD(OrrGetProfileWord(SETTINGS_SECTION, key, defaultValue, 0, 0));
}
