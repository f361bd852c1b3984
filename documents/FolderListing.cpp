#include "documents/FolderListing.h"

#include "documents/Download.h"
#include "documents/UrlText.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "platform/HostWindow.h"
#include "platform/net/HttpClient.h"

#include <algorithm>
#include <cstdio>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace zov {

namespace {

constexpr std::string_view kPropfindBody =
    "<?xml version='1.0'?><propfind xmlns=\"DAV:\"><propname/></propfind>";

void ShowFailure(HostWindow* window, std::wstring_view prefix, std::string_view message) {
    if (!window)
        return;
    std::wstring text = FromUtf8(message.substr(0, 256));
    window->MessageBox(MessageBoxRequest{std::wstring(prefix) + text, L"", MB_OK, {}});
}

std::wstring WithTrailingSlash(std::wstring_view url) {
    std::wstring folder(url);
    for (wchar_t& c : folder)
        if (c == L'\\')
            c = L'/';
    if (folder.empty() || folder.back() != L'/')
        folder += L'/';
    return folder;
}

bool Contains(std::wstring_view text, std::wstring_view part, std::size_t from = 0) {
    return text.find(part, from) != std::wstring_view::npos;
}

// Adds a name unless the listing is full or the name too long to be one;
// false once no more names are taken.
bool Take(std::vector<std::wstring>& names, std::wstring name) {
    if (names.size() >= kMaxFolderNames)
        return false;
    if (name.size() <= kMaxFolderNameChars)
        names.push_back(std::move(name));
    return names.size() < kMaxFolderNames;
}

}  // namespace

bool IsPreviewFileName(std::wstring_view name) {
    if (name.size() < 13 || name.substr(name.size() - 4) != L".txt" || name[name.size() - 13] != L'_')
        return false;
    for (std::size_t i = name.size() - 12; i < name.size() - 4; ++i) {
        wchar_t c = name[i];
        if (!((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F')))
            return false;
    }
    return true;
}

std::optional<std::vector<std::wstring>> WebDavList(std::wstring_view user, std::wstring_view password,
                                                    std::wstring_view folderUrl, bool* transportFailed) {
    if (transportFailed)
        *transportFailed = false;
    const std::wstring folder = WithTrailingSlash(folderUrl);
    HttpRequest request;
    request.method = "PROPFIND";
    request.url = EncodeUrl(folder);
    request.headers = {"Content-Type: text/xml", "Depth: 1"};
    if (!user.empty() || !password.empty())
        request.credentials = std::make_pair(ToUtf8(user), ToUtf8(password));
    request.body = std::string(kPropfindBody);
    request.maxBodyBytes = kMaxWebDavAnswerBytes;
    HttpResponse response = PerformHttp(request);
    if (!response.completed) {
        if (transportFailed)
            *transportFailed = true;
        return std::nullopt;
    }
    if (response.status < 200 || response.status > 299)
        return std::nullopt;

    const std::wstring text = DecodeText(response.body, true);
    std::vector<std::wstring> names;
    static constexpr std::wstring_view kOpen = L"<D:href>";
    static constexpr std::wstring_view kClose = L"</D:href>";
    // One pass: each search starts where the last element ended, so that an
    // answer of many opening tags without ends costs no more than its length.
    for (std::size_t at = text.find(kOpen); at != std::wstring::npos;) {
        const std::size_t contentStart = at + kOpen.size();
        const std::size_t end = text.find(kClose, contentStart);
        if (end == std::wstring::npos)
            break;
        at = text.find(kOpen, end + kClose.size());
        std::wstring_view element = std::wstring_view(text).substr(contentStart, end - contentStart);
        std::size_t start = element.find(L'/');
        if (start == std::wstring_view::npos)
            continue;
        std::wstring value(element.substr(start));
        // The folder itself and its parents appear inside the folder's URL.
        if (Contains(folder, value, 1) || IsPreviewFileName(value))
            continue;
        bool isFolder = !value.empty() && value.back() == L'/';
        if (isFolder)
            value.pop_back();
        std::wstring name = value.substr(value.rfind(L'/') + 1);
        if (name.empty())
            continue;
        if (!Take(names, isFolder ? name + L'/' : name))
            break;
    }
    if (names.empty())
        return std::nullopt;
    return names;
}

std::optional<std::vector<std::wstring>> IndexPageList(std::wstring_view folderUrl, HostWindow* window) {
    const std::wstring folder = WithTrailingSlash(folderUrl);
    std::optional<UrlParts> parts = SplitUrl(ToUtf8(folder));
    if (!parts)
        return std::nullopt;
    HttpRequest request;
    request.url = RequestUrl(folder);
    request.headers = {"Cache-Control: no-cache", "Pragma: no-cache"};
    std::string page;
    request.onBody = [&page](const char* data, std::size_t size) {
        page.append(data, std::min(size, kIndexPageLimit - page.size()));
        return page.size() < kIndexPageLimit;
    };
    HttpResponse response = PerformHttp(request);
    if (!response.completed) {
        ShowFailure(window, L"GetHttpFolderFiles Exception :: ", response.error);
        return std::nullopt;
    }

    const std::string& object = parts->object;
    std::vector<std::wstring> names;
    for (std::size_t at = 0; at + 7 <= page.size(); ++at) {
        std::string_view tag(page.data() + at, 7);
        if (tag != "<A HREF" && tag != "<a href")
            continue;
        std::size_t open = page.find('"', at + 7);
        if (open == std::string::npos)
            break;
        std::size_t close = page.find('"', open + 1);
        if (close == std::string::npos)
            break;
        std::string raw = page.substr(open + 1, close - open - 1);
        at = close;
        // Decoded once here; decoding again would turn "%2520" into a space.
        std::string value = PercentDecode(raw);
        if (value.empty() || value.front() == '?')
            continue;
        std::wstring name;
        if (value.front() == '/') {
            // An absolute path: only what lies below this folder is listed.
            if (value.compare(0, object.size(), object) != 0)
                continue;
            name = DecodeText(value.substr(object.size()), false);
        } else if (value.find("://") != std::string::npos) {
            std::string start = ToUtf8(folder);
            if (value.compare(0, start.size(), start) != 0)
                continue;
            name = DecodeText(value.substr(start.size()), false);
        } else {
            name = DecodeText(value, false);
            // Links to the folder itself or its parents.
            if (Contains(folder, name))
                continue;
        }
        if (name.empty() || IsPreviewFileName(name))
            continue;
        if (!Take(names, std::move(name)))
            break;
    }
    if (names.empty())
        return std::nullopt;
    return names;
}

std::optional<std::vector<std::wstring>> GetFolderFiles(std::wstring_view user, std::wstring_view password,
                                                        std::wstring_view folderUrl, HostWindow* window) {
    try {
        bool transportFailed = false;
        std::optional<std::vector<std::wstring>> names = WebDavList(user, password, folderUrl, &transportFailed);
        if (transportFailed)
            return std::nullopt;
        if (!names)
            names = IndexPageList(folderUrl, window);
        if (!names)
            return std::nullopt;
        std::stable_sort(names->begin(), names->end());
        return names;
    } catch (const std::exception& e) {
        ShowFailure(window, L"GetWebDAVFolderFiles Exception :: ", e.what());
        return std::nullopt;
    }
}

std::vector<std::wstring> ListLocalFolder(std::wstring_view folder, HostWindow* window) {
    std::vector<std::wstring> names;
    try {
        std::string native = NativePath(folder);
        std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(native.c_str()), closedir);
        if (!dir)
            return names;
        while (dirent* entry = readdir(dir.get())) {
            std::string name = entry->d_name;
            if (name == "." || name == "..")
                continue;
            std::string full = native + "/" + name;
            struct stat st;
            if (stat(full.c_str(), &st) != 0)
                continue;
            // Pipes, devices and sockets are no documents, and are never
            // opened: a pipe would wait for its writer.
            bool listed = S_ISDIR(st.st_mode);
            if (S_ISREG(st.st_mode)) {
                int fd = OpenRegularFileDescriptor(full);
                listed = fd >= 0;
                if (listed)
                    close(fd);
            }
            if (listed && !Take(names, FromUtf8(name)))
                break;
        }
    } catch (const std::exception& e) {
        ShowFailure(window, L"GetFolderFiles Exception :: ", e.what());
    }
    return names;
}

}  // namespace zov
