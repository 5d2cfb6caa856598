// Resources of a library: FindResourceA, LoadResource, LockResource and SizeofResource for
// the dialog templates and string tables that the library registered. As on Windows, a
// resource handle and the locked data stay valid while the library is loaded, loading
// does not copy, and FreeResource has nothing to do.
#include "platform/posix/dialog_templates.h"
#include "platform/posix/module_registry.h"

#include <map>
#include <mutex>

namespace {

constexpr WORD kTypeDialog = 5;
constexpr WORD kTypeString = 6;

struct ResourceRecord {
    WORD type = 0;
    std::string name;
    std::shared_ptr<const tvplatform::DialogTemplateRecord> dialog;  // RT_DIALOG
    std::vector<BYTE> data;                                          // RT_STRING
};

struct ResourceHandles {
    std::mutex mutex;
    // Records are never dropped while their library is loaded, so handles stay valid.
    std::map<HINSTANCE, std::vector<std::unique_ptr<ResourceRecord>>> byInstance;
};

ResourceHandles& Handles() {
    static ResourceHandles* handles = new ResourceHandles;
    return *handles;
}

// The record for this resource: the one given out before when it still describes the same
// data, else a new one.
ResourceRecord* KeepRecord(HINSTANCE instance, std::unique_ptr<ResourceRecord> fresh) {
    ResourceHandles& handles = Handles();
    std::lock_guard<std::mutex> lock(handles.mutex);
    auto& records = handles.byInstance[instance];
    for (auto& record : records) {
        if (record->type == fresh->type && record->name == fresh->name &&
            record->dialog == fresh->dialog && record->data == fresh->data) {
            return record.get();
        }
    }
    records.push_back(std::move(fresh));
    return records.back().get();
}

const ResourceRecord* LiveRecord(HRSRC resource) {
    ResourceHandles& handles = Handles();
    std::lock_guard<std::mutex> lock(handles.mutex);
    for (auto& [instance, records] : handles.byInstance) {
        for (auto& record : records) {
            if (reinterpret_cast<HRSRC>(record.get()) == resource) return record.get();
        }
    }
    return nullptr;
}

}  // namespace

namespace tvplatform {

void ForgetModuleResources(HINSTANCE instance) {
    ResourceHandles& handles = Handles();
    std::lock_guard<std::mutex> lock(handles.mutex);
    handles.byInstance.erase(instance);
}

}  // namespace tvplatform

using namespace tvplatform;

HRSRC WINAPI FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) {
    if (name == nullptr || type == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (module == nullptr) module = MainProgramModule();
    auto record = std::make_unique<ResourceRecord>();
    record->name = TemplateNameOf(name);
    const WORD typeId = IS_INTRESOURCE(type) ? LOWORD(type) : 0;
    if (typeId == kTypeDialog) {
        record->type = kTypeDialog;
        record->dialog = FindDialogTemplate(module, name);
        if (record->dialog == nullptr) {
            SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
            return nullptr;
        }
        // Names are not case-sensitive; one template has one handle.
        record->name = record->dialog->name;
    } else if (typeId == kTypeString) {
        record->type = kTypeString;
        if (!IS_INTRESOURCE(name) || !StringBundle(module, LOWORD(name), record->data)) {
            SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
            return nullptr;
        }
    } else {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<HRSRC>(KeepRecord(module, std::move(record)));
}

// The "global handle" of a loaded resource is the address of its data, as on Win32.
HGLOBAL WINAPI LoadResource(HMODULE module, HRSRC resource) {
    const ResourceRecord* record = LiveRecord(resource);
    if (record == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (record->dialog != nullptr) {
        return const_cast<DLGTEMPLATE*>(&record->dialog->head);
    }
    return const_cast<BYTE*>(record->data.data());
}

LPVOID WINAPI LockResource(HGLOBAL resource) { return resource; }

BOOL WINAPI FreeResource(HGLOBAL resource) { return FALSE; }

DWORD WINAPI SizeofResource(HMODULE module, HRSRC resource) {
    const ResourceRecord* record = LiveRecord(resource);
    if (record == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (record->dialog != nullptr) return sizeof(DLGTEMPLATE);
    return static_cast<DWORD>(record->data.size());
}
