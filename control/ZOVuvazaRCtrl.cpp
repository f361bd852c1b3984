#include "control/ZOVuvazaRCtrl.h"

#include "control/StartupArgs.h"
#include "platform/FileSystem.h"
#include "platform/Locks.h"

#include <algorithm>
#include <atomic>
#include <mutex>

namespace zov {

namespace {

using namespace std::chrono_literals;

// How long the worker sleeps when the queue is empty: bounds the latency of a
// command.
constexpr auto kWorkerPoll = 20ms;
// How often the worker, waiting for the command lock, looks at its stop flag:
// the lock may be held by a message box on the window thread, whose nested
// loop can run ClearMemory, which waits for the worker.
constexpr auto kCommandLockPoll = 5ms;
// How often a stopping thread checks that the other side has finished.
constexpr auto kStopPoll = 50ms;
constexpr auto kSearchStopPoll = 200ms;
// A line of the scroll bars, in pixels.
constexpr std::int32_t kScrollLine = 20;

// The scale factors of ScaleUp and ScaleDown, with the animation steps.
constexpr double kScaleUpFactor = 1.5;
constexpr double kScaleDownFactor = 0.6666666666666666;
constexpr int kScaleSteps = 10;
// Flip actions run by commands 1 to 6 are 4 to 9, in that order.
constexpr int kFirstFlipAction = 4;

std::atomic<int> liveControls{0};

}  // namespace

CZOVuvazaRCtrl::CZOVuvazaRCtrl() {
    ++liveControls;
    // Make the module-wide locks now, before any second thread can race for
    // them.
    QueueLock();
    CommandLock();
    ScrollQueueLock();
    ScrollDrainLock();
    try {
        worker = std::thread([this] { WorkerLoop(); });
    } catch (...) {
        // Without a worker nothing will ever report "stopped": say it now so
        // that ClearMemory does not wait for it.
        stopped = true;
    }
    try {
        // A file left by a launch that never reached its window must not set
        // up this control.
        RemoveFile(StartupArgsPath());
    } catch (...) {
    }
}

CZOVuvazaRCtrl::~CZOVuvazaRCtrl() {
    toolbarImages.reset();
    toolbarDisabledImages.reset();
    toolbar = 0;
    ClearMemory();
    stopRequested = true;
    if (worker.joinable())
        worker.join();
    --liveControls;
}

int CZOVuvazaRCtrl::LiveCount() {
    return liveControls.load();
}

void CZOVuvazaRCtrl::AttachWindow(HostWindow* hostWindow) {
    window = hostWindow;
}

bool CZOVuvazaRCtrl::CreateViewer(const ViewerFactory& make) {
    try {
        LockGuard guard(CommandLock());
        if (viewer)
            return true;
        viewer = make(*this);
        if (!viewer)
            return false;
        toolbarVisible = true;
        RestartTimer();
        return true;
    } catch (...) {
        return false;
    }
}

void CZOVuvazaRCtrl::ClearMemory() {
    try {
        toolbar = 0;
        searchDialog = nullptr;
        StopWorker();
        CancelSearch();
        viewer.reset();
    } catch (...) {
    }
}

void CZOVuvazaRCtrl::StopWorker() {
    stopRequested = true;
    PollUntil([this] { return stopped.load(); }, kStopPoll);
    if (worker.joinable())
        worker.join();
}

void CZOVuvazaRCtrl::CancelSearch() {
    if (!viewer || !viewer->SearchRunning())
        return;
    viewer->CancelSearch();
    PollUntil([this] { return !viewer->SearchRunning(); }, kSearchStopPoll);
}

void CZOVuvazaRCtrl::SetSpeed(int newSpeed) {
    if (std::find(std::begin(kSpeeds), std::end(kSpeeds), newSpeed) == std::end(kSpeeds))
        return;
    speed = newSpeed;
    RestartTimer();
}

void CZOVuvazaRCtrl::RestartTimer() {
    if (window)
        window->SetTimer(kAnimationTimer, 400 / speed);
}

bool CZOVuvazaRCtrl::PostCommand(std::int32_t code, const POINT* point, std::int32_t value, std::int16_t delta) {
    try {
        return commands.Post(code, point, value, delta);
    } catch (...) {
        return false;
    }
}

bool CZOVuvazaRCtrl::PostScrollInfo(int bar, const SCROLLINFO& info) {
    return scrollRequests.PostSetInfo(bar, info);
}

bool CZOVuvazaRCtrl::PostEnableScrollBar(int bar, std::uint32_t arrows) {
    return scrollRequests.PostEnable(bar, arrows);
}

void CZOVuvazaRCtrl::RefreshWindowState() {
    // The toolbar follows on the next timer tick; the window is repainted.
    if (window)
        window->Invalidate(false);
}

void CZOVuvazaRCtrl::WorkerLoop() {
    SetOnExit reportStopped(stopped);
    while (!stopRequested) {
        std::optional<CommandNode> command;
        try {
            command = commands.Take();
        } catch (...) {
        }
        if (!command) {
            std::this_thread::sleep_for(kWorkerPoll);
            continue;
        }
        if (stopRequested)
            break;
        try {
            std::unique_lock<ProcessLock> guard(CommandLock(), std::try_to_lock);
            while (!guard.owns_lock() && !stopRequested) {
                std::this_thread::sleep_for(kCommandLockPoll);
                guard.try_lock();
            }
            if (!guard.owns_lock())
                break;
            // Before the first setup there is no viewer: the command is dropped.
            if (viewer)
                RunCommand(*viewer, *command);
        } catch (...) {
            // A failing command is discarded; the next one runs as usual.
        }
    }
}

void CZOVuvazaRCtrl::RunCommand(IViewer& target, const CommandNode& command) {
    switch (command.code) {
    case kCommandFlipNext:
    case kCommandFlipPrevious:
    case kCommandFlipNext10:
    case kCommandFlipPrevious10:
    case kCommandFlipLast:
    case kCommandFlipFirst:
        target.RequestFlip(command.code - kCommandFlipNext + kFirstFlipAction);
        break;
    case kCommandZoomDown:
        target.ZoomDown();
        break;
    case kCommandScaleUp:
        target.Scale(kScaleUpFactor, kScaleSteps);
        break;
    case kCommandScaleDown:
        target.Scale(kScaleDownFactor, kScaleSteps);
        break;
    case kCommandCompleteOpenPage:
        target.CompleteOpenPage(true, true);
        break;
    case kCommandUnCompleteOpenPage:
        target.UnCompleteOpenPage(true, true);
        break;
    case kCommandSingleOpenPage:
        target.SingleOpenPage(true, true);
        break;
    case kCommandStitchLeft:
        target.StitchLeft();
        break;
    case kCommandStitchRight:
        target.StitchRight();
        break;
    case kCommandPreviousObject:
        target.PreviousObject(true);
        break;
    case kCommandNextObject:
        target.NextObject(true);
        break;
    case kCommandButtonDown:
        target.PointerDown(command.x, command.y);
        break;
    case kCommandButtonUp:
        target.PointerUp(command.x, command.y, static_cast<std::uint32_t>(command.value));
        break;
    case kCommandMouseMove:
        target.PointerMove(static_cast<std::uint32_t>(command.value), command.x, command.y);
        break;
    case kCommandMouseWheel:
        target.Wheel(command.delta, command.x, command.y);
        break;
    case kCommandScroll:
        target.ApplyScroll();
        break;
    case kCommandSize:
        target.Resize();
        break;
    default:
        break;
    }
}

void CZOVuvazaRCtrl::OnTimer(unsigned id) {
    try {
        if (!setupDone)
            ConsumeStartupArgs();
        DrainScrollRequests();
        if (viewer && viewer->RequestUpdate(static_cast<int>(id))) {
            if (window) {
                window->Update();
                window->Invalidate(false);
            }
            viewer->SetPainted();
            paintingArmed = true;
        }
    } catch (...) {
    }
}

void CZOVuvazaRCtrl::ConsumeStartupArgs() {
    std::wstring path = StartupArgsPath();
    if (!PathExists(path))
        return;
    setupDone = true;
    std::vector<StartupCommand> startup = ReadStartupArgs(path);
    // Consumed once read: a failing command must not make a later control
    // run the same file again.
    RemoveFile(path);
    for (const StartupCommand& command : startup)
        RunStartupCommand(command);
}

void CZOVuvazaRCtrl::DrainScrollRequests() {
    try {
        LockGuard guard(ScrollDrainLock());
        while (std::optional<ScrollRequestNode> request = scrollRequests.Take()) {
            if (!window)
                continue;
            if (request->kind == kScrollRequestSetInfo)
                window->SetScrollInfo(request->bar, request->info, request->arg != 0);
            else if (request->kind == kScrollRequestEnable)
                window->EnableScrollBar(request->bar, static_cast<std::uint32_t>(request->arg));
        }
    } catch (...) {
    }
}

void CZOVuvazaRCtrl::OnPaint(const RECT& invalid) {
    try {
        RestartTimer();
        if (!viewer || !window)
            return;
        SIZE size = window->ClientSize();
        RECT client{0, 0, size.cx, size.cy};
        // Once frames arrive, a paint waits for the update step in progress:
        // buffer lock, then desk lock, the order every other user keeps.
        std::unique_lock<ProcessLock> buffer(BufferLock(), std::defer_lock);
        std::unique_lock<ProcessLock> desk(DeskLock(), std::defer_lock);
        if (paintingArmed) {
            buffer.lock();
            desk.lock();
        }
        viewer->Paint(client, invalid);
    } catch (...) {
    }
}

void CZOVuvazaRCtrl::OnLButtonDown(std::uint32_t keyFlags, POINT point) {
    PostCommand(kCommandButtonDown, &point, static_cast<std::int32_t>(keyFlags));
}

void CZOVuvazaRCtrl::OnLButtonUp(std::uint32_t keyFlags, POINT point) {
    PostCommand(kCommandButtonUp, &point, static_cast<std::int32_t>(keyFlags));
}

void CZOVuvazaRCtrl::OnRButtonUp(std::uint32_t, POINT) {
    // The context menu is built with the rest of the control's menus.
}

void CZOVuvazaRCtrl::OnMouseMove(std::uint32_t keyFlags, POINT point) {
    PostCommand(kCommandMouseMove, &point, static_cast<std::int32_t>(keyFlags));
}

void CZOVuvazaRCtrl::OnMouseWheel(std::uint32_t keyFlags, std::int16_t delta, POINT screenPoint) {
    PostCommand(kCommandMouseWheel, &screenPoint, static_cast<std::int32_t>(keyFlags), delta);
}

void CZOVuvazaRCtrl::OnVScroll(int code) {
    Scroll(SB_VERT, code);
}

void CZOVuvazaRCtrl::OnHScroll(int code) {
    Scroll(SB_HORZ, code);
}

void CZOVuvazaRCtrl::Scroll(int bar, int code) {
    try {
        if (window) {
            SCROLLINFO info;
            info.fMask = SIF_ALL;
            window->GetScrollInfo(bar, info);
            std::int32_t position = info.nPos;
            auto page = static_cast<std::int32_t>(info.nPage);
            switch (code) {
            case SB_LINEUP: position -= kScrollLine; break;
            case SB_LINEDOWN: position += kScrollLine; break;
            case SB_PAGEUP: position -= page; break;
            case SB_PAGEDOWN: position += page; break;
            case SB_THUMBTRACK: position = info.nTrackPos; break;
            case SB_TOP: position = 0; break;
            case SB_BOTTOM: position = info.nMax; break;
            default: break;
            }
            info.fMask = SIF_POS;
            info.nPos = position;
            window->SetScrollInfo(bar, info, true);
        }
        // Even a code that moves nothing lets the viewer follow the bars.
        PostCommand(kCommandScroll);
    } catch (...) {
    }
}

void CZOVuvazaRCtrl::OnSize(std::uint32_t sizeType, std::int32_t width, std::int32_t height) {
    if (!viewer)
        return;
    POINT size{width, height};
    PostCommand(kCommandSize, &size, static_cast<std::int32_t>(sizeType));
}

bool CZOVuvazaRCtrl::OnSetCursor() {
    try {
        if (!viewer || !window)
            return false;
        int cursor = viewer->PointerCursor();
        if (cursor == 0)
            return false;
        window->SetCursor(cursor);
        return true;
    } catch (...) {
        return false;
    }
}

void CZOVuvazaRCtrl::OnCommand(std::uint32_t id) {
    if (id >= kSpeedMenuFirst && id <= kSpeedMenuLast)
        SetSpeed(kSpeeds[std::size(kSpeeds) - 1 - (id - kSpeedMenuFirst)]);
}

}  // namespace zov
