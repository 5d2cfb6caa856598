// String tables: the texts that LoadStringA finds by instance and id. On Windows they are
// resources of a library's image; here a table generated from the same resource script
// registers them (hooks.h) for the instance of the library it is linked into.
#include "platform/posix/hooks.h"
#include "platform/posix/module_registry.h"

#include <map>
#include <mutex>
#include <string>

namespace {

struct StringTables {
    std::mutex mutex;
    std::map<HINSTANCE, std::map<UINT, std::string>> byInstance;
};

StringTables& Tables() {
    static StringTables* tables = new StringTables;
    return *tables;
}

}  // namespace

namespace tvplatform {

void ForgetModuleTables(HINSTANCE instance) { TvUnregisterStringTables(instance); }

}  // namespace tvplatform

BOOL TvRegisterStringTable(HINSTANCE instance, const TvStringTableEntry* entries, size_t count) {
    if (entries == nullptr && count > 0) return FALSE;
    StringTables& tables = Tables();
    std::lock_guard<std::mutex> lock(tables.mutex);
    auto& table = tables.byInstance[instance];
    for (size_t i = 0; i < count; ++i) {
        // Ids are 16-bit in a resource script, and LoadStringA ignores the high word.
        table[LOWORD(entries[i].id)] = entries[i].text == nullptr ? "" : entries[i].text;
    }
    return TRUE;
}

void TvUnregisterStringTables(HINSTANCE instance) {
    StringTables& tables = Tables();
    std::lock_guard<std::mutex> lock(tables.mutex);
    tables.byInstance.erase(instance);
}

// Copies at most max - 1 characters and a NUL; the result is the number of characters
// copied, 0 when the id is unknown (the buffer then holds an empty text).
int WINAPI LoadStringA(HINSTANCE instance, UINT id, LPSTR out, int max) {
    if (out == nullptr || max <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    out[0] = '\0';
    if (instance == nullptr) instance = tvplatform::MainProgramModule();
    StringTables& tables = Tables();
    std::lock_guard<std::mutex> lock(tables.mutex);
    auto table = tables.byInstance.find(instance);
    if (table == tables.byInstance.end()) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    auto entry = table->second.find(LOWORD(id));
    if (entry == table->second.end()) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    lstrcpynA(out, entry->second.c_str(), max);
    return lstrlenA(out);
}
