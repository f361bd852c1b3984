// Tells the document-management service that a document was looked at.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zov {

class HostWindow;

inline constexpr std::wstring_view kPreviewLogCryptKey = L"rovorezedov";
// The service's answer is read up to this many bytes; a longer one counts as
// a failed send.
inline constexpr std::size_t kMaxPreviewLogAnswerBytes = 64 << 10;

// The SOAP request body for AddPreviewLogByCrypedKey. The key and the context
// go in as they are: the service expects them so.
std::wstring PreviewLogBody(std::wstring_view documentKey, std::wstring_view logContext,
                            std::wstring_view serviceNamespace);

// Reports `documentKey` to the service at the fkey base URL: with a GET
// "?fkey=NAME&l=1" in fkey mode, else with the SOAP request. Failures are shown
// in a message box on `window` (when given) and go no further.
void PreviewLog(std::wstring_view documentKey, std::wstring_view logContext, HostWindow* window);

}  // namespace zov
