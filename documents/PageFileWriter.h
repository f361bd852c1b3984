// Writes page files in the layout the readers expect (see PageFile.h). The
// converter writes previews with it; tests build their page files with it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zov {

struct PageFileImage {
    std::int32_t width = 0;
    std::int32_t height = 0;
    // Bytes to reserve for the decoded pixels; 0 writes width × height × 4.
    std::int32_t pixelBlockSize = 0;
    std::vector<std::uint8_t> data;  // the encoded picture
};

struct PageFileContent {
    std::int32_t version = 3;    // 1 to 10
    std::int32_t imageType = 5;  // 2 to 8
    bool extendedHeader = false;
    PageFileImage image1;
    std::optional<PageFileImage> image2;
    // UTF-8, one line; written from version 2 on, ended with "\n" (counted in
    // its length) so that readers of the line stop at its end.
    std::string text;
    std::vector<std::uint8_t> versionThreeBlock;
    std::optional<std::vector<std::int32_t>> pageList;  // page file 1 only
};

std::uint32_t PageFileHeader(std::int32_t version, std::int32_t imageType, bool extended);
std::vector<std::uint8_t> SerializePageFile(const PageFileContent& content);
// Written under a temporary name and renamed, so that a reader never sees
// half a page file.
bool WritePageFile(std::wstring_view path, const PageFileContent& content);

}  // namespace zov
