#include "documents/PreviewSource.h"

#include "documents/Download.h"
#include "documents/FileTypes.h"
#include "documents/FolderListing.h"
#include "documents/PageFile.h"
#include "documents/PreviewPaths.h"
#include "documents/UrlText.h"
#include "platform/BinaryFile.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "platform/Locks.h"
#include "platform/TextFile.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <list>
#include <mutex>

namespace zov {

namespace {

using namespace std::chrono_literals;

// A cached status file older than this is fetched again.
constexpr auto kStatusFreshness = 2s;
// Only the start of a status file is read.
constexpr std::size_t kStatusBytes = 128;
// Search text starts this far into a search text file.
constexpr std::uint64_t kSearchTextOffset = 10;
// A page text line longer than this is cut.
constexpr std::size_t kMaxTextChars = 1000000;

ProcessLock& FolderListingLock() {
    static ProcessLock& lock = NamedLock("folder listing");
    return lock;
}

// One folder: its address and its file names. A file's address is the two
// joined; they are kept apart so that a long folder address is not held once
// for every one of thousands of names.
struct FolderEntry {
    std::wstring folder;
    std::vector<std::wstring> names;
};

std::list<std::shared_ptr<const FolderEntry>>& FolderListingCache() {
    static auto* cache = new std::list<std::shared_ptr<const FolderEntry>>;
    return *cache;
}

std::shared_ptr<const FolderEntry> FolderListing(const std::wstring& folder) {
    LockGuard guard(FolderListingLock());
    auto& cache = FolderListingCache();
    for (const auto& entry : cache) {
        if (entry->folder == folder)
            return entry;
    }
    if (cache.size() > kFolderListingCacheSize)
        cache.clear();
    auto entry = std::make_shared<FolderEntry>();
    entry->folder = folder;
    // A folder that cannot be listed is remembered too, so that it is not
    // asked again and again.
    if (std::optional<std::vector<std::wstring>> names = GetFolderFiles(L"", L"", folder))
        entry->names = std::move(*names);
    cache.push_front(entry);
    return entry;
}

// The segments of an address's path as a server may read them: escapes
// decoded, '\\' taken as '/', empty and "." segments dropped, ".." taking
// the one before it away. The query is not part of it.
std::vector<std::string> ResolvedSegments(std::wstring_view url) {
    const std::string text = ToUtf8(url);
    const std::size_t scheme = text.find("://");
    const std::size_t start = scheme == std::string::npos ? 0 : text.find_first_of("/\\", scheme + 3);
    std::vector<std::string> segments;
    if (start == std::string::npos)
        return segments;
    const std::string path = PercentDecode(text.substr(start, text.find_first_of("?#", start) - start));
    std::string segment;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '/' && path[i] != '\\') {
            segment += path[i];
            continue;
        }
        if (segment == "..") {
            if (!segments.empty())
                segments.pop_back();
        } else if (!segment.empty() && segment != ".") {
            segments.push_back(segment);
        }
        segment.clear();
    }
    return segments;
}

// `inner` names something strictly below `folder` once both are resolved.
bool StrictlyBelow(std::wstring_view folder, std::wstring_view inner) {
    std::vector<std::string> outer = ResolvedSegments(folder);
    std::vector<std::string> below = ResolvedSegments(inner);
    return below.size() > outer.size() && std::equal(outer.begin(), outer.end(), below.begin());
}

bool IsFresh(const std::wstring& local, std::int32_t n) {
    std::optional<FileTime> created = CreationTime(local);
    if (!created)
        return false;
    auto age = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now() - *created);
    if (age < kStatusFreshness || (n != 1 && n != kStatusFile))
        return true;
    BinaryFile file;
    return file.Open(local) && ReadPageList(file).has_value();
}

// A search text file is usable when its first 4 bytes are the value 0.
bool UsableSearchText(const std::wstring& local) {
    BinaryFile file;
    std::int32_t first;
    return !local.empty() && file.Open(local) && file.ReadInt32(first) && first == 0;
}

std::wstring ToUrl(std::wstring path) {
    for (wchar_t& c : path)
        if (c == L'\\')
            c = L'/';
    return path;
}

}  // namespace

std::int32_t StatusFromText(std::string_view firstBytes) {
    struct Prefix {
        std::string_view text;
        std::int32_t status;
    };
    static constexpr Prefix kPrefixes[] = {
        {"**ZAZPreviewStatus:Success", kPreviewSuccess},
        {"**ZAZPreviewStatus:CreatingNow", kPreviewCreatingNow},
        {"**ZAZPreviewStatus:Failed", kPreviewFailed},
        {"**ZAZPreviewStatus:Waiting", kPreviewWaiting},
    };
    for (const Prefix& prefix : kPrefixes) {
        if (firstBytes.substr(0, prefix.text.size()) == prefix.text)
            return prefix.status;
    }
    return kPreviewNone;
}

bool FetchCached(std::wstring_view path, std::int32_t n, const PreviewSettings& settings, std::wstring& local,
                 const std::atomic<bool>* cancel) {
    local = LocalCachePath(path, n, settings);
    if (local.empty())
        return false;
    if (IsFresh(local, n))
        return true;
    if (Download(ToUrl(PageFilePath(path, n, settings)), local, cancel))
        return true;
    local.clear();
    return false;
}

std::wstring LocalFileCopy(std::wstring_view path, const std::atomic<bool>* cancel, const PreviewSettings& settings) {
    std::wstring target = LocalFileCopyPath(path, settings);
    if (target.empty())
        return {};
    if (PathExists(target))
        return target;
    return Download(path, target, cancel) ? target : std::wstring();
}

std::wstring PictureFile(std::wstring_view path, const std::atomic<bool>* cancel, const PreviewSettings& settings) {
    if (!IsHttp(path))
        return std::wstring(path);
    return LocalFileCopy(path, cancel, settings);
}

std::unique_ptr<PixelBuffer> LoadPictureOverview(std::wstring_view file) {
    if (file.empty())
        return nullptr;
    std::unique_ptr<PixelBuffer> full = LoadImageFile(file);
    if (!full || full->Empty())
        return nullptr;
    const std::int32_t w = full->Width();
    const std::int32_t h = full->Height();
    const std::int32_t longer = std::max(w, h);
    if (longer <= kPictureOverviewSide)
        return full;
    const auto tw = static_cast<std::int32_t>(std::max<std::int64_t>(1, std::int64_t{w} * kPictureOverviewSide / longer));
    const auto th = static_cast<std::int32_t>(std::max<std::int64_t>(1, std::int64_t{h} * kPictureOverviewSide / longer));
    std::unique_ptr<PixelBuffer> small = PixelBuffer::Create(tw, th);
    if (small->Empty())
        return nullptr;
    // Each target pixel is the mean of the source pixels it covers, so fine
    // lines thin out instead of breaking into dots.
    for (std::int32_t y = 0; y < th; ++y) {
        const std::int32_t y0 = static_cast<std::int32_t>(std::int64_t{y} * h / th);
        const std::int32_t y1 = std::max(y0 + 1, static_cast<std::int32_t>(std::int64_t{y + 1} * h / th));
        for (std::int32_t x = 0; x < tw; ++x) {
            const std::int32_t x0 = static_cast<std::int32_t>(std::int64_t{x} * w / tw);
            const std::int32_t x1 = std::max(x0 + 1, static_cast<std::int32_t>(std::int64_t{x + 1} * w / tw));
            std::uint64_t r = 0, g = 0, b = 0;
            for (std::int32_t sy = y0; sy < y1; ++sy) {
                const std::uint32_t* row = full->Row(sy);
                for (std::int32_t sx = x0; sx < x1; ++sx) {
                    r += row[sx] >> 16 & 0xFF;
                    g += row[sx] >> 8 & 0xFF;
                    b += row[sx] & 0xFF;
                }
            }
            const std::uint64_t n = static_cast<std::uint64_t>(y1 - y0) * static_cast<std::uint64_t>(x1 - x0);
            small->At(x, y) = static_cast<std::uint32_t>((r / n) << 16 | (g / n) << 8 | (b / n));
        }
    }
    return small;
}

void ClearCache(const PreviewSettings& settings) {
    DeleteTree(CacheFolder(settings));
}

void ClearFolderListingCache() {
    LockGuard guard(FolderListingLock());
    FolderListingCache().clear();
}

PreviewSource::PreviewSource(std::wstring path) : PreviewSource(std::move(path), GetPreviewSettings()) {}

PreviewSource::PreviewSource(std::wstring path, PreviewSettings settings)
    : PreviewSource(std::move(path), std::move(settings), 0) {}

PreviewSource::PreviewSource(std::wstring path, PreviewSettings settings, int depth)
    : path_(std::move(path)),
      settings_(std::move(settings)),
      fileType_(Classify(path_, settings_.eValueNSMode)),
      depth_(depth) {}

std::optional<PreviewSource> PreviewSource::FolderMember(const std::wstring& file) const {
    PreviewSource member(file, settings_, depth_ + 1);
    member.cancel_ = cancel_;
    if (member.IsHttpFolder() && (member.depth_ >= kMaxFolderDepth || !StrictlyBelow(path_, file)))
        return std::nullopt;
    return member;
}

bool PreviewSource::IsHttpFolder() const {
    return IsFolderType(fileType_) && IsHttp(path_);
}

bool PreviewSource::ResolvePageFile(std::int32_t n, std::wstring& local) const {
    try {
        if (IsHttp(settings_.previewRoot)) {
            FetchCached(path_, n, settings_, local, cancel_);
            return true;
        }
        local = PageFilePath(path_, n, settings_);
        return true;
    } catch (...) {
        local.clear();
        return false;
    }
}

bool PreviewSource::Exists(int kind) const {
    try {
        if (IsHttpFolder()) {
            std::optional<std::wstring> first = FolderFile(0);
            if (!first)
                return false;
            // A plain image shows itself; it has no preview of its own.
            if (IsPlainImage(Classify(*first, settings_.eValueNSMode)))
                return kind == 1 || kind == 2;
            std::optional<PreviewSource> member = FolderMember(*first);
            return member && member->Exists(kind);
        }
        if (kind == 2)
            return PageList().has_value();
        if (kind != 1)
            return false;
        for (std::int32_t n : {1, 0}) {
            std::wstring local;
            BinaryFile file;
            if (ResolvePageFile(n, local) && !local.empty() && file.Open(local))
                return true;
        }
        return false;
    } catch (...) {
        return false;
    }
}

std::optional<std::vector<std::int32_t>> PreviewSource::PageList() const {
    try {
        if (IsHttpFolder()) {
            std::int32_t count = FolderFileCount();
            if (count > 0)
                return std::vector<std::int32_t>(static_cast<std::size_t>(count), 1);
        }
        std::wstring local;
        BinaryFile file;
        if (!ResolvePageFile(1, local) || local.empty() || !file.Open(local))
            return std::nullopt;
        return ReadPageList(file);
    } catch (...) {
        return std::nullopt;
    }
}

std::int32_t PreviewSource::FormatVersion() const {
    try {
        if (fileType_ == kFileBook)
            return -1;
        std::wstring local;
        BinaryFile file;
        if (!ResolvePageFile(1, local) || local.empty() || !file.Open(local))
            return -1;
        return ReadVersion(file);
    } catch (...) {
        return -1;
    }
}

std::int32_t PreviewSource::Status() const {
    try {
        std::int32_t status = kPreviewNone;
        std::wstring local;
        BinaryFile file;
        if (ResolvePageFile(kStatusFile, local) && !local.empty() && file.Open(local)) {
            char bytes[kStatusBytes];
            std::size_t count = static_cast<std::size_t>(std::min<std::int64_t>(file.Size(), kStatusBytes));
            if (file.Read(bytes, count))
                status = StatusFromText(std::string_view(bytes, count));
        }
        if (settings_.eValueNSMode)
            return status;
        // A folder with pages and no status file counts as finished.
        if (status == kPreviewNone) {
            std::optional<std::vector<std::int32_t>> pages = PageList();
            if (pages && !pages->empty())
                return kPreviewSuccess;
        }
        return status;
    } catch (...) {
        return kPreviewNone;
    }
}

std::unique_ptr<PixelBuffer> PreviewSource::LoadPage(std::int32_t n) const {
    try {
        // A picture is its own one page.
        if (IsPlainImage(fileType_))
            return n == 1 ? LoadPictureOverview(PictureFile(path_, cancel_, settings_)) : nullptr;
        if (IsHttpFolder())
            return LoadFolderPage(n, false);
        return LoadFromPageFile(n, false);
    } catch (...) {
        return nullptr;
    }
}

std::unique_ptr<PixelBuffer> PreviewSource::LoadPageDetail(std::int32_t n) const {
    try {
        if (IsHttpFolder())
            return LoadFolderPage(n, true);
        return LoadFromPageFile(n, true);
    } catch (...) {
        return nullptr;
    }
}

std::unique_ptr<PixelBuffer> PreviewSource::LoadFolderPage(std::int32_t n, bool detail) const {
    std::optional<std::wstring> file = FolderFile(n);
    if (!file)
        return nullptr;
    if (IsPlainImage(Classify(*file, settings_.eValueNSMode))) {
        std::wstring copy = LocalFileCopy(*file, cancel_, settings_);
        return copy.empty() ? nullptr : LoadImageFile(copy);
    }
    std::optional<PreviewSource> document = FolderMember(*file);
    if (!document)
        return nullptr;
    return detail ? document->LoadPageDetail(1) : document->LoadPage(1);
}

std::unique_ptr<PixelBuffer> PreviewSource::LoadFromPageFile(std::int32_t n, bool detail) const {
    if (fileType_ == kFileBook)
        return nullptr;
    std::wstring local;
    BinaryFile file;
    if (!ResolvePageFile(n, local) || local.empty() || !file.Open(local))
        return nullptr;
    return detail ? ReadPreferredImage(file) : ReadImage(file);
}

std::wstring PreviewSource::SearchTextPath(std::int32_t n) const {
    std::wstring local = SearchTextName(LocalCachePath(path_, n, settings_));
    if (local.empty())
        return {};
    if (UsableSearchText(local))
        return local;
    std::wstring url = ToUrl(SearchTextName(PageFilePath(path_, n, settings_)));
    // What came back must be a search text file too: an error page saved in
    // its place would otherwise be searched.
    return Download(url, local, cancel_) && UsableSearchText(local) ? local : std::wstring();
}

bool PreviewSource::PageText(std::int32_t n, bool fromSearchText, std::wstring& text) const {
    text.clear();
    try {
        std::optional<std::wstring> line;
        if (fromSearchText) {
            if (!IsHttp(settings_.previewRoot))
                return false;
            std::wstring local = SearchTextPath(n);
            if (local.empty())
                return false;
            line = ReadUtf8Line(local, kSearchTextOffset, kMaxTextChars);
        } else {
            if (fileType_ == kFileBook)
                return true;
            std::wstring local;
            BinaryFile file;
            if (!ResolvePageFile(n, local) || local.empty() || !file.Open(local))
                return false;
            std::optional<PageFileLayout> layout = WalkPageFile(file);
            // A version 1 page file has no text: the page has none, rather
            // than the file's first bytes read as text.
            if (!layout || HeaderVersion(layout->header) < 2)
                return true;
            if (!layout->textOffset)
                return false;
            // The line ends at the end of the text block at the latest.
            std::size_t limit = static_cast<std::size_t>(std::max(layout->textLength, 0));
            line = ReadUtf8Line(local, static_cast<std::uint64_t>(*layout->textOffset), std::min(limit, kMaxTextChars));
        }
        if (line)
            text = *line;
        return true;
    } catch (...) {
        text.clear();
        return false;
    }
}

bool PreviewSource::HasSearchText() const {
    try {
        return IsHttp(settings_.previewRoot) && UsableSearchText(SearchTextPath(1));
    } catch (...) {
        return false;
    }
}

std::int32_t PreviewSource::FolderFileCount() const {
    try {
        if (!IsHttpFolder())
            return 0;
        return static_cast<std::int32_t>(FolderListing(path_)->names.size());
    } catch (...) {
        return 0;
    }
}

std::optional<std::wstring> PreviewSource::FolderFile(std::int32_t i) const {
    try {
        if (!IsHttpFolder())
            return std::nullopt;
        std::shared_ptr<const FolderEntry> entry = FolderListing(path_);
        std::size_t index = i <= 0 ? 0 : static_cast<std::size_t>(i) - 1;
        if (index >= entry->names.size())
            return std::nullopt;
        return entry->folder + entry->names[index];
    } catch (...) {
        return std::nullopt;
    }
}

}  // namespace zov
