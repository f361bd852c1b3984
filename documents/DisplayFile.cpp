#include "documents/DisplayFile.h"

namespace zov {

std::optional<std::wstring> ListTokenizer::Next() {
    if (rest_.empty())
        return std::nullopt;
    std::size_t end = rest_.find_first_of(separators_);
    std::wstring item(rest_.substr(0, end));
    rest_ = end == std::wstring_view::npos ? std::wstring_view() : rest_.substr(end + 1);
    return item;
}

void ListTokenizer::SkipOne() {
    if (!rest_.empty())
        rest_.remove_prefix(1);
}

std::vector<std::wstring> SplitList(std::wstring_view text, std::wstring_view separators) {
    std::vector<std::wstring> items;
    ListTokenizer tokens(text, separators);
    while (std::optional<std::wstring> item = tokens.Next()) {
        if (item->size() >= 2)
            items.push_back(std::move(*item));
    }
    return items;
}

}  // namespace zov
