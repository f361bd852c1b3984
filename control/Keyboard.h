// What a key pressed on the viewer does. Keys end as what a reader could do
// with the mouse: a toolbar button, a step of the desk's scroll bar, or a
// click on the desk's current book.
#pragma once

#include "viewer/IViewer.h"

#include <cstdint>

namespace zov {

struct KeyAction {
    enum Kind { kNone, kCommand, kDeskScroll, kZoomCurrent };
    Kind kind = kNone;
    std::int32_t value = 0;  // the toolbar command, or the SB_ code

    friend bool operator==(const KeyAction&, const KeyAction&) = default;
};

// + and - scale. Zoomed: left and right turn the page on that side, down and
// Page Down read on and up and Page Up back (as the binding reads), Shift
// turns ten, Home/End go to the first and last page, Escape zooms out. On the desk: up, down, Page Up/Down, Home and End
// scroll, Enter zooms the current book in. Keys held with Ctrl belong to the
// browser (its own zoom, say).
KeyAction ActionOfKey(std::uint32_t virtualKey, std::uint32_t keyFlags, const ToolbarView& view);

}  // namespace zov
