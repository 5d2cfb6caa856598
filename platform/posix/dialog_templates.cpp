// The registry of dialog templates: what a generated resource table registers for its
// library, copied so that it stays valid however the table was made, and found again by
// instance and name or by the head address that LockResource gave out.
#include "platform/posix/dialog_templates.h"

#include "platform/posix/ansi_case.h"
#include "platform/posix/hooks.h"
#include "platform/posix/module_registry.h"

#include <map>
#include <mutex>

namespace tvplatform {

namespace {

struct TemplateRegistry {
    std::mutex mutex;
    std::map<HINSTANCE, std::vector<std::shared_ptr<DialogTemplateRecord>>> byInstance;
};

TemplateRegistry& Registry() {
    static TemplateRegistry* registry = new TemplateRegistry;
    return *registry;
}

std::string TextOrEmpty(const char* text) { return text == nullptr ? std::string() : text; }

std::shared_ptr<DialogTemplateRecord> CopyTemplate(const TvDialogTemplate& source) {
    auto record = std::make_shared<DialogTemplateRecord>();
    record->name = TextOrEmpty(source.name);
    record->caption = TextOrEmpty(source.caption);
    record->className = TextOrEmpty(source.className);
    record->fontName = TextOrEmpty(source.fontName);
    record->fontSize = source.fontSize;
    record->head.style = source.style;
    record->head.dwExtendedStyle = source.exStyle;
    record->head.x = source.x;
    record->head.y = source.y;
    record->head.cx = source.cx;
    record->head.cy = source.cy;
    for (size_t i = 0; i < source.controlCount; ++i) {
        const TvDialogControlTemplate& control = source.controls[i];
        DialogControlRecord copy;
        copy.className = TextOrEmpty(control.className);
        copy.text = TextOrEmpty(control.text);
        copy.id = control.id;
        copy.style = control.style;
        copy.exStyle = control.exStyle;
        copy.x = control.x;
        copy.y = control.y;
        copy.cx = control.cx;
        copy.cy = control.cy;
        record->controls.push_back(std::move(copy));
    }
    // A template head counts its controls in a WORD.
    record->head.cdit = static_cast<WORD>(std::min<size_t>(record->controls.size(), 0xFFFF));
    return record;
}

}  // namespace

std::string TemplateNameOf(LPCSTR name) {
    if (name == nullptr) return std::string();
    if (IS_INTRESOURCE(name)) {
        // Built in two steps: GCC 12 warns wrongly (-Wrestrict) about "#" + to_string in
        // optimised builds.
        std::string numbered(1, '#');
        numbered += std::to_string(LOWORD(name));
        return numbered;
    }
    return name;
}

std::shared_ptr<const DialogTemplateRecord> FindDialogTemplate(HINSTANCE instance, LPCSTR name) {
    if (name == nullptr) return nullptr;
    if (instance == nullptr) instance = MainProgramModule();
    std::string wanted = TemplateNameOf(name);
    TemplateRegistry& registry = Registry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    auto found = registry.byInstance.find(instance);
    if (found == registry.byInstance.end()) return nullptr;
    for (auto& record : found->second) {
        if (AnsiCompareNoCase(record->name.c_str(), wanted.c_str()) == 0) return record;
    }
    return nullptr;
}

std::shared_ptr<const DialogTemplateRecord> DialogTemplateAt(LPCDLGTEMPLATEA head) {
    if (head == nullptr) return nullptr;
    TemplateRegistry& registry = Registry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    for (auto& [instance, records] : registry.byInstance) {
        for (auto& record : records) {
            if (&record->head == head) return record;
        }
    }
    return nullptr;
}

}  // namespace tvplatform

using namespace tvplatform;

BOOL TvRegisterDialogTemplates(HINSTANCE instance, const TvDialogTemplate* templates,
                               size_t count) {
    if (templates == nullptr && count > 0) return FALSE;
    std::vector<std::shared_ptr<DialogTemplateRecord>> copies;
    for (size_t i = 0; i < count; ++i) {
        if (templates[i].name == nullptr || templates[i].name[0] == '\0' ||
            (templates[i].controls == nullptr && templates[i].controlCount > 0)) {
            return FALSE;
        }
        copies.push_back(CopyTemplate(templates[i]));
    }
    TemplateRegistry& registry = Registry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    auto& records = registry.byInstance[instance];
    for (auto& copy : copies) {
        std::erase_if(records, [&](const std::shared_ptr<DialogTemplateRecord>& record) {
            return AnsiCompareNoCase(record->name.c_str(), copy->name.c_str()) == 0;
        });
        records.push_back(std::move(copy));
    }
    return TRUE;
}

void TvUnregisterDialogTemplates(HINSTANCE instance) {
    {
        TemplateRegistry& registry = Registry();
        std::lock_guard<std::mutex> lock(registry.mutex);
        registry.byInstance.erase(instance);
    }
    ForgetModuleResources(instance);
}
