// JPEG through TurboJPEG. The size, the component count and the Adobe marker
// come from a walk over the markers of our own, which also tells whether the
// file runs to its end: libjpeg fills a picture cut short with grey and only
// warns. A cut picture is refused here; other damage libjpeg recovers from
// still shows, since real files often carry a little of it.
#include "platform/image/ImageCodecs.h"

#include <turbojpeg.h>

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>
#include <memory>

namespace zov {

namespace image {

namespace {

struct TjCloser {
    void operator()(void* handle) const { tjDestroy(handle); }
};
using TjHandle = std::unique_ptr<void, TjCloser>;

// The pixel format whose bytes in memory match 0x00RRGGBB words.
int WordPixelFormat() {
    return std::endian::native == std::endian::little ? TJPF_BGRX : TJPF_XRGB;
}

struct JpegLayout {
    std::int32_t width = 0;
    std::int32_t height = 0;
    int components = 0;
    bool adobe = false;
    bool complete = false;
};

bool IsStartOfFrame(std::uint8_t marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

JpegLayout ReadLayout(std::span<const std::uint8_t> data) {
    JpegLayout layout;
    const std::uint8_t* d = data.data();
    size_t size = data.size();
    size_t pos = 2;
    while (pos < size) {
        // Between segments libjpeg skips stray bytes up to the next marker.
        const void* ff = std::memchr(d + pos, 0xFF, size - pos);
        if (!ff)
            return layout;
        pos = static_cast<size_t>(static_cast<const std::uint8_t*>(ff) - d);
        while (pos < size && d[pos] == 0xFF)
            ++pos;
        if (pos >= size)
            return layout;
        std::uint8_t marker = d[pos++];
        if (marker == 0xD9) {
            layout.complete = true;
            return layout;
        }
        if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7))
            continue;
        if (size - pos < 2)
            return layout;
        size_t length = (size_t{d[pos]} << 8) | d[pos + 1];
        if (length < 2 || length > size - pos)
            return layout;
        const std::uint8_t* body = d + pos + 2;
        size_t bodySize = length - 2;
        if (IsStartOfFrame(marker) && bodySize >= 6 && layout.components == 0) {
            layout.height = (body[1] << 8) | body[2];
            layout.width = (body[3] << 8) | body[4];
            layout.components = body[5];
        }
        if (marker == 0xEE && bodySize >= 5 && std::memcmp(body, "Adobe", 5) == 0)
            layout.adobe = true;
        pos += length;
        if (marker == 0xDA) {
            // Entropy-coded data: a 0xFF in it is followed by 0x00 or a restart
            // marker; anything else is the next marker.
            while (pos < size) {
                ff = std::memchr(d + pos, 0xFF, size - pos);
                if (!ff)
                    return layout;
                pos = static_cast<size_t>(static_cast<const std::uint8_t*>(ff) - d);
                if (pos + 1 >= size)
                    return layout;
                std::uint8_t next = d[pos + 1];
                if (next != 0x00 && next != 0xFF && (next < 0xD0 || next > 0xD7))
                    break;
                pos += next == 0xFF ? 1 : 2;
            }
        }
    }
    return layout;
}

// Adobe applications store CMYK inverted (0 = full ink) and mark the file with
// their marker; other writers store plain ink values.
void CmykToRgb(std::span<std::uint32_t> pixels, bool inverted) {
    for (std::uint32_t& pixel : pixels) {
        std::uint8_t ink[4];
        std::memcpy(ink, &pixel, 4);
        if (!inverted) {
            for (std::uint8_t& v : ink)
                v = static_cast<std::uint8_t>(255 - v);
        }
        std::uint32_t k = ink[3];
        pixel = Rgb((ink[0] * k + 127) / 255, (ink[1] * k + 127) / 255, (ink[2] * k + 127) / 255);
    }
}

}  // namespace

std::optional<DecodedImage> DecodeJpeg(std::span<const std::uint8_t> data, const ImageBounds& bounds) {
    JpegLayout layout = ReadLayout(data);
    if (!layout.complete || !AcceptableSize(layout.width, layout.height, bounds))
        return std::nullopt;
    bool cmyk = layout.components == 4;
    if (layout.components != 1 && layout.components != 3 && !cmyk)
        return std::nullopt;
    TjHandle tj(tjInitDecompress());
    if (!tj)
        return std::nullopt;

    DecodedImage image;
    image.width = layout.width;
    image.height = layout.height;
    image.pixels.resize(static_cast<size_t>(layout.width) * static_cast<size_t>(layout.height));
    auto* out = reinterpret_cast<unsigned char*>(image.pixels.data());
    int result = tjDecompress2(tj.get(), data.data(), data.size(), out, layout.width, 0, layout.height,
                               cmyk ? TJPF_CMYK : WordPixelFormat(), 0);
    if (result != 0 && tjGetErrorCode(tj.get()) == TJERR_FATAL)
        return std::nullopt;
    if (cmyk)
        CmykToRgb(image.pixels, layout.adobe);
    else
        FinishBgrx(image.pixels);
    return image;
}

}  // namespace image

JpegEncoder::JpegEncoder() : handle_(tjInitCompress()) {}

JpegEncoder::~JpegEncoder() {
    if (handle_)
        tjDestroy(handle_);
}

std::vector<std::uint8_t> JpegEncoder::Encode(const JpegPicture& picture, int quality) {
    const std::ptrdiff_t pixelBytes = picture.input == JpegInput::Rgb ? 3 : 4;
    if (!handle_ || !picture.pixels || !image::AcceptableSize(picture.width, picture.height) ||
        picture.stride < picture.width * pixelBytes || picture.stride > INT32_MAX)
        return {};
    quality = std::clamp(quality, 1, 100);
    const int subsampling = quality >= 90 ? TJSAMP_444 : TJSAMP_420;
    const int format = picture.input == JpegInput::Rgb ? TJPF_RGB : image::WordPixelFormat();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    // The accurate DCT and the standard Huffman tables: the fast DCT saves
    // nothing measurable with the library's SIMD code, and optimised tables
    // cost a second pass.
    const int result = tjCompress2(handle_, picture.pixels, picture.width, static_cast<int>(picture.stride),
                                   picture.height, format, &jpeg, &size, subsampling, quality, 0);
    std::vector<std::uint8_t> out;
    if (result == 0 && jpeg)
        out.assign(jpeg, jpeg + size);
    tjFree(jpeg);
    return out;
}

std::vector<std::uint8_t> EncodeJpeg(const std::uint32_t* pixels, std::int32_t width, std::int32_t height,
                                     int quality) {
    JpegEncoder encoder;
    return encoder.Encode({reinterpret_cast<const std::uint8_t*>(pixels), width, height,
                           static_cast<std::ptrdiff_t>(width) * 4, JpegInput::Words},
                          quality);
}

}  // namespace zov
