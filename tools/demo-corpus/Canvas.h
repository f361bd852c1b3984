// The drawing kit of the demo documents: page sizes, the palette, fonts and
// the Cairo and Pango helpers that every page and picture is drawn with.
#pragma once

#include <cairo.h>
#include <pango/pangocairo.h>

#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <numbers>
#include <stdexcept>
#include <string>
#include <vector>

namespace zov::corpus {

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

inline constexpr double kPi = std::numbers::pi;
inline constexpr double kA4Width = 595, kA4Height = 842, kSlideWidth = 960, kSlideHeight = 540,
                       kMargin = 50;
inline constexpr int kBrochurePages = 24, kSlides = 8;

inline constexpr std::uint32_t kInk = 0x2B2D42, kGrey = 0x6C757D, kRule = 0xC8CDD2, kMist = 0xEEF3F6,
                               kWhite = 0xFFFFFF;
inline constexpr std::uint32_t kNavy = 0x1D3557, kSea = 0x2A9D8F, kCoral = 0xE76F51, kGold = 0xE9C46A,
                               kLeaf = 0x6A994E, kSun = 0xF4A261, kPlum = 0x6D597A;
inline constexpr std::uint32_t kChartColours[] = {kSea, kCoral, kGold, kNavy, kLeaf, kSun};
inline constexpr std::uint32_t kBandColours[] = {kNavy, kSea, kCoral, kLeaf, kPlum};  // dark enough for white text

using FontPtr = std::unique_ptr<PangoFontDescription, decltype(&pango_font_description_free)>;
using SurfacePtr = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;
using ContextPtr = std::unique_ptr<cairo_t, decltype(&cairo_destroy)>;

// Pango takes the first family of the list that is installed.
inline constexpr const char* kLatin = "DejaVu Sans,IPAGothic";
inline constexpr const char* kJapanese = "IPAGothic";

inline std::uint32_t ChartColour(std::size_t i) {
    return kChartColours[i % std::size(kChartColours)];
}

// Absolute sizes: points on a PDF surface, pixels on a picture.
FontPtr MakeFont(const char* family, double size, PangoWeight weight = PANGO_WEIGHT_NORMAL);

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

struct Point {
    double x, y;
};

// Colours are 0xRRGGBB.
void SetColour(cairo_t* cr, std::uint32_t rgb, double alpha = 1);
void AddStop(cairo_pattern_t* pattern, double offset, std::uint32_t rgb, double alpha = 1);
void Fill(cairo_t* cr, std::uint32_t colour, double alpha = 1);
void FillRect(cairo_t* cr, double x, double y, double w, double h, std::uint32_t colour);
void FillCircle(cairo_t* cr, double cx, double cy, double r, std::uint32_t colour);
void FillPolygon(cairo_t* cr, std::initializer_list<Point> points, std::uint32_t colour);
// Pattern fills: a vertical gradient through `stops` colours, and a soft radial glow.
void FillGradient(cairo_t* cr, double x, double y, double w, double h, std::initializer_list<std::uint32_t> stops);
void Glow(cairo_t* cr, double cx, double cy, double r, std::uint32_t colour, double alpha);
void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double r);
void Line(cairo_t* cr, double x1, double y1, double x2, double y2, double width, std::uint32_t colour);

// Lays `text` out `width` wide (one unwrapped line when width is 0) with its
// top left at (x, y); returns the height it took. With boxHeight the text is
// centred vertically in that height.
double ShowText(cairo_t* cr, const FontPtr& font, std::uint32_t colour, const std::string& text, double x, double y,
                double width, PangoAlignment align = PANGO_ALIGN_LEFT, double boxHeight = 0);

void DrawFooter(cairo_t* cr, const FontPtr& font, double pageWidth, double y, const std::string& left,
                const std::string& right);

// Made-up but stable figures for the charts.
std::vector<double> Values(int seed, int count, int low, int range);

}  // namespace zov::corpus
