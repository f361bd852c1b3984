// Page files: one per page of a converted document, holding the page as an
// encoded picture (and optionally a larger preferred one), the page's text,
// and in page file 1 the document's page list. Little-endian throughout:
//
//   header word: bit 31 extended header, bits 24-30 version (1-10),
//                bits 0-3 image type (2-8)
//   [128-byte extended block when bit 31 is set]
//   image 1: width, height (both XOR kExtendedHeaderMask when bit 31 is set),
//            pixel block size, data length L1, L1 bytes of encoded picture
//   image 2 flag (1 byte); when not 0: width, height, pixel block size,
//            data length L2, L2 bytes (never masked)
//   1 + 16 reserved bytes
//   version 2 and later: text length T, T bytes of UTF-8 text (one line)
//   version 3 and later: a length n and n bytes, skipped
//   page file 1: page count N and N 32-bit values
//
// Page files come from servers and shares: every length and size read here is
// checked against the file before it is used.
#pragma once

#include "platform/BinaryFile.h"
#include "pixels/PixelBuffer.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace zov {

inline constexpr std::uint32_t kExtendedHeaderBit = 0x80000000u;
// Image 1's width and height are stored XOR-ed with this in files with an
// extended header; the converter writes them the same way.
inline constexpr std::uint32_t kExtendedHeaderMask = 0x5A3C96E1u;
inline constexpr std::int64_t kExtendedBlockSize = 128;
inline constexpr std::int64_t kReservedBytes = 1 + 16;
// The largest page picture a page file may describe (64 Mi pixels, 256 MiB of
// pixels): above a poster at 300 dpi, and a bound on what one file can make
// the viewer allocate. The embedded picture may be no larger than the size
// its page file gives it; a larger one shows the checkerboard.
inline constexpr std::int64_t kMaxPagePixels = std::int64_t{1} << 26;
// An embedded picture of more bytes than this is not decoded.
inline constexpr std::int64_t kMaxEmbeddedPictureBytes = std::int64_t{128} << 20;

constexpr std::int32_t HeaderVersion(std::uint32_t header) {
    return static_cast<std::int32_t>(header >> 24 & 0x7F);
}
constexpr std::int32_t HeaderImageType(std::uint32_t header) {
    return static_cast<std::int32_t>(header & 0x0F);
}
constexpr bool HeaderExtended(std::uint32_t header) {
    return (header & kExtendedHeaderBit) != 0;
}

// One embedded picture as the file describes it; width and height unmasked.
struct EmbeddedImage {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t blockSize = 0;
    std::int32_t dataLength = 0;
    std::int64_t dataOffset = 0;
};

// What a walk through a page file found, as far as the file went.
struct PageFileLayout {
    std::uint32_t header = 0;
    std::optional<EmbeddedImage> image1;
    std::optional<std::uint8_t> image2Flag;
    std::optional<EmbeddedImage> image2;
    bool reservedSkipped = false;
    std::optional<std::int64_t> textOffset;  // of the text itself, after its length
    std::int32_t textLength = 0;
    std::optional<std::int32_t> versionThreeLength;
    std::optional<std::int64_t> pageListOffset;  // where the page count stands
};

// Nothing when not even the header word can be read.
std::optional<PageFileLayout> WalkPageFile(BinaryFile& file);

// Image 1 of the page file, decoded, or a checkerboard of its size when its
// picture cannot be decoded. Null when the file is no page file, its sizes are
// not sane, or no memory could be had.
std::unique_ptr<PixelBuffer> ReadImage(BinaryFile& file);
// Image 2 when the file has one, else image 1.
std::unique_ptr<PixelBuffer> ReadPreferredImage(BinaryFile& file);
// The page list of page file 1: null when the file is no page file of
// version 1 to 10; {1} when the file holds no complete list.
std::optional<std::vector<std::int32_t>> ReadPageList(BinaryFile& file);
// -1 when the header cannot be read.
std::int32_t ReadVersion(BinaryFile& file);
// Where the page text starts; 0 for version 1 files and files that cannot be read.
std::int64_t TextOffset(std::wstring_view path);

// A plain image file as a picture held in its own heap block; null when it
// cannot be decoded.
std::unique_ptr<PixelBuffer> LoadImageFile(std::wstring_view path);

}  // namespace zov
