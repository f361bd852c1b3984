// The four exports of an in-process control server, for the one source file
// of each server library that includes this: the container finds them with
// dlsym. `module` names the server's module object, which has
// GetClassObject, CanUnloadNow, RegisterServer and UnregisterServer.
#pragma once

#include "platform/com/Com.h"

#include <dlfcn.h>
#include <stdlib.h>

#include <string>

namespace zov {

// Where the library holding `symbol` lies, for the registry entries that
// name it; empty when it cannot be told.
inline std::string ServerLibraryPath(const void* symbol) {
    Dl_info info{};
    if (dladdr(symbol, &info) == 0 || !info.dli_fname)
        return {};
    char resolved[4096];
    return realpath(info.dli_fname, resolved) ? std::string(resolved) : std::string(info.dli_fname);
}

}  // namespace zov

#define ZOV_SERVER_EXPORT extern "C" __attribute__((visibility("default")))

#define ZOV_SERVER_EXPORTS(module)                                                                   \
    ZOV_SERVER_EXPORT zov::HRESULT DllGetClassObject(const zov::CLSID& clsid, const zov::IID& iid,   \
                                                     void** object) {                                \
        try {                                                                                        \
            return module.GetClassObject(clsid, iid, object);                                        \
        } catch (...) {                                                                              \
            return zov::E_FAIL;                                                                      \
        }                                                                                            \
    }                                                                                                \
    /* The container may unload the server once no object of it is alive. */                       \
    ZOV_SERVER_EXPORT zov::HRESULT DllCanUnloadNow() { return module.CanUnloadNow(); }               \
    ZOV_SERVER_EXPORT zov::HRESULT DllRegisterServer() {                                             \
        try {                                                                                        \
            std::string path = zov::ServerLibraryPath(reinterpret_cast<const void*>(&DllCanUnloadNow)); \
            if (path.empty())                                                                        \
                return zov::SELFREG_E_CLASS;                                                         \
            return module.RegisterServer(path);                                                      \
        } catch (...) {                                                                              \
            return zov::SELFREG_E_CLASS;                                                             \
        }                                                                                            \
    }                                                                                                \
    ZOV_SERVER_EXPORT zov::HRESULT DllUnregisterServer() {                                           \
        try {                                                                                        \
            return module.UnregisterServer();                                                        \
        } catch (...) {                                                                              \
            return zov::SELFREG_E_CLASS;                                                             \
        }                                                                                            \
    }
