#include "documents/PageImagePools.h"

#include "platform/Locks.h"

#include <algorithm>

namespace zov {

namespace {

constexpr std::uint32_t kCheckerLight = 0xFFFFFF;
constexpr std::uint32_t kCheckerDark = 0xC0C0C0;

}  // namespace

BlockPool& Image1Pool() {
    static auto* pool = new BlockPool(
        BlockPool::Policy{.minimumFresh = kImage1MinimumBlock, .recordAllocation = true, .initialEntries = 1},
        PageImagePoolLock());
    return *pool;
}

BlockPool& Image2Pool() {
    static auto* pool = new BlockPool(BlockPool::Policy{.recordAllocation = true,
                                                        .initialEntries = kImage2PoolSlots,
                                                        .capacity = kImage2PoolSlots},
                                      PageImagePoolLock());
    return *pool;
}

void FillCheckerboard(std::uint32_t* pixels, std::int32_t width, std::int32_t height) {
    if (!pixels || width <= 0 || height <= 0)
        return;
    const std::int32_t side = std::min(width, height) / 10 + 1;
    for (std::int32_t y = 0; y < height; ++y) {
        std::uint32_t* row = pixels + static_cast<std::int64_t>(y) * width;
        const bool oddRow = (y / side) % 2 != 0;
        for (std::int32_t x = 0; x < width; ++x)
            row[x] = ((x / side) % 2 != 0) != oddRow ? kCheckerDark : kCheckerLight;
    }
}

std::vector<std::uint8_t>& DecodeScratch() {
    static auto* scratch = new std::vector<std::uint8_t>;
    return *scratch;
}

}  // namespace zov
