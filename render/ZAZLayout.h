// The geometry parameters of the desk or of the zoomed view, in desk units
// (pixels at scale 1.0). Animations of modes and zoom interpolate between
// two layouts field by field.
#pragma once

#include <cstdint>

namespace zov {

struct ZAZLayout {
    ZAZLayout();

    std::int32_t columnGap = 20;
    std::int32_t rowGap = 27;
    // The box every page picture is fitted into, keeping its aspect.
    std::int32_t pageWidth = 128;
    std::int32_t pageHeight = 150;
    // Room the opened left-hand page takes beside the spine: 32 half open,
    // 128 completely open, 0 single page.
    std::int32_t openWidth = 32;
    std::int32_t spareHeight = 150;
    // x of the first column's spine.
    std::int32_t leftMargin = 45;
    std::int32_t topMargin = 45;
    // How far the top of the open left-hand page rises in the half-open view.
    std::int32_t leafLift = 32;
    // Width of the left-hand page as a fraction of the right-hand one.
    double openFactor = 0.3;
    std::int32_t rightStitch;
    std::int32_t singlePage;

    friend bool operator==(const ZAZLayout&, const ZAZLayout&) = default;
};

// Every integer field is trunc((1 - t) * a + t * b), the double likewise
// untruncated; rightStitch and singlePage come from `a` (callers set them).
ZAZLayout Interpolate(const ZAZLayout& a, const ZAZLayout& b, double t);

// The binding and page mode every new layout takes (process-wide, initially 0).
void SetLayoutDefaults(std::int32_t rightStitch, std::int32_t singlePage);

}  // namespace zov
