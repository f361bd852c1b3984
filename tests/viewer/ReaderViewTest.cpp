// What a reader sees of pictures, icon and placeholder pages, turning
// leaves and full-resolution pages, and that a slow server freezes nothing.
#include "tests/viewer/ViewerFixture.h"

#include "documents/FileTypes.h"
#include "documents/PreviewSource.h"
#include "render/PageList.h"
#include "render/Placeholders.h"
#include "tests/support/TestHttpServer.h"

#include <chrono>
#include <future>

namespace zov {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kRed = 0xFF0000;
constexpr std::uint32_t kGreen = 0x00FF00;
constexpr std::uint32_t kBlue = 0x0000FF;
constexpr std::uint32_t kDesk = 0xC0C0C0;

std::string AsText(const std::vector<std::uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

bool Near(std::uint32_t pixel, std::uint32_t colour, int tolerance) {
    for (int shift : {16, 8, 0}) {
        const int a = static_cast<int>(pixel >> shift & 0xFF);
        const int b = static_cast<int>(colour >> shift & 0xFF);
        if (std::abs(a - b) > tolerance)
            return false;
    }
    return true;
}

std::uint32_t HalfWay(std::uint32_t a, std::uint32_t b) {
    std::uint32_t mixed = 0;
    for (int shift : {16, 8, 0})
        mixed |= (((a >> shift & 0xFF) + (b >> shift & 0xFF)) / 2) << shift;
    return mixed;
}

class ReaderView : public test::ViewerFixture {
protected:
    // A finished preview whose page n is all colours[n - 1]; the preferred
    // picture of every page, read for the zoomed book, is `detail`.
    void WriteColouredPreview(const std::wstring& document, const std::vector<std::uint32_t>& colours,
                              std::optional<std::uint32_t> detail = std::nullopt) {
        PreviewSettings settings = GetPreviewSettings();
        std::wstring first = PageFilePath(document, 1, settings);
        ASSERT_TRUE(CreateFolderTree(first.substr(0, first.rfind(L'\\'))));
        for (std::size_t n = 1; n <= colours.size(); ++n) {
            PageFileContent content;
            content.imageType = 3;
            content.image1 = PageFileImage{60, 84, 0, SolidPng(60, 84, colours[n - 1])};
            if (detail)
                content.image2 = PageFileImage{300, 420, 0, SolidPng(300, 420, *detail)};
            if (n == 1)
                content.pageList = std::vector<std::int32_t>(colours.size(), 1);
            ASSERT_TRUE(WritePageFile(PageFilePath(document, static_cast<std::int32_t>(n), settings), content));
        }
        ASSERT_TRUE(WriteFileAtomically(PageFilePath(document, kStatusFile, settings), "**ZAZPreviewStatus:Success"));
    }

    bool StepUntilDetailShown() {
        for (int i = 0; i < 1000 && !viewer_->detailShown; ++i) {
            Step();
            std::this_thread::sleep_for(2ms);
        }
        return viewer_->detailShown;
    }

    template <typename Predicate>
    int CountPixels(const RECT& area, Predicate match) const {
        ViewLock lock;
        const PixelBuffer& buffer = *viewer_->BackBuffer();
        const RECT clipped = IntersectRect(area, buffer.Bounds());
        int count = 0;
        for (std::int32_t y = clipped.top; y < clipped.bottom; ++y)
            for (std::int32_t x = clipped.left; x < clipped.right; ++x)
                count += match(buffer.At(x, y)) ? 1 : 0;
        return count;
    }

    int CountColour(const RECT& area, std::uint32_t colour) const {
        return CountPixels(area, [colour](std::uint32_t p) { return Near(p, colour, 8); });
    }

    std::vector<std::uint32_t> Snapshot(const RECT& area) const {
        ViewLock lock;
        const PixelBuffer& buffer = *viewer_->BackBuffer();
        const RECT clipped = IntersectRect(area, buffer.Bounds());
        std::vector<std::uint32_t> pixels;
        for (std::int32_t y = clipped.top; y < clipped.bottom; ++y)
            for (std::int32_t x = clipped.left; x < clipped.right; ++x)
                pixels.push_back(buffer.At(x, y));
        return pixels;
    }

    // Pixels that are one page colour seen half through another, or through
    // the desk: what a see-through leaf leaves.
    int SeeThrough(const RECT& area) const {
        int total = 0;
        for (std::uint32_t mix : {HalfWay(kRed, kBlue), HalfWay(kRed, kDesk), HalfWay(kBlue, kDesk)})
            total += CountColour(area, mix);
        return total;
    }

    void UseServerRoot(const test::TestHttpServer& server) {
        PreviewSettings settings = GetPreviewSettings();
        settings.previewRoot = FromUtf8(server.Url("/prev"));
        SetPreviewSettings(settings);
    }
};

TEST_F(ReaderView, APictureIsAOneBookPageOfItsOwnPixelsLocalOrFromAServerAndFullSizeWhenZoomed) {
    test::TestHttpServer server;
    const std::string bluePicture = AsText(SolidPng(1600, 1000, kBlue));
    server.Answer("/docs/harbour.png", 200, bluePicture, {{"Content-Type", "image/png"}});
    UseServerRoot(server);
    const std::wstring local = WideRoot() + L"\\docs\\sunset.png";
    ASSERT_TRUE(CreateFolderTree(WideRoot() + L"\\docs"));
    ASSERT_TRUE(WriteFileAtomically(local, AsText(SolidPng(800, 1200, kGreen))));
    const std::wstring remote = FromUtf8(server.Url("/docs/harbour.png"));
    const std::wstring broken = WideRoot() + L"\\docs\\broken.gif";
    ASSERT_TRUE(WriteFileAtomically(broken, "GIF89a but nothing else"));

    std::vector<ZAZObject*> books = LoadAll({local, remote, broken});
    ASSERT_EQ(books.size(), 3u);
    ASSERT_TRUE(Eventually([&] {
        ViewLock lock;
        return books[0]->loadState == 4 && books[1]->loadState == 4 && books[2]->loadState == 4;
    }));
    {
        ViewLock lock;
        for (ZAZObject* book : {books[0], books[1]}) {
            ASSERT_EQ(book->PageCount(), 1);
            const ZAZImage* page = book->Page(0);
            EXPECT_FALSE(IsPlaceholderPixels(page->small.Pixels()));
            EXPECT_LE(std::max(page->small.Width(), page->small.Height()), kPictureOverviewSide);
        }
        // The desk keeps the picture's shape.
        EXPECT_EQ(books[0]->Page(0)->small.Height(), kPictureOverviewSide);
        EXPECT_EQ(books[0]->Page(0)->small.Width(), 800 * kPictureOverviewSide / 1200);
        // Scaled down edge to edge: no pixel of it is left unwritten.
        const PixelBuffer& overview = books[0]->Page(0)->small;
        EXPECT_TRUE(std::all_of(overview.Pixels(), overview.Pixels() + overview.PixelCount(),
                                [](std::uint32_t p) { return Near(p, kGreen, 2); }));
        EXPECT_EQ(books[1]->Page(0)->small.Width(), kPictureOverviewSide);
        // A file that is no picture says so rather than showing nothing.
        ASSERT_EQ(books[2]->PageCount(), 1);
        EXPECT_EQ(books[2]->Page(0)->small.Pixels(), PlaceholderPicture(kPlaceholderCannotView)->Pixels());
    }
    viewer_->Render(kRenderFull);
    RECT first;
    RECT second;
    {
        ViewLock lock;
        first = books[0]->Bounds();
        second = books[1]->Bounds();
    }
    EXPECT_GT(CountColour(first, kGreen), first.Width() * first.Height() / 4);
    EXPECT_GT(CountColour(second, kBlue), second.Width() * second.Height() / 8);

    // Zoomed, the picture from the server is read whole.
    ZoomInto(books[1]);
    ASSERT_TRUE(StepUntilDetailShown());
    ASSERT_TRUE(viewer_->detailRight);
    EXPECT_EQ(viewer_->detailRight->Width(), 1600);
    EXPECT_EQ(viewer_->detailRight->Height(), 1000);
    // Fetched once, into the cache; no page files are asked for.
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests().front().target, "/docs/harbour.png");
    // The local one too, once the zoom moves on to it.
    ZoomInto(books[0]);
    ASSERT_TRUE(StepUntilDetailShown());
    ASSERT_TRUE(viewer_->detailRight);
    EXPECT_EQ(viewer_->detailRight->Height(), 1200);
}

TEST_F(ReaderView, ADocumentOfUnknownTypeShowsItsPreviewWhateverLaysTheDeskOutFirst) {
    std::vector<std::wstring> paths;
    for (int i = 0; i < 202; ++i) {
        const bool unknown = i == 100 || i == 201;
        paths.push_back(Document("doc" + std::to_string(i) + (unknown ? ".zzq" : ".pdf")));
        WriteColouredPreview(paths.back(), unknown ? std::vector<std::uint32_t>{kRed, kBlue, kRed}
                                                   : std::vector<std::uint32_t>{kGreen});
    }
    std::vector<ZAZObject*> books = LoadAll(paths);
    ASSERT_EQ(books.size(), 202u);
    for (int i : {100, 201}) {
        ASSERT_TRUE(Eventually([&] {
            ViewLock lock;
            return books[static_cast<std::size_t>(i)]->loadState == 4;
        }));
        ViewLock lock;
        EXPECT_EQ(books[static_cast<std::size_t>(i)]->fileType, kFileFolderToo) << i;
        EXPECT_EQ(books[static_cast<std::size_t>(i)]->notDisplayable, 0) << i;
        EXPECT_EQ(books[static_cast<std::size_t>(i)]->PageCount(), 3) << i;
    }
}

TEST_F(ReaderView, IconAndPlaceholderPagesSurviveTheirBookLeavingTheWindow) {
    std::vector<std::wstring> paths{Document("a.xyzw"), Document("b.XYZW"), Document("failed.pdf")};
    for (int i = 0; i < 40; ++i) {
        paths.push_back(Document("book" + std::to_string(i) + ".pdf"));
        WriteColouredPreview(paths.back(), {kGreen});
    }
    const std::wstring failed = Document("failed.pdf");
    const PreviewSettings settings = GetPreviewSettings();
    const std::wstring status = PageFilePath(failed, kStatusFile, settings);
    ASSERT_TRUE(CreateFolderTree(status.substr(0, status.rfind(L'\\'))));
    ASSERT_TRUE(WriteFileAtomically(status, "**ZAZPreviewStatus:Failed"));

    std::vector<ZAZObject*> books = LoadAll(paths);
    ASSERT_EQ(books.size(), 43u);
    viewer_->Render(kRenderFull);
    ZAZImage* icon = nullptr;
    std::vector<std::uint32_t> iconPixels;
    {
        ViewLock lock;
        icon = books[0]->Page(0);
        ASSERT_EQ(icon, books[1]->Page(0));  // one icon page per extension
        ASSERT_FALSE(icon->small.Empty());
        iconPixels.assign(icon->small.Pixels(), icon->small.Pixels() + icon->small.PixelCount());
        ASSERT_EQ(books[2]->PageCount(), 1);
        ASSERT_EQ(books[2]->Page(0)->small.Pixels(), PlaceholderPicture(kPlaceholderFailed)->Pixels());
    }

    // Down to the end of the desk and back, as the scroll bar takes it.
    for (std::int32_t position : {100000, 0}) {
        {
            ViewLock lock;
            viewer_->scrollY = position;
        }
        viewer_->Relayout();
        viewer_->Render(kRenderFull);
        if (position) {
            ViewLock lock;
            ASSERT_LT(books[0]->Bounds().bottom, 0) << "the first row must have left the window";
            ASSERT_TRUE(books[3]->Page(0)->small.Shared()) << "a page of a preview gives its picture up";
        }
    }
    ViewLock lock;
    ASSERT_EQ(books[0]->Page(0), icon);
    EXPECT_NE(icon->small.Pixels(), PixelBuffer::WhitePage().Pixels());
    EXPECT_TRUE(std::equal(iconPixels.begin(), iconPixels.end(), icon->small.Pixels()));
    EXPECT_EQ(books[2]->Page(0)->small.Pixels(), PlaceholderPicture(kPlaceholderFailed)->Pixels());
    EXPECT_TRUE(books[3]->Page(0)->small.HoldsOwnPixels()) << "and loads it again when it shows";
}

TEST_F(ReaderView, ATurningLeafHidesWhatLiesUnderItInEveryFrame) {
    const std::wstring path = Document("colours.pdf");
    WriteColouredPreview(path, {kRed, kBlue, kRed, kBlue, kRed, kBlue, kRed, kBlue});
    std::vector<ZAZObject*> books = LoadAll({path, Document("other.pdf")});
    ZAZObject* book = books.front();
    ASSERT_TRUE(Eventually([&] {
        ViewLock lock;
        return book->loadState == 4;
    }));

    // On the desk, in each mode that draws desk books.
    for (int mode : {kRenderDraft, kRenderFull, kRenderAsLast}) {
        RECT box;
        {
            ViewLock lock;
            book->flipState = kFlipNext;
            book->pagePosition = 2;
            book->flipProgress = 0.5;
            box = book->Bounds();
        }
        viewer_->Render(mode);
        EXPECT_LT(SeeThrough(box), box.Width() * box.Height() / 50) << mode;
    }
    {
        ViewLock lock;
        book->pagePosition = 0;
        book->flipProgress = 0.0;
    }

    // Zoomed, through a whole turn as the update step draws it.
    ZoomInto(book);
    viewer_->RequestFlip(kFlipNext);
    int frames = 0;
    for (int i = 0; i < 100 && Step(); ++i) {
        RECT box;
        {
            ViewLock lock;
            box = book->Bounds();
        }
        ++frames;
        EXPECT_LT(SeeThrough(box), box.Width() * box.Height() / 50)
            << "frame " << frames;
    }
    EXPECT_GT(frames, 3);
}

TEST_F(ReaderView, ACaptionChangeWhileZoomedLeavesTheZoomedBookAlone) {
    std::vector<std::wstring> paths;
    for (int i = 0; i < 8; ++i) {
        paths.push_back(Document("book" + std::to_string(i) + ".pdf"));
        WriteColouredPreview(paths.back(), {kGreen, kBlue, kRed});
    }
    std::vector<ZAZObject*> books = LoadAll(paths);
    ZoomInto(books[0]);
    RECT box;
    {
        ViewLock lock;
        box = books[0]->Bounds();
    }
    const std::vector<std::uint32_t> before = Snapshot(box);
    // What a click on the zoomed book's selection box redraws.
    {
        ViewLock lock;
        books[0]->selected = true;
    }
    viewer_->Render(kRenderCaptions);
    EXPECT_TRUE(Snapshot(box) == before);
}

TEST_F(ReaderView, FullPagesStayThroughRedrawsOfTheSameSpread) {
    const std::wstring path = Document("detail.pdf");
    WriteColouredPreview(path, {kGreen, kGreen, kGreen, kGreen}, kRed);
    std::vector<ZAZObject*> books = LoadAll({path});
    ZoomInto(books[0]);
    ASSERT_TRUE(StepUntilDetailShown());
    RECT box;
    {
        ViewLock lock;
        box = books[0]->Bounds();
    }
    const int full = CountColour(box, kRed);
    ASSERT_GT(full, 1000);
    // A wheel notch or a pan redraws the book at once.
    for (int redraw = 0; redraw < 3; ++redraw) {
        viewer_->Render(kRenderFull);
        EXPECT_TRUE(viewer_->detailShown);
        EXPECT_GT(CountColour(box, kRed), full * 9 / 10);
    }
}

TEST_F(ReaderView, OpenPagesGivesUpOnAListThatNeverArrives) {
    const std::wstring path = Document("one.pdf");
    WriteColouredPreview(path, {kGreen});
    std::vector<ZAZObject*> books = LoadAll({path});
    viewer_->listLoaded = false;  // a list handed over that the loader never takes
    auto call = std::async(std::launch::async, [this] { viewer_->OpenPagesList(L"3"); });
    EXPECT_EQ(call.wait_for(30s), std::future_status::ready);
    EXPECT_EQ(viewer_->Objects(), books);
}

TEST_F(ReaderView, ASlowServerHoldsNeitherTheDeskNorANewList) {
    test::TestHttpServer server;
    server.Route("/prev*", [](const test::TestRequest&) {
        test::TestResponse stalled;
        stalled.stall = true;
        return stalled;
    });
    UseServerRoot(server);
    viewer_->LoadFileList(Files({FromUtf8(server.Url("/docs/notes.zzq"))}));
    ASSERT_TRUE(Eventually([&] { return !server.Requests().empty(); }));

    // The loader waits for the server; drawing and a new list do not.
    auto render = std::async(std::launch::async, [this] { viewer_->Render(kRenderFull); });
    EXPECT_EQ(render.wait_for(5s), std::future_status::ready);
    auto list = std::async(std::launch::async, [this] { viewer_->LoadFileList(Files({Document("x.pdf")})); });
    EXPECT_EQ(list.wait_for(5s), std::future_status::ready);
    render.wait();
    list.wait();
}

TEST_F(ReaderView, AFullPageStillDownloadingIsCalledOffNotWaitedFor) {
    test::TestHttpServer server;
    const std::string picture = AsText(SolidPng(400, 300, kBlue));
    std::atomic<int> firstAsked{0};
    server.Route("/docs/first.png", [&](const test::TestRequest&) {
        // Served once for the desk; the zoomed book's full page never comes.
        if (firstAsked++ == 0)
            return test::Reply(200, picture, {{"Content-Type", "image/png"}});
        test::TestResponse stalled;
        stalled.stall = true;
        return stalled;
    });
    server.Answer("/docs/second.png", 200, picture, {{"Content-Type", "image/png"}});
    UseServerRoot(server);
    const std::wstring first = FromUtf8(server.Url("/docs/first.png"));
    const std::wstring second = FromUtf8(server.Url("/docs/second.png"));
    std::vector<ZAZObject*> books = LoadAll({first, second});
    ASSERT_TRUE(Eventually([&] {
        ViewLock lock;
        return books[0]->loadState == 4 && books[1]->loadState == 4;
    }));
    ASSERT_TRUE(RemoveFile(LocalFileCopyPath(first, GetPreviewSettings())));

    ZoomInto(books[0]);
    for (int i = 0; i < 1000 && firstAsked < 2; ++i) {
        Step();
        std::this_thread::sleep_for(2ms);
    }
    ASSERT_EQ(firstAsked, 2);
    ASSERT_TRUE(viewer_->detailLoading);

    // The next book: its full page comes while the first is still stuck.
    ASSERT_TRUE(viewer_->NextObject(true));
    for (int i = 0; i < 1000 && !viewer_->detailShown; ++i) {
        const auto start = Clock::now();
        Step();
        ASSERT_LT(Clock::now() - start, 2s) << "a step waited for the stuck download";
        std::this_thread::sleep_for(2ms);
    }
    EXPECT_TRUE(viewer_->detailShown);
    EXPECT_EQ(viewer_->detailWantedRight.source, second);
}

}  // namespace
}  // namespace zov
