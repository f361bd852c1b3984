// One page of a document on the desk: its name and up to two pictures of it,
// a small one for overview and a large one for reading.
#pragma once

#include "pixels/PageWarp.h"
#include "pixels/PixelBuffer.h"

#include <cstdint>
#include <memory>
#include <string>

namespace zov {

// A picture's shape in 1/1024: the longer side is 1024.
struct AspectRatios {
    std::int32_t width = 1;
    std::int32_t height = 1;
};

class ZAZImage {
public:
    ZAZImage() = default;
    ZAZImage(std::wstring sourcePath, std::wstring caption, std::int32_t pageNumber,
             std::unique_ptr<PixelBuffer> smallPicture = nullptr, std::unique_ptr<PixelBuffer> largePicture = nullptr);
    ~ZAZImage();
    ZAZImage(const ZAZImage&) = delete;
    ZAZImage& operator=(const ZAZImage&) = delete;

    // The document's path or address; for an icon page the extension the
    // icon was made for.
    std::wstring sourcePath;
    std::wstring caption;
    std::int32_t pageNumber = 0;  // 1-based
    PixelBuffer small;
    PixelBuffer large;
    int half = kWholePicture;
    // The page was last drawn with the Downloading picture, having none.
    bool drawnAsDownloading = false;
    // The shape of the small picture last given back for the white page, so
    // that a book laid out again meanwhile keeps its shape.
    AspectRatios releasedShape{0, 0};

    // From the large picture when it has pixels, else the small one, else 1 : 1.
    AspectRatios Aspect() const;
};

// Draws `page` into `target` over the quad: in draft drawing its small
// picture (else the large), in full quality the large one unless the small
// one is its own and big enough; without either, the Downloading picture,
// and the page is marked drawn-as-downloading.
void DrawPage(PixelBuffer& target, bool draft, ZAZImage& page, const PageQuad& quad, bool quality, int curve,
              double opacity);

}  // namespace zov
