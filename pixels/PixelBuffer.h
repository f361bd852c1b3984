// The 32-bit pixel array every frame, page picture, placeholder and sprite is
// made of: words 0x00RRGGBB, row-major, top row first, no row padding.
//
// A buffer owns its pixel block and gives it back where it came from when it
// lets go of it: to the pool that handed it out, or to the heap. Shared
// buffers (views of the white page) and resident ones (pictures that live for
// the whole process) never give their pixels back.
#pragma once

#include "platform/WinTypes.h"

#include <cstdint>
#include <memory>

namespace zov {

class BlockPool;

class PixelBuffer {
public:
    // Initialise: a size and no pixels yet.
    PixelBuffer() = default;
    PixelBuffer(std::int32_t width, std::int32_t height);
    ~PixelBuffer();
    PixelBuffer(PixelBuffer&& other) noexcept;
    PixelBuffer& operator=(PixelBuffer&& other) noexcept;
    PixelBuffer(const PixelBuffer&) = delete;
    PixelBuffer& operator=(const PixelBuffer&) = delete;

    // Initialise and allocate. The buffer is still returned when no memory
    // could be had; it then has no pixels and counts as empty.
    static std::unique_ptr<PixelBuffer> Create(std::int32_t width, std::int32_t height);

    // Takes width × height × 4 bytes from the pixel pool; the contents are
    // whatever the recycled block held. False when no memory could be had.
    bool AllocatePixels();
    // Takes over `block` of recorded `size` bytes, which goes back to `pool`
    // when released, or to the heap (std::free) when `pool` is null.
    void AdoptPixels(std::uint32_t* block, std::int64_t size, BlockPool* pool);
    // From now on the pixels live as long as the process.
    void MakeResident() { resident_ = true; }
    // Shows `source`'s pixels without owning them; `source` must outlive this.
    void ShareFrom(const PixelBuffer& source);
    // The same for a resident picture (a placeholder), which, unlike the
    // white page, counts as the holder's own picture: it is not marked shared.
    void ShowResident(const PixelBuffer& source);
    // Pixels of its own: present and not the shared white page.
    bool HoldsOwnPixels() const { return pixels_ && !shared_; }
    void ReleasePixels();

    // Copies the pixels of a buffer of the same size; otherwise does nothing.
    bool CopyFrom(const PixelBuffer& source);

    std::int32_t Width() const { return width_; }
    std::int32_t Height() const { return height_; }
    bool Shared() const { return shared_; }
    bool Empty() const { return pixels_ == nullptr; }
    std::int64_t Size() const { return size_; }
    std::uint32_t* Pixels() { return pixels_; }
    const std::uint32_t* Pixels() const { return pixels_; }
    std::uint32_t* Row(std::int32_t y) { return pixels_ + static_cast<std::int64_t>(y) * width_; }
    const std::uint32_t* Row(std::int32_t y) const { return pixels_ + static_cast<std::int64_t>(y) * width_; }
    std::uint32_t& At(std::int32_t x, std::int32_t y) { return Row(y)[x]; }
    std::uint32_t At(std::int32_t x, std::int32_t y) const { return Row(y)[x]; }
    RECT Bounds() const { return RECT{0, 0, width_, height_}; }
    std::int64_t PixelCount() const { return static_cast<std::int64_t>(width_) * height_; }

    // The 128 × 128 white page standing for a page whose picture is not
    // loaded; made on first use, never freed, shared by every holder.
    static const PixelBuffer& WhitePage();

private:
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    bool shared_ = false;
    bool resident_ = false;
    std::uint32_t* pixels_ = nullptr;
    std::int64_t size_ = 0;
    BlockPool* pool_ = nullptr;  // not owned; null: the heap
};

// The pool every ordinary buffer takes its pixels from.
BlockPool& SaveBufPool();

// The desk colour, set by the page's script; 192, 192, 192 until then.
void SetDeskColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue);
std::uint32_t DeskColour();  // as a pixel word 0x00RRGGBB

// Pixel words and window-system colours have red and blue the other way round.
constexpr std::uint32_t PixelFromColorRef(COLORREF colour) {
    return (colour & 0xFF) << 16 | (colour & 0xFF00) | (colour >> 16 & 0xFF);
}
constexpr COLORREF ColorRefFromPixel(std::uint32_t pixel) {
    return (pixel & 0xFF) << 16 | (pixel & 0xFF00) | (pixel >> 16 & 0xFF);
}

}  // namespace zov
