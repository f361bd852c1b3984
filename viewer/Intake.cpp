// File lists coming in: the desk is replaced by one book per item, and the
// preview loader fills the books pass after pass, a little at a time, so the
// desk shows quickly and grows richer.
#include "viewer/ZAZViewer.h"

#include "documents/Download.h"
#include "documents/FileTypes.h"
#include "documents/PreviewSource.h"
#include "platform/FileSystem.h"
#include "platform/Locks.h"
#include "render/DocumentSearch.h"
#include "render/PageCache.h"
#include "render/PageList.h"
#include "workwin/WorkWindowFiles.h"

#include <sys/stat.h>

#include <chrono>
#include <thread>

namespace zov {

namespace {

using namespace std::chrono_literals;

constexpr auto kLoaderPoll = 50ms;
constexpr auto kZoomedPause = 200ms;
constexpr auto kLaterPassPause = 50ms;
constexpr auto kPassPause = 500ms;
constexpr auto kListPoll = 100ms;
// How long OpenPages waits for the list before it to be laid out; it holds
// the command lock meanwhile, so the wait must end.
constexpr auto kListWait = 10s;
// Pages a load step builds at most when a book is zoomed (all of them).
constexpr std::int32_t kAllPages = 9999;

// How the files-to-add file is watched while its writer may still be at it.
constexpr auto kGrowthPoll = 100ms;
constexpr int kGrowthChecks = 30;

std::wstring WithoutFilePrefix(const std::wstring& path) {
    if (path.size() >= 6 && path.compare(0, 5, L"file:") == 0)
        return path.substr(5);
    return path;
}

// A new book for one list item, its scale left for its first preview step.
std::shared_ptr<ZAZObject> MakeBook(const DisplayFile& file, ZAZLayout* layout) {
    auto book = std::make_shared<ZAZObject>(WithoutFilePrefix(file.path), file.caption, layout, file.documentId,
                                            file.flag);
    book->scale = 0;
    return book;
}

// The modification time (nanoseconds) and size of a regular file that is
// no link.
struct FileStamp {
    std::int64_t modified = 0;
    std::int64_t size = 0;
};

std::optional<FileStamp> StampOf(const std::wstring& path) {
    struct stat st;
    if (lstat(NativePath(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return FileStamp{static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
                     static_cast<std::int64_t>(st.st_size)};
}

}  // namespace

void ZAZViewer::LoadFileList(DisplayFileList list) {
    try {
        // Lists are replaced under the command lock, taken before any other:
        // no queued command runs on a desk half replaced.
        LockGuard command(CommandLock());
        searchDataUnchecked = true;
        if (!loaderStarted) {
            loaderStarted = true;
            loaderStop = false;
            loaderStopped = false;
            loaderThread_ = std::thread([this] { LoaderThread(); });
        }
        {
            // A list handed over but not taken yet is superseded; the abort
            // reaches a load that is running.
            LockGuard desk(DeskLock());
            if (pendingTarget.exchange(nullptr))
                pendingFiles.clear();
            loaderAbort = true;
        }
        PollUntil([this] { return loaderIdle.load(); }, kLoaderPoll);
        {
            ViewLock lock;
            pendingRepaint = kRepaintNone;
            pendingRepaintObject = nullptr;
            ZoomOut();
            RemoveAllObjects();
            scrollY = 0;
            RenderNoPresent(true);
            listLoaded = false;
        }
        if (control)
            control->RefreshWindowState();
        LockGuard desk(DeskLock());
        pendingFiles = std::move(list);
        pendingTarget = &objects;
    } catch (...) {
    }
}

void ZAZViewer::LoaderThread() {
    SetOnExit reportStopped(loaderStopped);
    while (!loaderStop) {
        DisplayFileList files;
        {
            LockGuard desk(DeskLock());
            if (pendingTarget.exchange(nullptr)) {
                files = std::move(pendingFiles);
                pendingFiles.clear();
                loaderAbort = false;
                loaderIdle = false;
            }
        }
        if (loaderIdle) {
            std::this_thread::sleep_for(kLoaderPoll);
            continue;
        }
        try {
            RunLoad(std::move(files));
        } catch (...) {
            // A failed load ends; the loader waits for the next list.
        }
        loaderIdle = true;
    }
}

void ZAZViewer::RunLoad(DisplayFileList files) {
    previewPassDone = false;
    previewsStarted = false;
    {
        LockGuard desk(DeskLock());
        for (const DisplayFile& file : files) {
            std::shared_ptr<ZAZObject> book = MakeBook(file, &deskLayout);
            if (file.openPage > 1) {
                // Placed just before its page, it turns onto it when it first shows.
                book->pagePosition = std::max(file.openPage - 2, 0);
                book->flipProgress = book->pagePosition % 2 ? 1.0 : 0.0;
                book->flipState = kFlipNext;
                book->animating = true;
            }
            objects.push_back(std::move(book));
        }
        listLoaded = true;
        pendingRepaint = kRepaintDesk;
    }
    bool work = true;
    for (int pass = 0; work && !loaderAbort; ++pass) {
        work = false;
        std::vector<std::shared_ptr<ZAZObject>> books;
        {
            LockGuard desk(DeskLock());
            books.assign(objects.begin(), objects.end());
        }
        for (const std::shared_ptr<ZAZObject>& book : books) {
            // Zoom animations and page turns come first.
            while (!loaderAbort && ZoomedObject())
                std::this_thread::sleep_for(kZoomedPause);
            if (loaderAbort)
                break;
            std::int32_t state;
            {
                LockGuard desk(DeskLock());
                state = book->loadState;
            }
            if (state != 0 && state != 3)
                continue;
            LoadStep(*book);
            previewsStarted = true;
            if (pass >= 2)
                std::this_thread::sleep_for(kLaterPassPause);
            work = true;
        }
        previewPassDone = true;
        for (int i = 0; i < 10 && !loaderAbort && !loaderStop; ++i)
            std::this_thread::sleep_for(kPassPause / 10);
    }
}

bool ZAZViewer::LoadStep(ZAZObject& book) {
    if (loaderAbort)
        return false;
    ZAZObject* zoomed = nullptr;
    {
        LockGuard desk(DeskLock());
        zoomed = zoomedObject;
        if ((zoomed ? zoomed : &book)->loadState == 4)
            return false;
    }
    if (zoomed) {
        const bool changed = LoadPages(*zoomed, true);
        LockGuard desk(DeskLock());
        if (changed)
            pendingRepaint = kRepaintDesk;
        return zoomed->loadState == 4;
    }
    const bool changed = PreparePreview(book);
    LockGuard desk(DeskLock());
    if (changed) {
        book.Relayout();
        // The first picture was read for the book's shape; off the window it
        // goes back at once, so a long list never holds all of them at once.
        const RECT box = book.Bounds();
        if (windowSize_.cx > 0 &&
            (box.bottom < 0 || box.top >= windowSize_.cy || box.right < 0 || box.left >= windowSize_.cx))
            KeepSmallPictures(book, nullptr, nullptr, nullptr, nullptr);
        if (pendingRepaint == kRepaintObject && pendingRepaintObject != &book) {
            pendingRepaint = kRepaintDesk;
            pendingRepaintObject = nullptr;
        } else if (pendingRepaint != kRepaintDesk) {
            pendingRepaint = kRepaintObject;
            pendingRepaintObject = &book;
        }
    }
    return book.loadState == 4;
}

bool ZAZViewer::PreparePreview(ZAZObject& book) {
    bool lookForPreview = false;
    {
        LockGuard desk(DeskLock());
        // Once per book, whether or not a layout has given it its scale yet.
        lookForPreview = !book.previewLookedFor && (book.fileType == kFileUnknown || book.fileType == kFileFolder);
        book.previewLookedFor = true;
    }
    // The look may be a download: no lock is held meanwhile.
    if (lookForPreview) {
        PreviewSource source(book.path);
        source.CancelWith(&loaderAbort);
        if (source.Exists(1)) {
            LockGuard desk(DeskLock());
            book.fileType = kFileFolderToo;
        }
    }
    std::int32_t before;
    {
        LockGuard desk(DeskLock());
        if (book.scale <= 0) {
            book.scale = ShownDeskScale();
            book.Relayout();
        }
        before = book.loadState;
    }
    const bool changed = LoadPages(book, false);
    if (changed && before == 0) {
        std::optional<std::vector<std::wstring>> words;
        {
            LockGuard desk(DeskLock());
            // A turn set up for the list's open page can play now.
            if (book.flipState != kClosed)
                book.animating = true;
            else if (keywords && book.pagePosition == 0 && !GetPreviewSettings().eValueNSMode)
                words = *keywords;
        }
        // A closed book opens at its first hit. The texts are read without
        // any lock; the jump is made only for the keywords still in force.
        if (words) {
            const std::int32_t hit = SearchDocument(book, *words, 0, SearchesSearchTextFiles(), &loaderAbort);
            if (hit > 1) {
                ViewLock lock;
                if (!loaderAbort && keywords && *keywords == *words && book.flipState == kClosed &&
                    book.pagePosition == 0)
                    JumpToPage(book, hit);
            }
        }
    }
    return changed;
}

bool ZAZViewer::LoadPages(ZAZObject& book, bool all) {
    std::int32_t type, state, count, shown;
    {
        LockGuard desk(DeskLock());
        if (book.path.empty())
            return false;
        type = book.fileType;
        state = book.loadState;
        count = book.PageCount();
        shown = book.notDisplayable;
    }
    if (!((type >= 1 && type <= 23) || type == kFileDocumentKey)) {
        LockGuard desk(DeskLock());
        book.loadState = 4;
        return false;
    }
    if (state == 4)
        return true;
    const std::int32_t limit = all ? kAllPages : count == 0 ? 1 : count + 2;
    const bool complete = RefreshPageList(book, limit, &loaderAbort);
    LockGuard desk(DeskLock());
    if (complete) {
        book.loadState = 4;
        return true;
    }
    return book.loadState == 3 && (book.PageCount() != count || book.notDisplayable != shown);
}

void ZAZViewer::ReloadCurrentList(bool keepPositions) {
    DisplayFileList list;
    {
        LockGuard desk(DeskLock());
        for (const std::shared_ptr<ZAZObject>& book : objects) {
            DisplayFile file;
            file.path = book->path;
            file.caption = book->caption;
            file.documentId = book->documentId;
            file.flag = book->flag;
            file.openPage = keepPositions ? book->pagePosition : 1;
            list.push_back(std::move(file));
        }
    }
    LoadFileList(std::move(list));
}

void ZAZViewer::OpenPagesList(std::wstring_view text) {
    // Before any list was handed over there is nothing to wait for: waiting
    // would hold the page's thread for ever.
    if (!loaderStarted)
        return;
    if (!PollUntil([this] { return listLoaded.load(); }, kListPoll, kListWait))
        return;
    DisplayFileList list;
    {
        LockGuard desk(DeskLock());
        ListTokenizer pages(text, kSlashSeparators);
        for (const std::shared_ptr<ZAZObject>& book : objects) {
            DisplayFile file;
            file.path = book->path;
            file.caption = book->caption;
            file.documentId = book->documentId;
            file.flag = book->flag;
            file.openPage = 1;
            if (std::optional<std::wstring> item = pages.Next(); item && !item->empty()) {
                // Leading digits; none read as 0.
                std::int32_t number = 0;
                for (wchar_t c : *item) {
                    if (c < L'0' || c > L'9' || number > 100000000)
                        break;
                    number = number * 10 + (c - L'0');
                }
                file.openPage = number;
            }
            list.push_back(std::move(file));
        }
    }
    LoadFileList(std::move(list));
}

void ZAZViewer::RemoveObject(ZAZObject* book) {
    try {
        {
            // The command lock first, as every thread that takes both does.
            LockGuard command(CommandLock());
            ViewLock lock;
            currentObject = nullptr;
            UnlinkObject(book);
        }
        Relayout();
    } catch (...) {
    }
}

void ZAZViewer::UnlinkObject(ZAZObject* book) {
    // Every pointer to the book goes with it: the update thread may step the
    // desk before the next layout rebuilds the visible list.
    if (zoomedObject == book)
        zoomedObject = nullptr;
    if (pendingRepaintObject == book) {
        pendingRepaintObject = nullptr;
        if (pendingRepaint == kRepaintObject)
            pendingRepaint = kRepaintDesk;
    }
    if (snapshotObject == book)
        snapshotObject = nullptr;
    std::erase(visibleObjects, book);
    objects.remove_if([book](const std::shared_ptr<ZAZObject>& entry) { return entry.get() == book; });
    layoutDirty = true;
}

std::optional<DeleteResult> ZAZViewer::RemoveObjectByRecord(ZAZObject* book) {
    try {
        auto onDesk = [this, book] {
            return std::find_if(objects.begin(), objects.end(),
                                [book](const std::shared_ptr<ZAZObject>& entry) { return entry.get() == book; });
        };
        std::wstring path;
        {
            LockGuard desk(DeskLock());
            auto it = onDesk();
            if (it == objects.end())
                return std::nullopt;
            path = (*it)->path;
        }
        // The server is asked without holding the desk; only a file it
        // deleted takes its book away.
        DeleteResult result = SendDeleteRequest(path);
        if (result.deleted) {
            LockGuard desk(DeskLock());
            if (onDesk() != objects.end()) {
                if (currentObject == book)
                    currentObject = nullptr;
                UnlinkObject(book);
            }
        }
        return result;
    } catch (...) {
        return std::nullopt;
    }
}

void ZAZViewer::IntakeAddFiles() {
    // Work windows take in files other windows add; ordinary viewers have
    // nothing to do here.
    if (!workWindowMode)
        return;
    try {
        std::lock_guard<std::mutex> intake(intakeMutex_);
        HostWindow* window = control ? control->Window() : nullptr;
        if (!window)
            return;
        const std::optional<std::wstring> folder = CoordinationFolder(GetPreviewSettings().previewRoot);
        if (!folder)
            return;

        // The files-to-add file, once per modification time. Its writer may
        // be another process still writing: it is read once it stops growing,
        // and a file that keeps growing is looked at again next step.
        const std::wstring addFiles = AddFilesPath(*folder);
        std::vector<AddedFile> added;
        std::optional<FileStamp> stamp = StampOf(addFiles);
        if (!addFilesPrimed) {
            // Before this window's first marker no one could add for it.
            addFilesPrimed = true;
            if (stamp)
                addFilesStamp = stamp->modified;
        }
        if (stamp && stamp->modified > addFilesStamp) {
            bool settled = stamp->size == 0;
            for (int i = 0; !settled && i < kGrowthChecks && !stopUpdate; ++i) {
                std::this_thread::sleep_for(kGrowthPoll);
                std::optional<FileStamp> again = StampOf(addFiles);
                if (!again)
                    break;
                settled = again->size == stamp->size;
                stamp = again;
            }
            if (settled) {
                addFilesStamp = stamp->modified;
                if (std::optional<AddFilesContent> content = ReadAddFilesFile(addFiles))
                    added = AddedFiles(content->paths, content->captions);
            }
        }

        // Each book right after the first one showing the same file, else
        // at the end; then one layout for all and their first pictures.
        std::vector<std::shared_ptr<ZAZObject>> books;
        for (const AddedFile& item : added) {
            DisplayFile file;
            file.path = item.path;
            file.caption = item.caption;
            std::shared_ptr<ZAZObject> book = MakeBook(file, &deskLayout);
            LockGuard desk(DeskLock());
            auto twin = std::find_if(objects.begin(), objects.end(),
                                     [&](const std::shared_ptr<ZAZObject>& entry) { return entry->path == book->path; });
            objects.insert(twin == objects.end() ? twin : std::next(twin), book);
            books.push_back(std::move(book));
        }
        if (!books.empty())
            Relayout();
        for (const std::shared_ptr<ZAZObject>& book : books) {
            if (stopUpdate)
                break;
            PreparePreview(*book);
            LockGuard desk(DeskLock());
            book->Relayout();
        }
        // Their first pictures gave them their shapes.
        if (!books.empty()) {
            Relayout();
            LockGuard desk(DeskLock());
            pendingRepaint = kRepaintDesk;
            pendingRepaintObject = nullptr;
        }

        // The marker: what this window shows, for the other windows to see.
        const std::uint32_t handle = window->Handle();
        if (!PathExists(*folder + MarkerName(handle))) {
            std::vector<std::wstring> paths;
            {
                LockGuard desk(DeskLock());
                for (const std::shared_ptr<ZAZObject>& book : objects)
                    paths.push_back(book->path);
            }
            WriteMarkerIfMissing(*folder, handle, paths);
        }
    } catch (...) {
    }
}

}  // namespace zov
