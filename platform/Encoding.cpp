#include "platform/Encoding.h"

#include <cerrno>
#include <iconv.h>
#include <stdexcept>

namespace zov {

namespace {

constexpr wchar_t kReplacement = 0xFFFD;

bool IsScalarValue(std::uint32_t c) {
    return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
}

void AppendUtf8(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// One conversion descriptor per thread and direction: iconv_t keeps state and
// may not be shared between threads.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("iconv cannot convert from ") + from + " to " + to);
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts `in`; at each unconvertible unit of `unit` bytes, appends
    // `replacement` (already in the target encoding) and skips the unit.
    std::string Run(const char* in, size_t inLeft, size_t unit, std::string_view replacement) {
        std::string out;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char buffer[1024];
        auto* src = const_cast<char*>(in);
        while (inLeft > 0) {
            char* dst = buffer;
            size_t dstLeft = sizeof buffer;
            size_t r = iconv(cd_, &src, &inLeft, &dst, &dstLeft);
            out.append(buffer, dst - buffer);
            if (r != static_cast<size_t>(-1))
                continue;
            if (errno == E2BIG)
                continue;
            // EILSEQ: a unit that has no mapping; EINVAL: a sequence cut off
            // by the end of the input.
            out.append(replacement);
            size_t skip = unit < inLeft ? unit : inLeft;
            src += skip;
            inLeft -= skip;
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        }
        // Flush any shift state (none for code page 932, but cheap to ask).
        char* dst = buffer;
        size_t dstLeft = sizeof buffer;
        iconv(cd_, nullptr, nullptr, &dst, &dstLeft);
        out.append(buffer, dst - buffer);
        return out;
    }

private:
    iconv_t cd_;
};

}  // namespace

std::string ToUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t w : text) {
        auto c = static_cast<std::uint32_t>(w);
        AppendUtf8(out, IsScalarValue(c) ? c : kReplacement);
    }
    return out;
}

std::wstring FromUtf8(std::string_view bytes) {
    std::wstring out;
    out.reserve(bytes.size());
    size_t i = 0;
    while (i < bytes.size()) {
        auto b0 = static_cast<unsigned char>(bytes[i]);
        if (b0 < 0x80) {
            out += static_cast<wchar_t>(b0);
            ++i;
            continue;
        }
        int length = b0 >= 0xF0 ? 4 : b0 >= 0xE0 ? 3 : b0 >= 0xC0 ? 2 : 0;
        std::uint32_t c = length == 4 ? b0 & 0x07 : length == 3 ? b0 & 0x0F : b0 & 0x1F;
        bool ok = length > 0 && i + length <= bytes.size();
        for (int k = 1; ok && k < length; ++k) {
            auto b = static_cast<unsigned char>(bytes[i + k]);
            ok = (b & 0xC0) == 0x80;
            c = (c << 6) | (b & 0x3F);
        }
        // Overlong forms would let a hidden '/' or '\' through a check made on
        // the decoded text, so they count as malformed.
        static constexpr std::uint32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
        if (ok && c >= kMinimum[length] && IsScalarValue(c)) {
            out += static_cast<wchar_t>(c);
            i += length;
        } else {
            out += kReplacement;
            ++i;
        }
    }
    return out;
}

std::string ToCp932(std::wstring_view text) {
    thread_local Converter converter("CP932", "WCHAR_T");
    return converter.Run(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t),
                         sizeof(wchar_t), "?");
}

std::wstring FromCp932(std::string_view bytes) {
    thread_local Converter converter("WCHAR_T", "CP932");
    const wchar_t replacement = kReplacement;
    std::string raw = converter.Run(bytes.data(), bytes.size(), 1,
                                    {reinterpret_cast<const char*>(&replacement), sizeof replacement});
    return std::wstring(reinterpret_cast<const wchar_t*>(raw.data()), raw.size() / sizeof(wchar_t));
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace zov
