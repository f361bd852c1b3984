// The items of a displayed file list and the way list strings from the page's
// script are cut into items.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zov {

struct DisplayFile {
    std::wstring path;  // file path, URL or document key; at least 2 characters
    std::int32_t openPage = 0;
    std::wstring caption;
    std::wstring documentId;
    bool flag = false;
};

using DisplayFileList = std::vector<DisplayFile>;

// Separator sets of the list formats.
inline constexpr std::wstring_view kAngleSeparators = L"<>\n\r\t";
inline constexpr std::wstring_view kSlashSeparators = L"/\n\r\t";
inline constexpr std::wstring_view kBarSeparators = L"|";

// Cuts a list string into items: each item is the text up to the next
// separator (possibly empty); the separator itself is dropped.
class ListTokenizer {
public:
    ListTokenizer(std::wstring_view text, std::wstring_view separators) : rest_(text), separators_(separators) {}
    // The next item, or nothing once the text is used up.
    std::optional<std::wstring> Next();
    bool Done() const { return rest_.empty(); }
    // Drops the first character of what is left (for callers that skip
    // blanks and empty items one character at a time).
    void SkipOne();
    std::wstring_view Rest() const { return rest_; }

private:
    std::wstring_view rest_;
    std::wstring_view separators_;
};

// The items of at least 2 characters; shorter ones are skipped.
std::vector<std::wstring> SplitList(std::wstring_view text, std::wstring_view separators);

}  // namespace zov
