#include "platform/Encoding.h"
#include "platform/image/ImageDecoder.h"
#include "render/FileIcons.h"
#include "render/Placeholders.h"
#include "resources/Resources.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <unistd.h>

namespace zov {
namespace {

namespace fs = std::filesystem;

struct Expected {
    const char* name;
    std::int32_t width;
    std::int32_t height;
};

constexpr Expected kResources[] = {
    {"placeholders/normal-1.png", 200, 282},  {"placeholders/normal-2.png", 200, 282},
    {"placeholders/normal-3.png", 200, 282},  {"placeholders/normal-4.png", 200, 282},
    {"placeholders/normal-5.png", 200, 282},  {"placeholders/evalue-1.png", 200, 282},
    {"placeholders/evalue-2.png", 200, 282},  {"placeholders/evalue-3.png", 200, 282},
    {"placeholders/evalue-4.png", 200, 282},  {"placeholders/downloading.png", 600, 846},
    {"icons/document.png", 32, 32},           {"icons/pdf.png", 32, 32},
    {"icons/presentation.png", 32, 32},       {"icons/spreadsheet.png", 32, 32},
    {"icons/text.png", 32, 32},               {"icons/picture.png", 32, 32},
    {"icons/folder.png", 32, 32},             {"icons/web.png", 32, 32},
    {"icons/drawing.png", 32, 32},            {"icons/book.png", 32, 32},
    {"icons/unknown.png", 32, 32},
};

constexpr std::int32_t kBandTop = 323, kBandBottom = 374;
constexpr std::uint32_t kWhite = 0xFFFFFF;

DecodedImage DecodeResource(const char* name) {
    std::optional<DecodedImage> image = DecodeImage(EmbeddedResource(name));
    EXPECT_TRUE(image) << name;
    return image ? std::move(*image) : DecodedImage{};
}

bool SamePixels(const PixelBuffer& buffer, const DecodedImage& image) {
    return buffer.Width() == image.width && buffer.Height() == image.height &&
           std::equal(image.pixels.begin(), image.pixels.end(), buffer.Pixels());
}

bool SamePicture(const PixelBuffer& a, const PixelBuffer& b) {
    return a.Width() == b.Width() && a.Height() == b.Height() &&
           std::equal(a.Pixels(), a.Pixels() + a.PixelCount(), b.Pixels());
}

int Count(const PixelBuffer& buffer, std::uint32_t colour) {
    return static_cast<int>(std::count(buffer.Pixels(), buffer.Pixels() + buffer.PixelCount(), colour));
}

bool Near(std::uint32_t a, std::uint32_t b) {
    for (int shift = 0; shift < 24; shift += 8)
        if (std::abs(static_cast<int>(a >> shift & 0xFF) - static_cast<int>(b >> shift & 0xFF)) > 1)
            return false;
    return (a >> 24) == (b >> 24);
}

// The icon part of an icon picture, (w/2, h/2) to (3w/2, 3h/2), against
// `image` laid on white; ±1 allows for rounding.
void ExpectIconInTheMiddle(const PixelBuffer& picture, const DecodedImage& image) {
    ASSERT_EQ(picture.Width(), image.width * 2);
    ASSERT_EQ(picture.Height(), image.height * 2);
    int differing = 0;
    for (std::int32_t y = 0; y < image.height; ++y)
        for (std::int32_t x = 0; x < image.width; ++x)
            differing += !Near(picture.At(x + image.width / 2, y + image.height / 2),
                               image.pixels[static_cast<std::size_t>(y) * image.width + x]);
    EXPECT_EQ(differing, 0);
}

// --- The embedded files ---------------------------------------------------------

TEST(EmbeddedResources, EveryPictureIsThereWithItsSize) {
    for (const Expected& expected : kResources) {
        SCOPED_TRACE(expected.name);
        ASSERT_FALSE(EmbeddedResource(expected.name).empty());
        DecodedImage image = DecodeResource(expected.name);
        EXPECT_EQ(image.width, expected.width);
        EXPECT_EQ(image.height, expected.height);
    }
}

TEST(EmbeddedResources, UnknownNamesGiveNothing) {
    EXPECT_TRUE(EmbeddedResource("").empty());
    EXPECT_TRUE(EmbeddedResource("placeholders/normal-6.png").empty());
    EXPECT_TRUE(EmbeddedResource("icons/pdf").empty());
    EXPECT_TRUE(EmbeddedResource("placeholders/normal-1.pngx").empty());
    EXPECT_TRUE(EmbeddedResource("/placeholders/normal-1.png").empty());
    EXPECT_TRUE(EmbeddedResource("normal-1.png").empty());
}

// The build turns the committed files into arrays: every byte must survive,
// and a changed file must reach the library.
TEST(EmbeddedResources, BytesAreTheCommittedFiles) {
    fs::path folder = fs::path(__FILE__).parent_path().parent_path().parent_path() / "resources";
    if (!fs::is_directory(folder)) {
        GTEST_SKIP() << "no source tree at " << folder;
    }
    for (const Expected& expected : kResources) {
        SCOPED_TRACE(expected.name);
        std::ifstream in(folder / expected.name, std::ios::binary);
        std::vector<std::uint8_t> file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        std::span<const std::uint8_t> embedded = EmbeddedResource(expected.name);
        ASSERT_EQ(embedded.size(), file.size());
        EXPECT_TRUE(std::equal(file.begin(), file.end(), embedded.begin()));
    }
}

// The loader blanks everything outside the band anyway, but a picture drawn
// with its text outside would lose part of it.
TEST(EmbeddedResources, DownloadingTextLiesInItsBand) {
    DecodedImage image = DecodeResource("placeholders/downloading.png");
    ASSERT_EQ(image.width, 600);
    int inkRows = 0;
    for (std::int32_t y = 0; y < image.height; ++y) {
        auto row = image.pixels.begin() + static_cast<std::ptrdiff_t>(y) * image.width;
        bool ink = std::any_of(row, row + image.width, [](std::uint32_t p) { return p != kWhite; });
        if (y < kBandTop || y > kBandBottom) {
            EXPECT_FALSE(ink) << "row " << y;
        }
        inkRows += ink;
    }
    EXPECT_GT(inkRows, 30);  // large text, not a smudge
}

// --- Placeholder pictures -----------------------------------------------------------

TEST(Placeholders, SlotsHaveTheirSizesAndStay) {
    for (int slot = 1; slot <= 5; ++slot) {
        SCOPED_TRACE(slot);
        const PixelBuffer* picture = PlaceholderPicture(slot);
        ASSERT_NE(picture, nullptr);
        EXPECT_EQ(picture->Width(), 200);
        EXPECT_EQ(picture->Height(), 282);
        EXPECT_EQ(PlaceholderPicture(slot), picture);
    }
    const PixelBuffer* downloading = PlaceholderPicture(kPlaceholderDownloading);
    ASSERT_NE(downloading, nullptr);
    EXPECT_EQ(downloading->Width(), 600);
    EXPECT_EQ(downloading->Height(), 846);
}

TEST(Placeholders, NormalSetShowsItsPicturesInTheirColours) {
    for (int slot = 1; slot <= 5; ++slot) {
        SCOPED_TRACE(slot);
        const PixelBuffer* picture = PlaceholderPicture(slot);
        ASSERT_NE(picture, nullptr);
        std::string name = "placeholders/normal-" + std::to_string(slot) + ".png";
        EXPECT_TRUE(SamePixels(*picture, DecodeResource(name.c_str())));
    }
    // The Failed mark is a soft red: with red and blue exchanged it would
    // come out violet.
    const PixelBuffer* failed = PlaceholderPicture(kPlaceholderFailed);
    ASSERT_NE(failed, nullptr);
    EXPECT_GT(Count(*failed, 0xC96B6B), 50);
    EXPECT_EQ(Count(*failed, 0x6B6BC9), 0);
    EXPECT_EQ(failed->At(100, 10), kWhite);
}

TEST(Placeholders, DownloadingIsWhiteOutsideItsBand) {
    const PixelBuffer* picture = PlaceholderPicture(kPlaceholderDownloading);
    ASSERT_NE(picture, nullptr);
    DecodedImage source = DecodeResource("placeholders/downloading.png");
    int ink = 0;
    for (std::int32_t y = 0; y < picture->Height(); ++y) {
        const std::uint32_t* row = picture->Row(y);
        if (y < kBandTop || y > kBandBottom) {
            ASSERT_TRUE(std::all_of(row, row + picture->Width(), [](std::uint32_t p) { return p == kWhite; }))
                << "row " << y;
        } else {
            ink += static_cast<int>(
                std::count_if(row, row + picture->Width(), [](std::uint32_t p) { return p != kWhite; }));
            EXPECT_TRUE(std::equal(row, row + picture->Width(), source.pixels.begin() + y * source.width));
        }
    }
    EXPECT_GT(ink, 1000);
}

TEST(Placeholders, RecognisesOnlyTheirOwnPixels) {
    for (int slot = 1; slot <= 6; ++slot) {
        const PixelBuffer* picture = PlaceholderPicture(slot);
        ASSERT_NE(picture, nullptr);
        EXPECT_TRUE(IsPlaceholderPixels(picture->Pixels())) << slot;
        EXPECT_FALSE(IsPlaceholderPixels(picture->Pixels() + 1)) << slot;
    }
    auto other = PixelBuffer::Create(200, 282);
    ASSERT_FALSE(other->Empty());
    EXPECT_FALSE(IsPlaceholderPixels(other->Pixels()));
    EXPECT_FALSE(IsPlaceholderPixels(PixelBuffer::WhitePage().Pixels()));
    EXPECT_FALSE(IsPlaceholderPixels(nullptr));
}

TEST(Placeholders, SlotsOutsideTheRangeGiveNothingAtOnce) {
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(PlaceholderPicture(0), nullptr);
    EXPECT_EQ(PlaceholderPicture(7), nullptr);
    EXPECT_EQ(PlaceholderPicture(-1), nullptr);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
}

TEST(Placeholders, CallersOnManyThreadsGetTheSamePictures) {
    const PixelBuffer* seen[4][7] = {};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&seen, t] {
            for (int slot = 6; slot >= 1; --slot)
                seen[t][slot] = PlaceholderPicture(slot);
        });
    for (std::thread& thread : threads)
        thread.join();
    for (int slot = 1; slot <= 6; ++slot) {
        EXPECT_NE(seen[0][slot], nullptr);
        for (int t = 1; t < 4; ++t)
            EXPECT_EQ(seen[t][slot], seen[0][slot]);
    }
}

// The mode is fixed for a process, so the eValue set is looked at in a fresh
// process of its own whatever this one has already started.
TEST(PlaceholdersEValue, HasNoWaitingPageAndItsOwnPictures) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto check = [] {
        StartPlaceholderLoader(true);
        StartPlaceholderLoader(false);  // too late: the first call decides
        auto start = std::chrono::steady_clock::now();
        bool ok = PlaceholderPicture(kPlaceholderWaiting) == nullptr &&
                  std::chrono::steady_clock::now() - start < std::chrono::milliseconds(50);
        const PixelBuffer* creating = PlaceholderPicture(kPlaceholderProcessing);
        ok = ok && creating && SamePixels(*creating, DecodeResource("placeholders/evalue-2.png"));
        const PixelBuffer* noImage = PlaceholderPicture(kPlaceholderNoImage);
        ok = ok && noImage && SamePixels(*noImage, DecodeResource("placeholders/evalue-1.png"));
        const PixelBuffer* downloading = PlaceholderPicture(kPlaceholderDownloading);
        ok = ok && downloading && downloading->Width() == 600 && IsPlaceholderPixels(downloading->Pixels());
        std::exit(ok ? 0 : 1);
    };
    EXPECT_EXIT(check(), ::testing::ExitedWithCode(0), "");
}

// --- File icons -------------------------------------------------------------------------

constexpr std::uint32_t kBack = 0x123456;

void ExpectFramedIcon(const PixelBuffer& picture, std::uint32_t background) {
    std::int32_t w = picture.Width(), h = picture.Height();
    ASSERT_TRUE(w > 0 && h > 0 && w % 2 == 0 && h % 2 == 0);
    EXPECT_EQ(picture.At(0, 0), background);
    EXPECT_EQ(picture.At(w - 1, 0), background);
    EXPECT_EQ(picture.At(0, h - 1), background);
    EXPECT_EQ(picture.At(w - 1, h - 1), background);
    // Outside the icon's square everything is background.
    EXPECT_EQ(picture.At(w / 4 - 1, h / 2), background);
    EXPECT_EQ(picture.At(w / 2, h * 3 / 4), background);
    int ink = 0;
    for (std::int32_t y = h / 4; y < h * 3 / 4; ++y)
        for (std::int32_t x = w / 4; x < w * 3 / 4; ++x)
            ink += picture.At(x, y) != background;
    EXPECT_GT(ink, w * h / 32);
    EXPECT_EQ(std::count_if(picture.Pixels(), picture.Pixels() + picture.PixelCount(),
                            [](std::uint32_t p) { return p >> 24 != 0; }),
              0);
}

TEST(FileIcons, PdfIsTheThemeIconInTheMiddle) {
    auto picture = IconPicture(L".pdf", kBack);
    ASSERT_TRUE(picture);
    ExpectFramedIcon(*picture, kBack);
    EXPECT_NE(picture->At(picture->Width() / 2, picture->Height() / 2), kBack);

    // On this machine: no application-pdf icon, so the database's generic
    // icon for it, Adwaita's 32 x 32 x-office-document.
    fs::path themeIcon = "/usr/share/icons/Adwaita/32x32/mimetypes/x-office-document.png";
    const char* dirs = std::getenv("XDG_DATA_DIRS");
    if (!fs::exists(themeIcon) || (dirs && *dirs && !std::string_view(dirs).starts_with("/usr/share"))) {
        GTEST_SKIP() << "not the expected desktop theme";
    }
    auto onWhite = IconPicture(L".pdf", kWhite);
    std::optional<DecodedImage> expected = DecodeImageFile(themeIcon.wstring());
    ASSERT_TRUE(onWhite && expected);
    ExpectIconInTheMiddle(*onWhite, *expected);
}

TEST(FileIcons, CaseAndDotDoNotMatter) {
    auto lower = IconPicture(L".pdf", kBack);
    auto upper = IconPicture(L".PDF", kBack);
    auto mixed = IconPicture(L".Pdf", kBack);
    auto bare = IconPicture(L"pdf", kBack);
    ASSERT_TRUE(lower && upper && mixed && bare);
    EXPECT_TRUE(SamePicture(*upper, *lower));
    EXPECT_TRUE(SamePicture(*mixed, *lower));
    EXPECT_TRUE(SamePicture(*bare, *lower));
}

TEST(FileIcons, UnknownExtensionGivesTheBuiltInIcon) {
    for (const wchar_t* extension : {L".zzq", L"", L".ZZQ"}) {
        auto picture = IconPicture(extension, kWhite);
        ASSERT_TRUE(picture);
        ExpectIconInTheMiddle(*picture, DecodeResource("icons/unknown.png"));
        auto framed = IconPicture(extension, kBack);
        ASSERT_TRUE(framed);
        ExpectFramedIcon(*framed, kBack);
    }
}

TEST(FileIcons, BackgroundShowsInTheCornersAndThroughTheIcon) {
    auto dark = IconPicture(L".zzq", 0x000000);
    auto green = IconPicture(L".zzq", 0x00FF00);
    ASSERT_TRUE(dark && green);
    ExpectFramedIcon(*dark, 0x000000);
    ExpectFramedIcon(*green, 0x00FF00);
    // The icon's own transparent corner lets the background through; the
    // opaque page in its middle is the same on both.
    EXPECT_EQ(dark->At(16, 16), 0x000000u);
    EXPECT_EQ(green->At(16, 16), 0x00FF00u);
    EXPECT_EQ(dark->At(32, 40), green->At(32, 40));
    EXPECT_NE(dark->At(32, 40), 0x000000u);
}

TEST(FileIcons, EveryCommonTypeGetsAFramedIcon) {
    for (const wchar_t* extension :
         {L".ppt", L".pptx", L".xls", L".xlsx", L".doc", L".docx", L".txt", L".png", L".jpg", L".html", L".htm",
          L".url", L".dwg", L".jww", L".cvb"}) {
        SCOPED_TRACE(ToUtf8(extension));
        auto picture = IconPicture(extension, kBack);
        ASSERT_TRUE(picture);
        ExpectFramedIcon(*picture, kBack);
    }
}

// No MIME type on this machine knows .cvb or .jww: the built-in pictures.
TEST(FileIcons, TypesWithoutAThemeIconUseTheBuiltInTable) {
    auto book = IconPicture(L".cvb", kWhite);
    auto drawing = IconPicture(L".JWW", kWhite);
    ASSERT_TRUE(book && drawing);
    ExpectIconInTheMiddle(*book, DecodeResource("icons/book.png"));
    ExpectIconInTheMiddle(*drawing, DecodeResource("icons/drawing.png"));
}

TEST(FileIcons, ManyThreadsAtOnceAgree) {
    std::unique_ptr<PixelBuffer> pictures[4];
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&pictures, t] { pictures[t] = IconPicture(t % 2 ? L".html" : L".HTML", kBack); });
    for (std::thread& thread : threads)
        thread.join();
    for (int t = 0; t < 4; ++t) {
        ASSERT_TRUE(pictures[t]);
        EXPECT_TRUE(SamePicture(*pictures[t], *pictures[0]));
    }
}

// A data folder of our own ahead of the system's: its MIME globs and icon
// themes are read, in the documented order. It is set up in a fresh process,
// since the database is read once per process.
TEST(FileIconsDataDirs, FollowsTheFoldersInXdgDataDirs) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto check = [] {
        fs::path root = fs::temp_directory_path() / ("zov-icons-" + std::to_string(getpid()));
        fs::create_directories(root / "mime");
        std::ofstream(root / "mime" / "globs2") << "# weight:type:pattern[:flags]\n"
                                                   "70:application/x-zov-high:*.zovw\n"
                                                   "50:application/x-zov-plain:*.zovt\n"
                                                   "50:application/x-zov-case:*.ZovC:cs\n"
                                                   "50:application/x-zov-broken:*.zovb\n"
                                                   "50:application/x-zov-generic:*.zovg\n"
                                                   "40:application/x-zov-low:*.zovw\n";
        std::ofstream(root / "mime" / "generic-icons") << "application/x-zov-generic:zov-generic-icon\n";
        auto icon = [&root](const char* theme, const char* size, const char* name, std::int32_t w, std::int32_t h,
                            std::uint32_t colour) {
            fs::path folder = root / "icons" / theme / size / "mimetypes";
            fs::create_directories(folder);
            std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w) * h, colour);
            return WritePngFile((folder / (std::string(name) + ".png")).wstring(), pixels.data(), w, h);
        };
        bool ok = icon("hicolor", "48x48", "application-x-zov-plain", 20, 14, 0xCC0000) &&
                  icon("Adwaita", "32x32", "application-x-zov-high", 8, 8, 0x00CC00) &&
                  icon("Adwaita", "32x32", "application-x-zov-low", 8, 8, 0x0000CC) &&
                  icon("Adwaita", "32x32", "application-x-zov-case", 6, 6, 0xCCCC00) &&
                  icon("Adwaita", "16x16", "zov-generic-icon", 16, 16, 0x00CCCC);
        std::ofstream(root / "icons" / "Adwaita" / "32x32" / "mimetypes" / "application-x-zov-broken.png")
            << "\x89PNG\r\n\x1a\n not really";
        setenv("XDG_DATA_DIRS", (root.string() + ":/usr/share").c_str(), 1);

        auto expect = [&ok](const char* what, bool good) {
            if (!good)
                std::fprintf(stderr, "failed: %s\n", what);
            ok = ok && good;
        };
        auto middle = [](const std::unique_ptr<PixelBuffer>& p) { return p->At(p->Width() / 2, p->Height() / 2); };
        // Natural size, hicolor, and the 48-pixel folder when there is no 32.
        auto plain = IconPicture(L".zovt", kBack);
        expect("plain", plain && plain->Width() == 40 && plain->Height() == 28 && middle(plain) == 0xCC0000 &&
                            plain->At(9, 7) == kBack && plain->At(10, 7) == 0xCC0000);
        auto weighted = IconPicture(L".ZOVW", kBack);
        expect("weight", weighted && middle(weighted) == 0x00CC00);
        auto exact = IconPicture(L".ZovC", kBack);
        expect("case-sensitive match", exact && exact->Width() == 12 && middle(exact) == 0xCCCC00);
        auto otherCase = IconPicture(L".zovc", kWhite);
        expect("case-sensitive miss", otherCase && SamePicture(*otherCase, *IconPicture(L".zzq", kWhite)));
        auto generic = IconPicture(L".zovg", kBack);
        expect("generic icon", generic && generic->Width() == 32 && middle(generic) == 0x00CCCC);
        auto broken = IconPicture(L".zovb", kBack);
        expect("broken icon falls back", broken && broken->Width() == 64 && middle(broken) != kBack);
        // The system's folder still counts after ours.
        auto pdf = IconPicture(L".pdf", kBack);
        expect("system folder", pdf && pdf->Width() >= 32);
        fs::remove_all(root);
        std::exit(ok ? 0 : 1);
    };
    EXPECT_EXIT(check(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace zov
