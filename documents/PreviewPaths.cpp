#include "documents/PreviewPaths.h"

#include "platform/DataFolder.h"
#include "platform/FileSystem.h"

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

constexpr std::size_t kMaxPortDigits = 5;
constexpr unsigned kMaxPort = 65535;

bool IsDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

bool IsHexDigit(wchar_t c) {
    return IsDigit(c) || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

bool IsLabelChar(wchar_t c) {
    return IsDigit(c) || (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || c == L'-' || c == L'_';
}

bool IsPort(std::wstring_view digits) {
    if (digits.empty() || digits.size() > kMaxPortDigits)
        return false;
    unsigned value = 0;
    for (wchar_t c : digits) {
        if (!IsDigit(c))
            return false;
        value = value * 10 + static_cast<unsigned>(c - L'0');
    }
    return value <= kMaxPort;
}

// Dot-separated labels, none empty: so never "." or "..".
bool IsHostName(std::wstring_view name) {
    if (name.empty() || name.size() > kMaxHostNameChars)
        return false;
    std::size_t label = 0;
    for (wchar_t c : name) {
        if (c == L'.') {
            if (label == 0)
                return false;
            label = 0;
        } else if (!IsLabelChar(c) || ++label > kMaxHostLabelChars) {
            return false;
        }
    }
    return label > 0;
}

bool IsBracketedAddress(std::wstring_view address) {
    if (address.size() < 4 || address.front() != L'[' || address.back() != L']')
        return false;
    std::wstring_view inside = address.substr(1, address.size() - 2);
    bool colon = false;
    for (wchar_t c : inside) {
        if (c == L':')
            colon = true;
        else if (!IsHexDigit(c) && c != L'.')
            return false;
    }
    return colon;
}

std::wstring CacheName(std::wstring host) {
    for (wchar_t& c : host)
        if (c == L':')
            c = L'.';
    return host;
}

void ReplaceAll(std::wstring& text, std::wstring_view from, std::wstring_view to) {
    for (std::size_t at = text.find(from); at != std::wstring::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// Every mode but "Flat" keeps a document's preview folder below the root in
// the cache; "Flat" previews are known by their name on the server too.
bool KeepsRelativePath(const PreviewSettings& settings) {
    return settings.eValueNSMode || settings.folderMode != L"Flat";
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

bool IsHostPart(std::wstring_view host) {
    std::wstring_view name = host;
    if (!host.empty() && host.front() == L'[') {
        std::size_t close = host.find(L']');
        if (close == std::wstring_view::npos)
            return false;
        name = host.substr(0, close + 1);
        std::wstring_view rest = host.substr(close + 1);
        if (!rest.empty() && (rest.front() != L':' || !IsPort(rest.substr(1))))
            return false;
        return IsBracketedAddress(name);
    }
    if (std::size_t colon = host.find(L':'); colon != std::wstring_view::npos) {
        if (!IsPort(host.substr(colon + 1)))
            return false;
        name = host.substr(0, colon);
    }
    return IsHostName(name);
}

bool IsAcceptablePreviewRoot(std::wstring_view root) {
    if (root.size() > kMaxPreviewRootChars || root.find(L'\0') != std::wstring_view::npos)
        return false;
    if (root.find(L"://") != std::wstring_view::npos)
        return IsHostPart(HostPart(root));
    return !EscapesShareMountRoot(root);
}

std::wstring CacheFolder(const PreviewSettings& settings) {
    if (settings.previewRoot.find(L"://") == std::wstring::npos)
        return UserDataFolder() + L".preview";
    std::wstring host = HostPart(settings.previewRoot);
    // The host names a folder of ours: a root set past the checks must not
    // make it "..".
    if (!IsHostPart(host))
        return {};
    return UserDataFolder() + CacheName(std::move(host));
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
        if (!IsHostPart(host))
            return {};
        base += CacheName(std::move(host)) + L"\\";
    }
    std::wstring local;
    if (KeepsRelativePath(settings)) {
        // Two documents of one name in two folders have two preview folders
        // on the server; their cached pages must not meet either.
        local = base + rel;
    } else {
        std::size_t last = rel.rfind(L'\\');
        local = base + (last == std::wstring::npos ? rel : rel.substr(last + 1));
    }
    return StaysBelow(local, base) ? local : std::wstring();
}

std::wstring LocalFileCopyPath(std::wstring_view path, const PreviewSettings& settings) {
    std::wstring local = LocalCachePath(path, 1, settings);
    if (local.size() <= 13)
        return {};
    return local.substr(0, local.size() - 13);
}

bool StaysInUserDataFolder(std::wstring_view path) {
    return StaysBelow(path, UserDataFolder());
}

bool StaysBelow(std::wstring_view path, std::wstring_view folder) {
    if (folder.empty() || path.substr(0, folder.size()) != folder || path.find(L'\0') != std::wstring_view::npos)
        return false;
    std::wstring_view rest = path.substr(folder.size());
    // Nothing after the folder, or the folder without its separator and a
    // sibling's name after it, is not below it.
    const bool separated = IsSeparator(folder.back()) || (!rest.empty() && IsSeparator(rest.front()));
    if (rest.empty() || !separated)
        return false;
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
