#include "host/StaticFiles.h"

#include "platform/FileSystem.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <vector>

namespace zov::host {

namespace {

using Json = nlohmann::json;

std::string ContentType(const std::filesystem::path& path) {
    const std::string extension = path.extension().string();
    if (extension == ".html")
        return "text/html; charset=utf-8";
    if (extension == ".js" || extension == ".mjs")
        return "text/javascript; charset=utf-8";
    if (extension == ".css")
        return "text/css; charset=utf-8";
    if (extension == ".json" || extension == ".map")
        return "application/json";
    if (extension == ".png")
        return "image/png";
    if (extension == ".svg")
        return "image/svg+xml";
    return "application/octet-stream";
}

// The folder a target belongs to and its path inside it: the element script
// at the top, the rest below demo/. Names with a way up, an escape, an empty
// or hidden part are refused before the file system is asked.
std::optional<std::pair<std::filesystem::path, std::string>> Locate(const std::filesystem::path& root,
                                                                    std::string_view target) {
    if (target == "/zov.js" || target == "/zov.js.map")
        return std::pair{root, std::string(target.substr(1))};
    if (target.substr(0, 6) != "/demo/")
        return std::nullopt;
    std::string rest(target.substr(6));
    if (rest.find_first_of("\\%") != std::string::npos || rest.find('\0') != std::string::npos)
        return std::nullopt;
    std::size_t start = 0;
    while (start < rest.size()) {
        const std::size_t end = std::min(rest.find('/', start), rest.size());
        const std::string_view part = std::string_view(rest).substr(start, end - start);
        if (part.empty() || part.front() == '.')
            return std::nullopt;  // "//", "/x", ".", "..", ".hidden"
        start = end + 1;
    }
    if (rest.empty() || rest.back() == '/')
        rest += "index.html";
    return std::pair{root / "demo", rest};
}

bool Inside(const std::filesystem::path& folder, const std::filesystem::path& path) {
    auto [end, at] = std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
    return end == folder.end() && at != path.end();
}

}  // namespace

std::optional<StaticFile> ReadStaticFile(const std::filesystem::path& webRoot, std::string_view target) {
    auto located = Locate(webRoot, target);
    if (!located)
        return std::nullopt;
    std::error_code error;
    // Symbolic links are resolved first, so one inside the folder that
    // points out of it is found out here.
    const std::filesystem::path folder = std::filesystem::canonical(located->first, error);
    if (error)
        return std::nullopt;
    const std::filesystem::path path = std::filesystem::canonical(located->first / located->second, error);
    if (error || !Inside(folder, path))
        return std::nullopt;
    // Never blocking on a pipe or a device.
    std::optional<std::string> body = ReadRegularNativeFile(path.string(), kStaticFileLimit);
    if (!body)
        return std::nullopt;
    return StaticFile{std::move(*body), ContentType(path)};
}

std::string DemoCorpus(const std::filesystem::path& demo) {
    Json files = Json::array();
    Json captions = Json::array();
    std::vector<std::filesystem::path> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(demo / "corpus", error)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_symlink(error) || !entry.is_regular_file(error) || name.empty() || name.front() == '.')
            continue;
        found.push_back(entry.path());
    }
    std::sort(found.begin(), found.end());
    for (const std::filesystem::path& path : found) {
        files.push_back(path.string());
        captions.push_back(path.stem().string());
    }
    Json body = {{"previewRoot", (demo / "previews").string()}, {"files", files}, {"captions", captions}};
    return body.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace zov::host
