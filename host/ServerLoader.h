// Finds control servers through the registry file and loads them, once each.
#pragma once

#include "platform/com/Com.h"

#include <map>
#include <mutex>
#include <string>
#include <string_view>

namespace zov::host {

class ServerLoader {
public:
    ServerLoader() = default;
    ServerLoader(const ServerLoader&) = delete;
    ServerLoader& operator=(const ServerLoader&) = delete;
    // Servers stay loaded for the life of the process: a control's threads
    // may still run code of its server while the last references go.
    ~ServerLoader();

    // The class factory of a control named by CLSID ("{...}") or ProgID,
    // only when it is registered as safely scriptable. Null with `error` set
    // otherwise.
    IClassFactory* Factory(std::string_view clsidOrProgId, std::string& error);

private:
    std::mutex mutex_;
    std::map<std::string, IClassFactory*> factories_;  // by CLSID text; references held
};

}  // namespace zov::host
