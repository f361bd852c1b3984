// The names in a folder: an HTTP folder asked by WebDAV and, when that gives
// nothing, read from its index page; a local or mounted folder enumerated.
// Preview files lying in the folder are never listed.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zov {

class HostWindow;

// A listing holds at most this many names; the rest of a larger folder is
// left out. A name longer than kMaxFolderNameChars is no document name and is
// skipped.
inline constexpr std::size_t kMaxFolderNames = 10000;
inline constexpr std::size_t kMaxFolderNameChars = 1024;
// A WebDAV answer longer than this fails the listing; an index page is read
// up to kIndexPageLimit bytes and its links listed as far as it went.
inline constexpr std::size_t kMaxWebDavAnswerBytes = std::size_t{8} << 20;
inline constexpr std::size_t kIndexPageLimit = 1000000;

// A name ending in '_' + 8 upper-case hexadecimal digits + ".txt".
bool IsPreviewFileName(std::wstring_view name);

// Names relative to the folder (subfolders end in '/'), sorted by code unit;
// nothing when neither way gave a name. Failures that are not the server's
// answer are shown in a message box on `window` when one is given.
std::optional<std::vector<std::wstring>> GetFolderFiles(std::wstring_view user, std::wstring_view password,
                                                        std::wstring_view folderUrl, HostWindow* window = nullptr);
// The two ways on their own. A WebDAV transport error is reported through
// `transportFailed`: then no index page is to be tried.
std::optional<std::vector<std::wstring>> WebDavList(std::wstring_view user, std::wstring_view password,
                                                    std::wstring_view folderUrl, bool* transportFailed);
std::optional<std::vector<std::wstring>> IndexPageList(std::wstring_view folderUrl, HostWindow* window = nullptr);

// Subfolders and readable files of a local folder, in enumeration order.
std::vector<std::wstring> ListLocalFolder(std::wstring_view folder, HostWindow* window = nullptr);

// What asking for a folder's names came to: the names, none at all for an
// empty folder, or why the folder could not be listed.
struct FolderContents {
    // Nothing when the folder could not be listed.
    std::optional<std::vector<std::wstring>> names;
    // Why not: the server's status ("404 Not Found") or the failure; at most
    // kMaxListingFailureChars characters.
    std::wstring failure;
};
inline constexpr std::size_t kMaxListingFailureChars = 256;

// An HTTP folder, the same two ways and in the same order as GetFolderFiles,
// but telling an empty folder from one that cannot be listed: a WebDAV answer
// that names the folder, or an index page answered with a 2xx status, lists
// it. Shows no message box.
FolderContents ListHttpFolder(std::wstring_view user, std::wstring_view password, std::wstring_view folderUrl);
// A local or mounted folder, as ListLocalFolder; a folder that cannot be
// opened is not listed.
FolderContents ListFolderOnDisk(std::wstring_view folder);

}  // namespace zov
