// Files and folders. The viewer builds paths with '\' as separators; every
// function here accepts '\' and '/' alike and turns the path into a native one
// (NativePath) only when it touches the file system. URLs never come here.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace zov {

using FileTime = std::chrono::system_clock::time_point;

// The native (UTF-8, '/'-separated) form of a viewer path. A network share
// path (two leading separators: \\server\share\... or //server/share/...) is
// reached below the share mount root, where shares are mounted; its "." and
// ".." are resolved first, and one that would climb to the mount root or
// above it gives an empty path, which opens nothing.
std::string NativePath(std::wstring_view path);

// Two leading separators, '\' or '/' in any mix.
bool IsSharePath(std::wstring_view path);
// True for a share path that does not name something below the share mount
// root once its "." and ".." are resolved; false for any other path.
bool EscapesShareMountRoot(std::wstring_view path);

// Root under which network shares are mounted: $ZOV_SHARE_ROOT, else "/mnt",
// unless set.
std::wstring ShareMountRoot();
void SetShareMountRoot(std::wstring_view root);

// True when a file or folder exists at `path`.
bool PathExists(std::wstring_view path);
bool IsFolder(std::wstring_view path);
// Deletes one file (not a folder).
bool RemoveFile(std::wstring_view path);

// Files that came from servers, shares or folders a page names are opened
// through these: only a regular file (after links are followed) is opened,
// never a named pipe, device or socket, whose open or read could block or
// never end. A descriptor for reading, or -1.
// Files other processes of the user share with us (event files, work-window
// files) are not followed through a link at their own name either.
enum class Links { Followed, NotFollowed };
int OpenRegularFileDescriptor(const std::string& nativePath, Links links = Links::Followed);
// The same as a stream for reading; null when not a regular file.
std::FILE* OpenRegularFile(std::wstring_view path);
// The whole regular file, or nothing when it is none, cannot be read, or
// holds more than `maxBytes`.
std::optional<std::string> ReadRegularFile(std::wstring_view path, std::size_t maxBytes,
                                           Links links = Links::Followed);
// The same for a path that is native already.
std::optional<std::string> ReadRegularNativeFile(const std::string& nativePath, std::size_t maxBytes,
                                                 Links links = Links::Followed);

// Writes `bytes` to `path` under a temporary name in the same folder and
// renames it into place, so that a reader sees the old file or the whole new
// one, never half of it. False (and nothing left behind) on any failure.
bool WriteFileAtomically(std::wstring_view path, std::string_view bytes);

// Creates `path` and every missing folder above it. True when nothing needed
// creating; otherwise the result of the last creation tried, so a failure
// high up is forgiven when the deeper folders could still be made.
bool CreateFolderTree(std::wstring_view path);

// Deletes `folder` with everything in it, as far as it can; the result is
// whether the folder itself was removed at the end. Symbolic links are removed,
// never followed. Only a real folder strictly below the per-user data folder
// is deleted (compared as canonical paths); anything else, the data folder
// itself and a link included, is refused.
bool DeleteTree(std::wstring_view folder);

// When the file was made: its birth time where the file system records one,
// else its last modification time.
std::optional<FileTime> CreationTime(std::wstring_view path);
std::optional<FileTime> ModificationTime(std::wstring_view path);

}  // namespace zov
