#include "tools/convert/JpegWriter.h"

#include <turbojpeg.h>

#include <algorithm>

namespace zov {

JpegWriter::JpegWriter() : handle_(tjInitCompress()) {}

JpegWriter::~JpegWriter() {
    if (handle_)
        tjDestroy(handle_);
}

std::vector<std::uint8_t> JpegWriter::Encode(const RgbView& picture, int quality) {
    if (!handle_ || !picture.pixels || picture.width <= 0 || picture.height <= 0 ||
        picture.stride < static_cast<std::ptrdiff_t>(picture.width) * 3 || picture.stride > INT32_MAX)
        return {};
    quality = std::clamp(quality, 1, 100);
    const int subsampling = quality >= 90 ? TJSAMP_444 : TJSAMP_420;
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    // The accurate DCT and the standard Huffman tables: the fast DCT saves
    // nothing measurable with the library's SIMD code, and optimised tables
    // cost a second pass.
    const int result = tjCompress2(handle_, picture.pixels, picture.width, static_cast<int>(picture.stride),
                                   picture.height, TJPF_RGB, &jpeg, &size, subsampling, quality, 0);
    std::vector<std::uint8_t> out;
    if (result == 0 && jpeg)
        out.assign(jpeg, jpeg + size);
    tjFree(jpeg);
    return out;
}

}  // namespace zov
