#include "pixels/PageWarp.h"

#include <algorithm>
#include <cmath>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// Samplers fill one table row at a time: produce(r, out) writes the samples
// of row table index r for every visible column into out[0..columns). A flat
// page writes straight into the frame row; a curved one gathers the row and
// hands each column's sample to its own frame row, so that each source row is
// read once, in order, whatever the curve.
template <bool Blend, typename Produce>
void PaintRows(PixelBuffer& target, const Plan& plan, Produce&& produce) {
    const auto columns = static_cast<std::int32_t>(plan.spans.size());
    const AreaY* spans = plan.spans.data();
    const std::int64_t rowFrom = plan.rowFrom;
    std::vector<std::uint32_t> samples(static_cast<std::size_t>(columns));
    std::uint32_t* line = samples.data();
    if (plan.level) {
        const AreaY span = spans[0];
        for (std::int32_t i = std::max(plan.top, span.top); i < std::min(plan.bottom, span.bottom); ++i) {
            std::uint32_t* out = target.Row(i) + plan.left;
            const auto r = static_cast<std::int32_t>(i - span.top - rowFrom);
            if (!Blend) {
                produce(r, out);
                continue;
            }
            produce(r, line);
            for (std::int32_t c = 0; c < columns; ++c)
                out[c] = Mix(line[c], out[c]);
        }
        return;
    }
    const std::int64_t stride = target.Width();
    std::uint32_t* pixels = target.Pixels();
    // Column c draws table row r on frame row top_c + rowFrom + r.
    std::vector<std::int64_t> offsets(static_cast<std::size_t>(columns));
    std::int64_t highest = std::numeric_limits<std::int64_t>::max();
    std::int64_t lowest = std::numeric_limits<std::int64_t>::min();
    std::int64_t shortest = std::numeric_limits<std::int64_t>::max();
    std::int64_t tallest = 0;
    for (std::int32_t c = 0; c < columns; ++c) {
        const std::int64_t top = spans[c].top;
        offsets[static_cast<std::size_t>(c)] = (top + rowFrom) * stride + plan.left + c;
        highest = std::min(highest, top);
        lowest = std::max(lowest, top);
        shortest = std::min<std::int64_t>(shortest, spans[c].bottom - top);
        tallest = std::max<std::int64_t>(tallest, spans[c].bottom - top);
    }
    // Table rows on which every column's pixel is inside the frame and its span.
    const std::int64_t fullFrom = plan.top - highest - rowFrom;
    const std::int64_t fullTo = std::min(plan.bottom - lowest, shortest) - rowFrom;
    const std::int64_t* offset = offsets.data();
    for (std::int64_t r = 0; r < plan.rowCount; ++r) {
        const std::int64_t q = rowFrom + r;  // the quad row
        if (q + lowest < plan.top || q + highest >= plan.bottom || q >= tallest)
            continue;
        produce(static_cast<std::int32_t>(r), line);
        const std::int64_t down = r * stride;
        if (r >= fullFrom && r < fullTo) {
            for (std::int32_t c = 0; c < columns; ++c) {
                std::uint32_t* out = pixels + offset[c] + down;
                *out = Blend ? Mix(line[c], *out) : line[c];
            }
            continue;
        }
        for (std::int32_t c = 0; c < columns; ++c) {
            const std::int64_t i = spans[c].top + q;
            if (i < plan.top || i >= plan.bottom || i >= spans[c].bottom)
                continue;
            std::uint32_t* out = pixels + offset[c] + down;
            *out = Blend ? Mix(line[c], *out) : line[c];
        }
    }
}

template <typename Produce>
void PaintRows(PixelBuffer& target, const Plan& plan, bool blend, Produce&& produce) {
    if (blend)
        PaintRows<true>(target, plan, produce);
    else
        PaintRows<false>(target, plan, produce);
}

std::vector<std::int32_t> VisibleNearestColumns(const Plan& plan, std::int64_t n, std::int32_t W, int half) {
    std::vector<std::int32_t> columns(plan.spans.size());
    for (std::size_t c = 0; c < columns.size(); ++c)
        columns[c] = NearestColumn(plan.firstColumn + static_cast<std::int64_t>(c), n, W, half);
    return columns;
}

void GatherRow(const std::uint32_t* line, const std::int32_t* xs, std::int32_t columns, std::uint32_t* out) {
    std::int32_t c = 0;
#if defined(__SSE2__)
    // Four loads and one store: the stores would otherwise take the slots
    // the loads need.
    for (; c + 4 <= columns; c += 4) {
        const __m128i four = _mm_set_epi32(static_cast<int>(line[xs[c + 3]]), static_cast<int>(line[xs[c + 2]]),
                                           static_cast<int>(line[xs[c + 1]]), static_cast<int>(line[xs[c]]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + c), four);
    }
#endif
    for (; c < columns; ++c)
        out[c] = line[xs[c]];
}

// Under a curved top a nearest sample is one load: writing the frame in
// order beats gathering whole rows first. Narrow strips keep the source rows
// a pass reads in the cache.
template <bool Blend>
void PaintCurvedNearest(PixelBuffer& target, const Plan& plan, const std::int32_t* xs,
                        const std::uint32_t* const* lines) {
    constexpr std::int32_t kStrip = 64;
    const auto count = static_cast<std::int32_t>(plan.spans.size());
    const AreaY* spans = plan.spans.data();
    const auto rowFrom = static_cast<std::int32_t>(plan.rowFrom);
    for (std::int32_t from = 0; from < count; from += kStrip) {
        const std::int32_t to = std::min(from + kStrip, count);
        for (std::int32_t i = plan.top; i < plan.bottom; ++i) {
            std::uint32_t* out = target.Row(i) + plan.left;
            for (std::int32_t c = from; c < to; ++c) {
                if (i < spans[c].top || i >= spans[c].bottom)
                    continue;
                const std::uint32_t pixel = lines[i - spans[c].top - rowFrom][xs[c]];
                out[c] = Blend ? Mix(pixel, out[c]) : pixel;
            }
        }
    }
}

void DrawNearest(PixelBuffer& target, const PixelBuffer& source, const Plan& plan, std::int64_t n, std::int64_t hgt,
                 int half, bool blend) {
    const std::vector<std::int32_t> columns = VisibleNearestColumns(plan, n, source.Width(), half);
    std::vector<const std::uint32_t*> rows(static_cast<std::size_t>(plan.rowCount));
    for (std::size_t r = 0; r < rows.size(); ++r)
        rows[r] = source.Row(NearestRow(plan.rowFrom + static_cast<std::int64_t>(r), hgt, source.Height()));
    const auto count = static_cast<std::int32_t>(columns.size());
    if (plan.level) {
        PaintRows(target, plan, blend, [xs = columns.data(), lines = rows.data(), count](std::int32_t r, std::uint32_t* out) {
            GatherRow(lines[r], xs, count, out);
        });
        return;
    }
    if (blend)
        PaintCurvedNearest<true>(target, plan, columns.data(), rows.data());
    else
        PaintCurvedNearest<false>(target, plan, columns.data(), rows.data());
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
    std::uint64_t red = 0, green = 0, blue = 0;
    const std::uint32_t* line = at;
    for (std::int32_t y = 0; y < row.height; ++y, line += stride) {
        for (std::int32_t x = 0; x < width; ++x) {
            red += line[x] >> 16 & 0xFF;
            green += line[x] >> 8 & 0xFF;
            blue += line[x] & 0xFF;
        }
    }
    const auto count = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(row.height);
    // A block cut at the picture's edge has fewer pixels than k².
    const std::uint64_t reciprocal = count == static_cast<std::uint64_t>(row.k) * row.k ? row.reciprocal : 0;
    return Divide(red, count, reciprocal) << 16 | Divide(green, count, reciprocal) << 8 |
           Divide(blue, count, reciprocal);
}

#if !defined(__SSE2__)
// Red and blue of a pair of pixels in the low word, green in the high one:
// a column of two rows, so that two neighbouring columns make a 2 × 2 block
// with one addition. Sums of four bytes cannot reach the next channel.
std::uint64_t PairColumn(std::uint32_t upper, std::uint32_t lower) {
    return ((upper & kRedBlue) + (lower & kRedBlue)) | std::uint64_t{(upper & kGreen) + (lower & kGreen)} << 32;
}

std::uint32_t QuarterOf(std::uint64_t sum) {
    return static_cast<std::uint32_t>((sum >> 2 & kRedBlue) | (sum >> 34 & kGreen));
}
#endif

// One box row. Blocks wholly inside the picture are summed from per-column
// sums made once per row; the quad's last column and blocks cut at the
// picture's right edge go through BoxMean.
class BoxRows {
public:
    BoxRows(const PixelBuffer& source, std::vector<std::int32_t> xs, std::vector<BoxRow> rows, std::int64_t lastColumn)
        : W_(source.Width()), xs_(std::move(xs)), rows_(std::move(rows)),
          lastColumn_(std::clamp<std::int64_t>(lastColumn, 0, static_cast<std::int64_t>(xs_.size()))),
          pairs_(static_cast<std::size_t>(W_) + 1), sums_(4 * pairs_.size()), red_(pairs_.size()), green_(pairs_.size()),
          blue_(pairs_.size()) {}

    void operator()(std::int32_t r, std::uint32_t* out) {
        const BoxRow& row = rows_[static_cast<std::size_t>(r)];
        const auto columns = static_cast<std::int32_t>(xs_.size());
        const std::int32_t* xs = xs_.data();
        if (row.k == 0) {
            GatherRow(row.line, xs, columns, out);
            return;
        }
        const std::int32_t k = row.k;
        auto interior = static_cast<std::int32_t>(lastColumn_);
        while (interior > 0 && xs[interior - 1] + k > W_)
            --interior;
        const std::int32_t from = interior > 0 ? xs[0] : 0;
        const std::int32_t to = interior > 0 ? xs[interior - 1] + k : 0;
        if (from < to) {
            if (k == 2 && row.height == 2)
                Halves(row, from, to, interior, out);
            else
                Blocks(row, from, to, interior, out);
        }
        for (std::int32_t c = interior; c < columns; ++c) {
            const std::int32_t x = xs[c];
            out[c] = c == lastColumn_ ? row.line[x] : BoxMean(row.line + x, W_, std::min(k, W_ - x), row);
        }
    }

private:
    // Halving, the usual case.
    void Halves(const BoxRow& row, std::int32_t from, std::int32_t to, std::int32_t interior, std::uint32_t* out) {
        const std::uint32_t* upper = row.line;
        const std::uint32_t* lower = row.line + W_;
        const std::int32_t* xs = xs_.data();
#if defined(__SSE2__)
        // Per column its two pixels' sums, one 16-bit lane per channel; two
        // neighbouring columns are then one 16-byte load.
        std::uint16_t* sums = sums_.data();
        const __m128i zero = _mm_setzero_si128();
        std::int32_t x = from;
        for (; x + 4 <= to; x += 4) {
            const __m128i u = _mm_loadu_si128(reinterpret_cast<const __m128i*>(upper + x));
            const __m128i l = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lower + x));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + 4 * x),
                             _mm_add_epi16(_mm_unpacklo_epi8(u, zero), _mm_unpacklo_epi8(l, zero)));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + 4 * x + 8),
                             _mm_add_epi16(_mm_unpackhi_epi8(u, zero), _mm_unpackhi_epi8(l, zero)));
        }
        for (; x < to; ++x)
            for (int k = 0; k < 4; ++k)
                sums[4 * x + k] = static_cast<std::uint16_t>((upper[x] >> 8 * k & 0xFF) + (lower[x] >> 8 * k & 0xFF));
        const __m128i colour = _mm_set1_epi32(0xFFFFFF);
        std::int32_t c = 0;
        for (; c + 2 <= interior; c += 2) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(sums + 4 * xs[c]));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(sums + 4 * xs[c + 1]));
            const __m128i block = _mm_srli_epi16(_mm_add_epi16(_mm_unpacklo_epi64(a, b), _mm_unpackhi_epi64(a, b)), 2);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out + c), _mm_and_si128(_mm_packus_epi16(block, block), colour));
        }
        for (; c < interior; ++c) {
            const std::uint16_t* at = sums + 4 * xs[c];
            out[c] = static_cast<std::uint32_t>((at[2] + at[6]) >> 2 << 16 | (at[1] + at[5]) >> 2 << 8 |
                                                (at[0] + at[4]) >> 2);
        }
#else
        std::uint64_t* pairs = pairs_.data();
        for (std::int32_t x = from; x < to; ++x)
            pairs[x] = PairColumn(upper[x], lower[x]);
        for (std::int32_t c = 0; c < interior; ++c)
            out[c] = QuarterOf(pairs[xs[c]] + pairs[xs[c] + 1]);
#endif
    }

    void Blocks(const BoxRow& row, std::int32_t from, std::int32_t to, std::int32_t interior, std::uint32_t* out) {
        std::uint32_t* red = red_.data();
        std::uint32_t* green = green_.data();
        std::uint32_t* blue = blue_.data();
        const std::uint32_t* line = row.line;
        for (std::int32_t x = from; x < to; ++x) {
            red[x] = line[x] >> 16 & 0xFF;
            green[x] = line[x] >> 8 & 0xFF;
            blue[x] = line[x] & 0xFF;
        }
        for (std::int32_t y = 1; y < row.height; ++y) {
            line += W_;
            for (std::int32_t x = from; x < to; ++x) {
                red[x] += line[x] >> 16 & 0xFF;
                green[x] += line[x] >> 8 & 0xFF;
                blue[x] += line[x] & 0xFF;
            }
        }
        const std::int32_t k = row.k;
        const auto count = static_cast<std::uint64_t>(k) * static_cast<std::uint64_t>(row.height);
        const std::uint64_t reciprocal = row.height == k ? row.reciprocal : 0;
        const std::int32_t* xs = xs_.data();
        for (std::int32_t c = 0; c < interior; ++c) {
            std::uint64_t r = 0, g = 0, b = 0;
            for (std::int32_t x = xs[c]; x < xs[c] + k; ++x) {
                r += red[x];
                g += green[x];
                b += blue[x];
            }
            out[c] = Divide(r, count, reciprocal) << 16 | Divide(g, count, reciprocal) << 8 |
                     Divide(b, count, reciprocal);
        }
    }

    std::int32_t W_;
    std::vector<std::int32_t> xs_;
    std::vector<BoxRow> rows_;
    std::int64_t lastColumn_;  // visible columns from here on are the quad's last
    std::vector<std::uint64_t> pairs_;
    std::vector<std::uint16_t> sums_;
    std::vector<std::uint32_t> red_, green_, blue_;
};

void DrawBox(PixelBuffer& target, const PixelBuffer& source, const Plan& plan, std::int64_t n, std::int64_t hgt,
             int half, bool blend) {
    const std::int32_t W = source.Width();
    const std::int32_t H = source.Height();
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
    BoxRows produce(source, VisibleNearestColumns(plan, n, W, half), std::move(rows), n - 1 - plan.firstColumn);
    PaintRows(target, plan, blend, produce);
}

struct BilinearRow {
    const std::uint32_t* upper;
    const std::uint32_t* lower;  // upper again when the row has no weight below
    std::uint32_t near;
    std::uint32_t far;
};

// Per byte (a × wa + b × wb) / 128, truncated, with wa + wb = 128: each
// channel's mix, and 0 again in the top byte, which pixels keep at 0. Bytes
// rather than words, so that the compiler can vectorise it.
void LerpLines(const std::uint32_t* a, const std::uint32_t* b, std::uint16_t wa, std::uint16_t wb, std::int32_t count,
               std::uint32_t* out) {
    const auto* pa = reinterpret_cast<const std::uint8_t*>(a);
    const auto* pb = reinterpret_cast<const std::uint8_t*>(b);
    auto* po = reinterpret_cast<std::uint8_t*>(out);
    const std::int32_t bytes = 4 * count;
    for (std::int32_t i = 0; i < bytes; ++i)
        po[i] = static_cast<std::uint8_t>((pa[i] * wa + pb[i] * wb) >> 7);
}

// The columns' mixes of one source line, per channel (a × near + b × far) /
// 128 truncated, with a and b a column's two neighbours; the top byte is 0.
// `weights` holds per column near four times, then far four times (16-bit).
void FilterLine(const std::uint32_t* line, const std::int32_t* xs, const std::uint16_t* weights, std::int32_t count,
                std::uint32_t* out) {
    std::int32_t c = 0;
#if defined(__SSE2__)
    // Two columns at a time: each pair of neighbours is one 8-byte load.
    const __m128i zero = _mm_setzero_si128();
    const __m128i colour = _mm_set1_epi32(0xFFFFFF);
    for (; c + 2 <= count; c += 2) {
        const __m128i first = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(line + xs[c]));
        const __m128i second = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(line + xs[c + 1]));
        const __m128i first16 = _mm_unpacklo_epi8(first, zero);    // a0, b0 per channel
        const __m128i second16 = _mm_unpacklo_epi8(second, zero);  // a1, b1
        const __m128i w0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(weights + 8 * c));
        const __m128i w1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(weights + 8 * c + 8));
        const __m128i p0 = _mm_mullo_epi16(first16, w0);
        const __m128i p1 = _mm_mullo_epi16(second16, w1);
        // Sums of at most 255 × 128 fit 16 bits.
        const __m128i sum = _mm_add_epi16(_mm_unpacklo_epi64(p0, p1), _mm_unpackhi_epi64(p0, p1));
        const __m128i mixed = _mm_srli_epi16(sum, 7);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + c), _mm_and_si128(_mm_packus_epi16(mixed, mixed), colour));
    }
#endif
    for (; c < count; ++c) {
        const std::uint32_t a = line[xs[c]];
        const std::uint32_t b = line[xs[c] + 1];
        const std::uint32_t near = weights[8 * c];
        const std::uint32_t far = weights[8 * c + 4];
        std::uint32_t mixed = 0;
        for (int shift = 0; shift < 24; shift += 8)
            mixed |= (((a >> shift & 0xFF) * near + (b >> shift & 0xFF) * far) >> 7) << shift;
        out[c] = mixed;
    }
}

// Bilinear filtering in two passes, columns then rows, exactly as the
// per-pixel rule truncates: a source row filtered along the columns serves
// every frame row that reads it, and the pass down the rows is one mix of two
// whole lines.
class BilinearRows {
public:
    BilinearRows(const PixelBuffer& source, std::vector<BilinearStep> columns, std::vector<BilinearRow> rows)
        : W_(source.Width()), columns_(std::move(columns)), rows_(std::move(rows)) {
        const auto count = static_cast<std::int32_t>(columns_.size());
        interior_ = count;
        while (interior_ > 0 && columns_[static_cast<std::size_t>(interior_ - 1)].index + 1 >= W_)
            --interior_;
        for (Filtered& line : filtered_)
            line.samples.resize(columns_.size());
        const std::size_t pairs = std::min(static_cast<std::size_t>(interior_), columns_.size());
        xs_.assign(pairs, 0);
        weights_.assign(8 * pairs, 0);
        for (std::size_t c = 0; c < pairs; ++c) {
            xs_[c] = columns_[c].index;
            std::fill_n(weights_.begin() + static_cast<std::ptrdiff_t>(8 * c), 4,
                        static_cast<std::uint16_t>(columns_[c].near));
            std::fill_n(weights_.begin() + static_cast<std::ptrdiff_t>(8 * c + 4), 4,
                        static_cast<std::uint16_t>(columns_[c].far));
        }
    }

    void operator()(std::int32_t r, std::uint32_t* out) {
        const BilinearRow& row = rows_[static_cast<std::size_t>(r)];
        const auto count = static_cast<std::int32_t>(columns_.size());
        const std::uint32_t* upper = Filter(row.upper, nullptr);
        if (row.far == 0) {
            std::copy(upper, upper + count, out);
            return;
        }
        const std::uint32_t* lower = Filter(row.lower, upper);
        LerpLines(upper, lower, static_cast<std::uint16_t>(row.near), static_cast<std::uint16_t>(row.far), count,
                  out);
    }

private:
    struct Filtered {
        const std::uint32_t* source = nullptr;
        std::vector<std::uint32_t> samples;
    };

    // The filtered `line`: one of the two kept, or made anew in the older
    // slot unless that one holds `keep`.
    const std::uint32_t* Filter(const std::uint32_t* line, const std::uint32_t* keep) {
        for (Filtered& f : filtered_)
            if (f.source == line)
                return f.samples.data();
        int index = older_;
        if (filtered_[index].samples.data() == keep)
            index = 1 - index;
        older_ = 1 - index;
        Filtered& slot = filtered_[index];
        slot.source = line;
        std::uint32_t* out = slot.samples.data();
        const BilinearStep* steps = columns_.data();
        FilterLine(line, xs_.data(), weights_.data(), interior_, out);
        // At the picture's right edge the weight of the next column is 0.
        for (std::int32_t c = interior_; c < static_cast<std::int32_t>(columns_.size()); ++c)
            out[c] = line[steps[c].index];
        return out;
    }

    std::int32_t W_;
    std::vector<BilinearStep> columns_;
    std::vector<BilinearRow> rows_;
    std::int32_t interior_ = 0;
    Filtered filtered_[2];
    int older_ = 0;
    // The interior columns' left neighbours and weights, as FilterLine takes them.
    std::vector<std::int32_t> xs_;
    std::vector<std::uint16_t> weights_;
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
    BilinearRows produce(source, std::move(columns), std::move(rows));
    PaintRows(target, plan, blend, produce);
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
