#include "documents/Upload.h"

#include "documents/UrlText.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "platform/net/HttpClient.h"

#include <cstdio>
#include <algorithm>
#include <memory>
#include <optional>
#include <sys/stat.h>

namespace zov {

namespace {

constexpr std::size_t kWriteSize = 1024;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

bool Upload(std::wstring_view localPath, std::wstring_view folderUrl) {
    try {
        std::optional<UrlParts> parts = SplitUrl(ToUtf8(folderUrl));
        if (!parts || (parts->scheme != "http" && parts->scheme != "https"))
            return false;
        std::size_t last = localPath.find_last_of(L"\\/");
        if (last == std::wstring_view::npos || last + 1 >= localPath.size())
            return false;
        std::wstring name(localPath.substr(last + 1));

        // A dropped name could be a pipe or device: only a regular file is sent.
        std::unique_ptr<std::FILE, FileCloser> file(OpenRegularFile(localPath));
        struct stat st;
        if (!file || fstat(fileno(file.get()), &st) != 0)
            return false;

        // One separator between folder and name, even when the folder URL
        // already ends in one.
        std::wstring target(folderUrl);
        if (target.back() != L'/')
            target += L'/';
        HttpRequest request;
        request.method = "PUT";
        request.url = RequestUrl(target) + EncodeUrl(name);
        request.userAgent = "VODorirer Program";
        request.bodySize = st.st_size;
        request.bodyChunk = kWriteSize;
        std::int64_t sent = 0;
        request.bodySource = [&](char* buffer, std::size_t capacity) -> std::int64_t {
            std::size_t n = std::fread(buffer, 1, std::min(capacity, kWriteSize), file.get());
            if (n == 0 && std::ferror(file.get()))
                return -1;
            sent += static_cast<std::int64_t>(n);
            return static_cast<std::int64_t>(n);
        };
        HttpResponse response = PerformHttp(request);
        return response.completed && sent == st.st_size && IsSuccessStatus(response.status);
    } catch (...) {
        return false;
    }
}

}  // namespace zov
