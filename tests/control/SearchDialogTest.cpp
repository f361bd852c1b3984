#include "tests/viewer/ViewerFixture.h"

#include "control/Toolbar.h"
#include "dialogs/Dialogs.h"

#include <atomic>

namespace zov {
namespace {

using test::ViewerFixture;

// The search dialog and the page's search calls, on a real viewer in a
// control in a headless window.
class SearchFace : public ViewerFixture {
protected:
    void SetUpIn(const std::wstring& language) {
        OnWindow([&](CZOVuvazaRCtrl& c) {
            return c.SetUp(language, L"C0C0C0", true, L"", WideRoot() + L"\\previews", L"Folder", false);
        });
    }

    // Books with page texts; `old` ones in the first page file format,
    // which has no text to search.
    std::vector<ZAZObject*> LoadTexts(int books, int old = 0) {
        std::vector<std::wstring> paths;
        for (int i = 0; i < books + old; ++i) {
            paths.push_back(Document("guide" + std::to_string(i) + ".pdf"));
            WriteTextPreview(paths.back(), Texts(10, "kiwi", {7}), i < books ? 3 : 1);
        }
        return LoadAll(paths);
    }

    HeadlessWindow::ShownDialog SearchDialog() {
        for (const HeadlessWindow::ShownDialog& shown : window_->Dialogs())
            if (shown.dialog.resource == CVSearchDialog::kResource && shown.open)
                return shown;
        ADD_FAILURE() << "no search dialog";
        return {};
    }

    // A copy: the dialogs a window lists are copies too.
    static std::optional<DialogControl> Control(const HeadlessWindow::ShownDialog& shown, std::int32_t id) {
        for (const DialogControl& control : shown.dialog.controls)
            if (control.id == id)
                return control;
        return std::nullopt;
    }

    bool Enabled(std::int32_t id) {
        const std::optional<DialogControl> control = Control(SearchDialog(), id);
        return control && control->enabled;
    }

    void Tick(const HeadlessWindow::ShownDialog& shown) {
        window_->SendTimer(DialogTimerId(shown.handle, CVSearchDialog::kTimer));
    }

    // Presses a button of the modeless dialog and waits until it was handled.
    void Press(std::int32_t control, DialogValues values = {}) {
        ASSERT_TRUE(window_->PressDialogButton(SearchDialog().handle, control, std::move(values)));
        window_->Send([] {});
    }

    std::int32_t ShownPage(ZAZObject& book) {
        LockGuard desk(DeskLock());
        return (book.pagePosition + 1) / 2;
    }
};

TEST_F(SearchFace, TheButtonOpensOneModelessDialogThatStepsToTheHitAndIsReadyAgain) {
    SetUpIn(L"en");
    std::vector<ZAZObject*> books = LoadTexts(1);
    ZoomInto(books.front());
    window_->SendCommand(kButtonSearch);
    window_->SendCommand(kButtonSearch);
    std::size_t made = 0;
    for (const HeadlessWindow::ShownDialog& shown : window_->Dialogs())
        made += shown.dialog.resource == CVSearchDialog::kResource;
    EXPECT_EQ(made, 1u) << "a second press brings the same dialog up";
    const HeadlessWindow::ShownDialog shown = SearchDialog();
    EXPECT_FALSE(shown.modal);
    EXPECT_EQ(shown.dialog.title, L"Search Dialog");
    EXPECT_EQ(Control(shown, CVSearchDialog::kNext)->text, L"Next");
    EXPECT_EQ(Control(shown, CVSearchDialog::kPrevious)->text, L"Previous");
    EXPECT_FALSE(Enabled(CVSearchDialog::kCancel));
    EXPECT_TRUE(Enabled(CVSearchDialog::kNext));

    // Nothing typed: nothing happens.
    Press(CVSearchDialog::kNext, {{CVSearchDialog::kEdit, L""}});
    EXPECT_TRUE(Enabled(CVSearchDialog::kNext));
    EXPECT_FALSE(viewer_->KeywordsText().has_value());

    Press(CVSearchDialog::kNext, {{CVSearchDialog::kEdit, L"ＫＩＷＩ"}});
    ASSERT_TRUE(Eventually([&] { return !viewer_->SearchRunning() && viewer_->SearchProgress() == 100; }));
    while (Step()) {
    }
    EXPECT_EQ(ShownPage(*books.front()), 3) << "pages 6 and 7 face up";
    // The full bar stands one tick, then the dialog is ready again.
    Tick(shown);
    EXPECT_EQ(Control(SearchDialog(), CVSearchDialog::kProgress)->pos, 100);
    Tick(shown);
    EXPECT_EQ(Control(SearchDialog(), CVSearchDialog::kProgress)->pos, 0);
    EXPECT_TRUE(Enabled(CVSearchDialog::kNext));
    EXPECT_FALSE(Enabled(CVSearchDialog::kCancel));

    // Closed it hides, and opened again it shows the last keywords.
    Press(CVSearchDialog::kClose);
    EXPECT_FALSE(SearchDialog().visible);
    window_->SendCommand(kButtonSearch);
    EXPECT_TRUE(SearchDialog().visible);
    EXPECT_EQ(Control(SearchDialog(), CVSearchDialog::kEdit)->text, L"ＫＩＷＩ");
}

TEST_F(SearchFace, AHiddenControlHidesTheDialogAndAZoomedBookWithoutSearchDataSaysSo) {
    SetUpIn(L"ja");
    std::vector<ZAZObject*> books = LoadTexts(0, 1);
    window_->SendCommand(kButtonSearch);
    const HeadlessWindow::ShownDialog shown = SearchDialog();
    EXPECT_EQ(shown.dialog.title, L"検索ダイアログ");
    ZoomInto(books.front());
    Press(CVSearchDialog::kNext, {{CVSearchDialog::kEdit, L"kiwi"}});
    ASSERT_EQ(window_->MessageBoxes().size(), 1u);
    EXPECT_EQ(window_->MessageBoxes().back().text, L"検索データが有りません");
    EXPECT_FALSE(viewer_->SearchRunning());

    window_->SetVisible(false);
    Tick(shown);
    EXPECT_FALSE(SearchDialog().visible);
}

TEST_F(SearchFace, ThePageIsAskedOncePerListWhetherToSearchDocumentsWithoutSearchData) {
    SetUpIn(L"en");
    std::vector<ZAZObject*> books = LoadTexts(1, 1);
    window_->AnswerMessageBox(IDNO);
    OnWindow([](CZOVuvazaRCtrl& c) { c.TextSearchNext(L"kiwi"); });
    ASSERT_EQ(window_->MessageBoxes().size(), 1u);
    const MessageBoxRequest asked = window_->MessageBoxes().back();
    EXPECT_EQ(asked.caption, L"Search");
    EXPECT_EQ(asked.buttonLabels, (std::vector<std::wstring>{L"YES", L"NO"}));
    EXPECT_FALSE(viewer_->KeywordsText().has_value()) << "No ends the call";

    window_->AnswerMessageBox(IDYES);
    OnWindow([](CZOVuvazaRCtrl& c) { c.TextSearchNext(L"kiwi"); });
    ASSERT_TRUE(Eventually([&] { return !viewer_->SearchRunning() && viewer_->SearchProgress() == 100; }));
    EXPECT_EQ(viewer_->KeywordsText(), std::optional<std::wstring>(L"kiwi"));
    OnWindow([](CZOVuvazaRCtrl& c) { c.TextSearchNext(L"kiwi"); });
    EXPECT_EQ(window_->MessageBoxes().size(), 2u) << "asked once for the list";

    // Cancelling with nothing running returns at once.
    ASSERT_TRUE(Eventually([&] { return !viewer_->SearchRunning(); }));
    const auto start = std::chrono::steady_clock::now();
    OnWindow([](CZOVuvazaRCtrl& c) { c.TextSearchCancel(); });
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(150));
}

TEST_F(SearchFace, TheNoteDialogShowsTheChosenColourBesideItsButtonAndOkTakesBoth) {
    CVStickyDialog dialog(true, L"one\r\ntwo", 0x0000FFFF);
    std::atomic<int> result{0};
    window_->Post([&] { result = dialog.DoModal(*window_); });
    ASSERT_TRUE(Eventually([&] { return window_->OpenDialog().has_value(); }));
    const HeadlessWindow::ShownDialog shown = *window_->OpenDialog();
    EXPECT_EQ(shown.dialog.resource, CVStickyDialog::kResource);
    EXPECT_EQ(Control(shown, CVStickyDialog::kEdit)->text, L"one\ntwo");
    EXPECT_TRUE(Control(shown, CVStickyDialog::kEdit)->multiline);
    EXPECT_EQ(Control(shown, CVStickyDialog::kSwatch)->colour, 0x0000FFFFu);
    // The swatch stands just before the colour button.
    ASSERT_GE(shown.dialog.controls.size(), 2u);
    for (std::size_t i = 0; i + 1 < shown.dialog.controls.size(); ++i) {
        if (shown.dialog.controls[i].id == CVStickyDialog::kSwatch) {
            EXPECT_EQ(shown.dialog.controls[i + 1].id, CVStickyDialog::kColourButton);
        }
    }

    ASSERT_TRUE(window_->ChooseDialogColour(shown.handle, CVStickyDialog::kColourButton, 0x00FF8000));
    ASSERT_TRUE(Eventually([&] {
        std::optional<HeadlessWindow::ShownDialog> now = window_->Dialog(shown.handle);
        return now && Control(*now, CVStickyDialog::kSwatch)->colour == 0x00FF8000u;
    }));
    ASSERT_TRUE(window_->PressDialogButton(shown.handle, IDOK, {{CVStickyDialog::kEdit, L"a\n\n b \n\n"}}));
    ASSERT_TRUE(Eventually([&] { return result == IDOK; }));
    EXPECT_EQ(dialog.Text(), L"a\r\n\r\n b");
    EXPECT_EQ(dialog.Colour(), 0x00FF8000u);

    // Without a note: "NULL" on white, and Cancel keeps what was there.
    CVStickyDialog none(false, L"", 0x0000FFFF);
    window_->Post([&] { result = none.DoModal(*window_); });
    ASSERT_TRUE(Eventually([&] { return window_->OpenDialog().has_value(); }));
    const HeadlessWindow::ShownDialog empty = *window_->OpenDialog();
    EXPECT_EQ(Control(empty, CVStickyDialog::kEdit)->text, L"NULL");
    EXPECT_EQ(Control(empty, CVStickyDialog::kSwatch)->colour, CVStickyDialog::kNoNoteColour);
    ASSERT_TRUE(window_->PressDialogButton(empty.handle, IDCANCEL));
    ASSERT_TRUE(Eventually([&] { return result == IDCANCEL; }));
}

}  // namespace
}  // namespace zov
