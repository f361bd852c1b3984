#include "workwin/WorkWindowFiles.h"

#include "documents/DisplayFile.h"
#include "documents/PreviewPaths.h"
#include "documents/PreviewSettings.h"
#include "platform/DataFolder.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "platform/TextFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cwchar>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unicode/uchar.h>
#include <unistd.h>

namespace zov {

namespace {

// White space as the reader of the files-to-add file splits words at: the
// ASCII blanks and the ideographic space the Japanese locale counts too.
bool IsWordSpace(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r' || c == 0x3000;
}

std::wstring NextWord(std::wstring_view text, std::size_t& at) {
    while (at < text.size() && IsWordSpace(text[at]))
        ++at;
    const std::size_t start = at;
    while (at < text.size() && !IsWordSpace(text[at]))
        ++at;
    return std::wstring(text.substr(start, at - start));
}

bool IsControl(wchar_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

bool IsPlainFolderName(std::wstring_view host) {
    if (host == L"." || host == L"..")
        return false;
    if (std::any_of(host.begin(), host.end(), [](wchar_t c) { return c == L'/' || c == L'\\' || IsControl(c); }))
        return false;
    return ToUtf8(host).size() <= kMaxHostBytes;
}

bool AllBlank(std::wstring_view text) {
    return std::all_of(text.begin(), text.end(), [](wchar_t c) { return IsWordSpace(c); });
}

std::wstring LowerCase(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (wchar_t c : text)
        out += static_cast<wchar_t>(u_tolower(static_cast<UChar32>(c)));
    return out;
}

bool HasPrefix(std::wstring_view text, std::wstring_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// The names in a folder (native form) for which `keep` holds, as far as
// kMaxFolderEntries reach.
template <typename Keep>
std::vector<std::wstring> FolderNames(std::wstring_view folder, Keep keep) {
    std::vector<std::wstring> names;
    const std::string native = NativePath(folder);
    DIR* dir = native.empty() ? nullptr : opendir(native.c_str());
    if (!dir)
        return names;
    std::size_t seen = 0;
    while (const dirent* entry = readdir(dir)) {
        if (++seen > kMaxFolderEntries)
            break;
        std::wstring name = FromUtf8(entry->d_name);
        if (keep(name))
            names.push_back(std::move(name));
    }
    closedir(dir);
    return names;
}

std::optional<struct stat> LinkStatus(std::wstring_view path) {
    struct stat st;
    if (lstat(NativePath(path).c_str(), &st) != 0)
        return std::nullopt;
    return st;
}

std::int64_t Nanoseconds(const struct timespec& time) {
    return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

// Only names as the writers write them count as markers.
bool IsMarkerFileName(std::wstring_view name) {
    std::optional<std::uint32_t> handle = MarkerHandle(name);
    return handle && MarkerName(*handle) == name;
}

}  // namespace

std::optional<std::wstring> CoordinationHost(std::wstring_view location) {
    std::wstring host = L"localhost";
    bool address = false;
    auto take = [&](std::wstring_view text) {
        address = text.find(L"://") != std::wstring_view::npos;
        host = HostPart(text);
    };
    if (IsHttp(location)) {
        take(location);
    } else {
        ListTokenizer tokens(location, kAngleSeparators);
        while (std::optional<std::wstring> token = tokens.Next()) {
            if (!token->empty() && token->front() != L' ')
                take(*token);
        }
    }
    // A local path keeps its files in the data folder itself; an address
    // must name a host.
    if (address && AllBlank(host))
        return std::nullopt;
    if (!IsPlainFolderName(host))
        return std::nullopt;
    return LowerCase(host);
}

std::optional<std::wstring> CoordinationFolder(std::wstring_view location) {
    std::optional<std::wstring> host = CoordinationHost(location);
    if (!host)
        return std::nullopt;
    const std::wstring base = UserDataFolder();
    if (host->empty())
        return CreateFolderTree(base) || IsFolder(base) ? std::optional<std::wstring>(base) : std::nullopt;
    std::wstring folder = base + *host + L"\\";
    if (!StaysInUserDataFolder(folder))
        return std::nullopt;
    CreateFolderTree(folder);
    // A link put in its place would lead the markers anywhere.
    std::optional<struct stat> st = LinkStatus(folder.substr(0, folder.size() - 1));
    if (!st || !S_ISDIR(st->st_mode))
        return std::nullopt;
    return folder;
}

std::wstring AddFilesPath(std::wstring_view folder) {
    return std::wstring(folder) + std::wstring(kAddFilesFileName);
}

bool WriteAddFilesFile(std::wstring_view folder, std::wstring_view paths, std::wstring_view captions) {
    std::wstring text;
    text.reserve(paths.size() + captions.size() + 4);
    text.append(paths).append(L"\r\n").append(captions).append(L"\r\n");
    const std::string bytes = ToTextFileBytes(text);
    // What the reader would refuse is not written at all.
    if (bytes.size() > kMaxAddFilesBytes)
        return false;
    return WriteFileAtomically(AddFilesPath(folder), bytes);
}

std::optional<AddFilesContent> ReadAddFilesFile(std::wstring_view path) {
    std::optional<std::string> bytes = ReadRegularFile(path, kMaxAddFilesBytes, Links::NotFollowed);
    if (!bytes)
        return std::nullopt;
    const std::wstring text = FromTextFileBytes(*bytes);
    std::size_t at = 0;
    AddFilesContent content;
    content.paths = NextWord(text, at);
    content.captions = NextWord(text, at);
    return content;
}

std::vector<AddedFile> AddedFiles(std::wstring_view paths, std::wstring_view captions) {
    std::vector<AddedFile> files;
    ListTokenizer pathItems(paths, kAngleSeparators);
    ListTokenizer captionItems(captions, kAngleSeparators);
    auto skipSpaces = [](ListTokenizer& items) {
        while (!items.Rest().empty() && items.Rest().front() == L' ')
            items.SkipOne();
    };
    while (files.size() < kMaxAddedBooks) {
        skipSpaces(pathItems);
        skipSpaces(captionItems);
        std::optional<std::wstring> path = pathItems.Next();
        if (!path)
            break;
        std::optional<std::wstring> caption = captionItems.Next();
        if (path->size() > 1)
            files.push_back(AddedFile{std::move(*path), caption ? std::move(*caption) : std::wstring()});
    }
    return files;
}

std::wstring MarkerName(std::uint32_t handle) {
    wchar_t digits[16];
    std::swprintf(digits, sizeof digits / sizeof digits[0], L"%08X", static_cast<unsigned>(handle));
    return std::wstring(kMarkerPrefix) + digits + L".txt";
}

std::optional<std::uint32_t> MarkerHandle(std::wstring_view fileName) {
    if (!HasPrefix(fileName, kMarkerPrefix))
        return std::nullopt;
    std::wstring_view stem = fileName;
    if (const std::size_t dot = stem.rfind(L'.'); dot != std::wstring_view::npos)
        stem = stem.substr(0, dot);
    if (stem.size() <= kMarkerPrefix.size())
        return std::nullopt;
    const std::wstring_view digits = stem.substr(kMarkerPrefix.size());
    if (digits.size() > 8)
        return std::nullopt;
    std::uint32_t handle = 0;
    for (wchar_t c : digits) {
        const int value = c < 0x80 ? HexDigitValue(static_cast<char>(c)) : -1;
        if (value < 0)
            return std::nullopt;
        handle = handle << 4 | static_cast<std::uint32_t>(value);
    }
    if (handle == 0)
        return std::nullopt;
    return handle;
}

bool WriteMarkerIfMissing(std::wstring_view folder, std::uint32_t handle, const std::vector<std::wstring>& paths) {
    const std::wstring target = std::wstring(folder) + MarkerName(handle);
    if (LinkStatus(target))
        return false;
    std::wstring text;
    for (const std::wstring& path : paths)
        text.append(path).append(L"\n");
    const std::string bytes = ToTextFileBytes(text);
    // Written aside and linked into place: a reader never sees half a
    // marker, and a marker another window wrote meanwhile is kept.
    static std::atomic<unsigned> serial{0};
    const std::string temporary = NativePath(std::wstring(folder) + L".marker-" + std::to_wstring(getpid()) + L"-" +
                                             std::to_wstring(++serial) + L".part");
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    bool ok = true;
    for (std::size_t done = 0; ok && done < bytes.size();) {
        const ssize_t put = write(fd, bytes.data() + done, bytes.size() - done);
        if (put < 0 && errno == EINTR)
            continue;
        ok = put > 0;
        if (ok)
            done += static_cast<std::size_t>(put);
    }
    ok = close(fd) == 0 && ok;
    ok = ok && link(temporary.c_str(), NativePath(target).c_str()) == 0;
    unlink(temporary.c_str());
    return ok;
}

std::vector<std::wstring> ReadMarker(std::wstring_view path) {
    std::vector<std::wstring> lines;
    std::optional<std::string> bytes = ReadRegularFile(path, kMaxMarkerBytes, Links::NotFollowed);
    if (!bytes)
        return lines;
    const std::wstring text = FromTextFileBytes(*bytes);
    std::wstring_view rest = text;
    while (!rest.empty() && lines.size() < kMaxMarkerLines) {
        const std::size_t end = rest.find(L'\n');
        std::wstring_view line = rest.substr(0, end);
        rest = end == std::wstring_view::npos ? std::wstring_view() : rest.substr(end + 1);
        do {
            lines.emplace_back(line.substr(0, kMarkerLineChars));
            line.remove_prefix(std::min(line.size(), kMarkerLineChars));
        } while (!line.empty() && lines.size() < kMaxMarkerLines);
    }
    return lines;
}

std::vector<std::wstring> MarkerNames(std::wstring_view folder) {
    const std::wstring base(folder);
    std::vector<std::wstring> names = FolderNames(folder, [&](const std::wstring& name) {
        if (!IsMarkerFileName(name))
            return false;
        std::optional<struct stat> st = LinkStatus(base + name);
        return st && S_ISREG(st->st_mode);
    });
    std::sort(names.begin(), names.end());
    return names;
}

std::optional<std::wstring> FirstMarker(std::wstring_view folder) {
    std::vector<std::wstring> names = MarkerNames(folder);
    if (names.empty())
        return std::nullopt;
    return names.front();
}

MarkerSweep SweepMarkers(std::wstring_view folder) {
    const std::wstring base(folder);
    std::vector<std::wstring> left =
        FolderNames(folder, [](const std::wstring& name) { return HasPrefix(name, kMarkerPrefix); });
    MarkerSweep sweep;
    // Tries each name once; keeps those still there. A folder is no marker
    // any deletion removes: it stays at once.
    auto deleteAll = [&](bool last) {
        std::vector<std::wstring> still;
        for (std::wstring& name : left) {
            const std::wstring path = base + name;
            std::optional<struct stat> st = LinkStatus(path);
            if (!st)
                continue;
            if (!S_ISDIR(st->st_mode) && unlink(NativePath(path).c_str()) == 0)
                continue;
            st = LinkStatus(path);
            if (!st)
                continue;
            if (last || S_ISDIR(st->st_mode))
                sweep.stayed.push_back(MarkerSweep::Stayed{name, static_cast<std::uint64_t>(st->st_dev),
                                                           static_cast<std::uint64_t>(st->st_ino),
                                                           Nanoseconds(st->st_mtim)});
            else
                still.push_back(std::move(name));
        }
        left = std::move(still);
    };
    deleteAll(false);
    for (int retry = 1; retry <= kMarkerDeleteRetries && !left.empty(); ++retry) {
        std::this_thread::sleep_for(kMarkerDeleteRetryPause);
        deleteAll(retry == kMarkerDeleteRetries);
    }
    return sweep;
}

std::size_t CountMarkers(std::wstring_view folder, const MarkerSweep& sweep) {
    const std::wstring base(folder);
    std::size_t count = 0;
    for (const std::wstring& name : MarkerNames(folder)) {
        std::optional<struct stat> st = LinkStatus(base + name);
        if (!st)
            continue;
        const bool stale = std::any_of(sweep.stayed.begin(), sweep.stayed.end(), [&](const MarkerSweep::Stayed& s) {
            return s.name == name && s.device == static_cast<std::uint64_t>(st->st_dev) &&
                   s.inode == static_cast<std::uint64_t>(st->st_ino) && s.modified == Nanoseconds(st->st_mtim);
        });
        if (!stale)
            ++count;
    }
    return count;
}

}  // namespace zov
