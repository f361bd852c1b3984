#include "platform/com/Com.h"

#include "platform/Encoding.h"

#include <cstdio>
#include <cstdlib>

namespace zov {

namespace {

// Reads `digits` hexadecimal digits at `text[at]`; false on anything else.
bool ReadHex(std::string_view text, std::size_t at, int digits, std::uint32_t& value) {
    value = 0;
    for (int i = 0; i < digits; ++i) {
        int digit = HexDigitValue(text[at + static_cast<std::size_t>(i)]);
        if (digit < 0)
            return false;
        value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    return true;
}

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

std::optional<GUID> ParseGuid(std::string_view text) {
    // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
    if (text.size() != 38 || text[0] != '{' || text[37] != '}' || text[9] != '-' || text[14] != '-' ||
        text[19] != '-' || text[24] != '-')
        return std::nullopt;
    GUID guid;
    std::uint32_t value = 0;
    if (!ReadHex(text, 1, 8, value))
        return std::nullopt;
    guid.Data1 = value;
    if (!ReadHex(text, 10, 4, value))
        return std::nullopt;
    guid.Data2 = static_cast<std::uint16_t>(value);
    if (!ReadHex(text, 15, 4, value))
        return std::nullopt;
    guid.Data3 = static_cast<std::uint16_t>(value);
    constexpr std::size_t kByteAt[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (std::size_t i = 0; i < 8; ++i) {
        if (!ReadHex(text, kByteAt[i], 2, value))
            return std::nullopt;
        guid.Data4[i] = static_cast<std::uint8_t>(value);
    }
    return guid;
}

std::string FormatGuid(const GUID& guid) {
    char text[39];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", guid.Data1,
                  static_cast<unsigned>(guid.Data2), static_cast<unsigned>(guid.Data3), guid.Data4[0], guid.Data4[1],
                  guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    return text;
}

GUID GuidLiteral(std::string_view text) {
    std::optional<GUID> guid = ParseGuid(text);
    if (!guid)
        std::abort();
    return *guid;
}

const IID IID_IUnknown = GuidLiteral("{00000000-0000-0000-C000-000000000046}");
const IID IID_IDispatch = GuidLiteral("{00020400-0000-0000-C000-000000000046}");
const IID IID_IClassFactory = GuidLiteral("{00000001-0000-0000-C000-000000000046}");
const IID IID_IOleObject = GuidLiteral("{00000112-0000-0000-C000-000000000046}");
const IID IID_IConnectionPointContainer = GuidLiteral("{B196B284-BAB4-101A-B69C-00AA00341D07}");

const std::wstring& Variant::String() const {
    static const std::wstring kEmpty;
    const auto* text = std::get_if<std::wstring>(&value_);
    return text ? *text : kEmpty;
}

std::int32_t Variant::Long() const {
    const auto* number = std::get_if<std::int32_t>(&value_);
    return number ? *number : 0;
}

bool Variant::Bool() const {
    const auto* flag = std::get_if<bool>(&value_);
    return flag ? *flag : false;
}

IDispatch* Variant::Dispatch() const {
    auto* const* dispatch = std::get_if<IDispatch*>(&value_);
    return dispatch ? *dispatch : nullptr;
}

namespace {

// A property's writing is found only when asked for; its reading, as any
// method, otherwise.
bool KindFits(const DispatchMember& member, MemberKind kind) {
    return kind == MemberKind::PropertyPut ? member.kind == MemberKind::PropertyPut
                                           : member.kind != MemberKind::PropertyPut;
}

}  // namespace

const DispatchMember* FindMember(std::span<const DispatchMember> members, DISPID id, MemberKind kind) {
    for (const DispatchMember& member : members)
        if (member.id == id && KindFits(member, kind))
            return &member;
    return nullptr;
}

const DispatchMember* FindMember(std::span<const DispatchMember> members, std::string_view name, MemberKind kind) {
    for (const DispatchMember& member : members) {
        if (member.name.size() != name.size() || !KindFits(member, kind))
            continue;
        bool same = true;
        for (std::size_t i = 0; same && i < name.size(); ++i)
            same = LowerAscii(member.name[i]) == LowerAscii(name[i]);
        if (same)
            return &member;
    }
    return nullptr;
}

const DispatchMember* InvokedMember(std::span<const DispatchMember> members, DISPID id, std::size_t argCount) {
    const DispatchMember* put = FindMember(members, id, MemberKind::PropertyPut);
    if (put && argCount == put->args.size())
        return put;
    return FindMember(members, id);
}

HRESULT CheckArguments(const DispatchMember& member, std::span<const Variant> args) {
    if (args.size() != member.args.size())
        return DISP_E_BADPARAMCOUNT;
    for (std::size_t i = 0; i < args.size(); ++i)
        if (args[i].Type() != member.args[i])
            return DISP_E_TYPEMISMATCH;
    return S_OK;
}

std::string_view TypeName(VarType type) {
    switch (type) {
    case VarType::Empty: return "void";
    case VarType::String: return "string";
    case VarType::Long: return "long";
    case VarType::Bool: return "bool";
    case VarType::Dispatch: return "dispatch";
    }
    return "void";
}

}  // namespace zov
