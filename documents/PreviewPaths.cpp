#include "documents/PreviewPaths.h"

#include "platform/DataFolder.h"

#include <cstdio>

namespace zov {

namespace {

std::wstring WithoutColons(std::wstring_view path) {
    std::wstring r;
    r.reserve(path.size());
    for (wchar_t c : path)
        if (c != L':')
            r += c;
    return r;
}

void ReplaceAll(std::wstring& text, std::wstring_view from, std::wstring_view to) {
    for (std::size_t at = text.find(from); at != std::wstring::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

}  // namespace

std::wstring PageFileName(std::int32_t n) {
    wchar_t name[32];
    std::swprintf(name, 32, L"_%08X.txt", static_cast<std::uint32_t>(n));
    return name;
}

std::wstring SearchTextName(std::wstring_view pageFile) {
    std::wstring name(pageFile);
    if (name.size() >= 4 && name.compare(name.size() - 4, 4, L".txt") == 0)
        name.replace(name.size() - 4, 4, L"_s.txt");
    return name;
}

std::wstring PreviewFolder(std::wstring_view path, const PreviewSettings& s) {
    std::wstring r = WithoutColons(path);
    const bool sameOrFlat = s.folderMode == L"SamePlace" || s.folderMode == L"Flat";
    if (IsHttp(path)) {
        if (sameOrFlat) {
            std::size_t last = r.find_last_of(L"/\\");
            return s.previewRoot + L"\\" + (last == std::wstring::npos ? r : r.substr(last + 1));
        }
        ReplaceAll(r, L"//", L"/");
        for (wchar_t& c : r)
            if (c == L'/')
                c = L'\\';
        return s.previewRoot + L"\\Folder\\" + r;
    }
    if (IsHttp(s.previewRoot) && s.eValueNSMode) {
        if (path.size() < 6)
            return {};
        std::wstring folder = s.previewRoot + L"\\.preview\\";
        for (std::size_t i = 0; i < 6; ++i) {
            folder += path[i];
            folder += L'\\';
        }
        return folder + r;
    }
    if (IsHttp(s.previewRoot) && s.folderMode == L"Flat")
        return s.previewRoot + L"\\" + r;
    std::size_t first = r.find_first_not_of(L'\\');
    return s.previewRoot + L"\\Folder\\" + (first == std::wstring::npos ? std::wstring() : r.substr(first));
}

std::wstring PageFilePath(std::wstring_view path, std::int32_t n, const PreviewSettings& settings) {
    std::wstring folder = PreviewFolder(path, settings);
    if (folder.empty())
        return {};
    return folder + PageFileName(n);
}

std::wstring CacheFolder(const PreviewSettings& settings) {
    std::wstring host = HostPart(settings.previewRoot);
    if (host.empty())
        return UserDataFolder() + L".preview";
    for (wchar_t& c : host)
        if (c == L':')
            c = L'.';
    return UserDataFolder() + host;
}

std::wstring LocalCachePath(std::wstring_view path, std::int32_t n, const PreviewSettings& settings) {
    std::wstring page = PageFilePath(path, n, settings);
    if (page.empty())
        return {};
    std::wstring rel = page.substr(std::min(page.size(), settings.previewRoot.size()));
    if (!rel.empty() && rel.front() == L'\\')
        rel.erase(0, 1);
    std::wstring base = UserDataFolder();
    std::wstring host = HostPart(settings.previewRoot);
    if (!host.empty()) {
        for (wchar_t& c : host)
            if (c == L':')
                c = L'.';
        base += host + L"\\";
    }
    std::wstring local;
    if (settings.eValueNSMode) {
        local = base + rel;
    } else {
        std::size_t last = rel.rfind(L'\\');
        local = base + (last == std::wstring::npos ? rel : rel.substr(last + 1));
    }
    return StaysInUserDataFolder(local) ? local : std::wstring();
}

std::wstring LocalFileCopyPath(std::wstring_view path, const PreviewSettings& settings) {
    std::wstring local = LocalCachePath(path, 1, settings);
    if (local.size() <= 13)
        return {};
    return local.substr(0, local.size() - 13);
}

bool StaysInUserDataFolder(std::wstring_view path) {
    const std::wstring base = UserDataFolder();
    if (path.substr(0, base.size()) != base)
        return false;
    std::wstring_view rest = path.substr(base.size());
    while (!rest.empty()) {
        std::size_t end = rest.find_first_of(L"\\/");
        std::wstring_view component = rest.substr(0, end);
        if (component == L".." || component == L".")
            return false;
        if (end == std::wstring_view::npos)
            break;
        rest.remove_prefix(end + 1);
    }
    return true;
}

}  // namespace zov
