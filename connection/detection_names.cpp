// The host type a system name stands for: the names are the display names of the string
// table in the resource module, the same the user sees in the question of AUTODETECT_DLG.
#include "connection/detection.h"
#include "records/module_state.h"

int32_t HostTypeOfName(const char* name, NameCase nameCase) {
    if (name == nullptr) return 0;
    for (int entry = FIRST_NAMED_ENTRY; entry <= LAST_NAMED_ENTRY; ++entry) {
        char known[HOST_TYPE_NAME_SIZE];
        // A missing entry leaves an empty text, which must not equal an empty name.
        if (LoadStringA(ResourceInstance(), static_cast<UINT>(entry), known,
                        HOST_TYPE_NAME_SIZE) == 0) {
            continue;
        }
        const int equal = nameCase == NameCase::Matters ? lstrcmpA(known, name)
                                                        : lstrcmpiA(known, name);
        if (equal == 0) return entry + 1;
    }
    return 0;
}
