// GIF through giflib: the first frame laid onto the logical screen. The rest
// of the screen and the frame's transparent colour show the paper.
#include "platform/image/ImageCodecs.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace zov::image {

namespace {

int ReadFromMemory(GifFileType* gif, GifByteType* out, int count) {
    auto* source = static_cast<MemorySource*>(gif->UserData);
    size_t n = std::min(static_cast<size_t>(std::max(count, 0)), source->size - source->pos);
    std::memcpy(out, source->data + source->pos, n);
    source->pos += n;
    return static_cast<int>(n);
}

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};
using GifHandle = std::unique_ptr<GifFileType, GifCloser>;

// Reads records up to the first image descriptor; the transparent colour of a
// graphic control block before it applies to that image.
bool SeekFirstImage(GifFileType* gif, int* transparent) {
    *transparent = NO_TRANSPARENT_COLOR;
    for (;;) {
        GifRecordType record;
        if (DGifGetRecordType(gif, &record) == GIF_ERROR)
            return false;
        if (record == IMAGE_DESC_RECORD_TYPE)
            return DGifGetImageDesc(gif) != GIF_ERROR;
        if (record != EXTENSION_RECORD_TYPE)
            return false;
        int code = 0;
        GifByteType* block = nullptr;
        if (DGifGetExtension(gif, &code, &block) == GIF_ERROR)
            return false;
        if (code == GRAPHICS_EXT_FUNC_CODE && block) {
            GraphicsControlBlock control;
            if (DGifExtensionToGCB(block[0], block + 1, &control) != GIF_ERROR)
                *transparent = control.TransparentColor;
        }
        while (block) {
            if (DGifGetExtensionNext(gif, &block) == GIF_ERROR)
                return false;
        }
    }
}

}  // namespace

std::optional<DecodedImage> DecodeGif(std::span<const std::uint8_t> data, const ImageBounds& bounds) {
    MemorySource source{data.data(), data.size(), 0};
    int error = 0;
    GifHandle gif(DGifOpen(&source, ReadFromMemory, &error));
    if (!gif)
        return std::nullopt;
    int transparent = NO_TRANSPARENT_COLOR;
    if (!SeekFirstImage(gif.get(), &transparent))
        return std::nullopt;

    const GifImageDesc& frame = gif->Image;
    const ColorMapObject* map = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
    if (!map || !AcceptableSize(frame.Width, frame.Height, bounds))
        return std::nullopt;
    // A frame reaching past the logical screen widens it rather than being cut.
    std::int64_t width = std::max<std::int64_t>(gif->SWidth, std::int64_t{frame.Left} + frame.Width);
    std::int64_t height = std::max<std::int64_t>(gif->SHeight, std::int64_t{frame.Top} + frame.Height);
    if (frame.Left < 0 || frame.Top < 0 || !AcceptableSize(width, height, bounds))
        return std::nullopt;

    std::uint32_t palette[256];
    std::fill(std::begin(palette), std::end(palette), 0);
    for (int i = 0; i < std::min(map->ColorCount, 256); ++i) {
        const GifColorType& c = map->Colors[i];
        palette[i] = Rgb(c.Red, c.Green, c.Blue);
    }

    DecodedImage image = BlankImage(static_cast<std::int32_t>(width), static_cast<std::int32_t>(height));
    std::vector<GifPixelType> line(static_cast<size_t>(frame.Width));
    auto readRow = [&](int row) {
        if (DGifGetLine(gif.get(), line.data(), frame.Width) == GIF_ERROR)
            return false;
        std::uint32_t* out = image.pixels.data() + static_cast<size_t>(frame.Top + row) * image.width + frame.Left;
        for (int x = 0; x < frame.Width; ++x) {
            if (line[x] != transparent)
                out[x] = palette[line[x]];
        }
        return true;
    };
    if (frame.Interlace) {
        static constexpr int kPassStart[] = {0, 4, 2, 1};
        static constexpr int kPassStep[] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass) {
            for (int row = kPassStart[pass]; row < frame.Height; row += kPassStep[pass]) {
                if (!readRow(row))
                    return std::nullopt;
            }
        }
    } else {
        for (int row = 0; row < frame.Height; ++row) {
            if (!readRow(row))
                return std::nullopt;
        }
    }
    return image;
}

}  // namespace zov::image
