// Text encodings the viewer meets: UTF-8 (file names on this system, page
// texts, URLs) and code page 932 (text files shared between viewer instances).
// Nothing here throws on bad input: what cannot be converted is replaced, so a
// damaged file shows as damaged text instead of ending a whole operation.
#pragma once

#include <string>
#include <string_view>

namespace zov {

// Unpaired surrogates and values beyond U+10FFFF become U+FFFD.
std::string ToUtf8(std::wstring_view text);
// Malformed sequences become U+FFFD, one per offending byte.
std::wstring FromUtf8(std::string_view bytes);

// Characters code page 932 cannot hold become '?', as the system's own
// wide-to-multibyte conversion writes them.
std::string ToCp932(std::wstring_view text);
// Bytes that are no code page 932 character become U+FFFD.
std::wstring FromCp932(std::string_view bytes);

// The value of one hexadecimal digit of either case, -1 for anything else.
int HexDigitValue(char c);

}  // namespace zov
