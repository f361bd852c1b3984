// Text files shared between viewer instances (start-up arguments, work-window
// files, the view-state file, sticky notes). On disk they are exactly what a
// Windows text-mode stream in code page 932 writes: every "\n" written becomes
// CR LF (so "\r\n" becomes CR CR LF) and reading turns CR LF back into "\n".
// Other instances, and files left by earlier versions, rely on those bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace zov {

class TextFileWriter {
public:
    enum class Mode { Create, Append };

    TextFileWriter() = default;
    ~TextFileWriter();
    TextFileWriter(const TextFileWriter&) = delete;
    TextFileWriter& operator=(const TextFileWriter&) = delete;

    bool Open(std::wstring_view path, Mode mode = Mode::Create);
    bool IsOpen() const { return file_ != nullptr; }
    // Converts to code page 932 ('?' for what it cannot hold) and writes.
    bool Write(std::wstring_view text);
    // False when anything written since Open did not reach the file.
    bool Close();

private:
    std::FILE* file_ = nullptr;
    bool failed_ = false;
};

// Creates (or replaces) `path` holding `text`.
bool WriteTextFile(std::wstring_view path, std::wstring_view text);

// A text file read whole holds at most this many bytes; a larger one is not
// read at all. Lists of a few tens of thousands of names fit.
inline constexpr std::size_t kMaxTextFileBytes = 4 << 20;

// Reads a whole file at Open (these files are small) and hands it out in lines.
// Use one way of reading per reader: characters or bytes.
class TextFileReader {
public:
    // False when the file is no regular file, cannot be read or is larger
    // than kMaxTextFileBytes.
    bool Open(std::wstring_view path);
    // The next line as a wide string: up to and including "\n", or `maxChars`
    // characters when the line is longer (the rest comes with the next call).
    // Nothing once the end is reached.
    std::optional<std::wstring> ReadLine(size_t maxChars);
    // The same in raw code-page-932 bytes, cut at `maxBytes` bytes.
    std::optional<std::string> ReadLineBytes(size_t maxBytes);

private:
    std::string bytes_;
    size_t bytePos_ = 0;
    std::wstring text_;
    size_t textPos_ = 0;
    bool decoded_ = false;
};

// Reads the single line that starts at byte `offset` of a UTF-8 text file,
// "\n" kept, CR LF read as "\n", at most `maxChars` characters. Nothing when
// the file cannot be opened or the offset lies at or beyond its end.
std::optional<std::wstring> ReadUtf8Line(std::wstring_view path, std::uint64_t offset, size_t maxChars);

// The bytes a text-mode stream in code page 932 writes for `text` ("\n"
// becomes CR LF), and the text it reads back from such bytes.
std::string ToTextFileBytes(std::wstring_view text);
std::wstring FromTextFileBytes(std::string_view bytes);

// `text` without trailing spaces, tabs, CR and LF.
std::wstring TrimTrailingSpace(std::wstring_view text);

}  // namespace zov
