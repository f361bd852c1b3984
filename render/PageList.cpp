#include "render/PageList.h"

#include "documents/FileTypes.h"
#include "documents/PreviewSettings.h"
#include "documents/PreviewSource.h"
#include "platform/FileSystem.h"
#include "platform/Locks.h"
#include "pixels/Draw.h"
#include "render/FileIcons.h"
#include "render/PageCache.h"
#include "render/Placeholders.h"
#include "render/ZAZImage.h"
#include "render/ZAZObject.h"

#include <cwctype>
#include <cstdlib>
#include <vector>

namespace zov {

namespace {

// A book's fields are guarded by the desk lock, its pages' pictures by the
// document lock; changes to a book's page list take both, in that order.
struct BookLock {
    LockGuard desk{DeskLock()};
    LockGuard document{DocumentLock()};
};

// Pages whose shapes differ by no more than this (in 1/1024) count as alike.
constexpr std::int32_t kShapeTolerance = 4;

// One icon page per extension, for the whole process.
std::vector<std::unique_ptr<ZAZImage>>& IconCache() {
    static auto* cache = new std::vector<std::unique_ptr<ZAZImage>>;
    return *cache;
}

std::wstring IconExtension(const std::wstring& path) {
    const std::size_t n = path.size();
    std::wstring extension;
    if (n > 4 && path[n - 4] == L'.')
        extension = path.substr(n - 4);
    else if (n > 5 && path[n - 5] == L'.')
        extension = path.substr(n - 5);
    for (wchar_t& c : extension)
        c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    // A shortcut's own icon says nothing about the document.
    return extension == L".lnk" ? std::wstring() : extension;
}

std::unique_ptr<PixelBuffer> IconOrBlank(const std::wstring& extension) {
    if (std::unique_ptr<PixelBuffer> icon = IconPicture(extension, DeskColour()))
        return icon;
    // No icon at all: a square of desk colour rather than undefined pixels.
    auto blank = PixelBuffer::Create(32, 32);
    FillDeskColour(*blank);
    return blank;
}

// Replaces the document's page list, giving the old pages' pictures back.
void ReplacePages(ZAZObject& document, ZAZObject::PageList pages) {
    if (document.pages) {
        for (std::unique_ptr<ZAZImage>& page : *document.pages)
            if (page)
                ReleasePictures(*page);
    }
    document.loadedSmall.clear();
    document.pages = std::move(pages);
    for (std::unique_ptr<ZAZImage>& page : *document.pages)
        if (page && SmallPictureReloadable(document, *page))
            document.loadedSmall.push_back(page.get());
}

// The page list from the preview: the first pages with their small pictures,
// the rest as empty entries. Nothing when the preview has no page list.
std::optional<ZAZObject::PageList> BuildPageList(const ZAZObject& document, const PreviewSource& source,
                                                 std::int32_t limit, const std::atomic<bool>* cancel,
                                                 std::int32_t& eagerCount) {
    std::optional<std::vector<std::int32_t>> preview = source.PageList();
    if (!preview)
        return std::nullopt;
    const std::size_t count = preview->size();
    auto cancelled = [cancel] { return cancel && cancel->load(); };
    ZAZObject::PageList pages;
    while (pages.size() < count && !cancelled()) {
        const auto number = static_cast<std::int32_t>(pages.size() + 1);
        std::unique_ptr<PixelBuffer> small = source.LoadPage(number);
        if (!small)
            break;
        pages.push_back(std::make_unique<ZAZImage>(document.path, document.caption, number, std::move(small)));
        if (limit >= 0 && number == std::max(limit, 1))
            break;
    }
    eagerCount = static_cast<std::int32_t>(pages.size());
    while (pages.size() < count && !cancelled())
        pages.push_back(nullptr);
    return pages;
}

// Shows a placeholder page instead of the preview. True when the list is
// final as it is (eValue mode); false when the preview is to be asked again.
bool ShowPlaceholder(ZAZObject& document, std::int32_t status) {
    const bool eValueMode = GetPreviewSettings().eValueNSMode;
    // The path never changes after a book is made; no lock is needed to read it.
    int slot;
    if (eValueMode) {
        slot = !document.path.empty() && document.path.front() == L'1' ? kPlaceholderCannotView
               : status == kPreviewCreatingNow                        ? kPlaceholderProcessing
               : status == kPreviewFailed                             ? kPlaceholderFailed
                                                                      : kPlaceholderNoImage;
    } else {
        // A finished preview without pages shows No Image too.
        slot = status >= kPlaceholderNoImage && status <= kPlaceholderWaiting ? status : kPlaceholderNoImage;
    }
    ZAZObject::PageList pages;
    pages.push_back(PlaceholderPage(slot));  // may wait for the loader: no lock held
    BookLock lock;
    ReplacePages(document, std::move(pages));
    document.Relayout();
    document.uniformShape = ComputeUniformShape(document);
    document.loadState = 3;
    if (eValueMode) {
        document.notDisplayable = slot;
        document.listStage = 3;
        return true;
    }
    document.notDisplayable = status == kPreviewNone || status == kPreviewMarked ? 1 : status;
    return false;
}

bool SmallIsWhitePage(const ZAZImage* page) {
    return page && page->small.Pixels() == PixelBuffer::WhitePage().Pixels();
}

// A plain image is a one-page book of its own pixels, scaled down for the
// desk. True once the page is there, or when the file is there but is no
// picture that can be read (it then shows Cannot View for good); false while
// the file cannot be had, so that it is asked again.
bool RefreshPicturePage(ZAZObject& document, const std::atomic<bool>* cancel) {
    {
        BookLock lock;
        if (document.pages && document.loadState == 4 && document.listStage > 2)
            return true;
    }
    const PreviewSettings settings = GetPreviewSettings();
    const std::wstring file = PictureFile(document.path, cancel, settings);
    if (cancel && cancel->load())
        return false;
    if (file.empty() || !PathExists(file))
        return ShowPlaceholder(document, kPreviewNone);
    std::unique_ptr<PixelBuffer> small = LoadPictureOverview(file);
    ZAZObject::PageList pages;
    if (small)
        pages.push_back(std::make_unique<ZAZImage>(document.path, document.caption, 1, std::move(small)));
    else
        pages.push_back(PlaceholderPage(kPlaceholderCannotView));
    BookLock lock;
    ReplacePages(document, std::move(pages));
    document.loadedPageCount = 1;
    document.uniformShape = true;
    document.notDisplayable = 0;
    document.loadState = 3;
    document.listStage = 3;
    document.Relayout();
    return true;
}

}  // namespace

std::unique_ptr<ZAZImage> PlaceholderPage(int slot) {
    auto page = std::make_unique<ZAZImage>(L"", L"", 1);
    if (const PixelBuffer* picture = PlaceholderPicture(slot)) {
        page->small.ShowResident(*picture);
        page->large.ShowResident(*picture);
    }
    return page;
}

ZAZImage* IconPage(ZAZObject& document) {
    LockGuard guard(DocumentLock());
    if (document.iconPage)
        return document.iconPage;
    std::vector<std::unique_ptr<ZAZImage>>& cache = IconCache();
    std::wstring extension = IconExtension(document.path);
    if (GetPreviewSettings().eValueNSMode) {
        // Every document without a preview shares one icon there.
        if (!cache.empty())
            return document.iconPage = cache.front().get();
        extension = L".txt";
    }
    for (const std::unique_ptr<ZAZImage>& entry : cache)
        if (entry->sourcePath == extension)
            return document.iconPage = entry.get();
    cache.push_back(std::make_unique<ZAZImage>(extension, L"", 1, IconOrBlank(extension)));
    return document.iconPage = cache.back().get();
}

bool ComputeUniformShape(ZAZObject& document) {
    if (!document.pages)
        return true;
    std::optional<AspectRatios> first;
    for (const std::unique_ptr<ZAZImage>& page : *document.pages) {
        if (!page || !(page->small.HoldsOwnPixels() || page->large.HoldsOwnPixels()))
            continue;
        AspectRatios ratios = page->Aspect();
        if (!first) {
            first = ratios;
            continue;
        }
        if (std::abs(ratios.width - first->width) > kShapeTolerance ||
            std::abs(ratios.height - first->height) > kShapeTolerance)
            return false;
    }
    return true;
}

bool RefreshPageList(ZAZObject& document, std::int32_t limit, const std::atomic<bool>* cancel) {
    try {
        // The type never changes after a book is made.
        if (IsPlainImage(document.fileType))
            return RefreshPicturePage(document, cancel);
        bool hasPages;
        std::int32_t shown;
        std::int32_t state;
        bool atLimitOwn = false;
        {
            BookLock lock;
            if (document.pages && document.loadState == 4 && document.listStage > 2) {
                const ZAZObject::PageList& pages = *document.pages;
                if (pages.empty() || SmallIsWhitePage(pages.back().get()))
                    return true;
                if (limit >= 1 && static_cast<std::size_t>(limit) <= pages.size()) {
                    const ZAZImage* atLimit = pages[static_cast<std::size_t>(limit - 1)].get();
                    if (atLimit && !SmallIsWhitePage(atLimit))
                        return true;
                }
            }
            hasPages = document.pages.has_value();
            shown = document.notDisplayable;
            state = document.loadState;
            if (hasPages && limit >= 1 && static_cast<std::size_t>(limit) <= document.pages->size()) {
                const ZAZImage* atLimit = (*document.pages)[static_cast<std::size_t>(limit - 1)].get();
                atLimitOwn = atLimit && atLimit->small.HoldsOwnPixels();
            }
        }
        // The preview is read without any lock: it may be slow.
        PreviewSource source(document.path);
        source.CancelWith(cancel);
        const std::int32_t status = source.Status();
        bool placeholder = false;
        if (hasPages) {
            if (status == kPreviewCreatingNow) {
                if (status == shown)
                    return false;
                placeholder = true;
            } else if (status != kPreviewSuccess && status == shown) {
                return false;
            }
        } else {
            placeholder = status == kPreviewCreatingNow;
        }
        if (!placeholder && !source.Exists(2))
            placeholder = true;
        if (placeholder)
            return ShowPlaceholder(document, status);

        if (!source.PageList())
            return false;
        {
            BookLock lock;
            document.notDisplayable = 0;
            if (state == 4 && atLimitOwn) {
                document.listStage = 3;
                return true;
            }
        }
        std::int32_t eager = 0;
        std::optional<ZAZObject::PageList> built = BuildPageList(document, source, limit, cancel, eager);
        BookLock lock;
        if (built) {
            ReplacePages(document, std::move(*built));
            document.loadedPageCount = eager;
            document.uniformShape = ComputeUniformShape(document);
            document.loadState = 3;
            document.Relayout();
        }
        if (!document.pages || document.pages->empty())
            return false;
        document.listStage = 3;
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace zov
