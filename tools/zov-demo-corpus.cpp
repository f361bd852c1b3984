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
#include "tools/demo-corpus/Canvas.h"
#include "tools/demo-corpus/Documents.h"
#include "tools/demo-corpus/Figures.h"

#include <cairo.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace zov::corpus {
namespace {

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
}  // namespace zov::corpus

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: zov-demo-corpus OUTDIR\n");
        return 2;
    }
    try {
        return zov::corpus::Run(argv[1]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zov-demo-corpus: %s\n", e.what());
        return 1;
    }
}
