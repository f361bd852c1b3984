// The window a control lives in, as the control sees it. Two backends stand
// behind it: the headless one (tests) and the page's element in the container.
//
// Threads: every WindowClient call arrives on the window's own thread, one at a
// time. Of the HostWindow calls, Present, ClientSize, GetScrollInfo, Invalidate
// and Post may come from any thread (the viewer presents and reads its scroll
// bars from the command worker); the others belong to the window thread.
#pragma once

#include "platform/WinTypes.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zov {

// A child window of the control (toolbar, folder tree, dialog); 0 is none.
using WindowHandle = std::uint32_t;

// A strip of equally sized images, as a toolbar takes its button pictures.
struct ImageList {
    std::int32_t imageWidth = 0;
    std::int32_t imageHeight = 0;
    std::vector<std::uint32_t> pixels;  // 0x00RRGGBB, the images side by side
};

// A 32-bit frame to show: words 0x00RRGGBB, row-major, top row first.
struct FrameView {
    const std::uint32_t* pixels = nullptr;
    std::int32_t width = 0;
    std::int32_t height = 0;
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
    // True when the client set the cursor itself.
    virtual bool OnSetCursor() = 0;
    // WM_COMMAND: a menu item or toolbar button chosen.
    virtual void OnCommand(std::uint32_t id) { (void)id; }
    // WM_DROPFILES: files dropped on the window, as local paths. They are
    // removed after this returns.
    virtual void OnDropFiles(const std::vector<std::wstring>& paths) { (void)paths; }
};

class HostWindow {
public:
    virtual ~HostWindow() = default;

    virtual SIZE ClientSize() const = 0;
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
};

// Moves `info.nPos` into the range a scroll bar allows, as the window system
// does when a position is set: from nMin to nMax - max(nPage - 1, 0).
void ClampScrollPosition(SCROLLINFO& info);
// What a window does with a bar's fields: GetScrollInfo copies those that
// `info.fMask` names out of `held`; SetScrollInfo copies them in, keeps the
// page within the range and the position where the thumb can be.
void ReadScrollInfo(const SCROLLINFO& held, SCROLLINFO& info);
void ApplyScrollInfo(SCROLLINFO& held, const SCROLLINFO& info);

}  // namespace zov
