// BMP, read here: the file header, then a core (12-byte), info (40), V2 (52),
// V3 (56), V4 (108) or V5 (124) header. Palette pictures of 1, 2, 4 and 8 bits,
// RLE8 and RLE4, 16 and 32 bits with or without bit fields, and 24 bits; rows
// bottom-up unless the height is negative, each padded to 4 bytes. Every read
// is checked against the data.
#include "platform/image/ImageCodecs.h"

#include <algorithm>
#include <bit>

namespace zov::image {

namespace {

constexpr std::uint32_t kRgb = 0;
constexpr std::uint32_t kRle8 = 1;
constexpr std::uint32_t kRle4 = 2;
constexpr std::uint32_t kBitFields = 3;
constexpr std::uint32_t kAlphaBitFields = 6;
constexpr size_t kFileHeaderSize = 14;

std::uint32_t U16(std::span<const std::uint8_t> d, size_t at) {
    return d[at] | (std::uint32_t{d[at + 1]} << 8);
}

std::uint32_t U32(std::span<const std::uint8_t> d, size_t at) {
    return U16(d, at) | (U16(d, at + 2) << 16);
}

// A colour channel under a bit mask, brought to 0..255.
class MaskedChannel {
public:
    explicit MaskedChannel(std::uint32_t mask = 0)
        : mask_(mask), shift_(mask ? std::countr_zero(mask) : 0), max_(mask ? mask >> shift_ : 0) {}

    bool Present() const { return mask_ != 0; }
    std::uint32_t From(std::uint32_t value) const {
        if (max_ == 0)
            return 0;
        std::uint64_t v = (value & mask_) >> shift_;
        return static_cast<std::uint32_t>((v * 255 + max_ / 2) / max_);
    }

private:
    std::uint32_t mask_;
    int shift_;
    std::uint32_t max_;
};

struct BmpLayout {
    std::int64_t width = 0;
    std::int64_t height = 0;
    bool topDown = false;
    std::uint32_t depth = 0;
    std::uint32_t compression = kRgb;
    std::uint32_t masks[4] = {};  // red, green, blue, alpha
    size_t paletteAt = 0;
    size_t paletteEntry = 4;
    std::uint64_t paletteCount = 0;
    size_t pixelsAt = 0;
};

std::optional<BmpLayout> ReadLayout(std::span<const std::uint8_t> d) {
    if (d.size() < kFileHeaderSize + 4)
        return std::nullopt;
    BmpLayout layout;
    std::uint32_t headerSize = U32(d, 14);
    std::uint64_t clrUsed = 0;
    if (headerSize == 12) {
        if (d.size() < kFileHeaderSize + 12)
            return std::nullopt;
        layout.width = U16(d, 18);
        layout.height = U16(d, 20);
        layout.depth = U16(d, 24);
        layout.paletteEntry = 3;
    } else if (headerSize == 40 || headerSize == 52 || headerSize == 56 || headerSize == 108 || headerSize == 124) {
        if (d.size() < kFileHeaderSize + headerSize)
            return std::nullopt;
        layout.width = static_cast<std::int32_t>(U32(d, 18));
        layout.height = static_cast<std::int32_t>(U32(d, 22));
        layout.depth = U16(d, 28);
        layout.compression = U32(d, 30);
        clrUsed = U32(d, 46);
    } else {
        return std::nullopt;
    }
    layout.paletteAt = kFileHeaderSize + headerSize;
    if (layout.height < 0) {
        layout.topDown = true;
        layout.height = -layout.height;
    }

    if (layout.compression == kBitFields || layout.compression == kAlphaBitFields) {
        // Masks follow a 40-byte header; the later headers hold them.
        size_t masksAt = kFileHeaderSize + 40;
        size_t count = headerSize == 52 || (headerSize == 40 && layout.compression == kBitFields) ? 3 : 4;
        if (headerSize == 40)
            layout.paletteAt += count * 4;
        if (d.size() < masksAt + count * 4)
            return std::nullopt;
        for (size_t i = 0; i < count; ++i)
            layout.masks[i] = U32(d, masksAt + i * 4);
        if (layout.depth != 16 && layout.depth != 32)
            return std::nullopt;
    } else if (layout.depth == 16) {
        layout.masks[0] = 0x7C00;
        layout.masks[1] = 0x03E0;
        layout.masks[2] = 0x001F;
    } else if (layout.depth == 32) {
        layout.masks[0] = 0xFF0000;
        layout.masks[1] = 0x00FF00;
        layout.masks[2] = 0x0000FF;
    }

    switch (layout.compression) {
    case kRgb:
        if (layout.depth != 1 && layout.depth != 2 && layout.depth != 4 && layout.depth != 8 && layout.depth != 16 &&
            layout.depth != 24 && layout.depth != 32)
            return std::nullopt;
        break;
    case kRle8:
    case kRle4:
        if (layout.depth != (layout.compression == kRle8 ? 8u : 4u))
            return std::nullopt;
        break;
    case kBitFields:
    case kAlphaBitFields:
        break;
    default:
        return std::nullopt;
    }

    if (layout.depth <= 8) {
        std::uint64_t most = std::uint64_t{1} << layout.depth;
        layout.paletteCount = clrUsed == 0 ? most : std::min(clrUsed, most);
    }
    layout.pixelsAt = U32(d, 10);
    if (layout.pixelsAt < layout.paletteAt || layout.pixelsAt >= d.size())
        return std::nullopt;
    return layout;
}

// Palette entries past the data, or past the pixels, are left black.
std::vector<std::uint32_t> ReadPalette(std::span<const std::uint8_t> d, const BmpLayout& layout) {
    std::vector<std::uint32_t> palette(size_t{1} << std::min(layout.depth, 8u), 0);
    std::uint64_t room = (layout.pixelsAt - layout.paletteAt) / layout.paletteEntry;
    std::uint64_t count = std::min(layout.paletteCount, room);
    for (size_t i = 0; i < count; ++i) {
        size_t at = layout.paletteAt + i * layout.paletteEntry;
        palette[i] = Rgb(d[at + 2], d[at + 1], d[at]);
    }
    return palette;
}

std::uint64_t RowStride(const BmpLayout& layout) {
    return (static_cast<std::uint64_t>(layout.width) * layout.depth + 31) / 32 * 4;
}

// Checked before the picture is allocated, so that a short file claiming a
// large picture costs nothing.
bool HoldsAllRows(std::span<const std::uint8_t> d, const BmpLayout& layout) {
    std::uint64_t rowBytes = (static_cast<std::uint64_t>(layout.width) * layout.depth + 7) / 8;
    // The last row's padding may be missing.
    std::uint64_t needed = RowStride(layout) * (static_cast<std::uint64_t>(layout.height) - 1) + rowBytes;
    return needed <= d.size() - layout.pixelsAt;
}

void ReadUncompressed(std::span<const std::uint8_t> d, const BmpLayout& layout, DecodedImage& image) {
    std::uint64_t width = static_cast<std::uint64_t>(layout.width);
    std::uint64_t stride = RowStride(layout);
    std::vector<std::uint32_t> palette = ReadPalette(d, layout);
    MaskedChannel red(layout.masks[0]);
    MaskedChannel green(layout.masks[1]);
    MaskedChannel blue(layout.masks[2]);
    MaskedChannel alpha(layout.masks[3]);
    bool anyAlpha = false;
    for (std::int64_t r = 0; r < layout.height; ++r) {
        size_t rowAt = layout.pixelsAt + r * stride;
        const std::uint8_t* row = d.data() + rowAt;
        std::int64_t y = layout.topDown ? r : layout.height - 1 - r;
        std::uint32_t* out = image.pixels.data() + y * layout.width;
        for (std::uint64_t x = 0; x < width; ++x) {
            switch (layout.depth) {
            case 1:
            case 2:
            case 4:
            case 8: {
                std::uint64_t bit = x * layout.depth;
                std::uint32_t shift = 8 - layout.depth - static_cast<std::uint32_t>(bit % 8);
                out[x] = palette[(row[bit / 8] >> shift) & ((1u << layout.depth) - 1)];
                break;
            }
            case 24:
                out[x] = Rgb(row[x * 3 + 2], row[x * 3 + 1], row[x * 3]);
                break;
            case 16:
            case 32: {
                std::uint32_t v = layout.depth == 16 ? U16(d, rowAt + x * 2) : U32(d, rowAt + x * 4);
                std::uint32_t a = alpha.Present() ? alpha.From(v) : 0;
                anyAlpha = anyAlpha || a != 0;
                out[x] = (a << 24) | Rgb(red.From(v), green.From(v), blue.From(v));
                break;
            }
            }
        }
    }
    if (!alpha.Present())
        return;
    // Many writers declare an alpha mask and leave every alpha byte zero;
    // such a picture is meant to be opaque, not blank.
    for (std::uint32_t& pixel : image.pixels) {
        std::uint32_t a = anyAlpha ? pixel >> 24 : 255;
        pixel = RgbaOnWhite((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF, a);
    }
}

// RLE8 and RLE4. Pixels the codes skip over show the paper. The data must
// reach the end-of-picture code or the last row.
bool ReadRunLength(std::span<const std::uint8_t> d, const BmpLayout& layout, DecodedImage& image) {
    std::vector<std::uint32_t> palette = ReadPalette(d, layout);
    bool four = layout.compression == kRle4;
    std::int64_t x = 0;
    std::int64_t r = 0;
    auto put = [&](std::uint32_t index) {
        if (x < layout.width && r < layout.height) {
            std::int64_t y = layout.topDown ? r : layout.height - 1 - r;
            image.pixels[y * layout.width + x] = palette[index];
        }
        ++x;
    };
    size_t pos = layout.pixelsAt;
    while (r < layout.height) {
        if (d.size() - pos < 2)
            return false;
        std::uint32_t count = d[pos];
        std::uint32_t value = d[pos + 1];
        pos += 2;
        if (count > 0) {
            for (std::uint32_t i = 0; i < count && x < layout.width; ++i)
                put(four ? (i % 2 == 0 ? value >> 4 : value & 0x0F) : value);
        } else if (value == 0) {
            x = 0;
            ++r;
        } else if (value == 1) {
            return true;
        } else if (value == 2) {
            if (d.size() - pos < 2)
                return false;
            x += d[pos];
            r += d[pos + 1];
            pos += 2;
        } else {
            size_t bytes = four ? (value + 1) / 2 : value;
            if (d.size() - pos < bytes)
                return false;
            for (std::uint32_t i = 0; i < value && x < layout.width; ++i)
                put(four ? (i % 2 == 0 ? d[pos + i / 2] >> 4 : d[pos + i / 2] & 0x0F) : d[pos + i]);
            // Absolute runs are padded to a 16-bit boundary.
            pos += std::min(bytes + bytes % 2, d.size() - pos);
        }
    }
    return true;
}

}  // namespace

std::optional<DecodedImage> DecodeBmp(std::span<const std::uint8_t> data, const ImageBounds& bounds) {
    std::optional<BmpLayout> layout = ReadLayout(data);
    if (!layout || !AcceptableSize(layout->width, layout->height, bounds))
        return std::nullopt;
    bool runLength = layout->compression == kRle8 || layout->compression == kRle4;
    if (!runLength && !HoldsAllRows(data, *layout))
        return std::nullopt;
    DecodedImage image =
        BlankImage(static_cast<std::int32_t>(layout->width), static_cast<std::int32_t>(layout->height));
    if (runLength) {
        if (!ReadRunLength(data, *layout, image))
            return std::nullopt;
    } else {
        ReadUncompressed(data, *layout, image);
    }
    return image;
}

}  // namespace zov::image
