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
#include <system_error>
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

namespace {

// What a PROPFIND or the GET of an index page came to.
struct ListingAnswer {
    bool answered = false;  // a response came, whatever its status
    std::string error;      // why not
    long status = 0;
    // A PROPFIND answer held at least one href: a WebDAV answer about the
    // folder, even when it names nothing in it.
    bool sawHref = false;
    std::vector<std::wstring> names;
};

ListingAnswer AskWebDav(std::wstring_view user, std::wstring_view password, std::wstring_view folderUrl) {
    ListingAnswer answer;
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
        answer.error = response.error;
        return answer;
    }
    answer.answered = true;
    answer.status = response.status;
    if (!IsSuccessStatus(response.status))
        return answer;

    const std::wstring text = DecodeText(response.body, true);
    std::vector<std::wstring>& names = answer.names;
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
        answer.sawHref = true;
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
    return answer;
}

ListingAnswer ReadIndexPage(std::wstring_view folderUrl) {
    ListingAnswer answer;
    const std::wstring folder = WithTrailingSlash(folderUrl);
    std::optional<UrlParts> parts = SplitUrl(ToUtf8(folder));
    if (!parts) {
        answer.error = "not an http(s) address";
        return answer;
    }
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
        answer.error = response.error;
        return answer;
    }
    answer.answered = true;
    answer.status = response.status;

    const std::string& object = parts->object;
    std::vector<std::wstring>& names = answer.names;
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
    return answer;
}

// A link up or to the folder itself, as index pages write them: nothing in
// the folder.
bool ClimbsOut(std::wstring_view name) {
    std::wstring_view first = name.substr(0, name.find_first_of(L"/\\"));
    return first == L"." || first == L"..";
}

std::wstring Bounded(std::wstring text) {
    if (text.size() > kMaxListingFailureChars)
        text.resize(kMaxListingFailureChars);
    return text;
}

// Nothing when the folder cannot be opened; `failure` then says why.
std::optional<std::vector<std::wstring>> EnumerateFolder(std::wstring_view folder, std::string& failure) {
    std::string native = NativePath(folder);
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(native.c_str()), closedir);
    if (!dir) {
        failure = std::error_code(errno, std::generic_category()).message();
        return std::nullopt;
    }
    std::vector<std::wstring> names;
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
    return names;
}

}  // namespace

std::optional<std::vector<std::wstring>> WebDavList(std::wstring_view user, std::wstring_view password,
                                                    std::wstring_view folderUrl, bool* transportFailed) {
    ListingAnswer answer = AskWebDav(user, password, folderUrl);
    if (transportFailed)
        *transportFailed = !answer.answered;
    if (answer.names.empty())
        return std::nullopt;
    return std::move(answer.names);
}

std::optional<std::vector<std::wstring>> IndexPageList(std::wstring_view folderUrl, HostWindow* window) {
    ListingAnswer answer = ReadIndexPage(folderUrl);
    if (!answer.answered) {
        // An address that does not split was never sent: nothing to tell.
        if (SplitUrl(ToUtf8(WithTrailingSlash(folderUrl))))
            ShowFailure(window, L"GetHttpFolderFiles Exception :: ", answer.error);
        return std::nullopt;
    }
    if (answer.names.empty())
        return std::nullopt;
    return std::move(answer.names);
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
    try {
        std::string failure;
        return EnumerateFolder(folder, failure).value_or(std::vector<std::wstring>());
    } catch (const std::exception& e) {
        ShowFailure(window, L"GetFolderFiles Exception :: ", e.what());
        return {};
    }
}

FolderContents ListHttpFolder(std::wstring_view user, std::wstring_view password, std::wstring_view folderUrl) {
    FolderContents contents;
    try {
        ListingAnswer dav = AskWebDav(user, password, folderUrl);
        if (!dav.answered) {
            contents.failure = Bounded(FromUtf8(dav.error));
            return contents;
        }
        std::vector<std::wstring> names;
        if (IsSuccessStatus(dav.status) && dav.sawHref) {
            names = std::move(dav.names);
        } else {
            ListingAnswer index = ReadIndexPage(folderUrl);
            if (!index.answered) {
                contents.failure = Bounded(FromUtf8(index.error));
                return contents;
            }
            // An error page's links are not the folder's files.
            if (!IsSuccessStatus(index.status)) {
                contents.failure = Bounded(FromUtf8(StatusText(index.status)));
                return contents;
            }
            names = std::move(index.names);
        }
        std::erase_if(names, [](const std::wstring& name) { return ClimbsOut(name); });
        std::stable_sort(names.begin(), names.end());
        contents.names = std::move(names);
    } catch (const std::exception& e) {
        contents.failure = Bounded(FromUtf8(e.what()));
    }
    return contents;
}

FolderContents ListFolderOnDisk(std::wstring_view folder) {
    FolderContents contents;
    try {
        std::string failure;
        contents.names = EnumerateFolder(folder, failure);
        if (!contents.names)
            contents.failure = Bounded(FromUtf8(failure));
    } catch (const std::exception& e) {
        contents.failure = Bounded(FromUtf8(e.what()));
    }
    return contents;
}

}  // namespace zov
