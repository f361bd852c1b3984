// Where a document's preview files are: its preview folder below the preview
// root, the names of the files in it, and their copies in the local cache.
// Paths are built with '\' separators; URLs get '/' when they are fetched.
#pragma once

#include "documents/PreviewSettings.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace zov {

// Page file n is base + "_%08X.txt"; n = -1 names the status file.
inline constexpr std::int32_t kStatusFile = -1;
std::wstring PageFileName(std::int32_t n);
// The search text file of a page file: ".txt" becomes "_s.txt".
std::wstring SearchTextName(std::wstring_view pageFile);

// The preview folder of `path` (the base of its page file names); empty when
// the mapping fails.
std::wstring PreviewFolder(std::wstring_view path, const PreviewSettings& settings);
std::wstring PageFilePath(std::wstring_view path, std::int32_t n, const PreviewSettings& settings);

// A host part that names one cache folder: a host name (letters, digits,
// '-', '_' in dot-separated labels) or an IPv4 or bracketed IPv6 address,
// with an optional ":port". Never "." or "..", no separators, no escapes.
inline constexpr std::size_t kMaxHostNameChars = 253;
inline constexpr std::size_t kMaxHostLabelChars = 63;
bool IsHostPart(std::wstring_view host);

// Whether `root` may become the preview root: with "://" its host part is a
// host part as above; a share path stays below the share mount root; no
// longer than kMaxPreviewRootChars.
inline constexpr std::size_t kMaxPreviewRootChars = 4096;
bool IsAcceptablePreviewRoot(std::wstring_view root);

// The cache folder of the preview root: the per-user data folder + the root's
// host (':' as '.'), or + ".preview" for a root without one. Empty for a root
// whose host part is no host part.
std::wstring CacheFolder(const PreviewSettings& settings);
// Where page file n of `path` is kept in the local cache: the cache folder +
// the page file's path below the preview root, or in folder mode "Flat" + its
// name alone. Empty when the path would leave the cache folder: names from
// servers, lists and keys are never trusted to stay inside it.
std::wstring LocalCachePath(std::wstring_view path, std::int32_t n, const PreviewSettings& settings);
// Where a plain image at an address is copied to; empty when that fails.
std::wstring LocalFileCopyPath(std::wstring_view path, const PreviewSettings& settings);

// True when no component of `path` below the per-user data folder is ".." or
// ".", and the path starts with that folder.
bool StaysInUserDataFolder(std::wstring_view path);
// The same for `folder`: `path` names something strictly inside it, with no
// "." or ".." component ('\\' and '/' both separate) and no NUL.
bool StaysBelow(std::wstring_view path, std::wstring_view folder);

}  // namespace zov
