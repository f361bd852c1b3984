#include "host/Protocol.h"

#include "platform/Encoding.h"
#include "platform/HostWindow.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <climits>
#include <cmath>

namespace zov::host {

using Json = nlohmann::json;

std::size_t Utf16Length(std::string_view utf8) {
    std::size_t units = 0;
    for (unsigned char c : utf8) {
        if ((c & 0xC0) != 0x80)
            ++units;
        if ((c & 0xF8) == 0xF0)
            ++units;  // a character beyond the basic plane takes two
    }
    return units;
}

std::string Echo(std::string_view text) {
    if (text.size() <= kEchoLimit)
        return std::string(text);
    std::size_t end = kEchoLimit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return std::string(text.substr(0, end)) + "...";
}

std::optional<std::int64_t> IntField(const Json& message, const char* name, std::int64_t low, std::int64_t high) {
    auto it = message.find(name);
    if (it == message.end() || !it->is_number_integer())
        return std::nullopt;
    const std::int64_t value = it->is_number_unsigned()
                                   ? static_cast<std::int64_t>(std::min<std::uint64_t>(it->get<std::uint64_t>(),
                                                                                       std::uint64_t{1} << 62))
                                   : it->get<std::int64_t>();
    if (value < low || value > high)
        return std::nullopt;
    return value;
}

std::optional<unsigned> DpiField(const Json& message) {
    auto it = message.find("scale");
    if (it == message.end())
        return kBaseDpi;
    if (!it->is_number())
        return std::nullopt;
    const double scale = it->get<double>();
    if (!(scale > 0 && scale <= kLargestScale))
        return std::nullopt;
    return static_cast<unsigned>(std::clamp(std::lround(scale * kBaseDpi), static_cast<long>(kBaseDpi),
                                            static_cast<long>(kMaxDpi)));
}

Json RectJson(const RECT& rect) {
    return Json::array({rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top});
}

const std::string* StringField(const Json& message, const char* name) {
    auto it = message.find(name);
    if (it == message.end() || !it->is_string())
        return nullptr;
    return it->get_ptr<const std::string*>();
}

std::optional<MessageHead> ReadHead(const Json& message, std::string& error) {
    if (!message.is_object()) {
        error = "a message must be a JSON object";
        return std::nullopt;
    }
    const std::string* type = StringField(message, "t");
    if (!type) {
        error = "a message needs its type, t";
        return std::nullopt;
    }
    std::optional<std::int64_t> element = IntField(message, "el", 1, 0xFFFFFFFF);
    if (!element) {
        error = "a message needs its element, el";
        return std::nullopt;
    }
    return MessageHead{*type, static_cast<std::uint32_t>(*element)};
}

const DispatchMember* CalledMember(std::span<const DispatchMember> members, const Json& message) {
    // "k": "put" writes a property; anything else calls or reads.
    const std::string* kindName = StringField(message, "k");
    const MemberKind kind = kindName && *kindName == "put" ? MemberKind::PropertyPut : MemberKind::Method;
    if (const std::string* name = StringField(message, "m"))
        return FindMember(members, *name, kind);
    if (std::optional<std::int64_t> dispid = IntField(message, "d", INT32_MIN, INT32_MAX))
        return FindMember(members, static_cast<DISPID>(*dispid), kind);
    return nullptr;
}

std::optional<std::vector<Variant>> ReadArguments(const DispatchMember& member, const Json& message,
                                                  std::size_t stringLimit, std::string& error) {
    const std::string name(member.name);
    auto argsField = message.find("a");
    if (argsField == message.end() || !argsField->is_array()) {
        error = name + ": the arguments, a, must be an array";
        return std::nullopt;
    }
    if (argsField->size() != member.args.size()) {
        error = name + ": " + std::to_string(member.args.size()) + " arguments expected";
        return std::nullopt;
    }
    std::vector<Variant> args;
    for (std::size_t i = 0; i < member.args.size(); ++i) {
        const Json& value = (*argsField)[i];
        const std::string where = name + ": argument " + std::to_string(i + 1);
        switch (member.args[i]) {
        case VarType::String:
            if (!value.is_string()) {
                error = where + " must be a string";
                return std::nullopt;
            }
            if (Utf16Length(value.get_ref<const std::string&>()) > stringLimit) {
                error = where + " is too long";
                return std::nullopt;
            }
            args.emplace_back(FromUtf8(value.get_ref<const std::string&>()));
            break;
        case VarType::Long:
            if (!value.is_number_integer() ||
                (value.is_number_unsigned() ? value.get<std::uint64_t>() > INT32_MAX
                                            : (value.get<std::int64_t>() < INT32_MIN ||
                                               value.get<std::int64_t>() > INT32_MAX))) {
                error = where + " must be a 32-bit integer";
                return std::nullopt;
            }
            args.emplace_back(static_cast<std::int32_t>(value.get<std::int64_t>()));
            break;
        case VarType::Bool:
            if (!value.is_boolean()) {
                error = where + " must be true or false";
                return std::nullopt;
            }
            args.emplace_back(value.get<bool>());
            break;
        default:
            error = where + " cannot be passed from a page";
            return std::nullopt;
        }
    }
    return args;
}

}  // namespace zov::host
