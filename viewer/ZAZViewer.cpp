#include "viewer/ZAZViewer.h"

#include "documents/PreviewSource.h"
#include "platform/Locks.h"
#include "render/PageCache.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <random>

namespace zov {

namespace {

using namespace std::chrono_literals;

constexpr auto kUpdatePoll = 20ms;
constexpr auto kStopPoll = 50ms;

std::int32_t DrawInstanceId() {
    std::mt19937 generator(static_cast<std::uint32_t>(
        std::chrono::system_clock::now().time_since_epoch().count() ^ reinterpret_cast<std::uintptr_t>(&generator)));
    return static_cast<std::int32_t>(generator() & 0x7FFFFFFF);
}

}  // namespace

ViewLock::ViewLock() {
    BufferLock().lock();
    DeskLock().lock();
}

ViewLock::~ViewLock() {
    DeskLock().unlock();
    BufferLock().unlock();
}

ZAZViewer::ZAZViewer(ViewerHost* host) : instanceId(DrawInstanceId()), control(host) {
    // The zoomed view starts completely open.
    zoomLayout.openWidth = 128;
    zoomLayout.leftMargin = 141;
    zoomLayout.leafLift = 0;
    zoomLayout.openFactor = 1.0;
    // Make the viewer's locks before any of its threads race for them.
    BufferLock();
    DeskLock();
    StepLock();
    // The settings of the last run; applying them writes no file meanwhile.
    LoadViewState();
}

ZAZViewer::~ZAZViewer() {
    try {
        // A step still running turns books and reads their texts.
        StopSearch();
        if (loaderStarted) {
            loaderAbort = true;
            loaderStop = true;
            PollUntil([this] { return loaderStopped.load(); }, kStopPoll);
            if (loaderThread_.joinable())
                loaderThread_.join();
            loaderStarted = false;
        }
        if (updateThreadStarted) {
            stopUpdate = true;
            updateWake.Notify();
            PollUntil([this] { return updateStopped.load(); }, kStopPoll);
            if (updateThread_.joinable())
                updateThread_.join();
            updateThreadStarted = false;
        }
        // A detail load in flight may still be reading or downloading.
        StopDetailLoader();
        StopDownloadThread();
        {
            LockGuard guard(BufferLock());
            backBuffer.reset();
            zoomBackground.reset();
            zoomComposite.reset();
        }
        RemoveAllObjects();
        LockGuard desk(DeskLock());
        keywords.reset();
    } catch (...) {
    }
}

ZAZObject* ZAZViewer::ZoomedObject() const {
    LockGuard guard(DeskLock());
    return zoomedObject;
}

std::vector<ZAZObject*> ZAZViewer::Objects() const {
    LockGuard guard(DeskLock());
    std::vector<ZAZObject*> list;
    for (const std::shared_ptr<ZAZObject>& book : objects)
        list.push_back(book.get());
    return list;
}

void ZAZViewer::RemoveAllObjects() {
    // The command lock first, as every thread that takes both does.
    LockGuard command(CommandLock());
    LockGuard desk(DeskLock());
    currentObject = nullptr;
    zoomedObject = nullptr;
    snapshotObject = nullptr;
    pendingRepaintObject = nullptr;
    visibleObjects.clear();
    objects.clear();
    ClearCache(GetPreviewSettings());
}

bool ZAZViewer::RequestUpdate(int timerId) {
    try {
        if (!updateThreadStarted) {
            updateThreadStarted = true;
            stopUpdate = false;
            updateStopped = false;
            updateThread_ = std::thread([this] { UpdateThread(); });
        }
        updateRequest = timerId == 0 ? 1 : timerId;
        const bool ready = frameReady.exchange(false);
        if (ready) {
            // The paint that follows presents the frame first; the next step
            // starts after it rather than holding the paint up for its locks.
            stepAfterPaint = true;
        } else {
            // A step still drawing presents its frame itself, rather than
            // leave it for the next tick.
            tickMissed = true;
            updateWake.Notify();
        }
        return ready;
    } catch (...) {
        return false;
    }
}

void ZAZViewer::UpdateThread() {
    SetOnExit reportStopped(updateStopped);
    while (!stopUpdate) {
        if (updateRequest == 0) {
            updateWake.Wait(kUpdatePoll);
            continue;
        }
        bool presentNow = false;
        try {
            ViewLock lock;
            if (UpdateStep()) {
                // A tick that found no frame does not leave this one for the
                // next: it is presented now, once a tick has delivered a
                // frame (the control arms its painting then).
                presentNow = painted && tickMissed.exchange(false);
                if (!presentNow)
                    frameReady = true;
            }
            // Automatic flipping resumes after a clicked turn or a zoom change.
            if (autoFlip && !flipRunning)
                StartAuto(true);
        } catch (...) {
        }
        // Cleared before the paint below asks for the next step.
        updateRequest = 0;
        if (presentNow) {
            stepAfterPaint = true;
            if (HostWindow* window = control ? control->Window() : nullptr)
                window->Invalidate(false);
        }
        try {
            // Reads files other windows write: the desk stays free meanwhile.
            IntakeAddFiles();
        } catch (...) {
        }
    }
}

void ZAZViewer::Paint(const RECT& clientRect, const RECT& updateRect) {
    try {
        ViewLock lock;
        if (!backBuffer)
            Resize();
        Present(updateRect.IsEmpty() ? nullptr : &updateRect);
        (void)clientRect;
    } catch (...) {
    }
    if (stepAfterPaint.exchange(false)) {
        // The step waiting for this paint starts now. A frame presented
        // outside a tick has no request behind it: it asks for the next step
        // itself, so that the next tick finds a frame again.
        int none = 0;
        updateRequest.compare_exchange_strong(none, 1);
        updateWake.Notify();
    }
}

void ZAZViewer::Present(const RECT* part) {
    HostWindow* window = control ? control->Window() : nullptr;
    LockGuard buffer(BufferLock());
    if (!window || !backBuffer || backBuffer->Empty())
        return;
    FrameView frame{backBuffer->Pixels(), backBuffer->Width(), backBuffer->Height()};
    if (!part) {
        window->Present(frame, nullptr);
        return;
    }
    RECT clipped = *part;
    clipped.top = std::max(clipped.top, 0);
    clipped.bottom = std::min(clipped.bottom, backBuffer->Height());
    window->Present(frame, clipped.IsEmpty() ? nullptr : &clipped);
}

void ZAZViewer::SetAutoFlip(bool on) {
    ViewLock lock;
    StartAuto(on);
}

void ZAZViewer::WaitUntilLoaderIdle() const {
    PollUntil([this] { return loaderIdle.load() && pendingTarget == nullptr; }, kStopPoll);
}

void ZAZViewer::SetAllSelected(bool selected) {
    LockGuard desk(DeskLock());
    for (const std::shared_ptr<ZAZObject>& book : objects)
        book->selected = selected;
}

DisplayFileList ZAZViewer::SelectedFiles() const {
    LockGuard desk(DeskLock());
    DisplayFileList files;
    for (const std::shared_ptr<ZAZObject>& book : objects) {
        if (!book->selected)
            continue;
        DisplayFile file;
        file.path = book->path;
        file.caption = book->caption;
        file.documentId = book->documentId;
        file.flag = book->flag;
        files.push_back(std::move(file));
    }
    return files;
}

std::vector<RefusedDelete> ZAZViewer::DeleteSelected() {
    std::vector<std::shared_ptr<ZAZObject>> selected;
    {
        LockGuard desk(DeskLock());
        for (const std::shared_ptr<ZAZObject>& book : objects)
            if (book->selected)
                selected.push_back(book);
    }
    // Held here so that each book outlives its own removal.
    std::vector<RefusedDelete> refused;
    for (const std::shared_ptr<ZAZObject>& book : selected) {
        std::optional<DeleteResult> result = RemoveObjectByRecord(book.get());
        if (result && !result->deleted)
            refused.push_back(RefusedDelete{book->path, std::move(*result)});
    }
    return refused;
}

// The settings below are read while drawing and by the worker: they change
// only under the locks those readers hold.
void ZAZViewer::SetCheckboxesEnabled(bool enabled) {
    ViewLock lock;
    checkboxesEnabled = enabled;
}

void ZAZViewer::SetPreviewLogContext(std::wstring context) {
    ViewLock lock;
    previewLogContext = std::move(context);
}

void ZAZViewer::SetEventUrlTemplate(std::wstring urlTemplate) {
    ViewLock lock;
    eventUrlTemplate = std::move(urlTemplate);
}

void ZAZViewer::SetToolbarRoom(bool room) {
    ViewLock lock;
    toolbarRoom = room;
}

void ZAZViewer::SetDeviceScale(double scale) {
    ViewLock lock;
    deviceScale = std::isfinite(scale) ? std::clamp(scale, 1.0, static_cast<double>(kMaxDpi) / kBaseDpi) : 1.0;
    // The next resize lays the desk out again.
}

std::int32_t ZAZViewer::Px(std::int32_t length) const {
    return static_cast<std::int32_t>(std::lround(length * deviceScale));
}

void ZAZViewer::SetTreeRoom(bool room) {
    ViewLock lock;
    treeRoom = room;
}

void ZAZViewer::SetWorkWindowMode() {
    ViewLock lock;
    workWindowMode = true;
}

}  // namespace zov
