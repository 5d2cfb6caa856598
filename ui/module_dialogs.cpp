// The loader of the module's modal dialogs and the host-type name they show.
#include "ui/module_dialogs.h"

#include "connection/ftp_connection.h"
#include "records/module_state.h"
#include "ui/resources/resource_ids.h"

namespace {

// A host-type name is read with room for 31 characters.
constexpr int kHostTypeNameSize = 31 + 1;

}  // namespace

INT_PTR RunModuleDialog(const char* templateName, HWND owner, DLGPROC procedure,
                        LPARAM parameter) {
    HINSTANCE resources = ResourceInstance();
    HRSRC found = FindResourceA(resources, templateName, RT_DIALOG);
    if (found == nullptr) return -1;
    HGLOBAL loaded = LoadResource(resources, found);
    if (loaded == nullptr) return -1;
    const auto* dialogTemplate = static_cast<LPCDLGTEMPLATEA>(LockResource(loaded));
    const INT_PTR result =
        dialogTemplate == nullptr
            ? -1
            : DialogBoxIndirectParamA(gModule.moduleInstance, dialogTemplate, owner, procedure,
                                      parameter);
    FreeResource(loaded);
    return result;
}

void SetHostTypeName(HWND dialog, const FsStateRecord* record) {
    const int type = record->hostType;
    const UINT entry = type >= HOST_AUTOMATIC && type <= HOST_OTHER
                           ? static_cast<UINT>(type - 1)
                           : IDS_HOST_OTHER_UNDETECTED;
    char name[kHostTypeNameSize];
    if (LoadStringA(ResourceInstance(), entry, name, kHostTypeNameSize) > 0)
        SetDlgItemTextA(dialog, IDC_HOST_TYPE_NAME, name);
}
