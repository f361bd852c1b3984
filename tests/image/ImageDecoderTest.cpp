#include "platform/image/ImageDecoder.h"

#include "platform/Encoding.h"
#include "tests/support/FifoTrap.h"
#include "tests/support/TempDataHome.h"

#include <gif_lib.h>
#include <openjpeg.h>
#include <png.h>
#include <tiffio.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>

namespace zov {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Pixels = std::vector<std::uint32_t>;

constexpr int kWidth = 7;  // odd, so that row padding matters
constexpr int kHeight = 5;
constexpr std::uint32_t kWhite = 0x00FFFFFF;

std::uint8_t R(std::uint32_t p) { return static_cast<std::uint8_t>(p >> 16); }
std::uint8_t G(std::uint32_t p) { return static_cast<std::uint8_t>(p >> 8); }
std::uint8_t B(std::uint32_t p) { return static_cast<std::uint8_t>(p); }

// Every pixel a different colour. The first is pure red and the last pure
// blue, so that every exact round trip also checks the byte order.
Pixels Sample() {
    Pixels p(kWidth * kHeight);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x)
            p[y * kWidth + x] = ((40u + x * 30) << 16) | ((20u + y * 50) << 8) | ((x * 7u + y * 11) * 2);
    }
    p[0] = 0xFF0000;
    p[1] = 0x0080FF;
    p[2] = 0x123456;
    p.back() = 0x0000FF;
    return p;
}

// The sample with alpha: pixel 1 half covering, pixel 2 not at all.
Bytes SampleRgba() {
    Bytes rgba;
    for (std::uint32_t p : Sample())
        rgba.insert(rgba.end(), {R(p), G(p), B(p), 255});
    rgba[7] = 128;
    rgba[11] = 0;
    return rgba;
}

Pixels SampleOnWhite() {
    Pixels p = Sample();
    p[1] = 0x7FBFFF;  // (0x00 * 128 + 255 * 127) / 255 = 127, ...
    p[2] = kWhite;
    return p;
}

std::optional<DecodedImage> Decode(const Bytes& bytes) {
    return DecodeImage(std::span<const std::uint8_t>(bytes));
}

void ExpectPixels(const std::optional<DecodedImage>& image, int width, const Pixels& expected, int tolerance = 0) {
    ASSERT_TRUE(image.has_value());
    ASSERT_EQ(image->width, width);
    ASSERT_EQ(image->height, static_cast<int>(expected.size()) / width);
    ASSERT_EQ(image->pixels.size(), expected.size());
    int failures = 0;
    for (size_t i = 0; i < expected.size() && failures < 5; ++i) {
        std::uint32_t got = image->pixels[i];
        std::uint32_t want = expected[i];
        int worst = std::max({std::abs(R(got) - R(want)), std::abs(G(got) - G(want)), std::abs(B(got) - B(want))});
        if (worst > tolerance || (got >> 24) != 0) {
            ++failures;
            ADD_FAILURE() << "pixel (" << i % width << ", " << i / width << ") is " << std::hex << got
                          << ", expected " << want;
        }
    }
}

// Every cut of `bytes` that drops more than `spare` bytes from the end is refused.
void ExpectCutsRefused(const Bytes& bytes, size_t spare = 0) {
    for (size_t n = 0; n + spare < bytes.size(); ++n)
        EXPECT_FALSE(DecodeImage(std::span<const std::uint8_t>(bytes.data(), n)).has_value()) << "cut at " << n;
}

// Writes `size` bytes of `v` at `at`, least significant first unless `big`.
void Put(Bytes& b, size_t at, std::uint32_t v, size_t size = 4, bool big = false) {
    for (size_t i = 0; i < size; ++i)
        b[at + (big ? size - 1 - i : i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// ---- Samples made with the libraries' own encoders ----

Bytes WritePng(png_uint_32 width, png_uint_32 height, png_uint_32 format, const void* pixels,
               const void* colormap = nullptr, png_uint_32 colours = 0) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = height;
    image.format = format;
    image.colormap_entries = colours;
    png_alloc_size_t size = PNG_IMAGE_PNG_SIZE_MAX(image);
    Bytes out(size);
    EXPECT_TRUE(png_image_write_to_memory(&image, out.data(), &size, 0, pixels, 0, colormap));
    out.resize(size);
    return out;
}

struct GifSpec {
    int screenWidth = kWidth;
    int screenHeight = kHeight;
    int left = 0;
    int top = 0;
    bool interlace = false;
    int transparent = NO_TRANSPARENT_COLOR;
};

// The sample as a GIF: pixel i has palette index i.
Bytes MakeGif(const GifSpec& spec) {
    Pixels sample = Sample();
    GifColorType colours[64] = {};
    for (size_t i = 0; i < sample.size(); ++i)
        colours[i] = {R(sample[i]), G(sample[i]), B(sample[i])};
    Bytes out;
    auto write = [](GifFileType* gif, const GifByteType* data, int n) {
        static_cast<Bytes*>(gif->UserData)->insert(static_cast<Bytes*>(gif->UserData)->end(), data, data + n);
        return n;
    };
    int error = 0;
    GifFileType* gif = EGifOpen(&out, write, &error);
    ColorMapObject* map = GifMakeMapObject(64, colours);
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, spec.screenWidth, spec.screenHeight, 8, 0, map);
    GraphicsControlBlock control{};
    control.TransparentColor = spec.transparent;
    GifByteType extension[4];
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(EGifGCBToExtension(&control, extension)), extension);
    EGifPutImageDesc(gif, spec.left, spec.top, kWidth, kHeight, spec.interlace, nullptr);
    using Passes = std::vector<std::pair<int, int>>;
    for (auto [start, step] : spec.interlace ? Passes{{0, 8}, {4, 8}, {2, 4}, {1, 2}} : Passes{{0, 1}}) {
        for (int y = start; y < kHeight; y += step) {
            GifPixelType line[kWidth];
            for (int x = 0; x < kWidth; ++x)
                line[x] = static_cast<GifPixelType>(y * kWidth + x);
            EXPECT_EQ(EGifPutLine(gif, line, kWidth), GIF_OK);
        }
    }
    EXPECT_EQ(EGifCloseFile(gif, &error), GIF_OK);
    GifFreeMapObject(map);
    return out;
}

struct TiffPage {
    int width;
    int height;
    int samples;  // 1 or 3, and one more for alpha
    Bytes data;   // rows top first
    std::uint16_t compression = COMPRESSION_NONE;
};

Bytes MakeTiff(const std::string& path, const std::vector<TiffPage>& pages) {
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    EXPECT_NE(tiff, nullptr);
    for (const TiffPage& page : pages) {
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, page.width);
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, page.height);
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, page.samples);
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, page.samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
        TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tiff, TIFFTAG_COMPRESSION, page.compression);
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 2);
        if (page.samples % 2 == 0) {
            std::uint16_t extra = EXTRASAMPLE_UNASSALPHA;
            TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, &extra);
        }
        for (int y = 0; y < page.height; ++y) {
            Bytes row(page.data.begin() + y * page.width * page.samples, page.data.end());
            EXPECT_EQ(TIFFWriteScanline(tiff, row.data(), y, 0), 1);
        }
        TIFFWriteDirectory(tiff);
    }
    TIFFClose(tiff);
    return ReadFile(path);
}

Bytes SampleRgb() {
    Bytes rgb;
    for (std::uint32_t p : Sample())
        rgb.insert(rgb.end(), {R(p), G(p), B(p)});
    return rgb;
}

struct J2kComponent {
    std::uint32_t dx = 1;
    std::uint32_t dy = 1;
    std::uint32_t precision = 8;
    bool isSigned = false;
    std::function<int(int x, int y)> value;  // at sample (x, y) of the component
};

// A lossless JPEG 2000 file or codestream, written by OpenJPEG.
Bytes MakeJpeg2000(const std::string& path, OPJ_CODEC_FORMAT format, int width, int height,
                   const std::vector<J2kComponent>& components, OPJ_COLOR_SPACE space = OPJ_CLRSPC_SRGB) {
    std::vector<opj_image_cmptparm_t> parameters(components.size());
    for (size_t i = 0; i < components.size(); ++i) {
        std::memset(&parameters[i], 0, sizeof parameters[i]);
        parameters[i].dx = components[i].dx;
        parameters[i].dy = components[i].dy;
        parameters[i].w = (width + components[i].dx - 1) / components[i].dx;
        parameters[i].h = (height + components[i].dy - 1) / components[i].dy;
        parameters[i].prec = components[i].precision;
        parameters[i].sgnd = components[i].isSigned;
    }
    opj_image_t* image = opj_image_create(static_cast<OPJ_UINT32>(components.size()), parameters.data(), space);
    image->x1 = width;
    image->y1 = height;
    for (size_t i = 0; i < components.size(); ++i) {
        for (OPJ_UINT32 y = 0; y < parameters[i].h; ++y)
            for (OPJ_UINT32 x = 0; x < parameters[i].w; ++x)
                image->comps[i].data[y * parameters[i].w + x] = components[i].value(x, y);
    }
    opj_cparameters_t encoding;
    opj_set_default_encoder_parameters(&encoding);
    encoding.tcp_numlayers = 1;
    encoding.tcp_rates[0] = 0;
    encoding.cp_disto_alloc = 1;
    encoding.numresolution = std::min(width, height) >= 2 ? 2 : 1;
    encoding.tcp_mct = components.size() >= 3 && components[1].dx == 1 ? 1 : 0;
    opj_codec_t* codec = opj_create_compress(format);
    opj_stream_t* stream = opj_stream_create_default_file_stream(path.c_str(), OPJ_FALSE);
    EXPECT_TRUE(opj_setup_encoder(codec, &encoding, image) && opj_start_compress(codec, image, stream) &&
                opj_encode(codec, stream) && opj_end_compress(codec, stream));
    opj_stream_destroy(stream);
    opj_destroy_codec(codec);
    opj_image_destroy(image);
    return ReadFile(path);
}

std::vector<J2kComponent> SampleComponents(int count) {
    std::vector<J2kComponent> components(count);
    for (int c = 0; c < count; ++c)
        components[c].value = [rgba = SampleRgba(), c](int x, int y) { return rgba[(y * kWidth + x) * 4 + c]; };
    return components;
}

struct BmpSpec {
    std::uint32_t headerSize = 40;
    std::int32_t width = kWidth;
    std::int32_t height = kHeight;
    std::uint16_t depth = 24;
    std::uint32_t compression = 0;
    std::vector<std::uint32_t> masks = {};
    std::vector<std::uint32_t> palette = {};
    Bytes pixels = {};  // as stored
};

Bytes MakeBmp(const BmpSpec& spec) {
    Bytes file(14 + spec.headerSize, 0);
    file[0] = 'B';
    file[1] = 'M';
    Put(file, 14, spec.headerSize);
    size_t field = spec.headerSize == 12 ? 2 : 4;  // the core header's sizes are 16 bits
    Put(file, 18, spec.width, field);
    Put(file, 18 + field, spec.height, field);
    Put(file, 18 + field * 2, 1, 2);  // planes
    Put(file, 20 + field * 2, spec.depth, 2);
    if (spec.headerSize > 12) {
        Put(file, 30, spec.compression);
        Put(file, 46, static_cast<std::uint32_t>(spec.palette.size()));
    }
    // Masks follow a 40-byte header and sit inside the longer ones.
    if (spec.headerSize == 40)
        file.resize(file.size() + spec.masks.size() * 4);
    for (size_t i = 0; i < spec.masks.size(); ++i)
        Put(file, 54 + i * 4, spec.masks[i]);
    for (std::uint32_t colour : spec.palette) {
        file.insert(file.end(), {B(colour), G(colour), R(colour)});
        if (spec.headerSize != 12)
            file.push_back(0);
    }
    Put(file, 10, static_cast<std::uint32_t>(file.size()));
    file.insert(file.end(), spec.pixels.begin(), spec.pixels.end());
    Put(file, 2, static_cast<std::uint32_t>(file.size()));
    return file;
}

// Rows in stored order, each padded to 4 bytes; `pixel` appends one pixel.
Bytes BmpRows(const Pixels& pixels, int width, bool bottomUp, const std::function<void(Bytes&, std::uint32_t)>& pixel) {
    Bytes out;
    int height = static_cast<int>(pixels.size()) / width;
    for (int r = 0; r < height; ++r) {
        for (int x = 0; x < width; ++x)
            pixel(out, pixels[(bottomUp ? height - 1 - r : r) * width + x]);
        out.resize((out.size() + 3) / 4 * 4, 0);
    }
    return out;
}

Bytes BmpSample() {
    return MakeBmp({.pixels = BmpRows(Sample(), kWidth, true, [](Bytes& out, std::uint32_t p) {
                        out.insert(out.end(), {B(p), G(p), R(p)});
                    })});
}

class ImageFiles : public test::TempDataHome {
protected:
    std::string PathOf(const std::string& name) const { return Root() + "/" + name; }
};

// ---- Sniffing and the front ----

TEST(ImageSniffing, TellsFormatsByTheirFirstBytes) {
    using namespace std::literals;
    auto sniff = [](std::string_view s) {
        return SniffImageFormat({reinterpret_cast<const std::uint8_t*>(s.data()), s.size()});
    };
    EXPECT_EQ(sniff("\x89PNG\r\n\x1a\n...."), ImageFormat::Png);
    EXPECT_EQ(sniff("\xFF\xD8\xFF\xE0"), ImageFormat::Jpeg);
    EXPECT_EQ(sniff("GIF87a"), ImageFormat::Gif);
    EXPECT_EQ(sniff("GIF89a"), ImageFormat::Gif);
    EXPECT_EQ(sniff("II*\0"sv), ImageFormat::Tiff);
    EXPECT_EQ(sniff("MM\0*"sv), ImageFormat::Tiff);
    EXPECT_EQ(sniff("\0\0\0\x0CjP  \r\n\x87\n"sv), ImageFormat::Jpeg2000);
    EXPECT_EQ(sniff("\xFF\x4F\xFF\x51"), ImageFormat::Jpeg2000);
    EXPECT_EQ(sniff("BM"), ImageFormat::Bmp);

    EXPECT_EQ(sniff(""), ImageFormat::Unknown);
    EXPECT_EQ(sniff("\x89PNG\r\n\x1a"), ImageFormat::Unknown);
    EXPECT_EQ(sniff("GIF88a"), ImageFormat::Unknown);
    EXPECT_EQ(sniff("%PDF-1.4"), ImageFormat::Unknown);
    EXPECT_EQ(sniff("\0\0\0\x0CjP  \r\n\x87"sv), ImageFormat::Unknown);
}

TEST(ImageDecoding, RefusesEmptyUnknownAndGarbageAfterAMagic) {
    using namespace std::literals;
    EXPECT_FALSE(Decode({}).has_value());
    EXPECT_FALSE(Decode({'%', 'P', 'D', 'F', '-', '1', '.', '4'}).has_value());
    for (std::string_view magic : {"\x89PNG\r\n\x1a\n"sv, "\xFF\xD8\xFF"sv, "GIF89a"sv, "II*\0"sv, "MM\0*"sv,
                                   "\0\0\0\x0CjP  \r\n\x87\n"sv, "\xFF\x4F\xFF\x51"sv, "BM"sv}) {
        Bytes bytes(magic.begin(), magic.end());
        std::uint32_t noise = 12345;
        for (int i = 0; i < 300; ++i) {
            noise = noise * 1103515245 + 12345;
            bytes.push_back(static_cast<std::uint8_t>(noise >> 16));
        }
        EXPECT_FALSE(Decode(bytes).has_value()) << magic;
    }
}

// A picture decoded before the check would ask for tens of gigabytes, which
// the address sanitizer turns into a crash.
TEST_F(ImageFiles, RefusesPicturesClaimingTooManyPixels) {
    auto crc = [](const std::uint8_t* p, size_t n) {
        std::uint32_t c = 0xFFFFFFFF;
        for (size_t i = 0; i < n; ++i) {
            c ^= p[i];
            for (int k = 0; k < 8; ++k)
                c = (c >> 1) ^ (0xEDB88320 & (0 - (c & 1)));
        }
        return ~c;
    };
    Pixels sample = Sample();
    Bytes png = EncodePng(sample.data(), kWidth, kHeight);
    Put(png, 16, 100000, 4, true);
    Put(png, 20, 100000, 4, true);
    Put(png, 29, crc(png.data() + 12, 17), 4, true);
    EXPECT_FALSE(Decode(png).has_value());

    Bytes jpeg = EncodeJpeg(sample.data(), kWidth, kHeight, 85);
    const std::uint8_t sofMarker[] = {0xFF, 0xC0};
    auto sof = std::search(jpeg.begin(), jpeg.end(), std::begin(sofMarker), std::end(sofMarker));
    ASSERT_NE(sof, jpeg.end());
    std::fill(sof + 5, sof + 9, 0xFF);  // 65535 × 65535
    EXPECT_FALSE(Decode(jpeg).has_value());

    Bytes gif = MakeGif({});
    Put(gif, 6, 0xFFFF, 2);
    Put(gif, 8, 0xFFFF, 2);
    EXPECT_FALSE(Decode(gif).has_value());

    Bytes tiff = MakeTiff(PathOf("big.tif"), {{kWidth, kHeight, 3, SampleRgb()}});
    size_t ifd = tiff[4] | (tiff[5] << 8) | (tiff[6] << 16) | (tiff[7] << 24);
    for (size_t entry = ifd + 2; entry < ifd + 2 + 12 * (tiff[ifd] | (tiff[ifd + 1] << 8)); entry += 12) {
        std::uint32_t tag = tiff[entry] | (tiff[entry + 1] << 8);
        if (tag == TIFFTAG_IMAGEWIDTH || tag == TIFFTAG_IMAGELENGTH) {
            Put(tiff, entry + 2, TIFF_LONG, 2);
            Put(tiff, entry + 8, 100000);
        }
    }
    EXPECT_FALSE(Decode(tiff).has_value());

    Bytes j2k = MakeJpeg2000(PathOf("big.j2k"), OPJ_CODEC_J2K, kWidth, kHeight, SampleComponents(3));
    for (size_t at : {8, 12, 24, 28})  // picture and tile size in SIZ
        Put(j2k, at, 100000, 4, true);
    EXPECT_FALSE(Decode(j2k).has_value());

    EXPECT_FALSE(Decode(MakeBmp({.width = 100000, .height = 100000, .pixels = Bytes(64, 0)})).has_value());
    // Just over the limit, with every byte the rows need present.
    const std::int32_t rows = static_cast<std::int32_t>(kMaxDecodedPixels / 16384 + 1);
    Bytes justOver = MakeBmp({.width = 16384, .height = rows, .depth = 1, .palette = {0, kWhite},
                              .pixels = Bytes(size_t{16384} / 8 * rows, 0)});
    EXPECT_FALSE(Decode(justOver).has_value());

    // The size a page file's few hundred bytes once claimed: 134 million
    // pixels, which the decoder filled with grey.
    Bytes claimed = EncodeJpeg(sample.data(), kWidth, kHeight, 85);
    sof = std::search(claimed.begin(), claimed.end(), std::begin(sofMarker), std::end(sofMarker));
    sof[5] = sof[7] = 11585 >> 8;
    sof[6] = sof[8] = 11585 & 0xFF;
    EXPECT_FALSE(Decode(claimed).has_value());

    // OpenJPEG decodes every component into a plane of its own.
    std::vector<J2kComponent> nine(9);
    for (J2kComponent& component : nine)
        component.value = [](int x, int y) { return x + y; };
    EXPECT_FALSE(Decode(MakeJpeg2000(PathOf("nine.j2k"), OPJ_CODEC_J2K, kWidth, kHeight, nine)).has_value());
}

// A caller that knows how large its picture is (a page file says so) bounds
// it; every format checks before it allocates the picture's pixels.
TEST_F(ImageFiles, EveryFormatRefusesPicturesBeyondTheCallersBounds) {
    Pixels sample = Sample();
    const std::pair<const char*, Bytes> pictures[] = {
        {"png", EncodePng(sample.data(), kWidth, kHeight)},
        {"jpeg", EncodeJpeg(sample.data(), kWidth, kHeight, 95)},
        {"gif", MakeGif({})},
        {"tiff", MakeTiff(PathOf("b.tif"), {{kWidth, kHeight, 3, SampleRgb()}})},
        {"jpeg 2000", MakeJpeg2000(PathOf("b.jp2"), OPJ_CODEC_JP2, kWidth, kHeight, SampleComponents(3))},
        {"bmp", BmpSample()},
    };
    for (const auto& [format, bytes] : pictures) {
        std::span<const std::uint8_t> data(bytes);
        EXPECT_TRUE(DecodeImage(data, {kWidth, kHeight}).has_value()) << format;
        EXPECT_TRUE(DecodeImage(data, {kWidth + 1, kHeight + 1}).has_value()) << format;
        EXPECT_FALSE(DecodeImage(data, {kWidth - 1, kHeight}).has_value()) << format;
        EXPECT_FALSE(DecodeImage(data, {kWidth, kHeight - 1}).has_value()) << format;
    }
    // A GIF's frame is laid onto its screen: the screen is what must fit.
    Bytes wide = MakeGif({.screenWidth = kWidth + 2});
    EXPECT_FALSE(DecodeImage(std::span<const std::uint8_t>(wide), {kWidth + 1, kHeight}).has_value());
    EXPECT_TRUE(DecodeImage(std::span<const std::uint8_t>(wide), {kWidth + 2, kHeight}).has_value());
}

TEST_F(ImageFiles, OnlyRegularFilesUpToTheirLimitAreRead) {
    Pixels sample = Sample();
    test::FifoTrap pipe(PathOf("pipe.png"));
    EXPECT_FALSE(DecodeImageFile(FromUtf8(pipe.Path())).has_value());
    EXPECT_FALSE(pipe.Caught()) << "the picture read waited for the pipe's writer";

    // A valid picture with more bytes after it than a picture file may hold.
    Bytes png = EncodePng(sample.data(), kWidth, kHeight);
    std::filesystem::resize_file(WriteBytes("big.png", std::string(png.begin(), png.end())), kMaxImageFileBytes + 1);
    EXPECT_FALSE(DecodeImageFile(FromUtf8(PathOf("big.png"))).has_value());
    std::filesystem::resize_file(PathOf("big.png"), kMaxImageFileBytes);
    EXPECT_TRUE(DecodeImageFile(FromUtf8(PathOf("big.png"))).has_value());
}

TEST_F(ImageFiles, ReadsAndWritesFilesByViewerPaths) {
    Pixels sample = Sample();
    std::wstring path = WideRoot() + L"\\pictures\\\u753b\u50cf.png";
    std::filesystem::create_directories(Root() + "/pictures");
    ASSERT_TRUE(WritePngFile(path, sample.data(), kWidth, kHeight));
    ExpectPixels(DecodeImageFile(path), kWidth, sample);

    EXPECT_FALSE(DecodeImageFile(WideRoot() + L"\\pictures\\missing.png").has_value());
    EXPECT_FALSE(DecodeImageFile(WideRoot()).has_value());  // a folder
    EXPECT_FALSE(WritePngFile(WideRoot() + L"\\no\\such\\folder.png", sample.data(), kWidth, kHeight));
    EXPECT_FALSE(WritePngFile(WideRoot() + L"\\empty.png", sample.data(), 0, kHeight));
    EXPECT_FALSE(std::filesystem::exists(Root() + "/empty.png"));
}

// ---- PNG ----

TEST(PngDecoding, RoundTripsAndCompositesAlphaOntoWhite) {
    Pixels sample = Sample();
    Bytes png = EncodePng(sample.data(), kWidth, kHeight);
    ExpectPixels(Decode(png), kWidth, sample);
    ExpectCutsRefused(png);
    ExpectPixels(Decode(WritePng(kWidth, kHeight, PNG_FORMAT_RGBA, SampleRgba().data())), kWidth, SampleOnWhite());

    // A colour-mapped write gives a palette PNG with a tRNS chunk.
    const std::uint8_t colormap[] = {255, 0, 0, 255, 0x00, 0x80, 0xFF, 128, 9, 9, 9, 0};
    const std::uint8_t indices[] = {0, 1, 2};
    ExpectPixels(Decode(WritePng(3, 1, PNG_FORMAT_RGBA_COLORMAP, indices, colormap, 3)), 3,
                 {0xFF0000, 0x7FBFFF, kWhite});
}

// ---- JPEG ----

TEST(JpegDecoding, RoundTripsColourGreyAndCmyk) {
    // Smooth, as JPEG keeps smooth pictures well: red across, green down.
    Pixels gradient;
    for (std::uint32_t y = 0; y < 16; ++y)
        for (std::uint32_t x = 0; x < 16; ++x)
            gradient.push_back((x * 16 << 16) | (y * 16 << 8) | 0x80);
    Bytes jpeg = EncodeJpeg(gradient.data(), 16, 16, 95);
    ExpectPixels(Decode(jpeg), 16, gradient, 8);
    ExpectCutsRefused(jpeg);
    jpeg.insert(jpeg.end(), 16, 0);  // padding after the end marker is common
    EXPECT_TRUE(Decode(jpeg).has_value());

    // With chroma halved, pure red and pure blue stay pure.
    for (std::uint32_t colour : {0xFF0000u, 0x0000FFu}) {
        Pixels solid(16 * 16, colour);
        ExpectPixels(Decode(EncodeJpeg(solid.data(), 16, 16, 85)), 16, solid, 3);
    }

    tjhandle tj = tjInitCompress();
    std::uint8_t grey[kWidth * kHeight];
    Pixels greyPixels;
    for (int i = 0; i < kWidth * kHeight; ++i) {
        grey[i] = static_cast<std::uint8_t>(i * 7);
        greyPixels.push_back(grey[i] * 0x010101u);
    }
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    ASSERT_EQ(tjCompress2(tj, grey, kWidth, 0, kHeight, TJPF_GRAY, &out, &outSize, TJSAMP_GRAY, 95, 0), 0);
    ExpectPixels(Decode(Bytes(out, out + outSize)), kWidth, greyPixels, 4);

    // libjpeg marks CMYK with the Adobe marker, whose convention is inverted
    // ink: pure red, C 0 M 255 Y 255 K 0, is stored as 255 0 0 255.
    std::uint8_t cmyk[8 * 8 * 4];
    for (size_t i = 0; i < sizeof cmyk; i += 4)
        std::copy_n(std::begin({255, 0, 0, 255}), 4, cmyk + i);
    ASSERT_EQ(tjCompress2(tj, cmyk, 8, 0, 8, TJPF_CMYK, &out, &outSize, TJSAMP_444, 95, 0), 0);
    ExpectPixels(Decode(Bytes(out, out + outSize)), 8, Pixels(64, 0xFF0000), 3);
    tjFree(out);
    tjDestroy(tj);
}

TEST(JpegEncoding, HalvesChromaBelowQuality90) {
    Pixels sample = Sample();
    tjhandle tj = tjInitDecompress();
    for (auto [quality, subsampling] : {std::pair{85, TJSAMP_420}, std::pair{90, TJSAMP_444}}) {
        Bytes jpeg = EncodeJpeg(sample.data(), kWidth, kHeight, quality);
        int width = 0, height = 0, sub = -1, space = -1;
        ASSERT_EQ(tjDecompressHeader3(tj, jpeg.data(), jpeg.size(), &width, &height, &sub, &space), 0);
        EXPECT_EQ(sub, subsampling) << quality;
    }
    tjDestroy(tj);
    EXPECT_TRUE(EncodeJpeg(nullptr, kWidth, kHeight, 85).empty());
    EXPECT_TRUE(EncodePng(sample.data(), 0, kHeight).empty());
}

TEST(JpegEncoding, RgbRowsWithPaddingEncodeAsTheirWords) {
    // The converter hands over the renderer's RGB rows, padded; the same
    // picture as words must give the same file.
    Pixels sample = Sample();
    const std::ptrdiff_t stride = kWidth * 3 + 5;
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(stride) * kHeight, 0xAB);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const std::uint32_t word = sample[static_cast<std::size_t>(y) * kWidth + x];
            std::uint8_t* out = &rgb[static_cast<std::size_t>(y * stride + x * 3)];
            out[0] = static_cast<std::uint8_t>(word >> 16);
            out[1] = static_cast<std::uint8_t>(word >> 8);
            out[2] = static_cast<std::uint8_t>(word);
        }
    JpegEncoder encoder;
    for (int quality : {75, 95}) {
        const Bytes fromRgb = encoder.Encode({rgb.data(), kWidth, kHeight, stride, JpegInput::Rgb}, quality);
        ASSERT_FALSE(fromRgb.empty());
        EXPECT_EQ(fromRgb, EncodeJpeg(sample.data(), kWidth, kHeight, quality)) << quality;
    }
    // Rows shorter than their pixels, or no pixels, are refused.
    EXPECT_TRUE(encoder.Encode({rgb.data(), kWidth, kHeight, kWidth * 3 - 1, JpegInput::Rgb}, 80).empty());
    EXPECT_TRUE(encoder.Encode({rgb.data(), kWidth, kHeight, kWidth * 3, JpegInput::Words}, 80).empty());
    EXPECT_TRUE(encoder.Encode({nullptr, kWidth, kHeight, stride, JpegInput::Rgb}, 80).empty());
}

// ---- GIF ----

TEST(GifDecoding, RoundTripsTheFirstFrame) {
    Pixels sample = Sample();
    Bytes plain = MakeGif({});
    ExpectPixels(Decode(plain), kWidth, sample);
    ExpectCutsRefused(plain, 1);  // the trailer after the only frame carries nothing

    // Interlaced, on a larger screen, with a transparent colour.
    Bytes gif =
        MakeGif({.screenWidth = 9, .screenHeight = 7, .left = 1, .top = 2, .interlace = true, .transparent = 1});
    Pixels expected(9 * 7, kWhite);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            expected[(y + 2) * 9 + x + 1] = y == 0 && x == 1 ? kWhite : sample[y * kWidth + x];
    ExpectPixels(Decode(gif), 9, expected);
}

// ---- TIFF ----

TEST_F(ImageFiles, TiffRoundTripsRgbAlphaGreyAndTheFirstPage) {
    Bytes tiff = MakeTiff(PathOf("rgb.tif"), {{kWidth, kHeight, 3, SampleRgb(), COMPRESSION_LZW}});
    ExpectPixels(Decode(tiff), kWidth, Sample());
    ExpectCutsRefused(tiff);
    ExpectPixels(Decode(MakeTiff(PathOf("rgba.tif"), {{kWidth, kHeight, 4, SampleRgba()}})), kWidth, SampleOnWhite());

    // libtiff premultiplies colour alpha but not grey alpha.
    Bytes greyAlpha = {0x80, 255, 0x80, 128, 0x80, 0};
    ExpectPixels(Decode(MakeTiff(PathOf("ga.tif"), {{3, 1, 2, greyAlpha}})), 3, {0x808080, 0xBFBFBF, kWhite});

    Bytes twoPages = MakeTiff(PathOf("pages.tif"), {{kWidth, kHeight, 3, SampleRgb()}, {2, 2, 3, Bytes(12, 0)}});
    ExpectPixels(Decode(twoPages), kWidth, Sample());
}

// ---- JPEG 2000 ----

TEST_F(ImageFiles, Jpeg2000RoundTripsFilesAndCodestreams) {
    Bytes jp2 = MakeJpeg2000(PathOf("rgb.jp2"), OPJ_CODEC_JP2, kWidth, kHeight, SampleComponents(3));
    ExpectPixels(Decode(jp2), kWidth, Sample());
    ExpectCutsRefused(jp2);
    Bytes j2k = MakeJpeg2000(PathOf("rgb.j2k"), OPJ_CODEC_J2K, kWidth, kHeight, SampleComponents(3));
    ExpectPixels(Decode(j2k), kWidth, Sample());
    ExpectCutsRefused(j2k);
    ExpectPixels(Decode(MakeJpeg2000(PathOf("rgba.jp2"), OPJ_CODEC_JP2, kWidth, kHeight, SampleComponents(4))),
                 kWidth, SampleOnWhite());
}

TEST_F(ImageFiles, Jpeg2000ScalesPrecisionSignAndSubsampling) {
    // 12-bit signed grey: the lowest, middle and highest values.
    J2kComponent grey{.precision = 12, .isSigned = true,
                      .value = [](int x, int) { return x == 0 ? -2048 : x == 1 ? 0 : 2047; }};
    ExpectPixels(Decode(MakeJpeg2000(PathOf("grey.j2k"), OPJ_CODEC_J2K, 3, 1, {grey}, OPJ_CLRSPC_GRAY)), 3,
                 {0x000000, 0x808080, 0xFFFFFF});

    // Green and blue at half resolution both ways take the nearest sample.
    J2kComponent red{.value = [](int x, int y) { return x * 30 + y; }};
    J2kComponent green{.dx = 2, .dy = 2, .value = [](int x, int y) { return 100 + x * 10 + y; }};
    J2kComponent blue{.dx = 2, .dy = 2, .value = [](int x, int y) { return 200 - x * 10 - y; }};
    Pixels expected;
    for (std::uint32_t y = 0; y < kHeight; ++y)
        for (std::uint32_t x = 0; x < kWidth; ++x)
            expected.push_back(((x * 30 + y) << 16) | ((100 + x / 2 * 10 + y / 2) << 8) | (200 - x / 2 * 10 - y / 2));
    Bytes subsampled = MakeJpeg2000(PathOf("sub.jp2"), OPJ_CODEC_JP2, kWidth, kHeight, {red, green, blue});
    ExpectPixels(Decode(subsampled), kWidth, expected);
}

// ---- BMP ----

TEST(BmpDecoding, ReadsDirectColourLayouts) {
    Pixels sample = Sample();
    Bytes bottomUp24 = BmpSample();
    ExpectPixels(Decode(bottomUp24), kWidth, sample);
    ExpectCutsRefused(bottomUp24, 3);  // the last row's padding may be missing

    // 32 bits without bit fields: the fourth byte is not alpha.
    Bytes topDown32 = MakeBmp({.height = -kHeight, .depth = 32,
                               .pixels = BmpRows(sample, kWidth, false, [](Bytes& out, std::uint32_t p) {
                                   out.insert(out.end(), {B(p), G(p), R(p), 0x5A});
                               })});
    ExpectPixels(Decode(topDown32), kWidth, sample);

    Bytes core = MakeBmp({.headerSize = 12, .width = 2, .height = 1, .pixels = {0, 0, 0xFF, 0xFF, 0, 0, 0, 0}});
    ExpectPixels(Decode(core), 2, {0xFF0000, 0x0000FF});
}

TEST(BmpDecoding, ReadsBitFields) {
    // 5-6-5 after a 40-byte header; 3 pixels of 2 bytes pad each row to 8.
    BmpSpec rgb565{.width = 3, .height = 2, .depth = 16, .compression = 3, .masks = {0xF800, 0x07E0, 0x001F}};
    rgb565.pixels = BmpRows({0x8410, 0xF800, 0x001F, 0xF800, 0x07E0, 0x001F}, 3, true,
                            [](Bytes& out, std::uint32_t p) { out.insert(out.end(), {B(p), G(p)}); });
    ExpectPixels(Decode(MakeBmp(rgb565)), 3, {0x848284, 0xFF0000, 0x0000FF, 0xFF0000, 0x00FF00, 0x0000FF});
    ExpectPixels(Decode(MakeBmp({.width = 1, .height = 1, .depth = 16, .pixels = {0x00, 0x7C, 0, 0}})), 1,
                 {0xFF0000});  // 5-5-5 without bit fields

    // V5 with an alpha mask composites; all-zero alpha means the writer
    // left it out, and the picture is opaque.
    BmpSpec v5{.headerSize = 124, .width = 3, .height = 1, .depth = 32, .compression = 3,
               .masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000}};
    v5.pixels = {0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x80, 0x00, 0x80, 0x56, 0x34, 0x12, 0x00};
    ExpectPixels(Decode(MakeBmp(v5)), 3, {0xFF0000, 0x7FBFFF, kWhite});
    v5.pixels[3] = v5.pixels[7] = 0;
    ExpectPixels(Decode(MakeBmp(v5)), 3, {0xFF0000, 0x0080FF, 0x123456});
}

TEST(BmpDecoding, ReadsPalettesAndRunLengths) {
    Pixels sample = Sample();
    Pixels indices(sample.size());
    for (size_t i = 0; i < indices.size(); ++i)
        indices[i] = static_cast<std::uint32_t>(i);
    Bytes rows = BmpRows(indices, kWidth, true, [](Bytes& out, std::uint32_t i) { out.push_back(B(i)); });
    Bytes indexed = MakeBmp({.depth = 8, .palette = sample, .pixels = rows});
    ExpectPixels(Decode(indexed), kWidth, sample);

    // 1 bit, 9 pixels: two bytes and two of padding a row.
    std::uint32_t a = 0x102030, b = 0xF0E0D0;
    Bytes mono = MakeBmp({.width = 9, .height = 2, .depth = 1, .palette = {a, b},
                          .pixels = {0b10100000, 0b10000000, 0, 0, 0b01010101, 0b00000000, 0, 0}});
    ExpectPixels(Decode(mono), 9, {a, b, a, b, a, b, a, b, a, b, a, b, a, a, a, a, a, b});

    // RLE4: a padded absolute run, an encoded run, end of line, a delta that
    // skips pixels (they show the paper), end of picture.
    Pixels grey(16);
    for (std::uint32_t i = 0; i < 16; ++i)
        grey[i] = i * 0x0F0F0F;
    Bytes rle4 = MakeBmp({.width = 6, .height = 3, .depth = 4, .compression = 2, .palette = grey,
                          .pixels = {0x00, 0x05, 0x12, 0x34, 0x50, 0x00, 0x01, 0x60, 0x00, 0x00,  // bottom row
                                     0x02, 0x78, 0x00, 0x02, 0x02, 0x01, 0x02, 0x99, 0x00, 0x01}});
    ExpectPixels(Decode(rle4), 6, {kWhite, kWhite, kWhite, kWhite, grey[9], grey[9],  //
                                   grey[7], grey[8], kWhite, kWhite, kWhite, kWhite,  //
                                   grey[1], grey[2], grey[3], grey[4], grey[5], grey[6]});
    ExpectCutsRefused(rle4);

    Pixels palette(256, 0x555555);
    palette[1] = 0xFF0000, palette[2] = 0x00FF00, palette[3] = 0x0000FF;
    Bytes rle8 = MakeBmp({.width = 3, .height = 2, .depth = 8, .compression = 1, .palette = palette,
                          .pixels = {0x03, 0x05, 0x00, 0x00, 0x00, 0x03, 0x01, 0x02, 0x03, 0x00, 0x00, 0x01}});
    ExpectPixels(Decode(rle8), 3, {0xFF0000, 0x00FF00, 0x0000FF, 0x555555, 0x555555, 0x555555});
}

TEST(BmpDecoding, RefusesBadLayouts) {
    const Bytes bmp = BmpSample();
    // Pixel offset past the end, inside the header; unknown header size;
    // RLE8 on 24 bits; no width.
    using Patch = std::pair<size_t, std::uint32_t>;
    for (auto [at, value] : {Patch{10, static_cast<std::uint32_t>(bmp.size())}, Patch{10, 20}, Patch{14, 20},
                             Patch{30, 1}, Patch{18, 0}}) {
        Bytes damaged = bmp;
        Put(damaged, at, value);
        EXPECT_FALSE(Decode(damaged).has_value()) << at << " = " << value;
    }
}

}  // namespace
}  // namespace zov
