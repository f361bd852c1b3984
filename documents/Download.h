// Copies files from HTTP servers into the local cache, and deletes documents
// on servers.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>

namespace zov {

// Bytes read and written at a time; a body whose first byte is '<' (an error
// or index page rather than a preview file) is cut after its first chunk.
inline constexpr std::size_t kDownloadChunk = 1000000;
// A body longer than this fails the download and leaves no file. Besides,
// each download has the deadline and minimum speed of every HTTP transfer.
inline constexpr std::size_t kMaxDownloadBytes = std::size_t{128} << 20;

// Fetches `url` into `localPath` (its missing folders are made). Any answer
// of the server counts: its body becomes the file. Only one download runs in
// the process at a time. False when the address is not http(s), the
// transfer failed, was too slow or too long, the file could not be written,
// or `cancel` was set; the file is then absent. The file appears whole or not
// at all.
bool Download(std::wstring_view url, std::wstring_view localPath, const std::atomic<bool>* cancel = nullptr);

// What became of one DELETE.
struct DeleteResult {
    // The server answered with a 2xx status: the file is gone.
    bool deleted = false;
    // The answer's status; 0 when none came (see `error`).
    long status = 0;
    // Why no answer came: no http(s) address, or the transfer failed.
    std::string error;
};

// Sends DELETE for `url`.
DeleteResult SendDeleteRequest(std::wstring_view url);
// True when the server answered the DELETE with a 2xx status.
bool SendDelete(std::wstring_view url);

// "405 Method Not Allowed", or the error, for telling the user why a file
// stayed. At most kMaxDeleteReasonChars characters.
inline constexpr std::size_t kMaxDeleteReasonChars = 256;
std::wstring DeleteFailureReason(const DeleteResult& result);

}  // namespace zov
