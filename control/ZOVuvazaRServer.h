// The in-process server around the control: its class factory, the module
// object, and what registering the server writes into the registry file.
#pragma once

#include "dialogs/Dialogs.h"
#include "platform/com/Com.h"

#include <atomic>
#include <new>
#include <string>

namespace zov {

extern const CLSID CLSID_ZOVuvazaR;
extern const CLSID CLSID_ZOVuvazaRPropPage;
extern const GUID LIBID_ZOVuvazaRLib;
inline constexpr std::string_view kControlProgId = "ZOVUVAZAR.ZOVuvazaRCtrl.1";
inline constexpr std::string_view kPropPageProgId = "ZOVUVAZAR.ZOVuvazaRPropPage.1";
inline constexpr std::string_view kControlTypeName = "ZOVuvazaR Control";
inline constexpr std::string_view kPropPageName = "ZOVuvazaR Property Page";
// Activate when visible, set client site first, inside-out, can't link
// inside, recompose on resize.
inline constexpr std::uint32_t kOleMiscStatus = 0x20191;

// What the server's factories share: they live as long as the module, and
// their references and locks only keep the module loaded.
class ServerClassFactory : public IClassFactory {
public:
    HRESULT QueryInterface(const IID& iid, void** object) override;
    std::uint32_t AddRef() override;
    std::uint32_t Release() override;
    HRESULT LockServer(bool lock) override;

protected:
    // A new `Object`, handed out as `iid`; no aggregation.
    template <typename Object>
    static HRESULT Make(IUnknown* outer, const IID& iid, void** object) {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        try {
            auto* created = new Object();
            HRESULT result = created->QueryInterface(iid, object);
            created->Release();  // the caller's reference, if any, keeps it
            return result;
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (...) {
            return E_FAIL;
        }
    }
};

class CZOVuvazaRCtrlFactory final : public ServerClassFactory {
public:
    HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** object) override;
};

// The property page as an object of the server: what its factory makes.
class ZOVuvazaRPropPageObject final : public IUnknown {
public:
    HRESULT QueryInterface(const IID& iid, void** object) override;
    std::uint32_t AddRef() override;
    std::uint32_t Release() override;
    CZOVuvazaRPropPage& Page() { return page_; }

private:
    std::atomic<std::uint32_t> references_{1};
    CZOVuvazaRPropPage page_;
};

class CZOVuvazaRPropPageFactory final : public ServerClassFactory {
public:
    HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** object) override;
};

// The module object: one per loaded server.
class CZOVuvazaRApp {
public:
    static CZOVuvazaRApp& Instance();
    HRESULT GetClassObject(const CLSID& clsid, const IID& iid, void** object);
    // S_OK when no control, factory reference or server lock is alive.
    HRESULT CanUnloadNow() const;
    // Writes the type library, the classes and the component categories for
    // the server at `libraryPath`. SELFREG_E_TYPELIB or SELFREG_E_CLASS on
    // failure.
    HRESULT RegisterServer(const std::string& libraryPath) const;
    // Removes the type library and the classes; the categories stay.
    HRESULT UnregisterServer() const;

    std::atomic<int> locks{0};

private:
    CZOVuvazaRCtrlFactory factory_;
    CZOVuvazaRPropPageFactory pageFactory_;
};

}  // namespace zov
