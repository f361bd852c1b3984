// The few drawing primitives the desk, the pages and the sticky notes are
// painted with. Each clips to the target buffer first; nothing is ever
// written outside it. Colours are pixel words 0x00RRGGBB. Rectangles are
// half-open: right and bottom are not drawn.
#pragma once

#include "pixels/PixelBuffer.h"

namespace zov {

// Sprite pixels with this value are not drawn.
inline constexpr std::uint32_t kSpriteKey = 0x010101;
inline constexpr std::uint32_t kOutlineGrey = 0xA0A0A0;

inline constexpr std::int32_t kCheckSpriteSize = 10;
inline constexpr std::int32_t kBadgeWidth = 16;
inline constexpr std::int32_t kBadgeHeight = 9;
extern const std::uint32_t kCheckSprite[kCheckSpriteSize * kCheckSpriteSize];
extern const std::uint32_t kBadgeSprite[kBadgeWidth * kBadgeHeight];

RECT IntersectRect(const RECT& a, const RECT& b);

void FillDeskColour(PixelBuffer& target);
void FillRectDeskColour(PixelBuffer& target, const RECT& rect);
void FillRectWhite(PixelBuffer& target, const RECT& rect);

// From (x0, y0) towards (x1, y1), the end point itself not drawn. Horizontal
// lines go left to right and vertical ones top to bottom only.
void DrawLine(PixelBuffer& target, std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1,
              std::uint32_t colour);
// The four sides in grey; the corner (right, bottom) stays untouched.
void DrawOutline(PixelBuffer& target, std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom);

void Blit(PixelBuffer& target, std::int32_t x, std::int32_t y, std::int32_t spriteWidth, std::int32_t spriteHeight,
          const std::uint32_t* sprite);

// `sprite` `zoom` times as large: each of its pixels a zoom × zoom block.
void BlitZoomed(PixelBuffer& target, std::int32_t x, std::int32_t y, std::int32_t spriteWidth,
                std::int32_t spriteHeight, const std::uint32_t* sprite, std::int32_t zoom);

// The 12 × 12 selection box at the left of a strip (x, y, width, height),
// centred on the strip's unclipped height; `zoom` times as large on a denser
// screen, as are its offsets.
void DrawCheckBox(PixelBuffer& target, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                  bool checked, std::int32_t zoom = 1);
// The "NEW" badge near the right end of a strip.
void DrawNewItemBadge(PixelBuffer& target, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                      std::int32_t zoom = 1);

}  // namespace zov
