// What the control asks of its viewer. The viewer engine implements it; the
// control holds it through this interface so that the control host can be
// built and tested on its own.
#pragma once

#include "documents/DisplayFile.h"
#include "documents/Download.h"
#include "platform/Handshake.h"
#include "platform/HostWindow.h"
#include "platform/WinTypes.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zov {

// A selected file its server did not delete; its book stays on the desk.
struct RefusedDelete {
    std::wstring path;
    DeleteResult result;
};

// What the desk and the zoomed book show, for readers who cannot see them.
// The texts of the open pages are read apart, off the window thread.
struct ScreenSummary {
    std::vector<DescribedBook> books;
    std::int32_t zoomed = -1;  // index into books
    std::wstring zoomedPath;
    std::vector<std::int32_t> openPages;  // 1-based, in screen order

    friend bool operator==(const ScreenSummary&, const ScreenSummary&) = default;
};
// A desk may hold thousands of books; a reader's list names the first ones.
inline constexpr std::size_t kMaxDescribedBooks = 1000;
inline constexpr std::size_t kMaxDescribedCaption = 256;

// What the toolbar shows of the viewer: read at every timer tick.
struct ToolbarView {
    bool zoomed = false;
    // Another displayable book before and after the zoomed one.
    bool hasPrevious = false;
    bool hasNext = false;
    // Of the zoomed book's layout, or of the desk's.
    bool singlePage = false;
    bool equalPageWidths = false;
    bool rightStitch = false;
    bool autoFlip = false;
};

class IViewer {
public:
    virtual ~IViewer() = default;

    // Command worker, with the command lock held.
    virtual void RequestFlip(int flipAction) = 0;
    virtual void ZoomDown() = 0;
    virtual void Scale(double factor, int steps) = 0;
    virtual void CompleteOpenPage(bool save, bool animate) = 0;
    virtual void UnCompleteOpenPage(bool save, bool animate) = 0;
    virtual void SingleOpenPage(bool save, bool animate) = 0;
    virtual void StitchLeft() = 0;
    virtual void StitchRight() = 0;
    // With `switchTo` false these only ask whether such a document exists.
    virtual bool PreviousObject(bool switchTo) = 0;
    virtual bool NextObject(bool switchTo) = 0;
    virtual void PointerDown(std::int32_t x, std::int32_t y) = 0;
    // `keys` are the key flags of the button message (MK_CONTROL, MK_SHIFT).
    virtual void PointerUp(std::int32_t x, std::int32_t y, std::uint32_t keys) = 0;
    virtual void PointerMove(std::uint32_t buttons, std::int32_t x, std::int32_t y) = 0;
    virtual void Wheel(std::int16_t delta, std::int32_t x, std::int32_t y) = 0;
    virtual void ApplyScroll() = 0;
    virtual void Resize() = 0;

    // Window thread.
    // One animation tick; true when a new frame is ready to be painted.
    virtual bool RequestUpdate(int timerId) = 0;
    // The frame reported by RequestUpdate has been handed to the window.
    virtual void SetPainted() = 0;
    // Presents the back buffer; the control holds the desk lock once armed.
    virtual void Paint(const RECT& clientRect, const RECT& updateRect) = 0;
    // The standard cursor wanted over the zoomed book, 0 for the default.
    virtual int PointerCursor() const = 0;
    virtual bool SearchRunning() const = 0;
    // Asks a running search to stop; the caller waits for SearchRunning.
    virtual void CancelSearch() = 0;

    // The page's scripting calls, on the window thread with the command lock
    // held. A viewer that has no desk keeps these neutral.
    virtual std::int32_t InstanceId() const { return 0; }
    // Replaces the desk with `list`.
    virtual void LoadFileList(DisplayFileList list) { (void)list; }
    virtual void ReloadCurrentList(bool keepPositions) { (void)keepPositions; }
    virtual void RenderCaptionsOnly() {}
    virtual void OpenPagesList(std::wstring_view text) { (void)text; }
    virtual bool AutoFlipOn() const { return false; }
    virtual void SetAutoFlip(bool on) { (void)on; }
    virtual void RequestZoomFirst() {}
    virtual void SetAllSelected(bool selected) { (void)selected; }
    // The selected books in desk order.
    virtual DisplayFileList SelectedFiles() const { return {}; }
    // Deletes the file of every selected book on its server; a book goes
    // only when its file did. Returns the files that stayed.
    virtual std::vector<RefusedDelete> DeleteSelected() { return {}; }
    virtual void SetCheckboxesEnabled(bool enabled) { (void)enabled; }
    virtual void SetPreviewLogContext(std::wstring context) { (void)context; }
    virtual void SetEventUrlTemplate(std::wstring urlTemplate) { (void)urlTemplate; }
    virtual void SetToolbarRoom(bool room) { (void)room; }
    // The reader asked for less motion: turns, zooms and scaling show only
    // their last frame. Auto flipping, which is asked for to be watched, keeps
    // its pace.
    virtual void SetReducedMotion(bool reduced) { (void)reduced; }
    // Device pixels per CSS pixel of the page the window lies on: the desk's
    // room, books, captions and text grow with it, so that a high-density
    // screen shows them as large as any other, only sharper.
    virtual void SetDeviceScale(double scale) { (void)scale; }
    // The folder tree stands at the left: the desk and the zoom keep clear of it.
    virtual void SetTreeRoom(bool room) { (void)room; }
    virtual void SetWorkWindowMode() {}
    // A work window takes in the files added for it and writes its marker
    // again when it is missing; other viewers do nothing.
    virtual void WorkWindowStep() {}

    // The control's own face, on the window thread.
    virtual ToolbarView ToolbarState() const { return {}; }
    virtual ScreenSummary Summarise() const { return {}; }
    virtual std::size_t ObjectCount() const { return 0; }
    // The file type of the book last under the pointer, -1 without one.
    virtual std::int32_t CurrentFileType() const { return -1; }
    // The context menu's commands, on the book last under the pointer or
    // the zoomed book.
    virtual void AddNoteAt(POINT point) { (void)point; }
    virtual void RemoveCurrentObject() {}
    // The path and caption of that book (its file name when it has no
    // caption of its own, as its caption strip shows); nothing without one.
    virtual std::optional<DisplayFile> CurrentFile() const { return std::nullopt; }
    // On the desk, a point on a page of that book, where a click zooms it
    // in; nothing while zoomed or without one.
    virtual std::optional<POINT> CurrentObjectPoint() const { return std::nullopt; }
    // Pages of the zoomed book, 0 when none is zoomed.
    virtual std::int32_t ZoomedPageCount() const { return 0; }
    virtual void JumpZoomedToPage(std::int32_t pageNumber) { (void)pageNumber; }

    // Keyword search. Search marks the keywords and opens every closed book
    // at its first hit; SearchStep walks to the next (+1) or previous (-1)
    // hit on a thread of its own.
    virtual void Search(std::wstring_view text) { (void)text; }
    virtual void SearchStep(std::wstring_view text, int direction) { (void)text, (void)direction; }
    // 0..100 while a step runs; the search dialog resets it.
    virtual std::int32_t SearchProgress() const { return 0; }
    virtual void SetSearchProgress(std::int32_t percent) { (void)percent; }
    // The keywords of the last search joined by blanks; nothing before one.
    virtual std::optional<std::wstring> KeywordsText() const { return std::nullopt; }
    // True while the reader has not yet agreed to search a list in which
    // some document has no search data, and such a document is on the desk.
    virtual bool SearchNeedsConsent() const { return false; }
    virtual void SearchConsentGiven() {}
    // Whether the zoomed book has search data; false without one.
    virtual bool ZoomedHasSearchData() const { return false; }

    // The note dialog's answer for the note `NoteDialogRequest` named: the
    // new text and colour, saved and drawn; nothing when the note is gone.
    virtual void ApplyNoteEdit(std::uint64_t noteTicket, std::wstring text, COLORREF colour) {
        (void)noteTicket, (void)text, (void)colour;
    }
};

// How often a caller waiting for a cancelled search looks again.
inline constexpr std::chrono::milliseconds kSearchStopPoll{200};

// Asks a running search to stop and waits until it has; at once when none runs.
inline void CancelSearchAndWait(IViewer& viewer) {
    if (!viewer.SearchRunning())
        return;
    viewer.CancelSearch();
    PollUntil([&viewer] { return !viewer.SearchRunning(); }, kSearchStopPoll);
}

}  // namespace zov
