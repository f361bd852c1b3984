#include "platform/TextFile.h"

#include "platform/Encoding.h"
#include "platform/FileSystem.h"

#include <cwctype>
#include <memory>

namespace zov {

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Text-mode reading: CR LF becomes LF; a CR on its own stays.
std::string FromTextMode(std::string_view raw) {
    std::string out;
    out.reserve(raw.size());
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n')
            continue;
        out += raw[i];
    }
    return out;
}

// Text-mode writing: LF becomes CR LF. A code page 932 trail byte is never
// 0x0A, so translating after the conversion is safe.
std::string ToTextMode(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 16);
    for (char c : bytes) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

template <typename String>
std::optional<String> TakeLine(const String& source, size_t& pos, size_t max) {
    if (pos >= source.size() || max == 0)
        return std::nullopt;
    size_t end = pos;
    while (end < source.size() && end - pos < max) {
        if (source[end++] == '\n')
            break;
    }
    String line = source.substr(pos, end - pos);
    pos = end;
    return line;
}

}  // namespace

std::string ToTextFileBytes(std::wstring_view text) {
    return ToTextMode(ToCp932(text));
}

std::wstring FromTextFileBytes(std::string_view bytes) {
    return FromCp932(FromTextMode(bytes));
}

TextFileWriter::~TextFileWriter() {
    Close();
}

bool TextFileWriter::Open(std::wstring_view path, Mode mode) {
    Close();
    failed_ = false;
    file_ = std::fopen(NativePath(path).c_str(), mode == Mode::Append ? "ab" : "wb");
    return file_ != nullptr;
}

bool TextFileWriter::Write(std::wstring_view text) {
    if (!file_)
        return false;
    std::string bytes = ToTextFileBytes(text);
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size())
        failed_ = true;
    return !failed_;
}

bool TextFileWriter::Close() {
    if (!file_)
        return !failed_;
    if (std::fclose(file_) != 0)
        failed_ = true;
    file_ = nullptr;
    return !failed_;
}

bool WriteTextFile(std::wstring_view path, std::wstring_view text) {
    TextFileWriter writer;
    if (!writer.Open(path))
        return false;
    writer.Write(text);
    return writer.Close();
}

bool TextFileReader::Open(std::wstring_view path) {
    *this = TextFileReader();
    std::optional<std::string> raw = ReadRegularFile(path, kMaxTextFileBytes);
    if (!raw)
        return false;
    bytes_ = FromTextMode(*raw);
    return true;
}

std::optional<std::wstring> TextFileReader::ReadLine(size_t maxChars) {
    if (!decoded_) {
        text_ = FromCp932(bytes_);
        decoded_ = true;
    }
    return TakeLine(text_, textPos_, maxChars);
}

std::optional<std::string> TextFileReader::ReadLineBytes(size_t maxBytes) {
    return TakeLine(bytes_, bytePos_, maxBytes);
}

std::optional<std::wstring> ReadUtf8Line(std::wstring_view path, std::uint64_t offset, size_t maxChars) {
    FileHandle file(OpenRegularFile(path));
    if (!file || fseeko(file.get(), static_cast<off_t>(offset), SEEK_SET) != 0)
        return std::nullopt;
    // A UTF-8 character has at most 4 bytes, and CR LF counts as one.
    const size_t byteLimit = maxChars * 4 + 1;
    std::string raw;
    int c;
    while (raw.size() < byteLimit && (c = std::fgetc(file.get())) != EOF) {
        raw += static_cast<char>(c);
        if (c == '\n')
            break;
    }
    if (raw.empty())
        return std::nullopt;
    std::wstring text = FromUtf8(FromTextMode(raw));
    if (text.size() > maxChars)
        text.resize(maxChars);
    return text;
}

std::wstring TrimTrailingSpace(std::wstring_view text) {
    while (!text.empty() && std::iswspace(static_cast<wint_t>(text.back())))
        text.remove_suffix(1);
    return std::wstring(text);
}

}  // namespace zov
