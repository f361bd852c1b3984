// The control's own face: its toolbar and how it follows the viewer, the
// speed and context menus, the jump dialog, dropped files uploaded into the
// remembered folder, and the About box and property sheet. The window is the
// headless one; the viewer, its threads and the servers are real.
#include "control/Toolbar.h"
#include "dialogs/Dialogs.h"
#include "documents/PreviewSettings.h"
#include "platform/BinaryFile.h"
#include "tests/support/NginxServer.h"
#include "tests/support/TestHttpServer.h"
#include "tests/viewer/ViewerFixture.h"

#include <atomic>
#include <climits>
#include <filesystem>

namespace zov::test {
namespace {

std::vector<std::int32_t> ButtonIds(const ToolbarTemplate& toolbar) {
    std::vector<std::int32_t> ids;
    for (const ToolbarButton& button : toolbar.buttons)
        ids.push_back(button.id);
    return ids;
}

const ToolbarButton* FindButton(const ToolbarTemplate& toolbar, std::int32_t id) {
    for (const ToolbarButton& button : toolbar.buttons)
        if (!button.Separator() && button.id == id)
            return &button;
    return nullptr;
}

TEST(ToolbarShape, BothLayoutsHaveTheirButtonsSeparatorsAndPicturesInButtonOrder) {
    const ToolbarTemplate standard = MakeToolbar(ToolbarKind::Standard32, 800, true, false);
    EXPECT_EQ(ButtonIds(standard), (std::vector<std::int32_t>{1, 2, 0, 3, 4, 5, 6, 7, 8, 0, 9, 10, 0, 11, 0, 12, 13,
                                                              14, 0, 15, 16, 0, 17, 18}));
    const ToolbarTemplate large = MakeToolbar(ToolbarKind::Large32, 800, true, false);
    ASSERT_EQ(large.buttons.size(), 26u);
    EXPECT_EQ(large.buttons.front().id, kButtonSearch);
    for (const ToolbarTemplate* toolbar : {&standard, &large}) {
        std::int32_t image = 0;
        for (const ToolbarButton& button : toolbar->buttons) {
            if (button.Separator())
                continue;
            EXPECT_EQ(button.image, image++) << button.id;
            EXPECT_TRUE(button.enabled);
            EXPECT_FALSE(button.checked);
            EXPECT_EQ(button.dropdown, button.id == kButtonSpeed);
        }
    }
    // The speed menu hangs below button 10: two buttons, a separator, six
    // buttons, a separator and button 9 lie left of it.
    const RECT speed = ToolbarButtonRect(standard, kButtonSpeed);
    EXPECT_EQ(speed.left, 9 * 40 + 2 * 8);
    EXPECT_EQ(speed.bottom, ToolbarHeight(32));
}

TEST(ToolbarShape, EveryBitmapIsAStripOfOnePictureAButtonWithItsGreyedTwin) {
    struct Expected {
        std::int32_t resource, side, count;
    };
    for (const Expected& e : {Expected{171, 32, 18}, Expected{259, 32, 18}, Expected{261, 32, 18},
                              Expected{275, 16, 18}, Expected{268, 16, 18}, Expected{269, 16, 18},
                              Expected{278, 32, 19}, Expected{272, 32, 19}, Expected{273, 32, 19}}) {
        const ImageList list = ToolbarBitmap(e.resource);
        EXPECT_EQ(list.imageWidth, e.side) << e.resource;
        EXPECT_EQ(list.imageHeight, e.side) << e.resource;
        EXPECT_EQ(list.pixels.size(), static_cast<std::size_t>(e.side * e.side * e.count)) << e.resource;
    }
    // Greyed: no pixel of the disabled list is more colourful than a hint.
    const ImageList disabled = ToolbarBitmap(261);
    for (std::uint32_t pixel : disabled.pixels) {
        const int r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
        if ((pixel >> 24) > 0x40) {
            ASSERT_LE(std::max({r, g, b}) - std::min({r, g, b}), 40);
        }
    }
    EXPECT_TRUE(ToolbarBitmap(999).pixels.empty());
}

TEST(ToolbarShape, OnADenserScreenTheToolbarTakesFinerPicturesAndGrowsAsLargeAsAtOne) {
    const ToolbarTemplate one = MakeToolbar(ToolbarKind::Standard32, 800, false, false);
    const ToolbarTemplate two = MakeToolbar(ToolbarKind::Standard32, 1600, false, false, 2.0);
    EXPECT_EQ(two.imageSide, 64);
    EXPECT_EQ(two.images.imageWidth, 64);
    EXPECT_EQ(two.disabledImages.imageWidth, 64);
    EXPECT_EQ(two.rect.bottom, 2 * one.rect.bottom);
    const RECT speed = ToolbarButtonRect(two, kButtonSpeed);
    const RECT speedAtOne = ToolbarButtonRect(one, kButtonSpeed);
    EXPECT_EQ(speed.left, 2 * speedAtOne.left);
    EXPECT_EQ(speed.right, 2 * speedAtOne.right);
    // The 16-pixel toolbar at twice the density shows the 32-pixel pictures,
    // the large one its own drawn at 64.
    EXPECT_EQ(MakeToolbar(ToolbarKind::Standard16, 1200, false, false, 2.0).images.imageWidth, 32);
    const ToolbarTemplate large = MakeToolbar(ToolbarKind::Large32, 1600, false, false, 2.0);
    EXPECT_EQ(large.images.imageWidth, 64);
    EXPECT_EQ(large.images.pixels.size(), std::size_t{64} * 64 * 19);
    // In between, a picture is shown at the screen's size from the finer one
    // from 1.5 on, and lengths round as the page rounds them.
    const ToolbarTemplate between = MakeToolbar(ToolbarKind::Standard32, 1200, false, false, 1.25);
    EXPECT_EQ(between.imageSide, 40);
    EXPECT_EQ(between.images.imageWidth, 32);
    EXPECT_EQ(between.rect.bottom, 40 + 13);  // 10 * 1.25 = 12.5 rounds up
    EXPECT_EQ(MakeToolbar(ToolbarKind::Standard32, 1200, false, false, 1.5).images.imageWidth, 64);
    // What no screen is: drawn as at one, or at the most.
    EXPECT_EQ(MakeToolbar(ToolbarKind::Standard32, 800, false, false, 0.5).imageSide, 32);
    EXPECT_EQ(MakeToolbar(ToolbarKind::Standard32, 800, false, false, 100).imageSide, 128);
}

TEST(ToolbarShape, TipsInBothLanguagesAndTheAutoFlipButtonSaysWhatAClickDoes) {
    EXPECT_EQ(ToolbarTip(1, true, false), L"拡大");
    EXPECT_EQ(ToolbarTip(5, false, false), L"Flip a right-hand");
    EXPECT_EQ(ToolbarTip(19, false, false), L"Search Dialog");
    EXPECT_EQ(ToolbarTip(9, true, false), L"自動ページめくり");
    EXPECT_EQ(ToolbarTip(9, true, true), L"停止");
    EXPECT_EQ(ToolbarTip(9, false, true), L"Stop");
    EXPECT_EQ(ToolbarTip(20, false, false), L"");
}

TEST(JumpDialogNumber, ReadsLeadingDigitsAsTheRuntimeDoes) {
    EXPECT_EQ(LeadingInteger(L"12"), 12);
    EXPECT_EQ(LeadingInteger(L"  7 pages"), 7);
    EXPECT_EQ(LeadingInteger(L"-3"), -3);
    EXPECT_EQ(LeadingInteger(L"+4x"), 4);
    EXPECT_EQ(LeadingInteger(L"abc"), 0);
    EXPECT_EQ(LeadingInteger(L""), 0);
    EXPECT_EQ(LeadingInteger(L"99999999999999999999"), INT_MAX);
    EXPECT_EQ(LeadingInteger(L"-99999999999999999999"), INT_MIN);
}

class ControlFace : public ViewerFixture {
protected:
    void SetUpWith(const std::wstring& language) {
        OnWindow([&](CZOVuvazaRCtrl& c) {
            return c.SetUp(language, L"C0C0C0", true, L"", WideRoot() + L"\\previews", L"Folder", false);
        });
    }

    ToolbarTemplate ToolbarNow() {
        std::optional<ToolbarTemplate> toolbar = window_->Toolbar();
        EXPECT_TRUE(toolbar.has_value());
        return toolbar.value_or(ToolbarTemplate{});
    }

    ToolbarButton ButtonNow(std::int32_t id) {
        const ToolbarTemplate toolbar = ToolbarNow();
        const ToolbarButton* button = FindButton(toolbar, id);
        EXPECT_NE(button, nullptr) << id;
        return button ? *button : ToolbarButton{};
    }

    // Ticks until the toolbar shows `button` as `enabled`.
    bool ButtonBecomes(std::int32_t button, bool enabled) {
        return Eventually([&] {
            Tick();
            return ButtonNow(button).enabled == enabled;
        });
    }

    bool CheckBecomes(std::int32_t button, bool checked) {
        return Eventually([&] {
            Tick();
            return ButtonNow(button).checked == checked;
        });
    }

    // The headless window runs modal loops on its own thread: a call that
    // opens one is posted, and the test answers from here.
    void PostToWindow(std::function<void(CZOVuvazaRCtrl&)> call) {
        window_->Post([this, call = std::move(call)] { call(*control_); });
    }

    std::optional<HeadlessWindow::ShownDialog> DialogOpens(std::int32_t resource) {
        std::optional<HeadlessWindow::ShownDialog> open;
        Eventually([&] {
            open = window_->OpenDialog();
            return open && open->dialog.resource == resource;
        });
        return open && open->dialog.resource == resource ? open : std::nullopt;
    }

    void WaitForWindow() {
        window_->Send([] {});
    }
};

TEST_F(ControlFace, TheToolbarHas16PixelPicturesBelow768PixelsAndIsMadeAgainOnlyWhenThatChanges) {
    window_->SendSize(767, 480);
    EXPECT_EQ(ToolbarNow().imageSide, 16);
    EXPECT_EQ(ToolbarNow().rect.right, 767);
    const int made = window_->ToolbarsCreated();
    window_->SendSize(768, 480);
    EXPECT_EQ(ToolbarNow().imageSide, 32);
    EXPECT_EQ(window_->ToolbarsCreated(), made + 1);
    window_->SendSize(1200, 480);
    EXPECT_EQ(window_->ToolbarsCreated(), made + 1);
    EXPECT_EQ(ToolbarNow().rect.right, 1200);
    // A new toolbar starts with the desk's buttons off.
    EXPECT_FALSE(ButtonNow(kButtonThumbnails).enabled);
    EXPECT_FALSE(ButtonNow(kButtonNextFile).enabled);

    OnWindow([](CZOVuvazaRCtrl& c) { c.SetToolBarVisible(false); });
    EXPECT_FALSE(window_->Toolbar().has_value());
    EXPECT_FALSE(OnWindow([](CZOVuvazaRCtrl& c) { return c.GetToolBarVisible(); }));
    const std::size_t changes = window_->ToolbarChanges().size();
    Tick();
    EXPECT_EQ(window_->ToolbarChanges().size(), changes);
    OnWindow([](CZOVuvazaRCtrl& c) { c.SetToolBarVisible(true); });
    EXPECT_TRUE(window_->Toolbar().has_value());
}

TEST_F(ControlFace, InEValueModeTheToolbarHasTheSearchButtonEvenWhenMadeWithoutIt) {
    EXPECT_EQ(ToolbarNow().buttons.size(), 24u);
    PreviewSettings settings = GetPreviewSettings();
    settings.eValueNSMode = true;
    SetPreviewSettings(settings);
    // Same height, other buttons: made again all the same.
    window_->SendSize(900, 480);
    ASSERT_EQ(ToolbarNow().buttons.size(), 26u);
    EXPECT_EQ(ToolbarNow().buttons.front().id, kButtonSearch);
    EXPECT_EQ(ToolbarNow().imageSide, 32);
    window_->SendSize(500, 480);
    EXPECT_EQ(ToolbarNow().imageSide, 32);  // the large one always has 32-pixel pictures
}

TEST_F(ControlFace, ButtonStatesFollowTheZoomedBookAndAreSentOnlyWhenTheyChange) {
    std::vector<ZAZObject*> books = LoadBooks(3);
    ASSERT_EQ(books.size(), 3u);
    Tick();
    // The desk opens its books half-way, bound on the left.
    EXPECT_TRUE(ButtonNow(kButtonUnCompleteOpen).checked);
    EXPECT_FALSE(ButtonNow(kButtonCompleteOpen).checked);
    EXPECT_TRUE(ButtonNow(kButtonStitchLeft).checked);
    const std::size_t settled = window_->ToolbarChanges().size();
    Tick();
    Tick();
    EXPECT_EQ(window_->ToolbarChanges().size(), settled);

    ZoomInto(books[0]);
    ASSERT_TRUE(ButtonBecomes(kButtonThumbnails, true));
    EXPECT_FALSE(ButtonNow(kButtonPreviousFile).enabled);
    EXPECT_TRUE(ButtonNow(kButtonNextFile).enabled);

    // Through the toolbar, as a reader clicks: the next book, then single
    // pages bound on the right.
    window_->SendCommand(kButtonNextFile);
    ASSERT_TRUE(ButtonBecomes(kButtonPreviousFile, true));
    EXPECT_EQ(viewer_->ZoomedObject(), books[1]);
    window_->SendCommand(kButtonSingleOpen);
    ASSERT_TRUE(CheckBecomes(kButtonSingleOpen, true));
    EXPECT_FALSE(ButtonNow(kButtonCompleteOpen).checked);
    window_->SendCommand(kButtonStitchRight);
    ASSERT_TRUE(CheckBecomes(kButtonStitchRight, true));
    EXPECT_FALSE(ButtonNow(kButtonStitchLeft).checked);

    window_->SendCommand(kButtonAutoFlip);
    ASSERT_TRUE(CheckBecomes(kButtonAutoFlip, true));
    EXPECT_EQ(ButtonNow(kButtonAutoFlip).tip, L"停止");
    window_->SendCommand(kButtonAutoFlip);
    ASSERT_TRUE(CheckBecomes(kButtonAutoFlip, false));
    EXPECT_EQ(ButtonNow(kButtonAutoFlip).tip, L"自動ページめくり");

    window_->SendCommand(kButtonThumbnails);
    ASSERT_TRUE(ButtonBecomes(kButtonThumbnails, false));
    EXPECT_FALSE(ButtonNow(kButtonNextFile).enabled);
}

TEST_F(ControlFace, AToolbarMadeAgainWhileZoomedGivesTheFileButtonsBack) {
    std::vector<ZAZObject*> books = LoadBooks(3);
    ZoomInto(books[1]);
    ASSERT_TRUE(ButtonBecomes(kButtonNextFile, true));
    window_->SendSize(700, 480);
    ASSERT_TRUE(ButtonBecomes(kButtonNextFile, true));
    EXPECT_TRUE(ButtonNow(kButtonPreviousFile).enabled);
    EXPECT_TRUE(ButtonNow(kButtonThumbnails).enabled);
}

TEST_F(ControlFace, TheSpeedMenuHangsBelowItsButtonWithTheSpeedCheckedAndSetsTheTimer) {
    SetUpWith(L"en");
    window_->SendSize(800, 480);
    window_->AnswerMenu(32791);
    window_->SendToolbarDropDown(kButtonSpeed);
    ASSERT_EQ(window_->Menus().size(), 1u);
    const HeadlessWindow::ShownMenu menu = window_->Menus().front();
    ASSERT_EQ(menu.items.size(), 5u);
    EXPECT_EQ(menu.items[0].text, L"Highest speed");
    for (const MenuItem& item : menu.items)
        EXPECT_EQ(item.checked, item.id == 32789) << item.id;
    const RECT button = ToolbarButtonRect(ToolbarNow(), kButtonSpeed);
    EXPECT_EQ(menu.point.x, button.left + 32);
    EXPECT_EQ(menu.point.y, button.bottom);
    EXPECT_EQ(control_->Speed(), 2);
    EXPECT_EQ(window_->TimerPeriod(CZOVuvazaRCtrl::kAnimationTimer), 200u);

    window_->AnswerMenu(32787);
    window_->SendToolbarDropDown(kButtonSpeed);
    EXPECT_TRUE(window_->Menus().back().items[4].checked);
    EXPECT_EQ(window_->TimerPeriod(CZOVuvazaRCtrl::kAnimationTimer), 8u);
    // Nothing chosen changes nothing.
    window_->AnswerMenu(0);
    window_->SendToolbarDropDown(kButtonSpeed);
    EXPECT_EQ(control_->Speed(), 50);
}

TEST_F(ControlFace, TheContextMenuOpensOverAPdfOutsideEValueModeWithItsGreyRules) {
    WritePreview(Document("sheet.xls"), 2);
    WritePreview(Document("a.pdf"), 8);
    std::vector<ZAZObject*> books = LoadAll({Document("a.pdf"), Document("sheet.xls")});
    {
        ViewLock lock;
        viewer_->currentObject = books[1];
    }
    window_->SendRButtonUp(0, POINT{10, 10});
    EXPECT_TRUE(window_->Menus().empty());

    {
        ViewLock lock;
        viewer_->currentObject = books[0];
    }
    window_->AnswerMenu(0);
    window_->SendRButtonUp(0, POINT{30, 40});
    ASSERT_EQ(window_->Menus().size(), 1u);
    const HeadlessWindow::ShownMenu desk = window_->Menus().back();
    EXPECT_EQ(desk.point.x, 30);
    ASSERT_EQ(desk.items.size(), 5u);
    EXPECT_EQ(desk.items[0].text, L"付箋を追加");
    EXPECT_FALSE(desk.items[0].enabled);
    EXPECT_TRUE(desk.items[1].enabled);
    EXPECT_FALSE(desk.items[2].enabled);
    EXPECT_EQ(desk.items[3].id, 0u);
    EXPECT_TRUE(desk.items[4].enabled);

    ZoomInto(books[0]);
    window_->AnswerMenu(kMenuDelete);  // greyed while zoomed: not chosen
    window_->SendRButtonUp(0, POINT{30, 40});
    const HeadlessWindow::ShownMenu zoomed = window_->Menus().back();
    EXPECT_TRUE(zoomed.items[0].enabled);
    EXPECT_TRUE(zoomed.items[2].enabled);
    EXPECT_FALSE(zoomed.items[4].enabled);
    EXPECT_EQ(viewer_->Objects().size(), 2u);

    viewer_->ZoomOut();
    {
        ViewLock lock;
        viewer_->currentObject = books[0];
    }
    window_->AnswerMenu(kMenuDelete);
    window_->SendRButtonUp(0, POINT{30, 40});
    EXPECT_EQ(viewer_->Objects(), (std::vector<ZAZObject*>{books[1]}));

    PreviewSettings settings = GetPreviewSettings();
    settings.eValueNSMode = true;
    SetPreviewSettings(settings);
    {
        ViewLock lock;
        viewer_->currentObject = books[1];
    }
    const std::size_t shown = window_->Menus().size();
    window_->SendRButtonUp(0, POINT{30, 40});
    EXPECT_EQ(window_->Menus().size(), shown);
}

TEST_F(ControlFace, OpenInANewWindowLaunchesAPageAndWritesTheStartUpFileOnlyOnceItsControlExists) {
    SetUpWith(L"en");
    WritePreview(Document("a.pdf"), 3);
    std::vector<ZAZObject*> books = LoadAll({Document("a.pdf")});
    {
        ViewLock lock;
        viewer_->currentObject = books[0];
        books[0]->caption = L"Q3 <script>alert(1)</script> & \"more\"";
    }
    window_->AnswerMenu(kMenuOpenInNewWindow);
    window_->SendRButtonUp(0, POINT{30, 40});
    std::vector<LaunchPage> launches = window_->Launches();
    ASSERT_EQ(launches.size(), 1u);
    const std::string& html = launches[0].html;
    EXPECT_NE(html.find("<title>Q3 &lt;script&gt;alert(1)&lt;/script&gt; &amp; &quot;more&quot; | ZOV</title>"),
              std::string::npos);
    EXPECT_EQ(html.find("<script>alert"), std::string::npos);
    EXPECT_NE(html.find("<zov-viewer id=\"CVACtrl\""), std::string::npos);
    EXPECT_NE(html.find("<body onload=\"CVAOnLoad()\">\r\n"), std::string::npos);

    // Nothing is written until the new window's control exists.
    const std::string args = Root() + "/ZOVuvazaR/TempOnLoadArgs.txt";
    EXPECT_FALSE(std::filesystem::exists(args));
    ASSERT_TRUE(launches[0].onControlCreated);
    launches[0].onControlCreated();
    const std::string root = ToUtf8(GetPreviewSettings().previewRoot);
    // The caption's angle brackets would make more items of it.
    EXPECT_EQ(ReadBytes(args), "SetUp\r\nja\r\nC0C0C0\r\nfalse\r\nloginId\r\n" + root +
                                   "\r\nFolder\r\nfalse\r\nShowFiles\r\n<" + ToUtf8(Document("a.pdf")) +
                                   ">\r\n<Q3  script alert(1) /script  & \"more\">\r\nZoomUpFirstObject\r\n");
}

TEST_F(ControlFace, JumpToPageTakesNothingBelowOneAsTheCoverAndNothingPastTheLastPage) {
    std::vector<ZAZObject*> books = LoadBooks(1, 8);
    ZoomInto(books[0]);
    auto jump = [&](const std::wstring& typed, int button = IDOK) {
        {
            ViewLock lock;
            viewer_->currentObject = books[0];
        }
        window_->AnswerMenu(kMenuJumpToPage);
        PostToWindow([](CZOVuvazaRCtrl& c) { c.OnRButtonUp(0, POINT{50, 50}); });
        std::optional<HeadlessWindow::ShownDialog> dialog = DialogOpens(CVJumpPageDialog::kResource);
        ASSERT_TRUE(dialog.has_value());
        EXPECT_EQ(dialog->dialog.title, L"指定ページへのジャンプ");
        ASSERT_TRUE(window_->PressDialogButton(dialog->handle, button, {{CVJumpPageDialog::kEdit, typed}}));
        WaitForWindow();
    };
    auto settlesAt = [&](std::int32_t position) {
        const bool settled = Eventually([&] {
            Step();
            ViewLock lock;
            return books[0]->pagePosition == position && !books[0]->animating;
        });
        ViewLock lock;
        EXPECT_TRUE(settled) << "at " << books[0]->pagePosition << " of " << books[0]->PageCount();
        return settled;
    };
    jump(L"5");
    EXPECT_TRUE(settlesAt(4));
    jump(L"-3");
    EXPECT_TRUE(settlesAt(0));
    // The last spread of eight pages.
    jump(L"99");
    EXPECT_TRUE(settlesAt(7));
    jump(L"2", IDCANCEL);
    EXPECT_TRUE(settlesAt(7));
    EXPECT_FALSE(window_->OpenDialog().has_value());
}

TEST_F(ControlFace, AboutBoxAndPropertySheetAreModalDialogsThatTheirButtonsClose) {
    PostToWindow([](CZOVuvazaRCtrl& c) { c.AboutBox(); });
    std::optional<HeadlessWindow::ShownDialog> about = DialogOpens(162);
    ASSERT_TRUE(about.has_value());
    ASSERT_TRUE(window_->PressDialogButton(about->handle, IDOK));
    WaitForWindow();
    EXPECT_FALSE(window_->OpenDialog().has_value());

    window_->Post([this] { window_->SendProperties(); });
    std::optional<HeadlessWindow::ShownDialog> sheet = DialogOpens(CZOVuvazaRPropPage::kResource);
    ASSERT_TRUE(sheet.has_value());
    EXPECT_EQ(sheet->dialog.tabs, (std::vector<std::wstring>{L"全般"}));
    ASSERT_TRUE(window_->PressDialogButton(sheet->handle, IDCANCEL));
    WaitForWindow();
    EXPECT_FALSE(window_->OpenDialog().has_value());
}

class DroppedFiles : public ControlFace {
protected:
    // The progress dialog closes itself at its timer's ticks: the window
    // runs its timers, as the container does.
    HeadlessWindow::Options WindowOptions() const override {
        HeadlessWindow::Options options = ControlFace::WindowOptions();
        options.runTimers = true;
        return options;
    }

    void TearDown() override {
        // A test that failed half-way leaves no dialog waiting.
        while (std::optional<HeadlessWindow::ShownDialog> open = window_->OpenDialog()) {
            window_->PressDialogButton(open->handle, IDCANCEL);
            Eventually([&] { return !window_->OpenDialog() || window_->OpenDialog()->handle != open->handle; });
        }
        ControlFace::TearDown();
    }

    std::wstring StageFile(const std::string& name, const std::string& bytes) {
        const std::filesystem::path path = std::filesystem::path(Root()) / "dropped" / name;
        std::filesystem::create_directories(path.parent_path());
        EXPECT_TRUE(WriteFileAtomically(FromUtf8(path.string()), bytes));
        return FromUtf8(path.string());
    }

    void Drop(std::vector<std::wstring> paths) {
        PostToWindow([paths = std::move(paths)](CZOVuvazaRCtrl& c) { c.OnDropFiles(paths); });
    }
};

TEST_F(DroppedFiles, WithoutARememberedFolderNothingHappens) {
    NginxServer nginx;
    ASSERT_TRUE(nginx.Running());
    nginx.WriteFile("shelf/old.pdf", "old");
    OnWindow([&](CZOVuvazaRCtrl& c) { c.SetFolder(FromUtf8(nginx.Url("/shelf/")), false); });
    Drop({StageFile("a.pdf", "a")});
    WaitForWindow();
    EXPECT_TRUE(window_->Dialogs().empty());
    EXPECT_TRUE(window_->MessageBoxes().empty());
    EXPECT_FALSE(nginx.Exists("shelf/a.pdf"));
}

TEST_F(DroppedFiles, TwoFilesAreUploadedByteForByteAndTheFolderIsListedAgain) {
    NginxServer nginx;
    ASSERT_TRUE(nginx.Running());
    nginx.WriteFile("shelf/old.pdf", "old");
    const std::wstring folder = FromUtf8(nginx.Url("/shelf/"));
    OnWindow([&](CZOVuvazaRCtrl& c) { c.SetFolder(folder, true); });
    ASSERT_TRUE(DeskBecomes({folder + L"old.pdf"}));
    std::string big(2048 * 3 + 17, '\0');
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i * 31 + 7);
    Drop({StageFile("big.bin", big), StageFile("empty.txt", "")});
    std::optional<HeadlessWindow::ShownDialog> progress = DialogOpens(CVProgressBar::kResource);
    ASSERT_TRUE(progress.has_value());
    // It closes by itself once the last file is in.
    ASSERT_TRUE(Eventually([&] { return !window_->OpenDialog().has_value(); }));
    const HeadlessWindow::ShownDialog done = window_->Dialogs().back();
    EXPECT_EQ(done.dialog.title, L"ファイルのアップロード処理");
    EXPECT_EQ(done.endCode, 0);
    EXPECT_EQ(done.dialog.controls.at(0).pos, 100);
    EXPECT_EQ(nginx.ReadFile("shelf/big.bin"), big);
    EXPECT_TRUE(nginx.Exists("shelf/empty.txt"));
    EXPECT_EQ(nginx.ReadFile("shelf/empty.txt"), "");
    EXPECT_TRUE(DeskBecomes({folder + L"big.bin", folder + L"empty.txt", folder + L"old.pdf"}));
}

TEST_F(DroppedFiles, MoreThanTheDeskTakesIsRefusedWithTheLimitMessage) {
    NginxServer nginx;
    ASSERT_TRUE(nginx.Running());
    for (int i = 0; i < 8; ++i)
        nginx.WriteFile("shelf/book" + std::to_string(i) + ".pdf", "pdf");
    const std::wstring folder = FromUtf8(nginx.Url("/shelf/"));
    OnWindow([&](CZOVuvazaRCtrl& c) { c.SetFolder(folder, true); });
    ASSERT_TRUE(Eventually([&] { return DeskPaths().size() == 8; }));
    window_->AnswerMessageBox(IDOK);
    Drop({StageFile("x.pdf", "x"), StageFile("y.pdf", "y"), StageFile("z.pdf", "z")});
    WaitForWindow();
    ASSERT_EQ(window_->MessageBoxes().size(), 1u);
    EXPECT_EQ(window_->MessageBoxes().front().text, L"追加できるファイルは10個までです。");
    EXPECT_TRUE(window_->Dialogs().empty());
    EXPECT_FALSE(nginx.Exists("shelf/x.pdf"));
}

TEST_F(DroppedFiles, CancelStopsBeforeTheNextFile) {
    TestHttpServer server;
    std::atomic<int> putsArrived{0};
    server.Route("/in/*", [&putsArrived](const TestRequest& request) {
        if (request.method == "PUT") {
            ++putsArrived;
            std::this_thread::sleep_for(800ms);
        }
        return Reply(request.method == "PUT" ? 201 : 404);
    });
    // The folder cannot be listed; the boxes that say so, now and after the
    // upload, are answered.
    window_->AnswerMessageBox(IDOK);
    window_->AnswerMessageBox(IDOK);
    OnWindow([&](CZOVuvazaRCtrl& c) { c.SetFolder(FromUtf8(server.Url("/in/")), true); });
    Drop({StageFile("1.pdf", "one"), StageFile("2.pdf", "two"), StageFile("3.pdf", "three")});
    std::optional<HeadlessWindow::ShownDialog> progress = DialogOpens(CVProgressBar::kResource);
    ASSERT_TRUE(progress.has_value());
    // Cancelled while the first file is on its way.
    ASSERT_TRUE(Eventually([&] { return putsArrived.load() == 1; }));
    ASSERT_TRUE(window_->PressDialogButton(progress->handle, IDCANCEL));
    ASSERT_TRUE(Eventually([&] { return !window_->OpenDialog().has_value(); }));
    WaitForWindow();
    std::vector<std::string> puts;
    for (const TestRequest& request : server.Requests())
        if (request.method == "PUT")
            puts.push_back(request.target);
    EXPECT_EQ(puts, (std::vector<std::string>{"/in/1.pdf"}));
}

}  // namespace
}  // namespace zov::test

namespace zov::test {
namespace {

TEST_F(ControlFace, TheFolderTreeStandsBelowTheToolbarSlidesClosedOverTheDeskAndShowsTheChosenFolder) {
    SetUpWith(L"en");
    const std::wstring shelf = WideRoot() + L"\\shelf";
    std::filesystem::create_directories(ToUtf8(WideRoot()) + "/shelf/letters");
    OnWindow([&](CZOVuvazaRCtrl& c) { c.SetDirTreeVisible(true, shelf, L"Shelf"); });
    EXPECT_TRUE(OnWindow([](CZOVuvazaRCtrl& c) { return c.GetDirTreeVisible(); }));
    EXPECT_TRUE(viewer_->treeRoom) << "the desk keeps clear of the tree";
    const RECT bar = ToolbarNow().rect;
    std::optional<HeadlessWindow::ShownTree> tree = window_->Tree();
    ASSERT_TRUE(tree);
    EXPECT_EQ(tree->tree.style, kTreeStyle);
    EXPECT_EQ(tree->tree.controlId, kTreeControlId);
    EXPECT_EQ(tree->tree.rect.left, 0);
    EXPECT_EQ(tree->tree.rect.top, bar.bottom - bar.top);
    EXPECT_EQ(tree->tree.rect.right, kTreeClosedWidth);
    EXPECT_EQ(tree->tree.rect.bottom, window_->ClientSize().cy);

    // A new size lays the tree open; the pointer back over the desk closes it step by step.
    window_->SendSize(900, 480);
    EXPECT_EQ(window_->Tree()->tree.rect.right, kTreeOpenWidth);
    EXPECT_EQ(window_->Tree()->tree.rect.bottom, 480);
    const std::size_t before = window_->Tree()->moves.size();
    window_->SendMouseMove(0, POINT{500, 200});
    const std::vector<RECT> moves = window_->Tree()->moves;
    std::vector<std::int32_t> widths;
    for (std::size_t i = before; i < moves.size(); ++i)
        widths.push_back(moves[i].right - moves[i].left);
    std::vector<std::int32_t> expected;
    for (std::int32_t w = kTreeOpenWidth; w > kTreeClosedWidth; w -= kTreeSlideStep)
        expected.push_back(w);
    expected.push_back(kTreeClosedWidth);
    EXPECT_EQ(widths, expected);

    // The reader opens the named root and chooses its folder: the control lists
    // the real folder, and remembers it.
    TreeItem root = 0;
    OnWindow([&](CZOVuvazaRCtrl& c) { root = c.FolderTree()->GetRootItem(); });
    window_->SendTreeNotify(kTreeViewHandle, TreeNotification{TreeNotification::Kind::Expanded, root, true, {}});
    TreeItem letters = 0;
    OnWindow([&](CZOVuvazaRCtrl& c) {
        for (TreeItem child : c.FolderTree()->Children(root))
            if (c.FolderTree()->GetItemText(child) == L"letters")
                letters = child;
    });
    ASSERT_NE(letters, 0u);
    window_->SendTreeNotify(kTreeViewHandle, TreeNotification{TreeNotification::Kind::Selected, letters, false, {}});
    OnWindow([&](CZOVuvazaRCtrl& c) {
        EXPECT_TRUE(c.FolderRemembered());
        EXPECT_EQ(c.RememberedFolder(), shelf + L"\\letters");
    });

    OnWindow([](CZOVuvazaRCtrl& c) { c.SetDirTreeVisible(false, L"", L""); });
    EXPECT_FALSE(window_->Tree());
    EXPECT_FALSE(OnWindow([](CZOVuvazaRCtrl& c) { return c.GetDirTreeVisible(); }));
}

}  // namespace
}  // namespace zov::test
