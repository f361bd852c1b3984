#include "tools/convert/Downscale.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace zov {
namespace {

// Rows of `width` pixels of one grey value each from `values`, row after
// row, with `pad` spare bytes after every row.
std::vector<std::uint8_t> Grey(const std::vector<int>& values, int width, int pad) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < values.size(); ++i) {
        for (int c = 0; c < 3; ++c)
            bytes.push_back(static_cast<std::uint8_t>(values[i]));
        if ((i + 1) % width == 0)
            bytes.insert(bytes.end(), pad, 0xEE);
    }
    return bytes;
}

TEST(AreaDownscale, EachOutputIsTheMeanOfTheAreaItCovers) {
    // Three columns into two: the middle one is split half and half.
    std::vector<std::uint8_t> row = Grey({0, 90, 180, 30, 60, 90}, 3, 5);
    RgbImage out = AreaDownscale(RgbView{row.data(), 3, 2, 3 * 3 + 5}, 2, 1);
    ASSERT_EQ(out.width, 2);
    ASSERT_EQ(out.height, 1);
    // Left: (0 + 90 / 2 + 30 + 60 / 2) / 3 = 35; right: (90 / 2 + 180 + 60 / 2 + 90) / 3 = 115.
    EXPECT_EQ(out.pixels, (std::vector<std::uint8_t>{35, 35, 35, 115, 115, 115}));

    // Flat areas keep their value exactly, whatever the ratio: white paper
    // stays white.
    for (auto [from, to] : {std::pair{1754, 360}, {1239, 254}, {7, 3}, {5, 5}}) {
        std::vector<std::uint8_t> white(static_cast<std::size_t>(from) * 3 * 2, 255);
        RgbImage reduced = AreaDownscale(RgbView{white.data(), from, 2, from * 3}, to, 1);
        ASSERT_EQ(reduced.pixels.size(), static_cast<std::size_t>(to) * 3);
        for (std::uint8_t value : reduced.pixels)
            ASSERT_EQ(value, 255) << from << " to " << to;
    }
    // The channels stay apart.
    std::vector<std::uint8_t> colour = {255, 0, 0, 0, 0, 255};
    EXPECT_EQ(AreaDownscale(RgbView{colour.data(), 2, 1, 6}, 1, 1).pixels,
              (std::vector<std::uint8_t>{128, 0, 128}));
}

TEST(AreaDownscale, RefusesSizesItCannotMake) {
    std::vector<std::uint8_t> bytes(4 * 4 * 3, 7);
    const RgbView view{bytes.data(), 4, 4, 12};
    EXPECT_TRUE(AreaDownscale(view, 5, 4).pixels.empty());
    EXPECT_TRUE(AreaDownscale(view, 0, 2).pixels.empty());
    EXPECT_TRUE(AreaDownscale(RgbView{bytes.data(), 4, 4, 11}, 2, 2).pixels.empty());
    EXPECT_TRUE(AreaDownscale(RgbView{nullptr, 4, 4, 12}, 2, 2).pixels.empty());
    EXPECT_EQ(AreaDownscale(view, 1, 1).pixels, (std::vector<std::uint8_t>{7, 7, 7}));
}

}  // namespace
}  // namespace zov
