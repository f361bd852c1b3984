#include "pixels/PageWarp.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace zov {

namespace {

constexpr std::int32_t kOne = 128;  // weight 1.0
constexpr std::uint32_t kRedBlue = 0xFF00FF;
constexpr std::uint32_t kGreen = 0x00FF00;

std::int32_t Clamp32(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

// Toward zero; a NaN or a value beyond int32 would be undefined to convert.
std::int32_t Trunc(double value) {
    if (std::isnan(value))
        return 0;
    return static_cast<std::int32_t>(std::clamp(value, -2147483648.0, 2147483647.0));
}

// The top edge of column j, in double precision as the arcs are defined.
class SpanBuilder {
public:
    SpanBuilder(POINT R, POINT Q, POINT A, int curve, std::int64_t n)
        : top_(R.y), hgt_(std::int64_t{A.y} - Q.y), curve_(curve), n_(static_cast<double>(n)),
          d_(static_cast<double>(Q.y) - R.y), arcD_((d_ <= 0) == (curve == kArcOne)) {}

    AreaY At(std::int64_t j) const {
        std::int32_t top = top_;
        if (curve_ != kStraightTop) {
            const double jj = static_cast<double>(j);
            top = arcD_ ? Trunc(d_ * Rise(n_ - jj) / n_ + top_) : Trunc((d_ + top_) - d_ * Rise(jj) / n_);
        }
        return AreaY{top, Clamp32(top + hgt_)};
    }

private:
    double Rise(double k) const { return std::sqrt(std::max(n_ * n_ - k * k, 0.0)); }

    std::int32_t top_;
    std::int64_t hgt_;
    int curve_;
    double n_;
    double d_;
    bool arcD_;
};

// The source column of destination column j for nearest and box filtering.
std::int32_t NearestColumn(std::int64_t j, std::int64_t n, std::int64_t W, int half) {
    if (n < 2)
        return 0;
    std::int64_t x;
    if (half == kLeftHalf)
        x = (W / 2 - 1) * j / (n - 1);
    else if (half == kRightHalf)
        x = W / 2 + j * (W / 2 - 1) / (n - 1);
    else
        x = j * (W - 1) / (n - 1);
    // Only a picture narrower than two pixels can reach outside it.
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(x, 0, std::max<std::int64_t>(W - 1, 0)));
}

std::int32_t NearestRow(std::int64_t i, std::int64_t hgt, std::int64_t H) {
    if (hgt < 2)
        return 0;
    const std::int64_t y = i * (H - 1) / (hgt - 1);
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(y, 0, std::max<std::int64_t>(H - 1, 0)));
}

// Step j of n over `extent` source pixels from `offset`: the pixel left of
// (or above) the exact position and the two weights.
BilinearStep BilinearAt(std::int64_t j, std::int64_t n, std::int64_t extent, std::int64_t offset) {
    const std::int64_t last = std::max<std::int64_t>(extent, 1) - 1;
    if (n < 2)
        return BilinearStep{Clamp32(offset), kOne, 0};
    const std::int64_t a = j * last;
    const std::int64_t b = n - 1;
    const std::int64_t f = a / b;
    if (j >= n - 1)
        return BilinearStep{Clamp32(offset + f), kOne, 0};
    // floor(128 a / b) - 128 f is the fraction's floor(128 (a mod b) / b),
    // which cannot overflow where 128 a could.
    const auto near = static_cast<std::int32_t>(kOne - kOne * (a % b) / b);
    return BilinearStep{Clamp32(offset + f), near, kOne - near};
}

// Pictures of one pixel's width or height, or a caller's odd extent, must not
// send the sampler past the picture's edge.
BilinearStep Inside(BilinearStep step, std::int32_t size) {
    step.index = std::clamp(step.index, 0, size - 1);
    if (step.index + 1 >= size)
        step = BilinearStep{step.index, kOne, 0};
    return step;
}

// Per channel (far × farWeight + near × nearWeight) / 128. Weights sum to
// 128, so each channel's sum stays below 2^15 and red and blue can share a word.
std::uint32_t Lerp(std::uint32_t near, std::uint32_t far, std::uint32_t nearWeight, std::uint32_t farWeight) {
    const std::uint32_t redBlue = ((far & kRedBlue) * farWeight + (near & kRedBlue) * nearWeight) >> 7;
    const std::uint32_t green = ((far & kGreen) * farWeight + (near & kGreen) * nearWeight) >> 7;
    return (redBlue & kRedBlue) | (green & kGreen);
}

std::uint32_t Mix(std::uint32_t sample, std::uint32_t old) {
    return ((sample >> 1) & 0x7F7F7F) + ((old >> 1) & 0x7F7F7F);
}

// What one draw covers: the visible rows, the visible columns (index c is
// destination column firstColumn + c) and, per visible column, its span.
// Row tables hold the quad rows from rowFrom on only, so a huge quad that is
// mostly off screen costs no more than the screen.
struct Plan {
    std::int32_t top = 0;
    std::int32_t bottom = 0;
    std::int32_t left = 0;  // target x of visible column 0
    std::int64_t firstColumn = 0;
    std::int64_t rowFrom = 0;
    std::int64_t rowCount = 0;  // row table entries, one more than drawn for the box's next row
    bool level = false;         // every span the same: one test per row instead of per pixel
    std::vector<AreaY> spans;
};

// Samplers are called as sample(c, r) with r an index into their row table.
// They hold copies of their pointers: the stores into the target could
// otherwise alias the sizes they read and force reloads for every pixel.
template <bool Blend, typename Sample>
void Paint(PixelBuffer& target, const Plan& plan, const Sample& sample) {
    const auto columns = static_cast<std::int32_t>(plan.spans.size());
    const AreaY* spans = plan.spans.data();
    const auto rowFrom = static_cast<std::int32_t>(plan.rowFrom);
    if (plan.level) {
        const AreaY span = spans[0];
        for (std::int32_t i = std::max(plan.top, span.top); i < std::min(plan.bottom, span.bottom); ++i) {
            std::uint32_t* out = target.Row(i) + plan.left;
            const std::int32_t r = i - span.top - rowFrom;
            for (std::int32_t c = 0; c < columns; ++c)
                out[c] = Blend ? Mix(sample(c, r), out[c]) : sample(c, r);
        }
        return;
    }
    // Along a curved top, one frame row reads source rows far apart; narrow
    // strips keep what a pass reads in the cache (a third faster for a page).
    constexpr std::int32_t kStrip = 64;
    for (std::int32_t from = 0; from < columns; from += kStrip) {
        const std::int32_t to = std::min(from + kStrip, columns);
        for (std::int32_t i = plan.top; i < plan.bottom; ++i) {
            std::uint32_t* out = target.Row(i) + plan.left;
            for (std::int32_t c = from; c < to; ++c) {
                if (i < spans[c].top || i >= spans[c].bottom)
                    continue;
                const std::uint32_t pixel = sample(c, i - spans[c].top - rowFrom);
                out[c] = Blend ? Mix(pixel, out[c]) : pixel;
            }
        }
    }
}

template <typename Sample>
void Paint(PixelBuffer& target, const Plan& plan, bool blend, const Sample& sample) {
    if (blend)
        Paint<true>(target, plan, sample);
    else
        Paint<false>(target, plan, sample);
}

std::vector<std::int32_t> VisibleNearestColumns(const Plan& plan, std::int64_t n, std::int32_t W, int half) {
    std::vector<std::int32_t> columns(plan.spans.size());
    for (std::size_t c = 0; c < columns.size(); ++c)
        columns[c] = NearestColumn(plan.firstColumn + static_cast<std::int64_t>(c), n, W, half);
    return columns;
}

void DrawNearest(PixelBuffer& target, const PixelBuffer& source, const Plan& plan, std::int64_t n, std::int64_t hgt,
                 int half, bool blend) {
    const std::vector<std::int32_t> columns = VisibleNearestColumns(plan, n, source.Width(), half);
    std::vector<const std::uint32_t*> rows(static_cast<std::size_t>(plan.rowCount));
    for (std::size_t r = 0; r < rows.size(); ++r)
        rows[r] = source.Row(NearestRow(plan.rowFrom + static_cast<std::int64_t>(r), hgt, source.Height()));
    Paint(target, plan, blend,
          [xs = columns.data(), lines = rows.data()](std::int32_t c, std::int32_t r) { return lines[r][xs[c]]; });
}

// A box row: the source row its blocks start on, their side k (0 for the
// quad's last row, which has no next row to size a block by and is sampled
// nearest), their height cut to the picture, and 2^32 / k² rounded up so that
// the mean of a whole block needs no division.
struct BoxRow {
    const std::uint32_t* line;
    std::int32_t k;
    std::int32_t height;
    std::uint64_t reciprocal;  // 0: divide
};

// Exact for sum × count < 2^32, which a sum of `count` bytes meets up to 4103.
std::uint64_t Reciprocal(std::int64_t count) {
    return count >= 1 && count <= 4096 ? (std::uint64_t{1} << 32) / static_cast<std::uint64_t>(count) + 1 : 0;
}

std::uint32_t Divide(std::uint64_t sum, std::uint64_t count, std::uint64_t reciprocal) {
    return static_cast<std::uint32_t>(reciprocal ? sum * reciprocal >> 32 : sum / count);
}

// The mean of the block of width × row.height pixels at `at`.
std::uint32_t BoxMean(const std::uint32_t* at, std::int64_t stride, std::int32_t width, const BoxRow& row) {
    const auto count = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(row.height);
    std::uint64_t red = 0, green = 0, blue = 0;
    if (count <= 256) {
        // Red and blue sums of up to 256 bytes each fit 16 bits: add both at once.
        std::uint32_t redBlue = 0, greenShifted = 0;
        for (std::int32_t y = 0; y < row.height; ++y, at += stride) {
            for (std::int32_t x = 0; x < width; ++x) {
                redBlue += at[x] & kRedBlue;
                greenShifted += at[x] & kGreen;
            }
        }
        red = redBlue >> 16;
        blue = redBlue & 0xFFFF;
        green = greenShifted >> 8;
    } else {
        for (std::int32_t y = 0; y < row.height; ++y, at += stride) {
            for (std::int32_t x = 0; x < width; ++x) {
                red += at[x] >> 16 & 0xFF;
                green += at[x] >> 8 & 0xFF;
                blue += at[x] & 0xFF;
            }
        }
    }
    // A block cut at the picture's edge has fewer pixels than k².
    const std::uint64_t reciprocal = count == static_cast<std::uint64_t>(row.k) * row.k ? row.reciprocal : 0;
    return Divide(red, count, reciprocal) << 16 | Divide(green, count, reciprocal) << 8 |
           Divide(blue, count, reciprocal);
}

void DrawBox(PixelBuffer& target, const PixelBuffer& source, const Plan& plan, std::int64_t n, std::int64_t hgt,
             int half, bool blend) {
    const std::int32_t W = source.Width();
    const std::int32_t H = source.Height();
    const std::vector<std::int32_t> columns = VisibleNearestColumns(plan, n, W, half);
    std::vector<std::int32_t> ys(static_cast<std::size_t>(plan.rowCount));
    for (std::size_t r = 0; r < ys.size(); ++r)
        ys[r] = NearestRow(plan.rowFrom + static_cast<std::int64_t>(r), hgt, H);
    std::vector<BoxRow> rows(ys.size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
        rows[r] = BoxRow{source.Row(ys[r]), 0, 0, 0};
        // The table's final entry is either the quad's last row or one past
        // the drawn rows.
        if (r + 1 < rows.size() && plan.rowFrom + static_cast<std::int64_t>(r) < hgt - 1) {
            const std::int32_t k = std::max(ys[r + 1] - ys[r], 1);
            rows[r] = BoxRow{rows[r].line, k, std::min(k, H - ys[r]), Reciprocal(std::int64_t{k} * k)};
        }
    }
    const std::int64_t lastColumn = n - 1 - plan.firstColumn;
    Paint(target, plan, blend,
          [xs = columns.data(), lines = rows.data(), lastColumn, W](std::int32_t c, std::int32_t r) {
              const BoxRow& row = lines[r];
              const std::int32_t x = xs[c];
              const std::uint32_t* at = row.line + x;
              if (c == lastColumn || row.k == 0)
                  return *at;
              // Halving, the usual case, without the general loops.
              if (row.k == 2 && row.height == 2 && x + 2 <= W) {
                  const std::uint32_t redBlue =
                      (at[0] & kRedBlue) + (at[1] & kRedBlue) + (at[W] & kRedBlue) + (at[W + 1] & kRedBlue);
                  const std::uint32_t green =
                      (at[0] & kGreen) + (at[1] & kGreen) + (at[W] & kGreen) + (at[W + 1] & kGreen);
                  return (redBlue >> 2 & kRedBlue) | (green >> 2 & kGreen);
              }
              return BoxMean(at, W, std::min(row.k, W - x), row);
          });
}

struct BilinearRow {
    const std::uint32_t* upper;
    const std::uint32_t* lower;  // upper again when the row has no weight below
    std::uint32_t near;
    std::uint32_t far;
};

void DrawBilinear(PixelBuffer& target, const PixelBuffer& source, const Plan& plan, std::int64_t n, std::int64_t hgt,
                  int half, bool blend) {
    const std::int32_t W = source.Width();
    const std::int32_t extent = half == kLeftHalf || half == kRightHalf ? W / 2 : W;
    const std::int32_t offset = half == kRightHalf ? W / 2 : 0;
    std::vector<BilinearStep> columns(plan.spans.size());
    for (std::size_t c = 0; c < columns.size(); ++c)
        columns[c] = Inside(BilinearAt(plan.firstColumn + static_cast<std::int64_t>(c), n, extent, offset), W);
    std::vector<BilinearRow> rows(static_cast<std::size_t>(plan.rowCount));
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const BilinearStep step =
            Inside(BilinearAt(plan.rowFrom + static_cast<std::int64_t>(r), hgt, source.Height(), 0), source.Height());
        const std::uint32_t* upper = source.Row(step.index);
        rows[r] = BilinearRow{upper, step.far > 0 ? source.Row(step.index + 1) : upper,
                              static_cast<std::uint32_t>(step.near), static_cast<std::uint32_t>(step.far)};
    }
    Paint(target, plan, blend, [steps = columns.data(), lines = rows.data()](std::int32_t c, std::int32_t r) {
        const BilinearStep& column = steps[c];
        const BilinearRow& row = lines[r];
        const std::int32_t x = column.index;
        const auto near = static_cast<std::uint32_t>(column.near);
        const auto far = static_cast<std::uint32_t>(column.far);
        if (far > 0 && row.far > 0) {
            // Most of a page is flat paper: skip the arithmetic there.
            const std::uint32_t p = row.upper[x];
            if (row.upper[x + 1] == p && row.lower[x] == p && row.lower[x + 1] == p)
                return p;
        }
        if (far == 0 && row.far == 0)
            return row.upper[x];
        const std::uint32_t upper = far == 0 ? row.upper[x] : Lerp(row.upper[x], row.upper[x + 1], near, far);
        if (row.far == 0)
            return upper;
        const std::uint32_t lower = far == 0 ? row.lower[x] : Lerp(row.lower[x], row.lower[x + 1], near, far);
        return Lerp(upper, lower, row.near, row.far);
    });
}

}  // namespace

std::vector<AreaY> BuildSpans(POINT R, POINT Q, POINT A, int curve) {
    const std::int64_t n = std::int64_t{Q.x} - R.x;
    std::vector<AreaY> spans;
    if (n <= 0)
        return spans;
    const SpanBuilder builder(R, Q, A, curve, n);
    spans.reserve(static_cast<std::size_t>(n));
    for (std::int64_t j = 0; j < n; ++j)
        spans.push_back(builder.At(j));
    return spans;
}

Sampler ChooseSampler(bool quality, std::int32_t sourceWidth, std::int32_t n) {
    if (!quality)
        return Sampler::Nearest;
    if (n <= 0)  // nothing is drawn; only the division must be avoided
        return Sampler::Bilinear;
    return sourceWidth / n < 2 ? Sampler::Bilinear : Sampler::Box;
}

void WarpPicture(PixelBuffer& target, const PixelBuffer& source, const PageQuad& quad, bool quality, int curve,
                 double opacity) {
    const POINT R = quad.R, Q = quad.Q, A = quad.A;
    const std::int64_t n = std::int64_t{Q.x} - R.x;
    const std::int64_t hgt = std::int64_t{A.y} - Q.y;
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    if (n <= 0 || hgt <= 0 || n > kMax || hgt > kMax || target.Empty() || source.Empty() || source.Width() <= 0 ||
        source.Height() <= 0)
        return;

    // The bounding rows of every span. The buffer's last row is left alone.
    std::int64_t top = R.y;
    std::int64_t bottom = A.y;
    if (Q.y < R.y) {
        top = Q.y;
        bottom = A.y + (std::int64_t{R.y} - Q.y);
    }
    top = std::clamp<std::int64_t>(top, 0, target.Height() - 1);
    if (bottom < 0)
        bottom = top;
    bottom = std::min<std::int64_t>(bottom, target.Height() - 1);
    const std::int64_t firstColumn = std::max<std::int64_t>(0, -std::int64_t{R.x});
    const std::int64_t endColumn = std::min<std::int64_t>(n, target.Width() - std::int64_t{R.x});
    if (top >= bottom || firstColumn >= endColumn)
        return;

    Plan plan;
    plan.top = static_cast<std::int32_t>(top);
    plan.bottom = static_cast<std::int32_t>(bottom);
    plan.left = static_cast<std::int32_t>(R.x + firstColumn);
    plan.firstColumn = firstColumn;
    const SpanBuilder builder(R, Q, A, curve, n);
    plan.spans.reserve(static_cast<std::size_t>(endColumn - firstColumn));
    std::int64_t highest = std::numeric_limits<std::int64_t>::max();
    std::int64_t lowest = std::numeric_limits<std::int64_t>::min();
    for (std::int64_t j = firstColumn; j < endColumn; ++j) {
        plan.spans.push_back(builder.At(j));
        highest = std::min<std::int64_t>(highest, plan.spans.back().top);
        lowest = std::max<std::int64_t>(lowest, plan.spans.back().top);
    }
    plan.level = std::all_of(plan.spans.begin(), plan.spans.end(), [&](const AreaY& span) {
        return span.top == plan.spans[0].top && span.bottom == plan.spans[0].bottom;
    });
    // Quad rows a visible pixel can come from: r = i - top_j.
    plan.rowFrom = std::max<std::int64_t>(0, top - lowest);
    const std::int64_t rowTo = std::min(hgt, bottom - highest);
    if (plan.rowFrom >= rowTo)
        return;
    plan.rowCount = std::min(hgt, rowTo + 1) - plan.rowFrom;

    const bool blend = !(opacity > 0.99);
    switch (ChooseSampler(quality, source.Width(), static_cast<std::int32_t>(n))) {
    case Sampler::Nearest:
        DrawNearest(target, source, plan, n, hgt, quad.half, blend);
        break;
    case Sampler::Box:
        DrawBox(target, source, plan, n, hgt, quad.half, blend);
        break;
    case Sampler::Bilinear:
        DrawBilinear(target, source, plan, n, hgt, quad.half, blend);
        break;
    }
}

PageQuad LeftSideGeometry(const LayoutPoints& points, double progress, bool singlePage) {
    const auto [xs, ys] = points.S;
    const auto [xl, yl] = points.L;
    const std::int32_t yr = points.T.y;
    const double w = static_cast<double>(xs) - xl;
    const std::int32_t o = Trunc((1 - progress) * w);
    // A flat-topped page's free edge rises as it turns; a page drawn in
    // perspective keeps its corner's height.
    std::int32_t yF = yl;
    if (ys == yl && w != 0) {
        const double k = ys == yr ? 20.0 : static_cast<double>(ys) - yr;
        yF = Trunc(yl - std::abs(static_cast<double>(o)) * k / w);
    }
    PageQuad quad;
    quad.R = POINT{Clamp32(std::int64_t{xl} + o), yF};
    quad.Q = points.S;
    quad.A = points.B;
    quad.half = singlePage ? kLeftHalf : kWholePicture;
    return quad;
}

PageQuad RightSideGeometry(const LayoutPoints& points, double progress, bool singlePage) {
    const auto [xs, ys] = points.S;
    const std::int32_t yb = points.B.y;
    const std::int32_t yl = points.L.y;
    const auto [xr, yr] = points.T;
    const double w = static_cast<double>(xr) - xs;
    const std::int32_t o = Trunc((1 - progress) * w);
    // The free edge rises along a quarter ellipse over the spine.
    std::int32_t yF = yr;
    if (ys == yr && w != 0) {
        const double k = ys == yl ? 20.0 : static_cast<double>(ys) - yl;
        const double od = o;
        yF = Trunc(ys - std::sqrt(std::max(w * w - od * od, 0.0)) * k / w);
    }
    const std::int32_t x = Clamp32(std::int64_t{xs} + o);
    PageQuad quad;
    quad.R = points.S;
    quad.Q = POINT{x, yF};
    quad.A = POINT{x, Clamp32(std::int64_t{yb} + yF - ys)};
    quad.half = singlePage ? kRightHalf : kWholePicture;
    return quad;
}

std::vector<BilinearStep> BilinearColumns(std::int32_t n, std::int32_t extent, std::int32_t offset) {
    std::vector<BilinearStep> steps;
    for (std::int32_t j = 0; j < std::max(n, 1); ++j)
        steps.push_back(BilinearAt(j, n, extent, offset));
    return steps;
}

std::vector<BilinearStep> BilinearRows(std::int32_t hgt, std::int32_t sourceHeight) {
    return BilinearColumns(hgt, sourceHeight, 0);
}

std::vector<std::int32_t> NearestColumns(std::int32_t n, std::int32_t sourceWidth, int half) {
    std::vector<std::int32_t> columns;
    for (std::int32_t j = 0; j < std::max(n, 1); ++j)
        columns.push_back(NearestColumn(j, n, sourceWidth, half));
    return columns;
}

std::vector<std::int32_t> NearestRows(std::int32_t hgt, std::int32_t sourceHeight) {
    std::vector<std::int32_t> rows;
    for (std::int32_t i = 0; i < std::max(hgt, 1); ++i)
        rows.push_back(NearestRow(i, hgt, sourceHeight));
    return rows;
}

}  // namespace zov
