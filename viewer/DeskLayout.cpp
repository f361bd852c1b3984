// The desk: books in rows from the top left, wrapping at the window's right
// edge, scrolling vertically; and the scroll bars that follow it.
#include "viewer/ZAZViewer.h"

#include "platform/Locks.h"
#include "pixels/Draw.h"

#include <algorithm>

namespace zov {

namespace {

// Room kept below the last row of books.
constexpr std::int32_t kDeskBottomRoom = 42;
// Room kept at the right edge before a book wraps to the next row.
constexpr std::int32_t kDeskRightRoom = 25;
constexpr std::int32_t kToolbarRoom = 45;
constexpr std::int32_t kTreeRoom = 40;

}  // namespace

std::int32_t ZAZViewer::DeskStartX() const {
    return static_cast<std::int32_t>(deskLayout.leftMargin * ShownDeskScale()) + (treeRoom ? Px(kTreeRoom) : 0);
}

std::int32_t ZAZViewer::DeskStartY() const {
    return static_cast<std::int32_t>(deskLayout.topMargin * ShownDeskScale()) + (toolbarRoom ? Px(kToolbarRoom) : 0);
}

void ZAZViewer::UseLayout(ZAZObject& book, ZAZLayout* layout) {
    book.layout = layout;
    book.Relayout();
}

void ZAZViewer::PlaceObjects() {
    const std::int32_t width = backBuffer->Width();
    const std::int32_t startX = DeskStartX();
    std::int32_t x = startX;
    std::int32_t y = DeskStartY() - scrollY;
    const double scale = ShownDeskScale();
    bool first = true;
    for (ZAZObject* book : visibleObjects) {
        // The zoomed book takes its desk place but stays where it is on screen.
        const bool zoomed = book == zoomedObject;
        const POINT oldPlace{book->x + book->panX, book->y + book->panY};
        const double zoomScale = book->scale;
        if (zoomed) {
            book->scale = scale;
            book->panX = book->panY = 0;
            UseLayout(*book, &deskLayout);
        }
        book->x = x;
        book->y = y;
        book->Relayout();
        std::int32_t right = book->Bounds().right;
        if (deskLayout.rightStitch)
            right += static_cast<std::int32_t>(deskLayout.openWidth * scale);
        if (!first && right > width - Px(kDeskRightRoom)) {
            y += static_cast<std::int32_t>(scale * (deskLayout.leafLift + deskLayout.pageHeight) + Px(deskLayout.rowGap));
            x = startX;
            book->x = x;
            book->y = y;
            book->Relayout();
        }
        x += static_cast<std::int32_t>((deskLayout.openWidth + deskLayout.pageWidth) * scale + Px(deskLayout.columnGap));
        first = false;
        if (zoomed) {
            book->panX = oldPlace.x - book->x;
            book->panY = oldPlace.y - book->y;
            book->scale = zoomScale;
            UseLayout(*book, &zoomLayout);
        }
    }
}

bool ZAZViewer::LayoutObjects() {
    // Rebuilt from the books there are now: a removed book must not linger.
    visibleObjects.clear();
    if (!backBuffer || objects.empty()) {
        layoutPending_ = true;
        // An empty desk has no scroll bar.
        UpdateScrollBars();
        return false;
    }
    for (const std::shared_ptr<ZAZObject>& book : objects) {
        book->deviceScale = deviceScale;
        if (book.get() != zoomedObject) {
            book->scale = ShownDeskScale();
            book->Relayout();
        }
        visibleObjects.push_back(book.get());
    }
    PlaceObjects();
    // After books went away the desk may end above the window's bottom: pull
    // it down, never past its top.
    const std::int32_t bottom = visibleObjects.back()->Bounds().bottom;
    if (scrollY > 0 && bottom + Px(kDeskBottomRoom) < backBuffer->Height()) {
        scrollY = std::max(0, bottom + scrollY - backBuffer->Height() + Px(kDeskBottomRoom));
        PlaceObjects();
    }
    layoutDirty = true;
    // Whoever laid the desk out - a command, the loader's repaint, a retried
    // layout - the bars follow the height it has now.
    UpdateScrollBars();
    return true;
}

void ZAZViewer::Relayout() {
    try {
        ViewLock lock;
        LayoutObjects();
    } catch (...) {
    }
}

bool ZAZViewer::PostBar(int bar, const SCROLLINFO& info, std::uint32_t arrows) {
    PostedBar& posted = postedBars_[bar == SB_VERT ? 1 : 0];
    HostWindow* window = control->Window();
    SCROLLINFO current;
    current.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    // The window is asked too: a drag or a wheel notch moves the position
    // without the viewer posting it.
    const bool sameInfo = posted.known && posted.info.nMax == info.nMax && posted.info.nPage == info.nPage &&
                          posted.info.nPos == info.nPos && window && window->GetScrollInfo(bar, current) &&
                          current.nMin == info.nMin && current.nMax == info.nMax && current.nPage == info.nPage &&
                          current.nPos == info.nPos;
    bool delivered = true;
    if (!sameInfo) {
        posted.known = control->PostScrollInfo(bar, info);
        posted.info = info;
        delivered = posted.known;
    }
    if (!posted.arrowsKnown || posted.arrows != arrows) {
        posted.arrowsKnown = control->PostEnableScrollBar(bar, arrows);
        posted.arrows = arrows;
        delivered = delivered && posted.arrowsKnown;
    }
    return delivered;
}

void ZAZViewer::UpdateScrollBars() {
    ViewLock lock;
    HostWindow* window = control ? control->Window() : nullptr;
    if (!backBuffer || !control || !window)
        return;
    const std::int32_t width = backBuffer->Width();
    const std::int32_t height = backBuffer->Height();
    // A full queue drops what is posted: the next update step lays the desk
    // out again and posts once the window has taken the queue in.
    auto post = [this](int bar, const SCROLLINFO& info, std::uint32_t arrows) {
        if (!PostBar(bar, info, arrows))
            layoutPending_ = true;
    };
    auto show = [&post](int bar, std::int32_t range, std::int32_t page, std::int32_t position) {
        SCROLLINFO info;
        info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
        info.nMin = 0;
        info.nMax = range;
        info.nPage = static_cast<std::uint32_t>(std::max(page, 0));
        info.nPos = position;
        post(bar, info, ESB_ENABLE_BOTH);
    };
    // A bar with nothing to scroll goes away, range and all: disabled alone it
    // would stay in the window, empty, with the range of what it showed last.
    auto hide = [&post](int bar) {
        SCROLLINFO info;
        info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
        post(bar, info, ESB_DISABLE_BOTH);
    };
    if (zoomedObject) {
        RECT box = zoomedObject->Bounds();
        if (box.Width() < width) {
            hide(SB_HORZ);
            horizontalBarShown = false;
        } else {
            show(SB_HORZ, box.Width(), width / 2, std::min(box.Width(), std::max(0, width / 4 - box.left)));
            horizontalBarShown = true;
        }
        if (box.Height() < height) {
            hide(SB_VERT);
            verticalBarShown = false;
        } else {
            show(SB_VERT, box.Height(), height / 2, std::min(box.Height(), std::max(0, height / 4 - box.top)));
            verticalBarShown = true;
        }
        return;
    }
    hide(SB_HORZ);
    horizontalBarShown = false;
    bool shown = false;
    if (!visibleObjects.empty()) {
        const std::int32_t deskHeight =
            visibleObjects.back()->Bounds().bottom + DeskStartY() - visibleObjects.front()->y + Px(kDeskBottomRoom);
        if (deskHeight >= height) {
            scrollY = std::min(scrollY, deskHeight - height);
            show(SB_VERT, deskHeight, height, scrollY);
            shown = true;
        }
    }
    if (!shown)
        hide(SB_VERT);
    verticalBarShown = shown;
    if (!shown && scrollY != 0) {
        scrollY = 0;
        LayoutObjects();
    }
}

void ZAZViewer::Resize() {
    try {
        ViewLock lock;
        HostWindow* window = control ? control->Window() : nullptr;
        if (!window)
            return;
        SIZE size = window->ClientSize();
        if (size.cx <= 0 || size.cy <= 0)
            return;
        backBuffer.reset();
        backBuffer = PixelBuffer::Create(size.cx, size.cy);
        if (backBuffer->Empty()) {
            backBuffer.reset();
            return;
        }
        windowSize_ = size;
        FillDeskColour(*backBuffer);
        Relayout();
        // The new buffer is shown even where no book was laid out (an empty
        // desk): a paint that came before it showed the old size.
        layoutDirty = true;
    } catch (...) {
    }
}

void ZAZViewer::ScrollDesk(const SCROLLINFO& info) {
    const std::int32_t highest = std::max(0, info.nMax - static_cast<std::int32_t>(info.nPage));
    scrollY = std::clamp(info.nPos, 0, highest);
    Relayout();
    layoutDirty = false;
    Render(kRenderFull);
}

void ZAZViewer::ApplyScroll() {
    try {
        ViewLock lock;
        HostWindow* window = control ? control->Window() : nullptr;
        if (!backBuffer || !window)
            return;
        scrolling = true;
        if (zoomedObject) {
            RECT box = zoomedObject->Bounds();
            SCROLLINFO info;
            info.fMask = SIF_ALL;
            if (horizontalBarShown && window->GetScrollInfo(SB_HORZ, info))
                zoomedObject->panX += backBuffer->Width() / 4 - info.nPos - box.left;
            info.fMask = SIF_ALL;
            if (verticalBarShown && window->GetScrollInfo(SB_VERT, info))
                zoomedObject->panY += backBuffer->Height() / 4 - info.nPos - box.top;
            zoomedObject->Relayout();
            renderMode = kRenderFull;
            // The redraw puts fetched full pages back over the moved book.
            RenderNoPresent(true);
            Present(nullptr);
            progressiveDone = false;
        } else {
            SCROLLINFO info;
            info.fMask = SIF_ALL;
            window->GetScrollInfo(SB_VERT, info);
            ScrollDesk(info);
        }
        scrolling = false;
    } catch (...) {
        scrolling = false;
    }
}

}  // namespace zov
