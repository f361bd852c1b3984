// Whether, and on which page, a document's text holds all of the reader's
// keywords. The answers are kept per page in the document, so that stepping
// from hit to hit and searching again for the same words read no page text.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zov {

class ZAZObject;

// A document is searched on at most this many pages: the page list comes
// from a file the converter (or a server) wrote.
inline constexpr std::int32_t kMaxSearchedPages = 9999;

// Full-width letters, digits and katakana folded to their half-width forms,
// then lower case.
std::wstring NormaliseForSearch(std::wstring_view text);

// True when every non-empty keyword occurs in `text` (both normalised) and
// there was at least one.
bool KeywordMatch(std::wstring_view text, const std::vector<std::wstring>& keywords);

// page 0: the first page (1-based) holding all keywords, 0 when none does;
// page k: k when page k holds them, else 0; -1 when the document's preview
// has no searchable text. `fromSearchText` reads the search text files.
// Page texts are read without any lock held; the answers are kept under the
// document lock. A raised `cancel` ends the reading at the next page (and a
// download under way), leaving the pages not tested unknown.
std::int32_t SearchDocument(ZAZObject& document, const std::vector<std::wstring>& keywords, std::int32_t page,
                            bool fromSearchText, const std::atomic<bool>* cancel = nullptr);

// Where page texts are searched: previews on a web server come with search
// text files (small, one per page), local previews are read from the text
// block of their page files.
bool SearchesSearchTextFiles();

// The document's preview has text the search can read: a usable search text
// file for previews on a web server, page files of format 2 or later for
// local ones. May download (page 1's search text file).
bool HasSearchData(const ZAZObject& document);

}  // namespace zov
