#include "documents/PageFile.h"
#include "documents/PageFileWriter.h"
#include "documents/PageImagePools.h"
#include "platform/Encoding.h"
#include "platform/TextFile.h"
#include "platform/image/ImageDecoder.h"
#include "tests/support/TempDataHome.h"

#include <algorithm>

namespace zov {
namespace {

constexpr std::uint32_t kCheckerLight = 0xFFFFFF;
constexpr std::uint32_t kCheckerDark = 0xC0C0C0;

// A picture whose every pixel differs, so that a shifted or mirrored copy shows.
std::vector<std::uint32_t> Picture(int w, int h) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            pixels[static_cast<std::size_t>(y) * w + x] =
                static_cast<std::uint32_t>((x * 7 & 0xFF) << 16 | (y * 5 & 0xFF) << 8 | ((x + y) & 0xFF));
    return pixels;
}

PageFileImage Png(int w, int h) {
    std::vector<std::uint32_t> pixels = Picture(w, h);
    return PageFileImage{w, h, 0, EncodePng(pixels.data(), w, h)};
}

bool IsCheckerboard(const PixelBuffer& page) {
    const int side = std::min(page.Width(), page.Height()) / 10 + 1;
    for (int y = 0; y < page.Height(); ++y)
        for (int x = 0; x < page.Width(); ++x) {
            bool dark = ((x / side) + (y / side)) % 2 != 0;
            if (page.At(x, y) != (dark ? kCheckerDark : kCheckerLight))
                return false;
        }
    return true;
}

bool Matches(const PixelBuffer& page, int w, int h) {
    std::vector<std::uint32_t> expected = Picture(w, h);
    return page.Width() == w && page.Height() == h &&
           std::equal(expected.begin(), expected.end(), page.Pixels());
}

class PageFile : public test::TempDataHome {
protected:
    std::wstring Write(const std::string& name, const PageFileContent& content) {
        std::wstring path = WideRoot() + L"\\" + FromUtf8(name);
        EXPECT_TRUE(WritePageFile(path, content));
        return path;
    }
    std::wstring WriteBytes(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        return FromUtf8(TempDataHome::WriteBytes(name, std::string(bytes.begin(), bytes.end())));
    }
    static BinaryFile Open(const std::wstring& path) {
        BinaryFile file;
        EXPECT_TRUE(file.Open(path));
        return file;
    }
};

TEST_F(PageFile, WriterAndReadersRoundTrip) {
    PageFileContent content;
    content.version = 3;
    content.imageType = 5;
    content.image1 = Png(31, 17);
    content.image2 = Png(62, 34);
    content.text = "\xE4\xBB\x98\xE7\xAE\x8B page one";
    content.versionThreeBlock = {1, 2, 3};
    content.pageList = std::vector<std::int32_t>{1, 1, 0, 1};
    std::wstring path = Write("doc_00000001.txt", content);

    BinaryFile file;
    ASSERT_TRUE(file.Open(path));
    auto image1 = ReadImage(file);
    ASSERT_TRUE(image1);
    EXPECT_TRUE(Matches(*image1, 31, 17));
    auto image2 = ReadPreferredImage(file);
    ASSERT_TRUE(image2);
    EXPECT_TRUE(Matches(*image2, 62, 34));
    EXPECT_EQ(ReadPageList(file), (std::vector<std::int32_t>{1, 1, 0, 1}));
    EXPECT_EQ(ReadVersion(file), 3);

    std::int64_t offset = TextOffset(path);
    ASSERT_GT(offset, 0);
    // The writer ends the text's one line, so that a line reader stops there.
    EXPECT_EQ(ReadUtf8Line(path, static_cast<std::uint64_t>(offset), 1023), L"\u4ed8\u7b8b page one\n");
}

TEST_F(PageFile, TheExtendedHeaderMasksImageOnesSizeOnly) {
    PageFileContent content;
    content.extendedHeader = true;
    content.image1 = Png(9, 4);
    content.image2 = Png(12, 8);
    std::wstring path = Write("masked.txt", content);
    std::vector<std::uint8_t> bytes = SerializePageFile(content);
    // The stored width is not the plain one...
    std::uint32_t stored = bytes[132] | bytes[133] << 8 | bytes[134] << 16 | static_cast<std::uint32_t>(bytes[135]) << 24;
    EXPECT_EQ(stored, 9u ^ kExtendedHeaderMask);

    BinaryFile file = Open(path);
    auto image1 = ReadImage(file);
    auto image2 = ReadPreferredImage(file);
    ASSERT_TRUE(image1 && image2);
    EXPECT_TRUE(Matches(*image1, 9, 4));
    EXPECT_TRUE(Matches(*image2, 12, 8));
}

TEST_F(PageFile, ImageTypesChooseWhatIsDecoded) {
    PageFileContent content;
    content.image1 = Png(20, 10);
    content.image2 = Png(40, 20);

    content.imageType = 2;  // image 1 decoded, image 2 a checkerboard
    BinaryFile two = Open(Write("type2.txt", content));
    EXPECT_TRUE(Matches(*ReadImage(two), 20, 10));
    auto preferred = ReadPreferredImage(two);
    ASSERT_TRUE(preferred);
    EXPECT_EQ(preferred->Width(), 40);
    EXPECT_TRUE(IsCheckerboard(*preferred));

    content.imageType = 8;  // neither decoded
    BinaryFile eight = Open(Write("type8.txt", content));
    EXPECT_TRUE(IsCheckerboard(*ReadImage(eight)));
    EXPECT_TRUE(IsCheckerboard(*ReadPreferredImage(eight)));

    for (int type : {0, 1, 9, 15}) {
        content.imageType = type;
        BinaryFile bad = Open(Write("bad.txt", content));
        EXPECT_EQ(ReadImage(bad), nullptr) << type;
        EXPECT_EQ(ReadPreferredImage(bad), nullptr) << type;
    }

    // Without image 2 the preferred picture is image 1.
    content.imageType = 3;
    content.image2.reset();
    BinaryFile single = Open(Write("single.txt", content));
    EXPECT_TRUE(Matches(*ReadPreferredImage(single), 20, 10));
}

TEST_F(PageFile, PageListsAndVersions) {
    PageFileContent content;
    content.image1 = Png(4, 4);
    for (int version : {0, 11}) {
        content.version = version;
        BinaryFile file = Open(Write("v.txt", content));
        EXPECT_EQ(ReadPageList(file), std::nullopt) << version;
        EXPECT_EQ(ReadVersion(file), version);
        // The picture readers do not look at the version.
        EXPECT_NE(ReadImage(file), nullptr);
    }

    // A version 1 page file 1 that ends after its reserved bytes: one page.
    content.version = 1;
    BinaryFile v1 = Open(Write("v1.txt", content));
    EXPECT_EQ(ReadPageList(v1), std::vector<std::int32_t>{1});
    EXPECT_EQ(TextOffset(WideRoot() + L"\\v1.txt"), 0);

    // Version 2 has a text block but no version 3 block.
    content.version = 2;
    content.text = "two";
    content.pageList = std::vector<std::int32_t>{1, 1};
    std::wstring v2 = Write("v2.txt", content);
    BinaryFile file2 = Open(v2);
    EXPECT_EQ(ReadPageList(file2), (std::vector<std::int32_t>{1, 1}));
    EXPECT_EQ(ReadUtf8Line(v2, static_cast<std::uint64_t>(TextOffset(v2)), 100), L"two\n");

    BinaryFile tiny;
    std::vector<std::uint8_t> three = {1, 2, 3};
    tiny.OpenMemory(three);
    EXPECT_EQ(ReadPageList(tiny), std::nullopt);
    EXPECT_EQ(ReadVersion(tiny), -1);
    EXPECT_EQ(ReadImage(tiny), nullptr);
    EXPECT_EQ(TextOffset(WideRoot() + L"\\missing.txt"), 0);
}

TEST_F(PageFile, CheckerboardSquares) {
    std::vector<std::uint32_t> big(100 * 100);
    FillCheckerboard(big.data(), 100, 100);
    EXPECT_EQ(big[0], kCheckerLight);
    EXPECT_EQ(big[10], kCheckerLight);   // squares of 11
    EXPECT_EQ(big[11], kCheckerDark);
    EXPECT_EQ(big[11 * 100], kCheckerDark);
    EXPECT_EQ(big[11 * 100 + 11], kCheckerLight);

    std::vector<std::uint32_t> thin(5 * 100);
    FillCheckerboard(thin.data(), 5, 100);
    EXPECT_EQ(thin[0], kCheckerLight);
    EXPECT_EQ(thin[1], kCheckerDark);
    EXPECT_EQ(thin[5], kCheckerDark);
    EXPECT_EQ(thin[6], kCheckerLight);
}

TEST_F(PageFile, EveryTruncationIsSafe) {
    PageFileContent content;
    content.image1 = Png(16, 12);
    content.image2 = Png(32, 24);
    content.text = "text";
    content.pageList = std::vector<std::int32_t>{1, 1, 1};
    std::vector<std::uint8_t> whole = SerializePageFile(content);
    for (std::size_t length = 0; length < whole.size(); ++length) {
        std::vector<std::uint8_t> cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
        BinaryFile file;
        file.OpenMemory(cut);
        auto image = ReadImage(file);
        auto preferred = ReadPreferredImage(file);
        auto pages = ReadPageList(file);
        if (length < 4) {
            EXPECT_EQ(pages, std::nullopt);
            continue;
        }
        // Until the whole list is there, the document counts as one page.
        ASSERT_TRUE(pages) << length;
        if (length < whole.size()) {
            EXPECT_EQ(*pages, std::vector<std::int32_t>{1}) << length;
        }
        // Once image 1's sizes are in, image 1 shows (a checkerboard while its
        // picture is cut off); before, there is nothing.
        EXPECT_EQ(image != nullptr, length >= 4 + 16) << length;
        if (image && length < 4 + 16 + content.image1.data.size()) {
            EXPECT_TRUE(IsCheckerboard(*image)) << length;
        }
    }
}

TEST_F(PageFile, InsaneSizesAndLengthsAreRefused) {
    PageFileContent content;
    content.image1 = Png(8, 8);
    std::vector<std::uint8_t> bytes = SerializePageFile(content);
    auto put = [&bytes](std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    };
    const std::pair<std::uint32_t, std::uint32_t> sizes[] = {
        {100000, 100000}, {0, 8}, {8, 0}, {0xFFFFFFFF, 8}, {0x7FFFFFFF, 0x7FFFFFFF}};
    for (auto [w, h] : sizes) {
        put(4, w);
        put(8, h);
        BinaryFile file;
        file.OpenMemory(bytes);
        EXPECT_EQ(ReadImage(file), nullptr) << w << "x" << h;
    }
    // A data length beyond the end: the page keeps its size, as a checkerboard.
    put(4, 8);
    put(8, 8);
    put(16, 0x7FFFFFF0);
    BinaryFile file;
    file.OpenMemory(bytes);
    auto image = ReadImage(file);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->Width(), 8);
    EXPECT_EQ(ReadPageList(file), std::vector<std::int32_t>{1});
    // A page count larger than the file: one page.
    content.pageList = std::vector<std::int32_t>{1, 1};
    std::vector<std::uint8_t> listed = SerializePageFile(content);
    listed[listed.size() - 12] = 0xFF;
    file.OpenMemory(listed);
    EXPECT_EQ(ReadPageList(file), std::vector<std::int32_t>{1});
}

// The page file says how large its picture is; a picture claiming more is
// not decoded at all. A 676-byte file whose JPEG claimed 11585 x 11585 pixels
// once took 610 MB to be cropped to its page.
TEST_F(PageFile, APictureLargerThanItsPageIsRefusedASmallerOneSitsOnWhite) {
    PageFileContent content;
    for (auto [width, height] : {std::pair{6, 4}, std::pair{10, 5}, std::pair{9, 6}}) {
        content.image1 = Png(10, 6);
        content.image1.width = width;  // stored smaller than the picture
        content.image1.height = height;
        BinaryFile file = Open(Write("large.txt", content));
        auto refused = ReadImage(file);
        ASSERT_TRUE(refused);
        EXPECT_EQ(refused->Width(), width);
        EXPECT_TRUE(IsCheckerboard(*refused)) << width << "x" << height;
    }

    std::vector<std::uint32_t> pixels = Picture(8, 8);
    std::vector<std::uint8_t> jpeg = EncodeJpeg(pixels.data(), 8, 8, 80);
    const std::uint8_t sofMarker[] = {0xFF, 0xC0};
    auto sof = std::search(jpeg.begin(), jpeg.end(), std::begin(sofMarker), std::end(sofMarker));
    ASSERT_NE(sof, jpeg.end());
    sof[5] = sof[7] = 11585 >> 8;
    sof[6] = sof[8] = 11585 & 0xFF;
    content.image1 = PageFileImage{8, 8, 0, jpeg};
    BinaryFile claimed = Open(Write("claimed.txt", content));
    auto page = ReadImage(claimed);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->Width(), 8);
    EXPECT_TRUE(IsCheckerboard(*page));

    content.image1 = Png(3, 2);
    content.image1.width = 5;  // stored larger: the picture on white
    content.image1.height = 3;
    BinaryFile file2 = Open(Write("pad.txt", content));
    auto padded = ReadImage(file2);
    ASSERT_TRUE(padded);
    std::vector<std::uint32_t> small = Picture(3, 2);
    EXPECT_EQ(padded->At(2, 1), small[1 * 3 + 2]);
    EXPECT_EQ(padded->At(3, 1), 0xFFFFFFu);
    EXPECT_EQ(padded->At(0, 2), 0xFFFFFFu);
}

TEST_F(PageFile, PlainImageFilesLoadWhole) {
    std::vector<std::uint32_t> pixels = Picture(13, 7);
    std::vector<std::uint8_t> png = EncodePng(pixels.data(), 13, 7);
    std::wstring path = WriteBytes("photo.png", png);
    auto picture = LoadImageFile(path);
    ASSERT_TRUE(picture);
    EXPECT_TRUE(Matches(*picture, 13, 7));
    std::wstring junk = WriteBytes("junk.png", {0x89, 'P', 'N', 'G', 1, 2, 3});
    EXPECT_EQ(LoadImageFile(junk), nullptr);
    EXPECT_EQ(LoadImageFile(WideRoot() + L"\\none.png"), nullptr);
}

TEST_F(PageFile, DecodedPagesReturnToTheirOwnPool) {
    PageFileContent content;
    content.image1 = Png(70, 70);
    content.image2 = Png(90, 90);
    BinaryFile file = Open(Write("pools.txt", content));
    void* block1 = nullptr;
    void* block2 = nullptr;
    {
        auto image1 = ReadImage(file);
        auto image2 = ReadPreferredImage(file);
        block1 = image1->Pixels();
        block2 = image2->Pixels();
    }
    auto holds = [](BlockPool& pool, void* block) {
        for (const SaveBuf& entry : pool.Entries())
            if (entry.block == block)
                return true;
        return false;
    };
    EXPECT_TRUE(holds(Image1Pool(), block1));
    EXPECT_TRUE(holds(Image2Pool(), block2));
    EXPECT_FALSE(holds(Image1Pool(), block2));
    EXPECT_EQ(Image2Pool().Entries().size(), kImage2PoolSlots);
}

}  // namespace
}  // namespace zov
