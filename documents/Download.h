// Copies files from HTTP servers into the local cache, and deletes documents
// on servers.
#pragma once

#include <atomic>
#include <cstddef>
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

// Sends DELETE for `url`; true when the server answered with a status of 299
// or less.
bool SendDelete(std::wstring_view url);

}  // namespace zov
