// Reading the page's messages: everything in them is untrusted, so each
// field is taken only with its type and range checked. Pure functions, for
// the WebSocket session and the fuzzer alike.
#pragma once

#include "platform/com/Com.h"

#include <nlohmann/json_fwd.hpp>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zov::host {

// What an error message repeats of what it refuses.
inline constexpr std::size_t kEchoLimit = 64;

// UTF-16 code units of a UTF-8 text, for the string limit.
std::size_t Utf16Length(std::string_view utf8);
// The start of `text`, at most kEchoLimit bytes, cut at a character boundary.
std::string Echo(std::string_view text);

// An integer field within [low, high].
std::optional<std::int64_t> IntField(const nlohmann::json& message, const char* name, std::int64_t low,
                                     std::int64_t high);
const std::string* StringField(const nlohmann::json& message, const char* name);
// The screen density a create or size message gives by its `scale`, device
// pixels per CSS pixel: kBaseDpi without one, clamped to [kBaseDpi, kMaxDpi];
// nothing when `scale` is no number in (0, kLargestScale].
inline constexpr double kLargestScale = 16;
std::optional<unsigned> DpiField(const nlohmann::json& message);

// A child window's rectangle as the page reads it: [left, top, width, height].
nlohmann::json RectJson(const RECT& rect);

// The type and element every message names; `error` says what is missing.
struct MessageHead {
    std::string type;
    std::uint32_t element = 0;
};
std::optional<MessageHead> ReadHead(const nlohmann::json& message, std::string& error);

// The member a call names, by `m` or `d`; null when none.
const DispatchMember* CalledMember(std::span<const DispatchMember> members, const nlohmann::json& message);
// The arguments of a call to `member` from its `a`, each of the declared type
// and strings of at most `stringLimit` UTF-16 units; `error` says which is not.
std::optional<std::vector<Variant>> ReadArguments(const DispatchMember& member, const nlohmann::json& message,
                                                  std::size_t stringLimit, std::string& error);

}  // namespace zov::host
