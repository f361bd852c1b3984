#include "tools/convert/Downscale.h"

#include <algorithm>

namespace zov {

namespace {

// How source samples 0..from-1 fall into output samples 0..to-1. In units of
// 1/to of a source sample, source sample j spans [j*to, (j+1)*to) and output
// sample i spans [i*from, (i+1)*from), so every overlap is a whole number
// and each output's weights add up to `from`.
struct Taps {
    std::vector<std::int32_t> first;    // per output: its first source sample
    std::vector<std::int32_t> count;    // per output: how many source samples
    std::vector<std::uint32_t> weight;  // the weights, output after output
    std::vector<std::size_t> start;     // per output: where its weights begin
};

Taps MakeTaps(std::int32_t from, std::int32_t to) {
    Taps taps;
    taps.first.resize(to);
    taps.count.resize(to);
    taps.start.resize(to);
    const std::int64_t f = from;
    const std::int64_t t = to;
    for (std::int64_t i = 0; i < t; ++i) {
        const std::int64_t begin = i * f;
        const std::int64_t end = begin + f;
        const std::int64_t j0 = begin / t;
        const std::int64_t j1 = (end + t - 1) / t;  // one past the last
        taps.first[i] = static_cast<std::int32_t>(j0);
        taps.count[i] = static_cast<std::int32_t>(j1 - j0);
        taps.start[i] = taps.weight.size();
        for (std::int64_t j = j0; j < j1; ++j) {
            const std::int64_t lo = std::max(begin, j * t);
            const std::int64_t hi = std::min(end, (j + 1) * t);
            taps.weight.push_back(static_cast<std::uint32_t>(hi - lo));
        }
    }
    return taps;
}

}  // namespace

RgbImage AreaDownscale(const RgbView& source, std::int32_t width, std::int32_t height) {
    RgbImage out;
    if (!source.pixels || width < 1 || height < 1 || width > source.width || height > source.height ||
        source.stride < static_cast<std::ptrdiff_t>(source.width) * 3)
        return out;
    const Taps rows = MakeTaps(source.height, height);
    const Taps columns = MakeTaps(source.width, width);
    // Row weights in 256ths of a source row: a weight times a byte then fits
    // 16 bits, which plain SSE2 multiplies eight at a time. Each output row
    // is divided by the sum of its own rounded weights, so a flat area still
    // keeps its exact value.
    std::vector<std::uint16_t> rowWeights(rows.weight.size());
    for (std::size_t i = 0; i < rows.weight.size(); ++i)
        rowWeights[i] = static_cast<std::uint16_t>((std::uint64_t{rows.weight[i]} * 256 + height / 2) / height);
    const std::size_t rowValues = static_cast<std::size_t>(source.width) * 3;
    out.width = width;
    out.height = height;
    out.pixels.resize(static_cast<std::size_t>(width) * height * 3);
    // Rows first, over whole source rows (the costly part, and it
    // vectorises), then columns on the few rows that are left. A row sum is
    // at most 256 * (source.height / height + 2) * 255; the column sums are
    // 64-bit.
    std::vector<std::uint32_t> sums(rowValues);
    for (std::int32_t y = 0; y < height; ++y) {
        std::fill(sums.begin(), sums.end(), 0u);
        const std::uint16_t* weights = rowWeights.data() + rows.start[y];
        std::uint64_t rowTotal = 0;
        for (std::int32_t k = 0; k < rows.count[y]; ++k) {
            const std::uint8_t* row = source.pixels + static_cast<std::ptrdiff_t>(rows.first[y] + k) * source.stride;
            const std::uint16_t w = weights[k];
            rowTotal += w;
            std::uint32_t* sum = sums.data();
            for (std::size_t i = 0; i < rowValues; ++i)
                sum[i] += static_cast<std::uint16_t>(w * row[i]);
        }
        // Every column's weights add up to source.width.
        const double scale = 1.0 / (static_cast<double>(rowTotal) * static_cast<double>(source.width));
        std::uint8_t* target = out.pixels.data() + static_cast<std::size_t>(y) * width * 3;
        for (std::int32_t x = 0; x < width; ++x) {
            const std::uint32_t* w = columns.weight.data() + columns.start[x];
            const std::uint32_t* from = sums.data() + static_cast<std::size_t>(columns.first[x]) * 3;
            std::uint64_t r = 0, g = 0, b = 0;
            for (std::int32_t k = 0; k < columns.count[x]; ++k, from += 3) {
                r += static_cast<std::uint64_t>(w[k]) * from[0];
                g += static_cast<std::uint64_t>(w[k]) * from[1];
                b += static_cast<std::uint64_t>(w[k]) * from[2];
            }
            // The sums stay far below 2^53, so a flat area's exact multiple
            // of the total comes out as its value.
            target[x * 3] = static_cast<std::uint8_t>(static_cast<double>(r) * scale + 0.5);
            target[x * 3 + 1] = static_cast<std::uint8_t>(static_cast<double>(g) * scale + 0.5);
            target[x * 3 + 2] = static_cast<std::uint8_t>(static_cast<double>(b) * scale + 0.5);
        }
    }
    return out;
}

}  // namespace zov
