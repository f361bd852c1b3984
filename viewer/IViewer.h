// What the control asks of its viewer. The viewer engine implements it; the
// control holds it through this interface so that the control host can be
// built and tested on its own.
#pragma once

#include "platform/WinTypes.h"

#include <cstdint>

namespace zov {

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
    virtual void CancelSearch() = 0;
};

}  // namespace zov
