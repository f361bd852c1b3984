// Reading a PDF for the converter: its pages as pictures and as text. One
// PdfFile belongs to one thread; the converter opens the file once per
// rendering thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace poppler {
class document;
}

namespace zov {

struct RenderedPage {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint32_t> pixels;  // 0x00RRGGBB, top row first
};

class PdfFile {
public:
    PdfFile();
    ~PdfFile();
    PdfFile(const PdfFile&) = delete;
    PdfFile& operator=(const PdfFile&) = delete;

    // Opens `path`; on failure says why in `reason` ("encrypted", "not a
    // readable PDF").
    bool Open(const std::string& path, std::string& reason);
    int PageCount() const;
    // Page `index` (0-based) rendered so that its longer side is `longSide`
    // pixels; nothing when it cannot be rendered.
    std::optional<RenderedPage> Render(int index, int longSide) const;
    // The longer side of the page in points (1/72 inch).
    double LongSidePoints(int index) const;
    // The page's words as one line of UTF-8.
    std::string Text(int index) const;

private:
    std::unique_ptr<poppler::document> document_;
};

}  // namespace zov
