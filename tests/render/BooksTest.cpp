#include "documents/PageFileWriter.h"
#include "documents/PreviewPaths.h"
#include "documents/PreviewSettings.h"
#include "documents/PreviewSource.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "platform/image/ImageDecoder.h"
#include "pixels/Draw.h"
#include "render/PageCache.h"
#include "render/PageList.h"
#include "render/Placeholders.h"
#include "render/ZAZObject.h"
#include "tests/support/Golden.h"
#include "tests/support/TempDataHome.h"

#include <cstdlib>
#include <filesystem>

namespace zov {
namespace {

// A page picture that shows its number as that many dark bars, on a tinted
// page with a border, so that a wrong page, half or orientation shows.
std::unique_ptr<PixelBuffer> FixturePicture(int number, int w, int h) {
    auto picture = PixelBuffer::Create(w, h);
    const std::uint32_t tint = 0xF0F0F0 - static_cast<std::uint32_t>(number % 4) * 0x101000;
    std::fill_n(picture->Pixels(), picture->PixelCount(), tint);
    DrawOutline(*picture, 0, 0, w - 1, h - 1);
    for (int bar = 0; bar < number; ++bar) {
        RECT r{w / 8, h / 8 + bar * h / 20, w / 8 + w / 2, h / 8 + bar * h / 20 + h / 40};
        r = IntersectRect(r, picture->Bounds());
        for (int y = r.top; y < r.bottom; ++y)
            std::fill(picture->Row(y) + r.left, picture->Row(y) + r.right, 0x203060u + 0x000010u * number);
    }
    // A red mark at the top left tells left from right and up from down.
    for (int y = 4; y < 4 + h / 12; ++y)
        std::fill(picture->Row(y) + 4, picture->Row(y) + 4 + w / 12, 0xD02020u);
    return picture;
}

class Books : public test::TempDataHome {
protected:
    void SetUp() override {
        TempDataHome::SetUp();
        PreviewSettings settings;
        settings.previewRoot = WideRoot() + L"\\previews";
        settings.folderMode = L"Folder";
        SetPreviewSettings(settings);
        ResetSlots();
    }
    void TearDown() override {
        StopDownloadThread();
        ResetSlots();
        SetPreviewSettings(PreviewSettings{});
        TempDataHome::TearDown();
    }

    // A document of `count` fixture pages, given their pictures directly.
    std::unique_ptr<ZAZObject> Book(int count, ZAZLayout* layout) {
        auto book = std::make_unique<ZAZObject>(WideRoot() + L"\\docs\\book.pdf", L"Book", layout, L"", false);
        book->pages.emplace();
        for (int n = 1; n <= count; ++n)
            book->pages->push_back(std::make_unique<ZAZImage>(book->path, book->caption, n, FixturePicture(n, 50, 70),
                                                              FixturePicture(n, 200, 282)));
        book->loadState = 4;
        book->Relayout();
        return book;
    }

    // Writes a real preview of `count` pages for `document`.
    void WritePreview(const std::wstring& document, int count, const std::string& status) {
        PreviewSettings settings = GetPreviewSettings();
        std::wstring first = PageFilePath(document, 1, settings);
        ASSERT_TRUE(CreateFolderTree(first.substr(0, first.rfind(L'\\'))));
        for (int n = 1; n <= count; ++n) {
            auto picture = FixturePicture(n, 40, 56);
            PageFileContent content;
            content.imageType = 3;
            content.image1 = PageFileImage{40, 56, 0, EncodePng(picture->Pixels(), 40, 56)};
            if (n == 1) {
                content.pageList = std::vector<std::int32_t>(static_cast<std::size_t>(count), 1);
            }
            ASSERT_TRUE(WritePageFile(PageFilePath(document, n, settings), content));
        }
        if (!status.empty()) {
            ASSERT_TRUE(WriteFileAtomically(PageFilePath(document, kStatusFile, settings), status));
        }
    }

    ZAZLayout deskLayout_;
};

TEST_F(Books, TouchFillsSlotsFromTheCursorAndEvicts) {
    ZAZLayout layout;
    auto book = Book(6, &layout);
    std::vector<ZAZImage*> p;
    for (int i = 0; i < 6; ++i)
        p.push_back(book->Page(i));
    for (int i = 0; i < 4; ++i)
        Touch(*p[i]);
    EXPECT_EQ(SlotCursor(), 4);

    // A new pass. Touching a page that is in a slot only marks it.
    ClearSlotMarks();
    const std::uint32_t* pixels = p[1]->large.Pixels();
    Touch(*p[1]);
    EXPECT_EQ(p[1]->large.Pixels(), pixels);
    EXPECT_EQ(SlotCursor(), 4);
    // The cursor past the last slot: the lowest unmarked slot, 0.
    Touch(*p[5]);
    EXPECT_EQ(SlotPage(0), p[5]);
    EXPECT_TRUE(p[0]->large.Empty());
    EXPECT_EQ(p[0]->large.Width(), 200);  // keeps its size, not its pixels
    EXPECT_EQ(SlotCursor(), 1);
    // Slots 0 and 1 marked, cursor at 1: the next page goes into slot 2.
    Touch(*p[4]);
    EXPECT_EQ(SlotPage(2), p[4]);
    EXPECT_TRUE(p[2]->large.Empty());
    EXPECT_EQ(SlotPage(1), p[1]);
    EXPECT_EQ(SlotCursor(), 3);
}

TEST_F(Books, TheEleventhDownloadIsIgnored) {
    PreviewSettings settings = GetPreviewSettings();
    settings.previewRoot = L"http://127.0.0.1:1/previews";
    SetPreviewSettings(settings);
    ZAZLayout layout;
    auto book = Book(12, &layout);
    for (int i = 0; i < 11; ++i)
        QueueDownload(*book->Page(i));
    EXPECT_EQ(QueuedDownloads(), kDownloadQueueSize);
    EXPECT_FALSE(PageFileAvailable(*book->Page(0)));
    StopDownloadThread();
}

TEST_F(Books, PagesBelowZeroAndPastTheEnd) {
    ZAZLayout layout;
    auto book = Book(3, &layout);
    EXPECT_EQ(book->Page(-3), book->Page(0));
    EXPECT_EQ(book->Page(0)->pageNumber, 1);
    ZAZImage* icon = book->Page(3);
    EXPECT_EQ(icon, book->iconPage);
    EXPECT_EQ(icon->sourcePath, L".pdf");
    // Documents whose extensions differ in case share the icon page.
    ZAZObject other(L"/x/OTHER.PDF", L"", &layout, L"", false);
    EXPECT_EQ(other.Page(0), icon);
}

TEST_F(Books, BuildingLoadsTheFirstPagesUpToTheLimit) {
    const std::wstring document = WideRoot() + L"\\docs\\five.pdf";
    WritePreview(document, 5, "**ZAZPreviewStatus:Success\r\n");
    ZAZLayout layout;
    auto loaded = [&](int limit) {
        ZAZObject book(document, L"", &layout, L"", false);
        EXPECT_TRUE(RefreshPageList(book, limit, nullptr));
        EXPECT_EQ(book.PageCount(), 5);
        EXPECT_EQ(book.notDisplayable, 0);
        EXPECT_EQ(book.loadState, 3);
        int count = 0;
        for (auto& page : *book.pages)
            count += page && page->small.HoldsOwnPixels();
        EXPECT_EQ(count, book.loadedPageCount);
        return count;
    };
    EXPECT_EQ(loaded(3), 3);
    EXPECT_EQ(loaded(0), 1);
    EXPECT_EQ(loaded(-1), 5);
}

TEST_F(Books, AGivenBackPictureKeepsTheBookShapeUntilItIsReadAgain) {
    const std::wstring document = WideRoot() + L"\\docs\\tall.pdf";
    WritePreview(document, 2, "**ZAZPreviewStatus:Success\r\n");
    ZAZLayout layout;
    ZAZObject book(document, L"", &layout, L"", false);
    ASSERT_TRUE(RefreshPageList(book, 1, nullptr));
    book.Relayout();
    const RECT shaped = book.Bounds();

    KeepSmallPictures(book, nullptr, nullptr, nullptr, nullptr);
    ZAZImage* first = (*book.pages)[0].get();
    EXPECT_TRUE(book.loadedSmall.empty());
    EXPECT_FALSE(first->small.HoldsOwnPixels());
    book.Relayout();
    const RECT released = book.Bounds();
    EXPECT_EQ(released.right - released.left, shaped.right - shaped.left);
    EXPECT_EQ(released.bottom - released.top, shaped.bottom - shaped.top);

    KeepSmallPictures(book, first, nullptr, nullptr, nullptr);
    EXPECT_TRUE(first->small.HoldsOwnPixels());
    EXPECT_EQ(first->small.Width(), 40);
    ASSERT_EQ(book.loadedSmall.size(), 1u);
}

TEST_F(Books, APreviewThatIsNotReadyShowsItsPlaceholder) {
    const std::wstring waiting = WideRoot() + L"\\docs\\queued.pdf";
    WritePreview(waiting, 0, "**ZAZPreviewStatus:Waiting\r\n");
    ZAZLayout layout;
    ZAZObject book(waiting, L"", &layout, L"", false);
    EXPECT_FALSE(RefreshPageList(book, 1, nullptr));  // normal mode: ask again later
    ASSERT_EQ(book.PageCount(), 1);
    const PixelBuffer* picture = PlaceholderPicture(kPlaceholderWaiting);
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(book.Page(0)->small.Pixels(), picture->Pixels());
    EXPECT_EQ(book.notDisplayable, kPreviewWaiting);
    // The same status again changes nothing.
    EXPECT_FALSE(RefreshPageList(book, 1, nullptr));

    const std::wstring failed = WideRoot() + L"\\docs\\broken.pdf";
    WritePreview(failed, 0, "**ZAZPreviewStatus:Failed\r\n");
    ZAZObject broken(failed, L"", &layout, L"", false);
    EXPECT_FALSE(RefreshPageList(broken, 1, nullptr));
    EXPECT_EQ(broken.Page(0)->small.Pixels(), PlaceholderPicture(kPlaceholderFailed)->Pixels());
    EXPECT_FALSE(RefreshPageList(broken, 1, nullptr));
}

TEST_F(Books, InEValueModeAWaitingPreviewShowsNoImageAndIsFinal) {
    PreviewSettings settings = GetPreviewSettings();
    settings.folderMode = L"eValueNS";
    settings.eValueNSMode = true;
    SetPreviewSettings(settings);
    const std::wstring key = WideRoot() + L"\\docs\\K0001";
    WritePreview(key, 0, "**ZAZPreviewStatus:Waiting\r\n");
    ZAZLayout layout;
    ZAZObject book(key, L"", &layout, L"", false);
    EXPECT_TRUE(RefreshPageList(book, 1, nullptr));
    ASSERT_EQ(book.PageCount(), 1);
    EXPECT_EQ(book.Page(0)->small.Pixels(), PlaceholderPicture(kPlaceholderNoImage)->Pixels());
    EXPECT_EQ(book.notDisplayable, kPlaceholderNoImage);
    EXPECT_EQ(book.listStage, 3);
}

TEST_F(Books, VisiblePagesAtRestAndTurning) {
    ZAZLayout layout;
    auto book = Book(6, &layout);
    book->flipState = kFlipNext;
    book->pagePosition = 0;
    VisiblePages v = book->Visible();
    EXPECT_EQ(v.restingLeft, nullptr);
    EXPECT_EQ(v.restingRight, book->Page(0));

    book->pagePosition = 2;
    v = book->Visible();
    EXPECT_EQ(v.restingLeft, book->Page(1));
    EXPECT_EQ(v.restingRight, book->Page(2));
    EXPECT_EQ(v.first, 1);
    EXPECT_EQ(v.last, 2);

    book->pagePosition = 3;
    book->flipProgress = 0.5;
    v = book->Visible();
    EXPECT_EQ(v.restingLeft, book->Page(1));
    EXPECT_EQ(v.turningLeft, book->Page(3));
    EXPECT_EQ(v.restingRight, book->Page(4));
    EXPECT_EQ(v.leftProgress, 0.5);

    book->flipState = kClosed;
    v = book->Visible();
    EXPECT_EQ(v.restingRight, book->Page(0));
    EXPECT_EQ(v.restingLeft, nullptr);
}

TEST_F(Books, GeometryBoundsAndPagePoints) {
    ZAZLayout layout;
    layout.rightStitch = 0;
    layout.singlePage = 0;
    ZAZObject book(L"/x/a.pdf", L"", &layout, L"", false);
    book.LayOut(724, 1024);
    EXPECT_EQ(book.T.x - book.S.x, 106);
    EXPECT_EQ(book.B.y - book.S.y, 150);

    // A one-page book in two-page mode: from the spine to its free edge.
    book.pages.emplace();
    book.pages->push_back(std::make_unique<ZAZImage>(book.path, L"", 1, FixturePicture(1, 72, 100)));
    book.x = 200;
    book.y = 10;
    book.Relayout();
    RECT left = book.Bounds();
    EXPECT_EQ(left.left, book.S.x);
    EXPECT_EQ(left.right, book.T.x);
    layout.rightStitch = 1;
    book.Relayout();
    RECT right = book.Bounds();
    EXPECT_EQ(right.left, book.L.x);
    EXPECT_EQ(right.right, book.S.x);
    EXPECT_EQ(right.right - right.left, left.right - left.left);

    // The point in the middle of the right page.
    layout.rightStitch = 0;
    auto pages = Book(4, &layout);
    pages->flipState = kFlipNext;
    pages->pagePosition = 2;
    POINT centre{(pages->S.x + pages->T.x) / 2, (pages->S.y + pages->B.y) / 2};
    std::optional<PagePoint> at = pages->PointOnPage(centre);
    ASSERT_TRUE(at);
    EXPECT_EQ(at->page, pages->Page(2));
    EXPECT_NEAR(at->x, 500, 10);
    EXPECT_NEAR(at->y, 500, 10);
    EXPECT_EQ(pages->SideHit(centre), 1);
    EXPECT_EQ(pages->SideHit(POINT{pages->T.x + 50, centre.y}), 2);
}

TEST_F(Books, ABookFarAboveTheBufferIsNotDrawn) {
    ZAZLayout layout;
    auto book = Book(2, &layout);
    book->y = -101 - layout.pageHeight;
    book->Relayout();
    ASSERT_EQ(book->B.y, -101);
    auto target = PixelBuffer::Create(300, 200);
    std::fill_n(target->Pixels(), target->PixelCount(), 0x123456u);
    book->Draw(target.get(), false, kDrawAll, false);
    EXPECT_TRUE(std::all_of(target->Pixels(), target->Pixels() + target->PixelCount(),
                            [](std::uint32_t p) { return p == 0x123456u; }));
}

// Golden pictures: a book drawn from fixture pages in its main states.
class Golden : public Books {
protected:
    static void Check(const std::string& name, const PixelBuffer& made) { test::ExpectMatchesGolden(name, made); }

    std::unique_ptr<PixelBuffer> Frame() {
        auto frame = PixelBuffer::Create(480, 300);
        std::fill_n(frame->Pixels(), frame->PixelCount(), 0xC0C0C0u);
        return frame;
    }

    // An open book as the zoomed view lays it out.
    ZAZLayout Zoomed(bool rightStitch, bool singlePage) {
        ZAZLayout layout;
        layout.pageWidth = 180;
        layout.pageHeight = 250;
        layout.openWidth = singlePage ? 0 : 180;
        layout.leafLift = 0;
        layout.openFactor = singlePage ? 0.0 : 1.0;
        layout.rightStitch = rightStitch;
        layout.singlePage = singlePage;
        return layout;
    }

    std::unique_ptr<PixelBuffer> Draw(ZAZLayout& layout, ZAZObjectFlipAction state, int position, double progress) {
        auto book = Book(6, &layout);
        book->x = 240;
        book->y = 25;
        book->flipState = state;
        book->pagePosition = position;
        book->flipProgress = progress;
        book->Relayout();
        auto frame = Frame();
        book->Draw(frame.get(), false, kDrawAll, true);
        return frame;
    }
};

TEST_F(Golden, ClosedOpenAndTurning) {
    ZAZLayout open = Zoomed(false, false);
    Check("book-closed", *Draw(open, kClosed, 0, 0));
    Check("book-open", *Draw(open, kFlipNext, 2, 0));
    Check("book-turning-25", *Draw(open, kFlipNext, 2, 0.25));
    Check("book-turning-50", *Draw(open, kFlipNext, 2, 0.5));
    Check("book-turning-75", *Draw(open, kFlipNext, 2, 0.75));
}

TEST_F(Golden, BindingsAndSinglePages) {
    ZAZLayout right = Zoomed(true, false);
    Check("book-bound-right", *Draw(right, kFlipPrevious, 2, 0));
    ZAZLayout halfOpen;  // the desk's half-open perspective
    halfOpen.rightStitch = 0;
    halfOpen.singlePage = 0;
    halfOpen.pageWidth = 180;
    halfOpen.pageHeight = 250;
    Check("book-desk-half-open", *Draw(halfOpen, kFlipNext, 2, 0));
    ZAZLayout single = Zoomed(false, true);
    Check("book-single-page", *Draw(single, kFlipNext, 2, 0));
}

}  // namespace
}  // namespace zov
