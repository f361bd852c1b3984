#include "host/EventSink.h"

#include "host/WebWindow.h"
#include "platform/Encoding.h"

#include <nlohmann/json.hpp>

namespace zov::host {

namespace {

using Json = nlohmann::json;

Json StringValue(const std::wstring& text) {
    return ToUtf8(text.size() > kEventStringLimit ? std::wstring_view(text).substr(0, kEventStringLimit)
                                                  : std::wstring_view(text));
}

Json PlainValue(const Variant& value) {
    switch (value.Type()) {
    case VarType::String: return StringValue(value.String());
    case VarType::Long: return value.Long();
    case VarType::Bool: return value.Bool();
    default: return nullptr;
    }
}

// A dispatch argument (the parameter object of an event) as the page can
// hold it: its readable properties, each read once now.
Json ObjectValue(IDispatch* object) {
    Json properties = Json::object();
    if (!object)
        return nullptr;
    std::size_t taken = 0;
    for (const DispatchMember& member : object->Members()) {
        if (member.kind != MemberKind::PropertyGet || !member.args.empty() || taken == kEventPropertyLimit)
            continue;
        Variant value;
        if (SUCCEEDED(object->Invoke(member.id, {}, &value)) && value.Type() != VarType::Dispatch) {
            properties[std::string(member.name)] = PlainValue(value);
            ++taken;
        }
    }
    return properties;
}

}  // namespace

EventSink::EventSink(std::uint32_t element, std::shared_ptr<ElementLink> link, std::span<const DispatchMember> events)
    : element_(element), link_(std::move(link)), events_(events) {}

HRESULT EventSink::QueryInterface(const IID& iid, void** object) {
    if (!object)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch) {
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

std::uint32_t EventSink::AddRef() {
    return ++references_;
}

std::uint32_t EventSink::Release() {
    const std::uint32_t left = --references_;
    if (left == 0)
        delete this;
    return left;
}

HRESULT EventSink::GetIDsOfNames(std::string_view name, DISPID& id) const {
    const DispatchMember* member = FindMember(events_, name);
    if (!member)
        return DISP_E_UNKNOWNNAME;
    id = member->id;
    return S_OK;
}

HRESULT EventSink::Invoke(DISPID id, std::span<const Variant> args, Variant* result) {
    if (result)
        *result = Variant();
    const DispatchMember* member = FindMember(events_, id);
    if (!member)
        return DISP_E_MEMBERNOTFOUND;
    if (HRESULT checked = CheckArguments(*member, args); FAILED(checked))
        return checked;
    if (!connected_)
        return S_OK;
    try {
        Json list = Json::array();
        for (const Variant& arg : args)
            list.push_back(arg.Type() == VarType::Dispatch ? ObjectValue(arg.Dispatch()) : PlainValue(arg));
        Json message = {{"t", "event"}, {"el", element_}, {"name", std::string(member->name)}, {"args", list}};
        link_->SendText(message.dump(-1, ' ', false, Json::error_handler_t::replace));
        return S_OK;
    } catch (...) {
        return DISP_E_EXCEPTION;
    }
}

}  // namespace zov::host
