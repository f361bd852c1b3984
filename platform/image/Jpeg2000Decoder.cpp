// JPEG 2000 (JP2 files and raw codestreams) through OpenJPEG. OpenJPEG hands
// out components as they are coded: any precision, signed or not, and possibly
// at a coarser sampling than the picture; they are brought to 8-bit RGB here.
#include "platform/image/ImageCodecs.h"

#include <openjpeg.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

namespace zov::image {

namespace {

OPJ_SIZE_T ReadFromMemory(void* out, OPJ_SIZE_T count, void* user) {
    auto* source = static_cast<MemorySource*>(user);
    if (source->pos >= source->size)
        return static_cast<OPJ_SIZE_T>(-1);
    std::uint64_t n = std::min<std::uint64_t>(count, source->size - source->pos);
    std::memcpy(out, source->data + source->pos, n);
    source->pos += n;
    return n;
}

OPJ_OFF_T SkipInMemory(OPJ_OFF_T count, void* user) {
    auto* source = static_cast<MemorySource*>(user);
    std::int64_t target = std::clamp<std::int64_t>(static_cast<std::int64_t>(source->pos) + count, 0,
                                                   static_cast<std::int64_t>(source->size));
    OPJ_OFF_T moved = target - static_cast<std::int64_t>(source->pos);
    source->pos = static_cast<std::uint64_t>(target);
    return moved;
}

OPJ_BOOL SeekInMemory(OPJ_OFF_T pos, void* user) {
    auto* source = static_cast<MemorySource*>(user);
    if (pos < 0 || static_cast<std::uint64_t>(pos) > source->size)
        return OPJ_FALSE;
    source->pos = static_cast<std::uint64_t>(pos);
    return OPJ_TRUE;
}

void Quiet(const char*, void*) {}

struct StreamCloser {
    void operator()(opj_stream_t* stream) const { opj_stream_destroy(stream); }
};
struct CodecCloser {
    void operator()(opj_codec_t* codec) const { opj_destroy_codec(codec); }
};
struct ImageCloser {
    void operator()(opj_image_t* image) const { opj_image_destroy(image); }
};

// One component read at the picture's pixels: the nearest sample where the
// component is subsampled, values brought to 0..255.
class Channel {
public:
    bool Init(const opj_image_t& image, const opj_image_comp_t& comp, std::uint32_t width) {
        if (!comp.data || comp.w == 0 || comp.h == 0 || comp.dx == 0 || comp.dy == 0 || comp.prec < 1 ||
            comp.prec > 31)
            return false;
        comp_ = &comp;
        max_ = (std::int64_t{1} << comp.prec) - 1;
        offset_ = comp.sgnd ? std::int64_t{1} << (comp.prec - 1) : 0;
        columns_.resize(width);
        for (std::uint32_t x = 0; x < width; ++x)
            columns_[x] = Nearest(image.x0 + x, comp.dx, comp.x0, comp.w);
        return true;
    }

    void SetRow(std::uint32_t gridY) {
        row_ = comp_->data + size_t{Nearest(gridY, comp_->dy, comp_->y0, comp_->h)} * comp_->w;
    }

    std::uint32_t At(std::uint32_t x) const {
        std::int64_t v = std::clamp<std::int64_t>(std::int64_t{row_[columns_[x]]} + offset_, 0, max_);
        if (max_ == 255)
            return static_cast<std::uint32_t>(v);
        return static_cast<std::uint32_t>((v * 255 + max_ / 2) / max_);
    }

private:
    static std::uint32_t Nearest(std::uint32_t grid, std::uint32_t step, std::uint32_t first, std::uint32_t count) {
        std::int64_t sample = std::int64_t{grid / step} - first;
        return static_cast<std::uint32_t>(std::clamp<std::int64_t>(sample, 0, std::int64_t{count} - 1));
    }

    const opj_image_comp_t* comp_ = nullptr;
    std::int64_t max_ = 255;
    std::int64_t offset_ = 0;
    std::vector<std::uint32_t> columns_;
    const OPJ_INT32* row_ = nullptr;
};

enum class Colour { Grey, Rgb, Ycc, Cmyk };

std::uint32_t ClampByte(double v) {
    return static_cast<std::uint32_t>(std::clamp(std::lround(v), 0L, 255L));
}

std::uint32_t YccToRgb(std::uint32_t y, std::uint32_t cb, std::uint32_t cr) {
    double b = static_cast<double>(cb) - 128;
    double r = static_cast<double>(cr) - 128;
    return Rgb(ClampByte(y + 1.402 * r), ClampByte(y - 0.344136 * b - 0.714136 * r), ClampByte(y + 1.772 * b));
}

std::uint32_t CmykToRgb(std::uint32_t c, std::uint32_t m, std::uint32_t y, std::uint32_t k) {
    std::uint32_t white = 255 - k;
    return Rgb(((255 - c) * white + 127) / 255, ((255 - m) * white + 127) / 255, ((255 - y) * white + 127) / 255);
}

std::optional<DecodedImage> ToPicture(const opj_image_t& coded, const ImageBounds& bounds) {
    std::uint32_t width = coded.x1 - coded.x0;
    std::uint32_t height = coded.y1 - coded.y0;
    if (coded.x1 <= coded.x0 || coded.y1 <= coded.y0 || !AcceptableSize(width, height, bounds) || !coded.comps)
        return std::nullopt;

    // Channel definitions mark alpha; without them a second or fourth
    // component is taken as alpha, as writers mean it.
    std::vector<std::uint32_t> colourComps;
    int alphaComp = -1;
    for (std::uint32_t i = 0; i < coded.numcomps; ++i) {
        if (coded.comps[i].alpha == 0)
            colourComps.push_back(i);
        else if (alphaComp < 0)
            alphaComp = static_cast<int>(i);
    }
    bool cmyk = coded.color_space == OPJ_CLRSPC_CMYK && colourComps.size() >= 4;
    if (alphaComp < 0 && !cmyk && (coded.numcomps == 2 || coded.numcomps == 4)) {
        alphaComp = static_cast<int>(colourComps.back());
        colourComps.pop_back();
    }
    if (colourComps.empty())
        return std::nullopt;
    Colour colour = cmyk ? Colour::Cmyk
                    : colourComps.size() < 3 ? Colour::Grey
                    : coded.color_space == OPJ_CLRSPC_SYCC ? Colour::Ycc
                                                           : Colour::Rgb;
    colourComps.resize(colour == Colour::Grey ? 1 : colour == Colour::Cmyk ? 4 : 3);
    bool premultiplied = alphaComp >= 0 && coded.comps[alphaComp].alpha == 2;

    std::vector<Channel> channels(colourComps.size() + (alphaComp >= 0 ? 1 : 0));
    for (size_t i = 0; i < colourComps.size(); ++i) {
        if (!channels[i].Init(coded, coded.comps[colourComps[i]], width))
            return std::nullopt;
    }
    if (alphaComp >= 0 && !channels.back().Init(coded, coded.comps[alphaComp], width))
        return std::nullopt;

    DecodedImage image;
    image.width = static_cast<std::int32_t>(width);
    image.height = static_cast<std::int32_t>(height);
    image.pixels.resize(size_t{width} * height);
    std::uint32_t* out = image.pixels.data();
    for (std::uint32_t y = 0; y < height; ++y) {
        for (Channel& channel : channels)
            channel.SetRow(coded.y0 + y);
        for (std::uint32_t x = 0; x < width; ++x) {
            std::uint32_t pixel = 0;
            switch (colour) {
            case Colour::Grey:
                pixel = channels[0].At(x) * 0x010101;
                break;
            case Colour::Rgb:
                pixel = Rgb(channels[0].At(x), channels[1].At(x), channels[2].At(x));
                break;
            case Colour::Ycc:
                pixel = YccToRgb(channels[0].At(x), channels[1].At(x), channels[2].At(x));
                break;
            case Colour::Cmyk:
                pixel = CmykToRgb(channels[0].At(x), channels[1].At(x), channels[2].At(x), channels[3].At(x));
                break;
            }
            if (alphaComp >= 0) {
                std::uint32_t a = channels.back().At(x);
                std::uint32_t r = pixel >> 16;
                std::uint32_t g = (pixel >> 8) & 0xFF;
                std::uint32_t b = pixel & 0xFF;
                if (premultiplied)
                    pixel = Rgb(std::min(r + 255 - a, 255u), std::min(g + 255 - a, 255u), std::min(b + 255 - a, 255u));
                else
                    pixel = RgbaOnWhite(r, g, b, a);
            }
            *out++ = pixel;
        }
    }
    return image;
}

// OpenJPEG decodes every component into a plane of 32-bit samples, so the
// planes, not the picture, are what a header can inflate: their samples in
// all are bounded like the pixels of a picture, and so is their number.
constexpr std::uint32_t kMaxComponents = 8;
constexpr std::uint64_t kMaxPlaneSamples = kMaxDecodedPixels;

bool AcceptablePlanes(const opj_image_t& coded) {
    if (!coded.comps || coded.numcomps == 0 || coded.numcomps > kMaxComponents)
        return false;
    std::uint64_t samples = 0;
    for (std::uint32_t i = 0; i < coded.numcomps; ++i) {
        const opj_image_comp_t& comp = coded.comps[i];
        if (comp.dx == 0 || comp.dy == 0)
            return false;
        std::uint64_t columns = (std::uint64_t{coded.x1} - coded.x0 + comp.dx - 1) / comp.dx;
        std::uint64_t rows = (std::uint64_t{coded.y1} - coded.y0 + comp.dy - 1) / comp.dy;
        samples += columns * rows;
        if (samples > kMaxPlaneSamples)
            return false;
    }
    return true;
}

}  // namespace

std::optional<DecodedImage> DecodeJpeg2000(std::span<const std::uint8_t> data, bool codestream,
                                           const ImageBounds& bounds) {
    MemorySource source{data.data(), data.size(), 0};
    std::unique_ptr<opj_stream_t, StreamCloser> stream(opj_stream_create(OPJ_J2K_STREAM_CHUNK_SIZE, OPJ_TRUE));
    std::unique_ptr<opj_codec_t, CodecCloser> codec(opj_create_decompress(codestream ? OPJ_CODEC_J2K : OPJ_CODEC_JP2));
    if (!stream || !codec)
        return std::nullopt;
    opj_stream_set_user_data(stream.get(), &source, nullptr);
    opj_stream_set_user_data_length(stream.get(), data.size());
    opj_stream_set_read_function(stream.get(), ReadFromMemory);
    opj_stream_set_skip_function(stream.get(), SkipInMemory);
    opj_stream_set_seek_function(stream.get(), SeekInMemory);
    opj_set_info_handler(codec.get(), Quiet, nullptr);
    opj_set_warning_handler(codec.get(), Quiet, nullptr);
    opj_set_error_handler(codec.get(), Quiet, nullptr);

    opj_dparameters_t parameters;
    opj_set_default_decoder_parameters(&parameters);
    // Strict: a codestream cut short fails instead of giving a blurred picture.
    if (!opj_setup_decoder(codec.get(), &parameters) || !opj_decoder_set_strict_mode(codec.get(), OPJ_TRUE))
        return std::nullopt;

    opj_image_t* header = nullptr;
    bool readHeader = opj_read_header(stream.get(), codec.get(), &header) != 0;
    std::unique_ptr<opj_image_t, ImageCloser> coded(header);
    if (!readHeader || !coded)
        return std::nullopt;
    // Sizes are checked before OpenJPEG allocates the component planes.
    if (coded->x1 <= coded->x0 || coded->y1 <= coded->y0 ||
        !AcceptableSize(coded->x1 - coded->x0, coded->y1 - coded->y0, bounds) || !AcceptablePlanes(*coded))
        return std::nullopt;
    if (!opj_decode(codec.get(), stream.get(), coded.get()) || !opj_end_decompress(codec.get(), stream.get()))
        return std::nullopt;
    return ToPicture(*coded, bounds);
}

}  // namespace zov::image
