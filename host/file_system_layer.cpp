// Making and freeing name lists through VAULT32, found by name as the module finds it.
#include "host/file_system_layer.h"
#include "host/module.h"

namespace ftpsh {

NameList::~NameList() {
    Free();
    if (library_ != nullptr) FreeLibrary(library_);
}

std::string NameList::Make(const std::vector<std::string>& names) {
    if (library_ == nullptr) library_ = LoadLibraryA(kFileSystemLayerName);
    if (library_ == nullptr) return std::string("cannot load ") + kFileSystemLayerName;
    auto create = FindExport<decltype(&CreateNameList)>(library_, "CreateNameList");
    free_ = FindExport<decltype(&FreeNameList)>(library_, "FreeNameList");
    if (create == nullptr || free_ == nullptr)
        return std::string(kFileSystemLayerName) + " offers no name lists";
    if (names.size() > NAME_LIST_MAX_NAMES) return "a name list holds at most 65535 names";
    std::vector<LPCSTR> texts;
    for (const std::string& name : names) texts.push_back(name.c_str());
    Free();
    list_ = create(texts.data(), static_cast<UINT>(texts.size()));
    return list_ != nullptr ? "" : "no memory for the name list";
}

bool NameList::Free() {
    if (list_ == nullptr) return true;
    if (!free_(list_)) return false;
    list_ = nullptr;
    return true;
}

}  // namespace ftpsh
