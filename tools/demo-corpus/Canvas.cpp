#include "tools/demo-corpus/Canvas.h"

namespace zov::corpus {

FontPtr MakeFont(const char* family, double size, PangoWeight weight) {
    FontPtr font(pango_font_description_new(), &pango_font_description_free);
    pango_font_description_set_family(font.get(), family);
    pango_font_description_set_weight(font.get(), weight);
    pango_font_description_set_absolute_size(font.get(), size * PANGO_SCALE);
    return font;
}

void SetColour(cairo_t* cr, std::uint32_t rgb, double alpha) {
    cairo_set_source_rgba(cr, (rgb >> 16 & 0xFF) / 255.0, (rgb >> 8 & 0xFF) / 255.0, (rgb & 0xFF) / 255.0, alpha);
}

void AddStop(cairo_pattern_t* pattern, double offset, std::uint32_t rgb, double alpha) {
    cairo_pattern_add_color_stop_rgba(pattern, offset, (rgb >> 16 & 0xFF) / 255.0, (rgb >> 8 & 0xFF) / 255.0,
                                      (rgb & 0xFF) / 255.0, alpha);
}

void Fill(cairo_t* cr, std::uint32_t colour, double alpha) {
    SetColour(cr, colour, alpha);
    cairo_fill(cr);
}

void FillRect(cairo_t* cr, double x, double y, double w, double h, std::uint32_t colour) {
    cairo_rectangle(cr, x, y, w, h);
    Fill(cr, colour);
}

void FillCircle(cairo_t* cr, double cx, double cy, double r, std::uint32_t colour) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, cx, cy, r, 0, 2 * kPi);
    Fill(cr, colour);
}

void FillPolygon(cairo_t* cr, std::initializer_list<Point> points, std::uint32_t colour) {
    for (const Point& p : points)
        cairo_line_to(cr, p.x, p.y);
    cairo_close_path(cr);
    Fill(cr, colour);
}

void FillGradient(cairo_t* cr, double x, double y, double w, double h, std::initializer_list<std::uint32_t> stops) {
    cairo_pattern_t* gradient = cairo_pattern_create_linear(0, y, 0, y + h);
    double offset = 0;
    for (std::uint32_t stop : stops) {
        AddStop(gradient, offset, stop);
        offset += 1.0 / (stops.size() - 1);
    }
    cairo_rectangle(cr, x, y, w, h);
    cairo_set_source(cr, gradient);
    cairo_fill(cr);
    cairo_pattern_destroy(gradient);
}

void Glow(cairo_t* cr, double cx, double cy, double r, std::uint32_t colour, double alpha) {
    cairo_pattern_t* glow = cairo_pattern_create_radial(cx, cy, 0, cx, cy, r);
    AddStop(glow, 0, colour, alpha);
    AddStop(glow, 1, colour, 0);
    cairo_arc(cr, cx, cy, r, 0, 2 * kPi);
    cairo_set_source(cr, glow);
    cairo_fill(cr);
    cairo_pattern_destroy(glow);
}

void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double r) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -kPi / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, kPi / 2);
    cairo_arc(cr, x + r, y + h - r, r, kPi / 2, kPi);
    cairo_arc(cr, x + r, y + r, r, kPi, 3 * kPi / 2);
    cairo_close_path(cr);
}

void Line(cairo_t* cr, double x1, double y1, double x2, double y2, double width, std::uint32_t colour) {
    cairo_move_to(cr, x1, y1);
    cairo_line_to(cr, x2, y2);
    cairo_set_line_width(cr, width);
    SetColour(cr, colour);
    cairo_stroke(cr);
}

double ShowText(cairo_t* cr, const FontPtr& font, std::uint32_t colour, const std::string& text, double x, double y,
                double width, PangoAlignment align, double boxHeight) {
    PangoLayout* layout = pango_cairo_create_layout(cr);
    // Unrounded positions keep the font's own advances in the PDF.
    pango_context_set_round_glyph_positions(pango_layout_get_context(layout), FALSE);
    pango_layout_context_changed(layout);
    pango_layout_set_font_description(layout, font.get());
    if (width > 0) {
        pango_layout_set_width(layout, static_cast<int>(width * PANGO_SCALE));
        pango_layout_set_wrap(layout, PANGO_WRAP_WORD);
    }
    pango_layout_set_alignment(layout, align);
    pango_layout_set_line_spacing(layout, 1.3f);
    pango_layout_set_text(layout, text.data(), static_cast<int>(text.size()));
    int logicalHeight = 0;
    pango_layout_get_size(layout, nullptr, &logicalHeight);
    const double height = static_cast<double>(logicalHeight) / PANGO_SCALE;
    SetColour(cr, colour);
    cairo_move_to(cr, x, boxHeight > 0 ? y + (boxHeight - height) / 2 : y);
    pango_cairo_show_layout(cr, layout);
    cairo_new_path(cr);  // or the next shape would start with a line from here
    g_object_unref(layout);
    return height;
}

void DrawFooter(cairo_t* cr, const FontPtr& font, double pageWidth, double y, const std::string& left,
                const std::string& right) {
    Line(cr, kMargin, y - 6, pageWidth - kMargin, y - 6, 0.6, kRule);
    ShowText(cr, font, kGrey, left, kMargin, y, 0);
    ShowText(cr, font, kGrey, right, kMargin, y, pageWidth - 2 * kMargin, PANGO_ALIGN_RIGHT);
}

std::vector<double> Values(int seed, int count, int low, int range) {
    std::vector<double> values;
    for (int i = 0; i < count; ++i)
        values.push_back(low + (seed * 37 + i * 23) % range);
    return values;
}

}  // namespace zov::corpus
