#include "platform/image/ImageDecoder.h"

#include "platform/FileSystem.h"
#include "platform/image/ImageCodecs.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace zov {

namespace {

template <size_t N>
bool StartsWith(std::span<const std::uint8_t> data, const std::uint8_t (&magic)[N]) {
    return data.size() >= N && std::memcmp(data.data(), magic, N) == 0;
}

constexpr std::uint8_t kPngMagic[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr std::uint8_t kJpegMagic[] = {0xFF, 0xD8, 0xFF};
constexpr std::uint8_t kGif87Magic[] = {'G', 'I', 'F', '8', '7', 'a'};
constexpr std::uint8_t kGif89Magic[] = {'G', 'I', 'F', '8', '9', 'a'};
constexpr std::uint8_t kTiffLittleMagic[] = {'I', 'I', 42, 0};
constexpr std::uint8_t kTiffBigMagic[] = {'M', 'M', 0, 42};
// BigTIFF: libtiff reads it like any other TIFF.
constexpr std::uint8_t kBigTiffLittleMagic[] = {'I', 'I', 43, 0};
constexpr std::uint8_t kBigTiffBigMagic[] = {'M', 'M', 0, 43};
constexpr std::uint8_t kJp2Magic[] = {0x00, 0x00, 0x00, 0x0C, 'j', 'P', ' ', ' ', 0x0D, 0x0A, 0x87, 0x0A};
constexpr std::uint8_t kJ2kMagic[] = {0xFF, 0x4F, 0xFF, 0x51};
constexpr std::uint8_t kBmpMagic[] = {'B', 'M'};

}  // namespace

namespace image {

bool AcceptableSize(std::int64_t width, std::int64_t height, const ImageBounds& bounds) {
    return width > 0 && height > 0 && width <= bounds.maxWidth && height <= bounds.maxHeight &&
           width <= kMaxDecodedPixels && height <= kMaxDecodedPixels && width * height <= kMaxDecodedPixels;
}

DecodedImage BlankImage(std::int32_t width, std::int32_t height) {
    DecodedImage image;
    image.width = width;
    image.height = height;
    image.pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0x00FFFFFF);
    return image;
}

void FinishBgra(std::span<std::uint32_t> pixels) {
    for (std::uint32_t& pixel : pixels) {
        std::uint8_t b[4];
        std::memcpy(b, &pixel, 4);
        pixel = RgbaOnWhite(b[2], b[1], b[0], b[3]);
    }
}

void FinishBgrx(std::span<std::uint32_t> pixels) {
    for (std::uint32_t& pixel : pixels) {
        std::uint8_t b[4];
        std::memcpy(b, &pixel, 4);
        pixel = Rgb(b[2], b[1], b[0]);
    }
}

}  // namespace image

ImageFormat SniffImageFormat(std::span<const std::uint8_t> data) {
    if (StartsWith(data, kPngMagic))
        return ImageFormat::Png;
    if (StartsWith(data, kJpegMagic))
        return ImageFormat::Jpeg;
    if (StartsWith(data, kGif87Magic) || StartsWith(data, kGif89Magic))
        return ImageFormat::Gif;
    if (StartsWith(data, kTiffLittleMagic) || StartsWith(data, kTiffBigMagic) ||
        StartsWith(data, kBigTiffLittleMagic) || StartsWith(data, kBigTiffBigMagic))
        return ImageFormat::Tiff;
    if (StartsWith(data, kJp2Magic) || StartsWith(data, kJ2kMagic))
        return ImageFormat::Jpeg2000;
    if (StartsWith(data, kBmpMagic))
        return ImageFormat::Bmp;
    return ImageFormat::Unknown;
}

std::optional<DecodedImage> DecodeImage(std::span<const std::uint8_t> data, ImageBounds bounds) {
    switch (SniffImageFormat(data)) {
    case ImageFormat::Png:
        return image::DecodePng(data, bounds);
    case ImageFormat::Jpeg:
        return image::DecodeJpeg(data, bounds);
    case ImageFormat::Gif:
        return image::DecodeGif(data, bounds);
    case ImageFormat::Tiff:
        return image::DecodeTiff(data, bounds);
    case ImageFormat::Jpeg2000:
        return image::DecodeJpeg2000(data, StartsWith(data, kJ2kMagic), bounds);
    case ImageFormat::Bmp:
        return image::DecodeBmp(data, bounds);
    case ImageFormat::Unknown:
        break;
    }
    return std::nullopt;
}

std::optional<DecodedImage> DecodeImageFile(std::wstring_view path) {
    std::optional<std::string> bytes = ReadRegularFile(path, kMaxImageFileBytes);
    if (!bytes)
        return std::nullopt;
    return DecodeImage(
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size()));
}

bool WritePngFile(std::wstring_view path, const std::uint32_t* pixels, std::int32_t width, std::int32_t height) {
    std::vector<std::uint8_t> png = EncodePng(pixels, width, height);
    // A half-written picture would later read as damaged; none is left behind.
    return !png.empty() &&
           WriteFileAtomically(path, std::string_view(reinterpret_cast<const char*>(png.data()), png.size()));
}

}  // namespace zov
