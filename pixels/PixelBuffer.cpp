#include "pixels/PixelBuffer.h"

#include "pixels/BlockPool.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace zov {

namespace {

std::atomic<std::uint32_t> deskColour{0xC0C0C0};

}  // namespace

BlockPool& SaveBufPool() {
    // Never destroyed: buffers are released by threads that may outlive
    // static destruction.
    static auto* pool = new BlockPool(BlockPool::Policy{}, PoolLock());
    return *pool;
}

void SetDeskColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    deskColour = std::uint32_t{red} << 16 | std::uint32_t{green} << 8 | blue;
}

std::uint32_t DeskColour() {
    return deskColour.load(std::memory_order_relaxed);
}

PixelBuffer::PixelBuffer(std::int32_t width, std::int32_t height)
    : width_(std::max(width, 0)), height_(std::max(height, 0)) {}

PixelBuffer::~PixelBuffer() {
    ReleasePixels();
}

PixelBuffer::PixelBuffer(PixelBuffer&& other) noexcept
    : width_(std::exchange(other.width_, 0)), height_(std::exchange(other.height_, 0)),
      shared_(std::exchange(other.shared_, false)), resident_(std::exchange(other.resident_, false)),
      pixels_(std::exchange(other.pixels_, nullptr)), size_(std::exchange(other.size_, 0)),
      pool_(std::exchange(other.pool_, nullptr)) {}

PixelBuffer& PixelBuffer::operator=(PixelBuffer&& other) noexcept {
    if (this != &other) {
        ReleasePixels();
        width_ = std::exchange(other.width_, 0);
        height_ = std::exchange(other.height_, 0);
        shared_ = std::exchange(other.shared_, false);
        resident_ = std::exchange(other.resident_, false);
        pixels_ = std::exchange(other.pixels_, nullptr);
        size_ = std::exchange(other.size_, 0);
        pool_ = std::exchange(other.pool_, nullptr);
    }
    return *this;
}

std::unique_ptr<PixelBuffer> PixelBuffer::Create(std::int32_t width, std::int32_t height) {
    auto buffer = std::make_unique<PixelBuffer>(width, height);
    buffer->AllocatePixels();
    return buffer;
}

bool PixelBuffer::AllocatePixels() {
    ReleasePixels();
    std::int64_t size = PixelCount() * 4;
    if (size == 0)
        return false;
    BlockPool::Block block = SaveBufPool().Acquire(size);
    if (!block.block)
        return false;
    // The buffer records what it asked for, not what the block once held:
    // that is the size the block goes back with.
    AdoptPixels(static_cast<std::uint32_t*>(block.block), size, &SaveBufPool());
    return true;
}

void PixelBuffer::AdoptPixels(std::uint32_t* block, std::int64_t size, BlockPool* pool) {
    ReleasePixels();
    pixels_ = block;
    size_ = size;
    pool_ = pool;
}

void PixelBuffer::ShareFrom(const PixelBuffer& source) {
    ReleasePixels();
    width_ = source.width_;
    height_ = source.height_;
    pixels_ = const_cast<std::uint32_t*>(source.pixels_);
    size_ = source.size_;
    shared_ = true;
}

void PixelBuffer::ShowResident(const PixelBuffer& source) {
    ShareFrom(source);
    shared_ = false;
    resident_ = true;
}

void PixelBuffer::ReleasePixels() {
    if (pixels_ && !shared_ && !resident_) {
        if (pool_)
            pool_->Release(pixels_, size_);
        else
            std::free(pixels_);
    }
    pixels_ = nullptr;
    size_ = 0;
    pool_ = nullptr;
    shared_ = false;
    resident_ = false;
}

bool PixelBuffer::CopyFrom(const PixelBuffer& source) {
    if (source.width_ != width_ || source.height_ != height_ || !pixels_ || !source.pixels_)
        return false;
    if (pixels_ != source.pixels_)
        std::memcpy(pixels_, source.pixels_, static_cast<std::size_t>(PixelCount()) * 4);
    return true;
}

const PixelBuffer& PixelBuffer::WhitePage() {
    static const PixelBuffer* page = [] {
        auto* white = new PixelBuffer(128, 128);
        auto* block = static_cast<std::uint32_t*>(std::malloc(128 * 128 * 4));
        std::fill_n(block, 128 * 128, 0xFFFFFFu);
        white->AdoptPixels(block, 128 * 128 * 4, nullptr);
        white->MakeResident();
        white->shared_ = true;
        return white;
    }();
    return *page;
}

}  // namespace zov
