#include "control/ZOVuvazaRServer.h"

#include "control/ZOVuvazaRCtrl.h"
#include "control/ZOVuvazaRObject.h"
#include "platform/com/Registry.h"

#include <new>

namespace zov {

const CLSID CLSID_ZOVuvazaR = GuidLiteral("{D340FA1C-4A07-4590-BFFB-FA14857D23DF}");
const CLSID CLSID_ZOVuvazaRPropPage = GuidLiteral("{C3B8A5CB-72F6-497A-96F8-3A5A2C6D3EDD}");
const GUID LIBID_ZOVuvazaRLib = GuidLiteral("{EE95D01C-76ED-42EA-B6DF-76A20B689FE6}");

namespace {

constexpr std::string_view kTypeLibVersion = "1.0";
constexpr int kToolboxBitmap = 163;

std::string Key(std::string_view a, std::string_view b) {
    return std::string(a) + "\\" + std::string(b);
}

std::string TypeLibKey() {
    return Key("TypeLib", FormatGuid(LIBID_ZOVuvazaRLib));
}

std::string ClassKey(const CLSID& clsid) {
    return Key("CLSID", FormatGuid(clsid));
}

void WriteTypeLib(RegistryData& r, const std::string& library) {
    const std::string lib = FormatGuid(LIBID_ZOVuvazaRLib);
    const std::string version = Key(TypeLibKey(), kTypeLibVersion);
    r.SetValue(version, "@", "ZOVuvazaRLib");
    r.SetValue(Key(version, "0\\linux"), "@", library);
    r.SetValue(Key(version, "FLAGS"), "@", "2");
    r.SetValue(Key(version, "HELPDIR"), "@", "");
    const std::pair<const IID*, const char*> interfaces[] = {{&IID_DZOVuvazaR, "_DZOVuvazaR"},
                                                             {&IID_DZOZozovuDOvezos, "_DZOZozovuDOvezos"}};
    for (const auto& [iid, name] : interfaces) {
        const std::string key = Key("Interface", FormatGuid(*iid));
        r.SetValue(key, "@", name);
        r.SetValue(Key(key, "TypeLib"), "@", lib);
        r.SetValue(Key(key, "TypeLib"), "Version", std::string(kTypeLibVersion));
    }
}

void WriteClasses(RegistryData& r, const std::string& library) {
    const std::string control = ClassKey(CLSID_ZOVuvazaR);
    r.SetValue(control, "@", std::string(kControlTypeName));
    r.SetValue(Key(control, "InprocServer32"), "@", library);
    r.SetValue(Key(control, "InprocServer32"), "ThreadingModel", "Apartment");
    r.SetValue(Key(control, "ProgID"), "@", std::string(kControlProgId));
    r.CreateKey(Key(control, "Control"));
    r.CreateKey(Key(control, "Insertable"));
    r.SetValue(Key(control, "MiscStatus"), "@", "0");
    r.SetValue(Key(control, "MiscStatus\\1"), "@", std::to_string(kOleMiscStatus));
    r.SetValue(Key(control, "TypeLib"), "@", FormatGuid(LIBID_ZOVuvazaRLib));
    r.SetValue(Key(control, "Version"), "@", std::string(kTypeLibVersion));
    r.SetValue(Key(control, "ToolboxBitmap32"), "@", library + ", " + std::to_string(kToolboxBitmap));
    r.SetValue(std::string(kControlProgId), "@", std::string(kControlTypeName));
    r.SetValue(Key(kControlProgId, "CLSID"), "@", FormatGuid(CLSID_ZOVuvazaR));

    const std::string page = ClassKey(CLSID_ZOVuvazaRPropPage);
    r.SetValue(page, "@", std::string(kPropPageName));
    r.SetValue(Key(page, "InprocServer32"), "@", library);
    r.SetValue(Key(page, "InprocServer32"), "ThreadingModel", "Apartment");
    r.SetValue(Key(page, "ProgID"), "@", std::string(kPropPageProgId));
    r.SetValue(std::string(kPropPageProgId), "@", std::string(kPropPageName));
    r.SetValue(Key(kPropPageProgId, "CLSID"), "@", FormatGuid(CLSID_ZOVuvazaRPropPage));
}

void WriteCategories(RegistryData& r) {
    const std::pair<std::string_view, const char*> categories[] = {
        {kCategorySafeForScripting, "Controls that are safely scriptable"},
        {kCategorySafeForInitializing, "Controls safely initializable from persistent data"}};
    for (const auto& [category, description] : categories) {
        r.SetValue(Key("Component Categories", category), "409", description);
        r.CreateKey(Key(Key(ClassKey(CLSID_ZOVuvazaR), "Implemented Categories"), category));
    }
}

std::atomic<int> factoryReferences{0};

}  // namespace

HRESULT ServerClassFactory::QueryInterface(const IID& iid, void** object) {
    if (!object)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
        *object = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

std::uint32_t ServerClassFactory::AddRef() {
    return static_cast<std::uint32_t>(++factoryReferences);
}

std::uint32_t ServerClassFactory::Release() {
    return static_cast<std::uint32_t>(--factoryReferences);
}

HRESULT ServerClassFactory::LockServer(bool lock) {
    if (lock)
        ++CZOVuvazaRApp::Instance().locks;
    else
        --CZOVuvazaRApp::Instance().locks;
    return S_OK;
}

HRESULT CZOVuvazaRCtrlFactory::CreateInstance(IUnknown* outer, const IID& iid, void** object) {
    return Make<ZOVuvazaRObject>(outer, iid, object);
}

HRESULT ZOVuvazaRPropPageObject::QueryInterface(const IID& iid, void** object) {
    if (!object)
        return E_POINTER;
    if (iid == IID_IUnknown) {
        *object = static_cast<IUnknown*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

std::uint32_t ZOVuvazaRPropPageObject::AddRef() {
    return ++references_;
}

std::uint32_t ZOVuvazaRPropPageObject::Release() {
    const std::uint32_t left = --references_;
    if (left == 0)
        delete this;
    return left;
}

HRESULT CZOVuvazaRPropPageFactory::CreateInstance(IUnknown* outer, const IID& iid, void** object) {
    return Make<ZOVuvazaRPropPageObject>(outer, iid, object);
}

CZOVuvazaRApp& CZOVuvazaRApp::Instance() {
    static CZOVuvazaRApp app;
    return app;
}

HRESULT CZOVuvazaRApp::GetClassObject(const CLSID& clsid, const IID& iid, void** object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (clsid == CLSID_ZOVuvazaRPropPage)
        return pageFactory_.QueryInterface(iid, object);
    if (clsid != CLSID_ZOVuvazaR)
        return CLASS_E_CLASSNOTAVAILABLE;
    return factory_.QueryInterface(iid, object);
}

HRESULT CZOVuvazaRApp::CanUnloadNow() const {
    return CZOVuvazaRCtrl::LiveCount() == 0 && factoryReferences == 0 && locks == 0 ? S_OK : S_FALSE;
}

HRESULT CZOVuvazaRApp::RegisterServer(const std::string& libraryPath) const {
    RegistryFile registry = RegistryFile::ForUser();
    if (!registry.Update([&](RegistryData& r) {
            WriteTypeLib(r, libraryPath);
            return true;
        }))
        return SELFREG_E_TYPELIB;
    if (!registry.Update([&](RegistryData& r) {
            WriteClasses(r, libraryPath);
            WriteCategories(r);
            return true;
        }))
        return SELFREG_E_CLASS;
    return S_OK;
}

HRESULT CZOVuvazaRApp::UnregisterServer() const {
    RegistryFile registry = RegistryFile::ForUser();
    if (!registry.Update([](RegistryData& r) {
            r.DeleteTree(TypeLibKey());
            r.DeleteTree(Key("Interface", FormatGuid(IID_DZOVuvazaR)));
            r.DeleteTree(Key("Interface", FormatGuid(IID_DZOZozovuDOvezos)));
            return true;
        }))
        return SELFREG_E_TYPELIB;
    if (!registry.Update([](RegistryData& r) {
            r.DeleteTree(ClassKey(CLSID_ZOVuvazaR));
            r.DeleteTree(ClassKey(CLSID_ZOVuvazaRPropPage));
            r.DeleteTree(kControlProgId);
            r.DeleteTree(kPropPageProgId);
            return true;
        }))
        return SELFREG_E_CLASS;
    return S_OK;
}

}  // namespace zov
