// Pictures of RGB bytes and the area filter that makes the small page
// picture from the large one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zov {

// Rows of width * 3 bytes R, G, B, top row first, `stride` bytes apart.
struct RgbView {
    const std::uint8_t* pixels = nullptr;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::ptrdiff_t stride = 0;
};

// An RGB picture that owns its bytes, rows packed.
struct RgbImage {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint8_t> pixels;

    RgbView View() const { return {pixels.data(), width, height, static_cast<std::ptrdiff_t>(width) * 3}; }
};

// `source` reduced to width x height (each at least 1 and at most the
// source's): every output pixel is the mean of the source area it covers,
// with partly covered source pixels weighted by the part covered. Exact in
// integers, so flat areas keep their value. Empty when the sizes do not fit.
RgbImage AreaDownscale(const RgbView& source, std::int32_t width, std::int32_t height);

}  // namespace zov
