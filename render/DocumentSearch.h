// Whether, and on which page, a document's text holds all of the reader's
// keywords. The answers are kept per page in the document, so that stepping
// from hit to hit and searching again for the same words read no page text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zov {

class ZAZObject;

// Full-width letters, digits and katakana folded to their half-width forms,
// then lower case.
std::wstring NormaliseForSearch(std::wstring_view text);

// True when every non-empty keyword occurs in `text` (both normalised) and
// there was at least one.
bool KeywordMatch(std::wstring_view text, const std::vector<std::wstring>& keywords);

// page 0: the first page (1-based) holding all keywords, 0 when none does;
// page k: k when page k holds them, else 0; -1 when the document's preview
// has no searchable text. `fromSearchText` reads the search text files.
std::int32_t SearchDocument(ZAZObject& document, const std::vector<std::wstring>& keywords, std::int32_t page,
                            bool fromSearchText);

}  // namespace zov
