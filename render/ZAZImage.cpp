#include "render/ZAZImage.h"

#include "render/Placeholders.h"

namespace zov {

ZAZImage::ZAZImage(std::wstring sourcePathValue, std::wstring captionValue, std::int32_t number,
                   std::unique_ptr<PixelBuffer> smallPicture, std::unique_ptr<PixelBuffer> largePicture)
    : sourcePath(std::move(sourcePathValue)), caption(std::move(captionValue)), pageNumber(number) {
    if (smallPicture)
        small = std::move(*smallPicture);
    if (largePicture)
        large = std::move(*largePicture);
}

ZAZImage::~ZAZImage() = default;

AspectRatios ZAZImage::Aspect() const {
    const PixelBuffer* picture = !large.Empty() ? &large : !small.Empty() ? &small : nullptr;
    if (!picture || picture->Width() <= 0 || picture->Height() <= 0)
        return {};
    if (picture == &small && releasedShape.width > 0 && small.Pixels() == PixelBuffer::WhitePage().Pixels())
        return releasedShape;
    const std::int64_t w = picture->Width();
    const std::int64_t h = picture->Height();
    AspectRatios ratios;
    ratios.width = w > h ? 1024 : static_cast<std::int32_t>(w * 1024 / h);
    ratios.height = h > w ? 1024 : static_cast<std::int32_t>(h * 1024 / w);
    return ratios;
}

void DrawPage(PixelBuffer& target, bool draft, ZAZImage& page, const PageQuad& quad, bool quality, int curve,
              double opacity) {
    page.drawnAsDownloading = false;
    if (quad.Q.x < quad.R.x)
        return;
    page.half = quad.half;
    const PixelBuffer* picture = nullptr;
    PixelBuffer downloading;
    const bool noPicture = page.small.Empty() && page.large.Empty();
    if (noPicture) {
        if (const PixelBuffer* placeholder = PlaceholderPicture(kPlaceholderDownloading)) {
            downloading.ShowResident(*placeholder);
            picture = &downloading;
        }
    } else if (draft) {
        picture = !page.small.Empty() ? &page.small : &page.large;
    } else {
        // The small picture serves when there is no large one, or when the
        // page is drawn smaller than the small picture anyway.
        const bool smallEnough = page.small.HoldsOwnPixels() &&
                                 static_cast<double>(quad.A.y - quad.Q.y) / page.small.Height() < 1;
        picture = !page.small.Empty() && (page.large.Empty() || smallEnough) ? &page.small : &page.large;
    }
    if (picture && !picture->Empty())
        WarpPicture(target, *picture, quad, quality, curve, opacity);
    if (noPicture)
        page.drawnAsDownloading = true;
}

}  // namespace zov
