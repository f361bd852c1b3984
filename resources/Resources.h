// The pictures built into the library: placeholder pages and fallback file
// icons. They are drawn by resources/DrawResources.cpp, committed as PNG
// files, and turned into byte arrays at build time.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace zov {

// The bytes of the resource file `name`, a path relative to resources/
// ("placeholders/normal-1.png", "icons/pdf.png"); empty when there is none.
// The bytes live as long as the program.
std::span<const std::uint8_t> EmbeddedResource(std::string_view name);

}  // namespace zov
