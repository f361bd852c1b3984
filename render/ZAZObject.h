// One document shown as a book: where its pages lie on screen for a layout,
// which pages face up at a page position and flip progress, how the book is
// painted, and the hit tests for clicks on it.
#pragma once

#include "pixels/PageWarp.h"
#include "render/ZAZImage.h"
#include "render/ZAZLayout.h"
#include "render/ZAZSticky.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zov {

class PixelBuffer;

// The flip state of a book and the value of a flip request.
enum ZAZObjectFlipAction : std::int32_t {
    kAutoNext = 0,
    kAutoPrevious = 1,
    kClosing = 2,  // reserved
    kClosed = 3,
    kFlipNext = 4,
    kFlipPrevious = 5,
    kFlipNext10 = 6,
    kFlipPrevious10 = 7,
    kFlipLast = 8,
    kFlipFirst = 9,
};

// The pages facing up and turning; absent pages are null.
struct VisiblePages {
    ZAZImage* restingLeft = nullptr;
    ZAZImage* restingRight = nullptr;
    ZAZImage* turningLeft = nullptr;
    ZAZImage* turningRight = nullptr;
    double leftProgress = 0;
    double rightProgress = 0;
    std::int32_t first = 0;
    std::int32_t last = 0;
};

// A point on a page, in thousandths of its width and height.
struct PagePoint {
    ZAZImage* page = nullptr;
    std::int32_t x = 0;
    std::int32_t y = 0;
};

// Which part of a book Draw paints.
enum DrawPart : int { kDrawAll = 0, kDrawTurning = 1, kDrawResting = 2 };

class ZAZObject {
public:
    ZAZObject(std::wstring path, std::wstring caption, ZAZLayout* layout, std::wstring documentId, bool flag);
    // Gives every page's pictures back (and out of the large-picture slots).
    ~ZAZObject();
    ZAZObject(const ZAZObject&) = delete;
    ZAZObject& operator=(const ZAZObject&) = delete;

    using PageList = std::vector<std::unique_ptr<ZAZImage>>;

    std::wstring path;
    ZAZLayout* layout;  // not owned: the layout in force
    std::int32_t fileType;
    // Whether a book of unknown type or a folder was looked at for a preview
    // of its own (which makes it a folder with a preview).
    bool previewLookedFor = false;
    std::wstring caption;
    bool selected = false;
    std::wstring documentId;
    bool flag;
    ZAZImage* iconPage = nullptr;  // not owned: the icon cache's
    std::optional<PageList> pages;
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t panX = 0;
    std::int32_t panY = 0;
    POINT S, L, T, B;
    double scale = 1.0;
    // Device pixels per CSS pixel of the screen the book is shown on: note
    // text and frames follow it, as the pages follow `scale`.
    double deviceScale = 1.0;
    std::int32_t draftDrawn = 1;
    bool uniformShape = true;
    // 0 nothing loaded, 3 a page list is there, 4 complete.
    std::int32_t loadState = 0;
    // 0 once a page list was built from the preview, else the preview status
    // last acted upon.
    std::int32_t notDisplayable = 1;
    std::int32_t listStage = 0;
    std::int32_t pagePosition = 0;
    std::int32_t pageStep = 1;
    double flipProgress = 0.0;
    ZAZObjectFlipAction flipState = kClosed;
    std::int32_t halfTurns = 0;
    bool animating = false;
    // Pages whose small pictures hold their own pixels, in loading order.
    std::vector<ZAZImage*> loadedSmall;
    std::int32_t loadedPageCount = 0;
    // Keyword search: the keywords the page results belong to, and per page
    // (index k - 1 for page k) 0 unknown, 1 all keywords found, 255 not.
    std::unique_ptr<std::vector<std::wstring>> searchKeywords;
    std::unique_ptr<std::vector<std::uint8_t>> pageHits;
    // Sticky notes, and the modification time (nanoseconds since the epoch)
    // of the ".sticky" file they were last read from; 0 when none was read.
    std::int64_t stickyFileTime = 0;
    std::unique_ptr<NoteList> notes;
    // Set by the viewer while a drawing is the note hit test; not owned.
    NoteHitTest* noteHit = nullptr;

    std::int32_t PageCount() const;
    // The page at `index` (below 0 counts as 0), made when first asked for;
    // past the list (or without one) the document's icon page.
    ZAZImage* Page(std::int32_t index);

    // Places the book for a first page of shape a : b (1/1024 ratios).
    void LayOut(std::int32_t widthRatio, std::int32_t heightRatio);
    // The same points for a page of another shape, the book's own untouched.
    LayoutPoints PointsFor(std::int32_t widthRatio, std::int32_t heightRatio) const;
    void Relayout();
    RECT Bounds();
    void InvalidateBounds() { boundsValid_ = false; }

    VisiblePages Visible();
    // Paints the book into `target` (null: only the notes' hit test runs).
    void Draw(PixelBuffer* target, bool draft, int part, bool shading);
    // The search marks and notes of the open pages alone, for pictures drawn
    // over the pages after the book.
    void DrawOverOpenPages(PixelBuffer& target);
    // Where a page lies when it rests on the left or right side, and the
    // top edge it is drawn with there.
    PageQuad RestingQuad(const ZAZImage& page, bool left, int& curve) const;
    // The pages facing up, in screen order (the binding applied).
    VisiblePages FacingPages();
    // 0 on the left page, 1 on the right page, 2 elsewhere.
    int SideHit(POINT point);
    std::optional<PagePoint> PointOnPage(POINT point);

private:
    VisiblePages VisibleTwoPages();
    VisiblePages VisibleSinglePage();
    void DrawResting(PixelBuffer* target, const VisiblePages& visible, bool quality);
    void DrawTurning(PixelBuffer* target, const VisiblePages& visible);
    void DrawOnOpenPages(PixelBuffer* target, const VisiblePages& visible, NoteHitTest* hit);
    PageQuad QuadFor(const ZAZImage& page, bool left, double progress) const;
    void DrawPageAt(PixelBuffer& target, ZAZImage& page, bool left, double progress, int curve, bool quality,
                    double opacity);

    RECT bounds_{};
    bool boundsValid_ = false;
};

}  // namespace zov
