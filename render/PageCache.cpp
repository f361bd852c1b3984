#include "render/PageCache.h"

#include "documents/Download.h"
#include "documents/FileTypes.h"
#include "documents/PreviewPaths.h"
#include "documents/PreviewSource.h"
#include "platform/FileSystem.h"
#include "platform/Handshake.h"
#include "platform/Locks.h"
#include "render/PageList.h"
#include "render/Placeholders.h"
#include "render/ZAZImage.h"
#include "render/ZAZObject.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <string>
#include <thread>

namespace zov {

namespace {

using namespace std::chrono_literals;

// Large-picture slots; guarded by the document lock like everything here.
struct Slots {
    std::array<const ZAZImage*, kLargeSlots> pages{};
    std::array<bool, kLargeSlots> marks{};
    int cursor = 0;
};

Slots& LargeSlots() {
    static auto* slots = new Slots;
    return *slots;
}

struct DownloadEntry {
    std::wstring url;
    std::wstring local;
    std::int32_t pageNumber = 0;  // 0 or less: finished
};

// The page download queue, shared by the drawing thread (filling it) and the
// download thread (working through it).
struct DownloadQueue {
    std::mutex mutex;
    std::array<DownloadEntry, kDownloadQueueSize> entries;
    int count = 0;
    Flag started{false};
    Flag stopRequest{false};
    Flag stopped{false};
    std::thread thread;
};

DownloadQueue& Queue() {
    static auto* queue = new DownloadQueue;
    return *queue;
}

constexpr auto kDownloadRetry = 500ms;
constexpr auto kStopPoll = 50ms;

// Runs until asked to stop: fetches the first queued page file that is not
// in the cache yet, then looks again from the start.
void DownloadThread() {
    DownloadQueue& queue = Queue();
    SetOnExit reportStopped(queue.stopped);
    while (!queue.stopRequest) {
        std::optional<DownloadEntry> next;
        {
            std::lock_guard<std::mutex> guard(queue.mutex);
            for (int i = 0; i < queue.count; ++i) {
                DownloadEntry& entry = queue.entries[static_cast<std::size_t>(i)];
                if (entry.pageNumber <= 0)
                    continue;
                if (PathExists(entry.local)) {
                    entry.pageNumber = 0;
                    continue;
                }
                next = entry;
                break;
            }
        }
        if (!next) {
            std::this_thread::sleep_for(kDownloadRetry);
            continue;
        }
        try {
            if (!queue.stopRequest && !Download(next->url, next->local))
                std::this_thread::sleep_for(kDownloadRetry);
        } catch (...) {
            std::this_thread::sleep_for(kDownloadRetry);
        }
    }
}

void StartDownloadThread() {
    DownloadQueue& queue = Queue();
    if (queue.started)
        return;
    if (queue.thread.joinable())
        queue.thread.join();
    queue.stopRequest = false;
    queue.stopped = false;
    queue.started = true;
    queue.thread = std::thread(DownloadThread);
}

}  // namespace

void Touch(ZAZImage& page) {
    LockGuard guard(DocumentLock());
    if (IsPlaceholderPixels(page.large.Pixels()))
        return;
    Slots& slots = LargeSlots();
    for (int i = 0; i < kLargeSlots; ++i) {
        if (slots.pages[static_cast<std::size_t>(i)] == &page) {
            slots.marks[static_cast<std::size_t>(i)] = true;
            return;
        }
    }
    int slot = slots.cursor > kLargeSlots - 1 ? 0 : slots.cursor;
    while (slot < kLargeSlots && slots.marks[static_cast<std::size_t>(slot)])
        ++slot;
    if (slot >= kLargeSlots) {
        // Past the last slot: the lowest one not used in this pass, or, when
        // more than four large pictures are wanted at once, the first.
        auto free = std::find(slots.marks.begin(), slots.marks.end(), false);
        slot = free == slots.marks.end() ? 0 : static_cast<int>(free - slots.marks.begin());
    }
    if (const ZAZImage* previous = slots.pages[static_cast<std::size_t>(slot)]; previous && previous != &page) {
        // The evicted page keeps its size; its pixels go back to their pool.
        const_cast<ZAZImage*>(previous)->large.ReleasePixels();
    }
    slots.pages[static_cast<std::size_t>(slot)] = &page;
    slots.marks[static_cast<std::size_t>(slot)] = true;
    slots.cursor = slot + 1;
}

void ClearSlotMarks() {
    LockGuard guard(DocumentLock());
    LargeSlots().marks.fill(false);
}

void RemoveFromSlots(const ZAZImage& page) {
    LockGuard guard(DocumentLock());
    for (const ZAZImage*& slot : LargeSlots().pages)
        if (slot == &page)
            slot = nullptr;
}

const ZAZImage* SlotPage(int slot) {
    LockGuard guard(DocumentLock());
    return slot >= 0 && slot < kLargeSlots ? LargeSlots().pages[static_cast<std::size_t>(slot)] : nullptr;
}

int SlotCursor() {
    LockGuard guard(DocumentLock());
    return LargeSlots().cursor;
}

void ResetSlots() {
    LockGuard guard(DocumentLock());
    LargeSlots() = Slots{};
}

bool SmallPictureReloadable(const ZAZObject& document, const ZAZImage& page) {
    // Icon pages (shared by every document of their extension) and
    // placeholder pages have nothing to load back once given up.
    return page.small.HoldsOwnPixels() && !page.sourcePath.empty() && page.sourcePath == document.path &&
           !IsPlaceholderPixels(page.small.Pixels());
}

void LoadSmallPicture(ZAZImage& page, ZAZObject& document) {
    LockGuard guard(DocumentLock());
    if (!page.small.HoldsOwnPixels()) {
        if (std::unique_ptr<PixelBuffer> picture = PreviewSource(page.sourcePath).LoadPage(page.pageNumber)) {
            page.small = std::move(*picture);
            if (document.PageCount() == 1)
                document.Relayout();
        }
    }
    if (SmallPictureReloadable(document, page) &&
        std::find(document.loadedSmall.begin(), document.loadedSmall.end(), &page) == document.loadedSmall.end())
        document.loadedSmall.push_back(&page);
}

void LoadLargePicture(ZAZImage& page) {
    try {
        LockGuard guard(DocumentLock());
        if (!page.large.HoldsOwnPixels()) {
            std::unique_ptr<PixelBuffer> picture = PreviewSource(page.sourcePath).LoadPageDetail(page.pageNumber);
            if (!picture)
                return;
            page.large = std::move(*picture);
        }
        Touch(page);
    } catch (...) {
    }
}

void KeepSmallPictures(ZAZObject& document, ZAZImage* a, ZAZImage* b, ZAZImage* c, ZAZImage* d) {
    LockGuard guard(DocumentLock());
    std::vector<ZAZImage*>& loaded = document.loadedSmall;
    for (auto it = loaded.begin(); it != loaded.end();) {
        ZAZImage* page = *it;
        if (page == a || page == b || page == c || page == d) {
            ++it;
            continue;
        }
        page->releasedShape = page->Aspect();
        page->small.ShareFrom(PixelBuffer::WhitePage());
        it = loaded.erase(it);
    }
    for (ZAZImage* page : {a, b, c, d})
        if (page)
            LoadSmallPicture(*page, document);
}

bool PageFileAvailable(const ZAZImage& page) {
    PreviewSettings settings = GetPreviewSettings();
    if (!IsHttp(settings.previewRoot))
        return true;
    std::wstring local = LocalCachePath(page.sourcePath, page.pageNumber, settings);
    return !local.empty() && PathExists(local);
}

void QueueDownload(const ZAZImage& page) {
    if (page.sourcePath.empty())
        return;
    DownloadQueue& queue = Queue();
    PreviewSettings settings = GetPreviewSettings();
    std::wstring local = LocalCachePath(page.sourcePath, page.pageNumber, settings);
    std::wstring url = PageFilePath(page.sourcePath, page.pageNumber, settings);
    if (local.empty() || url.empty())
        return;
    for (wchar_t& ch : url)
        if (ch == L'\\')
            ch = L'/';
    std::lock_guard<std::mutex> guard(queue.mutex);
    StartDownloadThread();
    if (queue.count >= kDownloadQueueSize)
        return;
    queue.entries[static_cast<std::size_t>(queue.count++)] = DownloadEntry{url, local, page.pageNumber};
}

int QueuedDownloads() {
    DownloadQueue& queue = Queue();
    std::lock_guard<std::mutex> guard(queue.mutex);
    return queue.count;
}

void StopDownloadThread() {
    DownloadQueue& queue = Queue();
    if (!queue.started)
        return;
    queue.stopRequest = true;
    PollUntil([&queue] { return queue.stopped.load(); }, kStopPoll);
    if (queue.thread.joinable())
        queue.thread.join();
    queue.started = false;
}

void Preload(ZAZObject& document, std::int32_t first, std::int32_t last, int direction) {
    LockGuard guard(DocumentLock());
    if (!document.pages)
        return;
    ClearSlotMarks();
    {
        DownloadQueue& queue = Queue();
        std::lock_guard<std::mutex> queueGuard(queue.mutex);
        queue.count = 0;
    }
    // A picture has no page files: its full pixels come with the zoom.
    if (IsPlainImage(document.fileType))
        return;
    const bool eValueMode = GetPreviewSettings().eValueNSMode;
    const std::int32_t count = document.PageCount();
    for (std::int32_t i = std::max(first, 0); i <= last && i < count; ++i) {
        ZAZImage* page = document.Page(i);
        if (!page || page->sourcePath.empty())
            continue;
        if (eValueMode || PageFileAvailable(*page))
            LoadLargePicture(*page);
        else
            QueueDownload(*page);
    }
    if (!eValueMode && direction != kNoDirection) {
        const std::int32_t ahead[2] = {direction == kForward ? last + 1 : first - 1,
                                       direction == kForward ? last + 2 : first - 2};
        for (std::int32_t index : ahead) {
            if (index < 0 || index >= count)
                continue;
            ZAZImage* page = document.Page(index);
            if (page && !PageFileAvailable(*page))
                QueueDownload(*page);
        }
    }
    document.uniformShape = ComputeUniformShape(document);
}

void ReleasePictures(ZAZImage& page) {
    LockGuard guard(DocumentLock());
    RemoveFromSlots(page);
    // Pooled pictures go back to the pool they came from; placeholders and
    // the white page stay where they are.
    page.large.ReleasePixels();
    page.small.ReleasePixels();
}

}  // namespace zov
