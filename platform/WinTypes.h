// The few window-system records and constants that the viewer's code speaks in.
// They keep the names and values the control was designed with, so that the
// message handlers and the scroll and cursor logic read as designed; the host
// backends translate them to whatever the page or a test understands.
#pragma once

#include <cstdint>

namespace zov {

struct POINT {
    std::int32_t x = 0;
    std::int32_t y = 0;
    friend bool operator==(const POINT&, const POINT&) = default;
};

struct SIZE {
    std::int32_t cx = 0;
    std::int32_t cy = 0;
    friend bool operator==(const SIZE&, const SIZE&) = default;
};

struct RECT {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    std::int32_t Width() const { return right - left; }
    std::int32_t Height() const { return bottom - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    friend bool operator==(const RECT&, const RECT&) = default;
};

// Seven 32-bit words, as the scroll request queue carries them.
struct SCROLLINFO {
    std::uint32_t cbSize = sizeof(SCROLLINFO);
    std::uint32_t fMask = 0;
    std::int32_t nMin = 0;
    std::int32_t nMax = 0;
    std::uint32_t nPage = 0;
    std::int32_t nPos = 0;
    std::int32_t nTrackPos = 0;
    friend bool operator==(const SCROLLINFO&, const SCROLLINFO&) = default;
};

using HRESULT = std::int32_t;
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;

// A colour as the window system takes it: 0x00BBGGRR (red in the lowest
// byte), the other way round from a pixel word.
using COLORREF = std::uint32_t;
constexpr COLORREF RGB(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return COLORREF{r} | COLORREF{g} << 8 | COLORREF{b} << 16;
}

// Text formats of DrawText.
inline constexpr std::uint32_t DT_LEFT = 0x0000;
inline constexpr std::uint32_t DT_TOP = 0x0000;
inline constexpr std::uint32_t DT_CENTER = 0x0001;
inline constexpr std::uint32_t DT_RIGHT = 0x0002;
inline constexpr std::uint32_t DT_VCENTER = 0x0004;
inline constexpr std::uint32_t DT_SINGLELINE = 0x0020;
inline constexpr std::uint32_t DT_WORD_ELLIPSIS = 0x00040000;

// Scroll bars.
inline constexpr int SB_HORZ = 0;
inline constexpr int SB_VERT = 1;

// Scroll request codes of WM_VSCROLL and WM_HSCROLL.
inline constexpr int SB_LINEUP = 0;
inline constexpr int SB_LINEDOWN = 1;
inline constexpr int SB_PAGEUP = 2;
inline constexpr int SB_PAGEDOWN = 3;
inline constexpr int SB_THUMBPOSITION = 4;
inline constexpr int SB_THUMBTRACK = 5;
inline constexpr int SB_TOP = 6;
inline constexpr int SB_BOTTOM = 7;
inline constexpr int SB_ENDSCROLL = 8;

// SCROLLINFO masks.
inline constexpr std::uint32_t SIF_RANGE = 0x0001;
inline constexpr std::uint32_t SIF_PAGE = 0x0002;
inline constexpr std::uint32_t SIF_POS = 0x0004;
inline constexpr std::uint32_t SIF_DISABLENOSCROLL = 0x0008;
inline constexpr std::uint32_t SIF_TRACKPOS = 0x0010;
inline constexpr std::uint32_t SIF_ALL = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_TRACKPOS;

// Arrow flags of EnableScrollBar.
inline constexpr std::uint32_t ESB_ENABLE_BOTH = 0x0000;
inline constexpr std::uint32_t ESB_DISABLE_LTUP = 0x0001;
inline constexpr std::uint32_t ESB_DISABLE_RTDN = 0x0002;
inline constexpr std::uint32_t ESB_DISABLE_BOTH = 0x0003;

// Virtual-key codes of WM_KEYDOWN that the control answers.
inline constexpr std::uint32_t VK_RETURN = 0x0D;
inline constexpr std::uint32_t VK_ESCAPE = 0x1B;
inline constexpr std::uint32_t VK_PRIOR = 0x21;  // Page Up
inline constexpr std::uint32_t VK_NEXT = 0x22;   // Page Down
inline constexpr std::uint32_t VK_END = 0x23;
inline constexpr std::uint32_t VK_HOME = 0x24;
inline constexpr std::uint32_t VK_LEFT = 0x25;
inline constexpr std::uint32_t VK_UP = 0x26;
inline constexpr std::uint32_t VK_RIGHT = 0x27;
inline constexpr std::uint32_t VK_DOWN = 0x28;
inline constexpr std::uint32_t VK_ADD = 0x6B;
inline constexpr std::uint32_t VK_SUBTRACT = 0x6D;
inline constexpr std::uint32_t VK_OEM_PLUS = 0xBB;
inline constexpr std::uint32_t VK_OEM_MINUS = 0xBD;

// Key-state flags of mouse messages.
inline constexpr std::uint32_t MK_LBUTTON = 0x0001;
inline constexpr std::uint32_t MK_RBUTTON = 0x0002;
inline constexpr std::uint32_t MK_SHIFT = 0x0004;
inline constexpr std::uint32_t MK_CONTROL = 0x0008;
inline constexpr std::uint32_t MK_MBUTTON = 0x0010;

// Size types of WM_SIZE.
inline constexpr std::uint32_t SIZE_RESTORED = 0;
inline constexpr std::uint32_t SIZE_MINIMIZED = 1;
inline constexpr std::uint32_t SIZE_MAXIMIZED = 2;

// Standard cursors.
inline constexpr int IDC_ARROW = 32512;
inline constexpr int IDC_IBEAM = 32513;
inline constexpr int IDC_WAIT = 32514;
inline constexpr int IDC_CROSS = 32515;
inline constexpr int IDC_SIZENWSE = 32642;
inline constexpr int IDC_SIZENESW = 32643;
inline constexpr int IDC_SIZEWE = 32644;
inline constexpr int IDC_SIZENS = 32645;
inline constexpr int IDC_SIZEALL = 32646;
inline constexpr int IDC_NO = 32648;
inline constexpr int IDC_HAND = 32649;

// Message box types and answers.
inline constexpr std::uint32_t MB_OK = 0x0000;
inline constexpr std::uint32_t MB_OKCANCEL = 0x0001;
inline constexpr std::uint32_t MB_YESNOCANCEL = 0x0003;
inline constexpr std::uint32_t MB_YESNO = 0x0004;
inline constexpr std::uint32_t MB_ICONQUESTION = 0x0020;
inline constexpr std::uint32_t MB_ICONEXCLAMATION = 0x0030;
inline constexpr std::uint32_t MB_ICONINFORMATION = 0x0040;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

}  // namespace zov
