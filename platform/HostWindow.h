// The window a control lives in, as the control sees it. Two backends stand
// behind it: the headless one (tests) and the page's element in the container.
//
// Threads: every WindowClient call arrives on the window's own thread, one at a
// time. Of the HostWindow calls, Present, ClientSize, GetScrollInfo, Invalidate
// and Post may come from any thread (the viewer presents and reads its scroll
// bars from the command worker); the others belong to the window thread.
#pragma once

#include "platform/WinTypes.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace zov {

// A child window of the control (toolbar, folder tree, dialog); 0 is none.
using WindowHandle = std::uint32_t;

// A strip of equally sized images, as a toolbar takes its button pictures.
// Dots per inch of a screen at one device pixel per CSS pixel, and the most
// a window reports: finer screens are drawn as at four times.
inline constexpr unsigned kBaseDpi = 96;
inline constexpr unsigned kMaxDpi = 4 * kBaseDpi;

struct ImageList {
    std::int32_t imageWidth = 0;
    std::int32_t imageHeight = 0;
    std::vector<std::uint32_t> pixels;  // 0xAARRGGBB, the images side by side
};

// A 32-bit frame to show: words 0x00RRGGBB, row-major, top row first.
struct FrameView {
    const std::uint32_t* pixels = nullptr;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// A toolbar button, or a separator when `id` is 0.
struct ToolbarButton {
    std::int32_t id = 0;
    std::int32_t image = -1;  // index into both image lists
    std::wstring tip;
    bool dropdown = false;
    bool enabled = true;
    bool checked = false;
    bool Separator() const { return id == 0; }
};

struct ToolbarTemplate {
    RECT rect{};
    // The pictures' side as shown, in device pixels; the image lists may
    // hold finer ones, which are shown at this size.
    std::int32_t imageSide = 16;
    // Device pixels per pixel of the toolbar's design: paddings and
    // separators grow with it.
    double scale = 1.0;
    ImageList images;
    ImageList disabledImages;
    std::vector<ToolbarButton> buttons;
};

// What changes of one button; unset fields stay as they are.
struct ToolbarButtonChange {
    std::int32_t id = 0;
    std::optional<bool> enabled;
    std::optional<bool> checked;
    std::optional<std::wstring> tip;
};

// A tree view's item; 0 is none. kTreeRoot stands for the invisible item
// above the roots, as the tree view's own root does.
using TreeItem = std::uint32_t;
inline constexpr TreeItem kTreeRoot = 0xFFFF0000u;

struct TreeViewTemplate {
    RECT rect{};
    std::uint32_t style = 0;
    std::int32_t controlId = 0;
};

// One change of what a tree view shows, in the order the tree made it.
struct TreeChange {
    enum class Kind {
        Insert,   // `item` as the last child of `parent`, with `text` and its two pictures
        Delete,   // `item` with everything below it; kTreeRoot clears the tree
        Expand,   // `item` shows its children when `expanded`
        Select,   // `item` is the selection (0: none)
        Images,   // `images` is the tree's picture list now
    };
    Kind kind = Kind::Insert;
    TreeItem item = 0;
    TreeItem parent = kTreeRoot;
    std::wstring text;
    std::int32_t image = -1;
    std::int32_t openImage = -1;
    bool expanded = false;
    ImageList images;
};

// What the reader did with a tree view, as the window reports it.
struct TreeNotification {
    enum class Kind {
        Expanded,  // `item` was opened or closed (`expanded`)
        Selected,  // `item` was chosen
        MouseMove  // the pointer moved over the tree, at `point` in its coordinates
    };
    Kind kind = Kind::Selected;
    TreeItem item = 0;
    bool expanded = false;
    POINT point{};
};

// A popup menu item, or a separator when `id` is 0. A disabled item is greyed.
struct MenuItem {
    std::uint32_t id = 0;
    std::wstring text;
    bool checked = false;
    bool enabled = true;
};

struct DialogControl {
    // Swatch: a patch of `colour` standing just left of the control after
    // it, as high as that control and 1.6 times as wide. Colour: a button
    // that lets the reader choose a colour (the window's own chooser),
    // starting from `colour`; a chosen colour reaches OnDialogColour.
    enum class Kind { Static, Edit, Button, Progress, Swatch, Colour };
    std::int32_t id = 0;
    Kind kind = Kind::Static;
    std::wstring text;
    bool focus = false;
    bool isDefault = false;
    bool enabled = true;
    bool multiline = false;  // an edit box of several lines
    COLORREF colour = 0;     // 0x00BBGGRR
    std::int32_t min = 0;
    std::int32_t max = 100;
    std::int32_t pos = 0;
};

struct DialogTemplate {
    std::int32_t resource = 0;
    std::wstring title;
    // A property sheet's page captions; empty for a plain dialog.
    std::vector<std::wstring> tabs;
    std::vector<DialogControl> controls;
};

// What changes of one dialog control; unset fields stay as they are.
struct DialogItemChange {
    std::int32_t control = 0;
    std::optional<std::wstring> text;
    std::optional<std::int32_t> pos;
    std::optional<bool> enabled;
    std::optional<COLORREF> colour;  // a Swatch's or a Colour control's
};

// A page to open in a new browser window (a launch). The container serves
// `html` at an address of its own and asks the page to open it; once the
// control of the new page exists, `onControlCreated` runs (on that control's
// window thread), so that whatever the new control is to read at its first
// tick is written after its constructor ran.
struct LaunchPage {
    std::string html;  // UTF-8
    std::function<void()> onControlCreated;
};

// The texts of a dialog's edit boxes by control identifier.
using DialogValues = std::map<std::int32_t, std::wstring>;

// What a dialog's window delivers to the code behind it, on the window thread.
class DialogClient {
public:
    virtual ~DialogClient() = default;
    // The dialog is shown; `dialog` names it in the window's dialog calls.
    virtual void OnInitDialog(WindowHandle dialog) { (void)dialog; }
    // A button pressed (IDOK for Enter, IDCANCEL for Escape).
    virtual void OnDialogCommand(std::int32_t control, const DialogValues& values) = 0;
    virtual void OnDialogTimer(unsigned id) { (void)id; }
    // The reader chose `colour` with a Colour control.
    virtual void OnDialogColour(std::int32_t control, COLORREF colour) { (void)control, (void)colour; }
    // The dialog became the active window by the keyboard or by being
    // shown, not by a click into it.
    virtual void OnDialogActivate() {}
    // The dialog's window is gone (a modeless one ended with
    // DestroyDialog, or the control's window went).
    virtual void OnDialogDestroyed() {}
};

// What is on screen, in words, for readers who cannot see it: the books of
// the desk in its order and, of the zoomed one, the pages facing up.
struct DescribedBook {
    std::wstring caption;
    std::int32_t pages = 0;
    bool selected = false;
    RECT bounds{};  // client coordinates
    // Where a click opens it (on one of its pages); x < 0 when none does.
    POINT click{-1, -1};

    friend bool operator==(const DescribedBook&, const DescribedBook&) = default;
};

struct DescribedPage {
    std::int32_t number = 0;  // 1-based
    std::wstring text;
    bool read = true;  // false while the text is still being read

    friend bool operator==(const DescribedPage&, const DescribedPage&) = default;
};

struct ScreenDescription {
    std::vector<DescribedBook> books;
    std::int32_t zoomed = -1;  // index into books
    std::vector<DescribedPage> openPages;

    friend bool operator==(const ScreenDescription&, const ScreenDescription&) = default;
};

struct MessageBoxRequest {
    std::wstring text;
    std::wstring caption;
    std::uint32_t type = MB_OK;
    // Replacement texts for the buttons, in order; empty keeps the standard ones.
    std::vector<std::wstring> buttonLabels;
};

// What the window delivers to the control: the messages it handles.
class WindowClient {
public:
    virtual ~WindowClient() = default;
    virtual void OnTimer(unsigned id) = 0;
    // The invalid part of the client area; the client presents its frame.
    virtual void OnPaint(const RECT& invalid) = 0;
    virtual void OnLButtonDown(std::uint32_t keyFlags, POINT point) = 0;
    virtual void OnLButtonUp(std::uint32_t keyFlags, POINT point) = 0;
    virtual void OnRButtonUp(std::uint32_t keyFlags, POINT point) = 0;
    virtual void OnMouseMove(std::uint32_t keyFlags, POINT point) = 0;
    // `screenPoint` in screen coordinates, as the wheel message carries it.
    virtual void OnMouseWheel(std::uint32_t keyFlags, std::int16_t delta, POINT screenPoint) = 0;
    virtual void OnVScroll(int code) = 0;
    virtual void OnHScroll(int code) = 0;
    virtual void OnSize(std::uint32_t sizeType, std::int32_t width, std::int32_t height) = 0;
    // WM_KEYDOWN while the window has the focus: a virtual-key code and the
    // MK_SHIFT / MK_CONTROL flags held with it.
    virtual void OnKeyDown(std::uint32_t virtualKey, std::uint32_t keyFlags) { (void)virtualKey, (void)keyFlags; }
    // WM_SETTINGCHANGE of the reader's animation setting: true when they asked
    // for less motion.
    virtual void OnMotionSetting(bool reduced) { (void)reduced; }
    // WM_DPICHANGED: the window lies on a screen of another density now; a
    // WM_SIZE follows it.
    virtual void OnDpiChanged(unsigned dpi) { (void)dpi; }
    // True when the client set the cursor itself.
    virtual bool OnSetCursor() = 0;
    // WM_COMMAND: a menu item or toolbar button chosen.
    virtual void OnCommand(std::uint32_t id) { (void)id; }
    // WM_NOTIFY: the drop-down arrow of a toolbar button.
    virtual void OnToolbarDropDown(std::int32_t button) { (void)button; }
    // WM_DROPFILES: files dropped on the window, as local paths. They are
    // removed after this returns.
    virtual void OnDropFiles(const std::vector<std::wstring>& paths) { (void)paths; }
    // The Properties verb: the control's property sheet.
    virtual void OnProperties() {}
    // WM_NOTIFY of a tree view child, and the pointer over it.
    virtual void OnTreeNotify(WindowHandle tree, const TreeNotification& notification) {
        (void)tree, (void)notification;
    }
};

class HostWindow {
public:
    virtual ~HostWindow() = default;

    virtual SIZE ClientSize() const = 0;
    // The density of the screen the window lies on, kBaseDpi at one device
    // pixel per CSS pixel.
    virtual unsigned Dpi() const { return kBaseDpi; }
    virtual POINT ClientToScreen(POINT point) const = 0;
    virtual POINT ScreenToClient(POINT point) const = 0;

    // A repeating timer; setting an existing identifier again restarts it
    // with the new period.
    virtual void SetTimer(unsigned id, unsigned periodMs) = 0;
    virtual void KillTimer(unsigned id) = 0;

    // Marks the whole client area for repainting.
    virtual void Invalidate(bool erase) = 0;
    // Delivers a pending paint now instead of when the window is idle.
    virtual void Update() = 0;
    // Shows `frame` in the window: all of it, or only `part` when given.
    virtual void Present(const FrameView& frame, const RECT* part) = 0;

    virtual bool GetScrollInfo(int bar, SCROLLINFO& info) const = 0;
    virtual void SetScrollInfo(int bar, const SCROLLINFO& info, bool redraw) = 0;
    virtual void EnableScrollBar(int bar, std::uint32_t arrows) = 0;

    // A standard cursor (IDC_ARROW, IDC_HAND, ...).
    virtual void SetCursor(int cursorId) = 0;

    // Runs `work` on the window thread, after the messages already waiting.
    virtual void Post(std::function<void()> work) = 0;

    // Modal: the window thread keeps handling messages until the box is
    // answered; returns IDOK, IDYES, IDNO or IDCANCEL.
    virtual int MessageBox(const MessageBoxRequest& request) = 0;

    // Child windows; handles are the window's, 0 when one could not be made.
    virtual WindowHandle CreateToolbar(const ToolbarTemplate& toolbar) = 0;
    virtual void ChangeToolbarButton(WindowHandle toolbar, const ToolbarButtonChange& change) = 0;
    virtual void MoveChild(WindowHandle child, const RECT& rect) = 0;
    // A tree view; it shows what ChangeTree tells it, in order. While its
    // redraw is off the window may hold the changes back and show them
    // together when it comes on again.
    virtual WindowHandle CreateTreeView(const TreeViewTemplate& tree) = 0;
    virtual void ChangeTree(WindowHandle tree, const TreeChange& change) = 0;
    virtual void SetTreeRedraw(WindowHandle tree, bool redraw) = 0;
    // Empty when there is no such child.
    virtual RECT ChildRect(WindowHandle child) const = 0;
    virtual void DestroyChild(WindowHandle child) = 0;

    // Modal: returns the chosen item's identifier, 0 for none. `point` is
    // the menu's top-left corner in client coordinates.
    virtual std::uint32_t TrackPopupMenu(const std::vector<MenuItem>& items, POINT point) = 0;

    // Modal: shows the dialog and handles messages until the client ends it
    // with EndDialog; returns that code, IDCANCEL when the window closed.
    virtual int RunModalDialog(const DialogTemplate& dialog, DialogClient& client) = 0;
    virtual void EndDialog(WindowHandle dialog, int code) = 0;
    virtual void ChangeDialogItem(WindowHandle dialog, const DialogItemChange& change) = 0;
    virtual void SetDialogTitle(WindowHandle dialog, const std::wstring& title) = 0;
    // A repeating timer of the dialog, delivered to its client; it ends with the dialog.
    virtual void SetDialogTimer(WindowHandle dialog, unsigned id, unsigned periodMs) = 0;
    // A modeless dialog: shown at once and returning; the window behind it
    // stays usable. It lives until DestroyDialog or the window's end.
    virtual WindowHandle CreateModelessDialog(const DialogTemplate& dialog, DialogClient& client) = 0;
    virtual void ShowDialog(WindowHandle dialog, bool visible) = 0;
    virtual void DestroyDialog(WindowHandle dialog) = 0;
    // Tells assistive technology what the window shows; sent when it changes.
    virtual void DescribeScreen(const ScreenDescription& description) { (void)description; }
    // Whether the control's window is shown on its page (the page may hide
    // it, or the page itself may be hidden).
    virtual bool IsVisible() const { return true; }

    // The window's handle among the desktop's windows: non-zero, and unique
    // among the live windows of every container of this user, so that other
    // controls can name it in the files they meet through.
    virtual std::uint32_t Handle() const = 0;
    // Brings the browser window that shows the control window `handle` to
    // the front, as far as the browser lets a page do that. False when no
    // live window has that handle.
    virtual bool ActivateWindow(std::uint32_t handle) { (void)handle; return false; }
    // Opens `page` in a new browser window; false when it could not be asked
    // for (no page to ask, or too many launches waiting).
    virtual bool OpenWindow(LaunchPage page) { (void)page; return false; }
};

// The first handle a window gives its dialogs; 100 is the toolbar, 101
// the folder tree.
inline constexpr WindowHandle kToolbarHandle = 100;
inline constexpr WindowHandle kTreeViewHandle = 101;
inline constexpr WindowHandle kFirstDialogHandle = 2000;
// Dialogs open at once on one window, modal and modeless together; one more
// is not made (RunModalDialog answers IDCANCEL, CreateModelessDialog 0).
inline constexpr std::size_t kOpenDialogLimit = 8;

// A dialog's timers share the window's timer table: the dialog's handle in
// the high bits, its own identifier (below 256) in the low byte.
inline constexpr unsigned kDialogTimerShift = 8;
inline constexpr unsigned DialogTimerId(WindowHandle dialog, unsigned id) {
    return (dialog << kDialogTimerShift) | (id & 0xFFu);
}
inline constexpr bool IsDialogTimer(unsigned timerId) { return (timerId >> kDialogTimerShift) != 0; }
inline constexpr WindowHandle DialogOfTimer(unsigned timerId) { return timerId >> kDialogTimerShift; }

// The layout every toolbar keeps, so that the control can place a button's
// menu: buttons side by side from the left edge, separators between them.
inline constexpr std::int32_t kToolbarButtonPadding = 8;
inline constexpr std::int32_t kToolbarSeparatorWidth = 8;
// A length of the toolbar's design at `scale`, rounded as the page rounds it.
std::int32_t ToolbarLength(std::int32_t length, double scale);
// The height of a toolbar whose pictures are `imageSide` pixels high.
inline std::int32_t ToolbarHeight(std::int32_t imageSide, double scale = 1.0) {
    return imageSide + ToolbarLength(kToolbarButtonPadding + 2, scale);
}
// A button's rectangle in the toolbar's coordinates; empty when it has none.
RECT ToolbarButtonRect(const ToolbarTemplate& toolbar, std::int32_t buttonId);

// Moves `info.nPos` into the range a scroll bar allows, as the window system
// does when a position is set: from nMin to nMax - max(nPage - 1, 0).
void ClampScrollPosition(SCROLLINFO& info);
// What a window does with a bar's fields: GetScrollInfo copies those that
// `info.fMask` names out of `held`; SetScrollInfo copies them in, keeps the
// page within the range and the position where the thumb can be.
void ReadScrollInfo(const SCROLLINFO& held, SCROLLINFO& info);
void ApplyScrollInfo(SCROLLINFO& held, const SCROLLINFO& info);

}  // namespace zov
