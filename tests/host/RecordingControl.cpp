#include "tests/host/RecordingControl.h"

#include "platform/FileSystem.h"
#include "platform/HostWindow.h"
#include "platform/com/Com.h"

#include <atomic>

#define ZOV_EXPORT extern "C" __attribute__((visibility("default")))

namespace zov::host::recordingtest {
namespace {

// Bigger than any file the tests drop.
constexpr std::size_t kLargestCopy = 64u << 20;
constexpr DISPID kBoxId = 1;

DropRecord& Record() {
    static DropRecord record;
    return record;
}

std::span<const DispatchMember> Table() {
    static const DispatchMember members[] = {{kBoxId, kBoxMethod, {}, VarType::Long}};
    return members;
}

class RecordingControl final : public IDispatch, public IOleObject, public WindowClient {
public:
    HRESULT QueryInterface(const IID& iid, void** object) override {
        if (!object)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch) {
            *object = static_cast<IDispatch*>(this);
        } else if (iid == IID_IOleObject) {
            *object = static_cast<IOleObject*>(this);
        } else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    std::uint32_t AddRef() override { return ++references_; }
    std::uint32_t Release() override {
        const std::uint32_t left = --references_;
        if (left == 0)
            delete this;
        return left;
    }

    std::span<const DispatchMember> Members() const override { return Table(); }
    HRESULT GetIDsOfNames(std::string_view name, DISPID& id) const override {
        const DispatchMember* member = FindMember(Table(), name);
        if (!member)
            return DISP_E_UNKNOWNNAME;
        id = member->id;
        return S_OK;
    }
    HRESULT Invoke(DISPID id, std::span<const Variant> args, Variant* result) override {
        const DispatchMember* member = FindMember(Table(), id);
        if (!member)
            return DISP_E_MEMBERNOTFOUND;
        if (HRESULT checked = CheckArguments(*member, args); FAILED(checked))
            return checked;
        if (!window_)
            return E_UNEXPECTED;
        const int answer = window_->MessageBox(MessageBoxRequest{L"held", L"recording", MB_OK, {}});
        if (result)
            *result = Variant(static_cast<std::int32_t>(answer));
        return S_OK;
    }

    HRESULT SetClientSite(HostWindow* window) override {
        window_ = window;
        return S_OK;
    }
    WindowClient* Client() override { return this; }
    HRESULT Close() override { return S_OK; }

    void OnDropFiles(const std::vector<std::wstring>& paths) override {
        std::vector<DroppedCopy> copies;
        for (const std::wstring& path : paths) {
            std::optional<std::string> bytes = ReadRegularFile(path, kLargestCopy);
            copies.push_back(DroppedCopy{path, bytes.has_value(), bytes.value_or("")});
        }
        DropRecord& record = Record();
        {
            std::lock_guard lock(record.mutex);
            record.drops.push_back(std::move(copies));
        }
        record.changed.notify_all();
    }

    void OnTimer(unsigned) override {}
    void OnPaint(const RECT&) override {}
    void OnLButtonDown(std::uint32_t, POINT) override {}
    void OnLButtonUp(std::uint32_t, POINT) override {}
    void OnRButtonUp(std::uint32_t, POINT) override {}
    void OnMouseMove(std::uint32_t, POINT) override {}
    void OnMouseWheel(std::uint32_t, std::int16_t, POINT) override {}
    void OnVScroll(int) override {}
    void OnHScroll(int) override {}
    void OnSize(std::uint32_t, std::int32_t, std::int32_t) override {}
    bool OnSetCursor() override { return false; }

private:
    ~RecordingControl() = default;

    std::atomic<std::uint32_t> references_{0};
    HostWindow* window_ = nullptr;  // not owned; the window thread's
};

class Factory final : public IClassFactory {
public:
    HRESULT QueryInterface(const IID& iid, void** object) override {
        if (!object)
            return E_POINTER;
        if (iid != IID_IUnknown && iid != IID_IClassFactory) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    // Lives as long as the server.
    std::uint32_t AddRef() override { return 2; }
    std::uint32_t Release() override { return 1; }
    HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** object) override {
        if (outer)
            return CLASS_E_NOAGGREGATION;
        auto* control = new RecordingControl;
        control->AddRef();
        const HRESULT result = control->QueryInterface(iid, object);
        control->Release();
        return result;
    }
    HRESULT LockServer(bool) override { return S_OK; }
};

}  // namespace
}  // namespace zov::host::recordingtest

using namespace zov::host::recordingtest;

ZOV_EXPORT zov::HRESULT DllGetClassObject(const zov::CLSID& clsid, const zov::IID& iid, void** object) {
    static Factory factory;
    if (!object)
        return zov::E_POINTER;
    *object = nullptr;
    if (clsid != zov::GuidLiteral(kRecordingControlClsid))
        return zov::CLASS_E_CLASSNOTAVAILABLE;
    return factory.QueryInterface(iid, object);
}

ZOV_EXPORT DropRecord* RecordingControlDrops() {
    return &Record();
}
