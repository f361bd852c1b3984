#include "tests/viewer/ViewerFixture.h"

#include "platform/FileSystem.h"
#include "render/ZAZSticky.h"

#include <filesystem>
#include <fstream>

namespace zov {
namespace {

// Notes on the zoomed book through the pointer, as a reader handles them.
class Notes : public test::ViewerFixture {
protected:
    ZAZObject* ZoomedBook() {
        std::vector<ZAZObject*> books = LoadBooks(1);
        ZAZObject* book = books.front();
        ZoomInto(book);
        while (Step()) {
        }
        return book;
    }

    // Where on screen the hit test finds `note` in `zone`: the first such
    // point of a scan over the zoomed book.
    std::optional<POINT> Find(const ZAZSticky* note, std::int32_t zone) {
        ViewLock lock;
        const RECT box = viewer_->ZoomedObject()->Bounds();
        for (std::int32_t y = box.top; y < box.bottom; y += 2)
            for (std::int32_t x = box.left; x < box.right; x += 2) {
                const NoteHitTest hit = viewer_->NoteHit(POINT{x, y});
                if (hit.note == note && hit.zone == zone)
                    return POINT{x, y};
            }
        return std::nullopt;
    }

    ZAZSticky* OnlyNote(ZAZObject& book) {
        LockGuard guard(DocumentLock());
        if (!book.notes || book.notes->size() != 1)
            return nullptr;
        return book.notes->front().get();
    }

    std::string StickyBytes(const ZAZObject& book) {
        std::ifstream in(NativePath(StickyFilePath(book.path)), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    void Drag(POINT from, POINT to) {
        viewer_->PointerDown(from.x, from.y);
        viewer_->PointerMove(MK_LBUTTON, (from.x + to.x) / 2, (from.y + to.y) / 2);
        viewer_->PointerMove(MK_LBUTTON, to.x, to.y);
        viewer_->PointerUp(to.x, to.y, 0);
    }

    // A note added from the context menu in the middle of the right page.
    ZAZSticky* AddNote(ZAZObject& book) {
        viewer_->AddNoteAt(RightPage(book));
        return OnlyNote(book);
    }

    static POINT RightPage(const ZAZObject& book) { return POINT{(book.S.x + book.T.x) / 2, (book.T.y + book.B.y) / 2}; }
};

TEST_F(Notes, ANoteAddedAtAPointIsSavedShownWithItsCursorsAndMovedByDragging) {
    ZAZObject* book = ZoomedBook();
    ZAZSticky* note = AddNote(*book);
    ASSERT_NE(note, nullptr);
    EXPECT_EQ(note->page, 1);
    EXPECT_NEAR(note->x, 500, 2);
    EXPECT_NEAR(note->y, 500, 2);
    EXPECT_EQ(note->pinX, note->x - 40);
    EXPECT_EQ(note->pinY, note->y + 120);
    EXPECT_EQ(StickyBytes(*book).substr(0, 12), "%STICKY 1\r\r\n");

    // The body shows the arrow, the left edge the sizing cursor.
    std::optional<POINT> body = Find(note, kZoneBody);
    std::optional<POINT> left = Find(note, kZoneLeft);
    ASSERT_TRUE(body && left);
    viewer_->PointerMove(0, body->x, body->y);
    EXPECT_EQ(viewer_->PointerCursor(), IDC_ARROW);
    viewer_->PointerMove(0, left->x, left->y);
    EXPECT_EQ(viewer_->PointerCursor(), IDC_SIZEWE);
    viewer_->PointerMove(0, 2, 2);
    EXPECT_EQ(viewer_->PointerCursor(), 0);

    // Moving the body moves the note and saves where it was left; the book
    // does not pan meanwhile.
    const std::int32_t panX = book->panX;
    const std::int32_t x = note->x;
    const std::int32_t y = note->y;
    Drag(*body, POINT{body->x - 20, body->y + 10});
    EXPECT_EQ(book->panX, panX);
    EXPECT_LT(note->x, x);
    EXPECT_GT(note->y, y);
    EXPECT_FALSE(note->deleted);
    const NoteList saved = ParseStickyFile(StickyBytes(*book));
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved.front()->x, note->x);
    EXPECT_EQ(saved.front()->y, note->y);
}

TEST_F(Notes, ANoteJustSavedAndHeldByThePointerIsNotReadBackUnderIt) {
    ZAZObject* book = ZoomedBook();
    ZAZSticky* note = AddNote(*book);
    ASSERT_NE(note, nullptr);
    std::optional<POINT> body = Find(note, kZoneBody);
    ASSERT_TRUE(body);
    viewer_->PointerDown(body->x, body->y);
    // Update steps well past the notes' refresh while the button is down.
    for (int i = 0; i < 10; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        Step();
    }
    EXPECT_EQ(OnlyNote(*book), note) << "the saved note was read back";
    const std::int32_t panX = book->panX;
    const std::int32_t x = note->x;
    viewer_->PointerMove(MK_LBUTTON, body->x - 30, body->y);
    viewer_->PointerUp(body->x - 30, body->y, 0);
    EXPECT_EQ(book->panX, panX) << "the drag panned the book instead of moving the note";
    EXPECT_LT(note->x, x);
    EXPECT_EQ(ParseStickyFile(StickyBytes(*book)).front()->x, note->x);
}

TEST_F(Notes, AResizeStopsAtTheSmallestNoteAndAPinMovesOnItsOwn) {
    ZAZObject* book = ZoomedBook();
    ZAZSticky* note = AddNote(*book);
    ASSERT_NE(note, nullptr);
    const std::int32_t x = note->x;
    std::optional<POINT> right = Find(note, kZoneRight);
    ASSERT_TRUE(right);
    // Far to the left: the width would go below nothing.
    Drag(*right, POINT{right->x - 400, right->y});
    EXPECT_EQ(note->width, kMinNoteSize);
    EXPECT_EQ(note->x, x);

    std::optional<POINT> pin = Find(note, kZonePin);
    ASSERT_TRUE(pin);
    const std::int32_t pinY = note->pinY;
    Drag(*pin, POINT{pin->x, pin->y + 30});
    EXPECT_GT(note->pinY, pinY);
    EXPECT_EQ(note->x, x);
}

TEST_F(Notes, ANoteDraggedOffTheBookIsGoneOnceSavedAndItsFileWithIt) {
    ZAZObject* book = ZoomedBook();
    ZAZSticky* note = AddNote(*book);
    ASSERT_NE(note, nullptr);
    ASSERT_TRUE(std::filesystem::exists(NativePath(StickyFilePath(book->path))));
    std::optional<POINT> body = Find(note, kZoneBody);
    ASSERT_TRUE(body);
    const RECT box = book->Bounds();
    // Right past the book's outer edge: off the book.
    Drag(*body, POINT{box.right + 300, body->y});
    EXPECT_TRUE(note->deleted);
    EXPECT_FALSE(std::filesystem::exists(NativePath(StickyFilePath(book->path))));
}

TEST_F(Notes, AClickOnANoteOpensItsDialogAndOkKeepsTheLinesTrimmed) {
    ZAZObject* book = ZoomedBook();
    ZAZSticky* note = AddNote(*book);
    ASSERT_NE(note, nullptr);
    std::optional<POINT> body = Find(note, kZoneBody);
    ASSERT_TRUE(body);
    viewer_->PointerDown(body->x, body->y);
    viewer_->PointerUp(body->x, body->y, 0);
    ASSERT_TRUE(Eventually([this] {
        std::optional<HeadlessWindow::ShownDialog> shown = window_->OpenDialog();
        return shown && shown->dialog.resource == 280;
    }));
    const HeadlessWindow::ShownDialog shown = *window_->OpenDialog();
    EXPECT_EQ(shown.dialog.title, L"付箋情報");
    ASSERT_TRUE(window_->PressDialogButton(shown.handle, IDOK, {{253, L"first line\n\nthird  \n \n"}}));
    ASSERT_TRUE(Eventually([&] {
        LockGuard guard(DocumentLock());
        return note->text == L"first line\r\n\r\nthird";
    }));
    EXPECT_NE(StickyBytes(*book).find("first line\r\r\n\r\r\nthird\r\r\n%EOF"), std::string::npos);
}

TEST_F(Notes, ANoteFileRewrittenByAnotherViewerIsReadAtTheNextUpdateSteps) {
    ZAZObject* book = ZoomedBook();
    viewer_->AddNoteAt(RightPage(*book));
    ASSERT_NE(OnlyNote(*book), nullptr);
    // Another viewer of the same user saves two notes of its own.
    const std::string theirs = "%STICKY 1\r\r\n1 0000FF 100 100 220 80 11 60 220\r\r\nred\r\r\n"
                               "%STICKY 2\r\r\n2 00FF00 300 300 220 80 11 260 420\r\r\ngreen\r\r\n%EOF";
    const std::string path = NativePath(StickyFilePath(book->path));
    {
        std::ofstream out(path + ".new", std::ios::binary);
        out << theirs;
    }
    std::filesystem::rename(path + ".new", path);
    std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) + std::chrono::seconds(2));
    ASSERT_TRUE(Eventually([&] {
        Step();
        LockGuard guard(DocumentLock());
        return book->notes && book->notes->size() == 2;
    }));
    LockGuard guard(DocumentLock());
    EXPECT_EQ(book->notes->at(0)->text, L"red");
    EXPECT_EQ(book->notes->at(1)->page, 2);
}

}  // namespace
}  // namespace zov
