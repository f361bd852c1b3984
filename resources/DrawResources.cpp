// zov-draw-resources: draws the built-in pictures that are embedded into the
// library: the placeholder pages and the fallback file icons.
//
//   zov-draw-resources OUTDIR
//
// writes OUTDIR/placeholders/*.png and OUTDIR/icons/*.png. It is run by hand
// when a picture changes and its output is committed, so the build needs
// neither Cairo nor fonts for them. Everything is drawn here; the fonts are
// DejaVu Sans for Latin text and IPAGothic for Japanese.
//
// Exit status: 0 when every file was written, 1 on failure, 2 for a usage error.
#include <cairo.h>
#include <pango/pangocairo.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <numbers>
#include <stdexcept>
#include <string>

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
