// How books are opened (completely, half-way, single pages), scaling the
// desk or the zoomed book, and stepping the zoom to a neighbouring book.
#include "viewer/ZAZViewer.h"

#include "documents/PreviewLog.h"
#include "documents/PreviewSettings.h"
#include "platform/Locks.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace zov {

namespace {

constexpr int kModeFrames = 10;
// The smallest desk scale: in a window narrower than a column and its gap the
// column arithmetic asks for a scale below zero, which turns books inside out.
constexpr double kMinimumDeskScale = 0.1;

// a + (target - a) * i / 10 in the integer arithmetic the animations use.
std::int32_t Step(std::int32_t a, std::int32_t target, int i) {
    return i * target / kModeFrames + a - a * i / kModeFrames;
}

}  // namespace

void ZAZViewer::ShowModeFrame(bool animate) {
    if (!animate)
        return;
    zoomedObject ? FitZoom(1) : Relayout();
    Render(kRenderFull);
}

void ZAZViewer::AnimateMode(ZAZLayout& l, bool animate, const std::function<void(const ZAZLayout&, int)>& frame) {
    const ZAZLayout a = l;
    for (int i = 1; i <= kModeFrames; ++i) {
        frame(a, i);
        ShowModeFrame(animate && (!reducedMotion || i == kModeFrames));
    }
}

void ZAZViewer::CompleteOpenPage(bool save, bool animate) {
    CompleteOpenPageOn(nullptr, save, animate);
}

void ZAZViewer::CompleteOpenPageOn(ZAZLayout* target, bool save, bool animate) {
    try {
        ViewLock lock;
        ZAZLayout& l = target ? *target : zoomedObject ? zoomLayout : deskLayout;
        ConvertSingle(false, l);
        if (!l.singlePage && l.openWidth == l.pageWidth)
            return;
        const bool running = flipRunning;
        flipRunning = false;
        l.singlePage = 0;
        AnimateMode(l, animate, [&l](const ZAZLayout& a, int i) {
            l.openFactor = a.openFactor + (1 - a.openFactor) * i / kModeFrames;
            l.openWidth = Step(a.openWidth, 128, i);
            l.leftMargin = Step(a.leftMargin, 140, i);
            l.leafLift = Step(a.leafLift, 0, i);
        });
        flipRunning = running;
        UpdateScrollBars();
        if (save)
            SaveViewState();
    } catch (...) {
    }
}

void ZAZViewer::UnCompleteOpenPage(bool save, bool animate) {
    UnCompleteOpenPageOn(nullptr, save, animate);
}

void ZAZViewer::UnCompleteOpenPageOn(ZAZLayout* target, bool save, bool animate) {
    try {
        ViewLock lock;
        ZAZLayout& l = target ? *target : zoomedObject ? zoomLayout : deskLayout;
        ConvertSingle(false, l);
        const bool running = flipRunning;
        flipRunning = false;
        AnimateMode(l, animate, [&l](const ZAZLayout& a, int i) {
            const std::int32_t m = i * 32 / kModeFrames;
            l.openWidth = m + a.openWidth - a.openWidth * i / kModeFrames;
            l.leftMargin = (i * (l.rightStitch ? 140 : 45)) / kModeFrames + a.leftMargin - a.leftMargin * i / kModeFrames;
            l.openFactor = a.openFactor - a.openFactor * i / kModeFrames + i * 0.3 / kModeFrames;
            l.leafLift = m + a.leafLift - a.leafLift * i / kModeFrames;
        });
        flipRunning = running;
        UpdateScrollBars();
        if (save)
            SaveViewState();
    } catch (...) {
    }
}

void ZAZViewer::SingleOpenPage(bool save, bool animate) {
    SingleOpenPageOn(nullptr, save, animate);
}

void ZAZViewer::SingleOpenPageOn(ZAZLayout* target, bool save, bool animate) {
    try {
        ViewLock lock;
        ZAZLayout& l = target ? *target : zoomedObject ? zoomLayout : deskLayout;
        if (l.singlePage)
            return;
        const bool running = flipRunning;
        flipRunning = false;
        l.singlePage = 0;
        AnimateMode(l, animate, [&l](const ZAZLayout& a, int i) {
            l.openFactor = a.openFactor - a.openFactor * i / kModeFrames;
            l.openWidth = a.openWidth - a.openWidth * i / kModeFrames;
            l.leftMargin = Step(a.leftMargin, 20, i);
            l.leafLift = a.leafLift - a.leafLift * i / kModeFrames;
        });
        ConvertSingle(true, l);
        l.openFactor = 0.0;
        l.openWidth = 0;
        l.leftMargin = 84;
        ShowModeFrame(animate);
        flipRunning = running;
        if (save)
            SaveViewState();
    } catch (...) {
    }
}

void ZAZViewer::Scale(double factor, int frames) {
    try {
        ViewLock lock;
        if (!backBuffer || frames <= 0)
            return;
        if (reducedMotion)
            frames = 1;
        if (deskScale < 0 || deskScale > 1000)
            deskScale = 1.0;
        const std::int32_t w = backBuffer->Width();
        const std::int32_t h = backBuffer->Height();
        if (zoomedObject) {
            ZAZObject& book = *zoomedObject;
            const double c = book.scale;
            const double d = c * factor;
            if ((factor < 1 && d < 0.1) || (factor > 1 && d > 1000))
                return;
            animating = true;
            for (int i = 1; i <= frames; ++i) {
                const double u = (c + i * (d - c) / frames) / book.scale;
                book.scale *= u;
                const std::int32_t panX = book.panX;
                const std::int32_t panY = book.panY;
                book.panX = panX - static_cast<std::int32_t>((w / 2 - book.x - panX) * (u - 1));
                book.panY = panY - static_cast<std::int32_t>((h / 2 - book.y - panY) * (u - 1));
                book.Relayout();
                Render(i < frames ? kRenderFullShaded : kRenderFull);
            }
            UpdateScrollBars();
        } else {
            const ZAZLayout& l = deskLayout;
            const double shown = ShownDeskScale();
            const std::int32_t gap = Px(l.columnGap);
            const std::int32_t edge = Px(25);
            const double cell = static_cast<std::int32_t>((l.openWidth + l.pageWidth) * shown + gap);
            if (cell <= 0)
                return;
            auto columns = static_cast<std::int32_t>(
                (w - static_cast<std::int32_t>(l.leftMargin * shown) - edge) / cell + 0.5);
            double ratio;
            // Not even one column fits: growing further would ask for fewer
            // than one, a negative scale.
            if (factor > 1 && columns <= 1) {
                ratio = 1.0;
            } else {
                columns += factor > 1 ? -1 : 1;
                ratio = (w - edge - (gap + 0.5) * columns) /
                        ((l.openWidth + l.pageWidth) * static_cast<double>(columns) + l.leftMargin) / shown;
            }
            if ((ratio < 1 && deskScale < 0.4) || (ratio > 1 && deskScale > 3.0))
                return;
            animating = true;
            const double d0 = deskScale;
            const double wanted = ratio * d0;
            const double e = std::isfinite(wanted) ? std::max(wanted, kMinimumDeskScale) : d0;
            for (int i = 1; i <= frames; ++i) {
                deskScale = i * e / frames + d0 - d0 * i / frames;
                Relayout();
                Render(kRenderFullShaded);
            }
            SaveViewState();
        }
        animating = false;
        Render(kRenderFull);
    } catch (...) {
        animating = false;
    }
}

bool ZAZViewer::PreviousObject(bool switchTo) {
    return StepObject(false, switchTo);
}

bool ZAZViewer::NextObject(bool switchTo) {
    return StepObject(true, switchTo);
}

ZAZObject* ZAZViewer::NeighbourOfZoomed(bool forward) const {
    const auto at = std::find(visibleObjects.begin(), visibleObjects.end(), zoomedObject);
    if (!zoomedObject || at == visibleObjects.end())
        return nullptr;
    auto displayable = [](const ZAZObject* book) { return book->notDisplayable == 0; };
    if (forward) {
        auto it = std::find_if(std::next(at), visibleObjects.end(), displayable);
        return it != visibleObjects.end() ? *it : nullptr;
    }
    auto it = std::find_if(std::make_reverse_iterator(at), visibleObjects.rend(), displayable);
    return it != visibleObjects.rend() ? *it : nullptr;
}

ToolbarView ZAZViewer::ToolbarState() const {
    LockGuard guard(DeskLock());
    ToolbarView view;
    view.zoomed = zoomedObject != nullptr;
    view.hasPrevious = NeighbourOfZoomed(false) != nullptr;
    view.hasNext = NeighbourOfZoomed(true) != nullptr;
    const ZAZLayout& layout = zoomedObject && zoomedObject->layout ? *zoomedObject->layout : deskLayout;
    view.singlePage = layout.singlePage != 0;
    view.equalPageWidths = layout.openWidth == layout.pageWidth;
    view.rightStitch = layout.rightStitch != 0;
    view.autoFlip = autoFlip != 0;
    return view;
}

bool ZAZViewer::StepObject(bool forward, bool switchTo) {
    std::wstring logged;
    bool found = false;
    try {
        ViewLock lock;
        if (!zoomedObject)
            return false;
        ZAZObject* candidate = NeighbourOfZoomed(forward);
        found = candidate != nullptr;
        if (candidate && switchTo) {
            SwitchZoom(*candidate);
            if (GetPreviewSettings().eValueNSMode)
                logged = candidate->path;
        }
        if (autoFlip)
            StartAuto(true);
    } catch (...) {
        return false;
    }
    // The service is asked without holding the desk: it may take a while.
    if (!logged.empty())
        PreviewLog(logged, previewLogContext, control ? control->Window() : nullptr);
    return found;
}

}  // namespace zov
