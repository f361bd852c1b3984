// A window with a real thread and message loop but no screen: tests drive it
// and read back what the control asked of it. Message boxes are answered from
// a script of answers; without one the box waits, handling messages, until
// the test answers it.
#pragma once

#include "platform/HostWindow.h"

#include <condition_variable>
#include <chrono>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

namespace zov {

class HeadlessWindow final : public HostWindow {
public:
    struct Options {
        SIZE clientSize{800, 600};
        POINT screenOrigin{0, 0};
        // When false, timers are only recorded; tests deliver ticks with SendTimer.
        bool runTimers = true;
        unsigned dpi = kBaseDpi;
    };

    // What a Present call showed.
    struct Presented {
        std::int32_t width = 0;
        std::int32_t height = 0;
        std::optional<RECT> part;
        std::vector<std::uint32_t> pixels;
    };

    HeadlessWindow();
    explicit HeadlessWindow(Options options);
    ~HeadlessWindow() override;
    HeadlessWindow(const HeadlessWindow&) = delete;
    HeadlessWindow& operator=(const HeadlessWindow&) = delete;

    // Driving the window. Each of these runs on the window thread and returns
    // once it has run (at once when called on the window thread itself).
    void Attach(WindowClient* client);
    void Send(std::function<void()> work);
    void SendTimer(unsigned id);
    void SendSize(std::int32_t width, std::int32_t height, std::uint32_t sizeType = SIZE_RESTORED);
    // The window moved to a screen of `dpi`; a SendSize should follow, as
    // the window system's WM_SIZE does.
    void SendDpi(unsigned dpi);
    void SendLButtonDown(std::uint32_t keyFlags, POINT point);
    void SendLButtonUp(std::uint32_t keyFlags, POINT point);
    void SendMouseMove(std::uint32_t keyFlags, POINT point);
    void SendMouseWheel(std::uint32_t keyFlags, std::int16_t delta, POINT screenPoint);
    void SendVScroll(int code);
    void SendHScroll(int code);
    bool SendSetCursor();
    // Where a thumb drag has got to, as the bar reports it during SB_THUMBTRACK.
    void SetTrackPosition(int bar, std::int32_t position);
    void SendRButtonUp(std::uint32_t keyFlags, POINT point);
    // A toolbar button clicked, or its drop-down arrow, as the page reports them.
    void SendCommand(std::uint32_t id);
    void SendToolbarDropDown(std::int32_t button);
    void SendDropFiles(const std::vector<std::wstring>& paths);
    void SendProperties();
    // What the reader did with the tree view `tree`.
    void SendTreeNotify(WindowHandle tree, const TreeNotification& notification);
    // A button of the open dialog `dialog` pressed, with its edit texts.
    // Posted: it runs inside the dialog's modal loop. False when no such
    // dialog is open.
    bool PressDialogButton(WindowHandle dialog, std::int32_t control, DialogValues values = {});
    // The reader chose `colour` with the Colour control `control` of an open
    // dialog, as the page reports it. Posted; false when the dialog is not
    // open or the control is no enabled Colour control of it.
    bool ChooseDialogColour(WindowHandle dialog, std::int32_t control, COLORREF colour);
    // The dialog became the active window by the keyboard or by being
    // shown. Posted; false when it is not open.
    bool ActivateDialog(WindowHandle dialog);
    // Whether the page shows the control's window (IsVisible).
    void SetVisible(bool visible);
    // Queues the answer for the next message box.
    void AnswerMessageBox(int answer);
    // Queues the choice for the next popup menu (0 for none).
    void AnswerMenu(std::uint32_t id);
    bool OnWindowThread() const;

    // What was asked of the window.
    int PresentCount() const;
    std::optional<Presented> LastPresent() const;
    int InvalidateCount() const;
    int UpdateCount() const;
    int PaintCount() const;
    std::optional<unsigned> TimerPeriod(unsigned id) const;
    SCROLLINFO ScrollInfo(int bar) const;
    std::uint32_t ScrollArrows(int bar) const;
    int ScrollInfoSetCount(int bar) const;
    int Cursor() const;
    std::vector<MessageBoxRequest> MessageBoxes() const;

    struct ShownMenu {
        std::vector<MenuItem> items;
        POINT point{};
    };
    std::vector<ShownMenu> Menus() const;
    // A toolbar as it stands now: the template it was made with, with every
    // change applied.
    std::optional<ToolbarTemplate> Toolbar(WindowHandle handle = kToolbarHandle) const;
    int ToolbarsCreated() const;
    std::vector<ToolbarButtonChange> ToolbarChanges() const;
    struct ShownDialog {
        WindowHandle handle = 0;
        DialogTemplate dialog;  // with every change applied
        bool open = true;       // a modeless one until it is destroyed
        int endCode = 0;
        bool modal = true;
        bool visible = true;    // ShowDialog's last word
    };
    // Every dialog made, modal and modeless, in the order they were made.
    std::vector<ShownDialog> Dialogs() const;
    // The modal dialog open now, the innermost when several are; modeless
    // ones stand beside the window and are found with Dialog().
    std::optional<ShownDialog> OpenDialog() const;
    std::optional<ShownDialog> Dialog(WindowHandle dialog) const;
    // The handles ActivateWindow was asked to bring to the front, and the
    // pages OpenWindow was asked to open, in order.
    std::vector<std::uint32_t> Activations() const;
    std::vector<LaunchPage> Launches() const;
    struct ShownTree {
        TreeViewTemplate tree;  // its rect as it stands now
        std::vector<TreeChange> changes;
        bool redraw = true;
        // Every rect the tree was given, in order, the first the one it was made with.
        std::vector<RECT> moves;
    };
    std::optional<ShownTree> Tree(WindowHandle tree = kTreeViewHandle) const;

    // HostWindow
    SIZE ClientSize() const override;
    unsigned Dpi() const override;
    POINT ClientToScreen(POINT point) const override;
    POINT ScreenToClient(POINT point) const override;
    void SetTimer(unsigned id, unsigned periodMs) override;
    void KillTimer(unsigned id) override;
    void Invalidate(bool erase) override;
    void Update() override;
    void Present(const FrameView& frame, const RECT* part) override;
    bool GetScrollInfo(int bar, SCROLLINFO& info) const override;
    void SetScrollInfo(int bar, const SCROLLINFO& info, bool redraw) override;
    void EnableScrollBar(int bar, std::uint32_t arrows) override;
    void SetCursor(int cursorId) override;
    void Post(std::function<void()> work) override;
    int MessageBox(const MessageBoxRequest& request) override;
    WindowHandle CreateToolbar(const ToolbarTemplate& toolbar) override;
    void ChangeToolbarButton(WindowHandle toolbar, const ToolbarButtonChange& change) override;
    void MoveChild(WindowHandle child, const RECT& rect) override;
    RECT ChildRect(WindowHandle child) const override;
    void DestroyChild(WindowHandle child) override;
    WindowHandle CreateTreeView(const TreeViewTemplate& tree) override;
    void ChangeTree(WindowHandle tree, const TreeChange& change) override;
    void SetTreeRedraw(WindowHandle tree, bool redraw) override;
    std::uint32_t TrackPopupMenu(const std::vector<MenuItem>& items, POINT point) override;
    int RunModalDialog(const DialogTemplate& dialog, DialogClient& client) override;
    void EndDialog(WindowHandle dialog, int code) override;
    void ChangeDialogItem(WindowHandle dialog, const DialogItemChange& change) override;
    void SetDialogTitle(WindowHandle dialog, const std::wstring& title) override;
    void SetDialogTimer(WindowHandle dialog, unsigned id, unsigned periodMs) override;
    WindowHandle CreateModelessDialog(const DialogTemplate& dialog, DialogClient& client) override;
    void ShowDialog(WindowHandle dialog, bool visible) override;
    void DestroyDialog(WindowHandle dialog) override;
    bool IsVisible() const override;
    std::uint32_t Handle() const override { return handle_; }
    // True for the handle of any live headless window of this process.
    bool ActivateWindow(std::uint32_t handle) override;
    bool OpenWindow(LaunchPage page) override;

private:
    using Clock = std::chrono::steady_clock;
    struct Timer {
        std::chrono::milliseconds period;
        Clock::time_point next;
    };
    struct Bar {
        SCROLLINFO info;
        std::uint32_t arrows = ESB_ENABLE_BOTH;
        int setCount = 0;
    };

    void Loop();
    // Runs one message, waiting for one if none is ready. False when the
    // window is closing or `stop` (checked under the lock) holds.
    bool PumpOnce(const std::function<bool()>& stop);
    void DeliverPaint();
    void DeliverTimer(unsigned id);
    // Runs messages until `done` (checked under the lock) holds or the window closes.
    void RunModal(const std::function<bool()>& done);
    ShownDialog* FindDialog(WindowHandle dialog);
    const ShownDialog* FindDialog(WindowHandle dialog) const;
    // A new open dialog and its client; 0 past kOpenDialogLimit.
    WindowHandle AddDialog(const DialogTemplate& dialog, DialogClient& client, bool modal);
    // Forgets an ended dialog's client and timers. Called with mutex_ held.
    void DropDialog(WindowHandle dialog);
    // Posts `deliver` with the client of the open dialog `dialog`; false
    // when it is not open.
    bool PostToDialog(WindowHandle dialog, std::function<void(DialogClient&)> deliver);
    // The window's end: the modeless dialogs still up are destroyed.
    void DestroyModelessDialogs();
    WindowClient* Client() const { return client_; }

    const Options options_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> queue_;
    std::map<unsigned, Timer> timers_;
    bool quit_ = false;
    bool invalid_ = false;
    SIZE clientSize_;
    unsigned dpi_;
    Bar bars_[2];
    int cursor_ = IDC_ARROW;
    int presentCount_ = 0;
    std::optional<Presented> lastPresent_;
    int invalidateCount_ = 0;
    int updateCount_ = 0;
    int paintCount_ = 0;
    std::deque<int> answers_;
    std::vector<MessageBoxRequest> boxes_;
    std::deque<std::uint32_t> menuAnswers_;
    std::vector<ShownMenu> menus_;
    std::map<WindowHandle, ToolbarTemplate> toolbars_;
    int toolbarsCreated_ = 0;
    std::vector<ToolbarButtonChange> toolbarChanges_;
    std::map<WindowHandle, ShownTree> trees_;
    std::vector<ShownDialog> dialogs_;
    std::map<WindowHandle, DialogClient*> dialogClients_;  // open dialogs; not owned
    WindowHandle nextDialog_ = kFirstDialogHandle;
    bool visible_ = true;
    std::vector<std::uint32_t> activations_;
    std::vector<LaunchPage> launches_;
    const std::uint32_t handle_;

    WindowClient* client_ = nullptr;  // window thread only; not owned
    std::thread thread_;
};

}  // namespace zov
