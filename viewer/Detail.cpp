// Full-resolution pictures of the two pages of the zoomed book, fetched once
// the book has been still for a while and drawn over its preview pages.
#include "viewer/ZAZViewer.h"

#include "documents/FileTypes.h"
#include "documents/PageFile.h"
#include "documents/PreviewSettings.h"
#include "documents/PreviewSource.h"
#include "platform/Handshake.h"
#include "platform/Locks.h"
#include "pixels/PageWarp.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace zov {

namespace {

using namespace std::chrono_literals;

// Update steps the zoomed book stays still before its full pages are fetched.
constexpr std::int32_t kDetailIdleSteps = 20;

DetailPage Describe(const ZAZImage* page) {
    if (!page)
        return {};
    return DetailPage{page->sourcePath, page->pageNumber};
}

// The pages facing up as the detail load names them; in single-page mode
// the one face, whichever side the binding puts it on, is the right one.
void FacingPair(ZAZObject& book, DetailPage& left, DetailPage& right) {
    const VisiblePages v = book.FacingPages();
    if (book.layout->singlePage) {
        left = {};
        right = Describe(v.restingRight ? v.restingRight : v.restingLeft);
        return;
    }
    left = Describe(v.restingLeft);
    right = Describe(v.restingRight);
}

}  // namespace

int ZAZViewer::RequestDetail(ZAZObject& book) {
    const bool hasPreview = book.notDisplayable == 0 && book.pages && !book.pages->empty();
    if (!hasPreview && !IsPlainImage(book.fileType))
        return -1;
    DetailPage left;
    DetailPage right;
    FacingPair(book, left, right);
    const bool single = book.layout->singlePage != 0;
    const bool imageFile = IsPlainImage(book.fileType);
    if (detailLoading) {
        // A load of other pages is called off, never waited for: the caller
        // holds the viewer's locks and the load may be a slow download. The
        // next idle step asks again once it has ended.
        if (left != detailWantedLeft || right != detailWantedRight)
            detailCancel = true;
        return 0;
    }
    if (detailWanted && left == detailWantedLeft && right == detailWantedRight)
        return 1;
    if (detailThread_.joinable())
        detailThread_.join();
    {
        std::lock_guard<std::mutex> guard(detailMutex_);
        detailLeft.reset();
        detailRight.reset();
    }
    detailWantedLeft = left;
    detailWantedRight = right;
    detailWanted = true;
    detailLoading = true;
    detailCancel = false;
    try {
        detailThread_ =
            std::thread([this, left, right, single, imageFile] { DetailLoader(left, right, single, imageFile); });
    } catch (...) {
        detailLoading = false;
    }
    return 0;
}

void ZAZViewer::DetailLoader(DetailPage left, DetailPage right, bool single, bool imageFile) {
    try {
        auto load = [this, imageFile](const DetailPage& page, std::unique_ptr<PixelBuffer>& slot) {
            if (detailCancel || page.source.empty())
                return;
            std::unique_ptr<PixelBuffer> picture;
            // An image file is its own full-resolution page.
            if (imageFile) {
                const std::wstring copy = PictureFile(page.source, &detailCancel, GetPreviewSettings());
                if (!copy.empty() && !detailCancel)
                    picture = LoadImageFile(copy);
            }
            if (!picture && !detailCancel) {
                PreviewSource source(page.source);
                source.CancelWith(&detailCancel);
                picture = source.LoadPageDetail(page.number);
            }
            // A load that was called off leaves nothing behind.
            if (detailCancel || !picture || picture->Empty())
                return;
            std::lock_guard<std::mutex> guard(detailMutex_);
            slot = std::move(picture);
        };
        if (!single)
            load(left, detailLeft);
        load(right, detailRight);
    } catch (...) {
    }
    detailLoading = false;
}

void ZAZViewer::StopDetailLoader() {
    detailCancel = true;
    if (detailThread_.joinable())
        detailThread_.join();
    std::lock_guard<std::mutex> guard(detailMutex_);
    detailLeft.reset();
    detailRight.reset();
}

bool ZAZViewer::DrawDetail() {
    if (!zoomedObject || !backBuffer)
        return false;
    ZAZObject& book = *zoomedObject;
    DetailPage left;
    DetailPage right;
    FacingPair(book, left, right);
    // Pictures of a spread no longer facing up are not drawn over the new one.
    if (!detailWanted || left != detailWantedLeft || right != detailWantedRight)
        return false;
    const VisiblePages v = book.FacingPages();
    const bool quality = renderMode == kRenderFull;
    std::lock_guard<std::mutex> guard(detailMutex_);
    bool drawn = false;
    auto draw = [&](const ZAZImage* page, const std::unique_ptr<PixelBuffer>& picture, bool onLeft, RECT& where) {
        where = RECT{};
        if (!page || !picture || picture->Empty())
            return;
        drawn = true;
        int curve = kStraightTop;
        const PageQuad quad = book.RestingQuad(*page, onLeft, curve);
        where = RECT{std::min({quad.R.x, quad.Q.x, quad.A.x}), std::min({quad.R.y, quad.Q.y, quad.A.y}),
                     std::max({quad.R.x, quad.Q.x, quad.A.x}), std::max({quad.R.y, quad.Q.y, quad.A.y})};
        WarpPicture(*backBuffer, *picture, quad, quality, curve, 1.0);
    };
    if (book.layout->singlePage) {
        detailLeftRect = RECT{};
        const bool onRight = v.restingRight != nullptr;
        draw(onRight ? v.restingRight : v.restingLeft, detailRight, !onRight, detailRightRect);
        if (drawn)
            book.DrawOverOpenPages(*backBuffer);
        return drawn;
    }
    draw(v.restingLeft, detailLeft, true, detailLeftRect);
    draw(v.restingRight, detailRight, false, detailRightRect);
    // What lies on the pages stays on them.
    if (drawn)
        book.DrawOverOpenPages(*backBuffer);
    return drawn;
}

bool ZAZViewer::DetailStep() {
    if (detailShown || animating || zoomingOut)
        return false;
    if (++detailIdleTicks <= kDetailIdleSteps)
        return false;
    const int state = RequestDetail(*zoomedObject);
    if (state == 0)
        return false;
    detailShown = true;
    detailIdleTicks = 0;
    if (state < 0)
        return false;
    DrawDetail();
    return true;
}

}  // namespace zov
