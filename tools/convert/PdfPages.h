// Reading a PDF for the converter: its pages as pictures and as text. The
// file is read into memory once (PdfBytes) and every rendering thread opens
// its own PdfFile on those bytes; one PdfFile and its pages belong to one
// thread.
#pragma once

#include "tools/convert/Downscale.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace poppler {
class document;
class page;
}  // namespace poppler

namespace zov {

// The largest document read: the PDF library counts bytes in an int.
inline constexpr std::size_t kMaxPdfBytes = std::size_t{1} << 30;

// The whole of one PDF file, read with one read.
class PdfBytes {
public:
    // Nothing (with the reason) when `path` is not a regular file, is empty
    // or larger than kMaxPdfBytes, or cannot be read.
    static std::shared_ptr<const PdfBytes> Read(const std::string& path, std::string& reason);

    const char* Data() const { return data_.get(); }
    std::size_t Size() const { return size_; }

private:
    std::unique_ptr<char[]> data_;
    std::size_t size_ = 0;
};

// A rendered page: RGB rows as the renderer left them.
class RenderedPage {
public:
    RgbView View() const { return view_; }

private:
    friend class PdfPage;
    std::shared_ptr<const void> owner_;
    RgbView view_;
};

// One page, loaded once and asked for its size, its picture and its text.
class PdfPage {
public:
    explicit PdfPage(std::unique_ptr<poppler::page> page);
    ~PdfPage();
    PdfPage(PdfPage&&) noexcept;
    PdfPage& operator=(PdfPage&&) noexcept;

    // Width and height in points (1/72 inch), as the page is shown.
    double WidthPoints() const { return width_; }
    double HeightPoints() const { return height_; }
    // The page at `dpi`; nothing when it cannot be rendered.
    std::optional<RenderedPage> Render(double dpi) const;
    // The page's words as one line of UTF-8.
    std::string Text() const;

private:
    std::unique_ptr<poppler::page> page_;
    double width_ = 0;
    double height_ = 0;
};

class PdfFile {
public:
    PdfFile();
    ~PdfFile();
    PdfFile(const PdfFile&) = delete;
    PdfFile& operator=(const PdfFile&) = delete;

    // Opens the document in `bytes`, which it keeps; on failure says why in
    // `reason` ("encrypted", "not a readable PDF").
    bool Open(std::shared_ptr<const PdfBytes> bytes, std::string& reason);
    int PageCount() const;
    // Page `index` (0-based); nothing when it cannot be loaded.
    std::optional<PdfPage> Page(int index) const;

private:
    std::shared_ptr<const PdfBytes> bytes_;
    std::unique_ptr<poppler::document> document_;
};

}  // namespace zov
