#include "tools/demo-corpus/Figures.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace zov::corpus {
namespace {

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

void DrawArrow(cairo_t* cr, double x1, double y1, double x2, double y2, std::uint32_t colour) {
    const double angle = std::atan2(y2 - y1, x2 - x1), head = 11;
    Line(cr, x1, y1, x2 - std::cos(angle) * head * 0.8, y2 - std::sin(angle) * head * 0.8, 2.5, colour);
    FillPolygon(cr, {{x2, y2}, {x2 - head * std::cos(angle - 0.45), y2 - head * std::sin(angle - 0.45)},
                     {x2 - head * std::cos(angle + 0.45), y2 - head * std::sin(angle + 0.45)}}, colour);
}

}  // namespace

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

}  // namespace zov::corpus
