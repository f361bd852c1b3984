#include "eventctl/CVEventParam.h"

namespace zov {

const CLSID CLSID_CVEventParam = GuidLiteral("{4B8CB134-59BD-404B-9126-1BFEF3333DB7}");
const IID IID_ICVEventParam = GuidLiteral("{24F98B29-EE5D-4047-97FC-BC3F093DF4A4}");

namespace {

const std::vector<DispatchMember>& Table() {
    static const std::vector<DispatchMember> table = {
        {1, "Msg", {}, VarType::String, MemberKind::PropertyGet},
        {1, "Msg", {VarType::String}, VarType::Empty, MemberKind::PropertyPut},
    };
    return table;
}

}  // namespace

HRESULT CCVEventParam::QueryInterface(const IID& iid, void** object) {
    if (!object)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_ICVEventParam) {
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

std::uint32_t CCVEventParam::AddRef() {
    return ++references_;
}

std::uint32_t CCVEventParam::Release() {
    const std::uint32_t left = --references_;
    if (left == 0)
        delete this;
    return left;
}

std::span<const DispatchMember> CCVEventParam::Members() const {
    return Table();
}

HRESULT CCVEventParam::GetIDsOfNames(std::string_view name, DISPID& id) const {
    const DispatchMember* member = FindMember(Table(), name);
    if (!member)
        return DISP_E_UNKNOWNNAME;
    id = member->id;
    return S_OK;
}

HRESULT CCVEventParam::Invoke(DISPID id, std::span<const Variant> args, Variant* result) {
    const DispatchMember* member = InvokedMember(Table(), id, args.size());
    if (!member)
        return DISP_E_MEMBERNOTFOUND;
    if (HRESULT checked = CheckArguments(*member, args); FAILED(checked))
        return checked;
    try {
        if (member->kind == MemberKind::PropertyPut)
            SetMsg(args[0].String());
        else if (result)
            *result = Variant(Msg());
        return S_OK;
    } catch (...) {
        return DISP_E_EXCEPTION;
    }
}

std::wstring CCVEventParam::Msg() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return message_;
}

void CCVEventParam::SetMsg(std::wstring message) {
    std::lock_guard<std::mutex> guard(mutex_);
    message_ = std::move(message);
}

}  // namespace zov
