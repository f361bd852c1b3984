#include "eventctl/ZOZozovuDOvezoModule.h"

#include "eventctl/CVEventCtrl.h"
#include "eventctl/CVEventParam.h"
#include "platform/com/Registry.h"

#include <new>

namespace zov {

const GUID LIBID_ZOZozovuDOvezoLib = GuidLiteral("{C0FEFA16-B1D2-4C8F-A596-A940E5AAED5C}");
const GUID APPID_ZOZozovuDOvezo = GuidLiteral("{8BA3F676-FF26-46DD-AF3D-0DD501463A34}");

namespace {

constexpr std::string_view kTypeLibVersion = "1.0";
constexpr int kToolboxBitmap = 103;

std::atomic<int> factoryReferences{0};

std::string Key(std::string_view a, std::string_view b) {
    return std::string(a) + "\\" + std::string(b);
}

std::string ClassKey(const CLSID& clsid) {
    return Key("CLSID", FormatGuid(clsid));
}

template <typename Object>
class Factory final : public IClassFactory {
public:
    HRESULT QueryInterface(const IID& iid, void** object) override {
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
    std::uint32_t AddRef() override { return static_cast<std::uint32_t>(++factoryReferences); }
    std::uint32_t Release() override { return static_cast<std::uint32_t>(--factoryReferences); }
    HRESULT LockServer(bool lock) override {
        CZOZozovuDOvezoModule::Instance().locks += lock ? 1 : -1;
        return S_OK;
    }
    HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** object) override {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        try {
            auto* created = new Object();
            const HRESULT result = created->QueryInterface(iid, object);
            created->Release();
            return result;
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (...) {
            return E_FAIL;
        }
    }
};

Factory<CCVEventCtrl> controlFactory;
Factory<CCVEventParam> paramFactory;

struct ClassEntry {
    const CLSID* clsid;
    std::string_view name;
    std::string_view progId;
    std::string_view independentProgId;
};

const ClassEntry kClasses[] = {
    {&CLSID_CVEventCtrl, "CVEventCtrl Class", kEventCtrlProgId, kEventCtrlIndependentProgId},
    {&CLSID_CVEventParam, "CVEventParam Class", kEventParamProgId, kEventParamIndependentProgId},
};

void WriteTypeLib(RegistryData& r, const std::string& library) {
    const std::string lib = FormatGuid(LIBID_ZOZozovuDOvezoLib);
    const std::string version = Key(Key("TypeLib", lib), kTypeLibVersion);
    r.SetValue(version, "@", "ZOZozovuDOvezoLib");
    r.SetValue(Key(version, "0\\linux"), "@", library);
    r.SetValue(Key(version, "FLAGS"), "@", "0");
    r.SetValue(Key(version, "HELPDIR"), "@", "");
    const std::pair<const IID*, const char*> interfaces[] = {{&IID_ICVEventCtrl, "ICVEventCtrl"},
                                                             {&DIID__ICVEventCtrlEvents, "_ICVEventCtrlEvents"},
                                                             {&IID_ICVEventParam, "ICVEventParam"}};
    for (const auto& [iid, name] : interfaces) {
        const std::string key = Key("Interface", FormatGuid(*iid));
        r.SetValue(key, "@", name);
        r.SetValue(Key(key, "TypeLib"), "@", lib);
        r.SetValue(Key(key, "TypeLib"), "Version", std::string(kTypeLibVersion));
    }
}

void WriteAppId(RegistryData& r) {
    const std::string appId = FormatGuid(APPID_ZOZozovuDOvezo);
    r.SetValue(Key("AppID", appId), "@", "ZOZozovuDOvezo");
    r.SetValue(Key("AppID", "ZOZozovuDOvezo.DLL"), "AppID", appId);
}

void WriteClasses(RegistryData& r, const std::string& library) {
    const std::string appId = FormatGuid(APPID_ZOZozovuDOvezo);
    for (const ClassEntry& entry : kClasses) {
        const std::string key = ClassKey(*entry.clsid);
        const std::string clsid = FormatGuid(*entry.clsid);
        r.SetValue(key, "@", std::string(entry.name));
        r.SetValue(key, "AppID", appId);
        r.SetValue(Key(key, "ProgID"), "@", std::string(entry.progId));
        r.SetValue(Key(key, "VersionIndependentProgID"), "@", std::string(entry.independentProgId));
        r.CreateKey(Key(key, "Programmable"));
        r.SetValue(Key(key, "InprocServer32"), "@", library);
        r.SetValue(Key(key, "InprocServer32"), "ThreadingModel", "Apartment");
        r.SetValue(Key(key, "TypeLib"), "@", FormatGuid(LIBID_ZOZozovuDOvezoLib));
        for (std::string_view progId : {entry.progId, entry.independentProgId}) {
            r.SetValue(std::string(progId), "@", std::string(entry.name));
            r.SetValue(Key(progId, "CLSID"), "@", clsid);
        }
        r.SetValue(Key(entry.independentProgId, "CurVer"), "@", std::string(entry.progId));
    }
    const std::string control = ClassKey(CLSID_CVEventCtrl);
    r.CreateKey(Key(control, "Control"));
    r.SetValue(Key(control, "ToolboxBitmap32"), "@", library + ", " + std::to_string(kToolboxBitmap));
    r.SetValue(Key(control, "MiscStatus"), "@", "0");
    r.SetValue(Key(control, "MiscStatus\\1"), "@", std::to_string(kEventCtrlMiscStatus));
    r.SetValue(Key(control, "Version"), "@", std::string(kTypeLibVersion));
    // The container creates only controls that say they are safe to script.
    r.SetValue(Key("Component Categories", kCategorySafeForScripting), "409", "Controls that are safely scriptable");
    r.CreateKey(Key(Key(control, "Implemented Categories"), kCategorySafeForScripting));
}

}  // namespace

CZOZozovuDOvezoModule& CZOZozovuDOvezoModule::Instance() {
    static CZOZozovuDOvezoModule module;
    return module;
}

HRESULT CZOZozovuDOvezoModule::GetClassObject(const CLSID& clsid, const IID& iid, void** object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (clsid == CLSID_CVEventCtrl)
        return controlFactory.QueryInterface(iid, object);
    if (clsid == CLSID_CVEventParam)
        return paramFactory.QueryInterface(iid, object);
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT CZOZozovuDOvezoModule::CanUnloadNow() const {
    return CCVEventCtrl::LiveCount() == 0 && factoryReferences == 0 && locks == 0 ? S_OK : S_FALSE;
}

HRESULT CZOZozovuDOvezoModule::RegisterServer(const std::string& libraryPath) const {
    RegistryFile registry = RegistryFile::ForUser();
    if (!registry.Update([&](RegistryData& r) {
            WriteTypeLib(r, libraryPath);
            return true;
        }))
        return SELFREG_E_TYPELIB;
    if (!registry.Update([&](RegistryData& r) {
            WriteAppId(r);
            WriteClasses(r, libraryPath);
            return true;
        }))
        return SELFREG_E_CLASS;
    return S_OK;
}

HRESULT CZOZozovuDOvezoModule::UnregisterServer() const {
    RegistryFile registry = RegistryFile::ForUser();
    if (!registry.Update([](RegistryData& r) {
            r.DeleteTree(Key("TypeLib", FormatGuid(LIBID_ZOZozovuDOvezoLib)));
            for (const IID* iid : {&IID_ICVEventCtrl, &DIID__ICVEventCtrlEvents, &IID_ICVEventParam})
                r.DeleteTree(Key("Interface", FormatGuid(*iid)));
            return true;
        }))
        return SELFREG_E_TYPELIB;
    if (!registry.Update([](RegistryData& r) {
            r.DeleteTree(Key("AppID", FormatGuid(APPID_ZOZozovuDOvezo)));
            r.DeleteTree(Key("AppID", "ZOZozovuDOvezo.DLL"));
            for (const ClassEntry& entry : kClasses) {
                r.DeleteTree(ClassKey(*entry.clsid));
                r.DeleteTree(entry.progId);
                r.DeleteTree(entry.independentProgId);
            }
            return true;
        }))
        return SELFREG_E_CLASS;
    return S_OK;
}

}  // namespace zov
