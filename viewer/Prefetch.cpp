#include "viewer/Prefetch.h"

#include "documents/FileTypes.h"
#include "documents/PreviewSettings.h"
#include "documents/PreviewSource.h"
#include "platform/Locks.h"
#include "render/PageCache.h"
#include "render/ZAZObject.h"

#include <algorithm>

namespace zov {

namespace {

// The pages whose large picture the preload would read from a local file
// now: a document's own pages, outside eValue mode (which reads differently).
bool Prefetchable(const ZAZImage* page) {
    return page && !page->sourcePath.empty() && !page->large.HoldsOwnPixels() && PageFileAvailable(*page);
}

bool BookPrefetchable(const ZAZObject& book) {
    return book.pages && !IsPlainImage(book.fileType) && !GetPreviewSettings().eValueNSMode;
}

}  // namespace

PagePrefetch::~PagePrefetch() {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

std::vector<PagePrefetch::Entry>::iterator PagePrefetch::Find(const std::wstring& path, std::int32_t number) {
    return std::find_if(entries_.begin(), entries_.end(),
                        [&](const Entry& e) { return e.number == number && e.path == path; });
}

void PagePrefetch::HandIn(ZAZObject& book, std::int32_t first, std::int32_t last) {
    handedIn_.clear();
    struct Wanted {
        std::int32_t index;
        std::wstring path;
        std::int32_t number;
        std::unique_ptr<PixelBuffer> picture;
    };
    std::vector<Wanted> wanted;
    {
        LockGuard document(DocumentLock());
        if (!BookPrefetchable(book))
            return;
        for (std::int32_t i = std::max(first, 0); i <= last && i < book.PageCount(); ++i) {
            const ZAZImage* page = book.Page(i);
            if (Prefetchable(page))
                wanted.push_back(Wanted{i, page->sourcePath, page->pageNumber, nullptr});
        }
    }
    // A decode under way is waited for without the document lock, which the
    // loader and the painter's other users take meanwhile.
    bool any = false;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        for (Wanted& w : wanted) {
            auto entry = Find(w.path, w.number);
            if (entry == entries_.end())
                continue;
            if (entry->state == State::Queued) {
                // Not begun: the preload reads it as it always has.
                entries_.erase(entry);
                continue;
            }
            const std::uint64_t ticket = entry->ticket;
            changed_.wait(lock, [&] {
                auto e = Find(w.path, w.number);
                return e == entries_.end() || e->ticket != ticket || e->state == State::Done;
            });
            entry = Find(w.path, w.number);
            if (entry == entries_.end() || entry->ticket != ticket)
                continue;
            w.picture = std::move(entry->picture);
            entries_.erase(entry);
            any = any || (w.picture && !w.picture->Empty());
        }
    }
    if (!any)
        return;
    LockGuard document(DocumentLock());
    for (Wanted& w : wanted) {
        if (!w.picture || w.picture->Empty() || w.index >= book.PageCount())
            continue;
        // The pages may have been replaced while the lock was free.
        ZAZImage* page = book.Page(w.index);
        if (!Prefetchable(page) || page->sourcePath != w.path || page->pageNumber != w.number)
            continue;
        page->large = std::move(*w.picture);
        handedIn_.push_back(page);
    }
}

void PagePrefetch::Settle() {
    LockGuard document(DocumentLock());
    for (ZAZImage* page : handedIn_) {
        bool slotted = false;
        for (int slot = 0; slot < kLargeSlots; ++slot)
            slotted = slotted || SlotPage(slot) == page;
        if (!slotted)
            page->large.ReleasePixels();
    }
    handedIn_.clear();
}

void PagePrefetch::Ahead(ZAZObject& book, std::int32_t first, std::int32_t last, bool forward) {
    struct Want {
        std::wstring path;
        std::int32_t number;
    };
    std::vector<Want> wanted;
    {
        LockGuard document(DocumentLock());
        if (BookPrefetchable(book)) {
            for (std::int32_t step = 1; step <= static_cast<std::int32_t>(kAheadPages); ++step) {
                const std::int32_t index = forward ? last + step : first - step;
                if (index < 0 || index >= book.PageCount())
                    continue;
                ZAZImage* page = book.Page(index);
                if (Prefetchable(page))
                    wanted.push_back(Want{page->sourcePath, page->pageNumber});
            }
        }
    }
    bool queued = false;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        // Pictures of pages no longer ahead go; a decode under way for one
        // finishes and is dropped.
        std::erase_if(entries_, [&](const Entry& e) {
            return std::none_of(wanted.begin(), wanted.end(),
                                [&](const Want& w) { return w.number == e.number && w.path == e.path; });
        });
        for (const Want& w : wanted) {
            if (Find(w.path, w.number) != entries_.end())
                continue;
            Entry entry;
            entry.path = w.path;
            entry.number = w.number;
            entry.ticket = ++tickets_;
            entries_.push_back(std::move(entry));
            queued = true;
        }
        if (queued && !thread_.joinable()) {
            try {
                thread_ = std::thread([this] { Run(); });
            } catch (...) {
                entries_.clear();  // without a thread the preload reads them itself
                return;
            }
        }
    }
    if (queued)
        changed_.notify_all();
}

void PagePrefetch::Clear() {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        entries_.clear();
    }
    changed_.notify_all();
}

bool PagePrefetch::Ready(const std::wstring& path, std::int32_t number) {
    std::lock_guard<std::mutex> guard(mutex_);
    auto entry = Find(path, number);
    return entry != entries_.end() && entry->state == State::Done && entry->picture;
}

void PagePrefetch::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] {
            return stop_ || std::any_of(entries_.begin(), entries_.end(),
                                        [](const Entry& e) { return e.state == State::Queued; });
        });
        if (stop_)
            return;
        auto entry = std::find_if(entries_.begin(), entries_.end(),
                                  [](const Entry& e) { return e.state == State::Queued; });
        entry->state = State::Decoding;
        const std::wstring path = entry->path;
        const std::int32_t number = entry->number;
        const std::uint64_t ticket = entry->ticket;
        lock.unlock();
        std::unique_ptr<PixelBuffer> picture;
        try {
            picture = PreviewSource(path).LoadPageDetail(number);
        } catch (...) {
        }
        lock.lock();
        auto done = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.ticket == ticket; });
        if (done != entries_.end()) {
            done->picture = std::move(picture);
            done->state = State::Done;
        }
        lock.unlock();
        changed_.notify_all();
        lock.lock();
    }
}

}  // namespace zov
