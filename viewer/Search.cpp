// Keyword search over the desk: the keyword list, and the steps from hit to
// hit on a thread of their own.
#include "viewer/ZAZViewer.h"

#include "platform/Locks.h"
#include "render/DocumentSearch.h"

#include <chrono>

namespace zov {

namespace {

std::vector<std::shared_ptr<ZAZObject>> DeskBooks(const std::list<std::shared_ptr<ZAZObject>>& objects) {
    return {objects.begin(), objects.end()};
}

}  // namespace

std::vector<std::wstring> SplitKeywords(std::wstring_view text) {
    text = text.substr(0, kMaxKeywordChars);
    std::vector<std::wstring> words;
    std::wstring word;
    for (wchar_t c : text) {
        // The ideographic space of Japanese input separates words as well.
        if (c == L' ' || c == L'\x3000') {
            if (words.size() < kMaxKeywords)
                words.push_back(std::move(word));
            word.clear();
        } else {
            word += c;
        }
    }
    if (words.size() < kMaxKeywords)
        words.push_back(std::move(word));
    return words;
}

void ZAZViewer::SetKeywords(std::wstring_view text) {
    try {
        auto list = std::make_unique<std::vector<std::wstring>>(SplitKeywords(text));
        {
            LockGuard desk(DeskLock());
            keywords = std::move(list);
        }
        SaveViewState();
    } catch (...) {
    }
}

std::optional<std::wstring> ZAZViewer::KeywordsText() const {
    try {
        LockGuard desk(DeskLock());
        if (!keywords)
            return std::nullopt;
        std::wstring text;
        for (const std::wstring& word : *keywords) {
            if (&word != &keywords->front())
                text += L' ';
            text += word;
        }
        return text;
    } catch (...) {
        return std::nullopt;
    }
}

bool ZAZViewer::KeywordsAre(const std::vector<std::wstring>& words) const {
    return keywords && *keywords == words;
}

void ZAZViewer::Search(std::wstring_view text) {
    try {
        SetKeywords(text);
        if (ZoomedObject()) {
            ViewLock lock;
            RenderNoPresent(true);
            return;
        }
        // Every closed book opens at its first hit as it loads again.
        ReloadCurrentList(false);
    } catch (...) {
    }
}

void ZAZViewer::SearchStep(std::wstring_view text, int direction) {
    try {
        std::lock_guard<std::mutex> one(searchStart_);
        // The step running now ends before anything it reads changes: its
        // jumps belong to the keywords it was started with.
        StopSearchLocked();
        searchNewText = text != lastSearchText;
        if (searchNewText)
            lastSearchText = text;
        SetKeywords(text);
        searchCancel = false;
        searchDirection = direction < 0 ? -1 : 1;
        // Raised before the thread runs, so that whoever polls it right after
        // this call sees the step.
        searchProgress = 0;
        searchRunning = true;
        searchThread_ = std::thread([this] { SearchThread(); });
    } catch (...) {
        searchRunning = false;
    }
}

void ZAZViewer::StopSearch() {
    try {
        std::lock_guard<std::mutex> one(searchStart_);
        StopSearchLocked();
    } catch (...) {
    }
}

void ZAZViewer::StopSearchLocked() {
    if (!searchThread_.joinable())
        return;
    searchCancel = true;
    searchThread_.join();
}

bool ZAZViewer::SearchNeedsConsent() const {
    try {
        if (!searchDataUnchecked)
            return false;
        std::vector<std::shared_ptr<ZAZObject>> books;
        {
            LockGuard desk(DeskLock());
            books = DeskBooks(objects);
        }
        // Asked without the desk: a preview on a server may be downloaded.
        for (const std::shared_ptr<ZAZObject>& book : books) {
            if (!HasSearchData(*book))
                return true;
        }
        return false;
    } catch (...) {
        return false;
    }
}

bool ZAZViewer::ZoomedHasSearchData() const {
    try {
        std::shared_ptr<ZAZObject> zoomed;
        {
            LockGuard desk(DeskLock());
            for (const std::shared_ptr<ZAZObject>& book : objects)
                if (book.get() == zoomedObject)
                    zoomed = book;
        }
        return zoomed && HasSearchData(*zoomed);
    } catch (...) {
        return false;
    }
}

void ZAZViewer::SearchThread() {
    try {
        searchRunning = true;
        searchProgress = 0;
        std::vector<std::wstring> words;
        std::vector<std::shared_ptr<ZAZObject>> books;
        bool zoomed = false;
        {
            LockGuard desk(DeskLock());
            if (keywords)
                words = *keywords;
            for (const std::shared_ptr<ZAZObject>& book : objects) {
                if (zoomedObject && book.get() == zoomedObject)
                    books.assign(1, book);
            }
            zoomed = zoomedObject != nullptr;
            if (!zoomed)
                books = DeskBooks(objects);
        }
        if (zoomed) {
            if (!books.empty())
                SearchBook(*books.front(), words);
        } else {
            const std::int64_t count = static_cast<std::int64_t>(books.size());
            std::int64_t i = 1;
            for (const std::shared_ptr<ZAZObject>& book : books) {
                if (searchCancel)
                    break;
                searchProgress = static_cast<std::int32_t>(i * 100 / (count + 1));
                SearchBook(*book, words);
                ++i;
            }
        }
    } catch (...) {
    }
    searchProgress = 100;
    searchRunning = false;
}

bool ZAZViewer::SearchBook(ZAZObject& book, const std::vector<std::wstring>& words) {
    std::int32_t position;
    std::int32_t pages;
    bool single;
    {
        LockGuard desk(DeskLock());
        position = book.pagePosition;
        pages = book.PageCount();
        single = book.layout && book.layout->singlePage;
    }
    const bool fromSearchText = SearchesSearchTextFiles();
    // -1: the book has no text to search at all; nothing more is asked of it.
    auto hit = [&](std::int32_t page) { return SearchDocument(book, words, page, fromSearchText, &searchCancel); };
    // The jump is made only while the keywords are still those the hit was
    // found for: a newer list's search owns the books now.
    auto jump = [&](std::int32_t page, bool replay) {
        ViewLock lock;
        if (!KeywordsAre(words) || searchCancel)
            return false;
        if (replay) {
            // Placed one leaf away, so that the turn onto the hit plays even
            // when the hit is on the spread showing now.
            book.pagePosition = page == 1 ? 4 : page - 3;
            book.flipProgress = book.pagePosition % 2 ? 1.0 : 0.0;
            if (book.flipState == kClosed)
                book.flipState = book.layout && book.layout->rightStitch ? kAutoPrevious : kAutoNext;
        }
        return JumpToPage(book, page);
    };
    const std::int32_t a = (position + 1) / 2;
    if (searchNewText) {
        const std::int32_t b = single ? a + 1 : 2 * a + 1;
        // Page 0 is no page: asked for, it would answer for the whole book.
        std::int32_t left = !single && b - 1 >= 1 ? hit(b - 1) : 0;
        if (left < 0)
            return false;
        const std::int32_t right = left > 0 ? 0 : hit(b);
        if (right < 0)
            return false;
        if (left > 0 || right > 0)
            return jump(b, true);
    }
    if (searchDirection > 0) {
        for (std::int32_t i = single ? a + 2 : 2 * a + 2; i <= pages; ++i) {
            const std::int32_t found = hit(i);
            if (found < 0)
                return false;
            if (found > 0)
                return jump(i, false);
            if (searchCancel)
                return false;
        }
    } else {
        // Down to page 1: page 0 would answer whether the book holds a hit
        // anywhere, and turn it to its front page for a hit elsewhere.
        for (std::int32_t n = single ? a : 2 * a - 1; n >= 1; --n) {
            const std::int32_t found = hit(n);
            if (found < 0)
                return false;
            if (found > 0)
                return jump(n, false);
            if (searchCancel)
                return false;
        }
    }
    return false;
}

}  // namespace zov
