#include "tools/convert/PdfPages.h"

#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-image.h>
#include <poppler-page-renderer.h>
#include <poppler-page.h>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace zov {

namespace {

// Poppler's own complaints about damaged files would interleave with the
// converter's one clear line per document; they are dropped.
void Quiet(const std::string&, void*) {}

void SilencePoppler() {
    static std::once_flag once;
    std::call_once(once, [] { poppler::set_debug_error_function(Quiet, nullptr); });
}

}  // namespace

PdfFile::PdfFile() = default;
PdfFile::~PdfFile() = default;

bool PdfFile::Open(const std::string& path, std::string& reason) {
    SilencePoppler();
    document_.reset(poppler::document::load_from_file(path));
    if (!document_) {
        reason = "not a readable PDF";
        return false;
    }
    if (document_->is_locked()) {
        reason = "the PDF is encrypted";
        document_.reset();
        return false;
    }
    if (document_->pages() <= 0) {
        reason = "the PDF has no pages";
        document_.reset();
        return false;
    }
    return true;
}

int PdfFile::PageCount() const {
    return document_ ? document_->pages() : 0;
}

double PdfFile::LongSidePoints(int index) const {
    std::unique_ptr<poppler::page> page(document_ ? document_->create_page(index) : nullptr);
    if (!page)
        return 0;
    poppler::rectf box = page->page_rect();
    return std::max(box.width(), box.height());
}

std::optional<RenderedPage> PdfFile::Render(int index, int longSide) const {
    std::unique_ptr<poppler::page> page(document_ ? document_->create_page(index) : nullptr);
    if (!page)
        return std::nullopt;
    poppler::rectf box = page->page_rect();
    double points = std::max(box.width(), box.height());
    if (points <= 0 || longSide <= 0)
        return std::nullopt;
    double dpi = 72.0 * longSide / points;
    poppler::page_renderer renderer;
    renderer.set_render_hint(poppler::page_renderer::antialiasing, true);
    renderer.set_render_hint(poppler::page_renderer::text_antialiasing, true);
    renderer.set_image_format(poppler::image::format_argb32);
    renderer.set_paper_color(0xFFFFFFFF);
    poppler::image image = renderer.render_page(page.get(), dpi, dpi);
    if (!image.is_valid() || image.width() <= 0 || image.height() <= 0 ||
        image.format() != poppler::image::format_argb32 || image.bytes_per_row() < image.width() * 4)
        return std::nullopt;
    RenderedPage rendered;
    rendered.width = image.width();
    rendered.height = image.height();
    rendered.pixels.resize(static_cast<std::size_t>(rendered.width) * rendered.height);
    // Rows of native 32-bit words 0xAARRGGBB on white paper; the alpha byte
    // is dropped.
    for (int y = 0; y < rendered.height; ++y) {
        const char* row = image.const_data() + static_cast<std::ptrdiff_t>(y) * image.bytes_per_row();
        std::uint32_t* out = rendered.pixels.data() + static_cast<std::size_t>(y) * rendered.width;
        std::memcpy(out, row, static_cast<std::size_t>(rendered.width) * 4);
        for (int x = 0; x < rendered.width; ++x)
            out[x] &= 0x00FFFFFF;
    }
    return rendered;
}

std::string PdfFile::Text(int index) const {
    std::unique_ptr<poppler::page> page(document_ ? document_->create_page(index) : nullptr);
    if (!page)
        return {};
    poppler::byte_array bytes = page->text().to_utf8();
    std::string line(bytes.begin(), bytes.end());
    // One line: breaks and tabs become spaces, runs of spaces one.
    std::string out;
    out.reserve(line.size());
    for (char c : line) {
        char d = (c == '\n' || c == '\r' || c == '\t' || c == '\f' || c == '\v') ? ' ' : c;
        if (d == ' ' && (out.empty() || out.back() == ' '))
            continue;
        out += d;
    }
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

}  // namespace zov
