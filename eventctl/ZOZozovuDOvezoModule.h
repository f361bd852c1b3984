// The event relay's in-process server: its module object, class factories
// and what registering the server writes into the registry file.
#pragma once

#include "platform/com/Com.h"

#include <atomic>
#include <string>
#include <string_view>

namespace zov {

extern const GUID LIBID_ZOZozovuDOvezoLib;
extern const GUID APPID_ZOZozovuDOvezo;
inline constexpr std::string_view kEventCtrlProgId = "ZOZozovuDOvezo.CVEventCtrl.1";
inline constexpr std::string_view kEventCtrlIndependentProgId = "ZOZozovuDOvezo.CVEventCtrl";
inline constexpr std::string_view kEventParamProgId = "ZOZozovuDOvezo.CVEventParam.1";
inline constexpr std::string_view kEventParamIndependentProgId = "ZOZozovuDOvezo.CVEventParam";
// Activate when visible, set client site first, inside-out, can't link
// inside, recompose on resize: what the registration script's %OLEMISC% says.
inline constexpr std::uint32_t kEventCtrlMiscStatus = 0x20191;

class CZOZozovuDOvezoModule {
public:
    static CZOZozovuDOvezoModule& Instance();
    HRESULT GetClassObject(const CLSID& clsid, const IID& iid, void** object);
    // S_OK when no object, factory reference or server lock is alive.
    HRESULT CanUnloadNow() const;
    // The type library, the AppID, both classes and the control's safety
    // category, for the server at `libraryPath`.
    HRESULT RegisterServer(const std::string& libraryPath) const;
    HRESULT UnregisterServer() const;

    std::atomic<int> locks{0};
    std::atomic<int> objects{0};
};

}  // namespace zov
