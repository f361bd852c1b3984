#include "platform/FileSystem.h"

#include "platform/DataFolder.h"
#include "platform/Encoding.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace zov {

namespace {

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

std::mutex& ShareRootLock() {
    static auto* lock = new std::mutex;
    return *lock;
}

std::wstring& ShareRootValue() {
    static auto* root = [] {
        const char* configured = std::getenv("ZOV_SHARE_ROOT");
        return new std::wstring(configured && *configured ? FromUtf8(configured) : L"/mnt");
    }();
    return *root;
}

std::wstring_view StripTrailingSeparators(std::wstring_view path) {
    while (!path.empty() && IsSeparator(path.back()))
        path.remove_suffix(1);
    return path;
}

// The components of a share path with "." and ".." resolved; nothing when
// they climb to the share mount root or above it.
std::optional<std::vector<std::wstring_view>> ShareComponents(std::wstring_view path) {
    std::vector<std::wstring_view> parts;
    std::size_t at = 0;
    while (at < path.size()) {
        while (at < path.size() && IsSeparator(path[at]))
            ++at;
        std::size_t end = at;
        while (end < path.size() && !IsSeparator(path[end]))
            ++end;
        std::wstring_view part = path.substr(at, end - at);
        at = end;
        if (part.empty() || part == L".")
            continue;
        if (part == L"..") {
            if (parts.empty())
                return std::nullopt;
            parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    if (parts.empty())
        return std::nullopt;
    return parts;
}

FileTime FromTimestamp(std::int64_t seconds, std::uint32_t nanoseconds) {
    using namespace std::chrono;
    return FileTime(duration_cast<FileTime::duration>(seconds * 1s + nanoseconds * 1ns));
}

}  // namespace

std::wstring ShareMountRoot() {
    std::lock_guard<std::mutex> guard(ShareRootLock());
    return ShareRootValue();
}

void SetShareMountRoot(std::wstring_view root) {
    std::lock_guard<std::mutex> guard(ShareRootLock());
    ShareRootValue() = std::wstring(StripTrailingSeparators(root));
}

bool IsSharePath(std::wstring_view path) {
    return path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]);
}

bool EscapesShareMountRoot(std::wstring_view path) {
    return IsSharePath(path) && !ShareComponents(path);
}

std::string NativePath(std::wstring_view path) {
    std::wstring native;
    if (IsSharePath(path)) {
        // Resolved here rather than by the kernel, so that no "..", after a
        // link or not, reaches outside the mount root.
        std::optional<std::vector<std::wstring_view>> parts = ShareComponents(path);
        if (!parts)
            return {};
        native = ShareMountRoot();
        for (std::wstring_view part : *parts) {
            native += L'/';
            native += part;
        }
        if (IsSeparator(path.back()))
            native += L'/';
        return ToUtf8(native);
    }
    native.reserve(path.size());
    for (wchar_t c : path)
        native += c == L'\\' ? L'/' : c;
    return ToUtf8(native);
}

bool PathExists(std::wstring_view path) {
    struct stat st;
    return stat(NativePath(path).c_str(), &st) == 0;
}

bool IsFolder(std::wstring_view path) {
    struct stat st;
    return stat(NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool RemoveFile(std::wstring_view path) {
    std::string native = NativePath(path);
    struct stat st;
    if (lstat(native.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        return false;
    return unlink(native.c_str()) == 0;
}

int OpenRegularFileDescriptor(const std::string& nativePath, Links links) {
    // Without O_NONBLOCK, opening a pipe waits for a writer that may never come.
    int fd = open(nativePath.c_str(),
                  O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | (links == Links::NotFollowed ? O_NOFOLLOW : 0));
    if (fd < 0)
        return -1;
    struct stat st;
    int flags = fcntl(fd, F_GETFL);
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

std::FILE* OpenRegularFile(std::wstring_view path) {
    int fd = OpenRegularFileDescriptor(NativePath(path));
    if (fd < 0)
        return nullptr;
    std::FILE* file = fdopen(fd, "rb");
    if (!file)
        close(fd);
    return file;
}

std::optional<std::string> ReadRegularFile(std::wstring_view path, std::size_t maxBytes, Links links) {
    return ReadRegularNativeFile(NativePath(path), maxBytes, links);
}

std::optional<std::string> ReadRegularNativeFile(const std::string& nativePath, std::size_t maxBytes, Links links) {
    int fd = OpenRegularFileDescriptor(nativePath, links);
    if (fd < 0)
        return std::nullopt;
    std::string bytes;
    struct stat st;
    bool ok = fstat(fd, &st) == 0 && static_cast<std::uint64_t>(st.st_size) <= maxBytes;
    if (ok)
        bytes.reserve(static_cast<std::size_t>(st.st_size));
    // The file may grow while it is read: the limit holds for what is read.
    char buffer[65536];
    while (ok) {
        ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        if (static_cast<std::size_t>(got) > maxBytes - bytes.size()) {
            ok = false;
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    close(fd);
    if (!ok)
        return std::nullopt;
    return bytes;
}

bool WriteFileAtomically(std::wstring_view path, std::string_view bytes) {
    const std::string target = NativePath(path);
    if (target.empty())
        return false;
    // Unique per writer, so that parallel writers never share a temporary.
    static std::atomic<unsigned> serial{0};
    const std::string temporary = target + ".part" + std::to_string(getpid()) + "-" + std::to_string(++serial);
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file)
        return false;
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    written = std::fclose(file) == 0 && written;
    if (!written || std::rename(temporary.c_str(), target.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

bool CreateFolderTree(std::wstring_view path) {
    std::wstring full(StripTrailingSeparators(path));
    full += L'\\';
    bool result = true;
    for (size_t i = 0; i < full.size(); ++i) {
        if (!IsSeparator(full[i]))
            continue;
        std::wstring_view prefix(full.data(), i);
        // The root has nothing above it to create, like a bare drive.
        if (StripTrailingSeparators(prefix).empty())
            continue;
        if (PathExists(prefix))
            continue;
        result = mkdir(NativePath(prefix).c_str(), 0777) == 0;
    }
    return result;
}

namespace {

// Works on native names so that entries whose names are not valid UTF-8 are
// deleted too.
bool DeleteNativeTree(const std::string& native) {
    std::error_code error;
    fs::directory_iterator it(native, error);
    if (error)
        return false;
    for (; it != fs::directory_iterator(); it.increment(error)) {
        if (error)
            break;
        std::error_code statusError;
        if (it->symlink_status(statusError).type() == fs::file_type::directory)
            DeleteNativeTree(it->path().native());
        else
            unlink(it->path().c_str());
    }
    return rmdir(native.c_str()) == 0;
}

// The canonical form of `native` when it is a real folder (not a link)
// strictly below the per-user data folder.
std::optional<fs::path> FolderInsideUserData(const std::string& native) {
    struct stat st;
    if (native.empty() || lstat(native.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return std::nullopt;
    std::error_code error;
    const fs::path base = fs::canonical(NativePath(UserDataFolder()), error);
    if (error)
        return std::nullopt;
    fs::path target = fs::canonical(native, error);
    if (error)
        return std::nullopt;
    auto [b, t] = std::mismatch(base.begin(), base.end(), target.begin(), target.end());
    if (b != base.end() || t == target.end())
        return std::nullopt;
    return target;
}

}  // namespace

bool DeleteTree(std::wstring_view folder) {
    folder = StripTrailingSeparators(folder);
    if (folder.empty())
        return false;
    // Its names come from pages and servers: whatever they say, nothing
    // outside the viewer's own folder is ever deleted.
    std::optional<fs::path> target = FolderInsideUserData(NativePath(folder));
    if (!target)
        return false;
    return DeleteNativeTree(target->native());
}

std::optional<FileTime> CreationTime(std::wstring_view path) {
    struct statx stx;
    if (statx(AT_FDCWD, NativePath(path).c_str(), 0, STATX_BTIME | STATX_MTIME, &stx) != 0)
        return std::nullopt;
    if (stx.stx_mask & STATX_BTIME)
        return FromTimestamp(stx.stx_btime.tv_sec, stx.stx_btime.tv_nsec);
    return FromTimestamp(stx.stx_mtime.tv_sec, stx.stx_mtime.tv_nsec);
}

std::optional<FileTime> ModificationTime(std::wstring_view path) {
    struct stat st;
    if (stat(NativePath(path).c_str(), &st) != 0)
        return std::nullopt;
    return FromTimestamp(st.st_mtim.tv_sec, static_cast<std::uint32_t>(st.st_mtim.tv_nsec));
}

}  // namespace zov
