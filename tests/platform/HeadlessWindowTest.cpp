#include "platform/HeadlessWindow.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>

namespace zov {
namespace {

using namespace std::chrono_literals;

// Records the messages it gets and checks they arrive on the window thread.
class RecordingClient : public WindowClient {
public:
    explicit RecordingClient(HeadlessWindow& window) : window_(window) {}

    void OnTimer(unsigned id) override { Note("timer " + std::to_string(id)); }
    void OnPaint(const RECT& r) override {
        Note("paint " + std::to_string(r.right) + "x" + std::to_string(r.bottom));
        std::uint32_t pixels[4] = {1, 2, 3, 4};
        window_.Present(FrameView{pixels, 2, 2}, nullptr);
    }
    void OnLButtonDown(std::uint32_t f, POINT p) override { Note(Describe("down", f, p)); }
    void OnLButtonUp(std::uint32_t f, POINT p) override { Note(Describe("up", f, p)); }
    void OnRButtonUp(std::uint32_t f, POINT p) override { Note(Describe("rup", f, p)); }
    void OnMouseMove(std::uint32_t f, POINT p) override { Note(Describe("move", f, p)); }
    void OnMouseWheel(std::uint32_t f, std::int16_t d, POINT p) override {
        Note(Describe("wheel", f, p) + " " + std::to_string(d));
    }
    void OnVScroll(int code) override { Note("vscroll " + std::to_string(code)); }
    void OnHScroll(int code) override { Note("hscroll " + std::to_string(code)); }
    void OnSize(std::uint32_t t, std::int32_t w, std::int32_t h) override {
        Note("size " + std::to_string(t) + " " + std::to_string(w) + "x" + std::to_string(h));
    }
    bool OnSetCursor() override {
        window_.SetCursor(IDC_HAND);
        return true;
    }

    std::vector<std::string> Log() {
        std::lock_guard<std::mutex> guard(mutex_);
        return log_;
    }
    bool AllOnWindowThread() const { return allOnWindowThread_; }

private:
    static std::string Describe(const char* what, std::uint32_t f, POINT p) {
        return std::string(what) + " " + std::to_string(f) + " " + std::to_string(p.x) + "," + std::to_string(p.y);
    }
    void Note(std::string entry) {
        if (!window_.OnWindowThread())
            allOnWindowThread_ = false;
        std::lock_guard<std::mutex> guard(mutex_);
        log_.push_back(std::move(entry));
    }

    HeadlessWindow& window_;
    std::mutex mutex_;
    std::vector<std::string> log_;
    std::atomic<bool> allOnWindowThread_{true};
};

HeadlessWindow::Options Manual() {
    HeadlessWindow::Options options;
    options.runTimers = false;
    options.screenOrigin = POINT{100, 50};
    return options;
}

TEST(HeadlessWindow, DeliversInputOnTheWindowThreadInOrder) {
    HeadlessWindow window(Manual());
    RecordingClient client(window);
    window.Attach(&client);
    window.SendLButtonDown(MK_LBUTTON, POINT{3, 4});
    window.SendMouseMove(MK_LBUTTON, POINT{5, 6});
    window.SendLButtonUp(0, POINT{5, 6});
    window.SendMouseWheel(0, -120, window.ClientToScreen(POINT{1, 2}));
    window.SendVScroll(SB_LINEDOWN);
    window.SendSize(640, 480);
    EXPECT_TRUE(window.SendSetCursor());

    EXPECT_EQ(client.Log(), (std::vector<std::string>{"down 1 3,4", "move 1 5,6", "up 0 5,6", "wheel 0 101,52 -120",
                                                      "vscroll 1", "size 0 640x480"}));
    EXPECT_TRUE(client.AllOnWindowThread());
    EXPECT_EQ(window.ClientSize(), (SIZE{640, 480}));
    EXPECT_EQ(window.ScreenToClient(POINT{101, 52}), (POINT{1, 2}));
    EXPECT_EQ(window.Cursor(), IDC_HAND);
    window.Attach(nullptr);
}

TEST(HeadlessWindow, PaintsWhenIdleOrOnUpdate) {
    HeadlessWindow window(Manual());
    RecordingClient client(window);
    window.Attach(&client);

    // Update with nothing invalid paints nothing.
    window.Send([&] { window.Update(); });
    EXPECT_EQ(window.PaintCount(), 0);

    // Update on the window thread delivers the pending paint at once.
    int paintsAfterUpdate = 0;
    window.Send([&] {
        window.Invalidate(false);
        window.Update();
        paintsAfterUpdate = window.PaintCount();
    });
    EXPECT_EQ(paintsAfterUpdate, 1);
    // Invalidations gather until the loop is idle, then paint once.
    window.Send([&] {
        window.Invalidate(false);
        window.Invalidate(false);
    });
    for (int i = 0; i < 200 && window.PresentCount() < 2; ++i)
        std::this_thread::sleep_for(5ms);
    EXPECT_EQ(window.PaintCount(), 2);
    EXPECT_EQ(window.InvalidateCount(), 3);

    auto shown = window.LastPresent();
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->pixels, (std::vector<std::uint32_t>{1, 2, 3, 4}));
    EXPECT_EQ(window.PresentCount(), 2);
    window.Attach(nullptr);
}

TEST(HeadlessWindow, TimersRepeatAndRestartWithANewPeriod) {
    HeadlessWindow window;
    RecordingClient client(window);
    window.Attach(&client);
    window.SetTimer(1, 10);
    EXPECT_EQ(window.TimerPeriod(1), 10u);
    for (int i = 0; i < 400 && client.Log().size() < 3; ++i)
        std::this_thread::sleep_for(5ms);
    EXPECT_GE(client.Log().size(), 3u);
    EXPECT_EQ(client.Log().front(), "timer 1");

    window.SetTimer(1, 200);
    EXPECT_EQ(window.TimerPeriod(1), 200u);
    window.KillTimer(1);
    EXPECT_EQ(window.TimerPeriod(1), std::nullopt);
    window.Attach(nullptr);
}

TEST(HeadlessWindow, ModalBoxKeepsTheLoopRunningUntilAnswered) {
    HeadlessWindow window(Manual());
    RecordingClient client(window);
    window.Attach(&client);

    // A scripted answer returns at once.
    window.AnswerMessageBox(IDYES);
    int first = 0;
    window.Send([&] { first = window.MessageBox({L"Continue?", L"Search", MB_YESNO, {L"YES", L"NO"}}); });
    EXPECT_EQ(first, IDYES);

    // Without one, the box waits; messages sent meanwhile are still handled.
    std::atomic<int> second{0};
    window.Post([&] { second = window.MessageBox({L"Limit reached", L"", MB_OK, {}}); });
    window.SendMouseMove(0, POINT{7, 8});  // would hang if the loop were blocked
    EXPECT_EQ(second, 0);
    window.AnswerMessageBox(IDOK);
    window.Send([] {});
    EXPECT_EQ(second, IDOK);

    auto boxes = window.MessageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].buttonLabels, (std::vector<std::wstring>{L"YES", L"NO"}));
    EXPECT_EQ(boxes[1].text, L"Limit reached");
    window.Attach(nullptr);
}

TEST(HeadlessWindow, ScrollBarsKeepThePositionWhereTheThumbCanBe) {
    HeadlessWindow window(Manual());
    SCROLLINFO info;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMin = 0;
    info.nMax = 1000;
    info.nPage = 600;
    info.nPos = 900;
    window.SetScrollInfo(SB_VERT, info, true);
    EXPECT_EQ(window.ScrollInfo(SB_VERT).nPos, 401);  // 1000 - (600 - 1)

    info.fMask = SIF_POS;
    info.nPos = -5;
    window.SetScrollInfo(SB_VERT, info, true);
    EXPECT_EQ(window.ScrollInfo(SB_VERT).nPos, 0);
    EXPECT_EQ(window.ScrollInfoSetCount(SB_VERT), 2);
    EXPECT_EQ(window.ScrollInfoSetCount(SB_HORZ), 0);

    window.SetTrackPosition(SB_VERT, 123);
    SCROLLINFO read;
    read.fMask = SIF_ALL;
    ASSERT_TRUE(window.GetScrollInfo(SB_VERT, read));
    EXPECT_EQ(read.nTrackPos, 123);
    EXPECT_EQ(read.nPage, 600u);

    window.EnableScrollBar(SB_HORZ, ESB_DISABLE_BOTH);
    EXPECT_EQ(window.ScrollArrows(SB_HORZ), ESB_DISABLE_BOTH);
    EXPECT_EQ(window.ScrollArrows(SB_VERT), ESB_ENABLE_BOTH);
}

// A dialog's client that notes what reaches it, and on which thread.
class NotingDialog : public DialogClient {
public:
    explicit NotingDialog(HeadlessWindow& window) : window_(window) {}
    void OnInitDialog(WindowHandle dialog) override {
        handle = dialog;
        Note("init");
    }
    void OnDialogCommand(std::int32_t control, const DialogValues& values) override {
        Note("command " + std::to_string(control) + (values.empty() ? "" : " with values"));
    }
    void OnDialogTimer(unsigned id) override { Note("timer " + std::to_string(id)); }
    void OnDialogColour(std::int32_t control, COLORREF colour) override {
        char text[32];
        std::snprintf(text, sizeof text, "colour %d %06x", control, colour);
        Note(text);
    }
    void OnDialogActivate() override { Note("activate"); }
    void OnDialogDestroyed() override { Note("destroyed"); }

    std::vector<std::string> Log() {
        std::lock_guard<std::mutex> guard(mutex_);
        return log_;
    }
    bool AllOnWindowThread() const { return allOnWindowThread_; }
    std::atomic<WindowHandle> handle{0};

private:
    void Note(std::string entry) {
        if (!window_.OnWindowThread())
            allOnWindowThread_ = false;
        std::lock_guard<std::mutex> guard(mutex_);
        log_.push_back(std::move(entry));
    }
    HeadlessWindow& window_;
    std::mutex mutex_;
    std::vector<std::string> log_;
    std::atomic<bool> allOnWindowThread_{true};
};

DialogTemplate ColourDialog() {
    DialogTemplate dialog;
    dialog.title = L"Note";
    DialogControl edit;
    edit.kind = DialogControl::Kind::Edit;
    edit.id = 253;
    edit.multiline = true;
    DialogControl swatch;
    swatch.kind = DialogControl::Kind::Swatch;
    swatch.id = 5;
    swatch.colour = 0xFFFFFF;
    DialogControl chooser;
    chooser.kind = DialogControl::Kind::Colour;
    chooser.id = 4;
    chooser.text = L"Colour...";
    DialogControl ok;
    ok.kind = DialogControl::Kind::Button;
    ok.id = IDOK;
    dialog.controls = {edit, swatch, chooser, ok};
    return dialog;
}

TEST(HeadlessWindow, AModelessDialogLivesBesideTheWindowUntilItIsDestroyed) {
    HeadlessWindow window(Manual());
    NotingDialog client(window);
    WindowHandle handle = 0;
    window.Send([&] { handle = window.CreateModelessDialog(ColourDialog(), client); });
    ASSERT_GE(handle, kFirstDialogHandle);
    EXPECT_EQ(client.handle, handle);
    // Beside the window, not in front of it: no modal dialog is open.
    EXPECT_FALSE(window.OpenDialog());
    ASSERT_EQ(window.Dialogs().size(), 1u);
    EXPECT_FALSE(window.Dialogs()[0].modal);
    EXPECT_TRUE(window.Dialogs()[0].open);

    // What the reader does with it reaches its client, on the window thread.
    ASSERT_TRUE(window.PressDialogButton(handle, 257, {{253, L"word"}}));
    ASSERT_TRUE(window.ChooseDialogColour(handle, 4, 0x3C2B1A));
    EXPECT_FALSE(window.ChooseDialogColour(handle, 5, 0x000000));    // a swatch chooses nothing
    EXPECT_FALSE(window.ChooseDialogColour(handle, 253, 0x000000));  // nor does an edit box
    ASSERT_TRUE(window.ActivateDialog(handle));
    window.Send([&] {
        window.SetDialogTimer(handle, 1, 1000);
        DialogItemChange change;
        change.control = 5;
        change.colour = 0x3C2B1A;
        window.ChangeDialogItem(handle, change);
        window.ShowDialog(handle, false);
    });
    window.SendTimer(DialogTimerId(handle, 1));
    std::optional<HeadlessWindow::ShownDialog> shown = window.Dialog(handle);
    ASSERT_TRUE(shown);
    EXPECT_FALSE(shown->visible);
    EXPECT_EQ(shown->dialog.controls[1].colour, 0x3C2B1Au);
    EXPECT_EQ(window.TimerPeriod(DialogTimerId(handle, 1)), 1000u);

    // A modal dialog runs while it is up, and ends without touching it.
    NotingDialog modal(window);
    std::atomic<int> code{0};
    window.Post([&] { code = window.RunModalDialog(ColourDialog(), modal); });
    window.Send([] {});
    std::optional<HeadlessWindow::ShownDialog> open = window.OpenDialog();
    ASSERT_TRUE(open);
    EXPECT_NE(open->handle, handle);
    window.Send([&] { window.EndDialog(open->handle, IDOK); });
    window.Send([] {});
    EXPECT_EQ(code, IDOK);
    // EndDialog is for modal dialogs: this one stays.
    window.Send([&] { window.EndDialog(handle, IDOK); });
    EXPECT_TRUE(window.Dialog(handle)->open);

    window.Send([&] { window.DestroyDialog(handle); });
    EXPECT_FALSE(window.Dialog(handle)->open);
    // Its timers went with it, and nothing more reaches it.
    EXPECT_EQ(window.TimerPeriod(DialogTimerId(handle, 1)), std::nullopt);
    EXPECT_FALSE(window.PressDialogButton(handle, IDOK));
    EXPECT_FALSE(window.ActivateDialog(handle));
    window.Send([&] {
        window.SetDialogTimer(handle, 2, 10);
        window.DestroyDialog(handle);  // once only
    });
    EXPECT_EQ(window.TimerPeriod(DialogTimerId(handle, 2)), std::nullopt);

    EXPECT_EQ(client.Log(), (std::vector<std::string>{"init", "command 257 with values", "colour 4 3c2b1a", "activate",
                                                      "timer 1", "destroyed"}));
    EXPECT_TRUE(client.AllOnWindowThread());
}

TEST(HeadlessWindow, OpenDialogsAreBoundedAndTheWindowsEndDestroysTheModelessOnes) {
    std::vector<std::unique_ptr<NotingDialog>> clients;
    {
        HeadlessWindow window(Manual());
        std::vector<WindowHandle> handles;
        window.Send([&] {
            for (std::size_t i = 0; i <= kOpenDialogLimit; ++i) {
                clients.push_back(std::make_unique<NotingDialog>(window));
                handles.push_back(window.CreateModelessDialog(ColourDialog(), *clients.back()));
            }
        });
        ASSERT_EQ(handles.size(), kOpenDialogLimit + 1);
        EXPECT_EQ(handles.back(), 0u);
        EXPECT_TRUE(clients.back()->Log().empty());
        // At the bound a modal dialog is not shown either.
        NotingDialog modal(window);
        int code = 0;
        window.Send([&] { code = window.RunModalDialog(ColourDialog(), modal); });
        EXPECT_EQ(code, IDCANCEL);
        EXPECT_TRUE(modal.Log().empty());
        // One destroyed makes room for another.
        window.Send([&] {
            window.DestroyDialog(handles[0]);
            handles.back() = window.CreateModelessDialog(ColourDialog(), *clients.back());
        });
        EXPECT_NE(handles.back(), 0u);

        window.SetVisible(false);
        EXPECT_FALSE(window.IsVisible());
    }
    for (const auto& client : clients) {
        EXPECT_EQ(client->Log(), (std::vector<std::string>{"init", "destroyed"}));
        EXPECT_TRUE(client->AllOnWindowThread());
    }
}

}  // namespace
}  // namespace zov
