#include "tests/host/RecordingControl.h"

#include "platform/FileSystem.h"
#include "platform/HostWindow.h"
#include "platform/com/Com.h"
#include "platform/com/Registry.h"

#include <dlfcn.h>

#include <atomic>
#include <cwchar>
#include <functional>
#include <memory>

#define ZOV_EXPORT extern "C" __attribute__((visibility("default")))

namespace zov::host::recordingtest {
namespace {

// Bigger than any file the tests drop.
constexpr std::size_t kLargestCopy = 64u << 20;
constexpr DISPID kBoxId = 1;
constexpr DISPID kDialogId = 2;
constexpr DISPID kModalId = 3;
constexpr DISPID kShowId = 4;
constexpr DISPID kCloseId = 5;
constexpr DISPID kVisibleId = 6;
constexpr DISPID kReportId = 7;

DropRecord& Record() {
    static DropRecord record;
    return record;
}

DialogRecord& Dialogs() {
    static DialogRecord record;
    return record;
}

void Note(WindowHandle dialog, const std::function<void(DialogEvents&)>& change) {
    DialogRecord& record = Dialogs();
    {
        std::lock_guard lock(record.mutex);
        change(record.dialogs[dialog]);
    }
    record.changed.notify_all();
}

std::span<const DispatchMember> Table() {
    static const DispatchMember members[] = {
        {kBoxId, kBoxMethod, {}, VarType::Long},
        {kDialogId, "Dialog", {}, VarType::Long},
        {kModalId, "Modal", {}, VarType::Long},
        {kShowId, "Show", {VarType::Long, VarType::Bool}, VarType::Empty},
        {kCloseId, "Close", {VarType::Long}, VarType::Empty},
        {kVisibleId, "Visible", {}, VarType::Bool},
        {kReportId, "Report", {VarType::Long}, VarType::String},
    };
    return members;
}

std::wstring ColourText(COLORREF colour) {
    wchar_t text[8];
    std::swprintf(text, 8, L"#%02x%02x%02x", colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
    return text;
}

// What a note's dialog does with its colour: the swatch and the chooser
// follow the reader's choice.
class RecordedDialog final : public DialogClient {
public:
    explicit RecordedDialog(HostWindow& window) : window_(window) {}

    void OnInitDialog(WindowHandle dialog) override {
        handle_ = dialog;
        Note(dialog, [](DialogEvents&) {});
        window_.SetDialogTimer(dialog, kDialogTimer, kDialogTimerMs);
    }
    void OnDialogCommand(std::int32_t control, const DialogValues&) override {
        Note(handle_, [control](DialogEvents& e) { e.commands.push_back(control); });
        if (control == IDOK || control == IDCANCEL)
            window_.DestroyDialog(handle_);
    }
    void OnDialogTimer(unsigned) override {
        Note(handle_, [](DialogEvents& e) { ++e.ticks; });
    }
    void OnDialogColour(std::int32_t, COLORREF colour) override {
        colour_ = colour;
        Note(handle_, [colour](DialogEvents& e) { e.colours.push_back(colour); });
        DialogItemChange swatch;
        swatch.control = kSwatch;
        swatch.colour = colour;
        window_.ChangeDialogItem(handle_, swatch);
        DialogItemChange button;
        button.control = kColourButton;
        button.colour = colour;
        window_.ChangeDialogItem(handle_, button);
    }
    void OnDialogActivate() override {
        ++activations_;
        Note(handle_, [](DialogEvents& e) { ++e.activations; });
    }
    void OnDialogDestroyed() override {
        destroyed_ = true;
        Note(handle_, [](DialogEvents& e) { e.destroyed = true; });
    }

    WindowHandle Handle() const { return handle_; }
    std::wstring Report() const {
        return L"activations " + std::to_wstring(activations_) + L" colour " + ColourText(colour_) +
               (destroyed_ ? L" destroyed" : L"");
    }

private:
    HostWindow& window_;
    WindowHandle handle_ = 0;
    COLORREF colour_ = 0xFFFFFF;
    int activations_ = 0;
    bool destroyed_ = false;
};

class ModalDialog final : public DialogClient {
public:
    explicit ModalDialog(HostWindow& window) : window_(window) {}
    void OnInitDialog(WindowHandle dialog) override { handle_ = dialog; }
    void OnDialogCommand(std::int32_t control, const DialogValues&) override { window_.EndDialog(handle_, control); }

private:
    HostWindow& window_;
    WindowHandle handle_ = 0;
};

DialogTemplate NoteTemplate() {
    DialogTemplate dialog;
    dialog.resource = 280;
    dialog.title = L"Note";
    auto add = [&dialog](DialogControl::Kind kind, std::int32_t id, std::wstring text) -> DialogControl& {
        DialogControl control;
        control.kind = kind;
        control.id = id;
        control.text = std::move(text);
        dialog.controls.push_back(std::move(control));
        return dialog.controls.back();
    };
    add(DialogControl::Kind::Static, 65535, L"Comment:");
    DialogControl& edit = add(DialogControl::Kind::Edit, kCommentEdit, L"first line");
    edit.multiline = true;
    edit.focus = true;
    add(DialogControl::Kind::Swatch, kSwatch, L"").colour = 0xFFFFFF;
    add(DialogControl::Kind::Colour, kColourButton, L"Colour...").colour = 0xFFFFFF;
    add(DialogControl::Kind::Button, IDOK, L"OK").isDefault = true;
    add(DialogControl::Kind::Button, IDCANCEL, L"Cancel");
    return dialog;
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
        Variant value;
        switch (id) {
        case kBoxId:
            value = static_cast<std::int32_t>(window_->MessageBox(MessageBoxRequest{L"held", L"recording", MB_OK, {}}));
            break;
        case kDialogId: {
            auto dialog = std::make_unique<RecordedDialog>(*window_);
            const WindowHandle handle = window_->CreateModelessDialog(NoteTemplate(), *dialog);
            if (handle != 0)
                dialogs_.push_back(std::move(dialog));
            value = static_cast<std::int32_t>(handle);
            break;
        }
        case kModalId: {
            DialogTemplate dialog;
            dialog.title = L"Modal";
            DialogControl ok;
            ok.kind = DialogControl::Kind::Button;
            ok.id = IDOK;
            ok.text = L"OK";
            dialog.controls.push_back(ok);
            ModalDialog client(*window_);
            value = static_cast<std::int32_t>(window_->RunModalDialog(dialog, client));
            break;
        }
        case kShowId:
            window_->ShowDialog(static_cast<WindowHandle>(args[0].Long()), args[1].Bool());
            break;
        case kCloseId:
            window_->DestroyDialog(static_cast<WindowHandle>(args[0].Long()));
            break;
        case kVisibleId:
            value = window_->IsVisible();
            break;
        case kReportId:
            for (const auto& dialog : dialogs_)
                if (dialog->Handle() == static_cast<WindowHandle>(args[0].Long()))
                    value = dialog->Report();
            if (value.Type() != VarType::String)
                value = std::wstring(L"none");
            break;
        default: return DISP_E_MEMBERNOTFOUND;
        }
        if (result)
            *result = value;
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
    // Kept as long as the control: the window destroys the dialogs left
    // open at its end, before it lets the control go.
    std::vector<std::unique_ptr<RecordedDialog>> dialogs_;
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

ZOV_EXPORT DialogRecord* RecordingControlDialogs() {
    return &Dialogs();
}

// For zov-regsvr, as the browser tests register it: this very file, safe
// for scripting.
ZOV_EXPORT zov::HRESULT DllRegisterServer() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&RecordingControlDialogs), &info) == 0 || !info.dli_fname)
        return zov::SELFREG_E_CLASS;
    char resolved[4096];
    const std::string path = realpath(info.dli_fname, resolved) ? resolved : info.dli_fname;
    const std::string key = "CLSID\\" + std::string(kRecordingControlClsid);
    const bool written = zov::RegistryFile::ForUser().Update([&](zov::RegistryData& r) {
        r.SetValue(key + "\\InprocServer32", "@", path);
        r.CreateKey(key + "\\Implemented Categories\\" + std::string(zov::kCategorySafeForScripting));
        return true;
    });
    return written ? zov::S_OK : zov::SELFREG_E_CLASS;
}
