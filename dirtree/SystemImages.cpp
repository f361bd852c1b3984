#include "dirtree/SystemImages.h"

#include "platform/Encoding.h"
#include "render/FileIcons.h"

#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace zov {

namespace {

struct Images {
    std::mutex mutex;
    std::map<std::pair<TreeIcon, std::wstring>, std::int32_t> indices;
    std::vector<RgbaImage> pictures;
};

Images& List() {
    static Images* images = new Images;  // lives as long as the process
    return *images;
}

SmallIconKind KindOf(TreeIcon icon) {
    switch (icon) {
    case TreeIcon::Drive: return SmallIconKind::Drive;
    case TreeIcon::RemoteFolder: return SmallIconKind::RemoteFolder;
    case TreeIcon::Folder: return SmallIconKind::Folder;
    case TreeIcon::OpenFolder: return SmallIconKind::OpenFolder;
    case TreeIcon::File: break;
    }
    return SmallIconKind::File;
}

std::wstring LowerAscii(std::wstring_view text) {
    std::wstring lower(text);
    for (wchar_t& c : lower)
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
    return lower;
}

}  // namespace

std::optional<std::int32_t> SystemImageIndex(TreeIcon kind, std::wstring_view extension) {
    Images& images = List();
    std::lock_guard<std::mutex> guard(images.mutex);
    std::pair<TreeIcon, std::wstring> key{kind, kind == TreeIcon::File ? LowerAscii(extension) : std::wstring()};
    if (auto found = images.indices.find(key); found != images.indices.end())
        return found->second;
    // A full list takes no new type: such files show the unknown type's picture.
    if (images.pictures.size() + 1 >= kSystemImageLimit && kind == TreeIcon::File && !key.second.empty())
        key.second = L".\x01";
    if (auto found = images.indices.find(key); found != images.indices.end())
        return found->second;
    std::optional<RgbaImage> picture = SmallIcon(KindOf(kind), key.second, kSmallIconSide);
    if (!picture || images.pictures.size() >= kSystemImageLimit)
        return std::nullopt;
    const auto index = static_cast<std::int32_t>(images.pictures.size());
    images.pictures.push_back(std::move(*picture));
    images.indices.emplace(std::move(key), index);
    return index;
}

std::size_t SystemImageCount() {
    Images& images = List();
    std::lock_guard<std::mutex> guard(images.mutex);
    return images.pictures.size();
}

ImageList SystemImages() {
    Images& images = List();
    std::lock_guard<std::mutex> guard(images.mutex);
    ImageList list;
    list.imageWidth = kSmallIconSide;
    list.imageHeight = kSmallIconSide;
    const std::size_t count = images.pictures.size();
    const std::size_t stride = count * kSmallIconSide;
    list.pixels.assign(stride * kSmallIconSide, 0);
    for (std::size_t i = 0; i < count; ++i) {
        const RgbaImage& picture = images.pictures[i];
        for (std::int32_t y = 0; y < kSmallIconSide; ++y)
            for (std::int32_t x = 0; x < kSmallIconSide; ++x) {
                const std::uint8_t* p = &picture.rgba[(static_cast<std::size_t>(y) * kSmallIconSide + x) * 4];
                list.pixels[y * stride + i * kSmallIconSide + x] = std::uint32_t{p[3]} << 24 |
                                                                     std::uint32_t{p[0]} << 16 |
                                                                     std::uint32_t{p[1]} << 8 | p[2];
            }
    }
    return list;
}

}  // namespace zov
