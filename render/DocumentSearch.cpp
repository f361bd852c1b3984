#include "render/DocumentSearch.h"

#include "documents/PreviewSettings.h"
#include "documents/PreviewSource.h"
#include "platform/Locks.h"
#include "render/ZAZObject.h"

#include <unicode/locid.h>
#include <unicode/translit.h>
#include <unicode/uniset.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <optional>

namespace zov {

namespace {

constexpr std::uint8_t kUnknown = 0;
constexpr std::uint8_t kHit = 1;
constexpr std::uint8_t kMiss = 255;

// The folding transliterator is built from its rules once per process (that
// is what costs); every thread works on a clone of its own, which shares the
// compiled rules. The prototype is never destroyed, as the clones need it.
struct HalfWidth {
    icu::Transliterator* prototype = nullptr;
    // The characters the rules may change: a text holding none of them is
    // passed through untouched, which is the common case for page texts.
    icu::UnicodeSet source;
    std::mutex cloning;
};

HalfWidth& Folding() {
    static HalfWidth* folding = [] {
        auto* made = new HalfWidth;
        UErrorCode status = U_ZERO_ERROR;
        made->prototype =
            icu::Transliterator::createInstance(icu::UnicodeString("Fullwidth-Halfwidth"), UTRANS_FORWARD, status);
        if (U_FAILURE(status)) {
            delete made->prototype;
            made->prototype = nullptr;
        }
        if (made->prototype) {
            made->prototype->getSourceSet(made->source);
            made->source.freeze();
        }
        return made;
    }();
    return *folding;
}

icu::Transliterator* ThreadFolding() {
    thread_local std::unique_ptr<icu::Transliterator> own = [] {
        HalfWidth& folding = Folding();
        std::lock_guard<std::mutex> guard(folding.cloning);
        return std::unique_ptr<icu::Transliterator>(folding.prototype ? folding.prototype->clone() : nullptr);
    }();
    return own.get();
}

icu::UnicodeString ToIcu(std::wstring_view text) {
    static_assert(sizeof(wchar_t) == sizeof(UChar32));
    // Values that are no code point become U+FFFD.
    return icu::UnicodeString::fromUTF32(reinterpret_cast<const UChar32*>(text.data()),
                                         static_cast<std::int32_t>(std::min<std::size_t>(text.size(), INT32_MAX / 2)));
}

std::wstring FromIcu(const icu::UnicodeString& text) {
    std::wstring out(static_cast<std::size_t>(text.length()), L'\0');
    UErrorCode status = U_ZERO_ERROR;
    const std::int32_t length =
        text.toUTF32(reinterpret_cast<UChar32*>(out.data()), static_cast<std::int32_t>(out.size()), status);
    if (U_FAILURE(status) && status != U_STRING_NOT_TERMINATED_WARNING)
        return {};
    out.resize(static_cast<std::size_t>(std::max(length, 0)));
    return out;
}

// The keywords worth testing, normalised once for all pages.
std::vector<std::wstring> NormalisedKeywords(const std::vector<std::wstring>& keywords) {
    std::vector<std::wstring> wanted;
    for (const std::wstring& keyword : keywords) {
        if (!keyword.empty())
            wanted.push_back(NormaliseForSearch(keyword));
    }
    return wanted;
}

bool MatchNormalised(std::wstring_view text, const std::vector<std::wstring>& wanted) {
    if (wanted.empty())
        return false;
    const std::wstring haystack = NormaliseForSearch(text);
    return std::all_of(wanted.begin(), wanted.end(),
                       [&haystack](const std::wstring& keyword) { return haystack.find(keyword) != std::wstring::npos; });
}

bool Cancelled(const std::atomic<bool>* cancel) {
    return cancel && cancel->load();
}

// The document's results belong to `keywords`. Document lock held.
bool ResultsFor(const ZAZObject& document, const std::vector<std::wstring>& keywords) {
    return document.searchKeywords && *document.searchKeywords == keywords;
}

// Notes what page `page` holds, unless the document went over to other
// keywords while its text was read.
void Record(ZAZObject& document, const std::vector<std::wstring>& keywords, std::int32_t page, std::uint8_t value) {
    LockGuard guard(DocumentLock());
    if (!ResultsFor(document, keywords))
        return;
    if (!document.pageHits)
        document.pageHits = std::make_unique<std::vector<std::uint8_t>>();
    std::vector<std::uint8_t>& hits = *document.pageHits;
    if (hits.size() < static_cast<std::size_t>(page))
        hits.resize(static_cast<std::size_t>(page), kUnknown);
    hits[static_cast<std::size_t>(page) - 1] = value;
}

enum class PageTest { Hit, Miss, Unreadable, Cancelled };

PageTest TestPage(ZAZObject& document, const PreviewSource& source, const std::vector<std::wstring>& keywords,
                  const std::vector<std::wstring>& wanted, std::int32_t page, bool fromSearchText,
                  const std::atomic<bool>* cancel) {
    std::wstring text;
    const bool read = source.PageText(page, fromSearchText, text);
    if (Cancelled(cancel)) {
        // A page whose reading was broken off stays unknown: it was not tested.
        return PageTest::Cancelled;
    }
    const PageTest result = !read ? PageTest::Unreadable : MatchNormalised(text, wanted) ? PageTest::Hit : PageTest::Miss;
    // A page whose text cannot be read counts as holding no hit.
    Record(document, keywords, page, result == PageTest::Hit ? kHit : kMiss);
    return result;
}

}  // namespace

std::wstring NormaliseForSearch(std::wstring_view text) {
    icu::UnicodeString folded = ToIcu(text);
    if (icu::Transliterator* transliterator = ThreadFolding()) {
        const HalfWidth& folding = Folding();
        if (folded.length() > 0 && folding.source.span(folded, 0, USET_SPAN_NOT_CONTAINED) < folded.length())
            transliterator->transliterate(folded);
    }
    folded.toLower(icu::Locale::getRoot());
    return FromIcu(folded);
}

bool KeywordMatch(std::wstring_view text, const std::vector<std::wstring>& keywords) {
    return MatchNormalised(text, NormalisedKeywords(keywords));
}

std::int32_t SearchDocument(ZAZObject& document, const std::vector<std::wstring>& keywords, std::int32_t page,
                            bool fromSearchText, const std::atomic<bool>* cancel) {
    try {
        if (keywords.empty() || page < 0)
            return 0;
        // Whether every page is known to hold no hit: a finished scan leaves
        // one entry more than the document has pages.
        std::optional<std::size_t> allMissed;
        std::wstring path;
        {
            LockGuard guard(DocumentLock());
            // Results of other keywords (or of these in another order) are
            // of no use, and must never be taken for hits of these.
            if (document.searchKeywords && *document.searchKeywords != keywords)
                document.searchKeywords.reset();
            if (!document.searchKeywords) {
                document.searchKeywords = std::make_unique<std::vector<std::wstring>>(keywords);
                document.pageHits = std::make_unique<std::vector<std::uint8_t>>();
            }
            if (const std::vector<std::uint8_t>* hits = document.pageHits.get()) {
                if (page == 0) {
                    std::size_t k = 0;
                    for (; k < hits->size() && (*hits)[k] != kUnknown; ++k) {
                        if ((*hits)[k] == kHit)
                            return static_cast<std::int32_t>(k + 1);
                    }
                    if (k == hits->size() && k > 0)
                        allMissed = k;
                } else if (hits->size() >= static_cast<std::size_t>(page)) {
                    const std::uint8_t known = (*hits)[static_cast<std::size_t>(page) - 1];
                    if (known == kHit)
                        return page;
                    if (known == kMiss)
                        return 0;
                }
            }
            path = document.path;
        }

        PreviewSource source(path);
        source.CancelWith(cancel);
        if (source.FormatVersion() <= 1) {
            LockGuard guard(DocumentLock());
            if (ResultsFor(document, keywords))
                document.pageHits.reset();
            return -1;
        }
        const std::optional<std::vector<std::int32_t>> list = source.PageList();
        const std::int32_t count =
            list ? static_cast<std::int32_t>(std::min<std::size_t>(list->size(), kMaxSearchedPages)) : 0;
        if (allMissed && *allMissed > static_cast<std::size_t>(count))
            return 0;

        const std::vector<std::wstring> wanted = NormalisedKeywords(keywords);
        if (page > 0) {
            if (page > count)
                return 0;
            return TestPage(document, source, keywords, wanted, page, fromSearchText, cancel) == PageTest::Hit ? page : 0;
        }
        for (std::int32_t i = 1; i <= kMaxSearchedPages; ++i) {
            if (Cancelled(cancel))
                return 0;
            const PageTest result = TestPage(document, source, keywords, wanted, i, fromSearchText, cancel);
            if (result == PageTest::Hit)
                return i;
            if (result != PageTest::Miss)
                return 0;
            if (i + 1 > count) {
                // The mark after the last page: the whole document was read.
                Record(document, keywords, i + 1, kMiss);
                return 0;
            }
        }
        return 0;
    } catch (...) {
        return 0;
    }
}

bool SearchesSearchTextFiles() {
    return IsHttp(GetPreviewSettings().previewRoot);
}

bool HasSearchData(const ZAZObject& document) {
    try {
        if (document.path.empty())
            return false;
        PreviewSource source(document.path);
        return SearchesSearchTextFiles() ? source.HasSearchText() : source.FormatVersion() > 1;
    } catch (...) {
        return false;
    }
}

}  // namespace zov
