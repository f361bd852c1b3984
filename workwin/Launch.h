// Opening one document in a new browser window: the page the new window
// loads and the start-up commands its control reads at its first tick.
#pragma once

#include <string>
#include <string_view>

namespace zov {

// The name the launch page's title carries after " | ".
inline constexpr std::wstring_view kServiceDisplayName = L"ZOV";

// The launch page (UTF-8): the viewer element filling the window, the
// document's caption, escaped, in the title.
std::string BuildLaunchPage(std::wstring_view caption);

// The start-up argument file's text: set up in Japanese with the grey desk
// and `previewRoot`, show the one document, zoom it up.
std::wstring LaunchStartupArgs(std::wstring_view previewRoot, std::wstring_view path, std::wstring_view caption);

}  // namespace zov
