#include "render/ZAZLayout.h"

#include <atomic>

namespace zov {

namespace {

std::atomic<std::int32_t> defaultRightStitch{0};
std::atomic<std::int32_t> defaultSinglePage{0};

std::int32_t Mix(std::int32_t a, std::int32_t b, double t) {
    return static_cast<std::int32_t>((1 - t) * a + t * b);
}

}  // namespace

ZAZLayout::ZAZLayout() : rightStitch(defaultRightStitch.load()), singlePage(defaultSinglePage.load()) {}

ZAZLayout Interpolate(const ZAZLayout& a, const ZAZLayout& b, double t) {
    ZAZLayout r = a;
    r.columnGap = Mix(a.columnGap, b.columnGap, t);
    r.rowGap = Mix(a.rowGap, b.rowGap, t);
    r.pageWidth = Mix(a.pageWidth, b.pageWidth, t);
    r.pageHeight = Mix(a.pageHeight, b.pageHeight, t);
    r.openWidth = Mix(a.openWidth, b.openWidth, t);
    r.spareHeight = Mix(a.spareHeight, b.spareHeight, t);
    r.leftMargin = Mix(a.leftMargin, b.leftMargin, t);
    r.topMargin = Mix(a.topMargin, b.topMargin, t);
    r.leafLift = Mix(a.leafLift, b.leafLift, t);
    r.openFactor = (1 - t) * a.openFactor + t * b.openFactor;
    return r;
}

void SetLayoutDefaults(std::int32_t rightStitch, std::int32_t singlePage) {
    defaultRightStitch = rightStitch;
    defaultSinglePage = singlePage;
}

}  // namespace zov
