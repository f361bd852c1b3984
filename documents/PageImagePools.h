// Recycling of decoded page pictures and the scratch space of the decoder.
// Image 1 (the ordinary picture) and image 2 (the preferred, larger one) keep
// separate pools: image 2 blocks are few and large and at most 50 are kept.
#pragma once

#include "pixels/BlockPool.h"

#include <cstdint>
#include <vector>

namespace zov {

// Fresh image 1 blocks are never smaller than this, so that small pictures
// share blocks of one size class.
inline constexpr std::int64_t kImage1MinimumBlock = 65536;
inline constexpr std::size_t kImage2PoolSlots = 50;

BlockPool& Image1Pool();
BlockPool& Image2Pool();

// The placeholder written where an embedded picture is not decoded: squares
// of side min(width, height) / 10 + 1, white at the top left, alternating
// with light grey.
void FillCheckerboard(std::uint32_t* pixels, std::int32_t width, std::int32_t height);

// The decoder's input buffer, grown to the largest picture seen and never
// shrunk. Only while holding the decode lock.
std::vector<std::uint8_t>& DecodeScratch();

}  // namespace zov
