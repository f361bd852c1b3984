// zov-inspect: looks inside the files a preview server holds.
//
//   zov-inspect pagefile FILE [--png OUT-PREFIX]
//
// Exit status: 0 when the file was read, 1 when it is no page file or cannot
// be read, 2 for a usage error.
#include "docs/PageFile.h"
#include "platform/Encoding.h"
#include "platform/TextFile.h"
#include "platform/image/ImageDecoder.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace zov;

int Usage() {
    std::fprintf(stderr, "usage: zov-inspect pagefile FILE [--png OUT-PREFIX]\n");
    return 2;
}

void PrintImage(const char* name, const EmbeddedImage& image) {
    std::printf("%s: %d x %d, pixel block %d bytes, data %d bytes at offset %lld\n", name, image.width, image.height,
                image.blockSize, image.dataLength, static_cast<long long>(image.dataOffset));
}

bool WritePicture(const std::unique_ptr<PixelBuffer>& picture, const std::string& path) {
    if (!picture || picture->Empty()) {
        std::fprintf(stderr, "zov-inspect: no picture for %s\n", path.c_str());
        return false;
    }
    if (!WritePngFile(FromUtf8(path), picture->Pixels(), picture->Width(), picture->Height())) {
        std::fprintf(stderr, "zov-inspect: cannot write %s\n", path.c_str());
        return false;
    }
    std::printf("wrote %s (%d x %d)\n", path.c_str(), picture->Width(), picture->Height());
    return true;
}

int InspectPageFile(const std::string& path, const char* pngPrefix) {
    std::wstring widePath = FromUtf8(path);
    BinaryFile file;
    if (!file.Open(widePath)) {
        std::fprintf(stderr, "zov-inspect: cannot open %s: %s\n", path.c_str(), std::strerror(errno));
        return 1;
    }
    std::optional<PageFileLayout> layout = WalkPageFile(file);
    if (!layout) {
        std::fprintf(stderr, "zov-inspect: %s is too short to be a page file\n", path.c_str());
        return 1;
    }
    const std::uint32_t header = layout->header;
    const std::int32_t version = HeaderVersion(header);
    const std::int32_t type = HeaderImageType(header);
    std::printf("file: %s (%lld bytes)\n", path.c_str(), static_cast<long long>(file.Size()));
    std::printf("header word: 0x%08X\n", header);
    std::printf("  extended header: %s\n", HeaderExtended(header) ? "yes" : "no");
    std::printf("  version: %d%s\n", version, version >= 1 && version <= 10 ? "" : " (not a page file version)");
    std::printf("  image type: %d%s\n", type, type >= 2 && type <= 8 ? "" : " (unknown: the viewer rejects it)");
    if (layout->image1)
        PrintImage("image 1", *layout->image1);
    else
        std::printf("image 1: cut off\n");
    if (!layout->image2Flag)
        std::printf("image 2: cut off before its flag\n");
    else if (*layout->image2Flag == 0)
        std::printf("image 2: none\n");
    else if (layout->image2)
        PrintImage("image 2", *layout->image2);
    else
        std::printf("image 2: cut off\n");
    if (version >= 2) {
        if (layout->textOffset) {
            std::optional<std::wstring> text = ReadUtf8Line(widePath, static_cast<std::uint64_t>(*layout->textOffset),
                                                            static_cast<std::size_t>(std::max(layout->textLength, 0)));
            std::string line = text ? ToUtf8(TrimTrailingSpace(*text)) : "";
            std::printf("text: %d bytes at offset %lld: %s\n", layout->textLength,
                        static_cast<long long>(*layout->textOffset), line.c_str());
        } else {
            std::printf("text: cut off\n");
        }
    }
    if (version >= 3 && layout->versionThreeLength)
        std::printf("version 3 block: %d bytes\n", *layout->versionThreeLength);
    if (std::optional<std::vector<std::int32_t>> pages = ReadPageList(file)) {
        std::printf("page list: %zu entries:", pages->size());
        for (std::int32_t value : *pages)
            std::printf(" %d", value);
        std::printf("\n");
    } else {
        std::printf("page list: none (not a page file of version 1 to 10)\n");
    }
    const bool pageFile = version >= 1 && version <= 10 && type >= 2 && type <= 8;
    if (!pngPrefix)
        return pageFile ? 0 : 1;
    bool ok = WritePicture(ReadImage(file), std::string(pngPrefix) + "-1.png");
    if (layout->image2)
        ok = WritePicture(ReadPreferredImage(file), std::string(pngPrefix) + "-2.png") && ok;
    return ok && pageFile ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() >= 2 && args[0] == "pagefile") {
        const char* pngPrefix = nullptr;
        if (args.size() == 4 && args[2] == "--png")
            pngPrefix = argv[4];
        else if (args.size() != 2)
            return Usage();
        return InspectPageFile(args[1], pngPrefix);
    }
    return Usage();
}
