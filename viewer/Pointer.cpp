// Pointer input: which book the pointer is over, clicks on captions and
// their selection boxes, zooming by clicking, turning pages by clicking on
// the zoomed book, panning it by dragging, the wheel, and the notes' cursor
// and drags (the notes themselves are in Notes.cpp).
#include "viewer/ZAZViewer.h"

#include "documents/EventFile.h"
#include "documents/PreviewLog.h"
#include "documents/PreviewSettings.h"
#include "platform/Locks.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>

namespace zov {

namespace {

// Moves up to this many pixels between press and release still click.
constexpr std::int32_t kClickSlop = 2;
// The selection box at the start of a caption strip.
constexpr std::int32_t kSelectionBox = 20;
constexpr double kWheelUp = 1.2;
constexpr double kWheelDown = 0.8333333333333334;

// One pointer per process: only the worker of the control under the
// pointer writes it, but workers of other controls may read it.
struct PointerState {
    POINT pressPoint{};
    POINT lastPoint{};
    bool pressHit = false;
};

std::mutex& PointerMutex() {
    static std::mutex mutex;
    return mutex;
}

PointerState& Pointer() {
    static PointerState state;
    return state;
}

PointerState ReadPointer() {
    std::lock_guard<std::mutex> guard(PointerMutex());
    return Pointer();
}

template <typename Change>
void WritePointer(Change change) {
    std::lock_guard<std::mutex> guard(PointerMutex());
    change(Pointer());
}

bool Contains(const RECT& r, POINT p) {
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

// The middle of the right page, or of the left one when only it shows.
std::optional<POINT> PointOnAPage(ZAZObject& book) {
    for (const POINT point : {POINT{(book.S.x + book.T.x) / 2, (book.T.y + book.B.y) / 2},
                              POINT{(book.L.x + book.S.x) / 2, (book.L.y + book.B.y) / 2}})
        if (book.SideHit(point) != 2)
            return point;
    return std::nullopt;
}

}  // namespace

bool ZAZViewer::HitTest(std::int32_t x, std::int32_t y) {
    ViewLock lock;
    if (!previewsStarted)
        return false;
    const POINT point{x, y};
    if (zoomedObject && (Contains(CaptionStrip(*zoomedObject), point) || zoomedObject->SideHit(point) != 2)) {
        currentObject = zoomedObject;
        return true;
    }
    ZAZObject* hit = nullptr;
    for (const std::shared_ptr<ZAZObject>& book : objects) {
        if (book.get() == zoomedObject)
            continue;
        if (Contains(CaptionStrip(*book), point) || book->SideHit(point) != 2) {
            hit = book.get();
            break;
        }
    }
    if (!hit)
        return false;
    if (hit != currentObject) {
        currentObject = hit;
        // Only the captions change: the highlight moves.
        if (!zoomedObject)
            Render(kRenderCaptions);
    }
    return true;
}

void ZAZViewer::PointerDown(std::int32_t x, std::int32_t y) {
    try {
        WritePointer([x, y](PointerState& p) {
            p.pressPoint = POINT{x, y};
            p.lastPoint = POINT{x, y};
        });
        {
            ViewLock lock;
            draggedSticky = nullptr;
            pressedNote = NoteHitTest{};
            if (zoomedObject) {
                pressedNote = NoteHit(POINT{x, y});
                draggedSticky = pressedNote.note;
            }
        }
        const bool hit = HitTest(x, y);
        WritePointer([hit](PointerState& p) { p.pressHit = hit; });
    } catch (...) {
    }
}

void ZAZViewer::PointerMove(std::uint32_t buttons, std::int32_t x, std::int32_t y) {
    try {
        const POINT last = ReadPointer().lastPoint;
        {
            ViewLock lock;
            if (!(buttons & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)))
                pointerCursor = zoomedObject ? CursorForZone(NoteHit(POINT{x, y}).zone) : 0;
            if (draggedSticky && zoomedObject) {
                DragNote(x - last.x, y - last.y, POINT{x, y});
            } else if (zoomedObject && (buttons & MK_LBUTTON)) {
                ZAZObject& book = *zoomedObject;
                SetPan(book, x + book.panX - last.x, y + book.panY - last.y);
            } else {
                HitTest(x, y);
            }
        }
        WritePointer([x, y](PointerState& p) { p.lastPoint = POINT{x, y}; });
    } catch (...) {
    }
}

void ZAZViewer::CaptionClick(ZAZObject& book, std::int32_t x, std::int32_t y) {
    const RECT strip = CaptionStrip(book);
    // Strictly inside: the strip's own left edge belongs to the text.
    if (checkboxesEnabled && strip.left < x && x < strip.left + Px(kSelectionBox) && strip.top < y && y < strip.bottom) {
        book.selected = !book.selected;
        Render(kRenderCaptions);
        return;
    }
    WriteEvent(eventUrlTemplate, static_cast<std::uint32_t>(instanceId), CaptionText(book), book.documentId,
               book.path);
}

void ZAZViewer::PointerUp(std::int32_t x, std::int32_t y, std::uint32_t keys) {
    try {
        HostWindow* window = control ? control->Window() : nullptr;
        if ((keys & MK_CONTROL) && (keys & MK_SHIFT)) {
            // On the window thread, so that the worker is not held while the
            // box waits for its answer.
            if (window)
                window->Post([window] {
                    window->MessageBox(MessageBoxRequest{L"ZOVuvazaR Version 1.0", L"ZOVuvazaR", MB_OK, {}});
                });
            return;
        }
        const PointerState pointer = ReadPointer();
        const POINT release{x, y};
        std::wstring logged;
        {
            ViewLock lock;
            const bool drag = std::abs(x - pointer.pressPoint.x) > Px(kClickSlop) ||
                              std::abs(y - pointer.pressPoint.y) > Px(kClickSlop);
            bool deskClick = !zoomedObject;
            if (drag) {
                UpdateScrollBars();
                if (zoomedObject && draggedSticky)
                    SaveNotes(*zoomedObject);
            } else if (zoomedObject) {
                ZAZObject& zoomed = *zoomedObject;
                if (draggedSticky) {
                    ClickNote(zoomed, *draggedSticky);
                } else if (!pointer.pressHit) {
                    currentObject = &zoomed;
                    ZoomOut();
                } else if (currentObject == &zoomed) {
                    if (Contains(CaptionStrip(zoomed), pointer.pressPoint)) {
                        CaptionClick(zoomed, x, y);
                    } else {
                        const int side = zoomed.SideHit(pointer.pressPoint);
                        if (side == 0)
                            QueuePageClick(kFlipPrevious);
                        else if (side == 1)
                            QueuePageClick(kFlipNext);
                    }
                } else {
                    // The press was on another book: the same click zooms it in.
                    ZoomOut();
                    deskClick = true;
                }
            }
            if (deskClick && !zoomedObject && currentObject) {
                ZAZObject& book = *currentObject;
                if (Contains(CaptionStrip(book), release)) {
                    CaptionClick(book, x, y);
                } else if (pointer.pressHit && ZoomIn() && GetPreviewSettings().eValueNSMode) {
                    logged = book.path;
                }
            }
            draggedSticky = nullptr;
        }
        // The service is asked without holding the desk.
        if (!logged.empty())
            PreviewLog(logged, previewLogContext, window);
    } catch (...) {
    }
}

void ZAZViewer::Wheel(std::int16_t delta, std::int32_t, std::int32_t) {
    try {
        ViewLock lock;
        if (zoomedObject) {
            // Centred on the window, not on the pointer.
            Scale(delta <= 0 ? kWheelDown : kWheelUp, 1);
            return;
        }
        HostWindow* window = control ? control->Window() : nullptr;
        if (!verticalBarShown || !window)
            return;
        SCROLLINFO info;
        info.fMask = SIF_ALL;
        if (!window->GetScrollInfo(SB_VERT, info))
            return;
        const std::int32_t highest = std::max(0, info.nMax - static_cast<std::int32_t>(info.nPage));
        // From the desk's own position: the bar takes posted positions only
        // at the next timer tick, and notches may come faster than that.
        info.nPos = std::clamp(scrollY - delta, 0, highest);
        info.fMask = SIF_POS;
        // The bar itself belongs to the window thread.
        control->PostScrollInfo(SB_VERT, info);
        info.fMask = SIF_ALL;
        scrolling = true;
        ScrollDesk(info);
        scrolling = false;
    } catch (...) {
        scrolling = false;
    }
}

}  // namespace zov

namespace zov {

std::size_t ZAZViewer::ObjectCount() const {
    LockGuard guard(DeskLock());
    return objects.size();
}

std::int32_t ZAZViewer::CurrentFileType() const {
    LockGuard guard(DeskLock());
    return currentObject ? currentObject->fileType : -1;
}

std::optional<DisplayFile> ZAZViewer::CurrentFile() const {
    LockGuard guard(DeskLock());
    if (!currentObject)
        return std::nullopt;
    DisplayFile file;
    file.path = currentObject->path;
    file.caption = CaptionText(*currentObject);
    file.documentId = currentObject->documentId;
    return file;
}

std::optional<POINT> ZAZViewer::CurrentObjectPoint() const {
    LockGuard guard(DeskLock());
    if (!currentObject || zoomedObject)
        return std::nullopt;
    return PointOnAPage(*currentObject);
}

ScreenSummary ZAZViewer::Summarise() const {
    LockGuard guard(DeskLock());
    auto describe = [](ZAZObject& book) {
        std::wstring caption = CaptionText(book);
        if (caption.size() > kMaxDescribedCaption)
            caption.resize(kMaxDescribedCaption);
        return DescribedBook{std::move(caption), book.PageCount(), book.selected, book.Bounds(),
                             PointOnAPage(book).value_or(POINT{-1, -1})};
    };
    ScreenSummary summary;
    for (ZAZObject* book : visibleObjects) {
        if (summary.books.size() == kMaxDescribedBooks)
            break;
        if (book == zoomedObject)
            summary.zoomed = static_cast<std::int32_t>(summary.books.size());
        summary.books.push_back(describe(*book));
    }
    if (!zoomedObject)
        return summary;
    // A zoomed book past the named ones takes the last place.
    if (summary.zoomed < 0) {
        if (summary.books.size() == kMaxDescribedBooks)
            summary.books.pop_back();
        summary.zoomed = static_cast<std::int32_t>(summary.books.size());
        summary.books.push_back(describe(*zoomedObject));
    }
    summary.zoomedPath = zoomedObject->path;
    const VisiblePages facing = zoomedObject->FacingPages();
    for (const ZAZImage* page : {facing.restingLeft, facing.restingRight})
        if (page && page->pageNumber > 0)
            summary.openPages.push_back(page->pageNumber);
    return summary;
}

void ZAZViewer::RemoveCurrentObject() {
    try {
        {
            // Looked up under the locks that removing takes: the loader may
            // replace the desk at any moment before.
            LockGuard command(CommandLock());
            ViewLock lock;
            if (!currentObject)
                return;
            ZAZObject* book = currentObject;
            currentObject = nullptr;
            UnlinkObject(book);
        }
        Relayout();
    } catch (...) {
    }
}

std::int32_t ZAZViewer::ZoomedPageCount() const {
    LockGuard guard(DeskLock());
    return zoomedObject ? zoomedObject->PageCount() : 0;
}

void ZAZViewer::JumpZoomedToPage(std::int32_t pageNumber) {
    try {
        ViewLock lock;
        if (zoomedObject)
            JumpToPage(*zoomedObject, pageNumber);
    } catch (...) {
    }
}

}  // namespace zov
