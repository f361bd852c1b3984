// Writes a small seed corpus for the fuzzers: page files of every version and
// image type, with and without an extended header, and pictures of each format
// the encoders can make.
#include "documents/PageFileWriter.h"
#include "platform/Encoding.h"
#include "platform/image/ImageDecoder.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace zov;

void Save(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make-seeds PAGEFILE-DIR IMAGE-DIR\n");
        return 2;
    }
    std::vector<std::uint32_t> pixels(24 * 16);
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<std::uint32_t>(i * 0x010203);
    std::vector<std::uint8_t> png = EncodePng(pixels.data(), 24, 16);
    std::vector<std::uint8_t> jpeg = EncodeJpeg(pixels.data(), 24, 16, 80);
    Save(std::string(argv[2]) + "/seed.png", png);
    Save(std::string(argv[2]) + "/seed.jpg", jpeg);

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
                Save(std::string(argv[1]) + "/seed" + std::to_string(++n), SerializePageFile(content));
            }
    return 0;
}
