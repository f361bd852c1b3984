// TIFF through libtiff's RGBA interface: the first page, whatever its
// photometric interpretation, compression, planar layout or orientation.
#include "platform/image/ImageCodecs.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace zov::image {

namespace {

MemorySource& SourceOf(thandle_t handle) {
    return *static_cast<MemorySource*>(handle);
}

tmsize_t ReadFromMemory(thandle_t handle, void* out, tmsize_t count) {
    MemorySource& source = SourceOf(handle);
    if (count <= 0 || source.pos >= source.size)
        return 0;
    std::uint64_t n = std::min<std::uint64_t>(static_cast<std::uint64_t>(count), source.size - source.pos);
    std::memcpy(out, source.data + source.pos, n);
    source.pos += n;
    return static_cast<tmsize_t>(n);
}

tmsize_t RefuseWrite(thandle_t, void*, tmsize_t) {
    return 0;
}

toff_t SeekInMemory(thandle_t handle, toff_t offset, int whence) {
    MemorySource& source = SourceOf(handle);
    std::uint64_t base = whence == SEEK_CUR ? source.pos : whence == SEEK_END ? source.size : 0;
    // Offsets arrive unsigned: a backward move wraps around, and lands past
    // the end like any move that leaves the data.
    std::uint64_t target = base + offset;
    if (target > source.size)
        return static_cast<toff_t>(-1);
    source.pos = target;
    return target;
}

int CloseMemory(thandle_t) {
    return 0;
}

toff_t SizeOfMemory(thandle_t handle) {
    return SourceOf(handle).size;
}

int NoMapping(thandle_t, void**, toff_t*) {
    return 0;
}

void NoUnmapping(thandle_t, void*, toff_t) {}

// Damaged files are reported by the result; libtiff's messages would only
// clutter the viewer's output.
int Quiet(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

struct TiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

TIFF* OpenInMemory(MemorySource* source) {
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (!options)
        return nullptr;
    TIFFOpenOptionsSetErrorHandlerExtR(options, Quiet, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, Quiet, nullptr);
    // Enough for one strip of the largest picture at 16 bits a sample with
    // alpha; a header claiming more is damaged.
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, static_cast<tmsize_t>(kMaxDecodedPixels * 8));
    TIFF* tiff = TIFFClientOpenExt("picture", "rm", source, ReadFromMemory, RefuseWrite, SeekInMemory, CloseMemory,
                                   SizeOfMemory, NoMapping, NoUnmapping, options);
    TIFFOpenOptionsFree(options);
    return tiff;
}

}  // namespace

std::optional<DecodedImage> DecodeTiff(std::span<const std::uint8_t> data, const ImageBounds& bounds) {
    MemorySource source{data.data(), data.size(), 0};
    TiffHandle tiff(OpenInMemory(&source));
    if (!tiff)
        return std::nullopt;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    if (!TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width) ||
        !TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height) || !AcceptableSize(width, height, bounds))
        return std::nullopt;

    char message[1024];
    TIFFRGBAImage reader;
    if (!TIFFRGBAImageOK(tiff.get(), message) || !TIFFRGBAImageBegin(&reader, tiff.get(), 1, message))
        return std::nullopt;
    reader.req_orientation = ORIENTATION_TOPLEFT;
    // libtiff hands out colour premultiplied by alpha, except for grey
    // pictures, whose alpha it passes on as stored.
    bool premultiplied =
        reader.photometric != PHOTOMETRIC_MINISBLACK && reader.photometric != PHOTOMETRIC_MINISWHITE;
    DecodedImage image;
    image.width = static_cast<std::int32_t>(width);
    image.height = static_cast<std::int32_t>(height);
    image.pixels.resize(static_cast<size_t>(width) * height);
    bool read = TIFFRGBAImageGet(&reader, image.pixels.data(), width, height) != 0;
    TIFFRGBAImageEnd(&reader);
    if (!read)
        return std::nullopt;

    for (std::uint32_t& pixel : image.pixels) {
        std::uint32_t r = TIFFGetR(pixel);
        std::uint32_t g = TIFFGetG(pixel);
        std::uint32_t b = TIFFGetB(pixel);
        std::uint32_t a = TIFFGetA(pixel);
        if (premultiplied) {
            std::uint32_t paper = 255 - a;
            pixel = Rgb(std::min(r + paper, 255u), std::min(g + paper, 255u), std::min(b + paper, 255u));
        } else {
            pixel = RgbaOnWhite(r, g, b, a);
        }
    }
    return image;
}

}  // namespace zov::image
