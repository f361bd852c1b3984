// Page turns: flip requests, the queue of clicked flips, the per-frame state
// machine that moves a book, automatic flipping and jumps to a page.
#include "viewer/ZAZViewer.h"

#include "platform/Locks.h"

namespace zov {

namespace {

// One face of a leaf per six frames; 1/12 is half a step.
constexpr double kFlipStep = 0.16666666666666666;
constexpr int kMaxStepsOfATurn = 64;
constexpr double kHalfStep = 0.08333333333333333;

bool AtRest(double progress) {
    return progress == 0.0 || progress == 1.0;
}

double RestFor(std::int32_t position) {
    return position % 2 != 0 ? 1.0 : 0.0;
}

// The binding mirrors requests: what is "next" on a left-bound book is
// "previous" on a right-bound one.
int Mirror(int action) {
    switch (action) {
    case kAutoNext: return kAutoPrevious;
    case kAutoPrevious: return kAutoNext;
    case kFlipNext: return kFlipPrevious;
    case kFlipPrevious: return kFlipNext;
    case kFlipNext10: return kFlipPrevious10;
    case kFlipPrevious10: return kFlipNext10;
    case kFlipLast: return kFlipFirst;
    case kFlipFirst: return kFlipLast;
    default: return action;
    }
}

void ApplyAuto(ZAZObject& book, bool on) {
    const bool right = book.layout->rightStitch != 0;
    const ZAZObjectFlipAction s = book.flipState;
    if (on) {
        if (s == kClosing || s == kClosed || s == kFlipNext)
            book.flipState = right ? kAutoPrevious : kAutoNext;
        else if (s == kFlipPrevious)
            book.flipState = right ? kAutoNext : kAutoPrevious;
    } else {
        if (s == kAutoNext)
            book.flipState = right ? kFlipPrevious : kFlipNext;
        else if (s == kAutoPrevious)
            book.flipState = right ? kFlipNext : kFlipPrevious;
    }
    book.animating = true;
}

}  // namespace

bool ZAZViewer::SetAction(int action, ZAZObject& book) {
    const bool right = book.layout->rightStitch != 0;
    if (book.flipState == kClosed) {
        const bool lowering = action == kFlipPrevious || action == kFlipPrevious10 || action == kFlipFirst;
        const bool raising = action == kFlipNext || action == kFlipNext10 || action == kFlipLast;
        if ((!right && lowering) || (right && raising))
            return false;
    }
    book.flipState = static_cast<ZAZObjectFlipAction>(right ? Mirror(action) : action);
    return true;
}

void ZAZViewer::RequestFlip(int action) {
    try {
        ViewLock lock;
        autoFlip = 0;
        if (!zoomedObject) {
            for (ZAZObject* book : visibleObjects)
                if (SetAction(action, *book))
                    book->animating = true;
            return;
        }
        if (SetAction(action, *zoomedObject)) {
            zoomedObject->animating = true;
            flipRunning = true;
        }
        // Books still flipping on their own on the desk finish their leaf.
        for (ZAZObject* book : visibleObjects) {
            if (book == zoomedObject)
                continue;
            if (book->flipState == kAutoPrevious && SetAction(kFlipPrevious, *book))
                book->animating = true;
            else if (book->flipState == kAutoNext && SetAction(kFlipNext, *book))
                book->animating = true;
        }
    } catch (...) {
    }
}

void ZAZViewer::QueuePageClick(int action) {
    ViewLock lock;
    // Only flipping that runs is stopped: a book resting open after its zoom
    // holds an automatic state too, and stopping that would start a turn of
    // its own before the click's.
    if (zoomedObject && zoomedObject->flipState != kFlipNext && zoomedObject->flipState != kFlipPrevious &&
        (autoFlip || zoomedObject->animating)) {
        autoFlip = 0;
        flipRunning = false;
        StartAuto(false);
    }
    LockGuard step(StepLock());
    flipActions.push_back(action);
}

void ZAZViewer::StartAuto(bool on) {
    ViewLock lock;
    if (zoomedObject) {
        ApplyAuto(*zoomedObject, on);
        for (ZAZObject* book : visibleObjects) {
            if (book == zoomedObject)
                continue;
            const bool right = book->layout->rightStitch != 0;
            if (book->flipState == kAutoPrevious)
                book->flipState = right ? kFlipNext : kFlipPrevious;
            else if (book->flipState == kAutoNext)
                book->flipState = right ? kFlipPrevious : kFlipNext;
            ApplyAuto(*book, on);
        }
    } else {
        for (ZAZObject* book : visibleObjects)
            ApplyAuto(*book, on);
    }
    autoFlip = on ? 1 : 0;
    flipRunning = true;
}

bool ZAZViewer::JumpToPage(ZAZObject& book, std::int32_t pageNumber) {
    ViewLock lock;
    const std::int32_t p = book.pagePosition;
    const std::int32_t leaf = book.layout->singlePage ? pageNumber - 1 : pageNumber / 2;
    const std::int32_t c = 2 * leaf;
    if (p == c || p + 1 == c)
        return false;
    int action;
    if (leaf < (p + 1) / 2) {
        book.pagePosition = c + 2;
        action = kFlipPrevious;
    } else {
        book.pagePosition = c - 2;
        action = kFlipNext;
    }
    book.flipProgress = RestFor(book.pagePosition);
    if (book.layout->rightStitch)
        action = Mirror(action);
    SetAction(action, book);
    book.animating = true;
    flipRunning = true;
    return true;
}

bool ZAZViewer::AdvanceFlips() {
    ViewLock lock;
    LockGuard step(StepLock());
    if (!flipRunning) {
        if (zoomedObject) {
            if (flipActions.empty())
                return false;
            const int action = flipActions.back();
            flipActions.pop_back();
            SetAction(action, *zoomedObject);
            zoomedObject->animating = true;
            int batch = 1;
            while (!flipActions.empty() && flipActions.back() == action) {
                flipActions.pop_back();
                ++batch;
            }
            if (FlipFrames(batch, *zoomedObject))
                flipRunning = true;
            return true;
        }
        for (ZAZObject* book : visibleObjects) {
            if (book->animating) {
                flipRunning = true;
                return true;
            }
        }
        return false;
    }
    if (zoomedObject) {
        if (!FlipFrames(0, *zoomedObject))
            flipRunning = false;
        return true;
    }
    bool changed = false;
    bool allClosed = true;
    bool seen = false;
    for (ZAZObject* book : visibleObjects) {
        if (book->flipState != kClosing && backBuffer) {
            RECT box = book->Bounds();
            bool on = box.bottom >= 0 && box.top < backBuffer->Height();
            if (!on) {
                if (seen)
                    break;
                continue;
            }
            seen = true;
        }
        if (autoFlip || book->animating) {
            FlipFrames(1, *book);
            changed = true;
        }
        allClosed = allClosed && book->flipState == kClosed;
    }
    if (allClosed)
        flipRunning = false;
    return changed;
}

bool ZAZViewer::FlipFrames(int batch, ZAZObject& book) {
    bool running = FlipFrame(batch, book);
    if (!reducedMotion || book.flipState == kAutoNext || book.flipState == kAutoPrevious)
        return running;
    // A turn of ten pages takes some fifteen steps; the bound only guards
    // against a state that never ends.
    for (int step = 0; running && step < kMaxStepsOfATurn; ++step)
        running = FlipFrame(0, book);
    return running;
}

bool ZAZViewer::FlipFrame(int batch, ZAZObject& book) {
    for (;;) {
        if (!book.animating || !book.pages)
            return false;
        if (book.loadState < 3) {
            book.animating = false;
            return false;
        }
        const std::int32_t faces =
            book.layout->singlePage ? 2 * book.PageCount() - 1 : book.PageCount();
        if (faces == 1) {
            book.animating = false;
            return false;
        }
        const std::int32_t jump = book.layout->singlePage ? 10 : 5;
        std::int32_t& p = book.pagePosition;
        double& r = book.flipProgress;

        // Jumps become a plain turn of the last leaf from next to the target.
        auto backwardBatch = [&](int n) {
            p = p - 2 * n + 2;
            if (p < 2)
                p = 2;
            if (p % 2 != 0)
                ++p;
            book.flipState = kFlipPrevious;
        };
        if (book.flipState == kFlipPrevious10) {
            batch = jump;
            backwardBatch(batch);
        } else if (book.flipState == kFlipPrevious && batch > 1) {
            backwardBatch(batch);
        } else if (book.flipState == kFlipNext10 || (book.flipState == kFlipNext && batch > 1)) {
            if (p == faces - 1 && AtRest(r)) {
                book.flipState = kFlipNext;
                book.animating = false;
                return false;
            }
            if (book.flipState == kFlipNext10)
                batch = jump;
            if (p < faces) {
                p = p + 2 * batch - 2;
                if (p > faces - 3)
                    p = faces - 3;
                if (p < 0)
                    p = 0;
            }
            book.flipState = kFlipNext;
        } else if (book.flipState == kFlipLast) {
            if (p == faces - 1 && AtRest(r)) {
                book.flipState = kFlipNext;
                book.animating = false;
                return false;
            }
            if (p < faces) {
                p = faces - 3;
                if (p < 0)
                    p = 0;
            }
            book.flipState = kFlipNext;
        } else if (book.flipState == kFlipFirst) {
            if (p > 0)
                p = 1;
            book.flipState = kFlipPrevious;
        }

        if ((book.flipState == kFlipNext && p == faces - 1 && AtRest(r)) ||
            (book.flipState == kFlipPrevious && ((p == -1 && AtRest(r)) || (p == 0 && r == 0.0)))) {
            book.animating = false;
            return false;
        }
        if (batch > 0)
            book.pageStep = batch;
        if (r == 0.0)
            r = -kHalfStep;
        else if (r == 1.0)
            r = 1.0833333333333335;

        switch (book.flipState) {
        case kAutoNext: {
            r += kFlipStep;
            if (r > 1) {
                const std::int32_t old = p;
                p += book.pageStep;
                r = 0.0;
                if (old + 1 > faces - 1) {
                    p = old;
                    book.flipState = kAutoPrevious;
                    r = RestFor(p);
                }
            }
            book.animating = true;
            return true;
        }
        case kAutoPrevious: {
            r -= kFlipStep;
            if (r < 0) {
                r = 1.0;
                const std::int32_t old = p;
                p -= book.pageStep;
                if (p < 0) {
                    p = old;
                    book.flipState = kAutoNext;
                    r = RestFor(p);
                }
            }
            book.animating = true;
            return true;
        }
        case kFlipNext: {
            if (book.halfTurns == 0) {
                book.halfTurns = 2;
                if (p % 2 != 0)
                    ++p;
                r = 0.0;
            }
            r += kFlipStep;
            if (r > 1) {
                const std::int32_t old = p;
                if (old + 1 > faces - 1) {
                    r = RestFor(p);
                } else {
                    p = old + 1;
                    r = kHalfStep;
                }
                if (--book.halfTurns > 0) {
                    batch = 0;
                    continue;  // the second half starts in the same frame
                }
                book.animating = false;
                r = RestFor(p);
                return false;
            }
            book.animating = true;
            return true;
        }
        case kFlipPrevious: {
            if (book.halfTurns == 0) {
                book.halfTurns = 2;
                if (p % 2 == 0)
                    --p;
                r = 1.0;
            }
            r -= kFlipStep;
            if (r < 0) {
                if (p - 1 < 0) {
                    r = RestFor(p);
                } else {
                    --p;
                    r = 1.0;
                }
                if (--book.halfTurns > 0) {
                    batch = 0;
                    continue;
                }
                book.animating = false;
                r = RestFor(p);
                return false;
            }
            book.animating = true;
            return true;
        }
        default:
            book.animating = false;
            return false;
        }
    }
}

}  // namespace zov
