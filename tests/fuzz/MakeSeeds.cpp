// Writes the seeds the fuzz targets start from that are binary or must come
// from our own writers: page files of every version and image type, with and
// without an extended header; pictures of every format the decoders read,
// made with the codec libraries' encoders (BMP by hand);
// start-up argument files as a launch writes them (code page 932, CR LF); the
// registry file as registering the control server leaves it. One folder per
// target below the given folder.
#include "control/ZOVuvazaRServer.h"
#include "documents/PageFileWriter.h"
#include "platform/Encoding.h"
#include "platform/TextFile.h"
#include "platform/image/ImageDecoder.h"

#include <gif_lib.h>
#include <openjpeg.h>
#include <tiffio.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace zov;

void Save(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

std::filesystem::path Folder(const std::filesystem::path& root, const char* target) {
    std::filesystem::path folder = root / target;
    std::filesystem::create_directories(folder);
    return folder;
}

constexpr int kSide = 8;

void Put(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value, std::size_t size = 4) {
    for (std::size_t i = 0; i < size; ++i)
        bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// A BITMAPINFOHEADER file: `height` < 0 stores the rows top first.
std::vector<std::uint8_t> Bmp(int depth, std::int32_t height, std::uint32_t compression,
                              const std::vector<std::uint32_t>& masks, int colours) {
    std::vector<std::uint8_t> file(54 + masks.size() * 4 + static_cast<std::size_t>(colours) * 4, 0);
    file[0] = 'B';
    file[1] = 'M';
    Put(file, 14, 40);
    Put(file, 18, kSide);
    Put(file, 22, static_cast<std::uint32_t>(height));
    Put(file, 26, 1, 2);
    Put(file, 28, static_cast<std::uint32_t>(depth), 2);
    Put(file, 30, compression);
    Put(file, 46, static_cast<std::uint32_t>(colours));
    for (std::size_t i = 0; i < masks.size(); ++i)
        Put(file, 54 + i * 4, masks[i]);
    for (int c = 0; c < colours; ++c)
        Put(file, 54 + masks.size() * 4 + static_cast<std::size_t>(c) * 4, static_cast<std::uint32_t>(c * 0x0F0E0D));
    Put(file, 10, static_cast<std::uint32_t>(file.size()));
    const std::size_t row = (static_cast<std::size_t>(kSide * depth) + 31) / 32 * 4;
    for (int y = 0; y < kSide; ++y)
        for (std::size_t x = 0; x < row; ++x)
            file.push_back(static_cast<std::uint8_t>(x * 7 + static_cast<std::size_t>(y) * 13));
    Put(file, 2, static_cast<std::uint32_t>(file.size()));
    return file;
}

std::vector<std::uint8_t> Gif(bool interlace) {
    std::vector<std::uint8_t> out;
    auto write = [](GifFileType* gif, const GifByteType* data, int n) {
        auto* bytes = static_cast<std::vector<std::uint8_t>*>(gif->UserData);
        bytes->insert(bytes->end(), data, data + n);
        return n;
    };
    int error = 0;
    GifFileType* gif = EGifOpen(&out, write, &error);
    GifColorType colours[16];
    for (int i = 0; i < 16; ++i)
        colours[i] = {static_cast<GifByteType>(i * 16), static_cast<GifByteType>(255 - i * 16), 0x80};
    ColorMapObject* map = GifMakeMapObject(16, colours);
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, kSide, kSide, 8, 0, map);
    GraphicsControlBlock control{};
    control.TransparentColor = 3;
    GifByteType extension[4];
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(EGifGCBToExtension(&control, extension)), extension);
    EGifPutImageDesc(gif, 0, 0, kSide, kSide, interlace, nullptr);
    for (int y = 0; y < kSide; ++y) {
        GifPixelType line[kSide];
        for (int x = 0; x < kSide; ++x)
            line[x] = static_cast<GifPixelType>((x + y) % 16);
        EGifPutLine(gif, line, kSide);
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

// The encoders write files: these write the seed file themselves.
void Tiff(const std::filesystem::path& path, int samples, std::uint16_t compression) {
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    if (!tiff)
        return;
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, kSide);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, kSide);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, compression);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 2);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(kSide * samples));
    for (int y = 0; y < kSide; ++y) {
        for (std::size_t i = 0; i < row.size(); ++i)
            row[i] = static_cast<std::uint8_t>(i * 9 + static_cast<std::size_t>(y) * 31);
        TIFFWriteScanline(tiff, row.data(), static_cast<std::uint32_t>(y), 0);
    }
    TIFFClose(tiff);
}

void Jpeg2000(const std::filesystem::path& path, OPJ_CODEC_FORMAT format) {
    opj_image_cmptparm_t parameters[3];
    std::memset(parameters, 0, sizeof parameters);
    for (opj_image_cmptparm_t& p : parameters) {
        p.dx = p.dy = 1;
        p.w = p.h = kSide;
        p.prec = 8;
    }
    opj_image_t* image = opj_image_create(3, parameters, OPJ_CLRSPC_SRGB);
    image->x1 = image->y1 = kSide;
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < kSide * kSide; ++i)
            image->comps[c].data[i] = (i * (c + 3)) % 256;
    opj_cparameters_t encoding;
    opj_set_default_encoder_parameters(&encoding);
    encoding.tcp_numlayers = 1;
    encoding.tcp_rates[0] = 0;
    encoding.cp_disto_alloc = 1;
    encoding.numresolution = 2;
    opj_codec_t* codec = opj_create_compress(format);
    opj_stream_t* stream = opj_stream_create_default_file_stream(path.c_str(), OPJ_FALSE);
    bool written = opj_setup_encoder(codec, &encoding, image) && opj_start_compress(codec, image, stream) &&
                   opj_encode(codec, stream) && opj_end_compress(codec, stream);
    opj_stream_destroy(stream);
    opj_destroy_codec(codec);
    opj_image_destroy(image);
    if (!written)
        std::filesystem::remove(path);
}

void Pictures(const std::filesystem::path& folder, const std::vector<std::uint8_t>& png,
              const std::vector<std::uint8_t>& jpeg) {
    Save(folder / "seed.png", png);
    Save(folder / "seed.jpg", jpeg);
    Save(folder / "rgb24.bmp", Bmp(24, kSide, 0, {}, 0));
    Save(folder / "palette8-top-down.bmp", Bmp(8, -kSide, 0, {}, 16));
    Save(folder / "palette4.bmp", Bmp(4, kSide, 0, {}, 16));
    Save(folder / "bitfields32.bmp", Bmp(32, kSide, 3, {0xFF0000, 0xFF00, 0xFF}, 0));
    Save(folder / "bitfields16.bmp", Bmp(16, kSide, 3, {0xF800, 0x07E0, 0x001F}, 0));
    Save(folder / "seed.gif", Gif(false));
    Save(folder / "interlaced.gif", Gif(true));
    Tiff(folder / "rgb.tif", 3, COMPRESSION_NONE);
    Tiff(folder / "grey-lzw.tif", 1, COMPRESSION_LZW);
    Tiff(folder / "rgba.tif", 4, COMPRESSION_PACKBITS);
    Jpeg2000(folder / "seed.j2k", OPJ_CODEC_J2K);
    Jpeg2000(folder / "seed.jp2", OPJ_CODEC_JP2);
}

void PageFiles(const std::filesystem::path& folder, const std::vector<std::uint8_t>& png,
               const std::vector<std::uint8_t>& jpeg) {
    int n = 0;
    for (int version : {1, 2, 3})
        for (int type : {2, 5, 8})
            for (bool extended : {false, true}) {
                PageFileContent content;
                content.version = version;
                content.imageType = type;
                content.extendedHeader = extended;
                content.image1 = PageFileImage{24, 16, 0, png};
                if (type == 5)
                    content.image2 = PageFileImage{24, 16, 0, jpeg};
                content.text = "page text";
                content.versionThreeBlock = {7, 7};
                content.pageList = std::vector<std::int32_t>{1, 1, 1};
                Save(folder / ("seed" + std::to_string(++n)), SerializePageFile(content));
            }
}

// What a launch writes for one document, and variations a reader meets.
void StartupArgs(const std::filesystem::path& folder) {
    const std::wstring launch = L"SetUp\nja\nC0C0C0\nfalse\nloginId\n\\\\server\\previews\nFolder\nfalse\n"
                                L"ShowFiles\n<\\\\server\\docs\\\u4f1a\u8b70\u8cc7\u6599.pdf>\n<\u4f1a\u8b70\u8cc7\u6599>\n"
                                L"ZoomUpFirstObject\n";
    const std::wstring texts[] = {
        launch,
        L"SetUp\nen\nFFFFFF\ntrue\nid\nhttp://127.0.0.1:8080/previews\nSamePlace\ntrue\n",
        L"ShowFiles\n<C:\\a.pdf><C:\\b.doc>\n<a><b>\nShowFiles\n<C:\\c.xls>\n",
        L"noise\nZoomUpFirstObject   \t\nSetUp\nja\n",
        L"SetUp\n" + std::wstring(1100, L'\u3042') + L"\n",
    };
    int n = 0;
    for (const std::wstring& text : texts) {
        std::filesystem::path path = folder / ("seed" + std::to_string(++n));
        if (!WriteTextFile(FromUtf8(path.string()), text))
            std::fprintf(stderr, "make-seeds: cannot write %s\n", path.c_str());
    }
}

// The control server registers into the registry file of $ZOV_DATA_HOME,
// here a folder of its own below the seeds.
void Registry(const std::filesystem::path& root, const std::filesystem::path& folder) {
    std::filesystem::path home = root / "registry-home";
    std::filesystem::remove_all(home);
    std::filesystem::create_directories(home);
    setenv("ZOV_DATA_HOME", home.c_str(), 1);
    if (CZOVuvazaRApp::Instance().RegisterServer("/usr/lib/zov/libZOVuvazaR.so") != S_OK)
        std::fprintf(stderr, "make-seeds: registering failed\n");
    std::filesystem::copy_file(home / "ZOVuvazaR" / "Registry.txt", folder / "registered",
                               std::filesystem::copy_options::overwrite_existing);
    std::filesystem::remove_all(home);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-seeds FOLDER\n");
        return 2;
    }
    const std::filesystem::path root = argv[1];
    std::vector<std::uint32_t> pixels(24 * 16);
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<std::uint32_t>(i * 0x010203);
    std::vector<std::uint8_t> png = EncodePng(pixels.data(), 24, 16);
    std::vector<std::uint8_t> jpeg = EncodeJpeg(pixels.data(), 24, 16, 80);
    Pictures(Folder(root, "image_decode"), png, jpeg);
    PageFiles(Folder(root, "page_file"), png, jpeg);
    StartupArgs(Folder(root, "startup_args"));
    Registry(root, Folder(root, "registry"));
    return 0;
}
