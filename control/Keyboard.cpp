#include "control/Keyboard.h"

#include "control/Toolbar.h"
#include "platform/WinTypes.h"

namespace zov {

namespace {

KeyAction Command(std::int32_t id) {
    return KeyAction{KeyAction::kCommand, id};
}

KeyAction Turn(bool forward, bool ten) {
    if (forward)
        return Command(ten ? kButtonFlipNext10 : kButtonFlipNext);
    return Command(ten ? kButtonFlipPrevious10 : kButtonFlipPrevious);
}

// The toolbar's flips are physical: "next" turns a right-hand page over to
// the left, which in a book bound on the right goes back. Left and right turn
// the page on that side; the keys that read on (down, Page Down, End) follow
// the binding.
KeyAction ZoomedAction(std::uint32_t key, bool shift, const ToolbarView& view) {
    const bool rightBound = view.rightStitch;
    switch (key) {
    case VK_RIGHT: return Turn(true, shift);
    case VK_LEFT: return Turn(false, shift);
    case VK_DOWN:
    case VK_NEXT: return Turn(!rightBound, shift);
    case VK_UP:
    case VK_PRIOR: return Turn(rightBound, shift);
    case VK_HOME: return Command(rightBound ? kButtonFlipLastPage : kButtonFlipFirstPage);
    case VK_END: return Command(rightBound ? kButtonFlipFirstPage : kButtonFlipLastPage);
    case VK_ESCAPE: return Command(kButtonThumbnails);
    default: return {};
    }
}

KeyAction DeskAction(std::uint32_t key) {
    switch (key) {
    case VK_UP: return KeyAction{KeyAction::kDeskScroll, SB_LINEUP};
    case VK_DOWN: return KeyAction{KeyAction::kDeskScroll, SB_LINEDOWN};
    case VK_PRIOR: return KeyAction{KeyAction::kDeskScroll, SB_PAGEUP};
    case VK_NEXT: return KeyAction{KeyAction::kDeskScroll, SB_PAGEDOWN};
    case VK_HOME: return KeyAction{KeyAction::kDeskScroll, SB_TOP};
    case VK_END: return KeyAction{KeyAction::kDeskScroll, SB_BOTTOM};
    case VK_RETURN: return KeyAction{KeyAction::kZoomCurrent, 0};
    default: return {};
    }
}

}  // namespace

KeyAction ActionOfKey(std::uint32_t virtualKey, std::uint32_t keyFlags, const ToolbarView& view) {
    if (keyFlags & MK_CONTROL)
        return {};
    // The desk scales as the zoomed book does.
    if (virtualKey == VK_ADD || virtualKey == VK_OEM_PLUS)
        return Command(kButtonScaleUp);
    if (virtualKey == VK_SUBTRACT || virtualKey == VK_OEM_MINUS)
        return Command(kButtonScaleDown);
    return view.zoomed ? ZoomedAction(virtualKey, (keyFlags & MK_SHIFT) != 0, view) : DeskAction(virtualKey);
}

}  // namespace zov
