#include "host/ServerLoader.h"

#include "platform/com/Registry.h"

#include <dlfcn.h>

namespace zov::host {

ServerLoader::~ServerLoader() {
    for (auto& [clsid, factory] : factories_)
        factory->Release();
}

IClassFactory* ServerLoader::Factory(std::string_view clsidOrProgId, std::string& error) {
    std::optional<RegistryData> registry = RegistryFile::ForUser().Read();
    if (!registry) {
        error = "the registry file cannot be read";
        return nullptr;
    }
    std::optional<ServerEntry> entry = FindServer(*registry, clsidOrProgId);
    if (!entry) {
        error = "no control is registered as " + std::string(clsidOrProgId);
        return nullptr;
    }
    if (!entry->safeForScripting) {
        error = "the control is not registered as safely scriptable";
        return nullptr;
    }
    const std::string key = FormatGuid(entry->clsid);
    std::lock_guard lock(mutex_);
    if (auto found = factories_.find(key); found != factories_.end())
        return found->second;
    void* library = dlopen(entry->library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* reason = dlerror();
        error = "the control's server cannot be loaded: " + std::string(reason ? reason : "unknown reason");
        return nullptr;
    }
    auto getClassObject = reinterpret_cast<DllGetClassObjectFunction>(dlsym(library, "DllGetClassObject"));
    if (!getClassObject) {
        error = "the server has no class objects";
        return nullptr;
    }
    void* object = nullptr;
    if (FAILED(getClassObject(entry->clsid, IID_IClassFactory, &object)) || !object) {
        error = "the server does not make this control";
        return nullptr;
    }
    auto* factory = static_cast<IClassFactory*>(object);
    factories_.emplace(key, factory);
    return factory;
}

}  // namespace zov::host
