// zov-draw-resources: draws the built-in pictures that are embedded into the
// library: the placeholder pages, the fallback file icons and the toolbar's
// button strips.
//
//   zov-draw-resources OUTDIR
//
// writes OUTDIR/placeholders/*.png, OUTDIR/icons/*.png and
// OUTDIR/toolbar/*.png. It is run by hand when a picture changes and its
// output is committed, so the build needs neither Cairo nor fonts for them.
// Everything is drawn here; the fonts are DejaVu Sans for Latin text and
// IPAGothic for Japanese.
//
// Exit status: 0 when every file was written, 1 on failure, 2 for a usage error.
#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <memory>
#include <numbers>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace zov {
namespace {

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

constexpr double kPi = std::numbers::pi;

constexpr int kPageWidth = 200, kPageHeight = 282;
constexpr int kDownloadWidth = 600, kDownloadHeight = 846;
// The loader takes only these rows (inclusive) of the Downloading picture.
constexpr int kBandTop = 323, kBandBottom = 374;
constexpr int kIconSize = 32;

// Calm greys and blues for the pages; stronger colours only on the icons.
constexpr std::uint32_t kWhite = 0xFFFFFF, kBorder = 0xD3D8DE, kText = 0x4B5563, kGlyphLine = 0x8D9BAA,
                        kGlyphFill = 0xF2F5F8, kGlyphRule = 0xC6CFD9;
constexpr std::uint32_t kEmblemDark = 0x2F7D8C, kEmblemLight = 0xD8ECEF;

constexpr const char* kLatin = "DejaVu Sans,IPAGothic";
constexpr const char* kJapanese = "IPAGothic";

using SurfacePtr = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;
using ContextPtr = std::unique_ptr<cairo_t, decltype(&cairo_destroy)>;
using FontPtr = std::unique_ptr<PangoFontDescription, decltype(&pango_font_description_free)>;
using LayoutPtr = std::unique_ptr<PangoLayout, decltype(&g_object_unref)>;

FontPtr MakeFont(const char* family, double pixels, PangoWeight weight = PANGO_WEIGHT_NORMAL) {
    FontPtr font(pango_font_description_new(), &pango_font_description_free);
    pango_font_description_set_family(font.get(), family);
    pango_font_description_set_weight(font.get(), weight);
    pango_font_description_set_absolute_size(font.get(), pixels * PANGO_SCALE);
    return font;
}

// --- Drawing helpers ----------------------------------------------------------

void SetColour(cairo_t* cr, std::uint32_t rgb, double alpha = 1) {
    cairo_set_source_rgba(cr, (rgb >> 16 & 0xFF) / 255.0, (rgb >> 8 & 0xFF) / 255.0, (rgb & 0xFF) / 255.0, alpha);
}

void FillRect(cairo_t* cr, double x, double y, double w, double h, std::uint32_t colour) {
    cairo_rectangle(cr, x, y, w, h);
    SetColour(cr, colour);
    cairo_fill(cr);
}

void FillCircle(cairo_t* cr, double cx, double cy, double r, std::uint32_t colour) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, cx, cy, r, 0, 2 * kPi);
    SetColour(cr, colour);
    cairo_fill(cr);
}

void StrokeLine(cairo_t* cr, double x0, double y0, double x1, double y1, double width, std::uint32_t colour) {
    cairo_move_to(cr, x0, y0);
    cairo_line_to(cr, x1, y1);
    cairo_set_line_width(cr, width);
    SetColour(cr, colour);
    cairo_stroke(cr);
}

// A page outline with its top-right corner folded down by `fold`.
void PagePath(cairo_t* cr, double x, double y, double w, double h, double fold) {
    cairo_new_path(cr);
    cairo_move_to(cr, x, y);
    cairo_line_to(cr, x + w - fold, y);
    cairo_line_to(cr, x + w, y + fold);
    cairo_line_to(cr, x + w, y + h);
    cairo_line_to(cr, x, y + h);
    cairo_close_path(cr);
}

void DrawPage(cairo_t* cr, double x, double y, double w, double h, double fold, std::uint32_t fill,
              std::uint32_t outline, double lineWidth) {
    PagePath(cr, x, y, w, h, fold);
    SetColour(cr, fill);
    cairo_fill_preserve(cr);
    cairo_set_line_width(cr, lineWidth);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    SetColour(cr, outline);
    cairo_stroke(cr);
    // The folded-over flap.
    cairo_move_to(cr, x + w - fold, y);
    cairo_line_to(cr, x + w - fold, y + fold);
    cairo_line_to(cr, x + w, y + fold);
    cairo_stroke(cr);
}

struct TextBox {
    double width, height;  // logical size in pixels
    PangoRectangle ink;    // ink relative to the layout's origin
};

LayoutPtr MakeLayout(cairo_t* cr, const char* text, const PangoFontDescription* font) {
    LayoutPtr layout(pango_cairo_create_layout(cr), &g_object_unref);
    // Grey antialiasing and slight hinting whatever the desktop's settings:
    // sub-pixel colour fringes would show on a scaled page, and the output
    // should not depend on who ran the program.
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    pango_cairo_context_set_font_options(pango_layout_get_context(layout.get()), options);
    cairo_font_options_destroy(options);
    pango_layout_context_changed(layout.get());
    pango_layout_set_font_description(layout.get(), font);
    pango_layout_set_text(layout.get(), text, -1);
    return layout;
}

TextBox Measure(PangoLayout* layout) {
    PangoRectangle ink, logical;
    pango_layout_get_pixel_extents(layout, &ink, &logical);
    return TextBox{static_cast<double>(logical.width), static_cast<double>(logical.height), ink};
}

// Draws `text` centred on cx with its logical box's vertical middle at cy.
void CentredText(cairo_t* cr, const char* text, const PangoFontDescription* font, double cx, double cy,
                 std::uint32_t colour) {
    LayoutPtr layout = MakeLayout(cr, text, font);
    TextBox box = Measure(layout.get());
    cairo_move_to(cr, std::round(cx - box.width / 2), std::round(cy - box.height / 2));
    SetColour(cr, colour);
    pango_cairo_show_layout(cr, layout.get());
}

void WritePng(cairo_surface_t* surface, const std::filesystem::path& path) {
    cairo_surface_flush(surface);
    if (cairo_surface_write_to_png(surface, path.c_str()) != CAIRO_STATUS_SUCCESS)
        throw Failure("cannot write " + path.string());
}

struct Canvas {
    SurfacePtr surface;
    ContextPtr cr;
};

// Pages are opaque (RGB24 gives PNGs without an alpha channel); icons keep
// their transparency.
Canvas MakeCanvas(cairo_format_t format, int width, int height) {
    SurfacePtr surface(cairo_image_surface_create(format, width, height), &cairo_surface_destroy);
    ContextPtr cr(cairo_create(surface.get()), &cairo_destroy);
    if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS)
        throw Failure("cannot make a drawing surface");
    return Canvas{std::move(surface), std::move(cr)};
}

// --- Placeholder pages ----------------------------------------------------------

enum class Badge { None, Busy, Failed, Blocked, Waiting };

void BlankPage(cairo_t* cr) {
    FillRect(cr, 0, 0, kPageWidth, kPageHeight, kWhite);
    cairo_rectangle(cr, 0.5, 0.5, kPageWidth - 1, kPageHeight - 1);
    cairo_set_line_width(cr, 1);
    SetColour(cr, kBorder);
    cairo_stroke(cr);
}

// The small round mark at the page glyph's lower right that tells the
// meanings apart at a glance.
void DrawBadge(cairo_t* cr, Badge badge, double cx, double cy) {
    if (badge == Badge::None)
        return;
    constexpr double r = 10;
    std::uint32_t colour = badge == Badge::Busy      ? 0x5B8DB8
                           : badge == Badge::Failed  ? 0xC96B6B
                           : badge == Badge::Blocked ? 0x8A96A3
                                                     : 0xC99A3E;
    FillCircle(cr, cx, cy, r + 2, kWhite);
    FillCircle(cr, cx, cy, r, colour);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    switch (badge) {
    case Badge::Busy:
        for (int i = -1; i <= 1; ++i)
            FillCircle(cr, cx + i * 4.5, cy, 1.6, kWhite);
        break;
    case Badge::Failed:
        StrokeLine(cr, cx - 4, cy - 4, cx + 4, cy + 4, 2.2, kWhite);
        StrokeLine(cr, cx + 4, cy - 4, cx - 4, cy + 4, 2.2, kWhite);
        break;
    case Badge::Blocked:
        StrokeLine(cr, cx - 5, cy, cx + 5, cy, 2.6, kWhite);
        break;
    case Badge::Waiting:
        StrokeLine(cr, cx, cy, cx, cy - 5.5, 1.8, kWhite);
        StrokeLine(cr, cx, cy, cx + 4, cy + 1.5, 1.8, kWhite);
        break;
    case Badge::None:
        break;
    }
}

void PageGlyph(cairo_t* cr, double cx, double top, Badge badge) {
    constexpr double w = 46, h = 58, fold = 13;
    double x = std::round(cx - w / 2) + 0.5, y = top + 0.5;
    DrawPage(cr, x, y, w, h, fold, kGlyphFill, kGlyphLine, 2);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    for (int i = 0; i < 4; ++i) {
        double lineY = y + 22 + i * 8;
        double right = x + w - (i == 3 ? 20 : 9);
        StrokeLine(cr, x + 9, lineY, right, lineY, 2, kGlyphRule);
    }
    DrawBadge(cr, badge, x + w - 2, y + h - 2);
}

void NormalPlaceholder(const std::filesystem::path& path, const char* text, const char* family, Badge badge) {
    Canvas canvas = MakeCanvas(CAIRO_FORMAT_RGB24, kPageWidth, kPageHeight);
    cairo_t* cr = canvas.cr.get();
    BlankPage(cr);
    PageGlyph(cr, kPageWidth / 2.0, 92, badge);
    FontPtr font = MakeFont(family, 16);
    CentredText(cr, text, font.get(), kPageWidth / 2.0, 184, kText);
    WritePng(canvas.surface.get(), path);
}

// A round emblem: two rings around a disc holding a stylised page.
void Emblem(cairo_t* cr, double cx, double cy) {
    FillCircle(cr, cx, cy, 32, kEmblemDark);
    FillCircle(cr, cx, cy, 28.5, kWhite);
    FillCircle(cr, cx, cy, 25, kEmblemLight);
    cairo_new_sub_path(cr);
    cairo_arc(cr, cx, cy, 21, 0, 2 * kPi);
    cairo_set_line_width(cr, 1.2);
    SetColour(cr, kEmblemDark, 0.45);
    cairo_stroke(cr);
    DrawPage(cr, cx - 10, cy - 13, 20, 26, 6, kWhite, kEmblemDark, 1.6);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    for (int i = 0; i < 3; ++i)
        StrokeLine(cr, cx - 6, cy - 3 + i * 5, cx + (i == 2 ? 1 : 6), cy - 3 + i * 5, 1.5, kEmblemDark);
}

void EmblemPlaceholder(const std::filesystem::path& path, const char* text) {
    Canvas canvas = MakeCanvas(CAIRO_FORMAT_RGB24, kPageWidth, kPageHeight);
    cairo_t* cr = canvas.cr.get();
    BlankPage(cr);
    Emblem(cr, kPageWidth / 2.0, 118);
    FontPtr font = MakeFont(kLatin, 16);
    CentredText(cr, text, font.get(), kPageWidth / 2.0, 184, kText);
    WritePng(canvas.surface.get(), path);
}

// The big Downloading page: only the text band is used, so the ink is placed
// by its measured extent and then checked to lie inside the band.
void DownloadingPage(const std::filesystem::path& path) {
    Canvas canvas = MakeCanvas(CAIRO_FORMAT_RGB24, kDownloadWidth, kDownloadHeight);
    cairo_t* cr = canvas.cr.get();
    FillRect(cr, 0, 0, kDownloadWidth, kDownloadHeight, kWhite);
    FontPtr font = MakeFont(kLatin, 50);
    LayoutPtr layout = MakeLayout(cr, "Downloading...", font.get());
    TextBox box = Measure(layout.get());
    double bandMiddle = (kBandTop + kBandBottom + 1) / 2.0;
    double x = std::round((kDownloadWidth - box.ink.width) / 2.0 - box.ink.x);
    double y = std::round(bandMiddle - box.ink.height / 2.0 - box.ink.y);
    cairo_move_to(cr, x, y);
    SetColour(cr, kText);
    pango_cairo_show_layout(cr, layout.get());

    cairo_surface_flush(canvas.surface.get());
    const unsigned char* data = cairo_image_surface_get_data(canvas.surface.get());
    int stride = cairo_image_surface_get_stride(canvas.surface.get());
    int inkRows = 0;
    for (int row = 0; row < kDownloadHeight; ++row) {
        const auto* words = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(row) * stride);
        bool ink = false;
        for (int col = 0; col < kDownloadWidth; ++col)
            ink = ink || (words[col] & 0xFFFFFF) != kWhite;
        if (ink && (row < kBandTop || row > kBandBottom))
            throw Failure("Downloading text spills out of its band at row " + std::to_string(row));
        inkRows += ink;
    }
    if (inkRows == 0)
        throw Failure("Downloading text drew nothing");
    WritePng(canvas.surface.get(), path);
}

// --- Fallback icons ---------------------------------------------------------------

constexpr double kIconX = 6.5, kIconY = 2.5, kIconW = 19, kIconH = 27, kIconFold = 7;
constexpr std::uint32_t kIconOutline = 0x7F8A96, kIconRule = 0xAEB7C1;

void IconPage(cairo_t* cr) {
    DrawPage(cr, kIconX, kIconY, kIconW, kIconH, kIconFold, kWhite, kIconOutline, 1);
}

// A coloured band across the lower part of the page, optionally with a word.
void IconBand(cairo_t* cr, std::uint32_t colour, const char* word = nullptr) {
    FillRect(cr, kIconX + 0.5, 20, kIconW - 1, 7, colour);
    if (word) {
        FontPtr font = MakeFont(kLatin, 6.5, PANGO_WEIGHT_BOLD);
        CentredText(cr, word, font.get(), kIconX + kIconW / 2, 23.5, kWhite);
    }
}

void IconLines(cairo_t* cr, int count, double top, std::uint32_t colour = kIconRule) {
    for (int i = 0; i < count; ++i) {
        double y = top + 0.5 + i * 3;
        double right = i == 0 ? kIconX + kIconW - kIconFold - 1 : kIconX + kIconW - 4;
        StrokeLine(cr, kIconX + 3.5, y, right, y, 1, colour);
    }
}

void DocumentIcon(cairo_t* cr) {
    IconPage(cr);
    IconLines(cr, 4, 7);
    IconBand(cr, 0x3A6EA5);
}

void PdfIcon(cairo_t* cr) {
    IconPage(cr);
    IconLines(cr, 3, 7);
    IconBand(cr, 0xC0392B, "PDF");
}

void PresentationIcon(cairo_t* cr) {
    IconPage(cr);
    // A small slide with a bar chart on it.
    FillRect(cr, 9, 8, 12, 9, 0xFBE3CC);
    FillRect(cr, 11, 13, 2, 3, 0xD9822B);
    FillRect(cr, 14, 11, 2, 5, 0xD9822B);
    FillRect(cr, 17, 9.5, 2, 6.5, 0xD9822B);
    IconBand(cr, 0xD9822B);
}

void SpreadsheetIcon(cairo_t* cr) {
    IconPage(cr);
    for (int i = 0; i < 4; ++i)
        StrokeLine(cr, 9, 8.5 + i * 3, 23, 8.5 + i * 3, 1, 0x8DBB9F);
    for (int i = 0; i < 3; ++i)
        StrokeLine(cr, 9.5 + i * 5, 8, 9.5 + i * 5, 18, 1, 0x8DBB9F);
    IconBand(cr, 0x2E8B57);
}

void TextIcon(cairo_t* cr) {
    IconPage(cr);
    IconLines(cr, 7, 7, 0x8D99A6);
}

void PictureIcon(cairo_t* cr) {
    IconPage(cr);
    FillRect(cr, 9, 9, 14, 15, 0xCFE6F5);
    FillCircle(cr, 19, 13, 2, 0xF2C14E);
    cairo_move_to(cr, 9, 24);
    cairo_line_to(cr, 14, 16);
    cairo_line_to(cr, 18, 21);
    cairo_line_to(cr, 20, 19);
    cairo_line_to(cr, 23, 24);
    cairo_close_path(cr);
    SetColour(cr, 0x4F9A5A);
    cairo_fill(cr);
}

void FolderIcon(cairo_t* cr) {
    // Back with its tab, then the front flap a shade lighter.
    cairo_new_path(cr);
    cairo_move_to(cr, 3.5, 7.5);
    cairo_line_to(cr, 12, 7.5);
    cairo_line_to(cr, 14.5, 10);
    cairo_line_to(cr, 28.5, 10);
    cairo_line_to(cr, 28.5, 26.5);
    cairo_line_to(cr, 3.5, 26.5);
    cairo_close_path(cr);
    SetColour(cr, 0xD99A2B);
    cairo_fill_preserve(cr);
    cairo_set_line_width(cr, 1);
    SetColour(cr, 0xA8731A);
    cairo_stroke(cr);
    FillRect(cr, 6, 11, 20, 4, kWhite);
    cairo_rectangle(cr, 3.5, 13.5, 25, 13);
    SetColour(cr, 0xF0BC4F);
    cairo_fill_preserve(cr);
    SetColour(cr, 0xA8731A);
    cairo_stroke(cr);
}

void WebIcon(cairo_t* cr) {
    IconPage(cr);
    constexpr double cx = 16, cy = 14, r = 5.5;
    FillCircle(cr, cx, cy, r, 0xDCE3F7);
    cairo_set_line_width(cr, 1);
    SetColour(cr, 0x3F51B5);
    cairo_new_sub_path(cr);
    cairo_arc(cr, cx, cy, r, 0, 2 * kPi);
    cairo_stroke(cr);
    cairo_save(cr);
    cairo_translate(cr, cx, cy);
    cairo_scale(cr, 0.45, 1);
    cairo_new_sub_path(cr);
    cairo_arc(cr, 0, 0, r, 0, 2 * kPi);
    cairo_restore(cr);
    cairo_stroke(cr);
    StrokeLine(cr, cx - r, cy, cx + r, cy, 1, 0x3F51B5);
    IconBand(cr, 0x3F51B5);
}

void DrawingIcon(cairo_t* cr) {
    IconPage(cr);
    // A set square and a ruled line: a technical drawing.
    cairo_move_to(cr, 9.5, 18.5);
    cairo_line_to(cr, 9.5, 8.5);
    cairo_line_to(cr, 19.5, 18.5);
    cairo_close_path(cr);
    cairo_set_line_width(cr, 1.2);
    SetColour(cr, 0x7D5BA6);
    cairo_stroke(cr);
    StrokeLine(cr, 12, 16, 22.5, 9, 1, 0xB59BD3);
    IconBand(cr, 0x7D5BA6);
}

void BookIcon(cairo_t* cr) {
    // A closed book standing face-on: cover, spine and the page edges.
    cairo_rectangle(cr, 7.5, 3.5, 18, 25);
    SetColour(cr, 0x8B5A2B);
    cairo_fill_preserve(cr);
    cairo_set_line_width(cr, 1);
    SetColour(cr, 0x5E3B1A);
    cairo_stroke(cr);
    FillRect(cr, 8, 4, 3, 24, 0x6E4520);
    FillRect(cr, 13, 8, 10, 5, 0xF3E6D3);
    StrokeLine(cr, 14.5, 10.5, 21.5, 10.5, 1, 0x8B5A2B);
    FillRect(cr, 11, 26, 14, 2, 0xF3E6D3);
}

void UnknownIcon(cairo_t* cr) {
    IconPage(cr);
    FontPtr font = MakeFont(kLatin, 14, PANGO_WEIGHT_BOLD);
    CentredText(cr, "?", font.get(), kIconX + kIconW / 2, 17, 0x8D99A6);
}

void Icon(const std::filesystem::path& path, void (*draw)(cairo_t*)) {
    Canvas canvas = MakeCanvas(CAIRO_FORMAT_ARGB32, kIconSize, kIconSize);
    cairo_set_operator(canvas.cr.get(), CAIRO_OPERATOR_CLEAR);
    cairo_paint(canvas.cr.get());
    cairo_set_operator(canvas.cr.get(), CAIRO_OPERATOR_OVER);
    draw(canvas.cr.get());
    WritePng(canvas.surface.get(), path);
}

// --- Toolbar buttons ----------------------------------------------------------------
//
// Each button picture is drawn twice, once for 32 and once for 16 pixels: a
// scaled-down 32-pixel picture smears its strokes over pixel boundaries, so
// the small ones have simpler shapes on whole pixels. Right-pointing pictures
// are the left-pointing ones mirrored, which keeps the families symmetrical.

constexpr int kLargeCell = 32, kSmallCell = 16;
// Buttons 1..18 make the standard toolbar; the large one puts search first.
constexpr std::size_t kStandardButtons = 18;

constexpr std::uint32_t kInk = 0x475569, kInkSoft = 0x94A3B8, kPaper = 0xFFFFFF, kPaperRule = 0xB6C2CF,
                        kGlass = 0xDCEBF7, kArrow = 0x3F7FBF, kArrowEdge = 0x2C5E92, kPlay = 0x3E9160,
                        kCover = 0x5C7FA6, kCoverEdge = 0x3F5F82, kCoverSpine = 0x46678C, kFileArrow = 0xD9822B,
                        kFileArrowEdge = 0xA85F17;

using Glyph = void (*)(cairo_t*);

void Mirrored(cairo_t* cr, int cell, Glyph glyph) {
    cairo_save(cr);
    cairo_translate(cr, cell, 0);
    cairo_scale(cr, -1, 1);
    glyph(cr);
    cairo_restore(cr);
}

// A filled rectangle with a one-pixel outline inside its bounds.
void Box(cairo_t* cr, double x, double y, double w, double h, std::uint32_t fill, std::uint32_t outline) {
    FillRect(cr, x, y, w, h, outline);
    FillRect(cr, x + 1, y + 1, w - 2, h - 2, fill);
}

// Grey text lines across a page, on whole pixels.
void Rules(cairo_t* cr, double left, double right, double top, int count, double step, std::uint32_t colour) {
    for (int i = 0; i < count; ++i)
        FillRect(cr, left, top + i * step, i == count - 1 ? std::round((right - left) * 0.6) : right - left, 1, colour);
}

// The lens with its handle towards the lower right.
void Magnifier(cairo_t* cr, double cx, double cy, double r, double ring, double handleTo, double handleWidth) {
    double along = (r + ring / 2) / std::numbers::sqrt2;
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    StrokeLine(cr, cx + along, cy + along, handleTo, handleTo, handleWidth, kInk);
    FillCircle(cr, cx, cy, r, kGlass);
    cairo_new_sub_path(cr);
    cairo_arc(cr, cx, cy, r, 0, 2 * kPi);
    cairo_set_line_width(cr, ring);
    SetColour(cr, kInk);
    cairo_stroke(cr);
}

// A left-pointing triangle, tip at (tipX, cy).
void TrianglePath(cairo_t* cr, double tipX, double baseX, double cy, double half) {
    cairo_move_to(cr, tipX, cy);
    cairo_line_to(cr, baseX, cy - half);
    cairo_line_to(cr, baseX, cy + half);
    cairo_close_path(cr);
}

void FlipTriangle(cairo_t* cr, double tipX, double baseX, double cy, double half, bool outlined) {
    TrianglePath(cr, tipX, baseX, cy, half);
    SetColour(cr, kArrow);
    if (!outlined) {
        cairo_fill(cr);
        return;
    }
    cairo_fill_preserve(cr);
    cairo_set_line_width(cr, 1.4);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    SetColour(cr, kArrowEdge);
    cairo_stroke(cr);
}

// A white document with its top-right corner folded.
void Sheet(cairo_t* cr, double x, double y, double w, double h, double fold, double lineWidth) {
    DrawPage(cr, x, y, w, h, fold, kPaper, kInk, lineWidth);
}

// An arrow with a shaft, pointing left, its tip at (tipX, cy).
void ShaftArrowPath(cairo_t* cr, double tipX, double tailX, double cy, double head, double half, double shaft) {
    cairo_move_to(cr, tipX, cy);
    cairo_line_to(cr, tipX + head, cy - half);
    cairo_line_to(cr, tipX + head, cy - shaft);
    cairo_line_to(cr, tailX, cy - shaft);
    cairo_line_to(cr, tailX, cy + shaft);
    cairo_line_to(cr, tipX + head, cy + shaft);
    cairo_line_to(cr, tipX + head, cy + half);
    cairo_close_path(cr);
}

// --- 32-pixel pictures

void ZoomIn32(cairo_t* cr) {
    Magnifier(cr, 13, 13, 8.5, 2.5, 27.5, 4.5);
    FillRect(cr, 8, 12, 10, 2, kInk);
    FillRect(cr, 12, 8, 2, 10, kInk);
}

void ZoomOut32(cairo_t* cr) {
    Magnifier(cr, 13, 13, 8.5, 2.5, 27.5, 4.5);
    FillRect(cr, 8, 12, 10, 2, kInk);
}

void FlipOneRight32(cairo_t* cr) { FlipTriangle(cr, 10.5, 21.5, 16, 9, true); }

void FlipTenRight32(cairo_t* cr) {
    FlipTriangle(cr, 5.5, 16, 16, 9, true);
    FlipTriangle(cr, 16, 26.5, 16, 9, true);
}

void FlipAllRight32(cairo_t* cr) {
    FillRect(cr, 3, 7, 3, 18, kArrowEdge);
    FlipTriangle(cr, 8, 18, 16, 8.5, true);
    FlipTriangle(cr, 18, 28, 16, 8.5, true);
}

void FlipOneLeft32(cairo_t* cr) { Mirrored(cr, kLargeCell, FlipOneRight32); }
void FlipTenLeft32(cairo_t* cr) { Mirrored(cr, kLargeCell, FlipTenRight32); }
void FlipAllLeft32(cairo_t* cr) { Mirrored(cr, kLargeCell, FlipAllRight32); }

// A page with a play sign over its corner: pages turning by themselves.
void FlipAuto32(cairo_t* cr) {
    Box(cr, 4, 2, 18, 23, kPaper, kInk);
    Rules(cr, 8, 18, 6, 4, 3, kPaperRule);
    FillCircle(cr, 20.5, 20.5, 10, kPaper);
    FillCircle(cr, 20.5, 20.5, 8.5, kPlay);
    cairo_new_path(cr);
    cairo_move_to(cr, 26, 20.5);
    cairo_line_to(cr, 18, 15.7);
    cairo_line_to(cr, 18, 25.3);
    cairo_close_path(cr);
    SetColour(cr, kPaper);
    cairo_fill(cr);
}

// A dial from slow (lower left, green) over the top to fast (lower right,
// red), its needle on the fast side; three quarters of a circle on a flat base.
constexpr std::uint32_t kDialRim[] = {0x6DB37F, 0xE0B84A, 0xD9734E};

void FlipSpeed32(cairo_t* cr) {
    constexpr double cx = 16, cy = 15, outer = 13.5, ring = 2, band = 3.5, start = 0.75 * kPi, sweep = 1.5 * kPi;
    constexpr double base = 26;
    cairo_save(cr);
    cairo_rectangle(cr, 0, 0, kLargeCell, base);
    cairo_clip(cr);
    FillCircle(cr, cx, cy, outer, kInk);
    FillCircle(cr, cx, cy, outer - ring, kPaper);
    for (int i = 0; i < 3; ++i) {
        cairo_new_path(cr);
        cairo_move_to(cr, cx, cy);
        cairo_arc(cr, cx, cy, outer - ring - 0.5, start + i * sweep / 3 + 0.04, start + (i + 1) * sweep / 3 - 0.04);
        cairo_close_path(cr);
        SetColour(cr, kDialRim[i]);
        cairo_fill(cr);
    }
    FillCircle(cr, cx, cy, outer - ring - 0.5 - band, kPaper);
    cairo_restore(cr);
    double chord = std::sqrt(outer * outer - (base - cy) * (base - cy));
    FillRect(cr, std::floor(cx - chord), base - ring, 2 * std::ceil(chord), ring, kInk);
    double angle = -kPi / 4;
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    StrokeLine(cr, cx, cy, cx + 8.5 * std::cos(angle), cy + 8.5 * std::sin(angle), 2, kInk);
    FillCircle(cr, cx, cy, 2.5, kInk);
}

// Four small books on the desk, as the thumbnail view lays them out.
void SmallBook(cairo_t* cr, double x, double y, double w, double h, std::uint32_t cover, std::uint32_t edge,
               double spine) {
    Box(cr, x, y, w, h, cover, edge);
    FillRect(cr, x + 1, y + 1, spine, h - 2, edge);
    if (w >= 8)
        FillRect(cr, x + spine + 2, y + 3, w - spine - 4, 2, kPaper);
}

void Desk32(cairo_t* cr) {
    SmallBook(cr, 4, 4, 10, 11, 0x6F93BD, 0x48698F, 2);
    SmallBook(cr, 18, 4, 10, 11, 0x5FA89D, 0x3D7A71, 2);
    SmallBook(cr, 4, 18, 10, 11, 0xE0B25A, 0xAE8333, 2);
    SmallBook(cr, 18, 18, 10, 11, 0xA888B8, 0x7A5C8A, 2);
}

// An open book seen from above: the cover shows round the pages.
void Cover32(cairo_t* cr, double x, double w) { Box(cr, x, 8, w, 20, kCover, kCoverEdge); }

void PageWithRules32(cairo_t* cr, double x, double y, double w, double h) {
    Box(cr, x, y, w, h, kPaper, kInk);
    Rules(cr, x + 3, x + w - 3, y + 4, 4, 3, kPaperRule);
}

void DoubleSpread32(cairo_t* cr) {
    Cover32(cr, 2, 28);
    PageWithRules32(cr, 3, 6, 14, 20);
    PageWithRules32(cr, 15, 6, 14, 20);
    FillRect(cr, 15, 6, 2, 20, kInk);
}

// The left half stands up towards the viewer: a narrow, slanted page.
void SingleSpread32(cairo_t* cr) {
    Cover32(cr, 15, 15);
    PageWithRules32(cr, 15, 6, 14, 20);
    cairo_new_path(cr);
    cairo_move_to(cr, 16, 26);
    cairo_line_to(cr, 16, 6);
    cairo_line_to(cr, 7, 2.5);
    cairo_line_to(cr, 7, 22.5);
    cairo_close_path(cr);
    SetColour(cr, 0xE9EEF4);
    cairo_fill_preserve(cr);
    cairo_set_line_width(cr, 1.4);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    SetColour(cr, kInk);
    cairo_stroke(cr);
    cairo_set_line_width(cr, 1.2);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    SetColour(cr, kInkSoft);
    for (int i = 0; i < 4; ++i) {
        double y = 8.5 + i * 3;
        cairo_move_to(cr, 9.5, y - 1.7);
        cairo_line_to(cr, 14, y);
        cairo_stroke(cr);
    }
    FillRect(cr, 15, 6, 2, 20, kInk);
}

void SinglePage32(cairo_t* cr) {
    Box(cr, 7, 6, 18, 23, kCover, kCoverEdge);
    Box(cr, 8, 3, 16, 24, kPaper, kInk);
    Rules(cr, 11, 21, 7, 6, 3, kPaperRule);
}

// A closed book: the bound edge carries the stitches, the page edges show on
// the other side.
void LeftStitch32(cairo_t* cr) {
    Box(cr, 5, 3, 22, 26, kCover, kCoverEdge);
    FillRect(cr, 22, 4, 4, 24, 0xF3F5F8);
    FillRect(cr, 23, 4, 1, 24, kPaperRule);
    FillRect(cr, 25, 4, 1, 24, kPaperRule);
    FillRect(cr, 21, 4, 1, 24, kCoverEdge);
    FillRect(cr, 6, 4, 6, 24, kCoverSpine);
    FillRect(cr, 12, 4, 1, 24, kCoverEdge);
    // The thread runs down through the holes and round the bound edge.
    FillRect(cr, 9, 6, 1, 20, kPaper);
    for (int i = 0; i < 5; ++i)
        FillRect(cr, 6, 6 + i * 4.75, 4, 1, kPaper);
    Box(cr, 14, 7, 6, 5, 0xE8EEF5, kCoverEdge);
}

void RightStitch32(cairo_t* cr) { Mirrored(cr, kLargeCell, LeftStitch32); }

// The white halo parts the arrow from the sheet it crosses; small arrows go
// without an edge line, which would only blur them.
void FileArrow(cairo_t* cr, double tipX, double tailX, double cy, double head, double half, double shaft,
               double halo, bool edged) {
    ShaftArrowPath(cr, tipX, tailX, cy, head, half, shaft);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_width(cr, halo);
    SetColour(cr, kPaper);
    cairo_stroke_preserve(cr);
    SetColour(cr, edged ? kFileArrow : kFileArrowEdge);
    if (!edged) {
        cairo_fill(cr);
        return;
    }
    cairo_fill_preserve(cr);
    cairo_set_line_width(cr, 1);
    SetColour(cr, kFileArrowEdge);
    cairo_stroke(cr);
}

void FileSheet32(cairo_t* cr) {
    Sheet(cr, 11.5, 3.5, 17, 23, 6, 1);
    Rules(cr, 14, 21, 7, 1, 3, kPaperRule);
    Rules(cr, 14, 26, 10, 4, 3, kPaperRule);
}

void PreviousFile32(cairo_t* cr) {
    FileSheet32(cr);
    FileArrow(cr, 3, 19, 21, 7, 6.5, 2.5, 3, true);
}

// The sheet is not mirrored: its folded corner stays top right.
void NextFile32(cairo_t* cr) {
    cairo_save(cr);
    cairo_translate(cr, -8, 0);
    FileSheet32(cr);
    cairo_restore(cr);
    cairo_save(cr);
    cairo_translate(cr, kLargeCell, 0);
    cairo_scale(cr, -1, 1);
    FileArrow(cr, 3, 19, 21, 7, 6.5, 2.5, 3, true);
    cairo_restore(cr);
}

void Search32(cairo_t* cr) {
    Sheet(cr, 4.5, 2.5, 18, 24, 6, 1);
    Rules(cr, 8, 15, 6, 1, 3, kPaperRule);
    Rules(cr, 8, 19, 9, 5, 3, kPaperRule);
    FillCircle(cr, 19, 19, 8.5, kPaper);
    Magnifier(cr, 19, 19, 6, 2.2, 28, 4);
    Rules(cr, 16, 22, 17, 2, 3, kInkSoft);
}

// --- 16-pixel pictures

void ZoomIn16(cairo_t* cr) {
    Magnifier(cr, 6.5, 6.5, 4.7, 1.6, 13.5, 2.6);
    FillRect(cr, 4, 6, 5, 1, kInk);
    FillRect(cr, 6, 4, 1, 5, kInk);
}

void ZoomOut16(cairo_t* cr) {
    Magnifier(cr, 6.5, 6.5, 4.7, 1.6, 13.5, 2.6);
    FillRect(cr, 4, 6, 5, 1, kInk);
}

void FlipOneRight16(cairo_t* cr) { FlipTriangle(cr, 5, 11, 8, 5, false); }

void FlipTenRight16(cairo_t* cr) {
    FlipTriangle(cr, 2, 8, 8, 5, false);
    FlipTriangle(cr, 8, 14, 8, 5, false);
}

void FlipAllRight16(cairo_t* cr) {
    FillRect(cr, 1, 3, 2, 10, kArrowEdge);
    FlipTriangle(cr, 4, 9, 8, 5, false);
    FlipTriangle(cr, 9, 14, 8, 5, false);
}

void FlipOneLeft16(cairo_t* cr) { Mirrored(cr, kSmallCell, FlipOneRight16); }
void FlipTenLeft16(cairo_t* cr) { Mirrored(cr, kSmallCell, FlipTenRight16); }
void FlipAllLeft16(cairo_t* cr) { Mirrored(cr, kSmallCell, FlipAllRight16); }

void FlipAuto16(cairo_t* cr) {
    Box(cr, 1, 1, 9, 11, kPaper, kInk);
    FillRect(cr, 3, 3, 5, 1, kPaperRule);
    FillRect(cr, 3, 5, 3, 1, kPaperRule);
    FillCircle(cr, 9.5, 9.5, 5.3, kPaper);
    FillCircle(cr, 9.5, 9.5, 4.5, kPlay);
    cairo_new_path(cr);
    cairo_move_to(cr, 12.5, 9.5);
    cairo_line_to(cr, 8, 6.9);
    cairo_line_to(cr, 8, 12.1);
    cairo_close_path(cr);
    SetColour(cr, kPaper);
    cairo_fill(cr);
}

// Set pixel by pixel: at this size a smoothed dial blurs into a blot. Three
// quarters of a circle, standing on a flat base, leave the needle more room
// than a half.
void FlipSpeed16(cairo_t* cr) {
    constexpr double cx = 8, cy = 8, outer = 7, rimInner = 4.4;
    constexpr int base = 13;
    for (int y = 0; y <= base; ++y) {
        for (int x = 0; x < kSmallCell; ++x) {
            double dx = x + 0.5 - cx, dy = y + 0.5 - cy, distance = std::hypot(dx, dy);
            if (distance >= outer)
                continue;
            std::uint32_t colour = kPaper;
            if (y == base || distance >= outer - 1) {
                colour = kInk;
            } else if (distance >= rimInner) {
                // 0 at the lower left, 1 at the lower right, over the top.
                double degrees = std::atan2(-dy, dx) * 180 / kPi;
                double along = std::fmod(225 - degrees + 360, 360) / 270;
                if (along > 1)
                    continue;
                colour = kDialRim[std::min(2, static_cast<int>(along * 3))];
            }
            FillRect(cr, x, y, 1, 1, colour);
        }
    }
    for (int step = 1; step <= 3; ++step)
        FillRect(cr, 8 + step, 7 - step, 1, 1, kInk);
    FillRect(cr, 7, 7, 2, 2, kInk);
}

void Desk16(cairo_t* cr) {
    SmallBook(cr, 2, 2, 5, 5, 0x6F93BD, 0x48698F, 1);
    SmallBook(cr, 9, 2, 5, 5, 0x5FA89D, 0x3D7A71, 1);
    SmallBook(cr, 2, 9, 5, 5, 0xE0B25A, 0xAE8333, 1);
    SmallBook(cr, 9, 9, 5, 5, 0xA888B8, 0x7A5C8A, 1);
}

void PageWithRules16(cairo_t* cr, double x, double y, double w, double h) {
    Box(cr, x, y, w, h, kPaper, kInk);
    for (int i = 0; i < 3; ++i)
        FillRect(cr, x + 2, y + 2 + i * 2, i == 2 ? 2 : w - 4, 1, kPaperRule);
}

void DoubleSpread16(cairo_t* cr) {
    FillRect(cr, 1, 4, 14, 9, kCoverEdge);
    PageWithRules16(cr, 1, 3, 8, 9);
    PageWithRules16(cr, 7, 3, 8, 9);
    FillRect(cr, 7, 3, 2, 9, kInk);
}

void SingleSpread16(cairo_t* cr) {
    FillRect(cr, 8, 5, 7, 8, kCoverEdge);
    PageWithRules16(cr, 7, 4, 8, 8);
    // The standing half: a page two pixels higher at its outer edge.
    FillRect(cr, 3, 2, 1, 9, kInk);
    FillRect(cr, 4, 2, 2, 1, kInk);
    FillRect(cr, 6, 3, 2, 1, kInk);
    FillRect(cr, 4, 3, 2, 8, 0xEEF2F6);
    FillRect(cr, 6, 4, 1, 8, 0xEEF2F6);
    FillRect(cr, 4, 11, 2, 1, kInk);
    FillRect(cr, 6, 12, 1, 1, kInk);
    FillRect(cr, 7, 4, 1, 9, kInk);
}

void SinglePage16(cairo_t* cr) {
    FillRect(cr, 3, 3, 10, 12, kCoverEdge);
    Box(cr, 4, 1, 8, 13, kPaper, kInk);
    for (int i = 0; i < 4; ++i)
        FillRect(cr, 6, 3 + i * 2, i == 3 ? 2 : 4, 1, kPaperRule);
}

void LeftStitch16(cairo_t* cr) {
    Box(cr, 2, 1, 12, 14, kCover, kCoverEdge);
    FillRect(cr, 12, 2, 1, 12, 0xF3F5F8);
    FillRect(cr, 3, 2, 3, 12, kCoverSpine);
    FillRect(cr, 6, 2, 1, 12, kCoverEdge);
    FillRect(cr, 5, 3, 1, 10, kPaper);
    for (int i = 0; i < 4; ++i)
        FillRect(cr, 3, 3 + i * 3, 2, 1, kPaper);
    FillRect(cr, 8, 3, 3, 2, 0xE8EEF5);
}

void RightStitch16(cairo_t* cr) { Mirrored(cr, kSmallCell, LeftStitch16); }

void FileSheet16(cairo_t* cr, double x) {
    Sheet(cr, x + 0.5, 1.5, 8, 11, 3, 1);
    FillRect(cr, x + 2, 5, 5, 1, kPaperRule);
    FillRect(cr, x + 2, 7, 5, 1, kPaperRule);
}

void PreviousFile16(cairo_t* cr) {
    FileSheet16(cr, 6);
    FileArrow(cr, 2, 11, 10, 4, 4, 1, 2, false);
}

void NextFile16(cairo_t* cr) {
    FileSheet16(cr, 1);
    cairo_save(cr);
    cairo_translate(cr, kSmallCell, 0);
    cairo_scale(cr, -1, 1);
    FileArrow(cr, 2, 11, 10, 4, 4, 1, 2, false);
    cairo_restore(cr);
}

// Buttons 1..18 in toolbar order.
constexpr Glyph kStandard32[] = {ZoomIn32,      ZoomOut32,      FlipAllRight32, FlipTenRight32, FlipOneRight32,
                                 FlipOneLeft32, FlipTenLeft32,  FlipAllLeft32,  FlipAuto32,     FlipSpeed32,
                                 Desk32,        DoubleSpread32, SingleSpread32, SinglePage32,   LeftStitch32,
                                 RightStitch32, PreviousFile32, NextFile32};
constexpr Glyph kStandard16[] = {ZoomIn16,      ZoomOut16,      FlipAllRight16, FlipTenRight16, FlipOneRight16,
                                 FlipOneLeft16, FlipTenLeft16,  FlipAllLeft16,  FlipAuto16,     FlipSpeed16,
                                 Desk16,        DoubleSpread16, SingleSpread16, SinglePage16,   LeftStitch16,
                                 RightStitch16, PreviousFile16, NextFile16};
static_assert(std::size(kStandard32) == kStandardButtons && std::size(kStandard16) == kStandardButtons);

// Lighter, flatter and without colour, as a disabled button should look.
void GreyOut(cairo_surface_t* surface) {
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    int width = cairo_image_surface_get_width(surface), height = cairo_image_surface_get_height(surface);
    for (int row = 0; row < height; ++row) {
        auto* words = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(row) * stride);
        for (int col = 0; col < width; ++col) {
            std::uint32_t pixel = words[col];
            double alpha = (pixel >> 24) / 255.0;
            if (alpha == 0)
                continue;
            // Premultiplied in the surface; the luminance is of the plain colour.
            double r = (pixel >> 16 & 0xFF) / alpha, g = (pixel >> 8 & 0xFF) / alpha, b = (pixel & 0xFF) / alpha;
            double grey = 118 + 0.46 * (0.299 * r + 0.587 * g + 0.114 * b);
            double outAlpha = alpha * 0.85;
            auto byte = [](double v) { return static_cast<std::uint32_t>(std::lround(std::clamp(v, 0.0, 255.0))); };
            std::uint32_t value = byte(grey * outAlpha);
            words[col] = byte(outAlpha * 255) << 24 | value << 16 | value << 8 | value;
        }
    }
    cairo_surface_mark_dirty(surface);
}

// A picture must not reach its cell's outermost pixels: the toolbar puts the
// buttons edge to edge, and ink there reads as a picture cut off.
void CheckCells(cairo_surface_t* surface, int cell, const std::string& name) {
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    int count = cairo_image_surface_get_width(surface) / cell;
    for (int index = 0; index < count; ++index) {
        bool ink = false;
        for (int y = 0; y < cell; ++y) {
            const auto* words = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
            for (int x = 0; x < cell; ++x) {
                bool here = (words[index * cell + x] >> 24) != 0;
                ink = ink || here;
                if (here && (x == 0 || y == 0 || x == cell - 1 || y == cell - 1))
                    throw Failure(name + ": picture " + std::to_string(index) + " touches its edge at " +
                                  std::to_string(x) + "," + std::to_string(y));
            }
        }
        if (!ink)
            throw Failure(name + ": picture " + std::to_string(index) + " is empty");
    }
}

// Draws the pictures side by side, `zoom` times their design's size, and
// writes the strip and its greyed copy.
void Strip(const std::filesystem::path& dir, const std::string& name, int cell, std::span<const Glyph> glyphs,
           int zoom = 1) {
    cell *= zoom;
    int count = static_cast<int>(glyphs.size());
    Canvas canvas = MakeCanvas(CAIRO_FORMAT_ARGB32, cell * count, cell);
    cairo_t* cr = canvas.cr.get();
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    cairo_paint(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    for (int index = 0; index < count; ++index) {
        cairo_save(cr);
        cairo_rectangle(cr, index * cell, 0, cell, cell);
        cairo_clip(cr);
        cairo_translate(cr, index * cell, 0);
        cairo_scale(cr, zoom, zoom);
        glyphs[index](cr);
        cairo_restore(cr);
    }
    if (cairo_status(cr) != CAIRO_STATUS_SUCCESS)
        throw Failure(name + ": drawing failed");
    CheckCells(canvas.surface.get(), cell, name);
    WritePng(canvas.surface.get(), dir / (name + ".png"));
    GreyOut(canvas.surface.get());
    WritePng(canvas.surface.get(), dir / (name + "-disabled.png"));
}

void Toolbar(const std::filesystem::path& dir) {
    std::filesystem::create_directories(dir);
    Strip(dir, "standard-32", kLargeCell, kStandard32);
    Strip(dir, "standard-16", kSmallCell, kStandard16);
    std::vector<Glyph> large{Search32};
    large.insert(large.end(), std::begin(kStandard32), std::end(kStandard32));
    Strip(dir, "large-32", kLargeCell, large);
    // For screens of two device pixels per CSS pixel; the 16-pixel toolbar
    // takes the 32-pixel pictures there.
    Strip(dir, "standard-64", kLargeCell, kStandard32, 2);
    Strip(dir, "large-64", kLargeCell, large, 2);
}

void DrawAll(const std::filesystem::path& outDir) {
    std::filesystem::path placeholders = outDir / "placeholders", icons = outDir / "icons";
    std::filesystem::create_directories(placeholders);
    std::filesystem::create_directories(icons);

    NormalPlaceholder(placeholders / "normal-1.png", "No Image", kLatin, Badge::None);
    NormalPlaceholder(placeholders / "normal-2.png", "処理中", kJapanese, Badge::Busy);
    NormalPlaceholder(placeholders / "normal-3.png", "Failed", kLatin, Badge::Failed);
    NormalPlaceholder(placeholders / "normal-4.png", "Cannot View", kLatin, Badge::Blocked);
    NormalPlaceholder(placeholders / "normal-5.png", "処理待ち", kJapanese, Badge::Waiting);
    EmblemPlaceholder(placeholders / "evalue-1.png", "No Image");
    EmblemPlaceholder(placeholders / "evalue-2.png", "Creating Now...");
    EmblemPlaceholder(placeholders / "evalue-3.png", "Failed");
    EmblemPlaceholder(placeholders / "evalue-4.png", "Cannot View");
    DownloadingPage(placeholders / "downloading.png");

    Icon(icons / "document.png", DocumentIcon);
    Icon(icons / "pdf.png", PdfIcon);
    Icon(icons / "presentation.png", PresentationIcon);
    Icon(icons / "spreadsheet.png", SpreadsheetIcon);
    Icon(icons / "text.png", TextIcon);
    Icon(icons / "picture.png", PictureIcon);
    Icon(icons / "folder.png", FolderIcon);
    Icon(icons / "web.png", WebIcon);
    Icon(icons / "drawing.png", DrawingIcon);
    Icon(icons / "book.png", BookIcon);
    Icon(icons / "unknown.png", UnknownIcon);

    Toolbar(outDir / "toolbar");
}

}  // namespace
}  // namespace zov

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: zov-draw-resources OUTDIR\n");
        return 2;
    }
    try {
        zov::DrawAll(argv[1]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zov-draw-resources: %s\n", e.what());
        return 1;
    }
    return 0;
}
