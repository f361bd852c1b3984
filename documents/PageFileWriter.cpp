#include "documents/PageFileWriter.h"

#include "documents/PageFile.h"
#include "platform/FileSystem.h"

namespace zov {

namespace {

void PutInt32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void PutBytes(std::vector<std::uint8_t>& out, const void* bytes, std::size_t count) {
    auto* p = static_cast<const std::uint8_t*>(bytes);
    out.insert(out.end(), p, p + count);
}

void PutImage(std::vector<std::uint8_t>& out, const PageFileImage& image, std::uint32_t mask) {
    PutInt32(out, static_cast<std::uint32_t>(image.width) ^ mask);
    PutInt32(out, static_cast<std::uint32_t>(image.height) ^ mask);
    std::int64_t block = image.pixelBlockSize ? image.pixelBlockSize : std::int64_t{image.width} * image.height * 4;
    PutInt32(out, static_cast<std::uint32_t>(block));
    PutInt32(out, static_cast<std::uint32_t>(image.data.size()));
    PutBytes(out, image.data.data(), image.data.size());
}

}  // namespace

std::uint32_t PageFileHeader(std::int32_t version, std::int32_t imageType, bool extended) {
    return (extended ? kExtendedHeaderBit : 0) | (static_cast<std::uint32_t>(version) & 0x7F) << 24 |
           (static_cast<std::uint32_t>(imageType) & 0x0F);
}

std::vector<std::uint8_t> SerializePageFile(const PageFileContent& content) {
    std::vector<std::uint8_t> out;
    PutInt32(out, PageFileHeader(content.version, content.imageType, content.extendedHeader));
    if (content.extendedHeader)
        out.resize(out.size() + kExtendedBlockSize, 0);
    PutImage(out, content.image1, content.extendedHeader ? kExtendedHeaderMask : 0);
    out.push_back(content.image2 ? 1 : 0);
    if (content.image2)
        PutImage(out, *content.image2, 0);
    out.resize(out.size() + kReservedBytes, 0);
    if (content.version >= 2) {
        std::string line = content.text;
        if (line.empty() || line.back() != '\n')
            line += '\n';
        PutInt32(out, static_cast<std::uint32_t>(line.size()));
        PutBytes(out, line.data(), line.size());
    }
    if (content.version >= 3) {
        PutInt32(out, static_cast<std::uint32_t>(content.versionThreeBlock.size()));
        PutBytes(out, content.versionThreeBlock.data(), content.versionThreeBlock.size());
    }
    if (content.pageList) {
        PutInt32(out, static_cast<std::uint32_t>(content.pageList->size()));
        for (std::int32_t page : *content.pageList)
            PutInt32(out, static_cast<std::uint32_t>(page));
    }
    return out;
}

bool WritePageFile(std::wstring_view path, const PageFileContent& content) {
    std::vector<std::uint8_t> bytes = SerializePageFile(content);
    return WriteFileAtomically(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

}  // namespace zov
