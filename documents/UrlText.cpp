#include "documents/UrlText.h"

#include "platform/Encoding.h"

#include <cctype>

namespace zov {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

void AppendEscaped(std::string& out, unsigned char byte) {
    out += '%';
    out += kHex[byte >> 4];
    out += kHex[byte & 0x0F];
}

bool ValidUtf8(std::string_view bytes) {
    // Decoding and encoding again gives the same bytes only when they were
    // valid UTF-8 to begin with.
    return ToUtf8(FromUtf8(bytes)) == bytes;
}

}  // namespace

std::string EncodeUrl(std::wstring_view url) {
    std::string out;
    for (unsigned char byte : ToUtf8(url)) {
        if (std::isalnum(byte) || std::string_view("'()*-./:_").find(static_cast<char>(byte)) != std::string_view::npos)
            out += static_cast<char>(byte);
        else
            AppendEscaped(out, byte);
    }
    return out;
}

std::string RequestUrl(std::wstring_view url) {
    std::string out;
    for (unsigned char byte : ToUtf8(url)) {
        if (byte <= 0x20 || byte >= 0x7F || std::string_view("\"<>\\^`{|}").find(static_cast<char>(byte)) != std::string_view::npos)
            AppendEscaped(out, byte);
        else
            out += static_cast<char>(byte);
    }
    return out;
}

std::string PercentDecode(std::string_view text, bool* sawPercent) {
    std::string out;
    out.reserve(text.size());
    if (sawPercent)
        *sawPercent = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%') {
            if (sawPercent)
                *sawPercent = true;
            if (i + 2 < text.size() && HexDigitValue(text[i + 1]) >= 0 && HexDigitValue(text[i + 2]) >= 0) {
                out += static_cast<char>(HexDigitValue(text[i + 1]) << 4 | HexDigitValue(text[i + 2]));
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

std::wstring DecodeText(std::string_view bytes, bool percent) {
    std::string decoded = percent ? PercentDecode(bytes) : std::string(bytes);
    return ValidUtf8(decoded) ? FromUtf8(decoded) : FromCp932(decoded);
}

}  // namespace zov
