// The resource module of the utility library: the library that holds the module's
// string table and dialog templates.
#include "util/orr.h"

// The resource module is loaded at the module's first need of a text or dialog and kept
// for the life of the process. When it cannot be loaded the given instance stands in its
// place: a build that links its resources into the module itself then still finds its
// strings and dialogs, and a build without them gets empty texts instead of a failure.
HINSTANCE OrrOpenResourceModule(const char* moduleName, HINSTANCE instance) {
    if (moduleName == nullptr || moduleName[0] == '\0') {
        return instance;
    }
    HMODULE library = LoadLibraryA(moduleName);
    return library != nullptr ? library : instance;
}
