#include "pixels/Draw.h"

#include <algorithm>
#include <cstdlib>

namespace zov {

namespace {

constexpr std::uint32_t W = 0xFFFFFF;
constexpr std::uint32_t l = 0xDCDCDC;
constexpr std::uint32_t m = 0xAAAAAA;
constexpr std::uint32_t d = 0x787878;
constexpr std::uint32_t k = 0x464646;
constexpr std::uint32_t b = 0x000000;
constexpr std::uint32_t R = 0xE4121D;
constexpr std::uint32_t _ = kSpriteKey;

// Callers must do clipping: `rect` lies inside `target`.
void FillClipped(PixelBuffer& target, const RECT& rect, std::uint32_t colour) {
    for (std::int32_t y = rect.top; y < rect.bottom; ++y)
        std::fill(target.Row(y) + rect.left, target.Row(y) + rect.right, colour);
}

void Plot(PixelBuffer& target, std::int64_t x, std::int64_t y, std::uint32_t colour) {
    if (x >= 0 && y >= 0 && x < target.Width() && y < target.Height())
        target.At(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)) = colour;
}

}  // namespace

// clang-format off
const std::uint32_t kCheckSprite[kCheckSpriteSize * kCheckSpriteSize] = {
    W, W, W, W, W, W, W, W, W, W,
    W, W, W, W, W, W, W, W, l, W,
    W, W, W, W, W, W, W, l, l, l,
    W, l, W, W, W, W, l, l, d, m,
    d, d, d, W, W, d, d, d, l, m,
    l, d, d, d, d, d, d, l, m, m,
    m, l, k, k, k, k, l, m, m, m,
    m, m, l, b, b, l, m, m, m, m,
    m, m, m, l, l, m, m, m, m, m,
    m, m, m, m, m, m, m, m, m, m,
};

const std::uint32_t kBadgeSprite[kBadgeWidth * kBadgeHeight] = {
    _, R, R, R, R, R, R, R, R, R, R, R, R, R, R, _,
    R, R, R, R, R, R, R, R, R, R, R, R, R, R, R, R,
    R, W, R, R, W, R, W, W, W, R, W, R, W, R, W, R,
    R, W, W, R, W, R, W, R, R, R, W, R, W, R, W, R,
    R, W, W, W, W, R, W, W, W, R, W, R, W, R, W, R,
    R, W, R, W, W, R, W, R, R, R, R, W, R, W, R, R,
    R, W, R, R, W, R, W, W, W, R, R, W, R, W, R, R,
    R, R, R, R, R, R, R, R, R, R, R, R, R, R, R, R,
    _, R, R, R, R, R, R, R, R, R, R, R, R, R, R, _,
};
// clang-format on

RECT IntersectRect(const RECT& a, const RECT& c) {
    RECT r{std::max(a.left, c.left), std::max(a.top, c.top), std::min(a.right, c.right), std::min(a.bottom, c.bottom)};
    if (r.IsEmpty())
        return RECT{};
    return r;
}

void FillDeskColour(PixelBuffer& target) {
    if (!target.Empty())
        std::fill_n(target.Pixels(), target.PixelCount(), DeskColour());
}

void FillRectDeskColour(PixelBuffer& target, const RECT& rect) {
    // Callers clip already; clipping again costs nothing and keeps a wrong
    // rectangle from writing outside the buffer. The word is always written
    // whole, so the top byte stays 0 even for a grey desk.
    if (!target.Empty())
        FillClipped(target, IntersectRect(rect, target.Bounds()), DeskColour());
}

void FillRectWhite(PixelBuffer& target, const RECT& rect) {
    if (!target.Empty())
        FillClipped(target, IntersectRect(rect, target.Bounds()), 0xFFFFFF);
}

void DrawLine(PixelBuffer& target, std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1,
              std::uint32_t colour) {
    if (target.Empty())
        return;
    const std::int32_t width = target.Width();
    const std::int32_t height = target.Height();
    if (y0 == y1) {
        if (y0 < 0 || y0 >= height)
            return;
        std::int32_t from = std::max(x0, 0);
        std::int32_t to = std::min(x1, width);
        if (from < to)
            std::fill(target.Row(y0) + from, target.Row(y0) + to, colour);
        return;
    }
    if (x0 == x1) {
        if (x0 < 0 || x0 >= width)
            return;
        std::int32_t to = std::min(y1, height);
        for (std::int32_t y = std::max(y0, 0); y < to; ++y)
            target.At(x0, y) = colour;
        return;
    }
    // Wide arithmetic: coordinates far outside the buffer must neither
    // overflow nor make the loop walk every pixel of the line.
    std::int64_t ax = x0, ay = y0, bx = x1, by = y1;
    if (std::llabs(bx - ax) < std::llabs(by - ay)) {
        if (ay > by) {
            std::swap(ax, bx);
            std::swap(ay, by);
        }
        std::int64_t first = std::max<std::int64_t>(0, -ay);
        std::int64_t last = std::min<std::int64_t>(by - ay, height - ay);  // exclusive
        for (std::int64_t i = first; i < last; ++i)
            Plot(target, ax + (bx - ax) * i / (by - ay), ay + i, colour);
    } else {
        if (ax > bx) {
            std::swap(ax, bx);
            std::swap(ay, by);
        }
        std::int64_t first = std::max<std::int64_t>(0, -ax);
        std::int64_t last = std::min<std::int64_t>(bx - ax, width - ax);
        for (std::int64_t i = first; i < last; ++i)
            Plot(target, ax + i, ay + (by - ay) * i / (bx - ax), colour);
    }
}

void DrawOutline(PixelBuffer& target, std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) {
    DrawLine(target, left, top, right, top, kOutlineGrey);
    DrawLine(target, left, top, left, bottom, kOutlineGrey);
    DrawLine(target, right, top, right, bottom, kOutlineGrey);
    DrawLine(target, left, bottom, right, bottom, kOutlineGrey);
}

void Blit(PixelBuffer& target, std::int32_t x, std::int32_t y, std::int32_t spriteWidth, std::int32_t spriteHeight,
          const std::uint32_t* sprite) {
    BlitZoomed(target, x, y, spriteWidth, spriteHeight, sprite, 1);
}

void BlitZoomed(PixelBuffer& target, std::int32_t x, std::int32_t y, std::int32_t spriteWidth,
                std::int32_t spriteHeight, const std::uint32_t* sprite, std::int32_t zoom) {
    if (target.Empty() || !sprite || zoom < 1)
        return;
    for (std::int32_t j = 0; j < spriteHeight * zoom; ++j) {
        const std::int64_t ty = std::int64_t{y} + j;
        if (ty < 0 || ty >= target.Height())
            continue;
        const std::uint32_t* row = sprite + static_cast<std::int64_t>(j / zoom) * spriteWidth;
        for (std::int32_t i = 0; i < spriteWidth * zoom; ++i)
            if (row[i / zoom] != kSpriteKey)
                Plot(target, std::int64_t{x} + i, ty, row[i / zoom]);
    }
}

namespace {

// The box and its lines reach one pixel past its 12.
constexpr std::int32_t kCheckBoxSide = 13;

void DrawCheckBoxAt(PixelBuffer& target, std::int32_t bx, std::int32_t by, bool checked) {
    if (checked)
        Blit(target, bx + 1, by + 1, kCheckSpriteSize, kCheckSpriteSize, kCheckSprite);
    else
        FillRectWhite(target, RECT{bx, by, bx + 12, by + 12});
    DrawLine(target, bx, by + 12, bx + 12, by + 12, 0xDCDCDC);
    DrawLine(target, bx + 12, by, bx + 12, by + 12, 0xDCDCDC);
    DrawLine(target, bx, by, bx + 12, by, 0x787878);
    DrawLine(target, bx, by, bx, by + 12, 0x787878);
    DrawLine(target, bx + 1, by + 1, bx + 11, by + 1, 0x000000);
    DrawLine(target, bx + 1, by + 1, bx + 1, by + 11, 0x000000);
}

}  // namespace

void DrawCheckBox(PixelBuffer& target, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                  bool checked, std::int32_t zoom) {
    RECT clipped = IntersectRect(RECT{x, y, x + width, y + height}, target.Bounds());
    if (clipped.Height() < 1)
        return;
    zoom = std::max(zoom, 1);
    // Placed from the unclipped top, so a strip half above the buffer keeps
    // its box where it would be.
    const std::int32_t bx = clipped.left + 4 * zoom;
    const std::int32_t by = y + (height - 12 * zoom) / 2;
    if (zoom == 1)
        return DrawCheckBoxAt(target, bx, by, checked);
    std::unique_ptr<PixelBuffer> box = PixelBuffer::Create(kCheckBoxSide, kCheckBoxSide);
    if (box->Empty())
        return;
    for (std::int32_t row = 0; row < kCheckBoxSide; ++row)
        std::fill(box->Row(row), box->Row(row) + kCheckBoxSide, kSpriteKey);
    DrawCheckBoxAt(*box, 0, 0, checked);
    BlitZoomed(target, bx, by, kCheckBoxSide, kCheckBoxSide, box->Row(0), zoom);
}

void DrawNewItemBadge(PixelBuffer& target, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                      std::int32_t zoom) {
    RECT clipped = IntersectRect(RECT{x, y, x + width, y + height}, target.Bounds());
    if (clipped.Height() < 1)
        return;
    zoom = std::max(zoom, 1);
    BlitZoomed(target, clipped.right - 17 * zoom, y + 3 * zoom, kBadgeWidth, kBadgeHeight, kBadgeSprite, zoom);
}

}  // namespace zov
