#include "control/ZOVuvazaRObject.h"

namespace zov {

namespace {

constexpr VarType S = VarType::String;
constexpr VarType L = VarType::Long;
constexpr VarType B = VarType::Bool;
constexpr VarType V = VarType::Empty;

const std::vector<DispatchMember>& Table() {
    static const std::vector<DispatchMember> table = {
        {DISPID_ABOUTBOX, "AboutBox", {}, V},
        {1, "SetFiles", {S}, V},
        {2, "SetPreviewFolder", {S}, V},
        {3, "FlipRight", {}, V},
        {4, "FlipLeft", {}, V},
        {5, "FlipRight2", {}, V},
        {6, "FlipLeft2", {}, V},
        {7, "FlipRightClose", {}, V},
        {8, "FlipLeftClose", {}, V},
        {9, "FlipAuto", {}, V},
        {10, "ZoomDown", {}, V},
        {11, "ScaleUp", {}, V},
        {12, "ScaleDown", {}, V},
        {13, "CompleteOpenPage", {}, V},
        {14, "UnCompleteOpenPage", {}, V},
        {15, "SingleOpenPage", {}, V},
        {16, "Search", {S}, V},
        {17, "Refresh", {}, V},
        {18, "SetAllSelectedFlag", {B}, V},
        {19, "eValueInit", {S, S, B, S, S, S}, L},
        {20, "eValueSetFiles", {S, S, S, S, S}, L},
        {21, "eValueGetSelectedFiles", {}, S},
        {22, "GetToolBarVisible", {}, B},
        {23, "SetToolBarVisible", {B}, V},
        {24, "SetUp", {S, S, B, S, S, S, B}, L},
        {25, "ShowFiles", {S, S}, L},
        {26, "GetSelectedFiles", {}, S},
        {27, "SetFolderFiles", {S, S}, V},
        {28, "SetFolder", {S, B}, V},
        {29, "DeleteSelectedFiles", {}, V},
        {30, "GetDirTreeVisible", {}, B},
        {31, "SetDirTreeVisible", {B, S, S}, V},
        {32, "OpenPages", {S}, V},
        {33, "ShowWorkWindow", {S, S}, L},
        {34, "AddFilesToWorkWindow", {S, S}, L},
        {35, "GetWorkWindowCount", {}, L},
        {36, "ExistSameFileInWorkWindow", {S}, B},
        {37, "ZoomUpFirstObject", {}, V},
        {38, "TextSearchNext", {S}, V},
        {39, "TextSearchPrev", {S}, V},
        {40, "TextSearchCancel", {}, V},
        {41, "SetFileList", {S, S}, V},
        {42, "ClearMemory", {}, V},
    };
    return table;
}

}  // namespace

const IID IID_DZOVuvazaR = GuidLiteral("{37965CB1-F902-4550-8005-41B836E04C3A}");
const IID IID_DZOZozovuDOvezos = GuidLiteral("{0F32568A-F277-4D63-9BF1-224C0D692006}");

std::span<const DispatchMember> ZOVuvazaRMembers() {
    return Table();
}

ZOVuvazaRObject::ZOVuvazaRObject() : control_(std::make_unique<CZOVuvazaRCtrl>()) {}

ZOVuvazaRObject::~ZOVuvazaRObject() = default;

HRESULT ZOVuvazaRObject::QueryInterface(const IID& iid, void** object) {
    if (!object)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_DZOVuvazaR) {
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

std::uint32_t ZOVuvazaRObject::AddRef() {
    return ++references_;
}

std::uint32_t ZOVuvazaRObject::Release() {
    std::uint32_t left = --references_;
    if (left == 0)
        delete this;
    return left;
}

std::span<const DispatchMember> ZOVuvazaRObject::Members() const {
    return Table();
}

HRESULT ZOVuvazaRObject::GetIDsOfNames(std::string_view name, DISPID& id) const {
    const DispatchMember* member = FindMember(Table(), name);
    if (!member)
        return DISP_E_UNKNOWNNAME;
    id = member->id;
    return S_OK;
}

HRESULT ZOVuvazaRObject::Invoke(DISPID id, std::span<const Variant> args, Variant* result) {
    const DispatchMember* member = FindMember(Table(), id);
    if (!member)
        return DISP_E_MEMBERNOTFOUND;
    if (HRESULT checked = CheckArguments(*member, args); FAILED(checked))
        return checked;
    try {
        Variant value = Call(id, args);
        if (result)
            *result = std::move(value);
        return S_OK;
    } catch (...) {
        return DISP_E_EXCEPTION;
    }
}

Variant ZOVuvazaRObject::Call(DISPID id, std::span<const Variant> a) {
    CZOVuvazaRCtrl& c = *control_;
    auto s = [a](std::size_t i) -> const std::wstring& { return a[i].String(); };
    auto b = [a](std::size_t i) { return a[i].Bool(); };
    switch (id) {
    case DISPID_ABOUTBOX: c.AboutBox(); break;
    case 1: c.SetFiles(s(0)); break;
    case 2: c.SetPreviewFolder(s(0)); break;
    case 3: c.FlipRight(); break;
    case 4: c.FlipLeft(); break;
    case 5: c.FlipRight2(); break;
    case 6: c.FlipLeft2(); break;
    case 7: c.FlipRightClose(); break;
    case 8: c.FlipLeftClose(); break;
    case 9: c.FlipAuto(); break;
    case 10: c.ZoomDown(); break;
    case 11: c.ScaleUp(); break;
    case 12: c.ScaleDown(); break;
    case 13: c.CompleteOpenPage(); break;
    case 14: c.UnCompleteOpenPage(); break;
    case 15: c.SingleOpenPage(); break;
    case 16: c.Search(s(0)); break;
    case 17: c.Refresh(); break;
    case 18: c.SetAllSelectedFlag(b(0)); break;
    case 19: return c.eValueInit(s(0), s(1), b(2), s(3), s(4), s(5));
    case 20: return c.eValueSetFiles(s(0), s(1), s(2), s(3), s(4));
    case 21: return c.eValueGetSelectedFiles();
    case 22: return c.GetToolBarVisible();
    case 23: c.SetToolBarVisible(b(0)); break;
    case 24: return c.SetUp(s(0), s(1), b(2), s(3), s(4), s(5), b(6));
    case 25: return c.ShowFiles(s(0), s(1));
    case 26: return c.GetSelectedFiles();
    case 27: c.SetFolderFiles(s(0), s(1)); break;
    case 28: c.SetFolder(s(0), b(1)); break;
    case 29: c.DeleteSelectedFiles(); break;
    case 30: return c.GetDirTreeVisible();
    case 31: c.SetDirTreeVisible(b(0), s(1), s(2)); break;
    case 32: c.OpenPages(s(0)); break;
    case 33: return c.ShowWorkWindow(s(0), s(1));
    case 34: return c.AddFilesToWorkWindow(s(0), s(1));
    case 35: return c.GetWorkWindowCount();
    case 36: return c.ExistSameFileInWorkWindow(s(0));
    case 37: c.ZoomUpFirstObject(); break;
    case 38: c.TextSearchNext(s(0)); break;
    case 39: c.TextSearchPrev(s(0)); break;
    case 40: c.TextSearchCancel(); break;
    case 41: c.SetFileList(s(0), s(1)); break;
    case 42: c.ClearMemory(); break;
    default: break;
    }
    return Variant();
}

HRESULT ZOVuvazaRObject::SetClientSite(HostWindow* window) {
    control_->AttachWindow(window);
    return S_OK;
}

WindowClient* ZOVuvazaRObject::Client() {
    return control_.get();
}

HRESULT ZOVuvazaRObject::Close() {
    control_->ClearMemory();
    control_->AttachWindow(nullptr);
    return S_OK;
}

}  // namespace zov
