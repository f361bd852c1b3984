// The page-viewing engine the control owns: the desk of books, laid out in
// rows that scroll vertically, rendered into an off-screen back buffer and
// presented in one call; at most one book zoomed up to the window; an update
// thread that advances animations at the pace of the control's timer; a
// preview loader that fills the books pass after pass.
//
// Locks, in this order when more than one is held: command lock (the
// worker's commands and the scripting methods), buffer lock, desk lock, step
// lock, document lock. The desk lock guards the books and the desk state;
// the buffer lock the back buffer.
#pragma once

#include "documents/DisplayFile.h"
#include "platform/Handshake.h"
#include "pixels/PixelBuffer.h"
#include "render/ZAZLayout.h"
#include "render/ZAZObject.h"
#include "viewer/IViewer.h"
#include "viewer/Prefetch.h"
#include "viewer/ViewerHost.h"

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace zov {

class ZAZSticky;

// The buffer lock and then the desk lock, as every operation that changes
// the picture holds them.
struct ViewLock {
    ViewLock();
    ~ViewLock();
    ViewLock(const ViewLock&) = delete;
    ViewLock& operator=(const ViewLock&) = delete;
};

// A page image a full-resolution picture was asked for: its document and
// page number, so that a request can be told from the one running.
struct DetailPage {
    std::wstring source;
    std::int32_t number = 0;
    bool operator==(const DetailPage&) const = default;
};

// What the next update step repaints for the loader.
enum PendingRepaint : std::int32_t { kRepaintNone = 0, kRepaintDesk = 3, kRepaintObject = 4 };

// How a frame is drawn: qualities of the zoomed book and the desk books, and
// whether desk captions are drawn; 5 redraws captions only.
enum RenderMode : std::int32_t {
    kRenderDraft = 0,
    kRenderDraftShaded = 1,
    kRenderFull = 2,
    kRenderFullShaded = 3,
    kRenderAsLast = 4,
    kRenderCaptions = 5,
};

// The text of a book's caption strip: its caption, else its file name.
std::wstring CaptionText(const ZAZObject& book);

// The keywords of a search text: split at every single blank (an ideographic
// space counts as one), so that two blanks in a row give an empty keyword.
// The text comes from the page or the view-state file: words past
// kMaxKeywords, and text past kMaxKeywordChars, are dropped. The view-state
// file keeps lines of about a thousand bytes; a search text is far shorter.
inline constexpr std::size_t kMaxKeywords = 256;
inline constexpr std::size_t kMaxKeywordChars = 1000;
std::vector<std::wstring> SplitKeywords(std::wstring_view text);

class ZAZViewer final : public IViewer {
public:
    explicit ZAZViewer(ViewerHost* control);
    ~ZAZViewer() override;
    ZAZViewer(const ZAZViewer&) = delete;
    ZAZViewer& operator=(const ZAZViewer&) = delete;

    // IViewer: commands (worker, command lock held).
    void RequestFlip(int flipAction) override;
    void ZoomDown() override;
    void Scale(double factor, int steps) override;
    void CompleteOpenPage(bool save, bool animate) override;
    void UnCompleteOpenPage(bool save, bool animate) override;
    void SingleOpenPage(bool save, bool animate) override;
    void StitchLeft() override;
    void StitchRight() override;
    bool PreviousObject(bool switchTo) override;
    bool NextObject(bool switchTo) override;
    void PointerDown(std::int32_t x, std::int32_t y) override;
    void PointerUp(std::int32_t x, std::int32_t y, std::uint32_t keys) override;
    void PointerMove(std::uint32_t buttons, std::int32_t x, std::int32_t y) override;
    void Wheel(std::int16_t delta, std::int32_t x, std::int32_t y) override;
    void ApplyScroll() override;
    void Resize() override;
    // IViewer: window thread.
    bool RequestUpdate(int timerId) override;
    void SetPainted() override { painted = true; }
    void Paint(const RECT& clientRect, const RECT& updateRect) override;
    int PointerCursor() const override { return pointerCursor; }
    bool SearchRunning() const override { return searchRunning; }
    void CancelSearch() override { searchCancel = true; }

    // Keyword search (Search.cpp).
    void Search(std::wstring_view text) override;
    void SearchStep(std::wstring_view text, int direction) override;
    std::int32_t SearchProgress() const override { return searchProgress; }
    void SetSearchProgress(std::int32_t percent) override { searchProgress = percent; }
    std::optional<std::wstring> KeywordsText() const override;
    bool SearchNeedsConsent() const override;
    void SearchConsentGiven() override { searchDataUnchecked = false; }
    bool ZoomedHasSearchData() const override;
    // Replaces the keyword list by the words of `text` (ideographic spaces
    // read as blanks) and writes the view state.
    void SetKeywords(std::wstring_view text);
    // Stops a running step and waits for its thread.
    void StopSearch();

    // The view-state file (ViewState.cpp): read once at creation, written
    // after every change of scale, modes, binding or keywords.
    void LoadViewState();
    void SaveViewState();

    // Sticky notes (Notes.cpp).
    void ApplyNoteEdit(std::uint64_t noteTicket, std::wstring text, COLORREF colour) override;
    // The note of the zoomed book under `point`, with its zone and the
    // scale of its page; no note without a zoomed book. Desk lock held.
    NoteHitTest NoteHit(POINT point);
    // Update step 4: every book's notes follow their file; true when any
    // changed. At most every kNoteRefreshInterval. Desk lock held.
    bool RefreshNotes();

    // File lists (scripting methods, command lock held).
    void LoadFileList(DisplayFileList list) override;
    void ReloadCurrentList(bool keepPositions) override;
    void RenderCaptionsOnly() override;
    void OpenPagesList(std::wstring_view text) override;
    void RemoveObject(ZAZObject* book);
    // Nothing when the book is not on the desk.
    std::optional<DeleteResult> RemoveObjectByRecord(ZAZObject* book);
    void RequestZoomFirst() override { zoomFirstRequested = true; }
    void SetReducedMotion(bool reduced) override { reducedMotion = reduced; }
    void SetDeviceScale(double scale) override;
    // A length of the design, in pixels at device scale 1, on this screen.
    std::int32_t Px(std::int32_t length) const;
    // The desk's scale on this screen; `deskScale` is the reader's, and saved.
    double ShownDeskScale() const { return deskScale * deviceScale; }
    void SetAutoFlip(bool on) override;
    void SetAllSelected(bool selected) override;
    DisplayFileList SelectedFiles() const override;
    std::vector<RefusedDelete> DeleteSelected() override;
    void SetCheckboxesEnabled(bool enabled) override;
    void SetPreviewLogContext(std::wstring context) override;
    void SetEventUrlTemplate(std::wstring urlTemplate) override;
    void SetToolbarRoom(bool room) override;
    void SetTreeRoom(bool room) override;
    void SetWorkWindowMode() override;
    void WorkWindowStep() override { IntakeAddFiles(); }
    ToolbarView ToolbarState() const override;
    std::size_t ObjectCount() const override;
    std::int32_t CurrentFileType() const override;
    void RemoveCurrentObject() override;
    std::optional<DisplayFile> CurrentFile() const override;
    std::optional<POINT> CurrentObjectPoint() const override;
    ScreenSummary Summarise() const override;
    std::int32_t ZoomedPageCount() const override;
    void JumpZoomedToPage(std::int32_t pageNumber) override;

    // Zoom (worker, or the update step for the first-object request).
    bool ZoomIn();
    void ZoomOut();
    void FitZoom(double t);
    void SwitchZoom(ZAZObject& next);
    void SetPan(ZAZObject& book, std::int32_t x, std::int32_t y);

    // Pointer input (worker). True when the point lies on a book or caption.
    bool HitTest(std::int32_t x, std::int32_t y);
    // The context menu's add-note command at a point of the zoomed book.
    void AddNoteAt(POINT point) override;
    // The caption strip below a book, in buffer coordinates.
    RECT CaptionStrip(ZAZObject& book) const;

    // Full-resolution pages of the zoomed book: -1 refused, 0 loading, 1 ready.
    int RequestDetail(ZAZObject& book);
    // Draws the fetched pages over the spread facing up; true when one was.
    bool DrawDetail();

    // Flipping.
    bool SetAction(int action, ZAZObject& book);
    void StartAuto(bool on);
    bool JumpToPage(ZAZObject& book, std::int32_t pageNumber);
    void QueuePageClick(int action);
    bool AdvanceFlips();
    bool FlipFrame(int batch, ZAZObject& book);
    // FlipFrame, run to the turn's end at once when motion is reduced.
    bool FlipFrames(int batch, ZAZObject& book);

    // Layout and drawing (desk lock taken inside).
    void Relayout();
    void UpdateScrollBars();
    void Render(int mode);
    void RenderNoPresent(bool clear);
    // One update step; true when it produced a frame. Buffer and desk locks held.
    bool UpdateStep();

    // State the control and the tests read.
    ZAZObject* ZoomedObject() const;
    const ZAZLayout& LayoutInForce() const { return zoomedObject ? zoomLayout : deskLayout; }
    const PixelBuffer* BackBuffer() const { return backBuffer.get(); }
    std::vector<ZAZObject*> Objects() const;
    std::int32_t InstanceId() const override { return instanceId; }
    bool AutoFlipOn() const override { return autoFlip != 0; }
    bool ListLoaded() const { return listLoaded; }
    bool PreviewPassDone() const { return previewPassDone; }
    void WaitUntilLoaderIdle() const;

    // Fields, in the order of the design (ownership in the comments).
    const std::int32_t instanceId;
    ViewerHost* const control;  // not owned
    std::unique_ptr<PixelBuffer> backBuffer;  // guarded by the buffer lock
    ZAZLayout deskLayout;
    ZAZLayout zoomLayout;
    std::atomic<int> pointerCursor{0};
    // Guarded by the desk lock. Shared, so that a book the loader is working
    // on outlives its removal from the desk until the loader lets go of it.
    std::list<std::shared_ptr<ZAZObject>> objects;
    std::vector<ZAZObject*> visibleObjects;         // not owned
    ZAZObject* zoomedObject = nullptr;              // not owned
    ZAZObject* currentObject = nullptr;             // not owned
    std::int32_t renderMode = kRenderFull;
    bool progressiveDone = false;
    double deskScale = 1.0;
    double deviceScale = 1.0;  // guarded by the desk lock
    std::int32_t scrollY = 0;
    bool animating = false;
    bool zoomingOut = false;
    bool checkboxesEnabled = true;
    Flag scrolling{false};
    bool toolbarRoom = true;
    bool treeRoom = false;
    std::wstring eventUrlTemplate;
    std::wstring previewLogContext;
    bool verticalBarShown = false;
    bool horizontalBarShown = false;
    // Full-resolution pages; the pictures are guarded by detailMutex_, the
    // rest belongs to the update step.
    std::unique_ptr<PixelBuffer> detailLeft;
    std::unique_ptr<PixelBuffer> detailRight;
    DetailPage detailWantedLeft;
    DetailPage detailWantedRight;
    RECT detailLeftRect{};
    RECT detailRightRect{};
    std::int32_t detailIdleTicks = 0;
    bool detailShown = false;
    bool detailWanted = false;
    Flag detailLoading{false};
    Flag detailCancel{false};
    std::unique_ptr<PixelBuffer> zoomBackground;
    std::unique_ptr<PixelBuffer> zoomComposite;
    // The next leaf's pages, decoded while the zoomed book turns.
    PagePrefetch prefetch;
    ZAZObject* snapshotObject = nullptr;
    ZAZImage* snapshotLeft = nullptr;
    ZAZImage* snapshotRight = nullptr;
    POINT snapshotOffset{};
    ZAZLayout snapshotLayout;
    bool snapshotLeftFlag = false;
    bool snapshotRightFlag = false;
    std::deque<int> flipActions;  // guarded by the step lock
    bool layoutDirty = false;
    std::int32_t pendingRepaint = kRepaintNone;
    ZAZObject* pendingRepaintObject = nullptr;
    // Guarded by the desk lock; null until the first search.
    std::unique_ptr<std::vector<std::wstring>> keywords;
    ZAZSticky* draggedSticky = nullptr;
    // What the press on draggedSticky found: its zone and page scale.
    NoteHitTest pressedNote;
    // Nanoseconds; of the intake, under intakeMutex_.
    std::int64_t addFilesStamp = 0;
    // Set by a work window's first intake, which only notes the time of a
    // files-to-add file already there: it was meant for other windows.
    bool addFilesPrimed = false;
    bool flipRunning = false;
    std::atomic<std::uint8_t> autoFlip{0};
    Flag previewPassDone{false};
    Flag previewsStarted{false};
    Flag zoomFirstRequested{false};
    Flag reducedMotion{false};
    bool updateThreadStarted = false;
    std::atomic<int> updateRequest{0};
    Flag frameReady{false};
    Flag stopUpdate{false};
    // Wakes the update thread when a tick asks for a step.
    Wakeup updateWake;
    // The step a tick asked for waits for the paint of the frame before it.
    Flag stepAfterPaint{false};
    // A tick found no frame: the step drawing one presents it when done.
    Flag tickMissed{false};
    Flag updateStopped{false};
    Flag listLoaded{false};
    Flag workWindowMode{false};
    Flag searchRunning{false};
    Flag searchCancel{false};
    Flag searchDataUnchecked{true};
    std::atomic<std::int32_t> searchProgress{0};
    // Of the search steps, on the thread that starts them.
    std::wstring lastSearchText;
    bool searchNewText = false;
    std::int32_t searchDirection = 1;
    Flag loaderIdle{true};
    DisplayFileList pendingFiles;            // owned until the loader takes it
    // Set last: the loader's signal that a list waits.
    std::atomic<std::list<std::shared_ptr<ZAZObject>>*> pendingTarget{nullptr};
    Flag loaderStop{false};
    Flag loaderStopped{false};
    Flag loaderAbort{false};
    bool loaderStarted = false;
    Flag painted{false};

private:
    void UpdateThread();
    void LoaderThread();
    void RunLoad(DisplayFileList files);
    bool LoadStep(ZAZObject& book);
    bool PreparePreview(ZAZObject& book);
    bool LoadPages(ZAZObject& book, bool all);
    void IntakeAddFiles();
    void RemoveAllObjects();
    // Takes the book off the desk and out of every pointer to it. Desk lock held.
    void UnlinkObject(ZAZObject* book);
    void PlaceObjects();
    bool LayoutObjects();
    void DrawDesk(bool clear);
    void DrawZoomed();
    // Asks the prefetch for the zoomed book's next leaf in its direction.
    void ReadAhead(ZAZObject& book, const VisiblePages& v);
    void DrawCaption(PixelBuffer& target, ZAZObject& book, bool force);
    void RepaintObject(ZAZObject& book);
    void Present(const RECT* part);
    std::int32_t DeskStartX() const;
    std::int32_t DeskStartY() const;
    // Posts a bar's fields and arrows unless the window already has them;
    // false when the queue had no room for them.
    bool PostBar(int bar, const SCROLLINFO& info, std::uint32_t arrows);
    ZAZLayout ZoomStepLayout(double t, int singlePage) const;
    void UseLayout(ZAZObject& book, ZAZLayout* layout);
    void ConvertSingle(bool enter, ZAZLayout& layout);
    // The ten frames of a change of opening mode: `frame` moves `l` on from
    // its state before the change; each step is shown when animating.
    void AnimateMode(ZAZLayout& l, bool animate, const std::function<void(const ZAZLayout&, int)>& frame);
    void ShowModeFrame(bool animate);
    // The zoom to the nearest displayable book after or before the zoomed one.
    bool StepObject(bool forward, bool switchTo);
    // The displayable book before or after the zoomed one; desk lock held.
    ZAZObject* NeighbourOfZoomed(bool forward) const;
    // Scrolls the desk to the vertical bar's position, kept in its range.
    void ScrollDesk(const SCROLLINFO& info);
    void CaptionClick(ZAZObject& book, std::int32_t x, std::int32_t y);
    void DetailLoader(DetailPage left, DetailPage right, bool single, bool imageFile);
    void StopDetailLoader();
    // Step 7 of the update step: the full-resolution pages once idle.
    bool DetailStep();

    // One intake at a time: the update thread's and the control's. Taken
    // before the buffer and desk locks, never under them.
    std::mutex intakeMutex_;
    std::thread updateThread_;
    std::thread loaderThread_;
    std::thread detailThread_;
    // At most one search thread: started and joined under searchStart_.
    std::thread searchThread_;
    // The note whose dialog is open, named by a ticket so that an answer
    // for a note that went meanwhile changes nothing. Desk lock.
    struct NoteEdit {
        std::uint64_t ticket = 0;
        ZAZObject* book = nullptr;
        ZAZSticky* note = nullptr;
    };
    NoteEdit noteEdit_;
    std::uint64_t lastNoteTicket_ = 0;
    std::chrono::steady_clock::time_point lastNoteRefresh_{};
    // Moves the dragged note by the pointer's step (dx, dy) at `point`.
    void DragNote(std::int32_t dx, std::int32_t dy, POINT point);
    // The note click: the page it is on, or its dialog.
    void ClickNote(ZAZObject& book, ZAZSticky& note);
    std::mutex searchStart_;
    void SearchThread();
    // Cancels and joins the running step; searchStart_ held.
    void StopSearchLocked();
    // One book's step onto its next hit for `words`; true when it moved.
    bool SearchBook(ZAZObject& book, const std::vector<std::wstring>& words);
    // The keyword list is `words`. Desk lock held.
    bool KeywordsAre(const std::vector<std::wstring>& words) const;
    // The opening modes on a given layout (null: the one in force), so that
    // the view state can set the zoom layout while nothing is zoomed.
    void CompleteOpenPageOn(ZAZLayout* target, bool save, bool animate);
    void UnCompleteOpenPageOn(ZAZLayout* target, bool save, bool animate);
    void SingleOpenPageOn(ZAZLayout* target, bool save, bool animate);
    std::mutex detailMutex_;
    ZAZLayout animationLayout_;  // the layout a zooming book uses meanwhile
    bool layoutPending_ = false;
    // What each scroll bar (horizontal, vertical) was last given, so that
    // layouts repeating a state post nothing. Guarded by the desk lock.
    struct PostedBar {
        bool known = false;
        SCROLLINFO info;
        bool arrowsKnown = false;
        std::uint32_t arrows = 0;
    };
    PostedBar postedBars_[2];
    SIZE windowSize_{};  // the back buffer's, guarded by the desk lock
};

}  // namespace zov
