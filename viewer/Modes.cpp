// How books are opened (completely, half-way, single pages), scaling the
// desk or the zoomed book, and stepping the zoom to a neighbouring book.
#include "viewer/ZAZViewer.h"

#include "platform/Locks.h"

#include <algorithm>
#include <functional>

namespace zov {

namespace {

constexpr int kModeFrames = 10;

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
        ShowModeFrame(animate);
    }
}

void ZAZViewer::CompleteOpenPage(bool save, bool animate) {
    try {
        ViewLock lock;
        ZAZLayout& l = zoomedObject ? zoomLayout : deskLayout;
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
        (void)save;
    } catch (...) {
    }
}

void ZAZViewer::UnCompleteOpenPage(bool save, bool animate) {
    try {
        ViewLock lock;
        ZAZLayout& l = zoomedObject ? zoomLayout : deskLayout;
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
        (void)save;
    } catch (...) {
    }
}

void ZAZViewer::SingleOpenPage(bool save, bool animate) {
    try {
        ViewLock lock;
        ZAZLayout& l = zoomedObject ? zoomLayout : deskLayout;
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
        (void)save;
    } catch (...) {
    }
}

void ZAZViewer::Scale(double factor, int frames) {
    try {
        ViewLock lock;
        if (!backBuffer || frames <= 0)
            return;
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
            const double cell = static_cast<std::int32_t>((l.openWidth + l.pageWidth) * deskScale + l.columnGap);
            auto columns = static_cast<std::int32_t>(
                (w - static_cast<std::int32_t>(l.leftMargin * deskScale) - 25) / cell + 0.5);
            double ratio;
            if (factor > 1 && columns == 1) {
                ratio = 1.0;
            } else {
                columns += factor > 1 ? -1 : 1;
                ratio = (w - 25 - (l.columnGap + 0.5) * columns) /
                        ((l.openWidth + l.pageWidth) * static_cast<double>(columns) + l.leftMargin) / deskScale;
            }
            if ((ratio < 1 && deskScale < 0.4) || (ratio > 1 && deskScale > 3.0))
                return;
            animating = true;
            const double d0 = deskScale;
            const double e = ratio * d0;
            for (int i = 1; i <= frames; ++i) {
                deskScale = i * e / frames + d0 - d0 * i / frames;
                Relayout();
                Render(kRenderFullShaded);
            }
        }
        animating = false;
        Render(kRenderFull);
    } catch (...) {
        animating = false;
    }
}

bool ZAZViewer::PreviousObject(bool switchTo) {
    ViewLock lock;
    if (!zoomedObject)
        return false;
    auto at = std::find(visibleObjects.begin(), visibleObjects.end(), zoomedObject);
    ZAZObject* candidate = nullptr;
    for (auto it = at; it != visibleObjects.begin() && at != visibleObjects.end();) {
        --it;
        if ((*it)->notDisplayable == 0) {
            candidate = *it;
            break;
        }
    }
    if (candidate && switchTo) {
        currentObject = candidate;
        zoomedObject->layout = &deskLayout;
        ZAZObject* leaving = zoomedObject;
        const double scale = leaving->scale;
        zoomedObject = candidate;
        candidate->layout = &zoomLayout;
        candidate->scale = scale;
        leaving->scale = deskScale;
        leaving->panX = leaving->panY = 0;
        leaving->Relayout();
        FitZoom(1);
        Render(kRenderFull);
    }
    if (autoFlip)
        StartAuto(true);
    return candidate != nullptr;
}

bool ZAZViewer::NextObject(bool switchTo) {
    ViewLock lock;
    if (!zoomedObject)
        return false;
    auto at = std::find(visibleObjects.begin(), visibleObjects.end(), zoomedObject);
    ZAZObject* candidate = nullptr;
    if (at != visibleObjects.end()) {
        for (auto it = std::next(at); it != visibleObjects.end(); ++it) {
            if ((*it)->notDisplayable == 0) {
                candidate = *it;
                break;
            }
        }
    }
    if (candidate && switchTo) {
        currentObject = candidate;
        ZAZObject* leaving = zoomedObject;
        const double scale = leaving->scale;
        leaving->layout = &deskLayout;
        leaving->scale = deskScale;
        leaving->panX = leaving->panY = 0;
        leaving->Relayout();
        zoomedObject = candidate;
        candidate->layout = &zoomLayout;
        candidate->scale = scale;
        FitZoom(1);
        Render(kRenderFull);
    }
    if (autoFlip)
        StartAuto(true);
    return candidate != nullptr;
}

// Pointer input: a click on a book zooms it in, a click beside the zoomed
// book zooms out.
void ZAZViewer::PointerDown(std::int32_t x, std::int32_t y) {
    ViewLock lock;
    for (ZAZObject* book : visibleObjects) {
        RECT box = book->Bounds();
        if (x >= box.left && x < box.right && y >= box.top && y < box.bottom) {
            currentObject = book;
            return;
        }
    }
}

void ZAZViewer::PointerUp(std::int32_t x, std::int32_t y) {
    ViewLock lock;
    if (zoomedObject) {
        RECT box = zoomedObject->Bounds();
        if (x < box.left || x >= box.right || y < box.top || y >= box.bottom)
            ZoomDown();
        return;
    }
    if (currentObject) {
        RECT box = currentObject->Bounds();
        if (x >= box.left && x < box.right && y >= box.top && y < box.bottom)
            ZoomIn();
    }
}

void ZAZViewer::PointerMove(std::uint32_t, std::int32_t, std::int32_t) {}

void ZAZViewer::Wheel(std::int16_t, std::int32_t, std::int32_t) {}

}  // namespace zov
