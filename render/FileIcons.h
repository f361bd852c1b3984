// File-type icons for documents that have no preview: the desktop's icon
// theme's picture for the file type (found through its MIME type), else a
// built-in icon.
#pragma once

#include "pixels/PixelBuffer.h"

#include <memory>
#include <string_view>

namespace zov {

// The icon for files with `extension` (".pdf"; empty for none) drawn at its
// natural size w x h in the middle of a 2w x 2h picture filled with
// `background` (a pixel word 0x00RRGGBB), the icon's transparency blended
// onto it. Null only when not even a built-in icon could be made.
std::unique_ptr<PixelBuffer> IconPicture(std::wstring_view extension, std::uint32_t background);

}  // namespace zov
