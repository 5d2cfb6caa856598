// Dynamic libraries over the system's dynamic loader. A Windows library name "NAME.DLL"
// becomes "libname.so": it is looked for beside the module that asks for it, then on the
// loader's usual path. A module handle is the loader's handle of the library (its link
// map), the same for LoadLibraryA, GetModuleHandleA and TvModuleInstanceOf, so handles
// from any of them may be compared and passed to the others.
#include "platform/posix/hooks.h"
#include "platform/posix/module_registry.h"
#include "platform/posix/win32.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <cctype>
#include <string>

namespace {

// "C:\DIR\NAME.DLL", "dir/Name.dll" or "NAME" -> "libname.so"; a name that already ends
// in ".so" is used as it is. Any directory part is kept.
std::string SharedObjectName(const char* name) {
    std::string text(name);
    for (char& c : text) {
        if (c == '\\') c = '/';
    }
    size_t slash = text.rfind('/');
    std::string directory = slash == std::string::npos ? "" : text.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? text : text.substr(slash + 1);
    auto endsWith = [&](const char* suffix) {
        std::string lower;
        for (char c : base) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        std::string s(suffix);
        return lower.size() >= s.size() && lower.compare(lower.size() - s.size(), s.size(), s) == 0;
    };
    if (endsWith(".so")) return directory + base;
    if (endsWith(".dll")) base.resize(base.size() - 4);
    std::string lower;
    for (char c : base) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return directory + "lib" + lower + ".so";
}

std::string DirectoryOfModuleAt(const void* address) {
    Dl_info info;
    if (address == nullptr || dladdr(address, &info) == 0 || info.dli_fname == nullptr) return "";
    std::string path(info.dli_fname);
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

// Opens (or, with RTLD_NOLOAD, only finds) the library beside the caller, then on the path.
void* OpenLibrary(const char* name, const void* caller, int extraFlags) {
    std::string object = SharedObjectName(name);
    if (object.find('/') == std::string::npos) {
        std::string besideCaller = DirectoryOfModuleAt(caller);
        if (!besideCaller.empty()) {
            std::string path = besideCaller + object;
            if (access(path.c_str(), F_OK) == 0) {
                if (void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | extraFlags))
                    return handle;
            }
        }
    }
    return dlopen(object.c_str(), RTLD_NOW | RTLD_LOCAL | extraFlags);
}

void* MainProgram() {
    static void* main = dlopen(nullptr, RTLD_NOW);
    return main;
}

}  // namespace

namespace tvplatform {

HMODULE MainProgramModule() { return static_cast<HMODULE>(MainProgram()); }

// A handle is valid when it is one of the loaded objects of the default namespace: the
// link maps form one chain that starts at the main program.
bool IsLoadedModule(const void* handle) {
    if (handle == nullptr) return false;
    for (auto* map = static_cast<struct link_map*>(MainProgram()); map != nullptr;
         map = map->l_next) {
        if (map == handle) return true;
    }
    return false;
}

}  // namespace tvplatform

HINSTANCE TvModuleInstanceOf(const void* address) {
    Dl_info info;
    struct link_map* map = nullptr;
    if (dladdr1(address, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) == 0)
        return nullptr;
    return reinterpret_cast<HINSTANCE>(map);
}

HMODULE WINAPI LoadLibraryA(LPCSTR name) {
    if (name == nullptr || *name == '\0') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    void* handle = OpenLibrary(name, __builtin_return_address(0), 0);
    if (handle == nullptr) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return static_cast<HMODULE>(handle);
}

FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR name) {
    void* handle = module == nullptr ? MainProgram() : static_cast<void*>(module);
    if (!tvplatform::IsLoadedModule(handle)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    // Shared objects export by name only; a lookup by ordinal finds nothing.
    if (name == nullptr || IS_INTRESOURCE(name)) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    void* symbol = dlsym(handle, name);
    if (symbol == nullptr) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(symbol);
}

BOOL WINAPI FreeLibrary(HMODULE module) {
    if (!tvplatform::IsLoadedModule(module)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (module == MainProgram()) return TRUE;
    if (dlclose(module) != 0) return FALSE;
    // Once the library is really gone its texts must not be found under a handle that the
    // loader may give to the next library.
    if (!tvplatform::IsLoadedModule(module)) tvplatform::ForgetModuleTables(module);
    return TRUE;
}

// Finds a library that is already loaded without adding a reference to it, as Windows does.
HMODULE WINAPI GetModuleHandleA(LPCSTR name) {
    if (name == nullptr) return static_cast<HMODULE>(MainProgram());
    void* handle = OpenLibrary(name, __builtin_return_address(0), RTLD_NOLOAD);
    if (handle == nullptr) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    dlclose(handle);
    return static_cast<HMODULE>(handle);
}

// The full path of a loaded module; a path longer than the buffer is cut to size - 1
// characters and a NUL, and the result is then `size` with ERROR_INSUFFICIENT_BUFFER.
DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR path, DWORD size) {
    void* handle = module == nullptr ? MainProgram() : static_cast<void*>(module);
    if (!tvplatform::IsLoadedModule(handle)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    std::string name = static_cast<struct link_map*>(handle)->l_name;
    if (name.empty()) {
        char buffer[4096];
        ssize_t length = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
        if (length > 0) name.assign(buffer, static_cast<size_t>(length));
    }
    if (path == nullptr || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    lstrcpynA(path, name.c_str(), static_cast<int>(size));
    if (name.size() >= size) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    return static_cast<DWORD>(name.size());
}
