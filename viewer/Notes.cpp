// Sticky notes on the zoomed book: the hit test the pointer uses, adding a
// note from the context menu, moving, resizing and re-pinning it by
// dragging, the note dialog's answers, and notes that another viewer of the
// same user changed.
#include "viewer/ZAZViewer.h"

#include "documents/PreviewSettings.h"
#include "platform/Locks.h"

#include <algorithm>

namespace zov {

namespace {

// Another viewer's notes show up this soon; looking at every file on every
// animation tick would cost far more than it gains.
constexpr std::chrono::milliseconds kNoteRefreshInterval{250};

bool HoldsNote(ZAZObject& book, const ZAZSticky* note) {
    if (!book.notes)
        return false;
    return std::any_of(book.notes->begin(), book.notes->end(),
                       [note](const std::unique_ptr<ZAZSticky>& held) { return held.get() == note; });
}

}  // namespace

NoteHitTest ZAZViewer::NoteHit(POINT point) {
    NoteHitTest test;
    if (!zoomedObject)
        return test;
    test.editing = true;
    test.point = point;
    ZAZObject& book = *zoomedObject;
    // Drawing without a buffer runs the hit test over the notes and tabs
    // exactly where they are drawn.
    book.noteHit = &test;
    try {
        book.Draw(nullptr, book.draftDrawn != 0, kDrawResting, false);
    } catch (...) {
        book.noteHit = nullptr;
        throw;
    }
    book.noteHit = nullptr;
    test.editing = false;
    return test;
}

void ZAZViewer::AddNoteAt(POINT point) {
    try {
        ViewLock lock;
        if (!zoomedObject)
            return;
        std::optional<PagePoint> at = zoomedObject->PointOnPage(point);
        if (!at || !at->page)
            return;
        // More notes than a file holds would not come back.
        if (Notes(*zoomedObject).size() >= kMaxNotesPerDocument)
            return;
        ::zov::AddNoteAt(*zoomedObject, at->page->pageNumber, at->x, at->y);
        SaveNotes(*zoomedObject);
        Render(kRenderFull);
    } catch (...) {
    }
}

void ZAZViewer::DragNote(std::int32_t dx, std::int32_t dy, POINT point) {
    if (!zoomedObject || !draggedSticky)
        return;
    ZAZObject& book = *zoomedObject;
    ZAZSticky& note = *draggedSticky;
    const bool rightStitch = book.layout->rightStitch != 0;
    const double sx = pressedNote.sx;
    const double sy = pressedNote.sy;
    const std::int32_t zone = pressedNote.zone;
    {
    LockGuard guard(DocumentLock());
    if (zone >= kZoneLeft && zone <= kZoneTopRight) {
        const bool odd = note.page % 2 != 0;
        const bool normal = (odd && !rightStitch) || (!odd && rightStitch);
        ResizeNote(note, zone, dx, dy, sx, sy, !normal);
    } else if (zone == kZonePin) {
        note.pinX += static_cast<std::int32_t>(dx * sx);
        note.pinY += static_cast<std::int32_t>(dy * sy);
    } else if (zone == kZoneBody) {
        note.x += static_cast<std::int32_t>(dx * sx);
        note.y += static_cast<std::int32_t>(dy * sy);
        note.deleted = false;
        const RECT box = book.Bounds();
        // Past a page edge: onto the neighbouring page while the pointer is
        // still over the book, off the book (and deleted) once it is not.
        if (note.x < 0) {
            if (point.x > box.left) {
                note.page += rightStitch ? 1 : -1;
                note.x += kNotePageShift;
            } else {
                note.deleted = true;
            }
        } else if (note.x > 1000) {
            if (point.x < box.right) {
                note.page += rightStitch ? -1 : 1;
                note.x -= kNotePageShift;
            } else {
                note.deleted = true;
            }
        }
        // A page the book does not have holds no note either.
        if (note.y + 80 < 0 || note.y > 1000 || note.page < 1 || note.page > book.PageCount())
            note.deleted = true;
    }
    }
    Render(kRenderFull);
}

void ZAZViewer::ClickNote(ZAZObject& book, ZAZSticky& note) {
    const VisiblePages v = book.FacingPages();
    bool shown = false;
    for (const ZAZImage* page : {v.restingLeft, v.restingRight})
        shown = shown || (page && page->pageNumber == note.page);
    if (!shown) {
        JumpToPage(book, note.page);
        return;
    }
    if (!control)
        return;
    noteEdit_ = NoteEdit{++lastNoteTicket_, &book, &note};
    control->EditNote(noteEdit_.ticket, note.text, note.colour);
}

void ZAZViewer::ApplyNoteEdit(std::uint64_t noteTicket, std::wstring text, COLORREF colour) {
    try {
        ViewLock lock;
        const NoteEdit edit = noteEdit_;
        if (noteTicket == 0 || noteTicket != edit.ticket)
            return;
        noteEdit_ = NoteEdit{};
        const bool onDesk = std::any_of(objects.begin(), objects.end(),
                                        [&edit](const std::shared_ptr<ZAZObject>& held) { return held.get() == edit.book; });
        if (!onDesk)
            return;
        ZAZObject* book = edit.book;
        {
            LockGuard guard(DocumentLock());
            // The notes may have been read again from their file meanwhile.
            if (!HoldsNote(*book, edit.note))
                return;
            edit.note->text = std::move(text);
            edit.note->colour = colour & 0xFFFFFFu;
        }
        SaveNotes(*book);
        Render(kRenderFull);
    } catch (...) {
    }
}

bool ZAZViewer::RefreshNotes() {
    if (GetPreviewSettings().eValueNSMode)
        return false;
    const auto now = std::chrono::steady_clock::now();
    if (now - lastNoteRefresh_ < kNoteRefreshInterval)
        return false;
    lastNoteRefresh_ = now;
    bool changed = false;
    for (const std::shared_ptr<ZAZObject>& book : objects) {
        // A note held by the pointer is read again once it is let go.
        if (draggedSticky && book.get() == zoomedObject)
            continue;
        if (!ReloadIfChanged(*book))
            continue;
        changed = true;
        // The dragged note and the one in the dialog may be gone.
        if (draggedSticky && !HoldsNote(*book, draggedSticky) && zoomedObject == book.get())
            draggedSticky = nullptr;
    }
    return changed;
}

}  // namespace zov
