// The web backend of the host-window interface: one control's window, whose
// messages come from an element of a page. Each window has a thread of its
// own running its message loop (input, calls, timers, paints), as a
// browser's window thread does; the control lives and dies on it.
#pragma once

#include "host/FrameTrace.h"
#include "host/TileFrame.h"
#include "platform/HostWindow.h"
#include "platform/com/Com.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>

namespace zov::host {

class DropStaging;
class EventSink;

// Where a window's messages to the page go. Called from any thread.
class ElementLink {
public:
    virtual ~ElementLink() = default;
    virtual void SendText(std::string message) = 0;
    // A binary message other than a frame (an image list); counted against
    // the send queue like text.
    virtual void SendBinary(std::string message) = 0;
    // A frame can be taken from the window (TakeFrame).
    virtual void FrameReady(std::uint32_t element) = 0;
    // Keeps `page` for a new window and asks the page to open it; false
    // when the launch was refused.
    virtual bool OpenWindow(std::uint32_t element, LaunchPage page) { (void)element, (void)page; return false; }
};

// What a queued message is, for the modal loop: input for a window behind
// its modal box is discarded, calls wait until the box is answered, the
// rest (sizes, answers, the control's own posts) goes on.
enum class MessageKind { Other, Input, Call };

// Input messages waiting for the window thread; more are dropped, as a
// window that does not keep up loses mouse moves.
inline constexpr std::size_t kPendingInputLimit = 256;
// Modal boxes open at once on one window: a box asked for while one is up
// is answered IDCANCEL at once.
inline constexpr int kModalDepthLimit = 1;

class WebWindow final : public HostWindow {
public:
    using CreatedHandler = std::function<void(std::span<const DispatchMember> members, const std::string& error)>;

    WebWindow(std::uint32_t element, std::shared_ptr<ElementLink> link, SIZE size, POINT screenOrigin,
              unsigned dpi = kBaseDpi);
    ~WebWindow() override;
    WebWindow(const WebWindow&) = delete;
    WebWindow& operator=(const WebWindow&) = delete;

    // Starts the window thread; it creates the control with `factory`, tells
    // `created` (on the window thread), then runs the message loop.
    // `initialCommand`, when not 0, is delivered as a command first.
    void Start(IClassFactory* factory, std::uint32_t initialCommand, CreatedHandler created);
    // Queues work for the window thread; false once the window is closing.
    // Input past kPendingInputLimit is dropped (and counts as posted).
    bool PostMessage(std::function<void()> work, MessageKind kind = MessageKind::Other);
    // Ends the loop (a modal box waiting is answered IDCANCEL), closes and
    // releases the control on the window thread. Join waits for that.
    void Destroy();
    void Join();

    // Window-thread helpers for the messages of the page.
    void DeliverSize(std::int32_t width, std::int32_t height, POINT screenOrigin, unsigned dpi = kBaseDpi);
    void DeliverMouse(const std::string& event, std::uint32_t keys, POINT point);
    void DeliverWheel(std::uint32_t keys, std::int16_t delta, POINT screenPoint);
    void DeliverScroll(int bar, int code, std::int32_t position);
    void DeliverKey(std::uint32_t virtualKey, std::uint32_t keys);
    void DeliverMotionSetting(bool reduced);
    void DeliverAnswer(std::uint32_t question, int answer);
    // What the user did with a child window: a toolbar button, a dialog's
    // button with the dialog's edit texts, a colour chosen in a dialog
    // (`colour`, for the event "colour") or a dialog activated.
    void DeliverChildEvent(WindowHandle child, std::int32_t control, const std::string& event,
                           const DialogValues& values, COLORREF colour = 0);
    // What the reader did with the folder tree.
    void DeliverTreeEvent(const TreeNotification& notification);
    // Whether the page shows the element; any thread.
    void DeliverVisible(bool visible);
    void DeliverVerb(const std::string& verb);
    // Invokes a method of the control; the arguments are checked there.
    HRESULT Invoke(DISPID id, std::span<const Variant> args, Variant& result);
    // WM_DROPFILES with the staged files; the staging (and with it the
    // files) goes once the control has handled them.
    void DeliverDrop(std::shared_ptr<DropStaging> staging);

    // The connection's side of frames.
    std::optional<EncodedFrame> TakeFrame();
    void FrameAcked(std::uint32_t sequence);
    std::uint32_t Element() const { return element_; }

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
    void DescribeScreen(const ScreenDescription& description) override;
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
    bool ActivateWindow(std::uint32_t handle) override;
    bool OpenWindow(LaunchPage page) override;

private:
    using Clock = std::chrono::steady_clock;
    struct Timer {
        std::chrono::milliseconds period;
        Clock::time_point due;
    };

    void Run(IClassFactory* factory, std::uint32_t initialCommand, const CreatedHandler& created);
    struct Task {
        std::function<void()> work;
        MessageKind kind;
    };

    // Handles messages until `done` holds or the window closes.
    void RunUntil(const std::function<bool()>& done);
    // The next task the loop may run now; drops input while a box is up.
    // Called with mutex_ held.
    std::optional<Task> NextTask();
    void Paint();
    // Connects the container's sink to a control that raises events, and
    // takes it away before the control closes.
    void ConnectEvents();
    void DisconnectEvents();
    void Release();
    void DeliverTimer(unsigned id);
    // A modal question may be asked now: on the window thread, none up.
    bool CanAsk() const;
    // Asks the page a modal question and waits for its answer; nullopt when
    // the window closed first or a box is up already.
    std::optional<int> Ask(const std::string& message, std::uint32_t question);
    std::uint32_t SendImageList(const ImageList& list);
    // Sends the `child` message of a new dialog and keeps its client; 0 off
    // the window thread or past kOpenDialogLimit.
    WindowHandle OpenNewDialog(const DialogTemplate& dialog, DialogClient& client, bool modal);
    // Forgets a dialog, its timers and its window on the page.
    void CloseDialog(WindowHandle dialog);
    // The window's end: the modeless dialogs still up are destroyed.
    void DestroyModelessDialogs();
    // Sends the tree changes held back.
    void FlushTree();
    void SendChildRect(WindowHandle child, const RECT& rect);

    const std::uint32_t element_;
    const std::uint32_t handle_;
    const std::shared_ptr<ElementLink> link_;
    std::thread thread_;
    std::atomic<std::thread::id> threadId_{};

    // The message queue and timers; guarded by mutex_.
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Task> tasks_;
    std::size_t pendingInput_ = 0;
    // Modal boxes open; written on the window thread, read by NextTask
    // there too.
    int modalDepth_ = 0;
    std::map<unsigned, Timer> timers_;
    bool invalid_ = false;
    bool closing_ = false;
    // The page's last word on whether the element can be seen.
    std::atomic<bool> visible_{true};
    SIZE size_{};
    POINT origin_{};
    unsigned dpi_ = kBaseDpi;
    SCROLLINFO bars_[2]{};
    bool barsSent_[2]{};

    // Window thread only.
    IDispatch* dispatch_ = nullptr;
    // The control's outgoing interface and the sink connected to it, when
    // the control raises events.
    IConnectionPointContainer* events_ = nullptr;
    EventSink* sink_ = nullptr;
    std::uint32_t sinkCookie_ = 0;
    IOleObject* object_ = nullptr;
    WindowClient* client_ = nullptr;
    std::map<std::uint32_t, int> answers_;
    std::uint32_t lastQuestion_ = 0;
    std::string cursor_;
    // What the page was last told of the screen's list and open pages.
    std::string describedBooks_;
    std::string describedPages_;
    std::optional<ToolbarTemplate> toolbar_;
    std::uint32_t lastImageList_ = 0;
    struct TreeState {
        RECT rect{};
        bool redraw = true;
        // Changes not yet sent, as JSON texts of the protocol's tree operations.
        std::vector<std::string> pending;
    };
    std::optional<TreeState> tree_;
    struct OpenDialog {
        DialogClient* client = nullptr;  // not owned
        bool modal = true;
        bool ended = false;
        int code = IDCANCEL;
        bool visible = true;
        // What the page's events are checked against: each control's kind
        // and whether it is enabled.
        std::map<std::int32_t, std::pair<DialogControl::Kind, bool>> controls;
    };
    std::map<WindowHandle, OpenDialog> dialogs_;
    WindowHandle nextDialog_ = kFirstDialogHandle;

    // Frames; guarded by frameMutex_.
    std::mutex frameMutex_;
    Picture current_;
    Picture snapshot_;
    Picture sent_;
    bool dirty_ = false;
    bool currentStale_ = false;  // current_ holds an older picture than snapshot_
    bool encoding_ = false;
    std::uint32_t sequence_ = 0;  // the last frame sent
    std::uint32_t acked_ = 0;     // the last frame the page acknowledged
    bool MaySendLocked() const { return !encoding_ && sequence_ - acked_ < kFramesInFlight; }
    // Which tiles the page has only approximately; the encoder's alone.
    TileHistory history_;
    bool lossy_ = false;  // the page shows approximations
    // When they are made exact, should no picture come before (steady clock
    // ticks; 0 for none). Read by the window thread without frameMutex_.
    std::atomic<std::int64_t> repairDue_{0};
    void RequestRepair();
    std::optional<FrameTrace> trace_;  // only when tracing
};

}  // namespace zov::host
