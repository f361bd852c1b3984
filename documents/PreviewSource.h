// A document's previews: its status, page list, page pictures and texts, read
// from the preview folder directly or, for an HTTP preview root, through the
// local cache. A PreviewSource is made for one or a few questions and thrown
// away; it takes the settings as they are when it is made.
#pragma once

#include "documents/PreviewSettings.h"
#include "pixels/PixelBuffer.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zov {

enum PreviewStatus : std::int32_t {
    kPreviewSuccess = 0,
    kPreviewNone = 1,  // no status file, unreadable, or unrecognised
    kPreviewCreatingNow = 2,
    kPreviewFailed = 3,
    kPreviewMarked = 4,  // set by the desk, never read from a file
    kPreviewWaiting = 5,
};

// What every status file starts with; the status follows.
inline constexpr std::string_view kStatusPrefix = "**ZAZPreviewStatus:";
// The status a status file's first bytes say.
std::int32_t StatusFromText(std::string_view firstBytes);

// An HTTP folder whose first file is a subfolder shows that subfolder's
// first page, and so on down: at most this many folders deep. A "subfolder"
// that is not below its folder once its "." and ".." are resolved (a link to
// a parent, or back to the folder itself) shows nothing, so a listing cannot
// lead round in a circle.
inline constexpr int kMaxFolderDepth = 8;

class PreviewSource {
public:
    explicit PreviewSource(std::wstring path);
    PreviewSource(std::wstring path, PreviewSettings settings);

    const std::wstring& Path() const { return path_; }
    // Downloads made for this source end early once `cancel` is raised; it
    // must outlive the source.
    void CancelWith(const std::atomic<bool>* cancel) { cancel_ = cancel; }

    // Where page file n (n = -1: the status file) can be read; empty when an
    // HTTP fetch failed. False only when something threw.
    bool ResolvePageFile(std::int32_t n, std::wstring& local) const;
    // Kind 1: page file 1 (or 0) can be opened; kind 2: there is a page list.
    bool Exists(int kind) const;
    std::optional<std::vector<std::int32_t>> PageList() const;
    // The page file format version of page file 1; -1 when unknown.
    std::int32_t FormatVersion() const;
    std::int32_t Status() const;
    // Page n's ordinary picture, or its preferred (detailed) one.
    std::unique_ptr<PixelBuffer> LoadPage(std::int32_t n) const;
    std::unique_ptr<PixelBuffer> LoadPageDetail(std::int32_t n) const;
    // Page n's text from its page file, or from its search text file.
    bool PageText(std::int32_t n, bool fromSearchText, std::wstring& text) const;
    bool HasSearchText() const;
    // An HTTP folder document: how many files its listing holds, and the
    // address of file i (1-based; 0 gives the first).
    std::int32_t FolderFileCount() const;
    std::optional<std::wstring> FolderFile(std::int32_t i) const;

private:
    // A folder document's file, `depth` folders below the document asked.
    PreviewSource(std::wstring path, PreviewSettings settings, int depth);
    bool IsHttpFolder() const;
    // File `file` of this folder document as a document of its own; nothing
    // when it is a folder too deep or not below this one.
    std::optional<PreviewSource> FolderMember(const std::wstring& file) const;
    std::unique_ptr<PixelBuffer> LoadFolderPage(std::int32_t n, bool detail) const;
    std::unique_ptr<PixelBuffer> LoadFromPageFile(std::int32_t n, bool detail) const;
    std::wstring SearchTextPath(std::int32_t n) const;

    std::wstring path_;
    PreviewSettings settings_;
    std::int32_t fileType_;
    int depth_ = 0;
    const std::atomic<bool>* cancel_ = nullptr;
};

// The local cache: fetching files into it and clearing it.
// Page file n of `path`, from the cache when fresh, else downloaded.
bool FetchCached(std::wstring_view path, std::int32_t n, const PreviewSettings& settings, std::wstring& local,
                 const std::atomic<bool>* cancel = nullptr);
// A local copy of a plain image that lives at an address; empty on failure.
std::wstring LocalFileCopy(std::wstring_view path, const std::atomic<bool>* cancel, const PreviewSettings& settings);
// Where a plain image can be read: the file itself when it is local, its copy
// in the cache when it lives at an address; empty when it cannot be had.
std::wstring PictureFile(std::wstring_view path, const std::atomic<bool>* cancel, const PreviewSettings& settings);
// A picture's overview on the desk is at most this many pixels on its longer
// side: a photograph's full pixels are read only for the zoomed book.
inline constexpr std::int32_t kPictureOverviewSide = 1024;
// The plain image `file` scaled down to fit kPictureOverviewSide; null when
// it cannot be decoded.
std::unique_ptr<PixelBuffer> LoadPictureOverview(std::wstring_view file);
// Deletes the cache folder of the preview root.
void ClearCache(const PreviewSettings& settings);

// The folder listing cache keeps at most this many folders; it is emptied
// when it would hold more.
inline constexpr std::size_t kFolderListingCacheSize = 100;
void ClearFolderListingCache();

}  // namespace zov
