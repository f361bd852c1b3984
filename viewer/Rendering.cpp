// Composing frames: the desk of books with their captions, or the zoomed
// book over a cached picture of the desk; and the update step that decides
// what the next frame needs.
#include "viewer/ZAZViewer.h"

#include "platform/Locks.h"
#include "pixels/Draw.h"
#include "render/PageCache.h"
#include "pixels/TextStrip.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace zov {

namespace {

constexpr std::int32_t kCaptionHeight = 22;
constexpr std::int32_t kCheckBoxWidth = 20;
constexpr std::int32_t kBadgeRoom = 18;
constexpr COLORREF kCurrentCaption = RGB(205, 237, 236);
// Books no larger than this are left in draft quality on the desk.
constexpr std::int32_t kProgressiveMinimum = 128;

bool OnBuffer(const RECT& box, const PixelBuffer& buffer) {
    return box.bottom >= 0 && box.top < buffer.Height() && box.left < buffer.Width() && box.right >= 0;
}

bool Shaded(int mode) {
    return mode == kRenderDraftShaded || mode == kRenderFullShaded;
}

bool DeskCaptions(int mode) {
    return mode == kRenderDraft || mode == kRenderFull || mode == kRenderAsLast;
}

bool Ready(const ZAZImage* page) {
    return page && !page->drawnAsDownloading && (!page->large.Empty() || !page->small.Empty());
}

}  // namespace

std::wstring CaptionText(const ZAZObject& book) {
    if (!book.caption.empty())
        return book.caption;
    const std::size_t slash = book.path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? book.path : book.path.substr(slash + 1);
}

RECT ZAZViewer::CaptionStrip(ZAZObject& book) const {
    const RECT box = book.Bounds();
    // On the desk the strip spans the room the layout gives both pages, so
    // that captions line up by column. The zoomed book's strip lies under the
    // book itself: a one-page book has no left page, and the open width of
    // one would pull the strip a whole page out to the left.
    if (&book == zoomedObject || book.layout->singlePage)
        return RECT{box.left, box.bottom + 1, box.right, box.bottom + 1 + Px(kCaptionHeight)};
    return RECT{std::min(book.L.x, box.left), box.bottom + 1, std::max(book.T.x, box.right),
                box.bottom + 1 + Px(kCaptionHeight)};
}

void ZAZViewer::DrawCaption(PixelBuffer& target, ZAZObject& book, bool force) {
    if ((animating || zoomingOut) && !force)
        return;
    const RECT strip = CaptionStrip(book);
    const std::int32_t left = strip.left;
    const std::int32_t right = strip.right;
    const std::int32_t top = strip.top;
    if (right <= left || !OnBuffer(strip, target))
        return;

    std::wstring text = CaptionText(book);
    std::wstring side;
    if (&book == zoomedObject) {
        VisiblePages v = book.Visible();
        ZAZImage* leftFace = v.restingLeft;
        ZAZImage* rightFace = v.restingRight;
        std::wstring range;
        if (book.layout->singlePage) {
            if (rightFace)
                range = std::to_wstring(rightFace->pageNumber);
        } else if (leftFace && rightFace && book.pages) {
            std::int32_t first = book.layout->rightStitch ? rightFace->pageNumber + 1 : leftFace->pageNumber;
            std::int32_t second = book.layout->rightStitch ? rightFace->pageNumber : leftFace->pageNumber + 1;
            range = std::to_wstring(first) + L" - " + std::to_wstring(second);
        } else if (leftFace || rightFace) {
            range = std::to_wstring((leftFace ? leftFace : rightFace)->pageNumber);
        }
        side = range + L" / " + std::to_wstring(book.PageCount()) + L"  Page";
    }

    COLORREF background;
    COLORREF ink;
    if (&book == currentObject || &book == zoomedObject) {
        background = kCurrentCaption;
        ink = RGB(0, 0, 0);
    } else {
        const std::uint32_t desk = DeskColour();
        background = ColorRefFromPixel(desk);
        const double luminance = 0.3 * (desk >> 16 & 0xFF) + 0.59 * (desk >> 8 & 0xFF) + 0.11 * (desk & 0xFF);
        ink = luminance > 180 ? RGB(0, 0, 0) : RGB(255, 255, 255);
    }
    std::int32_t inset = 0;
    if (checkboxesEnabled)
        inset += Px(kCheckBoxWidth);
    if (book.flag)
        inset += Px(kBadgeRoom);
    const std::int32_t height = Px(kCaptionHeight);
    DrawTextStrip(target, left, top, right - left, height, text, side, ink, background, inset, 0, 0, kCaptionFormat,
                  deviceScale);
    // The boxes are pixel art: they grow by whole pixels.
    const auto zoom = static_cast<std::int32_t>(std::lround(std::max(1.0, deviceScale)));
    if (checkboxesEnabled)
        DrawCheckBox(target, left, top, right - left, height, book.selected, zoom);
    if (book.flag)
        DrawNewItemBadge(target, left, top, right - left, height, zoom);
}

void ZAZViewer::DrawDesk(bool clear) {
    if (clear)
        FillDeskColour(*backBuffer);
    const bool captions = DeskCaptions(renderMode);
    const bool shading = Shaded(renderMode);
    for (const std::shared_ptr<ZAZObject>& book : objects) {
        if (!OnBuffer(book->Bounds(), *backBuffer)) {
            // Books off the window give their small pictures back: memory
            // follows what is shown, not how many books the desk holds.
            if (!book->loadedSmall.empty())
                KeepSmallPictures(*book, nullptr, nullptr, nullptr, nullptr);
            continue;
        }
        if (renderMode != kRenderCaptions)
            book->Draw(backBuffer.get(), true, kDrawAll, shading);
        if (captions || renderMode == kRenderCaptions)
            DrawCaption(*backBuffer, *book, false);
    }
    progressiveDone = false;
}

void ZAZViewer::ReadAhead(ZAZObject& book, const VisiblePages& v) {
    // The direction the book turns or last turned; a closed book and a jump
    // under way have none.
    const ZAZObjectFlipAction state = book.flipState;
    if (state == kAutoNext || state == kFlipNext || state == kFlipNext10)
        prefetch.Ahead(book, v.first, v.last, true);
    else if (state == kAutoPrevious || state == kFlipPrevious || state == kFlipPrevious10)
        prefetch.Ahead(book, v.first, v.last, false);
}

void ZAZViewer::DrawZoomed() {
    ZAZObject& book = *zoomedObject;
    const std::int32_t w = backBuffer->Width();
    const std::int32_t h = backBuffer->Height();
    if (zoomBackground && (zoomBackground->Width() != w || zoomBackground->Height() != h || snapshotObject != &book)) {
        zoomBackground.reset();
        zoomComposite.reset();
    }
    if (!zoomBackground) {
        zoomBackground = PixelBuffer::Create(w, h);
        zoomComposite = PixelBuffer::Create(w, h);
        if (zoomBackground->Empty() || zoomComposite->Empty()) {
            zoomBackground.reset();
            zoomComposite.reset();
            return;
        }
        FillDeskColour(*zoomBackground);
        // The desk behind the zoomed book, drawn once for as long as it stays.
        for (ZAZObject* other : visibleObjects) {
            if (other == &book || !OnBuffer(other->Bounds(), *zoomBackground))
                continue;
            other->Draw(zoomBackground.get(), true, kDrawAll, false);
            DrawCaption(*zoomBackground, *other, true);
        }
        zoomComposite->CopyFrom(*zoomBackground);
        snapshotObject = &book;
        snapshotLeft = snapshotRight = nullptr;
    }
    if (flipRunning) {
        VisiblePages v = book.Visible();
        prefetch.HandIn(book, v.first, v.last);
        const POINT offset{book.panX, book.panY};
        if (v.restingLeft != snapshotLeft || v.restingRight != snapshotRight || !(zoomLayout == snapshotLayout) ||
            !(offset == snapshotOffset) || Ready(v.restingLeft) != snapshotLeftFlag ||
            Ready(v.restingRight) != snapshotRightFlag) {
            zoomComposite->CopyFrom(*zoomBackground);
            book.Draw(zoomComposite.get(), false, kDrawResting, false);
            backBuffer->CopyFrom(*zoomComposite);
            book.Draw(backBuffer.get(), false, kDrawTurning, true);
            snapshotLeft = v.restingLeft;
            snapshotRight = v.restingRight;
            snapshotLeftFlag = Ready(v.restingLeft);
            snapshotRightFlag = Ready(v.restingRight);
            snapshotOffset = offset;
            snapshotLayout = zoomLayout;
        } else {
            backBuffer->CopyFrom(*zoomComposite);
            book.Draw(backBuffer.get(), false, kDrawTurning, false);
        }
        prefetch.Settle();
        ReadAhead(book, v);
    } else {
        backBuffer->CopyFrom(*zoomBackground);
        bool draft = renderMode == kRenderDraft || renderMode == kRenderDraftShaded;
        if (renderMode == kRenderAsLast)
            draft = book.draftDrawn != 0;
        // Only a drawing in full quality reads large pictures.
        const VisiblePages v = book.Visible();
        if (!draft)
            prefetch.HandIn(book, v.first, v.last);
        book.Draw(backBuffer.get(), draft, kDrawAll, Shaded(renderMode));
        prefetch.Settle();
        // A book at rest has the next leaf's pages read before it is turned.
        ReadAhead(book, v);
    }
    DrawCaption(*backBuffer, book, false);
    // Full-resolution pages already fetched for the spread facing up go back
    // over the preview pages at once; others wait for the next idle step.
    detailShown = !animating && !zoomingOut && !book.animating && DrawDetail();
}

void ZAZViewer::RenderNoPresent(bool clear) {
    ViewLock lock;
    if (!backBuffer)
        return;
    if (zoomedObject) {
        // The zoomed book covers the desk: a caption change redraws it over
        // desk captions drawn afresh, never desk captions over it.
        if (renderMode == kRenderCaptions)
            zoomBackground.reset();
        DrawZoomed();
    } else {
        prefetch.Clear();
        DrawDesk(clear && renderMode != kRenderCaptions);
    }
}

void ZAZViewer::Render(int mode) {
    try {
        ViewLock lock;
        renderMode = mode;
        RenderNoPresent(true);
        Present(nullptr);
    } catch (...) {
    }
}

void ZAZViewer::RenderCaptionsOnly() {
    ViewLock lock;
    renderMode = kRenderCaptions;
    RenderNoPresent(false);
    Present(nullptr);
}

void ZAZViewer::RepaintObject(ZAZObject& book) {
    if (zoomedObject && &book != zoomedObject)
        return;
    if (!zoomedObject)
        LayoutObjects();
    const RECT box = book.Bounds();
    RECT area{box.left - Px(deskLayout.columnGap) / 2, box.top, box.right + Px(deskLayout.columnGap),
              box.bottom + 1 + Px(kCaptionHeight)};
    area = IntersectRect(area, backBuffer->Bounds());
    if (area.IsEmpty())
        return;
    FillRectDeskColour(*backBuffer, area);
    if (zoomedObject) {
        zoomedObject->Draw(backBuffer.get(), true, kDrawAll, false);
        DrawCaption(*backBuffer, *zoomedObject, false);
        return;
    }
    // The caption of the book before it in the same column may reach in.
    ZAZObject* above = nullptr;
    for (const std::shared_ptr<ZAZObject>& other : objects) {
        if (other.get() == &book)
            break;
        if (other->x == book.x)
            above = other.get();
    }
    if (above)
        DrawCaption(*backBuffer, *above, false);
    for (const std::shared_ptr<ZAZObject>& other : objects) {
        RECT whole = other->Bounds();
        whole.bottom += 1 + Px(kCaptionHeight);
        if (IntersectRect(whole, area).IsEmpty())
            continue;
        other->Draw(backBuffer.get(), true, kDrawAll, false);
        DrawCaption(*backBuffer, *other, false);
    }
}

bool ZAZViewer::UpdateStep() {
    if (!backBuffer || scrolling)
        return false;
    LockGuard step(StepLock());
    bool changed = false;

    const std::int32_t repaint = pendingRepaint;
    ZAZObject* repaintBook = pendingRepaintObject;
    pendingRepaint = kRepaintNone;
    pendingRepaintObject = nullptr;
    if (repaint == kRepaintDesk) {
        if (!zoomedObject) {
            // Books on the desk that still move are advanced from here on.
            flipRunning = true;
            LayoutObjects();
        }
        renderMode = kRenderFull;
        RenderNoPresent(true);
        changed = true;
    } else if (repaint == kRepaintObject && repaintBook) {
        RepaintObject(*repaintBook);
        changed = true;
    }

    if (previewsStarted && zoomFirstRequested && !visibleObjects.empty() && visibleObjects.front()->loadState != 0) {
        zoomFirstRequested = false;
        currentObject = visibleObjects.front();
        ZoomIn();
    }

    changed = AdvanceFlips() || changed;
    changed = RefreshNotes() || changed;

    if (layoutPending_) {
        layoutPending_ = false;
        if (LayoutObjects())
            layoutDirty = true;
    }

    if (changed || layoutDirty) {
        renderMode = kRenderFull;
        RenderNoPresent(true);
        layoutDirty = false;
        progressiveDone = false;
        detailIdleTicks = 0;
        return true;
    }

    if (zoomedObject) {
        if (DetailStep())
            return true;
        // A page drawn as Downloading whose file has arrived is drawn again.
        VisiblePages v = zoomedObject->Visible();
        for (ZAZImage* page : {v.restingLeft, v.restingRight})
            if (page && page->drawnAsDownloading && PageFileAvailable(*page))
                layoutDirty = true;
        return false;
    }

    if (!progressiveDone && previewPassDone) {
        for (ZAZObject* book : visibleObjects) {
            if (!book->pages || book->loadState == 0 || book->draftDrawn == 0)
                continue;
            RECT box = book->Bounds();
            if (box.Width() <= kProgressiveMinimum && box.Height() <= kProgressiveMinimum)
                continue;
            if (!OnBuffer(box, *backBuffer))
                continue;
            book->Draw(backBuffer.get(), false, kDrawAll, false);
            DrawCaption(*backBuffer, *book, false);
            return true;
        }
        progressiveDone = true;
    }
    return false;
}

}  // namespace zov
