// The exports of the viewer's in-process server, libZOVuvazaR.so.
#include "control/ZOVuvazaRServer.h"

#include <dlfcn.h>

#define ZOV_EXPORT extern "C" __attribute__((visibility("default")))

// Where this server lies, for the registry entries that name it.
static std::string ServerPath() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&ServerPath), &info) == 0 || !info.dli_fname)
        return {};
    char resolved[4096];
    return realpath(info.dli_fname, resolved) ? std::string(resolved) : std::string(info.dli_fname);
}

ZOV_EXPORT zov::HRESULT DllGetClassObject(const zov::CLSID& clsid, const zov::IID& iid, void** object) {
    try {
        return zov::CZOVuvazaRApp::Instance().GetClassObject(clsid, iid, object);
    } catch (...) {
        return zov::E_FAIL;
    }
}

// The container may unload the server once no control of it is alive.
ZOV_EXPORT zov::HRESULT DllCanUnloadNow() {
    return zov::CZOVuvazaRApp::Instance().CanUnloadNow();
}

ZOV_EXPORT zov::HRESULT DllRegisterServer() {
    try {
        std::string path = ServerPath();
        if (path.empty())
            return zov::SELFREG_E_CLASS;
        return zov::CZOVuvazaRApp::Instance().RegisterServer(path);
    } catch (...) {
        return zov::SELFREG_E_CLASS;
    }
}

ZOV_EXPORT zov::HRESULT DllUnregisterServer() {
    try {
        return zov::CZOVuvazaRApp::Instance().UnregisterServer();
    } catch (...) {
        return zov::SELFREG_E_CLASS;
    }
}
