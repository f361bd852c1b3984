#include "control/StartupArgs.h"
#include "control/ZOVuvazaRCtrl.h"
#include "platform/DataFolder.h"
#include "platform/FileSystem.h"
#include "platform/HeadlessWindow.h"
#include "platform/TextFile.h"
#include "tests/control/FakeViewer.h"
#include "tests/support/TempDataHome.h"

#include <thread>

namespace zov {
namespace {

using namespace std::chrono_literals;

// A control in a headless window whose timer ticks only when a test sends them.
class Control : public test::TempDataHome {
protected:
    void SetUp() override {
        TempDataHome::SetUp();
        HeadlessWindow::Options options;
        options.runTimers = false;
        options.clientSize = SIZE{1024, 768};
        window = std::make_unique<HeadlessWindow>(options);
    }

    void TearDown() override {
        Destroy();
        window.reset();
        TempDataHome::TearDown();
    }

    void Create() {
        window->Send([this] {
            control = std::make_unique<CZOVuvazaRCtrl>();
            control->AttachWindow(window.get());
        });
        window->Attach(control.get());
    }

    void InstallViewer() {
        bool made = false;
        window->Send([&] {
            made = control->CreateViewer([this](CZOVuvazaRCtrl&) { return std::make_unique<test::FakeViewer>(viewer); });
        });
        ASSERT_TRUE(made);
    }

    void Destroy() {
        if (!control)
            return;
        window->Attach(nullptr);
        window->Send([this] { control.reset(); });
    }

    void OnWindow(std::function<void()> work) { window->Send(std::move(work)); }

    // Waits (bounded) for the worker to reach a state; the figure is generous
    // because sanitizer builds are slow.
    template <typename Predicate>
    static bool Eventually(Predicate done) {
        for (int i = 0; i < 1000 && !done(); ++i)
            std::this_thread::sleep_for(5ms);
        return done();
    }

    bool CallsReach(size_t count) {
        return Eventually([&] { return viewer.Calls().size() >= count; });
    }

    void BlockWorker() {
        viewer.blockZoomDown = true;
        control->PostCommand(kCommandZoomDown);
        ASSERT_TRUE(Eventually([&] { return viewer.zoomDownEntered.load(); }));
    }

    std::unique_ptr<HeadlessWindow> window;
    std::unique_ptr<CZOVuvazaRCtrl> control;
    test::FakeViewerState viewer;
};

TEST_F(Control, CommandsBeforeAViewerAreTakenAndDropped) {
    Create();
    for (int i = 0; i < 20; ++i)
        EXPECT_TRUE(control->PostCommand(kCommandFlipNext));
    ASSERT_TRUE(Eventually([&] { return control->PendingCommands() == 0; }));

    InstallViewer();
    control->PostCommand(kCommandStitchRight);
    ASSERT_TRUE(CallsReach(1));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(viewer.Calls(), std::vector<std::string>{"StitchRight"});
}

TEST_F(Control, TheWorkerRunsEachCodeAsItsViewerOperation) {
    Create();
    InstallViewer();
    POINT p{11, 22};
    for (int code = 1; code <= 12; ++code)
        control->PostCommand(code);
    ASSERT_TRUE(CallsReach(12));
    for (int code = 13; code <= 16; ++code)
        control->PostCommand(code);
    control->PostCommand(kCommandButtonDown, &p, MK_LBUTTON);
    control->PostCommand(kCommandButtonUp, &p, 0);
    control->PostCommand(kCommandMouseMove, &p, MK_LBUTTON | MK_SHIFT);
    control->PostCommand(kCommandMouseWheel, &p, 0, -120);
    control->PostCommand(kCommandScroll);
    control->PostCommand(kCommandSize, &p, SIZE_RESTORED);
    control->PostCommand(23);  // no operation
    control->PostCommand(kCommandStitchRight);
    ASSERT_TRUE(CallsReach(23));

    EXPECT_EQ(viewer.Calls(),
              (std::vector<std::string>{
                  "RequestFlip 4", "RequestFlip 5", "RequestFlip 6", "RequestFlip 7", "RequestFlip 8", "RequestFlip 9",
                  "ZoomDown", "Scale 1.500000 10", "Scale 0.666667 10", "CompleteOpenPage 11",
                  "UnCompleteOpenPage 11", "SingleOpenPage 11", "StitchLeft", "StitchRight", "PreviousObject 1",
                  "NextObject 1", "PointerDown 11,22", "PointerUp 11,22", "PointerMove 5 11,22", "Wheel -120 11,22",
                  "ApplyScroll", "Resize", "StitchRight"}));
}

TEST_F(Control, TwentyOneCommandsWhileTheWorkerIsBlocked) {
    Create();
    InstallViewer();
    BlockWorker();
    for (int i = 0; i < 21; ++i) {
        POINT p{i, i};
        EXPECT_EQ(control->PostCommand(kCommandMouseMove, &p, 0), i < 20) << i;
    }
    viewer.blockZoomDown = false;
    ASSERT_TRUE(CallsReach(21));
    std::this_thread::sleep_for(50ms);
    auto calls = viewer.Calls();
    ASSERT_EQ(calls.size(), 21u);
    EXPECT_EQ(calls[0], "ZoomDown");
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(calls[i + 1], "PointerMove 0 " + std::to_string(i) + "," + std::to_string(i));
}

TEST_F(Control, MouseAndSizeMessagesBecomeCommandsAndBurstsMerge) {
    Create();
    // Without a viewer a size message posts nothing.
    window->SendSize(800, 600);
    EXPECT_EQ(control->PendingCommands(), 0u);

    InstallViewer();
    BlockWorker();
    window->SendLButtonDown(MK_LBUTTON, POINT{10, 10});
    for (int i = 0; i < 40; ++i)
        window->SendMouseMove(MK_LBUTTON, POINT{10 + i, 20 + i});
    window->SendLButtonUp(0, POINT{49, 59});
    window->SendMouseMove(0, POINT{1, 1});
    window->SendMouseMove(0, POINT{2, 2});
    window->SendMouseWheel(MK_CONTROL, 240, POINT{500, 400});
    window->SendSize(640, 480);
    window->SendSize(1280, 960);
    EXPECT_EQ(control->PendingCommands(), 7u);
    viewer.blockZoomDown = false;
    ASSERT_TRUE(CallsReach(8));
    EXPECT_EQ(viewer.Calls(),
              (std::vector<std::string>{"ZoomDown", "PointerDown 10,10", "PointerMove 1 49,59", "PointerUp 49,59",
                                        "PointerMove 0 1,1", "PointerMove 0 2,2", "Wheel 240 500,400", "Resize"}));
}

TEST_F(Control, ScrollMessagesMoveTheBarAndAlwaysPostAScroll) {
    Create();
    InstallViewer();
    SCROLLINFO info;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMax = 1000;
    info.nPage = 100;
    info.nPos = 500;
    window->SetScrollInfo(SB_VERT, info, true);

    auto positionAfter = [&](int code) {
        window->SendVScroll(code);
        return window->ScrollInfo(SB_VERT).nPos;
    };
    EXPECT_EQ(positionAfter(SB_LINEDOWN), 520);
    EXPECT_EQ(positionAfter(SB_LINEUP), 500);
    EXPECT_EQ(positionAfter(SB_PAGEUP), 400);
    EXPECT_EQ(positionAfter(SB_PAGEDOWN), 500);
    window->SetTrackPosition(SB_VERT, 77);
    EXPECT_EQ(positionAfter(SB_THUMBTRACK), 77);
    EXPECT_EQ(positionAfter(SB_THUMBPOSITION), 77);
    EXPECT_EQ(positionAfter(SB_ENDSCROLL), 77);
    EXPECT_EQ(positionAfter(SB_BOTTOM), 901);  // the last position the thumb can take
    EXPECT_EQ(positionAfter(SB_TOP), 0);
    window->SendHScroll(SB_LINEDOWN);
    ASSERT_TRUE(CallsReach(10));
    for (const std::string& call : viewer.Calls())
        EXPECT_EQ(call, "ApplyScroll");
}

TEST_F(Control, AFailingCommandIsDiscardedAndTheNextOneRuns) {
    Create();
    InstallViewer();
    viewer.stitchLeftThrows = true;
    control->PostCommand(kCommandStitchLeft);
    control->PostCommand(kCommandStitchRight);
    ASSERT_TRUE(CallsReach(1));
    EXPECT_EQ(viewer.Calls(), std::vector<std::string>{"StitchRight"});
}

TEST_F(Control, ClearMemoryWaitsForTheRunningCommandAndCanBeRepeated) {
    Create();
    InstallViewer();
    BlockWorker();
    std::atomic<bool> cleared{false};
    std::atomic<bool> commandFinishedFirst{false};
    window->Post([&] {
        control->ClearMemory();
        commandFinishedFirst = viewer.zoomDownFinished.load();
        cleared = true;
    });
    std::this_thread::sleep_for(150ms);
    EXPECT_FALSE(cleared);
    viewer.blockZoomDown = false;
    ASSERT_TRUE(Eventually([&] { return cleared.load(); }));
    EXPECT_TRUE(commandFinishedFirst);
    EXPECT_TRUE(viewer.deleted);
    EXPECT_EQ(control->Viewer(), nullptr);

    // A second ClearMemory finds nothing to stop; commands are accepted but
    // nothing runs them any more.
    OnWindow([&] { control->ClearMemory(); });
    EXPECT_TRUE(control->PostCommand(kCommandFlipNext));
    std::this_thread::sleep_for(60ms);
    EXPECT_EQ(control->PendingCommands(), 1u);
    // Destruction after ClearMemory returns too.
    Destroy();
    EXPECT_EQ(control, nullptr);
}

TEST_F(Control, ClearMemoryCancelsARunningSearchFirst) {
    Create();
    InstallViewer();
    viewer.searchRunning = true;
    std::thread search([&] {
        while (!viewer.searchCancel)
            std::this_thread::sleep_for(5ms);
        std::this_thread::sleep_for(30ms);
        viewer.searchRunning = false;
    });
    OnWindow([&] { control->ClearMemory(); });
    search.join();
    EXPECT_TRUE(viewer.searchCancel);
    EXPECT_FALSE(viewer.searchRunning);
    EXPECT_TRUE(viewer.deleted);
}

TEST_F(Control, AStaleStartupFileIsDeletedAtConstruction) {
    ASSERT_TRUE(CreateFolderTree(UserDataFolder()));
    ASSERT_TRUE(WriteTextFile(StartupArgsPath(), L"SetUp\nja\nC0C0C0\nfalse\nid\n/tmp\nFolder\nfalse\n"));
    Create();
    EXPECT_FALSE(PathExists(StartupArgsPath()));
    OnWindow([&] { control->OnTimer(1); });
    EXPECT_FALSE(control->SetupDone());
}

TEST_F(Control, TheFirstTickConsumesAStartupFile) {
    Create();
    ASSERT_TRUE(CreateFolderTree(UserDataFolder()));
    ASSERT_TRUE(WriteTextFile(StartupArgsPath(), L"ZoomUpFirstObject\n"));
    window->SendTimer(1);
    EXPECT_TRUE(control->SetupDone());
    EXPECT_FALSE(PathExists(StartupArgsPath()));

    // Once set up, a later file is left for the control it was meant for.
    ASSERT_TRUE(WriteTextFile(StartupArgsPath(), L"ZoomUpFirstObject\n"));
    window->SendTimer(1);
    EXPECT_TRUE(PathExists(StartupArgsPath()));
}

TEST_F(Control, SpeedSetsTheTimerPeriodAndPaintingStartsTheTimer) {
    Create();
    EXPECT_EQ(window->TimerPeriod(CZOVuvazaRCtrl::kAnimationTimer), std::nullopt);
    // The first paint starts the timer, even before a viewer exists.
    OnWindow([&] {
        window->Invalidate(false);
        window->Update();
    });
    EXPECT_EQ(window->TimerPeriod(CZOVuvazaRCtrl::kAnimationTimer), 40u);

    const std::pair<int, unsigned> periods[] = {{2, 200}, {5, 80}, {10, 40}, {20, 20}, {50, 8}};
    for (auto [speed, period] : periods) {
        OnWindow([&] { control->SetSpeed(speed); });
        EXPECT_EQ(control->Speed(), speed);
        EXPECT_EQ(window->TimerPeriod(CZOVuvazaRCtrl::kAnimationTimer), period) << speed;
    }
    OnWindow([&] { control->SetSpeed(0); });  // not a speed of the menu
    EXPECT_EQ(control->Speed(), 50);
    EXPECT_EQ(window->TimerPeriod(CZOVuvazaRCtrl::kAnimationTimer), 8u);
}

TEST_F(Control, ATickWithAFrameRepaintsAndArmsTheDeskLock) {
    Create();
    InstallViewer();
    // Before the first frame, painting does not take the desk lock.
    OnWindow([&] {
        window->Invalidate(false);
        window->Update();
    });
    EXPECT_EQ(viewer.Calls(), std::vector<std::string>{"Paint"});
    EXPECT_FALSE(viewer.deskLockHeldDuringPaint);

    // A tick without a new frame asks nothing of the window.
    int invalidations = window->InvalidateCount();
    window->SendTimer(1);
    EXPECT_EQ(window->InvalidateCount(), invalidations);
    EXPECT_EQ(viewer.painted, 0);

    viewer.frameReady = true;
    window->SendTimer(1);
    EXPECT_EQ(window->InvalidateCount(), invalidations + 1);
    EXPECT_EQ(viewer.painted, 1);
    ASSERT_TRUE(Eventually([&] { return viewer.Calls().size() == 2; }));
    EXPECT_TRUE(viewer.deskLockHeldDuringPaint);
}

TEST_F(Control, ScrollRequestsFromTheWorkerWaitForTheNextTick) {
    Create();
    SCROLLINFO info;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMax = 2000;
    info.nPage = 768;
    info.nPos = 300;
    std::thread worker([&] {
        control->PostScrollInfo(SB_VERT, info);
        control->PostEnableScrollBar(SB_HORZ, ESB_DISABLE_BOTH);
    });
    worker.join();
    EXPECT_EQ(window->ScrollInfoSetCount(SB_VERT), 0);

    window->SendTimer(1);
    EXPECT_EQ(window->ScrollInfo(SB_VERT).nMax, 2000);
    EXPECT_EQ(window->ScrollInfo(SB_VERT).nPos, 300);
    EXPECT_EQ(window->ScrollArrows(SB_HORZ), ESB_DISABLE_BOTH);
}

TEST_F(Control, TheCursorFollowsTheViewer) {
    Create();
    EXPECT_FALSE(window->SendSetCursor());
    InstallViewer();
    EXPECT_FALSE(window->SendSetCursor());
    viewer.cursor = IDC_HAND;
    EXPECT_TRUE(window->SendSetCursor());
    EXPECT_EQ(window->Cursor(), IDC_HAND);
}

TEST_F(Control, LiveControlsAreCounted) {
    int before = CZOVuvazaRCtrl::LiveCount();
    Create();
    EXPECT_EQ(CZOVuvazaRCtrl::LiveCount(), before + 1);
    Destroy();
    EXPECT_EQ(CZOVuvazaRCtrl::LiveCount(), before);
}

}  // namespace
}  // namespace zov
