// The one instance of the module-wide state.
#include "driver/module_state.h"

ModuleState gModule;
