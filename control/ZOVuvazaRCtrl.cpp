#include "control/ZOVuvazaRCtrl.h"

#include "control/StartupArgs.h"
#include "control/Keyboard.h"
#include "control/Toolbar.h"
#include "control/ZOVuvazaRServer.h"
#include "dialogs/Dialogs.h"
#include "documents/FileTypes.h"
#include "documents/PreviewSettings.h"
#include "documents/Upload.h"
#include "platform/DataFolder.h"
#include "platform/FileSystem.h"
#include "platform/Locks.h"
#include "platform/TextFile.h"
#include "workwin/Launch.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <mutex>

namespace zov {

namespace {

using namespace std::chrono_literals;

// A screen reader is told of changes at most this often: a turn or a scroll
// changes the picture every tick.
constexpr auto kDescribeEvery = 250ms;

// How long the worker sleeps when the queue is empty: bounds the latency of a
// command.
constexpr auto kWorkerPoll = 20ms;
// How often the worker, waiting for the command lock, looks at its stop flag:
// the lock may be held by a message box on the window thread, whose nested
// loop can run ClearMemory, which waits for the worker.
constexpr auto kCommandLockPoll = 5ms;
// How often a stopping thread checks that the other side has finished.
constexpr auto kStopPoll = 50ms;
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
    folderTree.reset();
    toolbarImages.reset();
    toolbarDisabledImages.reset();
    ClearMemory();
    stopRequested = true;
    workerWake.Notify();
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
        viewer->SetToolbarRoom(true);
        viewer->SetReducedMotion(reducedMotion);
        viewer->SetDeviceScale(DeviceScale());
        if (folderTree)
            viewer->SetTreeRoom(true);
        ChooseAndCreateToolbar();
        RestartTimer();
        return true;
    } catch (...) {
        return false;
    }
}

void CZOVuvazaRCtrl::ClearMemory() {
    try {
        CloseToolbar();
        StopWorker();
        CancelSearch();
        searchDialog.reset();
        viewer.reset();
    } catch (...) {
    }
}

void CZOVuvazaRCtrl::StopWorker() {
    stopRequested = true;
    workerWake.Notify();
    PollUntil([this] { return stopped.load(); }, kStopPoll);
    if (worker.joinable())
        worker.join();
}

void CZOVuvazaRCtrl::CancelSearch() {
    if (viewer)
        CancelSearchAndWait(*viewer);
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
        const bool stored = commands.Post(code, point, value, delta);
        workerWake.Notify();
        return stored;
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
            workerWake.Wait(kWorkerPoll);
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
        SyncToolbar();
        ApplyViewerCursor();
        DescribeScreen();
    } catch (...) {
    }
}

void CZOVuvazaRCtrl::DescribeScreen() {
    if (!viewer || !window)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (now - describedAt < kDescribeEvery)
        return;
    describedAt = now;
    ScreenSummary summary = viewer->Summarise();
    ScreenDescription description{std::move(summary.books), summary.zoomed, {}};
    if (summary.zoomed >= 0) {
        PagesFacingUp open{std::move(summary.zoomedPath), std::move(summary.openPages)};
        if (open != askedTexts) {
            askedTexts = open;
            pageTexts.Request(open);
        }
        if (std::optional<OpenPageTexts> texts = pageTexts.Take())
            readTexts = std::move(texts);
        // The page numbers at once, their texts once read.
        if (readTexts && readTexts->which == askedTexts) {
            description.openPages = readTexts->pages;
        } else {
            for (const std::int32_t page : askedTexts.pages)
                description.openPages.push_back(DescribedPage{page, {}, false});
        }
    }
    if (described == description)
        return;
    window->DescribeScreen(description);
    described = std::move(description);
}

void CZOVuvazaRCtrl::ApplyViewerCursor() {
    if (!viewer || !window)
        return;
    const int cursor = viewer->PointerCursor();
    if (cursor == appliedCursor)
        return;
    appliedCursor = cursor;
    window->SetCursor(cursor ? cursor : IDC_ARROW);
}

void CZOVuvazaRCtrl::ShowSearchDialog() {
    if (!viewer || !window)
        return;
    if (!searchDialog)
        searchDialog = std::make_unique<CVSearchDialog>(*window, *viewer, japanese, [this] { return SearchConsent(); });
    searchDialog->Show();
}

bool CZOVuvazaRCtrl::SearchConsent() {
    if (!viewer || !viewer->SearchNeedsConsent())
        return true;
    const int answer =
        japanese ? AskBox(L"検索データの無いファイルがありますが、検索処理を実行しますか？", L"検索", MB_YESNO | MB_ICONQUESTION)
                 : AskBox(L"There are no data for search. Do you want to continue search?", L"Search",
                          MB_YESNO | MB_ICONQUESTION);
    if (answer != IDYES)
        return false;
    viewer->SearchConsentGiven();
    return true;
}

void CZOVuvazaRCtrl::EditNote(std::uint64_t noteTicket, std::wstring text, COLORREF colour) {
    if (!window)
        return;
    // The worker hands the click over; the dialog belongs to the window thread.
    window->Post([this, noteTicket, text = std::move(text), colour] {
        try {
            if (!window || !viewer)
                return;
            CVStickyDialog dialog(true, text, colour);
            if (dialog.DoModal(*window) == IDOK && viewer)
                viewer->ApplyNoteEdit(noteTicket, dialog.Text(), dialog.Colour());
        } catch (...) {
        }
    });
}

void CZOVuvazaRCtrl::ChooseAndCreateToolbar() {
    if (!window)
        return;
    const SIZE size = window->ClientSize();
    const double scale = DeviceScale();
    const ToolbarKind kind = ChooseToolbarKind(GetPreviewSettings().eValueNSMode || largeToolbarWanted,
                                               static_cast<std::int32_t>(size.cx / scale));
    if (toolbar) {
        // Made again for other pictures, for another screen density, and
        // for the other set of buttons: a search text found after the
        // toolbar was made must show the search button.
        const bool large = !toolbarShape.buttons.empty() && toolbarShape.buttons.front().id == kButtonSearch;
        if (ShownImageSide(kind, scale) != toolbarShape.imageSide || ToolbarScale(scale) != toolbarShape.scale ||
            large != (kind == ToolbarKind::Large32))
            CloseToolbar();
    }
    if (toolbar)
        return;
    ToolbarTemplate shape = MakeToolbar(kind, size.cx, japanese, viewer && viewer->AutoFlipOn(), scale);
    toolbarImages = std::make_unique<ImageList>(shape.images);
    toolbarDisabledImages = std::make_unique<ImageList>(shape.disabledImages);
    toolbar = window->CreateToolbar(shape);
    if (!toolbar)
        return;
    toolbarShape = std::move(shape);
    previousEnabled = true;
    nextEnabled = true;
    stitchState = -1;
    openModeState = -1;
    autoFlipState = -1;
    // The next tick enters its mode afresh, so that buttons disabled below
    // are enabled again while a book is zoomed.
    toolbarMode = 0;
    EnableButton(kButtonThumbnails, false);
    EnableButton(kButtonPreviousFile, false);
    EnableButton(kButtonNextFile, false);
}

void CZOVuvazaRCtrl::CloseToolbar() {
    if (toolbar && window)
        window->DestroyChild(toolbar);
    toolbar = 0;
}

void CZOVuvazaRCtrl::EnableButton(std::int32_t button, bool enabled) {
    window->ChangeToolbarButton(toolbar, ToolbarButtonChange{button, enabled, std::nullopt, std::nullopt});
}

void CZOVuvazaRCtrl::CheckButton(std::int32_t button, bool checked) {
    window->ChangeToolbarButton(toolbar, ToolbarButtonChange{button, std::nullopt, checked, std::nullopt});
}

void CZOVuvazaRCtrl::SyncToolbar() {
    if (!viewer || !toolbar || !toolbarVisible || !window)
        return;
    const ToolbarView view = viewer->ToolbarState();
    if (view.zoomed) {
        if (toolbarMode != 2) {
            toolbarMode = 2;
            EnableButton(kButtonThumbnails, true);
            EnableButton(kButtonPreviousFile, true);
            EnableButton(kButtonNextFile, true);
            previousEnabled = true;
            nextEnabled = true;
        }
        if (view.hasPrevious != previousEnabled) {
            previousEnabled = view.hasPrevious;
            EnableButton(kButtonPreviousFile, previousEnabled);
        }
        if (view.hasNext != nextEnabled) {
            nextEnabled = view.hasNext;
            EnableButton(kButtonNextFile, nextEnabled);
        }
    } else if (toolbarMode != 1) {
        toolbarMode = 1;
        EnableButton(kButtonThumbnails, false);
        EnableButton(kButtonPreviousFile, false);
        EnableButton(kButtonNextFile, false);
    }
    const int openMode = view.singlePage ? 2 : view.equalPageWidths ? 0 : 1;
    if (openMode != openModeState) {
        openModeState = openMode;
        CheckButton(kButtonCompleteOpen, openMode == 0);
        CheckButton(kButtonUnCompleteOpen, openMode == 1);
        CheckButton(kButtonSingleOpen, openMode == 2);
    }
    const int stitch = view.rightStitch ? 1 : 0;
    if (stitch != stitchState) {
        stitchState = stitch;
        CheckButton(kButtonStitchLeft, stitch == 0);
        CheckButton(kButtonStitchRight, stitch == 1);
    }
    const int autoFlipping = view.autoFlip ? 1 : 0;
    if (autoFlipping != autoFlipState) {
        autoFlipState = autoFlipping;
        // The tooltip says what a click does now.
        window->ChangeToolbarButton(toolbar, ToolbarButtonChange{kButtonAutoFlip, std::nullopt, autoFlipping == 1,
                                                                 ToolbarTip(kButtonAutoFlip, japanese, view.autoFlip)});
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

void CZOVuvazaRCtrl::OnRButtonUp(std::uint32_t, POINT point) {
    try {
        ShowContextMenu(point);
    } catch (...) {
    }
}

void CZOVuvazaRCtrl::OpenInNewWindow() {
    std::optional<DisplayFile> file = viewer->CurrentFile();
    if (!file)
        return;
    // Written only once the new window's control exists: its constructor
    // throws away any start-up file it finds, as one left by a launch that
    // never arrived.
    std::wstring args = LaunchStartupArgs(GetPreviewSettings().previewRoot, file->path, file->caption);
    window->OpenWindow(LaunchPage{BuildLaunchPage(file->caption),
                                  [args = std::move(args)] {
                                      CreateFolderTree(UserDataFolder());
                                      WriteTextFile(StartupArgsPath(), args);
                                  }});
}

void CZOVuvazaRCtrl::ShowContextMenu(POINT point) {
    if (!viewer || !window || GetPreviewSettings().eValueNSMode || viewer->CurrentFileType() != kFilePdf)
        return;
    const bool zoomed = viewer->ToolbarState().zoomed;
    const std::uint32_t chosen = window->TrackPopupMenu(ContextMenu(zoomed), point);
    // The menu's own loop runs the page's calls: the viewer may be gone.
    if (!viewer)
        return;
    switch (chosen) {
    case kMenuAddNote:
        viewer->AddNoteAt(point);
        break;
    case kMenuOpenInNewWindow:
        OpenInNewWindow();
        break;
    case kMenuJumpToPage:
        JumpToPage();
        break;
    case kMenuDelete:
        viewer->RemoveCurrentObject();
        break;
    default:
        break;
    }
}

void CZOVuvazaRCtrl::JumpToPage() {
    if (!viewer || !viewer->ToolbarState().zoomed)
        return;
    CVJumpPageDialog dialog;
    if (dialog.DoModal(*window) != IDOK || !viewer)
        return;
    const std::int32_t pages = viewer->ZoomedPageCount();
    std::int32_t page = dialog.PageNumber();
    if (page < 1)
        page = 0;
    if (page > pages)
        page = pages;
    viewer->JumpZoomedToPage(page);
}

void CZOVuvazaRCtrl::OnMouseMove(std::uint32_t keyFlags, POINT point) {
    try {
        // Back over the viewer, an open tree slides closed.
        if (folderTree && window) {
            RECT rect = folderTree->GetWindowRect();
            std::int32_t width = rect.right - rect.left;
            while (width > kTreeClosedWidth) {
                std::this_thread::sleep_for(std::chrono::milliseconds(kTreeSlideSleepMs));
                rect.right = rect.left + width;
                folderTree->MoveWindow(rect);
                window->Update();
                width -= kTreeSlideStep;
            }
            if (rect.right - rect.left != kTreeClosedWidth) {
                std::this_thread::sleep_for(std::chrono::milliseconds(kTreeSlideSleepMs));
                rect.right = rect.left + kTreeClosedWidth;
                folderTree->MoveWindow(rect);
                window->Update();
            }
        }
    } catch (...) {
    }
    PostCommand(kCommandMouseMove, &point, static_cast<std::int32_t>(keyFlags));
}

void CZOVuvazaRCtrl::OnTreeNotify(WindowHandle tree, const TreeNotification& notification) {
    try {
        if (folderTree && folderTree->Handle() == tree)
            folderTree->Notify(notification);
    } catch (...) {
    }
}

void CZOVuvazaRCtrl::ShowFolderFiles(const std::wstring& folder) {
    SetFolder(folder, true);
}

double CZOVuvazaRCtrl::DeviceScale() const {
    return window ? static_cast<double>(window->Dpi()) / kBaseDpi : 1.0;
}

RECT CZOVuvazaRCtrl::FolderTreeRect(std::int32_t width) const {
    width = static_cast<std::int32_t>(std::lround(width * DeviceScale()));
    const SIZE client = window ? window->ClientSize() : SIZE{};
    const RECT bar = toolbarVisible && toolbar && window ? window->ChildRect(toolbar) : RECT{};
    const std::int32_t top = bar.bottom - bar.top;
    return RECT{0, top, width, std::max(top, static_cast<std::int32_t>(client.cy))};
}

void CZOVuvazaRCtrl::OnMouseWheel(std::uint32_t keyFlags, std::int16_t delta, POINT screenPoint) {
    PostCommand(kCommandMouseWheel, &screenPoint, static_cast<std::int32_t>(keyFlags), delta);
}

void CZOVuvazaRCtrl::OnKeyDown(std::uint32_t virtualKey, std::uint32_t keyFlags) {
    try {
        if (!viewer)
            return;
        const KeyAction action = ActionOfKey(virtualKey, keyFlags, viewer->ToolbarState());
        switch (action.kind) {
        case KeyAction::kCommand:
            OnCommand(static_cast<std::uint32_t>(action.value));
            break;
        case KeyAction::kDeskScroll:
            Scroll(SB_VERT, action.value);
            break;
        case KeyAction::kZoomCurrent:
            // The click a reader would make on the highlighted book; before
            // any book was pointed at, the first one.
            if (std::optional<POINT> point = viewer->CurrentObjectPoint()) {
                PostCommand(kCommandButtonDown, &*point, 0);
                PostCommand(kCommandButtonUp, &*point, 0);
            } else {
                viewer->RequestZoomFirst();
            }
            break;
        case KeyAction::kNone:
            break;
        }
    } catch (...) {
    }
}

void CZOVuvazaRCtrl::OnDpiChanged(unsigned dpi) {
    try {
        if (viewer)
            viewer->SetDeviceScale(static_cast<double>(dpi) / kBaseDpi);
        // The toolbar is made again for the new density by the WM_SIZE that
        // follows; the folder tree is moved by it.
    } catch (...) {
    }
}

void CZOVuvazaRCtrl::OnMotionSetting(bool reduced) {
    reducedMotion = reduced;
    if (viewer)
        viewer->SetReducedMotion(reduced);
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
    try {
        if (!viewer)
            return;
        POINT size{width, height};
        PostCommand(kCommandSize, &size, static_cast<std::int32_t>(sizeType));
        if (toolbarVisible && window) {
            ChooseAndCreateToolbar();
            if (toolbar) {
                RECT rect = window->ChildRect(toolbar);
                rect.right = rect.left + width;
                window->MoveChild(toolbar, rect);
                toolbarShape.rect = rect;
            }
        }
        if (folderTree) {
            RECT rect = FolderTreeRect(kTreeOpenWidth);
            rect.bottom = std::max(rect.top, height);
            folderTree->MoveWindow(rect);
        }
    } catch (...) {
    }
}

bool CZOVuvazaRCtrl::OnSetCursor() {
    try {
        if (!viewer || !window)
            return false;
        ApplyViewerCursor();
        return viewer->PointerCursor() != 0;
    } catch (...) {
        return false;
    }
}

void CZOVuvazaRCtrl::OnCommand(std::uint32_t id) {
    try {
        switch (id) {
        case kButtonScaleUp: ScaleUp(); break;
        case kButtonScaleDown: ScaleDown(); break;
        case kButtonFlipLastPage: PostCommand(kCommandFlipLast); break;
        case kButtonFlipNext10: FlipLeft2(); break;
        case kButtonFlipNext: FlipLeft(); break;
        case kButtonFlipPrevious: FlipRight(); break;
        case kButtonFlipPrevious10: FlipRight2(); break;
        case kButtonFlipFirstPage: PostCommand(kCommandFlipFirst); break;
        case kButtonAutoFlip: FlipAuto(); break;
        case kButtonThumbnails: ZoomDown(); break;
        case kButtonCompleteOpen: CompleteOpenPage(); break;
        case kButtonUnCompleteOpen: UnCompleteOpenPage(); break;
        case kButtonSingleOpen: SingleOpenPage(); break;
        case kButtonStitchLeft: PostCommand(kCommandStitchLeft); break;
        case kButtonStitchRight: PostCommand(kCommandStitchRight); break;
        case kButtonPreviousFile: PostCommand(kCommandPreviousObject); break;
        case kButtonNextFile: PostCommand(kCommandNextObject); break;
        case kButtonSearch: ShowSearchDialog(); break;
        default:
            // The speed menu's items, also when a container delivers them
            // as commands.
            if (const int chosen = SpeedOfMenuItem(id))
                SetSpeed(chosen);
            break;
        }
    } catch (...) {
    }
}

void CZOVuvazaRCtrl::OnToolbarDropDown(std::int32_t button) {
    try {
        if (button == kButtonSpeed)
            ShowSpeedMenu();
    } catch (...) {
    }
}

void CZOVuvazaRCtrl::ShowSpeedMenu() {
    if (!window || !toolbar)
        return;
    const RECT bar = window->ChildRect(toolbar);
    const RECT button = ToolbarButtonRect(toolbarShape, kButtonSpeed);
    const POINT at{bar.left + button.left + 32, bar.top + button.bottom};
    if (const int chosen = SpeedOfMenuItem(window->TrackPopupMenu(SpeedMenu(japanese, speed), at)))
        SetSpeed(chosen);
}

int CZOVuvazaRCtrl::AskBox(const std::wstring& text, const std::wstring& caption, std::uint32_t type) {
    if (!window)
        return IDCANCEL;
    MessageBoxRequest request{text, caption, type, {}};
    const std::uint32_t buttons = type & 0xFu;
    if (!japanese && (buttons == MB_YESNO || buttons == MB_YESNOCANCEL))
        request.buttonLabels = buttons == MB_YESNO ? std::vector<std::wstring>{L"YES", L"NO"}
                                                   : std::vector<std::wstring>{L"YES", L"NO", L"Cancel"};
    return window->MessageBox(request);
}

void CZOVuvazaRCtrl::OnDropFiles(const std::vector<std::wstring>& paths) {
    try {
        if (!folderRemembered || !viewer || !window)
            return;
        if (paths.size() + viewer->ObjectCount() > kMaxDeskFiles) {
            std::wstring text = L"追加できるファイルは%d個までです。";
            text.replace(text.find(L"%d"), 2, std::to_wstring(kMaxDeskFiles));
            AskBox(text, L"ZOVuvazaR", MB_OK | MB_ICONEXCLAMATION);
            return;
        }
        if (paths.empty())
            return;
        CVProgressBar progress;
        progress.SetRange(static_cast<std::int32_t>(paths.size()) + 1);
        progress.SetPosition(1);
        progress.SetFileName(paths.front());
        const std::wstring folder = rememberedFolder;
        Flag done{false};
        std::thread upload([&progress, &paths, &folder, &done] {
            SetOnExit reportDone(done);
            try {
                for (const std::wstring& path : paths) {
                    if (progress.Cancelled())
                        break;
                    progress.SetFileName(path);
                    Upload(path, folder);
                    progress.Advance();
                }
            } catch (...) {
            }
            progress.SetPosition(progress.Range());
        });
        progress.DoModal(*window);
        // A dialog ended by a closing window must not leave uploads going.
        if (progress.Position() < progress.Range())
            progress.OnDialogCommand(IDCANCEL, {});
        PollUntil([&done] { return done.load(); }, std::chrono::milliseconds(kUploadPollMs));
        upload.join();
        if (viewer)
            SetFolder(rememberedFolderForRelist, true);
    } catch (...) {
    }
}

void CZOVuvazaRCtrl::OnProperties() {
    try {
        if (!window)
            return;
        // Made by the server's own factory for it, as a container's
        // property sheet makes its pages.
        void* made = nullptr;
        void* factory = nullptr;
        if (FAILED(CZOVuvazaRApp::Instance().GetClassObject(CLSID_ZOVuvazaRPropPage, IID_IClassFactory, &factory)))
            return;
        auto* pages = static_cast<IClassFactory*>(factory);
        const HRESULT result = pages->CreateInstance(nullptr, IID_IUnknown, &made);
        pages->Release();
        if (FAILED(result) || !made)
            return;
        auto* page = static_cast<ZOVuvazaRPropPageObject*>(static_cast<IUnknown*>(made));
        page->Page().DoModal(*window);
        page->Release();
    } catch (...) {
    }
}

}  // namespace zov
