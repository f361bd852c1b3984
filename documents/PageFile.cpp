#include "documents/PageFile.h"

#include "documents/PageImagePools.h"
#include "platform/Locks.h"
#include "platform/image/ImageDecoder.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace zov {

namespace {

// How each image type decodes image 1 and image 2: kinds 2, 4 and 8 are
// decoded, every other kind shows the checkerboard.
struct DecoderKinds {
    int image1;
    int image2;
};

std::optional<DecoderKinds> KindsFor(std::int32_t imageType) {
    switch (imageType) {
    case 2: return DecoderKinds{2, 1};
    case 3: return DecoderKinds{2, 2};
    case 4: return DecoderKinds{2, 3};
    case 5: return DecoderKinds{2, 4};
    case 6: return DecoderKinds{2, 5};
    case 7: return DecoderKinds{2, 8};
    case 8: return DecoderKinds{9, 9};
    default: return std::nullopt;
    }
}

bool Decodable(int kind) {
    return kind == 2 || kind == 4 || kind == 8;
}

bool ReadHeader(BinaryFile& file, std::uint32_t& header) {
    std::int32_t value;
    if (!file.Seek(0) || !file.ReadInt32(value))
        return false;
    header = static_cast<std::uint32_t>(value);
    return true;
}

bool ReadEmbeddedImage(BinaryFile& file, EmbeddedImage& image) {
    if (!file.ReadInt32(image.width) || !file.ReadInt32(image.height) || !file.ReadInt32(image.blockSize) ||
        !file.ReadInt32(image.dataLength))
        return false;
    image.dataOffset = file.Position();
    return true;
}

bool SaneSize(std::int32_t width, std::int32_t height, std::int64_t limit) {
    return width > 0 && height > 0 && std::int64_t{width} * height <= limit;
}

// The decoded picture, which is never larger than the page's stored size,
// at the top left on white. The stored size is what the page is laid out
// with, so the block is never written past.
void CopyCropped(const DecodedImage& image, PixelBuffer& page) {
    const std::int32_t rows = std::min(image.height, page.Height());
    const std::int32_t columns = std::min(image.width, page.Width());
    for (std::int32_t y = 0; y < page.Height(); ++y) {
        std::uint32_t* row = page.Row(y);
        std::int32_t copied = 0;
        if (y < rows) {
            std::memcpy(row, image.pixels.data() + static_cast<std::int64_t>(y) * image.width,
                        static_cast<std::size_t>(columns) * 4);
            copied = columns;
        }
        std::fill(row + copied, row + page.Width(), 0xFFFFFFu);
    }
}

bool DecodeInto(BinaryFile& file, const EmbeddedImage& embedded, PixelBuffer& page) {
    std::optional<DecodedImage> image;
    {
        LockGuard guard(DecodeLock());
        // A length beyond the end of the file is cut to what is there; the
        // decoder then sees a damaged picture and the checkerboard shows.
        std::int64_t length = std::clamp<std::int64_t>(embedded.dataLength, 0, file.Size() - embedded.dataOffset);
        if (length > kMaxEmbeddedPictureBytes)
            return false;
        std::vector<std::uint8_t>& scratch = DecodeScratch();
        if (scratch.size() < static_cast<std::size_t>(length))
            scratch.resize(static_cast<std::size_t>(length));
        if (!file.Seek(embedded.dataOffset) || !file.Read(scratch.data(), static_cast<std::size_t>(length)))
            return false;
        // The page's own size bounds the picture before the decoder allocates:
        // a small file could otherwise claim a picture of many megapixels.
        image = DecodeImage(std::span<const std::uint8_t>(scratch.data(), static_cast<std::size_t>(length)),
                            ImageBounds{page.Width(), page.Height()});
    }
    if (!image)
        return false;
    CopyCropped(*image, page);
    return true;
}

std::unique_ptr<PixelBuffer> ReadEmbedded(BinaryFile& file, const EmbeddedImage& embedded, int kind,
                                          BlockPool& pool) {
    if (!SaneSize(embedded.width, embedded.height, kMaxPagePixels))
        return nullptr;
    auto page = std::make_unique<PixelBuffer>(embedded.width, embedded.height);
    // The reservation follows from the size; the file's own figure is not
    // trusted, it could be smaller than the picture.
    BlockPool::Block block = pool.Acquire(page->PixelCount() * 4);
    if (block.block)
        page->AdoptPixels(static_cast<std::uint32_t*>(block.block), block.size, &pool);
    else if (!page->AllocatePixels())
        return nullptr;
    if (!Decodable(kind) || !DecodeInto(file, embedded, *page))
        FillCheckerboard(page->Pixels(), page->Width(), page->Height());
    return page;
}

}  // namespace

std::optional<PageFileLayout> WalkPageFile(BinaryFile& file) {
    PageFileLayout layout;
    if (!ReadHeader(file, layout.header))
        return std::nullopt;
    const bool extended = HeaderExtended(layout.header);
    const std::int32_t version = HeaderVersion(layout.header);
    if (extended && !file.Skip(kExtendedBlockSize))
        return layout;
    EmbeddedImage image1;
    if (!ReadEmbeddedImage(file, image1))
        return layout;
    if (extended) {
        image1.width = static_cast<std::int32_t>(static_cast<std::uint32_t>(image1.width) ^ kExtendedHeaderMask);
        image1.height = static_cast<std::int32_t>(static_cast<std::uint32_t>(image1.height) ^ kExtendedHeaderMask);
    }
    layout.image1 = image1;
    if (!file.Skip(image1.dataLength))
        return layout;
    std::uint8_t flag;
    if (!file.ReadByte(flag))
        return layout;
    layout.image2Flag = flag;
    if (flag != 0) {
        EmbeddedImage image2;
        if (!ReadEmbeddedImage(file, image2))
            return layout;
        layout.image2 = image2;
        if (!file.Skip(image2.dataLength))
            return layout;
    }
    if (!file.Skip(kReservedBytes))
        return layout;
    layout.reservedSkipped = true;
    if (version >= 2) {
        std::int32_t textLength;
        if (!file.ReadInt32(textLength))
            return layout;
        layout.textOffset = file.Position();
        layout.textLength = textLength;
        if (!file.Skip(textLength))
            return layout;
    }
    if (version >= 3) {
        std::int32_t length;
        if (!file.ReadInt32(length))
            return layout;
        layout.versionThreeLength = length;
        if (!file.Skip(length))
            return layout;
    }
    layout.pageListOffset = file.Position();
    return layout;
}

std::unique_ptr<PixelBuffer> ReadImage(BinaryFile& file) {
    try {
        std::optional<PageFileLayout> layout = WalkPageFile(file);
        if (!layout || !layout->image1)
            return nullptr;
        std::optional<DecoderKinds> kinds = KindsFor(HeaderImageType(layout->header));
        if (!kinds)
            return nullptr;
        return ReadEmbedded(file, *layout->image1, kinds->image1, Image1Pool());
    } catch (...) {
        return nullptr;
    }
}

std::unique_ptr<PixelBuffer> ReadPreferredImage(BinaryFile& file) {
    try {
        std::optional<PageFileLayout> layout = WalkPageFile(file);
        if (!layout)
            return nullptr;
        std::optional<DecoderKinds> kinds = KindsFor(HeaderImageType(layout->header));
        if (!kinds)
            return nullptr;
        // No image 2, or a file cut off before its flag: show image 1.
        if (layout->image2Flag.value_or(0) == 0)
            return ReadImage(file);
        if (!layout->image2)
            return nullptr;
        return ReadEmbedded(file, *layout->image2, kinds->image2, Image2Pool());
    } catch (...) {
        return nullptr;
    }
}

std::optional<std::vector<std::int32_t>> ReadPageList(BinaryFile& file) {
    try {
        std::optional<PageFileLayout> layout = WalkPageFile(file);
        if (!layout)
            return std::nullopt;
        const std::int32_t version = HeaderVersion(layout->header);
        if (version < 1 || version > 10)
            return std::nullopt;
        // A file that ends before its list is a document of one page.
        const std::vector<std::int32_t> onePage{1};
        if (!layout->pageListOffset || file.Remaining() <= 4)
            return onePage;
        std::int32_t count;
        if (!file.ReadInt32(count) || count < 0 || std::int64_t{count} * 4 > file.Remaining())
            return onePage;
        std::vector<std::int32_t> pages(static_cast<std::size_t>(count));
        for (std::int32_t& value : pages) {
            if (!file.ReadInt32(value))
                return onePage;
        }
        return pages;
    } catch (...) {
        return std::nullopt;
    }
}

std::int32_t ReadVersion(BinaryFile& file) {
    std::uint32_t header;
    if (!ReadHeader(file, header))
        return -1;
    return HeaderVersion(header);
}

std::int64_t TextOffset(std::wstring_view path) {
    try {
        BinaryFile file;
        if (!file.Open(path))
            return 0;
        std::optional<PageFileLayout> layout = WalkPageFile(file);
        if (!layout || HeaderVersion(layout->header) < 2)
            return 0;
        return layout->textOffset.value_or(0);
    } catch (...) {
        return 0;
    }
}

std::unique_ptr<PixelBuffer> LoadImageFile(std::wstring_view path) {
    try {
        std::optional<DecodedImage> image = DecodeImageFile(path);
        if (!image || !SaneSize(image->width, image->height, kMaxDecodedPixels))
            return nullptr;
        const std::size_t bytes = image->pixels.size() * 4;
        auto* block = static_cast<std::uint32_t*>(std::malloc(bytes));
        if (!block)
            return nullptr;
        std::memcpy(block, image->pixels.data(), bytes);
        auto picture = std::make_unique<PixelBuffer>(image->width, image->height);
        picture->AdoptPixels(block, static_cast<std::int64_t>(bytes), nullptr);
        return picture;
    } catch (...) {
        return nullptr;
    }
}

}  // namespace zov
