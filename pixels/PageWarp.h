// Drawing one page picture into the frame as a column-wise warped
// quadrilateral: every destination column gets its own vertical span, so a
// turning page's free edge can move toward the spine and rise, and its top
// edge can curve. The picture is resampled into the spans with nearest,
// box or bilinear filtering (weights in 7-bit fixed point, 128 = 1.0).
#pragma once

#include "pixels/PixelBuffer.h"

#include <cstdint>
#include <vector>

namespace zov {

// The rows one destination column covers; bottom is exclusive.
struct AreaY {
    std::int32_t top = 0;
    std::int32_t bottom = 0;
};

// Which part of a picture a page shows: single-page mode splits a picture
// into halves around the spine.
enum PictureHalf : int { kWholePicture = 0, kLeftHalf = 1, kRightHalf = 2 };

// The top edge: straight, or one of two quarter-ellipse arcs.
enum CurveType : int { kStraightTop = 0, kArcOne = 1, kArcTwo = 2 };

enum class Sampler { Nearest, Box, Bilinear };

// A page quad: R the top of its left edge, Q the top of its right edge, A the
// bottom of its right edge. n = Q.x - R.x columns, hgt = A.y - Q.y rows.
struct PageQuad {
    POINT R;
    POINT Q;
    POINT A;
    int half = kWholePicture;
};

// A book's layout points on screen: spine top S, spine bottom B, left page
// top-left L, right page top-right T.
struct LayoutPoints {
    POINT S;
    POINT B;
    POINT L;
    POINT T;
};

// The spans of the n columns of a quad with top-edge curve `curve`.
std::vector<AreaY> BuildSpans(POINT R, POINT Q, POINT A, int curve);

// The filter a draw uses: nearest without quality; with quality bilinear when
// sourceWidth / n < 2 (integer division), else box.
Sampler ChooseSampler(bool quality, std::int32_t sourceWidth, std::int32_t n);

// Draws `half` of `source` into `target` over the quad. Opacity above 0.99
// writes the samples; below, each pixel becomes an even mix of sample and
// background. Degenerate quads and empty pictures draw nothing; nothing is
// ever written outside `target`.
void WarpPicture(PixelBuffer& target, const PixelBuffer& source, const PageQuad& quad, bool quality, int curve,
                 double opacity);

// Where the page lying or turning on the left of the spine is at progress p
// (1 flat, 0 standing at the spine), and the same for the right (0 flat, 1
// standing). In single-page mode the halves of the picture are used.
PageQuad LeftSideGeometry(const LayoutPoints& points, double progress, bool singlePage);
PageQuad RightSideGeometry(const LayoutPoints& points, double progress, bool singlePage);

// The sampling tables, for tests and the benchmark.
struct BilinearStep {
    std::int32_t index;  // source column or row
    std::int32_t near;   // weight of `index` (q or u)
    std::int32_t far;    // weight of `index + 1` (s or v)
};
// n destination columns over a source range of width `extent` from `offset`.
std::vector<BilinearStep> BilinearColumns(std::int32_t n, std::int32_t extent, std::int32_t offset);
// hgt destination rows over `sourceHeight` rows.
std::vector<BilinearStep> BilinearRows(std::int32_t hgt, std::int32_t sourceHeight);
// Nearest and box: the source column of each destination column.
std::vector<std::int32_t> NearestColumns(std::int32_t n, std::int32_t sourceWidth, int half);
std::vector<std::int32_t> NearestRows(std::int32_t hgt, std::int32_t sourceHeight);

}  // namespace zov
