// The pictures of the demo documents: scenes, diagrams, charts, a map, icons
// and tables, each drawn into a rectangle of a Cairo context.
#pragma once

#include "tools/demo-corpus/Canvas.h"

namespace zov::corpus {

// A coastal town seen from the sea: the brochure cover and harbour.png.
void DrawHarbourScene(cairo_t* cr, double w, double h);

// The sun going down over the sea: sunset.jpg.
void DrawSunset(cairo_t* cr, double w, double h);

// Four boxes at the corners of (x, y, w, h), joined clockwise by arrows.
void DrawCycle(cairo_t* cr, const FontPtr& font, double x, double y, double w, double h, const char* const labels[4]);

void DrawBarChart(cairo_t* cr, const FontPtr& font, double x, double y, double w, double h,
                  const std::vector<double>& values, const std::vector<std::string>& labels, std::uint32_t colour);

void DrawPieChart(cairo_t* cr, const FontPtr& font, double cx, double cy, double r, const std::vector<double>& values,
                  const std::vector<std::string>& labels);

// A made-up stretch of coast: land, a stream, a road and a few pins.
void DrawMap(cairo_t* cr, const FontPtr& font, double x, double y, double w, double h, int seed);

// Round badges with white symbols: sun, fish, tree, house, waves.
void DrawIcons(cairo_t* cr, const FontPtr& font, double x, double y, double w, int seed);

// A grid with a shaded header row; figures right-aligned. Returns its height.
double DrawTable(cairo_t* cr, const FontPtr& font, double x, double y, const std::vector<double>& columns,
                 const std::vector<std::vector<std::string>>& rows);

}  // namespace zov::corpus
