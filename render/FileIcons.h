// File-type icons for documents that have no preview: the desktop's icon
// theme's picture for the file type (found through its MIME type), else a
// built-in icon.
#pragma once

#include "pixels/PixelBuffer.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace zov {

// A picture with its transparency: 4 bytes R, G, B, A a pixel, top row first.
struct RgbaImage {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint8_t> rgba;
};

// A PNG file's picture with its alpha kept; nothing when it is damaged or a
// side is longer than `maxSide`.
std::optional<RgbaImage> ReadRgbaPng(std::span<const std::uint8_t> bytes, std::uint32_t maxSide);

// The small pictures of a folder tree.
enum class SmallIconKind { Folder, OpenFolder, RemoteFolder, Drive, File };
// The theme's picture of that kind (for File, of files with `extension`),
// else a built-in one, brought to side x side. Nothing only when neither
// could be read.
std::optional<RgbaImage> SmallIcon(SmallIconKind kind, std::wstring_view extension, std::int32_t side);

// The icon for files with `extension` (".pdf"; empty for none) drawn at its
// natural size w x h in the middle of a 2w x 2h picture filled with
// `background` (a pixel word 0x00RRGGBB), the icon's transparency blended
// onto it. Null only when not even a built-in icon could be made.
std::unique_ptr<PixelBuffer> IconPicture(std::wstring_view extension, std::uint32_t background);

}  // namespace zov
