// What the format decoders share. Each decoder takes the whole encoded picture
// (already told apart by SniffImageFormat) and gives its first picture, or
// nothing when the data is damaged, cut short or too large.
#pragma once

#include "platform/image/ImageDecoder.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace zov::image {

// The encoded bytes, as the codecs' read callbacks walk through them.
struct MemorySource {
    const std::uint8_t* data;
    std::uint64_t size;
    std::uint64_t pos;
};

// Both sides positive and within `bounds`, and at most kMaxDecodedPixels
// pixels in all.
bool AcceptableSize(std::int64_t width, std::int64_t height, const ImageBounds& bounds = {});

// A width × height picture of white paper. The size must be acceptable.
DecodedImage BlankImage(std::int32_t width, std::int32_t height);

// One colour channel with straight alpha laid onto white, rounded.
inline std::uint32_t OnWhite(std::uint32_t channel, std::uint32_t alpha) {
    return (channel * alpha + 255 * (255 - alpha) + 127) / 255;
}

inline std::uint32_t Rgb(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return (r << 16) | (g << 8) | b;
}

// A pixel with straight alpha, onto white.
inline std::uint32_t RgbaOnWhite(std::uint32_t r, std::uint32_t g, std::uint32_t b, std::uint32_t a) {
    if (a == 255)
        return Rgb(r, g, b);
    return Rgb(OnWhite(r, a), OnWhite(g, a), OnWhite(b, a));
}

// The codecs write pixels byte by byte. These turn words whose bytes in memory
// are B, G, R, A (straight alpha) or B, G, R, X (X ignored) into 0x00RRGGBB
// words in place, whatever the machine's byte order.
void FinishBgra(std::span<std::uint32_t> pixels);
void FinishBgrx(std::span<std::uint32_t> pixels);

// Each checks the picture's size against `bounds` before it allocates.
std::optional<DecodedImage> DecodePng(std::span<const std::uint8_t> data, const ImageBounds& bounds);
std::optional<DecodedImage> DecodeJpeg(std::span<const std::uint8_t> data, const ImageBounds& bounds);
std::optional<DecodedImage> DecodeGif(std::span<const std::uint8_t> data, const ImageBounds& bounds);
std::optional<DecodedImage> DecodeTiff(std::span<const std::uint8_t> data, const ImageBounds& bounds);
// `codestream` tells a raw codestream from a JP2 file.
std::optional<DecodedImage> DecodeJpeg2000(std::span<const std::uint8_t> data, bool codestream,
                                           const ImageBounds& bounds);
std::optional<DecodedImage> DecodeBmp(std::span<const std::uint8_t> data, const ImageBounds& bounds);

}  // namespace zov::image
