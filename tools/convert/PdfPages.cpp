#include "tools/convert/PdfPages.h"

#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-image.h>
#include <poppler-page-renderer.h>
#include <poppler-page.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace zov {

namespace {

// Poppler's own complaints about damaged files would interleave with the
// converter's one clear line per document; they are dropped.
void Quiet(const std::string&, void*) {}

void SilencePoppler() {
    static std::once_flag once;
    std::call_once(once, [] { poppler::set_debug_error_function(Quiet, nullptr); });
}

struct Descriptor {
    int fd = -1;
    ~Descriptor() {
        if (fd >= 0)
            ::close(fd);
    }
};

}  // namespace

std::shared_ptr<const PdfBytes> PdfBytes::Read(const std::string& path, std::string& reason) {
    Descriptor file;
    file.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    struct stat info {};
    if (file.fd < 0 || ::fstat(file.fd, &info) != 0) {
        reason = std::string("cannot read it: ") + std::strerror(errno);
        return nullptr;
    }
    if (!S_ISREG(info.st_mode)) {
        reason = "not a regular file";
        return nullptr;
    }
    if (info.st_size <= 0) {
        reason = "not a readable PDF";
        return nullptr;
    }
    if (static_cast<std::uint64_t>(info.st_size) > kMaxPdfBytes) {
        reason = "larger than " + std::to_string(kMaxPdfBytes >> 20) + " MiB";
        return nullptr;
    }
    auto bytes = std::make_shared<PdfBytes>();
    bytes->size_ = static_cast<std::size_t>(info.st_size);
    bytes->data_ = std::make_unique_for_overwrite<char[]>(bytes->size_);
    // One read does it for a regular file; the loop only covers a signal or
    // a file that shrinks meanwhile, whose new end is then the end.
    std::size_t got = 0;
    while (got < bytes->size_) {
        const ssize_t n = ::read(file.fd, bytes->data_.get() + got, bytes->size_ - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            reason = std::string("cannot read it: ") + std::strerror(errno);
            return nullptr;
        }
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    if (got == 0) {
        reason = "not a readable PDF";
        return nullptr;
    }
    bytes->size_ = got;
    return bytes;
}

PdfPage::PdfPage(std::unique_ptr<poppler::page> page) : page_(std::move(page)) {
    if (!page_)
        return;
    const poppler::rectf box = page_->page_rect();
    width_ = box.width();
    height_ = box.height();
    // The box is given unrotated; a page turned a quarter is shown on its side.
    const poppler::page::orientation_enum turn = page_->orientation();
    if (turn == poppler::page::landscape || turn == poppler::page::seascape)
        std::swap(width_, height_);
}

PdfPage::~PdfPage() = default;
PdfPage::PdfPage(PdfPage&&) noexcept = default;
PdfPage& PdfPage::operator=(PdfPage&&) noexcept = default;

std::optional<RenderedPage> PdfPage::Render(double dpi) const {
    if (!page_ || !(dpi > 0) || width_ <= 0 || height_ <= 0)
        return std::nullopt;
    poppler::page_renderer renderer;
    renderer.set_render_hint(poppler::page_renderer::antialiasing, true);
    renderer.set_render_hint(poppler::page_renderer::text_antialiasing, true);
    // Three bytes a pixel in the order the JPEG encoder and the area filter
    // read: nothing is converted or copied after the renderer.
    renderer.set_image_format(poppler::image::format_rgb24);
    renderer.set_paper_color(0xFFFFFFFF);
    auto image = std::make_shared<poppler::image>(renderer.render_page(page_.get(), dpi, dpi));
    if (!image->is_valid() || image->width() <= 0 || image->height() <= 0 ||
        image->format() != poppler::image::format_rgb24 || image->bytes_per_row() < image->width() * 3)
        return std::nullopt;
    RenderedPage rendered;
    rendered.view_ = RgbView{reinterpret_cast<const std::uint8_t*>(image->const_data()), image->width(),
                             image->height(), image->bytes_per_row()};
    rendered.owner_ = std::move(image);
    return rendered;
}

std::string PdfPage::Text() const {
    if (!page_)
        return {};
    poppler::byte_array bytes = page_->text().to_utf8();
    // One line: breaks and tabs become spaces, runs of spaces one.
    std::string out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        char d = (c == '\n' || c == '\r' || c == '\t' || c == '\f' || c == '\v') ? ' ' : c;
        if (d == ' ' && (out.empty() || out.back() == ' '))
            continue;
        out += d;
    }
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

PdfFile::PdfFile() = default;
PdfFile::~PdfFile() = default;

bool PdfFile::Open(std::shared_ptr<const PdfBytes> bytes, std::string& reason) {
    SilencePoppler();
    document_.reset();
    bytes_ = std::move(bytes);
    if (!bytes_ || bytes_->Size() == 0 || bytes_->Size() > kMaxPdfBytes) {
        reason = "not a readable PDF";
        return false;
    }
    // The document reads these bytes in place for as long as it lives.
    document_.reset(poppler::document::load_from_raw_data(bytes_->Data(), static_cast<int>(bytes_->Size())));
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

std::optional<PdfPage> PdfFile::Page(int index) const {
    if (!document_ || index < 0 || index >= document_->pages())
        return std::nullopt;
    std::unique_ptr<poppler::page> page(document_->create_page(index));
    if (!page)
        return std::nullopt;
    return PdfPage(std::move(page));
}

}  // namespace zov
