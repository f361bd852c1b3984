// One front for every picture format the viewer meets inside page files and as
// plain image files: PNG, JPEG, GIF, TIFF, JPEG 2000 and BMP, told apart by
// their first bytes. Pictures come out as 0x00RRGGBB words, top row first.
//
// Alpha: pictures are shown as pages on paper, so a pixel with alpha a is
// composited onto white (c' = (c * a + 255 * (255 - a)) / 255, rounded) and the
// top byte is always 0. Showing the colour under a transparent pixel as it is
// would turn the transparent parts of most pictures black.
//
// Everything here treats its input as untrusted: sizes are checked against
// the caller's bounds and kMaxDecodedPixels before any pixel memory is
// allocated, and a damaged or truncated picture gives nothing rather than a
// crash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zov {

enum class ImageFormat { Unknown, Png, Jpeg, Gif, Tiff, Jpeg2000, Bmp };

struct DecodedImage {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint32_t> pixels;  // width * height words, 0x00RRGGBB
};

// Pictures with more pixels than this are refused whatever asks for them
// (64 Mi pixels, 256 MiB decoded): above a poster at 300 dpi.
inline constexpr std::int64_t kMaxDecodedPixels = std::int64_t{1} << 26;
// A plain image file larger than this is not read.
inline constexpr std::size_t kMaxImageFileBytes = std::size_t{128} << 20;

// The largest picture a caller takes. A page file says how large its picture
// is; a picture claiming more is refused before its pixels are allocated, so
// that a few hundred bytes cannot make the decoder fill hundreds of megabytes.
struct ImageBounds {
    std::int64_t maxWidth = kMaxDecodedPixels;
    std::int64_t maxHeight = kMaxDecodedPixels;
};

ImageFormat SniffImageFormat(std::span<const std::uint8_t> data);

// The first picture (frame, page) in `data`; nothing when the format is not
// one of the above, the data is damaged, or the picture is larger than
// `bounds` or kMaxDecodedPixels.
std::optional<DecodedImage> DecodeImage(std::span<const std::uint8_t> data, ImageBounds bounds = {});
// A regular file of at most kMaxImageFileBytes, decoded.
std::optional<DecodedImage> DecodeImageFile(std::wstring_view path);

// Encoders, for the converter, the inspection tool and tests. `pixels` holds
// width * height words 0x00RRGGBB. Empty on failure.
std::vector<std::uint8_t> EncodePng(const std::uint32_t* pixels, std::int32_t width, std::int32_t height);
std::vector<std::uint8_t> EncodeJpeg(const std::uint32_t* pixels, std::int32_t width, std::int32_t height,
                                     int quality);

// Rows as the caller holds them, `stride` bytes apart: 0x00RRGGBB words, or
// three bytes R, G, B a pixel as renderers write them.
enum class JpegInput { Words, Rgb };
struct JpegPicture {
    const std::uint8_t* pixels = nullptr;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::ptrdiff_t stride = 0;
    JpegInput input = JpegInput::Words;
};

// Baseline JPEG at `quality` (1 to 100); below 90 chroma is halved both ways
// (4:2:0), as photographs are usually stored, from 90 up it is kept whole.
// One encoder keeps its state between pictures: a converter makes one per
// thread rather than one per page. Empty on failure.
class JpegEncoder {
public:
    JpegEncoder();
    ~JpegEncoder();
    JpegEncoder(const JpegEncoder&) = delete;
    JpegEncoder& operator=(const JpegEncoder&) = delete;

    std::vector<std::uint8_t> Encode(const JpegPicture& picture, int quality);

private:
    void* handle_ = nullptr;
};
bool WritePngFile(std::wstring_view path, const std::uint32_t* pixels, std::int32_t width, std::int32_t height);

}  // namespace zov
