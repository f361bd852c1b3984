// What the container serves over plain HTTP: the element script with its
// source map, and the demo pages. Targets come from any local process, so a
// file is served only when its real path lies inside the folder it belongs
// to and it is a regular file of bounded size.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace zov::host {

// The largest file served; the bundle and its map are far below it.
inline constexpr std::size_t kStaticFileLimit = 32u << 20;

struct StaticFile {
    std::string body;
    std::string type;
};

// The file `target` (the request target without its query) names below
// `webRoot`, or nothing when there is none that may be served.
std::optional<StaticFile> ReadStaticFile(const std::filesystem::path& webRoot, std::string_view target);

// The demo page's list: the documents of demo/corpus and their preview root.
std::string DemoCorpus(const std::filesystem::path& demo);

}  // namespace zov::host
