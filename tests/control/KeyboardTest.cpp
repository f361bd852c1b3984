#include "control/Keyboard.h"

#include "control/Toolbar.h"
#include "platform/WinTypes.h"

#include <gtest/gtest.h>

namespace zov {
namespace {

KeyAction Command(std::int32_t id) {
    return KeyAction{KeyAction::kCommand, id};
}

ToolbarView Zoomed(bool rightStitch) {
    ToolbarView view;
    view.zoomed = true;
    view.rightStitch = rightStitch;
    return view;
}

// The flip buttons name pages by side: "next" turns the right-hand page
// over, which reads on in a book bound on the left and back in one bound on
// the right.
TEST(Keyboard, LeftAndRightTurnTheirSidesPageWhileReadingOnFollowsTheBinding) {
    const ToolbarView left = Zoomed(false), right = Zoomed(true);
    for (const ToolbarView& view : {left, right}) {
        EXPECT_EQ(ActionOfKey(VK_RIGHT, 0, view), Command(kButtonFlipNext));
        EXPECT_EQ(ActionOfKey(VK_LEFT, 0, view), Command(kButtonFlipPrevious));
        EXPECT_EQ(ActionOfKey(VK_RIGHT, MK_SHIFT, view), Command(kButtonFlipNext10));
    }
    EXPECT_EQ(ActionOfKey(VK_NEXT, 0, left), Command(kButtonFlipNext));
    EXPECT_EQ(ActionOfKey(VK_DOWN, 0, left), Command(kButtonFlipNext));
    EXPECT_EQ(ActionOfKey(VK_PRIOR, 0, left), Command(kButtonFlipPrevious));
    EXPECT_EQ(ActionOfKey(VK_HOME, 0, left), Command(kButtonFlipFirstPage));
    EXPECT_EQ(ActionOfKey(VK_END, 0, left), Command(kButtonFlipLastPage));
    // Bound on the right, the left-hand pages are the ones still to read.
    EXPECT_EQ(ActionOfKey(VK_NEXT, 0, right), Command(kButtonFlipPrevious));
    EXPECT_EQ(ActionOfKey(VK_DOWN, MK_SHIFT, right), Command(kButtonFlipPrevious10));
    EXPECT_EQ(ActionOfKey(VK_UP, 0, right), Command(kButtonFlipNext));
    EXPECT_EQ(ActionOfKey(VK_HOME, 0, right), Command(kButtonFlipLastPage));
    EXPECT_EQ(ActionOfKey(VK_END, 0, right), Command(kButtonFlipFirstPage));
}

TEST(Keyboard, ScaleAndEscapeAreTheToolbarsButtonsAndCtrlIsLeftToTheBrowser) {
    const ToolbarView view = Zoomed(false);
    for (std::uint32_t plus : {VK_ADD, VK_OEM_PLUS})
        EXPECT_EQ(ActionOfKey(plus, 0, view), Command(kButtonScaleUp));
    for (std::uint32_t minus : {VK_SUBTRACT, VK_OEM_MINUS})
        EXPECT_EQ(ActionOfKey(minus, 0, view), Command(kButtonScaleDown));
    EXPECT_EQ(ActionOfKey(VK_ESCAPE, 0, view), Command(kButtonThumbnails));
    EXPECT_EQ(ActionOfKey(VK_OEM_PLUS, MK_CONTROL, view), KeyAction{});
    EXPECT_EQ(ActionOfKey(VK_RIGHT, MK_CONTROL | MK_SHIFT, view), KeyAction{});
    // Enter has nothing to zoom in while zoomed; letters do nothing.
    EXPECT_EQ(ActionOfKey(VK_RETURN, 0, view), KeyAction{});
    EXPECT_EQ(ActionOfKey('A', 0, view), KeyAction{});
}

TEST(Keyboard, OnTheDeskKeysScrollAndEnterZoomsTheCurrentBook) {
    const ToolbarView desk;
    EXPECT_EQ(ActionOfKey(VK_DOWN, 0, desk), (KeyAction{KeyAction::kDeskScroll, SB_LINEDOWN}));
    EXPECT_EQ(ActionOfKey(VK_UP, 0, desk), (KeyAction{KeyAction::kDeskScroll, SB_LINEUP}));
    EXPECT_EQ(ActionOfKey(VK_NEXT, 0, desk), (KeyAction{KeyAction::kDeskScroll, SB_PAGEDOWN}));
    EXPECT_EQ(ActionOfKey(VK_PRIOR, 0, desk), (KeyAction{KeyAction::kDeskScroll, SB_PAGEUP}));
    EXPECT_EQ(ActionOfKey(VK_HOME, 0, desk), (KeyAction{KeyAction::kDeskScroll, SB_TOP}));
    EXPECT_EQ(ActionOfKey(VK_END, 0, desk), (KeyAction{KeyAction::kDeskScroll, SB_BOTTOM}));
    EXPECT_EQ(ActionOfKey(VK_RETURN, 0, desk), (KeyAction{KeyAction::kZoomCurrent, 0}));
    EXPECT_EQ(ActionOfKey(VK_ADD, 0, desk), Command(kButtonScaleUp));
    // Nothing is zoomed: no page turns and no zoom out.
    EXPECT_EQ(ActionOfKey(VK_RIGHT, 0, desk), KeyAction{});
    EXPECT_EQ(ActionOfKey(VK_ESCAPE, 0, desk), KeyAction{});
}

}  // namespace
}  // namespace zov
