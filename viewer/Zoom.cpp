// Zooming a book up from the desk and back, fitting it to the window, and
// the binding of books.
#include "viewer/ZAZViewer.h"

#include "platform/Locks.h"
#include "render/PageCache.h"

#include <algorithm>

namespace zov {

namespace {

constexpr int kZoomInFrames = 20;
constexpr int kZoomOutFrames = 10;
constexpr std::int32_t kFitTop = 50;
constexpr std::int32_t kFitBottom = 32;
constexpr std::int32_t kFitRight = 25;
constexpr std::int32_t kFitLeftWithTree = 50;
constexpr std::int32_t kFitLeft = 10;

}  // namespace

ZAZLayout ZAZViewer::ZoomStepLayout(double t, int singlePage) const {
    ZAZLayout step = Interpolate(deskLayout, zoomLayout, t);
    step.rightStitch = deskLayout.rightStitch;
    step.singlePage = singlePage;
    return step;
}

void ZAZViewer::FitZoom(double t) {
    ViewLock lock;
    if (!zoomedObject || !backBuffer)
        return;
    ZAZObject& book = *zoomedObject;
    book.panX = book.panY = 0;
    const double scale = ShownDeskScale();
    book.scale = scale;
    book.Relayout();
    const RECT first = book.Bounds();
    if (first.Width() <= 0 || first.Height() <= 0)
        return;
    const std::int32_t left = Px(treeRoom ? kFitLeftWithTree : kFitLeft);
    const std::int32_t top = Px(kFitTop);
    const double available = backBuffer->Height() - top - Px(kFitBottom);
    const double wide = backBuffer->Width() - left - Px(kFitRight);
    const double fV = available / first.Height();
    const double fH = wide / first.Width();
    const double f = std::min(fV, fH);
    book.scale = scale * f;
    book.Relayout();
    const RECT fitted = book.Bounds();
    book.scale = scale + (scale * f - scale) * t;
    std::int32_t x = static_cast<std::int32_t>(t * (left - fitted.left));
    std::int32_t y = static_cast<std::int32_t>(t * (top - fitted.top));
    if (fV < fH)
        x += static_cast<std::int32_t>(t * (wide + fitted.left - fitted.right) * 0.5);
    else
        y += static_cast<std::int32_t>(t * (available + fitted.top - fitted.bottom) * 0.5);
    book.panX = x;
    book.panY = y;
    book.Relayout();
}

void ZAZViewer::ConvertSingle(bool enter, ZAZLayout& layout) {
    ViewLock lock;
    if (enter) {
        if (layout.singlePage)
            return;
        layout.singlePage = 1;
        if (zoomedObject) {
            zoomedObject->pagePosition *= 2;
            zoomedObject->flipProgress = 0.0;
        } else {
            for (ZAZObject* book : visibleObjects) {
                book->pagePosition *= 2;
                book->flipProgress = 0.0;
            }
        }
        return;
    }
    if (!layout.singlePage)
        return;
    auto leave = [](ZAZObject& book, bool onDesk) {
        const std::int32_t count = book.pages ? book.PageCount() : 0;
        std::int32_t p = book.pagePosition;
        p = onDesk ? p / 2 : (p % 2 != 0 ? (p + 1) / 2 : p / 2);
        if (p >= count)
            p = count - 1;
        book.pagePosition = p;
        book.flipProgress = p % 2 != 0 ? 1.0 : 0.0;
        if (onDesk && p % 2 != 0 && p > 0) {
            book.pagePosition = p + 1;
            book.flipProgress = 0.0;
        }
    };
    if (zoomedObject) {
        leave(*zoomedObject, false);
    } else {
        for (ZAZObject* book : visibleObjects)
            leave(*book, true);
    }
    layout.singlePage = 0;
}

bool ZAZViewer::ZoomIn() {
    try {
        ViewLock lock;
        ZAZObject* book = currentObject;
        if (!book || book->notDisplayable || !backBuffer)
            return false;
        animating = true;
        zoomedObject = book;
        flipRunning = false;
        if (book->flipState == kClosed) {
            book->flipState = deskLayout.rightStitch ? kAutoPrevious : kAutoNext;
            book->animating = false;
        }
        animationLayout_ = deskLayout;
        UseLayout(*book, &animationLayout_);
        const bool toSingle = !deskLayout.singlePage && zoomLayout.singlePage;
        const bool fromSingle = deskLayout.singlePage && !zoomLayout.singlePage;
        if (fromSingle)
            ConvertSingle(false, animationLayout_);
        int singlePage = animationLayout_.singlePage;
        for (int k = 0; k < kZoomInFrames && !reducedMotion; ++k) {
            const double t = static_cast<double>(k) / kZoomInFrames;
            animationLayout_ = ZoomStepLayout(t, singlePage);
            FitZoom(t);
            Render(kRenderDraftShaded);
        }
        if (toSingle)
            ConvertSingle(true, animationLayout_);
        animating = false;
        UseLayout(*book, &zoomLayout);
        FitZoom(1);
        Render(kRenderFull);
        UpdateScrollBars();
        if (autoFlip)
            StartAuto(true);
        if (book->pagePosition == 0 && book->pages)
            Preload(*book, 0, 1, kForward);
        return true;
    } catch (...) {
        animating = false;
        return false;
    }
}

void ZAZViewer::ZoomOut() {
    try {
        ViewLock lock;
        if (!zoomedObject)
            return;
        ZAZObject& book = *zoomedObject;
        flipRunning = false;
        animationLayout_ = zoomLayout;
        animationLayout_.rightStitch = deskLayout.rightStitch;
        zoomingOut = true;
        UseLayout(book, &animationLayout_);
        const bool fromSingle = !deskLayout.singlePage && zoomLayout.singlePage;
        const bool toSingle = deskLayout.singlePage && !zoomLayout.singlePage;
        if (fromSingle)
            ConvertSingle(false, animationLayout_);
        const int singlePage = animationLayout_.singlePage;
        for (int k = kZoomOutFrames; k >= 1 && !reducedMotion; --k) {
            const double t = static_cast<double>(k) / kZoomOutFrames;
            animationLayout_ = ZoomStepLayout(t, singlePage);
            FitZoom(t);
            Render(kRenderDraftShaded);
        }
        if (toSingle)
            ConvertSingle(true, animationLayout_);
        UseLayout(book, &deskLayout);
        FitZoom(0);
        zoomedObject = nullptr;
        snapshotObject = nullptr;
        Render(kRenderFull);
        UpdateScrollBars();
        layoutDirty = true;
        zoomingOut = false;
        if (autoFlip)
            StartAuto(true);
    } catch (...) {
        zoomingOut = false;
    }
}

void ZAZViewer::ZoomDown() {
    ViewLock lock;
    ZAZObject* book = zoomedObject;
    ZoomOut();
    if (book)
        currentObject = book;
}

void ZAZViewer::SwitchZoom(ZAZObject& next) {
    ViewLock lock;
    if (!zoomedObject || &next == zoomedObject)
        return;
    ZAZObject& leaving = *zoomedObject;
    const double scale = leaving.scale;
    const POINT place{leaving.x + leaving.panX, leaving.y + leaving.panY};
    const bool singleZoomOnly = !deskLayout.singlePage && zoomLayout.singlePage;
    const bool singleDeskOnly = deskLayout.singlePage && !zoomLayout.singlePage;
    if (singleZoomOnly) {
        ConvertSingle(false, zoomLayout);
        zoomLayout.singlePage = 1;
    }
    leaving.layout = &deskLayout;
    FitZoom(0);

    zoomedObject = &next;
    next.layout = &zoomLayout;
    if (singleZoomOnly) {
        // Its position is in two-page counting, as the desk keeps it.
        zoomLayout.singlePage = 0;
        ConvertSingle(true, zoomLayout);
    } else if (singleDeskOnly) {
        zoomLayout.singlePage = 1;
        ConvertSingle(false, zoomLayout);
    }
    next.scale = scale;
    next.panX = place.x - next.x;
    next.panY = place.y - next.y;
    next.Relayout();
    currentObject = &next;
    Render(kRenderFull);
}

void ZAZViewer::SetPan(ZAZObject& book, std::int32_t x, std::int32_t y) {
    ViewLock lock;
    book.panX = x;
    book.panY = y;
    book.Relayout();
    Render(kRenderFull);
    detailIdleTicks = 0;
}

void ZAZViewer::StitchLeft() {
    ViewLock lock;
    for (ZAZLayout* layout : {&deskLayout, &zoomLayout}) {
        layout->rightStitch = 0;
        layout->leftMargin = layout->singlePage ? 84 : layout->openWidth == layout->pageWidth ? 140 : 45;
        layout->topMargin = 45;
    }
    Relayout();
    if (zoomedObject)
        FitZoom(1);
    SaveViewState();
}

void ZAZViewer::StitchRight() {
    ViewLock lock;
    for (ZAZLayout* layout : {&deskLayout, &zoomLayout}) {
        layout->rightStitch = 1;
        layout->topMargin = 45;
        layout->leftMargin = layout->singlePage ? 84 : 140;
    }
    Relayout();
    if (zoomedObject)
        FitZoom(1);
    SaveViewState();
}

}  // namespace zov
