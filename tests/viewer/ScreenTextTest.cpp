#include "tests/viewer/ViewerFixture.h"

#include "control/PageTexts.h"

#include <chrono>
#include <thread>

namespace zov {
namespace {

class ScreenText : public test::ViewerFixture {
protected:
    static std::optional<OpenPageTexts> Wait(PageTextReader& reader) {
        for (int i = 0; i < 500; ++i) {
            if (std::optional<OpenPageTexts> texts = reader.Take())
                return texts;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return std::nullopt;
    }
};

TEST_F(ScreenText, TheDeskIsNamedInOrderWithPointsThatOpenItsBooks) {
    const std::vector<std::wstring> paths = {Document("alpha.pdf"), Document("beta.pdf")};
    WriteTextPreview(paths[0], {"one", "two", "three"});
    WriteTextPreview(paths[1], {"solo"});
    std::vector<ZAZObject*> books = LoadComplete(paths);
    ASSERT_EQ(books.size(), 2u);
    {
        ViewLock lock;
        books[1]->selected = true;
    }

    ScreenSummary desk = viewer_->Summarise();
    ASSERT_EQ(desk.books.size(), 2u);
    EXPECT_EQ(desk.books[0].caption, L"alpha.pdf");
    EXPECT_EQ(desk.books[0].pages, 3);
    EXPECT_FALSE(desk.books[0].selected);
    EXPECT_EQ(desk.books[1].caption, L"beta.pdf");
    EXPECT_EQ(desk.books[1].pages, 1);
    EXPECT_TRUE(desk.books[1].selected);
    EXPECT_EQ(desk.zoomed, -1);
    EXPECT_TRUE(desk.openPages.empty());
    // The point a reader's choice clicks lies on the book, and a click there
    // is one the viewer takes for that book.
    const DescribedBook& first = desk.books[0];
    EXPECT_GE(first.click.x, first.bounds.left);
    EXPECT_LT(first.click.x, first.bounds.right);
    EXPECT_GE(first.click.y, first.bounds.top);
    EXPECT_LT(first.click.y, first.bounds.bottom);
    EXPECT_TRUE(viewer_->HitTest(first.click.x, first.click.y));
    EXPECT_EQ(viewer_->CurrentObjectPoint(), std::optional<POINT>(first.click));

    ZoomInto(books[0]);
    ScreenSummary zoomed = viewer_->Summarise();
    EXPECT_EQ(zoomed.zoomed, 0);
    EXPECT_EQ(zoomed.zoomedPath, paths[0]);
    EXPECT_EQ(zoomed.openPages, std::vector<std::int32_t>{1});
    EXPECT_EQ(viewer_->CurrentObjectPoint(), std::nullopt) << "nothing to open while zoomed";
    viewer_->JumpZoomedToPage(2);
    for (int i = 0; i < 200 && viewer_->Summarise().openPages.size() < 2; ++i)
        Step();
    EXPECT_EQ(viewer_->Summarise().openPages, (std::vector<std::int32_t>{2, 3}));
}

TEST_F(ScreenText, PageTextsAreReadApartCutAtTheirBoundAndOnlyTheNewestRequestAnswers) {
    const std::wstring path = Document("long.pdf");
    WriteTextPreview(path, {"first page", std::string(kMaxDescribedText + 500, 'x'), ""});
    PageTextReader reader;
    reader.Request(PagesFacingUp{path, {1}});
    reader.Request(PagesFacingUp{path, {2, 3}});
    std::optional<OpenPageTexts> texts = Wait(reader);
    ASSERT_TRUE(texts);
    EXPECT_EQ(texts->which, (PagesFacingUp{path, {2, 3}}));
    ASSERT_EQ(texts->pages.size(), 2u);
    EXPECT_EQ(texts->pages[0].number, 2);
    EXPECT_EQ(texts->pages[0].text.size(), kMaxDescribedText);
    EXPECT_EQ(texts->pages[1].number, 3);
    EXPECT_EQ(texts->pages[1].text, L"") << "a page without text";
    EXPECT_FALSE(reader.Take()) << "an answer is taken once";

    reader.Request(PagesFacingUp{path, {1}});
    texts = Wait(reader);
    ASSERT_TRUE(texts);
    ASSERT_EQ(texts->pages.size(), 1u);
    EXPECT_EQ(texts->pages[0].text.substr(0, 10), L"first page");

    // A document that is not there answers with empty texts, not with nothing.
    reader.Request(PagesFacingUp{Document("missing.pdf"), {1}});
    texts = Wait(reader);
    ASSERT_TRUE(texts);
    ASSERT_EQ(texts->pages.size(), 1u);
    EXPECT_TRUE(texts->pages[0].text.empty());
}

}  // namespace
}  // namespace zov
