#include "tests/viewer/ViewerFixture.h"

namespace zov {
namespace {

using namespace std::chrono_literals;

class DeskScroll : public test::ViewerFixture {
protected:
    std::vector<ZAZObject*> LoadBooks(int count, int pages, int w = 60, int h = 84) {
        std::vector<std::wstring> paths;
        for (int i = 0; i < count; ++i) {
            paths.push_back(Document("book" + std::to_string(i) + ".pdf"));
            WritePreview(paths.back(), pages, w, h);
        }
        Load(Files(paths));
        EXPECT_TRUE(Eventually([this] { return viewer_->PreviewPassDone(); }));
        return viewer_->Objects();
    }

    void ZoomInto(ZAZObject* book) {
        {
            ViewLock lock;
            viewer_->currentObject = book;
        }
        ASSERT_TRUE(viewer_->ZoomIn());
    }
};

void Show(ZAZViewer* v, ZAZObject* b, const char* what) {
    ViewLock lock;
    RECT box = b->Bounds();
    RECT strip = v->CaptionStrip(*b);
    std::printf("%s: box %d %d %d %d strip %d %d %d %d L %d T %d S %d single %d\n", what, box.left, box.top, box.right,
                box.bottom, strip.left, strip.top, strip.right, strip.bottom, b->L.x, b->T.x, b->S.x,
                b->layout->singlePage);
}

TEST_F(DeskScroll, Probe) {
    std::vector<ZAZObject*> books = LoadBooks(3, 1);
    ZoomInto(books[1]);
    Show(viewer_, books[1], "one page zoomed");
    for (int i = 0; i < 30; ++i) { Step(); std::this_thread::sleep_for(10ms); }
    {
        ViewLock lock;
        const PixelBuffer* b = viewer_->BackBuffer();
        WritePngFile(L"/tmp/probe-single.png", b->Pixels(), b->Width(), b->Height());
    }
}

}  // namespace
}  // namespace zov
