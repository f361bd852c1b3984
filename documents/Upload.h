// Stores a local file into an HTTP folder with one PUT request.
#pragma once

#include <string_view>

namespace zov {

// PUTs the file to the folder URL + its name, streamed in 1,024-byte writes,
// over the folder URL's own scheme and port. True when the whole file was
// sent and the server accepted it (status 2xx).
bool Upload(std::wstring_view localPath, std::wstring_view folderUrl);

}  // namespace zov
