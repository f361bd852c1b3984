#include "render/ZAZObject.h"

#include "documents/FileTypes.h"
#include "documents/PreviewSettings.h"
#include "platform/Locks.h"
#include "pixels/Draw.h"
#include "render/PageCache.h"
#include "render/PageList.h"
#include "render/Placeholders.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace zov {

namespace {

bool AtRestState(ZAZObjectFlipAction state) {
    return state == kAutoNext || state == kAutoPrevious || state == kFlipNext || state == kFlipPrevious;
}

// The mark of a page holding every keyword of the last search.
constexpr std::uint32_t kSearchAmber = 0xFFB000;
constexpr std::int32_t kSearchFrame = 3;

void FillClipped(PixelBuffer& target, const RECT& rect, std::uint32_t colour) {
    const RECT r = IntersectRect(rect, target.Bounds());
    for (std::int32_t y = r.top; y < r.bottom; ++y)
        std::fill(target.Row(y) + r.left, target.Row(y) + r.right, colour);
}

// A frame just inside the page edges and a ribbon with a notched tail
// hanging from the top edge near the outer corner.
void DrawSearchMark(PixelBuffer& target, const RECT& page, bool outerRight, double deviceScale) {
    const auto f = static_cast<std::int32_t>(std::lround(kSearchFrame * std::max(deviceScale, 1.0)));
    if (target.Empty() || page.Width() <= 2 * f || page.Height() <= 2 * f)
        return;
    FillClipped(target, RECT{page.left, page.top, page.right, page.top + f}, kSearchAmber);
    FillClipped(target, RECT{page.left, page.bottom - f, page.right, page.bottom}, kSearchAmber);
    FillClipped(target, RECT{page.left, page.top + f, page.left + f, page.bottom - f}, kSearchAmber);
    FillClipped(target, RECT{page.right - f, page.top + f, page.right, page.bottom - f}, kSearchAmber);
    const std::int32_t w = std::clamp(page.Width() / 14, 6, 24);
    const std::int32_t h = std::min(2 * w + w / 2, page.Height() - 2 * f);
    const std::int32_t left = outerRight ? page.right - f - w - w / 2 : page.left + f + w / 2;
    if (left < page.left + f || left + w > page.right - f)
        return;
    const std::int32_t notch = w / 2;
    for (std::int32_t j = 0; j < h; ++j) {
        const std::int32_t y = page.top + j;
        if (y < 0 || y >= target.Height())
            continue;
        const std::int32_t depth = j - (h - notch) + 1;  // > 0 in the tail
        for (std::int32_t i = 0; i < w; ++i) {
            const std::int32_t x = left + i;
            if (x < 0 || x >= target.Width() || (depth > 0 && std::abs(2 * i - (w - 1)) < 2 * depth))
                continue;
            target.At(x, y) = kSearchAmber;
        }
    }
}

// The two pages of a spread as the notes measure them: each by the wider
// page and the spine's height.
NotePage SpreadPage(const ZAZObject& book, bool left) {
    NotePage page;
    const POINT topLeft = left ? book.L : book.S;
    const POINT topRight = left ? book.S : book.T;
    page.rect = RECT{topLeft.x, topLeft.y, topRight.x, book.B.y};
    page.side = left ? 0 : 1;
    page.singlePage = book.layout->singlePage != 0;
    page.rightStitch = book.layout->rightStitch != 0;
    page.slanted = topLeft.y != topRight.y;
    page.topLeft = topLeft;
    page.topRight = topRight;
    page.bottom = book.B.y;
    page.openWidth = std::max(book.S.x - book.L.x, book.T.x - book.S.x);
    page.pageHeight = book.B.y - book.S.y;
    page.textScale = book.deviceScale;
    return page;
}

// The one page of single-page mode, on the side of the spine its number
// and the binding put it.
NotePage SinglePage(const ZAZObject& book, std::int32_t pageNumber) {
    NotePage page;
    page.rect = RECT{book.L.x, book.L.y, book.T.x, book.B.y};
    page.pageNumber = pageNumber;
    page.singlePage = true;
    page.rightStitch = book.layout->rightStitch != 0;
    page.side = (pageNumber % 2 == 0) == page.rightStitch ? 1 : 0;
    page.slanted = book.L.y != book.T.y;
    page.topLeft = book.L;
    page.topRight = book.T;
    page.bottom = book.B.y;
    page.openWidth = book.T.x - book.L.x;
    page.pageHeight = book.B.y - book.L.y;
    page.textScale = book.deviceScale;
    return page;
}

// The tabs of the pages stacked under and beside the open ones. `v` is in
// screen order; the lower page numbers lie on the binding's side.
void DrawTabs(ZAZObject& book, PixelBuffer* target, const VisiblePages& v, NoteHitTest* hit) {
    const bool right = book.layout->rightStitch != 0;
    const bool single = book.layout->singlePage != 0;
    const ZAZImage* low = right ? v.restingRight : v.restingLeft;
    const ZAZImage* high = right ? v.restingLeft : v.restingRight;
    NotePage lowStack = single ? SinglePage(book, 0) : SpreadPage(book, !right);
    NotePage highStack = single ? SinglePage(book, 0) : SpreadPage(book, right);
    lowStack.side = right ? 1 : 0;
    highStack.side = right ? 0 : 1;
    const NoteList& notes = *book.notes;
    if (low)
        DrawStackedNotes(target, notes, lowStack, 1, low->pageNumber - 1, hit);
    if (high)
        DrawStackedNotes(target, notes, highStack, high->pageNumber + 1, book.PageCount(), hit);
}

void DrawOpenNotes(ZAZObject& book, PixelBuffer* target, const VisiblePages& v, NoteHitTest* hit) {
    const NoteList& notes = *book.notes;
    if (book.layout->singlePage) {
        if (v.restingLeft && v.restingLeft == v.restingRight)
            DrawPageNotes(target, notes, SinglePage(book, v.restingLeft->pageNumber), hit);
        return;
    }
    if (v.restingLeft) {
        NotePage page = SpreadPage(book, true);
        page.pageNumber = v.restingLeft->pageNumber;
        DrawPageNotes(target, notes, page, hit);
    }
    if (v.restingRight) {
        NotePage page = SpreadPage(book, false);
        page.pageNumber = v.restingRight->pageNumber;
        DrawPageNotes(target, notes, page, hit);
    }
}

bool IsSearchHit(const ZAZObject& book, const ZAZImage& page) {
    if (!book.searchKeywords || !book.pageHits || page.pageNumber < 1)
        return false;
    const auto index = static_cast<std::size_t>(page.pageNumber - 1);
    return index < book.pageHits->size() && (*book.pageHits)[index] == 1;
}

RECT QuadRect(const PageQuad& quad) {
    return RECT{quad.R.x, quad.Q.y, quad.Q.x, quad.A.y};
}

}  // namespace

ZAZObject::ZAZObject(std::wstring pathValue, std::wstring captionValue, ZAZLayout* layoutValue,
                     std::wstring documentIdValue, bool flagValue)
    : path(std::move(pathValue)), layout(layoutValue), fileType(Classify(path)), caption(std::move(captionValue)),
      documentId(std::move(documentIdValue)), flag(flagValue) {
    // The first document starts making the placeholder pictures, so that
    // they are ready when a preview turns out to be missing.
    StartPlaceholderLoader(GetPreviewSettings().eValueNSMode);
}

ZAZObject::~ZAZObject() {
    try {
        LockGuard guard(DocumentLock());
        if (pages) {
            for (std::unique_ptr<ZAZImage>& page : *pages)
                if (page)
                    ReleasePictures(*page);
        }
        ClearNotes(*this);
    } catch (...) {
    }
}

std::int32_t ZAZObject::PageCount() const {
    return pages ? static_cast<std::int32_t>(pages->size()) : 0;
}

ZAZImage* ZAZObject::Page(std::int32_t index) {
    if (index < 0)
        index = 0;
    if (pages && index < PageCount()) {
        std::unique_ptr<ZAZImage>& entry = (*pages)[static_cast<std::size_t>(index)];
        if (!entry)
            entry = std::make_unique<ZAZImage>(path, caption, index + 1);
        return entry.get();
    }
    return IconPage(*this);
}

LayoutPoints ZAZObject::PointsFor(std::int32_t a, std::int32_t b) const {
    const ZAZLayout& l = *layout;
    std::int32_t c, d;
    if (a == 0 || b == 0) {
        c = l.pageWidth;
        d = l.pageHeight;
    } else if (a < b) {
        d = l.pageHeight;
        c = a * d / b;
    } else {
        c = l.pageWidth;
        d = b * c / a;
    }
    const std::int32_t xs = static_cast<std::int32_t>(panX + x);
    const std::int32_t yTop = static_cast<std::int32_t>(panY + y + scale * (l.pageHeight - d));
    const std::int32_t yb = static_cast<std::int32_t>(panY + y + l.pageHeight * scale);
    const std::int32_t xRight = static_cast<std::int32_t>(panX + x + scale * c);
    LayoutPoints p;
    p.S = POINT{xs, yTop};
    p.B = POINT{xs, yb};
    if (l.singlePage) {
        const std::int32_t hw = (xRight - xs) / 2;
        p.L = POINT{xs - hw, yTop};
        p.T = POINT{xs + hw, yTop};
        return p;
    }
    p.T = POINT{xRight, yTop};
    const auto leftX = static_cast<std::int32_t>(x - c * l.openFactor);
    p.L = POINT{static_cast<std::int32_t>(panX + x + scale * (leftX - x)),
                static_cast<std::int32_t>(panY + y + scale * (l.pageHeight - d * l.leafLift / l.pageHeight - d))};
    if (l.rightStitch) {
        const POINT oldL = p.L;
        p.L = POINT{2 * xs - xRight, yTop};
        p.T = POINT{2 * xs - oldL.x, oldL.y};
    }
    return p;
}

void ZAZObject::LayOut(std::int32_t widthRatio, std::int32_t heightRatio) {
    LayoutPoints p = PointsFor(widthRatio, heightRatio);
    S = p.S;
    B = p.B;
    L = p.L;
    T = p.T;
}

void ZAZObject::Relayout() {
    boundsValid_ = false;
    AspectRatios ratios = Page(0)->Aspect();
    LayOut(ratios.width, ratios.height);
}

RECT ZAZObject::Bounds() {
    if (boundsValid_)
        return bounds_;
    if (layout->singlePage || !pages || PageCount() > 1) {
        bounds_ = RECT{L.x, std::min(L.y, T.y), T.x, B.y};
    } else if (layout->rightStitch) {
        bounds_ = RECT{L.x, std::min(L.y, S.y), S.x, B.y};
    } else {
        bounds_ = RECT{S.x, std::min(S.y, T.y), T.x, B.y};
    }
    boundsValid_ = true;
    return bounds_;
}

VisiblePages ZAZObject::Visible() {
    return layout->singlePage ? VisibleSinglePage() : VisibleTwoPages();
}

VisiblePages ZAZObject::VisibleTwoPages() {
    VisiblePages v;
    const std::int32_t n = PageCount();
    const std::int32_t p = pagePosition;
    const double f = flipProgress;
    if (!pages || flipState == kClosed || n == 1) {
        v.restingRight = Page(0);
        return v;
    }
    auto page = [this](std::int32_t index) { return Page(index); };
    if (AtRestState(flipState) && ((p % 2 != 0 && f == 1.0) || (p % 2 == 0 && f == 0.0))) {
        if (p % 2 != 0) {
            if (p > 0)
                v.restingLeft = page(p);
            if (p + 1 < n)
                v.restingRight = page(p + 1);
            v.first = p;
            v.last = p + 1;
        } else {
            if (p > 0)
                v.restingLeft = page(p - 1);
            if (p < n)
                v.restingRight = page(p);
            v.first = p - 1;
            v.last = p;
        }
        v.leftProgress = 1;
        v.rightProgress = 0;
        return v;
    }
    if (p % 2 != 0) {
        if (p > 1)
            v.restingLeft = page(p - 2);
        if (p + 1 < n)
            v.restingRight = page(p + 1);
        v.turningLeft = page(p);
        v.first = p - 2;
        v.last = p + 1;
    } else {
        if (p > 0)
            v.restingLeft = page(p - 1);
        if (p + 2 < n)
            v.restingRight = page(p + 2);
        if (p < n)
            v.turningRight = page(p);
        v.first = p - 1;
        v.last = p + 2;
    }
    v.leftProgress = f;
    v.rightProgress = f;
    if (f == 0.0 && v.turningRight && (p == 0 || halfTurns > 0)) {
        v.restingRight = v.turningRight;
        v.turningRight = nullptr;
    }
    return v;
}

VisiblePages ZAZObject::VisibleSinglePage() {
    VisiblePages v;
    const std::int32_t n = PageCount();
    const std::int32_t p = pagePosition;
    const double f = flipProgress;
    const std::int32_t g = (p + 1) / 2;
    if (!pages || flipState == kClosed || n == 1) {
        v.restingLeft = v.restingRight = Page(0);
        v.leftProgress = 1;
        return v;
    }
    if (AtRestState(flipState) && ((p % 2 != 0 && f == 1.0) || (p % 2 == 0 && f == 0.0))) {
        v.first = v.last = g;
        if (g < n) {
            v.restingLeft = v.restingRight = Page(g);
            v.leftProgress = 1;
            v.rightProgress = 0;
        }
    } else if (p % 2 != 0) {
        if (g < n) {
            v.restingRight = v.turningLeft = Page(g);
            v.last = g;
        }
        if (g > 0) {
            v.restingLeft = Page(g - 1);
            v.first = g - 1;
        } else {
            v.restingLeft = Page(0);
            v.first = 0;
        }
        v.leftProgress = v.rightProgress = f;
    } else {
        if (g < n) {
            v.restingLeft = v.turningRight = Page(g);
            v.first = g;
        }
        if (g + 1 < n) {
            v.restingRight = Page(g + 1);
            v.last = g + 1;
        } else {
            v.restingRight = Page(n - 1);
            v.last = n - 1;
        }
        v.leftProgress = v.rightProgress = f;
        if (f == 0.0 && v.turningRight && (p == 0 || halfTurns > 0)) {
            v.restingRight = v.turningRight;
            v.turningRight = nullptr;
        }
    }
    if (v.first >= n || v.last >= n) {
        v = VisiblePages{};
        v.first = v.last = n - 1;
        v.restingLeft = v.restingRight = Page(n - 1);
        v.leftProgress = 1;
    }
    return v;
}

PageQuad ZAZObject::QuadFor(const ZAZImage& page, bool left, double progress) const {
    // Pages of their own shape are placed from that shape.
    LayoutPoints points{S, B, L, T};
    if (!uniformShape) {
        AspectRatios ratios = page.Aspect();
        points = PointsFor(ratios.width, ratios.height);
    }
    return left ? LeftSideGeometry(points, progress, layout->singlePage != 0)
                : RightSideGeometry(points, progress, layout->singlePage != 0);
}

PageQuad ZAZObject::RestingQuad(const ZAZImage& page, bool left, int& curve) const {
    curve = (left ? S.y != L.y : S.y != T.y) ? kArcOne : kStraightTop;
    return QuadFor(page, left, left ? 1.0 : 0.0);
}

void ZAZObject::DrawPageAt(PixelBuffer& target, ZAZImage& page, bool left, double progress, int curve, bool quality,
                           double opacity) {
    DrawPage(target, draftDrawn != 0, page, QuadFor(page, left, progress), quality, curve, opacity);
}

void ZAZObject::DrawResting(PixelBuffer* target, const VisiblePages& v, bool quality) {
    NoteHitTest* hit = noteHit && noteHit->editing ? noteHit : nullptr;
    const bool noteWork = loadState != 0 && pages && notes && !notes->empty() && (target || hit);
    // Tabs go under the pages, so that only their outer ends show.
    if (noteWork)
        DrawTabs(*this, target, v, hit);
    if (target) {
        int curve = kStraightTop;
        ZAZImage* resting[2] = {v.restingLeft, v.restingRight};
        for (int side = 0; side < 2; ++side) {
            if (!resting[side])
                continue;
            // The quad sets the curve the page is drawn with.
            const PageQuad quad = RestingQuad(*resting[side], side == 0, curve);
            DrawPage(*target, draftDrawn != 0, *resting[side], quad, quality, curve, 1.0);
        }
    }
    DrawOnOpenPages(target, v, hit);
}

void ZAZObject::DrawOnOpenPages(PixelBuffer* target, const VisiblePages& v, NoteHitTest* hit) {
    if (target) {
        int curve = kStraightTop;
        PageQuad quads[2];
        ZAZImage* resting[2] = {v.restingLeft, v.restingRight};
        for (int side = 0; side < 2; ++side) {
            if (resting[side])
                quads[side] = RestingQuad(*resting[side], side == 0, curve);
        }
        if (layout->singlePage) {
            // One picture in two halves: the mark goes round the whole page.
            if (v.restingLeft && v.restingLeft == v.restingRight && IsSearchHit(*this, *v.restingLeft) &&
                quads[0].R.y == quads[0].Q.y && quads[1].R.y == quads[1].Q.y)
                DrawSearchMark(*target, RECT{quads[0].R.x, quads[0].Q.y, quads[1].Q.x, quads[1].A.y}, true,
                               deviceScale);
        } else {
            for (int side = 0; side < 2; ++side) {
                if (resting[side] && IsSearchHit(*this, *resting[side]) && quads[side].R.y == quads[side].Q.y)
                    DrawSearchMark(*target, QuadRect(quads[side]), side == 1, deviceScale);
            }
        }
    }
    if (loadState != 0 && pages && notes && !notes->empty() && (target || hit))
        DrawOpenNotes(*this, target, v, hit);
}

void ZAZObject::DrawOverOpenPages(PixelBuffer& target) {
    LockGuard guard(DocumentLock());
    DrawOnOpenPages(&target, FacingPages(), nullptr);
}

void ZAZObject::DrawTurning(PixelBuffer* target, const VisiblePages& v) {
    if (!target)
        return;
    const bool right = layout->rightStitch != 0;
    const bool forward = flipState == kAutoNext || flipState == kFlipNext;
    const bool settled = flipState == kClosed || flipState > kFlipPrevious;
    int curveLeft = kArcOne;
    if (S.y == L.y)
        curveLeft = settled ? kArcOne : forward ? (right ? kArcOne : kArcTwo) : (right ? kArcTwo : kArcOne);
    int curveRight = kArcOne;
    if (S.y == T.y)
        curveRight = settled ? kArcOne : forward ? (right ? kArcTwo : kArcOne) : (right ? kArcOne : kArcTwo);
    // A turning leaf is paper: what lies under it never shows through.
    const double opacity = 1.0;
    if (v.turningLeft)
        DrawPageAt(*target, *v.turningLeft, true, v.leftProgress, curveLeft, false, opacity);
    if (v.turningRight)
        DrawPageAt(*target, *v.turningRight, false, v.rightProgress, curveRight, false, opacity);
}

VisiblePages ZAZObject::FacingPages() {
    VisiblePages v = Visible();
    if (layout->rightStitch) {
        std::swap(v.restingLeft, v.restingRight);
        std::swap(v.turningLeft, v.turningRight);
        const double left = v.leftProgress;
        v.leftProgress = 1 - v.rightProgress;
        v.rightProgress = 1 - left;
    }
    return v;
}

void ZAZObject::Draw(PixelBuffer* target, bool draft, int part, bool shading) {
    draftDrawn = draft ? 1 : 0;
    if (target && (target->Height() + 100 < panY + y || B.y < -100))
        return;
    LockGuard guard(DocumentLock());
    VisiblePages v = FacingPages();
    if (draft) {
        KeepSmallPictures(*this, v.restingLeft, v.restingRight, v.turningLeft, v.turningRight);
    } else {
        int direction = kNoDirection;
        if (flipState == kAutoNext || flipState == kFlipNext || flipState == kFlipNext10)
            direction = kForward;
        else if (flipState == kAutoPrevious || flipState == kFlipPrevious || flipState == kFlipPrevious10)
            direction = kBackward;
        Preload(*this, v.first, v.last, direction);
    }
    if (part != kDrawTurning)
        DrawResting(target, v, !shading);
    if (part != kDrawResting)
        DrawTurning(target, v);
}

int ZAZObject::SideHit(POINT point) {
    RECT box = Bounds();
    if (point.x < box.left || point.x >= box.right || point.y < box.top || point.y >= box.bottom)
        return 2;
    VisiblePages v = Visible();
    double f = v.leftProgress;
    if (layout->rightStitch) {
        std::swap(v.restingLeft, v.restingRight);
        std::swap(v.turningLeft, v.turningRight);
        f = 1 - v.rightProgress;
    }
    const std::int32_t px = point.x;
    const std::int32_t py = point.y;
    bool onLeft = false;
    if (v.restingLeft)
        onLeft = L.x < px && px < S.x;
    else if (v.turningLeft)
        onLeft = px > (S.x - L.x) * (1 - f) + L.x && px < S.x;
    if (onLeft && L.y < py && py < B.y)
        return 0;
    bool onRight = false;
    if (v.restingRight)
        onRight = S.x < px && px < T.x;
    else if (v.turningRight)
        onRight = S.x < px && px < T.x - f * (T.x - S.x);
    else
        return 2;
    return onRight && T.y < py && py < B.y ? 1 : 2;
}

std::optional<PagePoint> ZAZObject::PointOnPage(POINT point) {
    VisiblePages v = Visible();
    if (layout->rightStitch)
        std::swap(v.restingLeft, v.restingRight);
    const std::int32_t px = point.x;
    const std::int32_t py = point.y;
    if (layout->singlePage) {
        if (L.x < px && px < T.x && L.y < py && py < B.y && T.x > L.x && B.y > L.y)
            return PagePoint{v.restingLeft, (px - L.x) * 1000 / (T.x - L.x), (py - L.y) * 1000 / (B.y - L.y)};
        return std::nullopt;
    }
    if (L.x < px && px < S.x && L.y < py && py < B.y)
        return PagePoint{v.restingLeft, (px - L.x) * 1000 / (S.x - L.x), (py - L.y) * 1000 / (B.y - L.y)};
    if (S.x < px && px < T.x && S.y < py && py < B.y)
        return PagePoint{v.restingRight, (px - S.x) * 1000 / (T.x - S.x), (py - S.y) * 1000 / (B.y - S.y)};
    return std::nullopt;
}

}  // namespace zov
