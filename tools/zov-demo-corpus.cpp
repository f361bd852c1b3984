// zov-demo-corpus: draws the sample documents the demo and the converter tests
// use.
//
//   zov-demo-corpus OUTDIR
//
// Everything is drawn here with Cairo and Pango (IPAGothic, and DejaVu Sans for
// Latin text where it is installed), so the repository carries no third-party
// documents, pictures or fonts. The output is the same bytes on every run:
// fixed metadata, no clock, no random numbers.
//
// Tests rely on "Page N of 24" and one keyword per page in brochure.pdf,
// "会議資料" (page 1) and "四半期報告" (page 3) in japanese.pdf, "Slide N" in
// slides.pdf and "Dear Ms. Tanaka" in letter.pdf.
//
// Exit status: 0 when every file was written, 1 on failure, 2 for a usage error.
#include "platform/image/ImageDecoder.h"

#include <cairo-pdf.h>
#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <numbers>
#include <numeric>
#include <stdexcept>
#include <string>
#include <vector>

namespace zov {
namespace {

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

constexpr double kPi = std::numbers::pi;
constexpr double kA4Width = 595, kA4Height = 842, kSlideWidth = 960, kSlideHeight = 540, kMargin = 50;
constexpr int kBrochurePages = 24, kSlides = 8;

constexpr std::uint32_t kInk = 0x2B2D42, kGrey = 0x6C757D, kRule = 0xC8CDD2, kMist = 0xEEF3F6, kWhite = 0xFFFFFF;
constexpr std::uint32_t kNavy = 0x1D3557, kSea = 0x2A9D8F, kCoral = 0xE76F51, kGold = 0xE9C46A, kLeaf = 0x6A994E,
                        kSun = 0xF4A261, kPlum = 0x6D597A;
constexpr std::uint32_t kChartColours[] = {kSea, kCoral, kGold, kNavy, kLeaf, kSun};
constexpr std::uint32_t kBandColours[] = {kNavy, kSea, kCoral, kLeaf, kPlum};  // dark enough for white text

std::uint32_t ChartColour(std::size_t i) {
    return kChartColours[i % std::size(kChartColours)];
}

using FontPtr = std::unique_ptr<PangoFontDescription, decltype(&pango_font_description_free)>;
using SurfacePtr = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;
using ContextPtr = std::unique_ptr<cairo_t, decltype(&cairo_destroy)>;

// Pango takes the first family of the list that is installed.
constexpr const char* kLatin = "DejaVu Sans,IPAGothic";
constexpr const char* kJapanese = "IPAGothic";

// Absolute sizes: points on a PDF surface, pixels on a picture.
FontPtr MakeFont(const char* family, double size, PangoWeight weight = PANGO_WEIGHT_NORMAL) {
    FontPtr font(pango_font_description_new(), &pango_font_description_free);
    pango_font_description_set_family(font.get(), family);
    pango_font_description_set_weight(font.get(), weight);
    pango_font_description_set_absolute_size(font.get(), size * PANGO_SCALE);
    return font;
}

struct Styles {
    FontPtr cover = MakeFont(kLatin, 60, PANGO_WEIGHT_BOLD);
    FontPtr subtitle = MakeFont(kLatin, 17);
    FontPtr kicker = MakeFont(kLatin, 8, PANGO_WEIGHT_BOLD);
    FontPtr heading = MakeFont(kLatin, 24, PANGO_WEIGHT_BOLD);
    FontPtr body = MakeFont(kLatin, 10);
    FontPtr label = MakeFont(kLatin, 8);
    FontPtr slideTitle = MakeFont(kLatin, 32, PANGO_WEIGHT_BOLD);
    FontPtr slideText = MakeFont(kLatin, 19);
    FontPtr slideLabel = MakeFont(kLatin, 15, PANGO_WEIGHT_BOLD);
    FontPtr letter = MakeFont(kLatin, 10.5);
    FontPtr letterBold = MakeFont(kLatin, 10.5, PANGO_WEIGHT_BOLD);
    // IPAGothic has no bold face, and a synthesised one looks smeared.
    FontPtr jpTitle = MakeFont(kJapanese, 30);
    FontPtr jpHeading = MakeFont(kJapanese, 16);
    FontPtr jpBody = MakeFont(kJapanese, 10.5);
    FontPtr jpSmall = MakeFont(kJapanese, 9.5);
};

// --- Drawing helpers ----------------------------------------------------------

struct Point {
    double x, y;
};

void SetColour(cairo_t* cr, std::uint32_t rgb, double alpha = 1) {
    cairo_set_source_rgba(cr, (rgb >> 16 & 0xFF) / 255.0, (rgb >> 8 & 0xFF) / 255.0, (rgb & 0xFF) / 255.0, alpha);
}

void AddStop(cairo_pattern_t* pattern, double offset, std::uint32_t rgb, double alpha = 1) {
    cairo_pattern_add_color_stop_rgba(pattern, offset, (rgb >> 16 & 0xFF) / 255.0, (rgb >> 8 & 0xFF) / 255.0,
                                      (rgb & 0xFF) / 255.0, alpha);
}

void Fill(cairo_t* cr, std::uint32_t colour, double alpha = 1) {
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

// Pattern fills: a vertical gradient through `stops` colours, and a soft radial glow.
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

// Lays `text` out `width` wide (one unwrapped line when width is 0) with its
// top left at (x, y); returns the height it took. With boxHeight the text is
// centred vertically in that height.
double ShowText(cairo_t* cr, const FontPtr& font, std::uint32_t colour, const std::string& text, double x, double y,
                double width, PangoAlignment align = PANGO_ALIGN_LEFT, double boxHeight = 0) {
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

// Made-up but stable figures for the charts.
std::vector<double> Values(int seed, int count, int low, int range) {
    std::vector<double> values;
    for (int i = 0; i < count; ++i)
        values.push_back(low + (seed * 37 + i * 23) % range);
    return values;
}

// --- Pictures -----------------------------------------------------------------

void DrawBoat(cairo_t* cr, double x, double y, double s, std::uint32_t hull, std::uint32_t sail) {
    FillPolygon(cr, {{x - s, y}, {x + s, y}, {x + s * 0.7, y + s * 0.35}, {x - s * 0.7, y + s * 0.35}}, hull);
    Line(cr, x, y, x, y - s * 1.5, std::max(1.0, s * 0.05), kInk);
    FillPolygon(cr, {{x + s * 0.08, y - s * 1.4}, {x + s * 0.85, y - s * 0.12}, {x + s * 0.08, y - s * 0.12}}, sail);
}

void DrawLighthouse(cairo_t* cr, double x, double base, double h) {
    const double w = h * 0.2;
    // The tower tapers; a band runs between two heights given as fractions of h.
    auto band = [&](double from, double to, std::uint32_t colour) {
        const double a = w * (0.5 - 0.18 * from), b = w * (0.5 - 0.18 * to);
        FillPolygon(cr, {{x - a, base - h * from}, {x + a, base - h * from}, {x + b, base - h * to},
                         {x - b, base - h * to}}, colour);
    };
    band(0, 1, kWhite);
    for (int i = 0; i < 3; ++i)
        band(0.06 + i * 0.3, 0.2 + i * 0.3, kCoral);
    Glow(cr, x, base - h * 1.1, w * 2, 0xFFF3B0, 0.9);
    FillRect(cr, x - w * 0.4, base - h * 1.18, w * 0.8, h * 0.18, kNavy);
    FillPolygon(cr, {{x - w * 0.5, base - h * 1.18}, {x, base - h * 1.32}, {x + w * 0.5, base - h * 1.18}}, kCoral);
}

// A coastal town seen from the sea: the brochure cover and harbour.png.
void DrawHarbourScene(cairo_t* cr, double w, double h) {
    const double horizon = h * 0.6;
    FillGradient(cr, 0, 0, w, horizon, {0x7EC8E3, 0xFDF1D6});
    Glow(cr, w * 0.72, h * 0.36, w * 0.2, 0xFFE8A3, 0.9);
    FillCircle(cr, w * 0.72, h * 0.36, w * 0.065, 0xFFC93C);
    cairo_move_to(cr, 0, horizon);
    cairo_curve_to(cr, w * 0.2, horizon - h * 0.16, w * 0.45, horizon - h * 0.05, w * 0.6, horizon - h * 0.1);
    cairo_curve_to(cr, w * 0.75, horizon - h * 0.14, w * 0.9, horizon - h * 0.04, w, horizon - h * 0.08);
    cairo_line_to(cr, w, horizon);
    Fill(cr, 0x9CC5A1);
    static constexpr std::uint32_t kWalls[] = {0xF8F4E3, 0xF6BD60, 0xF7EDE2, 0x84A59D, 0xF28482};
    for (int i = 0; i < 9; ++i) {
        const double x = w * (0.45 + i * 0.05), s = w * 0.022, y = horizon - h * 0.012 - (i % 3) * s * 0.4;
        FillRect(cr, x, y - s, s * 1.4, s, kWalls[i % 5]);
        FillPolygon(cr, {{x - s * 0.15, y - s}, {x + s * 0.7, y - s * 1.7}, {x + s * 1.55, y - s}},
                    i % 2 ? kNavy : 0xB5543C);
    }
    // The lighthouse goes first so that the headland hides its foot.
    DrawLighthouse(cr, w * 0.12, horizon - h * 0.12, h * 0.17);
    cairo_move_to(cr, 0, horizon - h * 0.13);
    cairo_curve_to(cr, w * 0.1, horizon - h * 0.15, w * 0.22, horizon - h * 0.1, w * 0.34, horizon + 1);
    cairo_line_to(cr, 0, horizon + 1);
    Fill(cr, kLeaf);
    FillGradient(cr, 0, horizon, w, h - horizon, {0x48B5C4, kNavy});
    for (int row = 0; row < 10; ++row) {
        const double y = horizon + (h - horizon) * (row + 0.6) / 10, s = w * (0.015 + row * 0.003);
        for (double x = std::fmod(row * 37.0, 80.0) - 40; x < w; x += s * 5) {
            cairo_move_to(cr, x, y);
            cairo_curve_to(cr, x + s * 0.4, y - s * 0.3, x + s * 0.8, y - s * 0.3, x + s * 1.2, y);
        }
        cairo_set_line_width(cr, std::max(1.0, s * 0.12));
        SetColour(cr, kWhite, 0.35);
        cairo_stroke(cr);
    }
    for (int i = 0; i < 6; ++i) {
        const double half = w * (0.08 - i * 0.01), y = horizon + h * (0.015 + i * 0.02);
        Line(cr, w * 0.72 - half, y, w * 0.72 + half, y, h * 0.006, 0xFFE8A3);
    }
    DrawBoat(cr, w * 0.55, horizon + h * 0.09, w * 0.035, kNavy, kWhite);
    DrawBoat(cr, w * 0.82, horizon + h * 0.2, w * 0.05, kCoral, 0xFFF8E7);
    DrawBoat(cr, w * 0.3, horizon + h * 0.3, w * 0.075, 0x8D5A3B, kGold);
}

void DrawSunset(cairo_t* cr, double w, double h) {
    const double horizon = h * 0.62, sunX = w * 0.5;
    FillGradient(cr, 0, 0, w, horizon, {0x2D1B4E, 0x8E3B6E, 0xE8704A, 0xFFD166});
    Glow(cr, sunX, horizon, w * 0.45, 0xFFE3A0, 0.8);
    cairo_arc(cr, sunX, horizon, w * 0.09, kPi, 2 * kPi);
    Fill(cr, 0xFFE9A8);
    // Two headlands in silhouette.
    cairo_move_to(cr, 0, horizon - h * 0.1);
    cairo_curve_to(cr, w * 0.12, horizon - h * 0.14, w * 0.22, horizon - h * 0.03, w * 0.32, horizon);
    cairo_line_to(cr, 0, horizon);
    cairo_move_to(cr, w, horizon - h * 0.07);
    cairo_curve_to(cr, w * 0.9, horizon - h * 0.09, w * 0.8, horizon - h * 0.02, w * 0.7, horizon);
    cairo_line_to(cr, w, horizon);
    Fill(cr, 0x3B1F3A);
    FillGradient(cr, 0, horizon, w, h - horizon, {0x7A3E65, 0x1B1A3A});
    for (int i = 0; i < 14; ++i) {
        const double y = horizon + (h - horizon) * (i + 0.5) / 14, half = w * (0.09 + i * 0.012);
        const double gap = half * (0.1 + (i * 7 % 5) * 0.06), right = half * (0.8 + (i * 3 % 4) * 0.07);
        Line(cr, sunX - half, y, sunX - gap, y, h * (0.004 + i * 0.0003), 0xFFD166);
        Line(cr, sunX + gap, y, sunX + right, y, h * (0.004 + i * 0.0003), 0xFFD166);
    }
    DrawBoat(cr, w * 0.7, horizon + h * 0.12, w * 0.04, 0x1B1A3A, 0x1B1A3A);
}

void DrawArrow(cairo_t* cr, double x1, double y1, double x2, double y2, std::uint32_t colour) {
    const double angle = std::atan2(y2 - y1, x2 - x1), head = 11;
    Line(cr, x1, y1, x2 - std::cos(angle) * head * 0.8, y2 - std::sin(angle) * head * 0.8, 2.5, colour);
    FillPolygon(cr, {{x2, y2}, {x2 - head * std::cos(angle - 0.45), y2 - head * std::sin(angle - 0.45)},
                     {x2 - head * std::cos(angle + 0.45), y2 - head * std::sin(angle + 0.45)}}, colour);
}

// Four boxes at the corners of (x, y, w, h), joined clockwise by arrows.
void DrawCycle(cairo_t* cr, const FontPtr& font, double x, double y, double w, double h, const char* const labels[4]) {
    const double bw = w * 0.4, bh = h * 0.28, gap = 8;
    const double left[4] = {x, x + w - bw, x + w - bw, x}, top[4] = {y, y, y + h - bh, y + h - bh};
    for (int i = 0; i < 4; ++i) {
        RoundedRect(cr, left[i], top[i], bw, bh, 10);
        Fill(cr, ChartColour(i));
        ShowText(cr, font, i == 2 ? kInk : kWhite, labels[i], left[i] + 6, top[i], bw - 12, PANGO_ALIGN_CENTER, bh);
    }
    DrawArrow(cr, x + bw + gap, y + bh / 2, x + w - bw - gap, y + bh / 2, kGrey);
    DrawArrow(cr, x + w - bw / 2, y + bh + gap, x + w - bw / 2, y + h - bh - gap, kGrey);
    DrawArrow(cr, x + w - bw - gap, y + h - bh / 2, x + bw + gap, y + h - bh / 2, kGrey);
    DrawArrow(cr, x + bw / 2, y + h - bh - gap, x + bw / 2, y + bh + gap, kGrey);
}

void DrawBarChart(cairo_t* cr, const FontPtr& font, double x, double y, double w, double h,
                  const std::vector<double>& values, const std::vector<std::string>& labels, std::uint32_t colour) {
    const double top = *std::max_element(values.begin(), values.end()) * 1.15;
    const double labelRoom = pango_font_description_get_size(font.get()) * 1.8 / PANGO_SCALE;
    const double plot = h - labelRoom, slot = w / values.size();
    for (int i = 0; i <= 4; ++i)
        Line(cr, x, y + plot * i / 4, x + w, y + plot * i / 4, i == 4 ? 1.2 : 0.5, i == 4 ? kGrey : kRule);
    for (std::size_t i = 0; i < values.size(); ++i) {
        const double barHeight = plot * values[i] / top, bx = x + slot * i;
        RoundedRect(cr, bx + slot * 0.2, y + plot - barHeight, slot * 0.6, barHeight + 3, 3);
        Fill(cr, colour);
        ShowText(cr, font, kInk, std::to_string(static_cast<int>(values[i])), bx, y + plot - barHeight - labelRoom,
                 slot, PANGO_ALIGN_CENTER, labelRoom);
        ShowText(cr, font, kInk, labels[i], bx, y + plot, slot, PANGO_ALIGN_CENTER, labelRoom);
    }
}

void DrawPieChart(cairo_t* cr, const FontPtr& font, double cx, double cy, double r, const std::vector<double>& values,
                  const std::vector<std::string>& labels) {
    const double total = std::accumulate(values.begin(), values.end(), 0.0);
    double angle = -kPi / 2;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const double sweep = 2 * kPi * values[i] / total, rowY = cy - r + i * r * 0.4;
        cairo_move_to(cr, cx, cy);
        cairo_arc(cr, cx, cy, r, angle, angle + sweep);
        cairo_close_path(cr);
        SetColour(cr, ChartColour(i));
        cairo_fill_preserve(cr);
        cairo_set_line_width(cr, 2);
        SetColour(cr, kWhite);
        cairo_stroke(cr);
        angle += sweep;
        FillRect(cr, cx + r * 1.4, rowY, r * 0.16, r * 0.16, ChartColour(i));
        const int percent = static_cast<int>(std::lround(100 * values[i] / total));
        ShowText(cr, font, kInk, labels[i] + "  " + std::to_string(percent) + "%", cx + r * 1.65, rowY, 0,
                 PANGO_ALIGN_LEFT, r * 0.16);
    }
}

// A made-up stretch of coast: land, a stream, a road and a few pins.
void DrawMap(cairo_t* cr, const FontPtr& font, double x, double y, double w, double h, int seed) {
    const double bend = (seed * 17 % 30) / 100.0;
    cairo_save(cr);
    RoundedRect(cr, x, y, w, h, 8);
    cairo_clip(cr);
    SetColour(cr, 0xBFE3EA);
    cairo_paint(cr);
    cairo_move_to(cr, x, y);
    cairo_line_to(cr, x + w, y);
    cairo_line_to(cr, x + w, y + h * (0.25 + bend));
    cairo_curve_to(cr, x + w * 0.7, y + h * 0.4, x + w * (0.8 - bend), y + h * 0.8, x + w * 0.45, y + h * 0.75);
    cairo_curve_to(cr, x + w * 0.3, y + h * 0.72, x + w * 0.25, y + h, x + w * 0.1, y + h);
    cairo_line_to(cr, x, y + h);
    Fill(cr, 0xE9E4C9);
    cairo_arc(cr, x + w * 0.2, y + h * 0.3, h * 0.16, 0, 2 * kPi);
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w * (0.55 + bend / 2), y + h * 0.18, h * 0.1, 0, 2 * kPi);
    Fill(cr, kLeaf, 0.45);
    cairo_move_to(cr, x + w * (0.35 + bend), y);
    cairo_curve_to(cr, x + w * 0.3, y + h * 0.3, x + w * 0.5, y + h * 0.45, x + w * 0.45, y + h * 0.75);
    cairo_set_line_width(cr, 3);
    SetColour(cr, 0x6FB7D6);
    cairo_stroke(cr);
    cairo_move_to(cr, x, y + h * (0.55 - bend / 2));
    cairo_curve_to(cr, x + w * 0.3, y + h * 0.5, x + w * 0.6, y + h * 0.2, x + w, y + h * 0.12);
    cairo_set_line_width(cr, 6);
    SetColour(cr, kWhite);
    cairo_stroke(cr);
    static const char* const kPlaces[] = {"Town square", "Old quay", "Headland", "Beach"};
    const Point pins[] = {{0.28, 0.5}, {0.52, 0.68}, {0.8 - bend, 0.3}, {0.15, 0.82}};
    for (int i = 0; i < 4; ++i) {
        const double px = x + w * pins[i].x, py = y + h * pins[i].y, r = 7;
        cairo_arc(cr, px, py - 2 * r, r, kPi * 0.8, kPi * 2.2);
        cairo_line_to(cr, px, py);
        Fill(cr, ChartColour(i + seed));
        ShowText(cr, font, kInk, kPlaces[i], px + 10, py - 2 * r - 6, 0);
    }
    const double nx = x + w - 30, ny = y + h - 30;
    FillPolygon(cr, {{nx, ny - 20}, {nx + 6, ny}, {nx - 6, ny}}, kNavy);
    ShowText(cr, font, kNavy, "N", nx - 10, ny + 2, 20, PANGO_ALIGN_CENTER);
    cairo_restore(cr);
}

// Round badges with white symbols: sun, fish, tree, house, waves.
void DrawIcons(cairo_t* cr, const FontPtr& font, double x, double y, double w, int seed) {
    static const char* const kNames[] = {"Sunshine", "Fresh fish", "Woodland walks", "Cottages", "Sea air"};
    const double slot = w / 5, r = slot * 0.32, s = r * 0.5;
    for (int i = 0; i < 5; ++i) {
        const double cx = x + slot * (i + 0.5), cy = y + r;
        FillCircle(cr, cx, cy, r, ChartColour(i + seed));
        cairo_set_line_width(cr, r * 0.08);
        SetColour(cr, kWhite);
        if (i == 0) {
            for (int ray = 0; ray < 8; ++ray) {
                const double a = ray * kPi / 4;
                cairo_move_to(cr, cx + std::cos(a) * s * 0.7, cy + std::sin(a) * s * 0.7);
                cairo_line_to(cr, cx + std::cos(a) * s, cy + std::sin(a) * s);
            }
            cairo_stroke(cr);
            FillCircle(cr, cx, cy, s * 0.5, kWhite);
        } else if (i == 1) {
            cairo_save(cr);
            cairo_translate(cr, cx - s * 0.2, cy);
            cairo_scale(cr, s * 0.8, s * 0.45);
            cairo_arc(cr, 0, 0, 1, 0, 2 * kPi);
            cairo_restore(cr);
            Fill(cr, kWhite);
            FillPolygon(cr, {{cx + s * 0.5, cy}, {cx + s, cy - s * 0.45}, {cx + s, cy + s * 0.45}}, kWhite);
        } else if (i == 2) {
            FillPolygon(cr, {{cx, cy - s}, {cx + s * 0.7, cy + s * 0.5}, {cx - s * 0.7, cy + s * 0.5}}, kWhite);
            FillRect(cr, cx - s * 0.12, cy + s * 0.5, s * 0.24, s * 0.45, kWhite);
        } else if (i == 3) {
            FillRect(cr, cx - s * 0.6, cy - s * 0.1, s * 1.2, s * 0.9, kWhite);
            FillPolygon(cr, {{cx - s * 0.8, cy - s * 0.1}, {cx, cy - s * 0.85}, {cx + s * 0.8, cy - s * 0.1}}, kWhite);
        } else {
            for (double dy = -s * 0.5; dy <= s * 0.5; dy += s * 0.5) {
                cairo_move_to(cr, cx - s, cy + dy);
                cairo_curve_to(cr, cx - s * 0.5, cy + dy - s * 0.4, cx, cy + dy + s * 0.4, cx + s, cy + dy);
            }
            cairo_stroke(cr);
        }
        ShowText(cr, font, kInk, kNames[i], cx - slot / 2, cy + r + 8, slot, PANGO_ALIGN_CENTER);
    }
}

// A grid with a shaded header row; figures right-aligned. Returns its height.
double DrawTable(cairo_t* cr, const FontPtr& font, double x, double y, const std::vector<double>& columns,
                 const std::vector<std::vector<std::string>>& rows) {
    const double rowHeight = 24, width = std::accumulate(columns.begin(), columns.end(), 0.0);
    const double height = rowHeight * rows.size();
    FillRect(cr, x, y, width, rowHeight, 0xDCE6F0);
    for (std::size_t r = 0; r <= rows.size(); ++r)
        Line(cr, x, y + r * rowHeight, x + width, y + r * rowHeight, r == 1 || r == rows.size() ? 1.2 : 0.6, kGrey);
    double cx = x;
    for (std::size_t c = 0; c < columns.size(); cx += columns[c++]) {
        Line(cr, cx, y, cx, y + height, 0.6, kGrey);
        for (std::size_t r = 0; r < rows.size(); ++r)
            ShowText(cr, font, kInk, rows[r][c], cx + 8, y + r * rowHeight, columns[c] - 16,
                     c == 0 ? PANGO_ALIGN_LEFT : PANGO_ALIGN_RIGHT, rowHeight);
    }
    Line(cr, cx, y, cx, y + height, 0.6, kGrey);
    return height;
}

// --- Documents ----------------------------------------------------------------

// One PDF being drawn; its dates and names are fixed so that the bytes never change.
class PdfDocument {
public:
    PdfDocument(std::string path, double width, double height, const char* title)
        : path_(std::move(path)),
          surface_(cairo_pdf_surface_create(path_.c_str(), width, height), &cairo_surface_destroy),
          cr_(cairo_create(surface_.get()), &cairo_destroy) {
        cairo_pdf_surface_set_metadata(surface_.get(), CAIRO_PDF_METADATA_TITLE, title);
        cairo_pdf_surface_set_metadata(surface_.get(), CAIRO_PDF_METADATA_AUTHOR, "ZOV demo corpus");
        cairo_pdf_surface_set_metadata(surface_.get(), CAIRO_PDF_METADATA_CREATOR, "zov-demo-corpus");
        cairo_pdf_surface_set_metadata(surface_.get(), CAIRO_PDF_METADATA_CREATE_DATE, "2026-01-01T00:00:00");
        cairo_pdf_surface_set_metadata(surface_.get(), CAIRO_PDF_METADATA_MOD_DATE, "2026-01-01T00:00:00");
    }

    cairo_t* Context() const { return cr_.get(); }
    void EndPage() {
        cairo_show_page(cr_.get());
        ++pages_;
    }
    // The page count; throws when anything went wrong, the writing included.
    int Finish() {
        cairo_surface_finish(surface_.get());
        cairo_status_t status = cairo_status(cr_.get());
        if (status == CAIRO_STATUS_SUCCESS)
            status = cairo_surface_status(surface_.get());
        if (status != CAIRO_STATUS_SUCCESS)
            throw Failure("cannot write " + path_ + ": " + cairo_status_to_string(status));
        return pages_;
    }

private:
    std::string path_;
    SurfacePtr surface_;
    ContextPtr cr_;
    int pages_ = 0;
};

// One keyword per page, found nowhere else in the brochure; the heading of page 1 is the cover's.
constexpr const char* kTopics[kBrochurePages][2] = {
    {"lighthouse", "Harbourside"},           {"ferry", "Crossing by Ferry"},
    {"market", "The Saturday Market"},       {"seagull", "The Seagull Colony"},
    {"boatyard", "At the Boatyard"},         {"promenade", "Along the Promenade"},
    {"festival", "The Summer Festival"},     {"orchard", "The Hillside Orchard"},
    {"library", "The Town Library"},         {"museum", "The Maritime Museum"},
    {"bakery", "The Corner Bakery"},         {"regatta", "Regatta Week"},
    {"clifftop", "The Clifftop Walk"},       {"aquarium", "The Little Aquarium"},
    {"bandstand", "Music at the Bandstand"}, {"oyster", "The Oyster Beds"},
    {"windmill", "The Old Windmill"},        {"railway", "The Coast Railway"},
    {"meadow", "The Wildflower Meadow"},     {"observatory", "The Observatory"},
    {"quayside", "Life on the Quayside"},    {"chapel", "The Fishermen's Chapel"},
    {"rockpool", "Rockpool Rambles"},        {"sunset", "Sunset over the Bay"},
};

constexpr const char* kLeads[] = {
    "No visit to Harbourside is complete without the %s.",
    "Ask anyone in town about the %s and you will hear a story or two.",
    "The %s is one of the places that give Harbourside its character.",
    "Locals recommend the %s early in the morning, before the crowds arrive.",
};

constexpr const char* kTownSentences[] = {
    "Harbourside has welcomed travellers for more than three hundred years.",
    "Narrow streets wind down the hill towards the water, lined with painted cottages.",
    "Fishing boats still leave before dawn and come back with the afternoon tide.",
    "In summer the town fills with walkers, painters and families on holiday.",
    "Most places are within a short stroll of the old stone steps by the water.",
    "Local cafés serve fresh bread, smoked fish and strong tea.",
    "The coastal path offers wide views across the bay to the distant islands.",
    "Winter brings quieter days, long walks on the beach and bright, cold mornings.",
    "Volunteers look after the gardens, the benches and the little boats for hire.",
    "Buses run every half hour from the square to the neighbouring villages.",
    "Visitors are asked to keep to the marked paths on the headland.",
    "Many of the shops have been run by the same families for generations.",
    "On clear nights the sky above the bay is full of stars.",
    "Tide tables are posted at the visitor centre and in most shop windows.",
    "Children love the sandy cove, where the water is shallow and calm.",
    "A short climb brings you to a bench with the finest view in the county.",
    "Evening light turns the harbour walls a warm shade of gold.",
    "Every street corner seems to have a story, and people are happy to tell it.",
};

// Four paragraphs: the keyword's lead, then sentences in an order that changes
// from page to page (a step coprime to the list's length repeats none).
std::vector<std::string> BrochureParagraphs(int page) {
    static constexpr int kSteps[] = {1, 5, 7, 11, 13, 17};
    constexpr int kCount = static_cast<int>(std::size(kTownSentences));
    std::string lead = kLeads[page % std::size(kLeads)];
    lead.replace(lead.find("%s"), 2, kTopics[page - 1][0]);
    std::vector<std::string> paragraphs = {lead, "", "", ""};
    for (int k = 0; k < 12; ++k) {
        std::string& paragraph = paragraphs[k / 3];
        paragraph += paragraph.empty() ? "" : " ";
        paragraph += kTownSentences[(page * 11 + k * kSteps[page % std::size(kSteps)]) % kCount];
    }
    return paragraphs;
}

void DrawBrochureFigure(cairo_t* cr, const Styles& s, int page, double x, double y, double w, double h) {
    RoundedRect(cr, x, y, w, h, 10);
    Fill(cr, kMist);
    const double pad = 24, innerW = w - 2 * pad, innerH = h - 2 * pad - 20;
    const char* caption = "What visitors enjoy most";
    if (page % 4 == 0) {
        DrawBarChart(cr, s.label, x + pad, y + pad, innerW, innerH, Values(page, 6, 15, 70),
                     {"Apr", "May", "Jun", "Jul", "Aug", "Sep"}, kBandColours[page % std::size(kBandColours)]);
        caption = "Visitors per month, in thousands";
    } else if (page % 4 == 1) {
        DrawPieChart(cr, s.body, x + w * 0.3, y + pad + innerH / 2, std::min(innerH * 0.45, w * 0.22),
                     Values(page, 5, 10, 40), {"Car", "Bus", "Train", "Boat", "On foot"});
        caption = "How visitors arrive in town";
    } else if (page % 4 == 2) {
        DrawMap(cr, s.label, x + pad, y + pad, innerW, innerH, page);
        caption = "The bay and the walks nearby";
    } else {
        cairo_save(cr);
        RoundedRect(cr, x + pad, y + pad, innerW, innerH - 110, 8);
        cairo_clip(cr);
        cairo_translate(cr, x + pad, y + pad);
        DrawHarbourScene(cr, innerW, innerH - 110);
        cairo_restore(cr);
        DrawIcons(cr, s.label, x + pad, y + pad + innerH - 94, innerW, page);
    }
    ShowText(cr, s.label, kGrey, caption, x, y + h - pad - 8, w, PANGO_ALIGN_CENTER);
}

int WriteBrochure(const std::string& path, const Styles& s) {
    PdfDocument pdf(path, kA4Width, kA4Height, "Harbourside: a visitor's guide");
    cairo_t* cr = pdf.Context();
    for (int page = 1; page <= kBrochurePages; ++page) {
        if (page == 1) {
            cairo_save(cr);
            cairo_rectangle(cr, 0, 0, kA4Width, 780);
            cairo_clip(cr);
            DrawHarbourScene(cr, kA4Width, 780);
            cairo_restore(cr);
            ShowText(cr, s.cover, kNavy, "Harbourside", 0, 70, kA4Width, PANGO_ALIGN_CENTER);
            ShowText(cr, s.subtitle, kNavy, "A visitor's guide to the town by the lighthouse", 0, 150, kA4Width,
                     PANGO_ALIGN_CENTER);
        } else {
            FillRect(cr, 0, 0, kA4Width, 96, kBandColours[page % std::size(kBandColours)]);
            ShowText(cr, s.kicker, kWhite, "HARBOURSIDE VISITOR GUIDE", kMargin, 26, 0);
            ShowText(cr, s.heading, kWhite, kTopics[page - 1][1], kMargin, 44, kA4Width - 2 * kMargin);
            const std::vector<std::string> paragraphs = BrochureParagraphs(page);
            const double gutter = 22, columnWidth = (kA4Width - 2 * kMargin - gutter) / 2;
            double textBottom = 0;
            for (int column = 0; column < 2; ++column) {
                double y = 122;
                for (int i = 0; i < 2; ++i)
                    y += ShowText(cr, s.body, kInk, paragraphs[column * 2 + i],
                                  kMargin + column * (columnWidth + gutter), y, columnWidth) + 9;
                textBottom = std::max(textBottom, y);
            }
            // The figure takes whatever room the text leaves.
            DrawBrochureFigure(cr, s, page, kMargin, textBottom + 12, kA4Width - 2 * kMargin, 758 - textBottom);
        }
        DrawFooter(cr, s.label, kA4Width, 805, "Harbourside visitor guide",
                   "Page " + std::to_string(page) + " of " + std::to_string(kBrochurePages));
        pdf.EndPage();
    }
    return pdf.Finish();
}

// A paragraph that starts with '#' is a heading.
struct JapanesePage {
    std::vector<const char*> paragraphs;
    std::vector<std::vector<std::string>> table;
};

int WriteJapanese(const std::string& path, const Styles& s) {
    const JapanesePage pages[] = {
        {{"#本日の議題", "1. 前回議事録の確認\n2. 事業の概況\n3. 第3四半期の業績\n4. 来期に向けた取り組み",
          "#はじめに",
          "本資料は、定例経営会議での議論のために経営企画部がまとめたものです。数値はすべて速報値であり、"
          "確定値は来月の会議で報告します。ご不明な点は、会議の前日までに担当者へお問い合わせください。"},
         {}},
        {{"#事業の概況",
          "当期は、主力の計測機器が国内外で堅調に推移しました。特に港湾向けの水位センサーは、自治体からの受注が"
          "前年を大きく上回りました。一方で、部品の調達価格は引き続き高い水準にあり、利益率の改善が課題となっています。",
          "海外では、東南アジアの販売代理店との契約を更新し、現地での保守体制を強化しました。新しい拠点の開設により、"
          "納期は平均で二週間短くなりました。部門別の状況は次のとおりです。"},
         {{"部門", "売上高（百万円）", "前年比", "担当"},
          {"計測機器", "1,240", "108%", "佐藤"},
          {"港湾システム", "860", "115%", "鈴木"},
          {"保守サービス", "410", "102%", "高橋"},
          {"新規事業", "95", "131%", "田中"}}},
        {{"#第3四半期報告",
          "第3四半期（7月〜9月）の売上高は8億7千万円となり、前年同期比で9%の増加となりました。営業利益は"
          "1億1千万円で、計画をわずかに上回っています。受注残高は過去最高を更新し、来期の売上を下支えする見込みです。",
          "四半期ごとの主な数値を以下にまとめます（単位：百万円、従業員数は人）。"},
         {{"項目", "第1四半期", "第2四半期", "第3四半期"},
          {"売上高", "780", "820", "870"},
          {"営業利益", "82", "95", "110"},
          {"受注残高", "1,150", "1,210", "1,340"},
          {"従業員数", "212", "215", "221"}}},
        {{"#今後の取り組み", "来期は、収益力の強化と新しい事業の育成を二本の柱とします。具体的には、次の三点に取り組みます。",
          "・部品の調達先を複数にし、価格変動の影響を抑える\n・保守サービスを年間契約へ順次移行する\n"
          "・新製品の試作を来年3月までに完了する",
          "#スケジュール", "1月：実行計画の提出\n2月：調達先の選定\n3月：試作の完了と評価\n4月：来期の予算確定",
          "各部門は、来月の会議までに実行計画を提出してください。\n以上"},
         {}},
    };
    PdfDocument pdf(path, kA4Width, kA4Height, "みなと精機株式会社 会議資料");
    cairo_t* cr = pdf.Context();
    const double width = kA4Width - 2 * kMargin - 20, left = kMargin + 10;
    for (int page = 1; page <= 4; ++page) {
        const JapanesePage& content = pages[page - 1];
        double y = 70;
        if (page == 1) {
            y += ShowText(cr, s.jpTitle, kNavy, "会議資料", left, y, width) + 6;
            y += ShowText(cr, s.jpBody, kGrey, "みなと精機株式会社　経営企画部\n2026年12月8日　定例経営会議", left, y,
                          width);
            Line(cr, left, y + 14, left + width, y + 14, 2, kNavy);
            y += 40;
        }
        for (const char* paragraph : content.paragraphs) {
            if (paragraph[0] != '#') {
                y += ShowText(cr, s.jpBody, kInk, paragraph, left, y, width) + 12;
                continue;
            }
            FillRect(cr, left, y + 10, 5, 20, kSea);
            y += ShowText(cr, s.jpHeading, kNavy, paragraph + 1, left + 14, y + 8, width - 14) + 20;
        }
        if (!content.table.empty())
            y += DrawTable(cr, s.jpSmall, left, y + 8, {150, 130, 100, width - 380}, content.table) + 40;
        if (page == 2) {
            ShowText(cr, s.jpBody, kNavy, "部門別売上高の構成", left, y, width);
            DrawPieChart(cr, s.jpSmall, left + 130, y + 130, 95, {1240, 860, 410, 95},
                         {"計測機器", "港湾システム", "保守サービス", "新規事業"});
        } else if (page == 3) {
            ShowText(cr, s.jpBody, kNavy, "売上高の推移（百万円）", left, y, width);
            DrawBarChart(cr, s.jpSmall, left + 40, y + 30, width - 80, 220, {780, 820, 870},
                         {"第1四半期", "第2四半期", "第3四半期"}, kSea);
        }
        DrawFooter(cr, s.jpSmall, kA4Width, 805, "みなと精機株式会社　社外秘", "— " + std::to_string(page) + " / 4 —");
        pdf.EndPage();
    }
    return pdf.Finish();
}

struct Slide {
    const char* title;
    const char* bullets[4];
    const char* visual[4];  // diagram boxes, or chart bars on even slides
};

constexpr Slide kSlideDeck[kSlides] = {
    {"Harbour Guide: Where We Are",
     {"A pocket guide for visitors to the town", "Maps, walks, tide times and events",
      "Works offline on the cliffs and the beach", "Today: progress, numbers, next steps"},
     {"Plan", "Build", "Test", "Release"}},
    {"Who Uses It",
     {"Day visitors arriving by train and bus", "Families staying for a week or more",
      "Walkers on the coastal path", "Shops that list their opening hours"},
     {"Day trips", "Families", "Walkers", "Shops"}},
    {"How Content Flows",
     {"Volunteers write about each place", "An editor checks every entry", "Entries go out twice a week",
      "Readers send corrections from the app"},
     {"Write", "Check", "Publish", "Feedback"}},
    {"Downloads by Quarter",
     {"Steady growth through the year", "Summer is the busiest season", "Most downloads happen on arrival",
      "Posters at the station help"},
     {"Q1", "Q2", "Q3", "Q4"}},
    {"The Team",
     {"Four small groups, one shared plan", "Weekly review on Monday mornings", "Everyone answers support mail",
      "New volunteers join each month"},
     {"Design", "Content", "Engineering", "Support"}},
    {"What Readers Rate Highest",
     {"Scores from the in-app survey", "Maps are the clear favourite", "Event listings need more detail",
      "Tide times are used daily"},
     {"Maps", "Walks", "Events", "Tides"}},
    {"Timeline",
     {"Spring: new walks and photographs", "Summer: event calendar", "Autumn: audio tours",
      "Winter: review and planning"},
     {"Spring", "Summer", "Autumn", "Winter"}},
    {"Budget and Next Steps",
     {"Spending stays within the grant", "Most of it goes to content", "Servers cost less than planned",
      "Questions and discussion"},
     {"Content", "Servers", "Design", "Events"}},
};

int WriteSlides(const std::string& path, const Styles& s) {
    PdfDocument pdf(path, kSlideWidth, kSlideHeight, "Harbour Guide: project review");
    cairo_t* cr = pdf.Context();
    for (int n = 1; n <= kSlides; ++n) {
        const Slide& slide = kSlideDeck[n - 1];
        FillRect(cr, 0, 0, kSlideWidth, kSlideHeight, 0xFAFBFC);
        FillGradient(cr, 0, 0, kSlideWidth, 100, {kNavy, 0x274C77});
        ShowText(cr, s.slideTitle, kWhite, slide.title, 60, 0, kSlideWidth - 120, PANGO_ALIGN_LEFT, 100);
        double y = 150;
        for (const char* bullet : slide.bullets) {
            FillCircle(cr, 72, y + 15, 6, ChartColour(n));
            y += ShowText(cr, s.slideText, kInk, bullet, 92, y, 370) + 20;
        }
        if (n % 2)
            DrawCycle(cr, s.slideLabel, 510, 140, 390, 300, slide.visual);
        else
            DrawBarChart(cr, s.slideLabel, 510, 150, 390, 290, Values(n, 4, 20, 80),
                         {std::begin(slide.visual), std::end(slide.visual)}, kSea);
        DrawFooter(cr, s.body, kSlideWidth, 505, "Harbour Guide · project review",
                   "Slide " + std::to_string(n) + " of " + std::to_string(kSlides));
        pdf.EndPage();
    }
    return pdf.Finish();
}

int WriteLetter(const std::string& path, const Styles& s) {
    PdfDocument pdf(path, kA4Width, kA4Height, "Letter to Ms. Tanaka");
    cairo_t* cr = pdf.Context();
    const double left = 70, width = kA4Width - 140;
    FillCircle(cr, left + 22, 80, 22, kSea);  // the sender's emblem: a wave in a circle
    cairo_move_to(cr, left + 6, 84);
    cairo_curve_to(cr, left + 14, 70, left + 22, 98, left + 38, 78);
    cairo_set_line_width(cr, 3);
    SetColour(cr, kWhite);
    cairo_stroke(cr);
    ShowText(cr, s.letterBold, kInk, "Harbourside Visitor Centre", left, 60, width, PANGO_ALIGN_RIGHT);
    ShowText(cr, s.letter, kGrey, "1 Quay Street\nHarbourside HS1 2AB\nUnited Kingdom\nTel. 01234 567 890", left, 78,
             width, PANGO_ALIGN_RIGHT);
    ShowText(cr, s.letter, kInk, "8 December 2026", left, 190, width);
    ShowText(cr, s.letter, kInk, "Ms. Yuki Tanaka\nTanaka Travel Ltd.\n3-5-1 Minato-machi\nYokohama 231-0001\nJapan",
             left, 225, width);
    double y = 345;
    y += ShowText(cr, s.letterBold, kInk, "Group visit in spring 2027", left, y, width) + 14;
    const char* const body[] = {
        "Dear Ms. Tanaka,",
        "Thank you for your letter of 20 November and for your interest in bringing a group of twenty-four "
        "travellers to Harbourside next spring. We would be delighted to welcome you.",
        "We can offer a guided walk along the coastal path on the morning of 14 April, followed by lunch at "
        "one of the cafés by the water. In the afternoon your group is free to explore the town; our staff "
        "will be on hand at the visitor centre to help with directions and tickets.",
        "I enclose a draft programme and a price list. Please let me know if you would like to change anything; "
        "we are happy to adapt the day to your guests.",
        "We look forward to hearing from you.",
        "Yours sincerely,",
    };
    for (const char* paragraph : body)
        y += ShowText(cr, s.letter, kInk, paragraph, left, y, width) + 12;
    cairo_move_to(cr, left + 4, y + 44);  // the signature, one loose stroke
    cairo_curve_to(cr, left + 20, y + 6, left + 34, y + 50, left + 52, y + 26);
    cairo_curve_to(cr, left + 66, y + 8, left + 78, y + 48, left + 110, y + 30);
    cairo_set_line_width(cr, 1.4);
    SetColour(cr, kNavy);
    cairo_stroke(cr);
    Line(cr, left, y + 56, left + 200, y + 56, 0.7, kGrey);
    ShowText(cr, s.letter, kInk, "Eleanor Price\nManager, Harbourside Visitor Centre", left, y + 62, width);
    pdf.EndPage();
    return pdf.Finish();
}

// A picture drawn on an RGB24 image surface, then written as PNG or JPEG.
struct Picture {
    Picture(int width, int height)
        : surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height), &cairo_surface_destroy),
          cr(cairo_create(surface.get()), &cairo_destroy) {}

    void Check(const std::string& path, cairo_status_t status) const {
        if (status != CAIRO_STATUS_SUCCESS)
            throw Failure("cannot write " + path + ": " + cairo_status_to_string(status));
    }
    void WritePng(const std::string& path) const {
        Check(path, cairo_status(cr.get()));
        Check(path, cairo_surface_write_to_png(surface.get(), path.c_str()));
    }
    void WriteJpeg(const std::string& path) const {
        Check(path, cairo_status(cr.get()));
        cairo_surface_flush(surface.get());
        const int width = cairo_image_surface_get_width(surface.get());
        const int height = cairo_image_surface_get_height(surface.get());
        const int stride = cairo_image_surface_get_stride(surface.get());
        const unsigned char* data = cairo_image_surface_get_data(surface.get());
        std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
        for (int row = 0; row < height; ++row)
            std::memcpy(&pixels[static_cast<std::size_t>(row) * width], data + static_cast<std::size_t>(row) * stride,
                        static_cast<std::size_t>(width) * 4);
        for (std::uint32_t& pixel : pixels)
            pixel &= 0xFFFFFF;  // Cairo leaves the top byte of RGB24 words undefined
        const std::vector<std::uint8_t> jpeg = EncodeJpeg(pixels.data(), width, height, 85);
        if (jpeg.empty())
            throw Failure("cannot encode " + path + " as JPEG");
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(jpeg.data()), static_cast<std::streamsize>(jpeg.size()));
        out.close();
        if (!out)
            throw Failure("cannot write " + path + ": " + std::strerror(errno));
    }

    SurfacePtr surface;
    ContextPtr cr;
};

int Run(const std::filesystem::path& dir) {
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error)
        throw Failure("cannot make " + dir.string() + ": " + error.message());
    const Styles s;
    auto path = [&](const char* name) { return (dir / name).string(); };
    auto report = [&](const char* name, const std::string& note) {
        std::printf("wrote %s %s\n", path(name).c_str(), note.c_str());
        std::fflush(stdout);
    };
    auto pages = [](int count) { return "(" + std::to_string(count) + (count == 1 ? " page)" : " pages)"); };
    report("brochure.pdf", pages(WriteBrochure(path("brochure.pdf"), s)));
    report("japanese.pdf", pages(WriteJapanese(path("japanese.pdf"), s)));
    report("slides.pdf", pages(WriteSlides(path("slides.pdf"), s)));
    report("letter.pdf", pages(WriteLetter(path("letter.pdf"), s)));

    Picture harbour(800, 600);
    DrawHarbourScene(harbour.cr.get(), 800, 600);
    harbour.WritePng(path("harbour.png"));
    report("harbour.png", "(800 x 600)");

    Picture sunset(1024, 683);
    DrawSunset(sunset.cr.get(), 1024, 683);
    sunset.WriteJpeg(path("sunset.jpg"));
    report("sunset.jpg", "(1024 x 683)");

    Picture diagram(640, 480);
    cairo_t* cr = diagram.cr.get();
    FillRect(cr, 0, 0, 640, 480, kWhite);
    ShowText(cr, s.slideTitle, kNavy, "How content flows", 0, 24, 640, PANGO_ALIGN_CENTER);
    static const char* const kSteps[] = {"Write", "Check", "Publish", "Feedback"};
    DrawCycle(cr, s.slideLabel, 70, 110, 500, 330, kSteps);
    ShowText(cr, s.slideText, kGrey, "every week", 0, 110, 640, PANGO_ALIGN_CENTER, 330);
    diagram.WritePng(path("diagram.png"));
    report("diagram.png", "(640 x 480)");
    return 0;
}

}  // namespace
}  // namespace zov

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: zov-demo-corpus OUTDIR\n");
        return 2;
    }
    try {
        return zov::Run(argv[1]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zov-demo-corpus: %s\n", e.what());
        return 1;
    }
}
