// zov-regsvr: registers a control server in the per-user registry file, or
// removes it (-u), by calling the server's own registration entry points.
#include "platform/com/Com.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

int main(int argc, char** argv) {
    bool unregister = false;
    const char* library = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-u") == 0)
            unregister = true;
        else if (!library)
            library = argv[i];
        else
            library = nullptr, i = argc;
    }
    if (!library) {
        std::fprintf(stderr, "usage: zov-regsvr [-u] SERVER.so\n");
        return 2;
    }
    const std::string path = std::filesystem::absolute(library).string();
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        std::fprintf(stderr, "zov-regsvr: cannot load %s: %s\n", path.c_str(), dlerror());
        return 1;
    }
    const char* entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    auto function = reinterpret_cast<zov::DllRegisterServerFunction>(dlsym(handle, entry));
    if (!function) {
        std::fprintf(stderr, "zov-regsvr: %s has no %s\n", path.c_str(), entry);
        return 1;
    }
    const zov::HRESULT result = function();
    if (zov::FAILED(result)) {
        std::fprintf(stderr, "zov-regsvr: %s failed with 0x%08X\n", entry, static_cast<unsigned>(result));
        return 1;
    }
    std::printf("zov-regsvr: %s %s\n", unregister ? "unregistered" : "registered", path.c_str());
    return 0;
}
