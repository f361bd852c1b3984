#include "pixels/BlockPool.h"
#include "pixels/Draw.h"
#include "pixels/PixelBuffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <malloc.h>

namespace zov {
namespace {

// A pool of our own, so that tests do not depend on what others left in the
// process-wide ones.
BlockPool::Policy SaveBufPolicy() {
    return BlockPool::Policy{};
}

void* Block(std::size_t bytes) {
    return std::malloc(bytes);
}

TEST(BlockPool, HandsOutTheBestFitAndEmptiesItsEntry) {
    BlockPool pool(SaveBufPolicy(), NamedLock("test pool"));
    void* b1000 = Block(1000);
    void* b1200 = Block(1200);
    void* b1100 = Block(1100);
    pool.Release(b1000, 1000);
    pool.Release(b1200, 1200);
    pool.Release(b1100, 1100);
    ASSERT_EQ(pool.Entries().size(), 3u);  // the first release made one entry, then it grew

    BlockPool::Block got = pool.Acquire(1050);
    EXPECT_EQ(got.block, b1100);
    EXPECT_EQ(got.size, 1100);
    auto entries = pool.Entries();
    EXPECT_EQ(entries[2].block, nullptr);
    EXPECT_EQ(entries[2].size, 0);

    // Nothing fits 1300: a fresh block with a tenth of head room, recorded at
    // the size asked for so that the head room is never offered again.
    BlockPool::Block fresh = pool.Acquire(1300);
    ASSERT_NE(fresh.block, nullptr);
    EXPECT_GE(malloc_usable_size(fresh.block), 1430u);
    EXPECT_EQ(fresh.size, 1300);

    // Released blocks fill free entries first; the pool never shrinks.
    pool.Release(got.block, got.size);
    EXPECT_EQ(pool.Entries().size(), 3u);
    pool.Release(fresh.block, fresh.size);
    EXPECT_EQ(pool.Entries().size(), 4u);
    BlockPool::Block exact = pool.Acquire(1200);
    EXPECT_EQ(exact.block, b1200);
    std::free(exact.block);
    for (auto& entry : pool.Entries())
        std::free(entry.block);
}

TEST(BlockPool, EqualExcessTakesTheEarlierEntry) {
    BlockPool pool(SaveBufPolicy(), NamedLock("test pool"));
    void* first = Block(500);
    void* second = Block(500);
    pool.Release(first, 500);
    pool.Release(second, 500);
    BlockPool::Block got = pool.Acquire(400);
    EXPECT_EQ(got.block, first);
    std::free(got.block);
    std::free(pool.Acquire(400).block);
}

TEST(BlockPool, ACappedPoolKeepsTheLargestBlocks) {
    BlockPool pool(BlockPool::Policy{.recordAllocation = true, .initialEntries = 4, .capacity = 4},
                   NamedLock("test pool"));
    const std::int64_t sizes[] = {300, 100, 400, 200, 50, 350};
    for (std::int64_t size : sizes)
        pool.Release(Block(static_cast<std::size_t>(size)), size);
    std::vector<std::int64_t> kept;
    for (auto& entry : pool.Entries()) {
        kept.push_back(entry.size);
        std::free(entry.block);
    }
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(kept, (std::vector<std::int64_t>{200, 300, 350, 400}));
}

TEST(BlockPool, FreshBlocksHonourTheMinimumAndRecordTheAllocation) {
    BlockPool pool(BlockPool::Policy{.minimumFresh = 65536, .recordAllocation = true}, NamedLock("test pool"));
    BlockPool::Block small = pool.Acquire(1300);
    EXPECT_EQ(small.size, 72089);  // 65536 * 1.1, truncated
    pool.Release(small.block, small.size);
    // The recorded allocation is offered again in full.
    BlockPool::Block again = pool.Acquire(72000);
    EXPECT_EQ(again.block, small.block);
    std::free(again.block);
}

TEST(PixelBuffer, PixelsComeFromThePoolAndGoBackToIt) {
    auto before = SaveBufPool().Entries();
    void* block = nullptr;
    {
        auto buffer = PixelBuffer::Create(37, 11);
        ASSERT_FALSE(buffer->Empty());
        EXPECT_EQ(buffer->Size(), 37 * 11 * 4);
        block = buffer->Pixels();
    }
    auto after = SaveBufPool().Entries();
    bool returned = false;
    for (auto& entry : after)
        returned = returned || entry.block == block;
    EXPECT_TRUE(returned);
    // The next buffer of that size reuses it.
    auto again = PixelBuffer::Create(37, 11);
    EXPECT_EQ(again->Pixels(), block);
}

TEST(PixelBuffer, SharedAndResidentPixelsAreNeverReleased) {
    const PixelBuffer& white = PixelBuffer::WhitePage();
    EXPECT_EQ(white.Width(), 128);
    EXPECT_TRUE(white.Shared());
    EXPECT_EQ(white.At(127, 127), 0xFFFFFFu);
    auto entries = SaveBufPool().Entries().size();
    {
        PixelBuffer view;
        view.ShareFrom(white);
        EXPECT_TRUE(view.Shared());
        EXPECT_EQ(view.Pixels(), white.Pixels());
    }
    {
        PixelBuffer placeholder(2, 2);
        static std::uint32_t resident[4] = {1, 2, 3, 4};
        placeholder.AdoptPixels(resident, sizeof resident, &SaveBufPool());
        placeholder.MakeResident();
    }
    EXPECT_EQ(SaveBufPool().Entries().size(), entries);
    EXPECT_EQ(white.At(0, 0), 0xFFFFFFu);
}

TEST(PixelBuffer, CopyOnlyBetweenEqualSizesAndMovesKeepOwnership) {
    auto a = PixelBuffer::Create(4, 3);
    auto b = PixelBuffer::Create(4, 3);
    auto c = PixelBuffer::Create(3, 4);
    std::fill_n(a->Pixels(), 12, 0x123456u);
    std::fill_n(c->Pixels(), 12, 0xABCDEFu);
    EXPECT_TRUE(b->CopyFrom(*a));
    EXPECT_EQ(b->At(3, 2), 0x123456u);
    EXPECT_FALSE(c->CopyFrom(*a));
    EXPECT_EQ(c->At(0, 0), 0xABCDEFu);

    PixelBuffer moved = std::move(*a);
    EXPECT_TRUE(a->Empty());
    EXPECT_EQ(moved.Width(), 4);
    EXPECT_EQ(moved.At(1, 1), 0x123456u);
}

TEST(PixelBuffer, DeskColourKeepsRedAboveBlueInBothFills) {
    SetDeskColour(0x12, 0x34, 0x56);
    auto buffer = PixelBuffer::Create(6, 4);
    FillDeskColour(*buffer);
    for (int i = 0; i < 24; ++i)
        EXPECT_EQ(buffer->Pixels()[i], 0x00123456u);
    std::fill_n(buffer->Pixels(), 24, 0u);
    FillRectDeskColour(*buffer, RECT{1, 1, 3, 2});
    EXPECT_EQ(buffer->At(1, 1), 0x00123456u);
    EXPECT_EQ(buffer->At(2, 1), 0x00123456u);
    EXPECT_EQ(buffer->At(3, 1), 0u);
    EXPECT_EQ(buffer->At(1, 2), 0u);

    // A grey desk writes whole words: the top byte stays 0.
    SetDeskColour(0xC0, 0xC0, 0xC0);
    FillRectDeskColour(*buffer, RECT{-5, -5, 50, 50});
    EXPECT_EQ(buffer->At(5, 3), 0x00C0C0C0u);
    EXPECT_EQ(PixelFromColorRef(RGB(0x12, 0x34, 0x56)), 0x123456u);
    EXPECT_EQ(ColorRefFromPixel(0x123456), RGB(0x12, 0x34, 0x56));
}

}  // namespace
}  // namespace zov
