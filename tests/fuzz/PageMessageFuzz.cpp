// Feeds arbitrary text to the reading of the page's messages: the JSON
// parse, the head every message has, the fields of each message type and the
// arguments of calls of every type.
#include "host/Protocol.h"

#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

using namespace zov;

const DispatchMember kMembers[] = {
    {1, "Text", {VarType::String}, VarType::Long},
    {2, "Numbers", {VarType::Long, VarType::Long}, VarType::Bool},
    {3, "Mixed", {VarType::Bool, VarType::String, VarType::Long}, VarType::String},
    {4, "Nothing", {}, VarType::Empty},
    {5, "Object", {VarType::Dispatch}, VarType::Empty},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zov::host;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const nlohmann::json message = nlohmann::json::parse(text, nullptr, false);
    if (message.is_discarded())
        return 0;
    std::string error;
    const std::optional<MessageHead> head = ReadHead(message, error);
    if (!head)
        return 0;
    // What an error says of the type must stay printable as JSON.
    (void)nlohmann::json({{"message", "unknown message type " + Echo(head->type)}}).dump();
    for (const char* field : {"w", "h", "sx", "sy", "x", "y", "k", "d", "code", "pos", "id", "v", "seq"})
        IntField(message, field, -(std::int64_t{1} << 40), std::int64_t{1} << 40);
    for (const char* field : {"e", "bar", "clsid", "progid", "m"})
        StringField(message, field);
    if (const DispatchMember* member = CalledMember(kMembers, message))
        ReadArguments(*member, message, 1 << 18, error);
    return 0;
}
