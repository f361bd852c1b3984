// Turning addresses and the texts servers send into what the viewer uses.
#pragma once

#include <string>
#include <string_view>

namespace zov {

// UTF-8 with every byte percent-encoded ("%XX", upper case) except a-z, A-Z,
// 0-9 and ' ( ) * - . / : _. A '%' already present is encoded again.
std::string EncodeUrl(std::wstring_view url);

// An address as it goes on the wire: UTF-8, with spaces, control characters,
// non-ASCII bytes and the few characters never allowed in a URL
// percent-encoded; everything else (including existing %XX) kept.
std::string RequestUrl(std::wstring_view url);

// Text from a server. With `percent`, %XX sequences become their bytes first.
// The bytes are read as UTF-8 when they are valid UTF-8, else as code page
// 932, the encoding older servers wrote.
std::wstring DecodeText(std::string_view bytes, bool percent);

// "%XX" sequences as bytes; `sawPercent` tells whether any '%' was there.
std::string PercentDecode(std::string_view text, bool* sawPercent = nullptr);

}  // namespace zov
