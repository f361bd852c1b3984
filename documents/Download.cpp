#include "documents/Download.h"

#include "documents/PreviewSettings.h"
#include "documents/UrlText.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "platform/Locks.h"
#include "platform/net/HttpClient.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <memory>
#include <thread>
#include <vector>

namespace zov {

namespace {

using namespace std::chrono_literals;

// How often a download waiting for its turn looks whether it was called off.
constexpr auto kDownloadTurnPoll = 10ms;

ProcessLock& DownloadLock() {
    static ProcessLock& lock = NamedLock("download");
    return lock;
}

// Reused by every download, under the download lock.
std::vector<char>& DownloadBuffer() {
    static auto* buffer = new std::vector<char>(kDownloadChunk);
    return *buffer;
}

bool IsWebScheme(std::wstring_view url) {
    std::optional<UrlParts> parts = SplitUrl(ToUtf8(url));
    return parts && (parts->scheme == "http" || parts->scheme == "https");
}

// The body goes to a temporary file next to the target, renamed into place
// once complete, so that a reader of the cache never sees half a file.
class ChunkedFile {
public:
    explicit ChunkedFile(std::string target) : target_(std::move(target)), temporary_(target_ + ".download") {}
    ~ChunkedFile() { Discard(); }

    // Adds bytes, writing a chunk whenever the buffer fills. False stops the
    // transfer: a write failed, or the first chunk is a page, not a file.
    bool Add(const char* data, std::size_t size, std::vector<char>& buffer) {
        while (size > 0) {
            std::size_t room = buffer.size() - held_;
            std::size_t take = size < room ? size : room;
            std::copy(data, data + take, buffer.begin() + static_cast<std::ptrdiff_t>(held_));
            held_ += take;
            data += take;
            size -= take;
            if (held_ == buffer.size() && !Flush(buffer))
                return false;
            if (pageCut_)
                return false;
        }
        return true;
    }

    // Writes what is left and moves the file into place.
    bool Finish(std::vector<char>& buffer) {
        if (!pageCut_ && held_ > 0 && !Flush(buffer))
            return false;
        if (!Open())
            return false;
        bool closed = std::fclose(file_) == 0;
        file_ = nullptr;
        if (!closed || std::rename(temporary_.c_str(), target_.c_str()) != 0) {
            std::remove(temporary_.c_str());
            return false;
        }
        return true;
    }

    void Discard() {
        if (file_) {
            std::fclose(file_);
            file_ = nullptr;
            std::remove(temporary_.c_str());
        }
    }

    bool failed() const { return failed_; }

private:
    bool Open() {
        if (!file_ && !failed_) {
            file_ = std::fopen(temporary_.c_str(), "wb");
            failed_ = file_ == nullptr;
        }
        return file_ != nullptr;
    }

    bool Flush(std::vector<char>& buffer) {
        if (!Open() || std::fwrite(buffer.data(), 1, held_, file_) != held_) {
            failed_ = true;
            return false;
        }
        if (chunks_++ == 0 && held_ > 0 && buffer[0] == '<')
            pageCut_ = true;
        held_ = 0;
        return true;
    }

    std::string target_;
    std::string temporary_;
    std::FILE* file_ = nullptr;
    std::size_t held_ = 0;
    int chunks_ = 0;
    bool pageCut_ = false;
    bool failed_ = false;
};

}  // namespace

bool Download(std::wstring_view url, std::wstring_view localPath, const std::atomic<bool>* cancel) {
    try {
        auto cancelled = [cancel] { return cancel && cancel->load(); };
        // One download at a time; one called off stops waiting for its turn.
        std::unique_lock<ProcessLock> guard(DownloadLock(), std::defer_lock);
        while (!guard.try_lock()) {
            if (cancelled())
                return false;
            std::this_thread::sleep_for(kDownloadTurnPoll);
        }
        const PreviewSettings settings = GetPreviewSettings();
        std::wstring source(url);
        if (settings.fkeyMode) {
            std::size_t last = localPath.rfind(L'\\');
            std::wstring name(last == std::wstring_view::npos ? localPath : localPath.substr(last + 1));
            std::wstring key = name.size() >= 4 ? name.substr(0, name.size() - 4) : std::wstring();
            source = settings.fkeyBaseUrl + L"?fkey=" + key;
        }
        if (!IsWebScheme(source))
            return false;

        // The cache's own form of the path: '/' and "://" become '\'.
        std::wstring local(localPath);
        for (std::size_t at = local.find(L"://"); at != std::wstring::npos; at = local.find(L"://", at + 1))
            local.replace(at, 3, L"\\");
        for (wchar_t& c : local)
            if (c == L'/')
                c = L'\\';
        std::size_t folderEnd = local.rfind(L'\\');
        if (folderEnd == std::wstring::npos || !CreateFolderTree(local.substr(0, std::min<std::size_t>(folderEnd, 1024))))
            return false;

        HttpRequest request;
        request.url = RequestUrl(source);
        if (settings.fkeyMode) {
            request.headers = {"Accept:"};
        } else {
            request.headers = {"Accept: text/*"};
            request.userAgent = "Corvane";
        }
        request.maxBodyBytes = kMaxDownloadBytes;
        ChunkedFile file(NativePath(local));
        std::vector<char>& buffer = DownloadBuffer();
        request.cancelled = cancelled;
        request.onBody = [&](const char* data, std::size_t size) { return !cancelled() && file.Add(data, size, buffer); };
        HttpResponse response = PerformHttp(request);
        if (cancelled() || response.cancelled || file.failed())
            return false;
        if (!response.completed)
            return false;
        return file.Finish(buffer);
    } catch (...) {
        return false;
    }
}

DeleteResult SendDeleteRequest(std::wstring_view url) {
    DeleteResult result;
    try {
        if (!IsWebScheme(url)) {
            result.error = "not an http(s) address";
            return result;
        }
        HttpRequest request;
        request.method = "DELETE";
        request.url = RequestUrl(url);
        request.userAgent = "Corvane";
        HttpResponse response = PerformHttp(request);
        if (!response.completed) {
            result.error = response.error.empty() ? "no answer" : response.error;
            return result;
        }
        result.status = response.status;
        // A redirect or an informational answer deleted nothing.
        result.deleted = IsSuccessStatus(response.status);
    } catch (const std::exception& e) {
        result.error = e.what();
    }
    return result;
}

bool SendDelete(std::wstring_view url) {
    return SendDeleteRequest(url).deleted;
}

std::wstring DeleteFailureReason(const DeleteResult& result) {
    std::wstring text = FromUtf8(result.status != 0 ? StatusText(result.status) : result.error);
    if (text.size() > kMaxDeleteReasonChars)
        text.resize(kMaxDeleteReasonChars);
    return text;
}

}  // namespace zov
