// The control's toolbar and menus as data: which buttons, in which order,
// with which pictures and texts, and which of them the window gets.
#pragma once

#include "platform/HostWindow.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zov {

// Toolbar buttons (also the WM_COMMAND identifiers and tooltip keys).
enum ToolbarCommand : std::int32_t {
    kButtonScaleUp = 1,
    kButtonScaleDown = 2,
    kButtonFlipLastPage = 3,
    kButtonFlipNext10 = 4,
    kButtonFlipNext = 5,
    kButtonFlipPrevious = 6,
    kButtonFlipPrevious10 = 7,
    kButtonFlipFirstPage = 8,
    kButtonAutoFlip = 9,
    kButtonSpeed = 10,
    kButtonThumbnails = 11,
    kButtonCompleteOpen = 12,
    kButtonUnCompleteOpen = 13,
    kButtonSingleOpen = 14,
    kButtonStitchLeft = 15,
    kButtonStitchRight = 16,
    kButtonPreviousFile = 17,
    kButtonNextFile = 18,
    kButtonSearch = 19,
};

// From this width on the standard toolbar has 32-pixel pictures.
inline constexpr std::int32_t kLargeImagesMinWidth = 768;

enum class ToolbarKind { Standard16, Standard32, Large32 };

// `windowWidth` in CSS pixels: the window's width over its device scale.
ToolbarKind ChooseToolbarKind(bool large, std::int32_t windowWidth);
std::int32_t ImageSideOf(ToolbarKind kind);
// From this device scale on the toolbar takes pictures drawn at twice the size.
inline constexpr double kFinePicturesScale = 1.5;
// The scale a toolbar is drawn at on a screen of `deviceScale`: 1 to 4.
double ToolbarScale(double deviceScale);
// The side of its pictures as shown, in device pixels.
std::int32_t ShownImageSide(ToolbarKind kind, double deviceScale);

// A button's tooltip; button 9's says what a click does now.
std::wstring ToolbarTip(std::int32_t button, bool japanese, bool autoFlipRunning);

// The whole toolbar, `width` device pixels wide, every button enabled and
// unchecked, with the pictures of its kind; at `scale` device pixels per CSS
// pixel it is as large on the screen as at 1.
ToolbarTemplate MakeToolbar(ToolbarKind kind, std::int32_t width, bool japanese, bool autoFlipRunning,
                            double scale = 1.0);

// A bitmap resource as an image list of square images as high as it is;
// empty when the resource is missing or damaged. `fine`: the variant drawn at
// twice the size.
ImageList ToolbarBitmap(std::int32_t resource, bool fine = false);

// The speed menu (menu 274, or 243 in English) with `speed` checked.
std::vector<MenuItem> SpeedMenu(bool japanese, int speed);
// The speed a speed-menu item sets, 0 for another identifier.
int SpeedOfMenuItem(std::uint32_t item);

// Context menu items.
inline constexpr std::uint32_t kMenuDelete = 10000;
inline constexpr std::uint32_t kMenuAddNote = 10002;
inline constexpr std::uint32_t kMenuOpenInNewWindow = 10004;
inline constexpr std::uint32_t kMenuJumpToPage = 10005;
std::vector<MenuItem> ContextMenu(bool zoomed);

}  // namespace zov
