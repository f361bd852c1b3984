// PNG through libpng. Reading uses the full API for control over the
// conversions: colour values are taken as stored, without gamma correction,
// as the rest of a page is drawn. libpng reports errors by longjmp, so every
// function that calls setjmp below holds only plain values.
#include "platform/image/ImageCodecs.h"

#include <png.h>

#include <csetjmp>
#include <cstring>

namespace zov {

namespace image {

namespace {

void ReadFromMemory(png_structp png, png_bytep out, size_t count) {
    auto* source = static_cast<MemorySource*>(png_get_io_ptr(png));
    if (count > source->size - source->pos)
        png_error(png, "truncated");
    std::memcpy(out, source->data + source->pos, count);
    source->pos += count;
}

[[noreturn]] void OnPngError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

class PngReader {
public:
    PngReader() {
        png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
        if (png_)
            info_ = png_create_info_struct(png_);
    }
    ~PngReader() { png_destroy_read_struct(&png_, info_ ? &info_ : nullptr, nullptr); }
    PngReader(const PngReader&) = delete;
    PngReader& operator=(const PngReader&) = delete;

    png_structp Png() const { return png_; }
    png_infop Info() const { return info_; }

private:
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
};

// Reads the header and sets up conversion of every colour type and depth to
// 8-bit B, G, R, A rows (A = 255 where the picture has no transparency).
bool ReadHeader(png_structp png, png_infop info, png_uint_32* width, png_uint_32* height) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_info(png, info);
    int depth = 0;
    int colourType = 0;
    png_get_IHDR(png, info, width, height, &depth, &colourType, nullptr, nullptr, nullptr);
    bool alpha = (colourType & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    png_set_expand(png);
    if (depth == 16)
        png_set_scale_16(png);
    if ((colourType & PNG_COLOR_MASK_COLOR) == 0)
        png_set_gray_to_rgb(png);
    png_set_bgr(png);
    if (!alpha)
        png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    return png_get_rowbytes(png, info) == static_cast<size_t>(*width) * 4;
}

// Reads every row and then on to the end chunk, so that a file cut anywhere
// is refused.
bool ReadRows(png_structp png, png_infop info, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_image(png, rows);
    png_read_end(png, info);
    return true;
}

}  // namespace

std::optional<DecodedImage> DecodePng(std::span<const std::uint8_t> data, const ImageBounds& bounds) {
    PngReader reader;
    if (!reader.Info())
        return std::nullopt;
    MemorySource source{data.data(), data.size(), 0};
    png_set_read_fn(reader.Png(), &source, ReadFromMemory);
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    if (!ReadHeader(reader.Png(), reader.Info(), &width, &height) || !AcceptableSize(width, height, bounds))
        return std::nullopt;

    DecodedImage image;
    image.width = static_cast<std::int32_t>(width);
    image.height = static_cast<std::int32_t>(height);
    image.pixels.resize(static_cast<size_t>(width) * height);
    std::vector<png_bytep> rows(height);
    for (png_uint_32 y = 0; y < height; ++y)
        rows[y] = reinterpret_cast<png_bytep>(image.pixels.data() + static_cast<size_t>(y) * width);
    if (!ReadRows(reader.Png(), reader.Info(), rows.data()))
        return std::nullopt;
    FinishBgra(image.pixels);
    return image;
}

}  // namespace image

std::vector<std::uint8_t> EncodePng(const std::uint32_t* pixels, std::int32_t width, std::int32_t height) {
    if (!pixels || !image::AcceptableSize(width, height))
        return {};
    size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    std::vector<std::uint8_t> rgb(count * 3);
    for (size_t i = 0; i < count; ++i) {
        rgb[i * 3] = static_cast<std::uint8_t>(pixels[i] >> 16);
        rgb[i * 3 + 1] = static_cast<std::uint8_t>(pixels[i] >> 8);
        rgb[i * 3 + 2] = static_cast<std::uint8_t>(pixels[i]);
    }

    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(width);
    png.height = static_cast<png_uint_32>(height);
    png.format = PNG_FORMAT_RGB;
    png_alloc_size_t size = PNG_IMAGE_PNG_SIZE_MAX(png);
    std::vector<std::uint8_t> out(size);
    bool written = png_image_write_to_memory(&png, out.data(), &size, 0, rgb.data(), 0, nullptr) != 0;
    png_image_free(&png);
    if (!written)
        return {};
    out.resize(size);
    return out;
}

}  // namespace zov
