// Text drawn into a pixel buffer: the caption strips under the books and the
// text of sticky notes. A strip is opaque: it replaces the pixels it covers.
#pragma once

#include "pixels/PixelBuffer.h"

#include <string_view>

namespace zov {

// The formats callers use: captions and notes.
inline constexpr std::uint32_t kCaptionFormat = DT_SINGLELINE | DT_VCENTER | DT_CENTER | DT_WORD_ELLIPSIS;
inline constexpr std::uint32_t kNoteFormat = DT_WORD_ELLIPSIS;

// Draws the strip (x, y, width, height), clipped to `target`. The main text
// goes into (leftInset, topOffset, w - rightInset, h + topOffset) of the
// clipped strip, measured from its clipped top-left corner, with `format`.
// A side text, when given, takes the right end (160 pixels) in a single
// right-aligned line. Colours are window-system colours (0x00BBGGRR). The font
// is IPA Gothic at 12 pixels, or what fontconfig offers in its place; it and
// the side text's room are `scale` times as large on a denser screen.
void DrawTextStrip(PixelBuffer& target, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                   std::wstring_view mainText, std::wstring_view sideText, COLORREF textColour,
                   COLORREF backgroundColour, std::int32_t leftInset, std::int32_t rightInset,
                   std::int32_t topOffset, std::uint32_t format, double scale = 1.0);

}  // namespace zov
