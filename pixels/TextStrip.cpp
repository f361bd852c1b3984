#include "pixels/TextStrip.h"

#include "platform/Encoding.h"
#include "platform/Locks.h"
#include "pixels/Draw.h"

#include <pango/pangocairo.h>

#include <cmath>
#include <vector>

namespace zov {

namespace {

constexpr int kFontPixels = 12;
// Room the side text takes at the right end of a strip.
constexpr std::int32_t kSideTextRoom = 160;
constexpr std::int32_t kSideTextMargin = 5;

// Pango and its font map are not thread-safe; everything below runs under the
// pool lock. Both live for the process, as the shared font always has.
struct TextResources {
    PangoFontMap* fontMap = nullptr;
    PangoContext* context = nullptr;
    PangoFontDescription* font = nullptr;
    std::vector<std::uint32_t> scratch;  // grown, never shrunk
};

TextResources& Resources() {
    static auto* resources = [] {
        auto* r = new TextResources;
        r->fontMap = pango_cairo_font_map_new();
        r->context = pango_font_map_create_context(r->fontMap);
        cairo_font_options_t* options = cairo_font_options_create();
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
        cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
        cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
        pango_cairo_context_set_font_options(r->context, options);
        cairo_font_options_destroy(options);
        r->font = pango_font_description_from_string("IPAGothic");
        pango_font_description_set_absolute_size(r->font, kFontPixels * PANGO_SCALE);
        return r;
    }();
    return *resources;
}

void SetSource(cairo_t* cr, COLORREF colour) {
    cairo_set_source_rgb(cr, (colour & 0xFF) / 255.0, (colour >> 8 & 0xFF) / 255.0, (colour >> 16 & 0xFF) / 255.0);
}

// DrawText's subset: single line or lines broken only at line breaks, each
// cut with an ellipsis when too long; left, centred or right; top or (single
// line) vertically centred; clipped to the rectangle.
void DrawTextInRect(cairo_t* cr, TextResources& r, std::wstring_view text, const RECT& rect, std::uint32_t format) {
    if (text.empty() || rect.IsEmpty())
        return;
    PangoLayout* layout = pango_layout_new(r.context);
    pango_layout_set_font_description(layout, r.font);
    std::string utf8 = ToUtf8(text);
    pango_layout_set_text(layout, utf8.data(), static_cast<int>(utf8.size()));
    pango_layout_set_width(layout, rect.Width() * PANGO_SCALE);
    if (format & DT_SINGLELINE)
        pango_layout_set_single_paragraph_mode(layout, TRUE);
    if (format & DT_WORD_ELLIPSIS) {
        pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
        pango_layout_set_height(layout, -1);  // one line per paragraph
    } else {
        pango_layout_set_wrap(layout, PANGO_WRAP_CHAR);
    }
    pango_layout_set_alignment(layout, (format & DT_CENTER)  ? PANGO_ALIGN_CENTER
                                       : (format & DT_RIGHT) ? PANGO_ALIGN_RIGHT
                                                             : PANGO_ALIGN_LEFT);
    double top = rect.top;
    if ((format & DT_SINGLELINE) && (format & DT_VCENTER)) {
        int textWidth = 0, textHeight = 0;
        pango_layout_get_pixel_size(layout, &textWidth, &textHeight);
        top = rect.top + (rect.Height() - textHeight) / 2;
    }
    cairo_save(cr);
    cairo_rectangle(cr, rect.left, rect.top, rect.Width(), rect.Height());
    cairo_clip(cr);
    cairo_move_to(cr, rect.left, top);
    pango_cairo_update_layout(cr, layout);
    pango_cairo_show_layout(cr, layout);
    cairo_restore(cr);
    g_object_unref(layout);
}

}  // namespace

void DrawTextStrip(PixelBuffer& target, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                   std::wstring_view mainText, std::wstring_view sideText, COLORREF textColour,
                   COLORREF backgroundColour, std::int32_t leftInset, std::int32_t rightInset,
                   std::int32_t topOffset, std::uint32_t format, double scale) {
    if (target.Empty())
        return;
    const RECT clipped = IntersectRect(RECT{x, y, x + width, y + height}, target.Bounds());
    if (clipped.IsEmpty())
        return;
    const std::int32_t w = clipped.Width();
    const std::int32_t h = clipped.Height();
    try {
        LockGuard guard(PoolLock());
        TextResources& r = Resources();
        if (!std::isfinite(scale) || scale < 1)
            scale = 1;
        pango_font_description_set_absolute_size(r.font, kFontPixels * scale * PANGO_SCALE);
        const auto sideRoom = static_cast<std::int32_t>(std::lround(kSideTextRoom * scale));
        const auto sideMargin = static_cast<std::int32_t>(std::lround(kSideTextMargin * scale));
        if (r.scratch.size() < static_cast<std::size_t>(w) * h)
            r.scratch.resize(static_cast<std::size_t>(w) * h);
        cairo_surface_t* surface = cairo_image_surface_create_for_data(
            reinterpret_cast<unsigned char*>(r.scratch.data()), CAIRO_FORMAT_RGB24, w, h, w * 4);
        cairo_t* cr = cairo_create(surface);
        SetSource(cr, backgroundColour);
        cairo_paint(cr);
        SetSource(cr, textColour);
        if (!sideText.empty()) {
            DrawTextInRect(cr, r, mainText, RECT{leftInset, topOffset, w - rightInset - sideRoom, h + topOffset},
                           format);
            DrawTextInRect(cr, r, sideText,
                           RECT{w - rightInset - sideRoom - sideMargin, 0, w - rightInset - sideMargin, h},
                           DT_SINGLELINE | DT_VCENTER | DT_RIGHT | DT_WORD_ELLIPSIS);
        } else {
            DrawTextInRect(cr, r, mainText, RECT{leftInset, topOffset, w - rightInset, h + topOffset}, format);
        }
        cairo_destroy(cr);
        cairo_surface_flush(surface);
        cairo_surface_destroy(surface);
        // Cairo leaves the top byte of RGB24 words undefined.
        for (std::int32_t row = 0; row < h; ++row) {
            const std::uint32_t* from = r.scratch.data() + static_cast<std::size_t>(row) * w;
            std::uint32_t* to = target.Row(clipped.top + row) + clipped.left;
            for (std::int32_t i = 0; i < w; ++i)
                to[i] = from[i] & 0xFFFFFF;
        }
    } catch (...) {
        // A strip that cannot be drawn leaves the buffer as it was.
    }
}

}  // namespace zov
