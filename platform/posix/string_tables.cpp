// String tables: the texts that LoadStringA finds by instance and id. On Windows they are
// resources of a library's image; here a table generated from the same resource script
// registers them (hooks.h) for the instance of the library it is linked into.
#include "platform/posix/hooks.h"
#include "platform/posix/module_registry.h"

#include <algorithm>
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

void ForgetModuleTables(HINSTANCE instance) {
    TvUnregisterStringTables(instance);
    TvUnregisterDialogTemplates(instance);
}

// Texts are ANSI (Windows-1252); a resource holds them in UTF-16, where the bytes 0x80 to
// 0x9F stand for the letters and signs of that code page.
bool StringBundle(HINSTANCE instance, WORD bundle, std::vector<BYTE>& out) {
    static constexpr WORD kHighControls[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    if (bundle == 0) return false;
    if (instance == nullptr) instance = MainProgramModule();
    StringTables& tables = Tables();
    std::lock_guard<std::mutex> lock(tables.mutex);
    auto table = tables.byInstance.find(instance);
    if (table == tables.byInstance.end()) return false;
    out.clear();
    bool any = false;
    auto putWord = [&out](WORD value) {
        out.push_back(static_cast<BYTE>(value & 0xFF));
        out.push_back(static_cast<BYTE>(value >> 8));
    };
    UINT first = (static_cast<UINT>(bundle) - 1) * 16;
    for (UINT id = first; id < first + 16; ++id) {
        auto entry = table->second.find(id);
        if (entry == table->second.end()) {
            putWord(0);
            continue;
        }
        any = true;
        const std::string& text = entry->second;
        putWord(static_cast<WORD>(std::min<size_t>(text.size(), 0xFFFF)));
        for (size_t i = 0; i < text.size() && i < 0xFFFF; ++i) {
            auto c = static_cast<unsigned char>(text[i]);
            putWord(c >= 0x80 && c < 0xA0 ? kHighControls[c - 0x80] : c);
        }
    }
    return any;
}

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
