#include "tests/viewer/ViewerFixture.h"

#include "tests/support/Golden.h"
#include "tests/support/TestHttpServer.h"

namespace zov {
namespace {

using namespace std::chrono_literals;

using Viewer = test::ViewerFixture;

TEST_F(Viewer, AnEmptyListLaysOutNothingAndMakesNoFrames) {
    Load({});
    Tick();
    EXPECT_EQ(window_->ScrollArrows(SB_VERT), ESB_DISABLE_BOTH);
    Step();  // the desk cleared of the old list, once
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(Step());
    EXPECT_TRUE(viewer_->Objects().empty());
}

TEST_F(Viewer, ADeskTallerThanTheWindowScrollsAndComesBackWhenItShrinks) {
    std::vector<std::wstring> paths;
    for (int i = 0; i < 30; ++i)
        paths.push_back(Document("missing-" + std::to_string(i) + ".pdf"));
    Load(Files(paths));
    Tick();
    SCROLLINFO bar = window_->ScrollInfo(SB_VERT);
    EXPECT_EQ(window_->ScrollArrows(SB_VERT), ESB_ENABLE_BOTH);
    EXPECT_EQ(bar.nPage, 480u);
    EXPECT_GT(bar.nMax, 480);
    const std::int32_t deskHeight = bar.nMax;

    // Scrolled to the bottom, then most books go away.
    window_->SetTrackPosition(SB_VERT, deskHeight);
    window_->SendVScroll(SB_BOTTOM);
    ASSERT_TRUE(Eventually([this] {
        ViewLock lock;
        return viewer_->scrollY > 0;
    }));
    std::vector<ZAZObject*> books = viewer_->Objects();
    for (std::size_t i = 0; i + 10 < books.size(); ++i)
        viewer_->RemoveObject(books[i]);
    {
        ViewLock lock;
        EXPECT_GE(viewer_->scrollY, 0);
        const std::int32_t lastBottom = viewer_->visibleObjects.back()->Bounds().bottom;
        if (viewer_->scrollY > 0)
            EXPECT_EQ(lastBottom + 42, 480);
        else
            EXPECT_LE(lastBottom + 42, 480);
    }
}

TEST_F(Viewer, OnlyBooksOnTheWindowHoldPicturesAndScrolledInOnesReadThemAgain) {
    std::vector<std::wstring> paths;
    for (int i = 0; i < 40; ++i) {
        paths.push_back(Document("held-" + std::to_string(i) + ".pdf"));
        WritePreview(paths.back(), 2, 60, 90);
    }
    Load(Files(paths));
    ASSERT_TRUE(Eventually([this] { return viewer_->PreviewPassDone(); }));
    auto onWindow = [](ZAZObject* book) {
        const RECT box = book->Bounds();
        return box.bottom >= 0 && box.top < 480 && box.left < 640 && box.right >= 0;
    };
    auto check = [&](const char* when) {
        ViewLock lock;
        viewer_->RenderNoPresent(true);
        int shown = 0;
        for (ZAZObject* book : viewer_->visibleObjects) {
            const bool holds = !book->loadedSmall.empty();
            EXPECT_EQ(holds, onWindow(book)) << when << " " << ToUtf8(book->path);
            shown += holds;
            // Every book keeps its portrait shape, pictures or not.
            const RECT box = book->Bounds();
            EXPECT_GT(box.bottom - box.top, box.right - box.left) << when;
        }
        EXPECT_GT(shown, 0) << when;
        EXPECT_LT(shown, 40) << when;
    };
    check("at the top");
    Step();  // the loader's last repaint
    Tick();
    window_->SetTrackPosition(SB_VERT, 100000);
    window_->SendVScroll(SB_BOTTOM);
    ASSERT_TRUE(Eventually([this] {
        ViewLock lock;
        return viewer_->scrollY > 0;
    }));
    check("at the bottom");
}

TEST_F(Viewer, ARemovedBookLeavesNoPointerBehindForTheNextStep) {
    // Only a file its server deleted takes its book away.
    test::TestHttpServer server;
    server.Answer("/gone-0.pdf", 204, "");
    std::vector<std::wstring> paths;
    for (int i = 0; i < 6; ++i) {
        paths.push_back(i == 0 ? FromUtf8(server.Url("/gone-0.pdf")) : Document("gone-" + std::to_string(i) + ".pdf"));
        WritePreview(paths.back(), 4);
    }
    Load(Files(paths));
    ASSERT_TRUE(Eventually([this] { return viewer_->PreviewPassDone(); }));
    std::vector<ZAZObject*> books = viewer_->Objects();
    ASSERT_EQ(books.size(), 6u);
    for (int i = 0; i < 20 && Step(); ++i) {
    }
    {
        ViewLock lock;
        viewer_->SetAction(kFlipNext, *books[0]);  // turning while it goes
        books[0]->animating = true;
    }
    auto noTrace = [this](ZAZObject* gone) {
        ViewLock lock;
        return std::count(viewer_->visibleObjects.begin(), viewer_->visibleObjects.end(), gone) == 0 &&
               viewer_->ZoomedObject() != gone;
    };
    // Until the list is reloaded, nothing else lays the desk out again.
    viewer_->RemoveObjectByRecord(books[0]);
    EXPECT_TRUE(noTrace(books[0]));
    viewer_->RemoveObject(books[1]);
    EXPECT_TRUE(noTrace(books[1]));
    for (int i = 0; i < 5; ++i)
        Step();
    ViewLock lock;
    EXPECT_EQ(viewer_->visibleObjects.size(), 4u);
}

TEST_F(Viewer, OpeningModesEndOnTheirLayoutsAndSinglePagesDoublePositions) {
    WritePreview(Document("modes.pdf"), 8);
    Load(Files({Document("modes.pdf")}));
    ASSERT_TRUE(Eventually([this] { return viewer_->PreviewPassDone(); }));
    ZAZObject* book = viewer_->Objects().front();
    {
        ViewLock lock;
        book->pagePosition = 3;
        book->flipProgress = 1.0;
    }
    const ZAZLayout& l = viewer_->deskLayout;
    auto expect = [&](int single, int width, int margin, int lift, double factor, int position, const char* when) {
        ViewLock lock;
        EXPECT_EQ(l.singlePage, single) << when;
        EXPECT_EQ(l.openWidth, width) << when;
        EXPECT_EQ(l.leftMargin, margin) << when;
        EXPECT_EQ(l.leafLift, lift) << when;
        EXPECT_NEAR(l.openFactor, factor, 1e-9) << when;
        EXPECT_EQ(book->pagePosition, position) << when;
    };
    viewer_->SingleOpenPage(false, true);
    expect(1, 0, 84, 0, 0.0, 6, "single");
    viewer_->SingleOpenPage(false, false);
    expect(1, 0, 84, 0, 0.0, 6, "single again changes nothing");
    // Leaving single pages halves the position; on the desk an odd one
    // moves on to the next even one.
    viewer_->CompleteOpenPage(false, true);
    expect(0, 128, 140, 0, 1.0, 4, "complete");
    viewer_->UnCompleteOpenPage(false, false);
    expect(0, 32, 45, 32, 0.3, 4, "half open");
    viewer_->StitchRight();
    viewer_->CompleteOpenPage(false, false);
    viewer_->UnCompleteOpenPage(false, false);
    expect(0, 32, 140, 32, 0.3, 4, "half open, bound right");
}

TEST_F(Viewer, TheFirstBookOfARowNeverWrapsAndRightStitchWrapsEarlier) {
    Load(Files({Document("a.pdf"), Document("b.pdf"), Document("c.pdf")}));
    auto rows = [this](std::int32_t width) {
        window_->SendSize(width, 480);
        viewer_->Resize();
        ViewLock lock;
        std::vector<std::int32_t> ys;
        for (ZAZObject* book : viewer_->visibleObjects)
            ys.push_back(book->y);
        return ys;
    };
    // Far too narrow for any book: one per row, each at the row start.
    std::vector<std::int32_t> narrow = rows(60);
    ASSERT_EQ(narrow.size(), 3u);
    EXPECT_LT(narrow[0], narrow[1]);
    EXPECT_LT(narrow[1], narrow[2]);

    // A width where two books fit side by side when bound left.
    viewer_->StitchLeft();
    std::int32_t width = 200;
    while (width < 1000 && rows(width)[1] != rows(width)[0])
        ++width;
    ASSERT_LT(width, 1000);
    std::vector<std::int32_t> left = rows(width);
    EXPECT_EQ(left[0], left[1]);
    // Bound right, the same width wraps after the first book.
    viewer_->StitchRight();
    std::vector<std::int32_t> right = rows(width);
    EXPECT_LT(right[0], right[1]);
}

TEST_F(Viewer, AZeroHeightResizeKeepsTheBuffer) {
    const PixelBuffer* before = viewer_->BackBuffer();
    ASSERT_NE(before, nullptr);
    window_->SendSize(640, 0);
    viewer_->Resize();
    EXPECT_EQ(viewer_->BackBuffer(), before);
    EXPECT_EQ(viewer_->BackBuffer()->Height(), 480);
}

TEST_F(Viewer, CaptionsOffTheBufferAreSkippedOrClipped) {
    WritePreview(Document("low.pdf"), 1);
    DisplayFileList list = Files({Document("low.pdf")});
    list[0].caption = L"At the bottom edge";
    Load(std::move(list));
    ASSERT_TRUE(Eventually([this] { return viewer_->PreviewPassDone(); }));
    ViewLock lock;
    ZAZObject* book = viewer_->visibleObjects.front();
    // Put the book so that its caption strip straddles the bottom edge.
    book->y = 480 - 150 - 10;
    book->Relayout();
    ASSERT_GT(book->Bounds().bottom + 23, 480);
    viewer_->Render(kRenderFull);
    const PixelBuffer& frame = *viewer_->BackBuffer();
    const std::int32_t top = book->Bounds().bottom + 1;
    ASSERT_LT(top, 480);
    bool strip = false;
    for (std::int32_t x = book->Bounds().left; x < book->Bounds().right; ++x)
        strip = strip || frame.At(x, 479) != 0xC0C0C0;
    EXPECT_TRUE(strip);
    // Entirely below the buffer: nothing drawn at all.
    book->y = 1000;
    book->Relayout();
    viewer_->Render(kRenderFull);
    EXPECT_TRUE(std::all_of(frame.Pixels(), frame.Pixels() + frame.PixelCount(),
                            [](std::uint32_t p) { return p == 0xC0C0C0u; }));
}

TEST_F(Viewer, AStepWithNothingToDoMakesNoFrame) {
    WritePreview(Document("one.pdf"), 2);
    WritePreview(Document("two.pdf"), 3);
    Load(Files({Document("one.pdf"), Document("two.pdf")}));
    ASSERT_TRUE(Eventually([this] { return viewer_->PreviewPassDone(); }));
    // Progressive drawing brings every book to full quality, then rests.
    int frames = 0;
    while (Step() && frames < 50)
        ++frames;
    EXPECT_LT(frames, 50);
    EXPECT_FALSE(Step());
    EXPECT_FALSE(viewer_->RequestUpdate(1));
}

TEST_F(Viewer, ANewListReplacesOneStillLoading) {
    std::vector<std::wstring> many;
    for (int i = 0; i < 40; ++i)
        many.push_back(Document("first-" + std::to_string(i) + ".pdf"));
    viewer_->LoadFileList(Files(many));
    WritePreview(Document("new.pdf"), 1);
    Load(Files({Document("new.pdf"), Document("other.pdf")}));
    std::vector<ZAZObject*> books = viewer_->Objects();
    ASSERT_EQ(books.size(), 2u);
    EXPECT_EQ(books[0]->path, Document("new.pdf"));
    EXPECT_EQ(books[1]->path, Document("other.pdf"));
}

TEST_F(Viewer, ABookOpenedAtPageFiveTurnsOntoItOnceLoaded) {
    WritePreview(Document("ten.pdf"), 10);
    DisplayFileList list = Files({Document("ten.pdf")});
    list[0].openPage = 5;
    viewer_->LoadFileList(std::move(list));
    ASSERT_TRUE(Eventually([this] { return viewer_->ListLoaded(); }));
    ZAZObject* book = viewer_->Objects().front();
    {
        ViewLock lock;
        EXPECT_EQ(book->pagePosition, 3);
        EXPECT_EQ(book->flipState, kFlipNext);
    }
    ASSERT_TRUE(Eventually([&] {
        ViewLock lock;
        return book->loadState >= 3;
    }));
    // The loader arms the turn just after the page list arrives: step until
    // the book rests on its page.
    EXPECT_TRUE(Eventually([&] {
        Step();
        ViewLock lock;
        return !book->animating && book->pagePosition >= 5;
    }));
    ViewLock lock;
    EXPECT_FALSE(book->animating);
    // Resting on the next spread: position 5 at the end of its leaf, or the
    // same view counted as position 6 at its start.
    EXPECT_TRUE((book->pagePosition == 6 && book->flipProgress == 0.0) ||
                (book->pagePosition == 5 && book->flipProgress == 1.0))
        << book->pagePosition << " " << book->flipProgress;
}

TEST_F(Viewer, TheLoaderWaitsWhileABookIsZoomed) {
    WritePreview(Document("zoom.pdf"), 2);
    std::vector<std::wstring> paths{Document("zoom.pdf")};
    for (int i = 0; i < 5; ++i) {
        paths.push_back(Document("later-" + std::to_string(i) + ".pdf"));
        WritePreview(paths.back(), 1);
    }
    Load(Files(paths));
    ZAZObject* first = viewer_->Objects().front();
    ASSERT_TRUE(Eventually([&] {
        ViewLock lock;
        return first->loadState == 4;
    }));
    {
        ViewLock lock;
        viewer_->currentObject = first;
        ASSERT_TRUE(viewer_->ZoomIn());
    }
    auto states = [this] {
        ViewLock lock;
        std::vector<std::int32_t> s;
        for (ZAZObject* book : viewer_->visibleObjects)
            s.push_back(book->loadState);
        return s;
    };
    // The step under way when the zoom began may still finish; then nothing.
    std::this_thread::sleep_for(400ms);
    std::vector<std::int32_t> during = states();
    std::this_thread::sleep_for(800ms);
    EXPECT_EQ(states(), during);
    viewer_->ZoomDown();
    EXPECT_TRUE(Eventually([&] {
        std::vector<std::int32_t> s = states();
        return std::all_of(s.begin(), s.end(), [](std::int32_t state) { return state == 4; });
    }));
}

// A desk of twelve books of mixed shapes and states at 1024 x 768.
TEST_F(Viewer, GoldenDesk) {
    window_->SendSize(1024, 768);
    viewer_->Resize();
    PreviewSettings settings = GetPreviewSettings();
    auto status = [&](const std::wstring& document, const std::string& text) {
        std::wstring path = PageFilePath(document, kStatusFile, settings);
        ASSERT_TRUE(CreateFolderTree(path.substr(0, path.rfind(L'\\'))));
        ASSERT_TRUE(WriteFileAtomically(path, text));
    };
    WritePreview(Document("portrait.pdf"), 3, 60, 84);
    WritePreview(Document("landscape.ppt"), 4, 84, 60);
    WritePreview(Document("square.xls"), 2, 70, 70);
    WritePreview(Document("tall.doc"), 1, 40, 90);
    WritePreview(Document("selected.pdf"), 2, 60, 84);
    WritePreview(Document("flagged.pdf"), 2, 60, 84);
    WritePreview(Document("current.pdf"), 5, 60, 84);
    WritePreview(Document("wide.pdf"), 1, 100, 50);
    status(Document("queued.pdf"), "**ZAZPreviewStatus:Waiting");
    status(Document("broken.doc"), "**ZAZPreviewStatus:Failed");
    DisplayFileList list = Files({Document("portrait.pdf"), Document("landscape.ppt"), Document("square.xls"),
                                  Document("tall.doc"), Document("queued.pdf"), Document("broken.doc"),
                                  Document("missing.pdf"), Document("notes.zzq"), Document("selected.pdf"),
                                  Document("flagged.pdf"), Document("current.pdf"), Document("wide.pdf")});
    list[0].caption = L"Portrait \u7e26\u9577";
    list[8].caption = L"Selected";
    list[9].caption = L"Flagged";
    list[9].flag = true;
    list[10].caption = L"Current";
    Load(std::move(list));
    ASSERT_TRUE(Eventually([this] {
        if (!viewer_->PreviewPassDone())
            return false;
        ViewLock lock;
        for (ZAZObject* book : viewer_->Objects())
            if (book->loadState < 3 && book->fileType != 0)
                return false;
        return true;
    }));
    ViewLock lock;
    std::vector<ZAZObject*> books = viewer_->Objects();
    books[8]->selected = true;
    viewer_->currentObject = books[10];
    books[10]->flipState = kFlipNext;
    books[10]->pagePosition = 2;
    viewer_->Relayout();
    viewer_->Render(kRenderFull);
    test::ExpectMatchesGolden("desk-12-books", *viewer_->BackBuffer());
}

}  // namespace
}  // namespace zov
