#include "platform/HeadlessWindow.h"

#include <algorithm>
#include <future>
#include <set>

namespace zov {

namespace {

// The live windows' handles, so that ActivateWindow can tell a live one.
std::mutex liveMutex;
std::set<std::uint32_t> liveHandles;
std::uint32_t nextHandle = 0x00010000;

std::uint32_t TakeHandle() {
    std::lock_guard<std::mutex> guard(liveMutex);
    const std::uint32_t handle = nextHandle++;
    liveHandles.insert(handle);
    return handle;
}

}  // namespace

HeadlessWindow::HeadlessWindow() : HeadlessWindow(Options{}) {}

HeadlessWindow::HeadlessWindow(Options options)
    : options_(options), clientSize_(options.clientSize), dpi_(options.dpi), handle_(TakeHandle()) {
    thread_ = std::thread([this] { Loop(); });
}

HeadlessWindow::~HeadlessWindow() {
    {
        std::lock_guard<std::mutex> guard(liveMutex);
        liveHandles.erase(handle_);
    }
    {
        std::lock_guard<std::mutex> guard(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void HeadlessWindow::Loop() {
    while (PumpOnce(nullptr)) {
    }
    DestroyModelessDialogs();
}

void HeadlessWindow::DestroyModelessDialogs() {
    for (;;) {
        WindowHandle left = 0;
        {
            std::lock_guard<std::mutex> guard(mutex_);
            for (const ShownDialog& shown : dialogs_)
                if (shown.open && !shown.modal) {
                    left = shown.handle;
                    break;
                }
        }
        if (left == 0)
            return;
        DestroyDialog(left);
    }
}

bool HeadlessWindow::PumpOnce(const std::function<bool()>& stop) {
    std::function<void()> work;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            if (quit_ || (stop && stop()))
                return false;
            if (!queue_.empty()) {
                work = std::move(queue_.front());
                queue_.pop_front();
                break;
            }
            // Like the window system: paints and timers only when no other
            // message waits, paints first, and a late timer fires once.
            if (invalid_) {
                invalid_ = false;
                work = [this] { DeliverPaint(); };
                break;
            }
            auto now = Clock::now();
            std::optional<Clock::time_point> nextDue;
            if (options_.runTimers) {
                for (auto& [id, timer] : timers_) {
                    if (timer.next <= now) {
                        timer.next = now + timer.period;
                        unsigned timerId = id;
                        work = [this, timerId] { DeliverTimer(timerId); };
                        break;
                    }
                    if (!nextDue || timer.next < *nextDue)
                        nextDue = timer.next;
                }
                if (work)
                    break;
            }
            if (nextDue)
                wake_.wait_until(lock, *nextDue);
            else
                wake_.wait(lock);
        }
    }
    try {
        work();
    } catch (...) {
        // A message handler that throws must not end the window.
    }
    return true;
}

void HeadlessWindow::DeliverPaint() {
    SIZE size;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        ++paintCount_;
        size = clientSize_;
    }
    if (WindowClient* client = Client())
        client->OnPaint(RECT{0, 0, size.cx, size.cy});
}

bool HeadlessWindow::OnWindowThread() const {
    return std::this_thread::get_id() == thread_.get_id();
}

void HeadlessWindow::Attach(WindowClient* client) {
    Send([this, client] { client_ = client; });
}

void HeadlessWindow::Send(std::function<void()> work) {
    if (OnWindowThread()) {
        work();
        return;
    }
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    Post([work = std::move(work), done] {
        try {
            work();
        } catch (...) {
        }
        done->set_value();
    });
    // A window closed before it got to the work drops it: the promise breaks.
    finished.wait();
}

void HeadlessWindow::SendTimer(unsigned id) {
    Send([this, id] { DeliverTimer(id); });
}

void HeadlessWindow::DeliverTimer(unsigned id) {
    if (IsDialogTimer(id)) {
        DialogClient* dialog = nullptr;
        {
            std::lock_guard<std::mutex> guard(mutex_);
            auto found = dialogClients_.find(DialogOfTimer(id));
            if (found != dialogClients_.end())
                dialog = found->second;
        }
        if (dialog)
            dialog->OnDialogTimer(id & 0xFFu);
        return;
    }
    if (WindowClient* client = Client())
        client->OnTimer(id);
}

void HeadlessWindow::SendSize(std::int32_t width, std::int32_t height, std::uint32_t sizeType) {
    Send([=, this] {
        {
            std::lock_guard<std::mutex> guard(mutex_);
            clientSize_ = SIZE{width, height};
        }
        if (WindowClient* client = Client())
            client->OnSize(sizeType, width, height);
    });
}

void HeadlessWindow::SendDpi(unsigned dpi) {
    Send([=, this] {
        {
            std::lock_guard<std::mutex> guard(mutex_);
            dpi_ = dpi;
        }
        if (WindowClient* client = Client())
            client->OnDpiChanged(dpi);
    });
}

void HeadlessWindow::SendLButtonDown(std::uint32_t keyFlags, POINT point) {
    Send([=, this] {
        if (WindowClient* client = Client())
            client->OnLButtonDown(keyFlags, point);
    });
}

void HeadlessWindow::SendLButtonUp(std::uint32_t keyFlags, POINT point) {
    Send([=, this] {
        if (WindowClient* client = Client())
            client->OnLButtonUp(keyFlags, point);
    });
}

void HeadlessWindow::SendMouseMove(std::uint32_t keyFlags, POINT point) {
    Send([=, this] {
        if (WindowClient* client = Client())
            client->OnMouseMove(keyFlags, point);
    });
}

void HeadlessWindow::SendMouseWheel(std::uint32_t keyFlags, std::int16_t delta, POINT screenPoint) {
    Send([=, this] {
        if (WindowClient* client = Client())
            client->OnMouseWheel(keyFlags, delta, screenPoint);
    });
}

void HeadlessWindow::SendVScroll(int code) {
    Send([=, this] {
        if (WindowClient* client = Client())
            client->OnVScroll(code);
    });
}

void HeadlessWindow::SendHScroll(int code) {
    Send([=, this] {
        if (WindowClient* client = Client())
            client->OnHScroll(code);
    });
}

bool HeadlessWindow::SendSetCursor() {
    bool handled = false;
    Send([&handled, this] {
        if (WindowClient* client = Client())
            handled = client->OnSetCursor();
    });
    return handled;
}

void HeadlessWindow::SetTrackPosition(int bar, std::int32_t position) {
    std::lock_guard<std::mutex> guard(mutex_);
    bars_[bar == SB_VERT].info.nTrackPos = position;
}

void HeadlessWindow::SendRButtonUp(std::uint32_t keyFlags, POINT point) {
    Send([=, this] {
        if (WindowClient* client = Client())
            client->OnRButtonUp(keyFlags, point);
    });
}

void HeadlessWindow::SendCommand(std::uint32_t id) {
    Send([=, this] {
        if (WindowClient* client = Client())
            client->OnCommand(id);
    });
}

void HeadlessWindow::SendToolbarDropDown(std::int32_t button) {
    Send([=, this] {
        if (WindowClient* client = Client())
            client->OnToolbarDropDown(button);
    });
}

void HeadlessWindow::SendDropFiles(const std::vector<std::wstring>& paths) {
    Send([&paths, this] {
        if (WindowClient* client = Client())
            client->OnDropFiles(paths);
    });
}

void HeadlessWindow::SendTreeNotify(WindowHandle tree, const TreeNotification& notification) {
    Send([=, this] {
        if (WindowClient* client = Client())
            client->OnTreeNotify(tree, notification);
    });
}

void HeadlessWindow::SendProperties() {
    Send([this] {
        if (WindowClient* client = Client())
            client->OnProperties();
    });
}

bool HeadlessWindow::PostToDialog(WindowHandle dialog, std::function<void(DialogClient&)> deliver) {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (!dialogClients_.count(dialog))
            return false;
    }
    Post([this, dialog, deliver = std::move(deliver)] {
        DialogClient* client = nullptr;
        {
            std::lock_guard<std::mutex> guard(mutex_);
            auto found = dialogClients_.find(dialog);
            if (found != dialogClients_.end())
                client = found->second;
        }
        // The dialog may have gone before its turn came.
        if (client)
            deliver(*client);
    });
    return true;
}

bool HeadlessWindow::PressDialogButton(WindowHandle dialog, std::int32_t control, DialogValues values) {
    return PostToDialog(dialog, [control, values = std::move(values)](DialogClient& client) {
        client.OnDialogCommand(control, values);
    });
}

bool HeadlessWindow::ChooseDialogColour(WindowHandle dialog, std::int32_t control, COLORREF colour) {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        const ShownDialog* shown = FindDialog(dialog);
        if (!shown)
            return false;
        const auto& controls = shown->dialog.controls;
        const bool chooser = std::any_of(controls.begin(), controls.end(), [control](const DialogControl& c) {
            return c.id == control && c.kind == DialogControl::Kind::Colour && c.enabled;
        });
        if (!chooser)
            return false;
    }
    return PostToDialog(dialog, [control, colour](DialogClient& client) { client.OnDialogColour(control, colour); });
}

bool HeadlessWindow::ActivateDialog(WindowHandle dialog) {
    return PostToDialog(dialog, [](DialogClient& client) { client.OnDialogActivate(); });
}

void HeadlessWindow::SetVisible(bool visible) {
    std::lock_guard<std::mutex> guard(mutex_);
    visible_ = visible;
}

bool HeadlessWindow::ActivateWindow(std::uint32_t handle) {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        activations_.push_back(handle);
    }
    std::lock_guard<std::mutex> guard(liveMutex);
    return liveHandles.count(handle) != 0;
}

bool HeadlessWindow::OpenWindow(LaunchPage page) {
    std::lock_guard<std::mutex> guard(mutex_);
    launches_.push_back(std::move(page));
    return true;
}

std::vector<std::uint32_t> HeadlessWindow::Activations() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return activations_;
}

std::vector<LaunchPage> HeadlessWindow::Launches() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return launches_;
}

bool HeadlessWindow::IsVisible() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return visible_;
}

void HeadlessWindow::AnswerMenu(std::uint32_t id) {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        menuAnswers_.push_back(id);
    }
    wake_.notify_all();
}

std::vector<HeadlessWindow::ShownMenu> HeadlessWindow::Menus() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return menus_;
}

std::optional<ToolbarTemplate> HeadlessWindow::Toolbar(WindowHandle handle) const {
    std::lock_guard<std::mutex> guard(mutex_);
    auto found = toolbars_.find(handle);
    if (found == toolbars_.end())
        return std::nullopt;
    return found->second;
}

int HeadlessWindow::ToolbarsCreated() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return toolbarsCreated_;
}

std::vector<ToolbarButtonChange> HeadlessWindow::ToolbarChanges() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return toolbarChanges_;
}

std::vector<HeadlessWindow::ShownDialog> HeadlessWindow::Dialogs() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return dialogs_;
}

std::optional<HeadlessWindow::ShownDialog> HeadlessWindow::OpenDialog() const {
    std::lock_guard<std::mutex> guard(mutex_);
    for (auto it = dialogs_.rbegin(); it != dialogs_.rend(); ++it)
        if (it->open && it->modal)
            return *it;
    return std::nullopt;
}

std::optional<HeadlessWindow::ShownDialog> HeadlessWindow::Dialog(WindowHandle dialog) const {
    std::lock_guard<std::mutex> guard(mutex_);
    if (const ShownDialog* shown = FindDialog(dialog))
        return *shown;
    return std::nullopt;
}

void HeadlessWindow::AnswerMessageBox(int answer) {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        answers_.push_back(answer);
    }
    wake_.notify_all();
}

int HeadlessWindow::PresentCount() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return presentCount_;
}

std::optional<HeadlessWindow::Presented> HeadlessWindow::LastPresent() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return lastPresent_;
}

int HeadlessWindow::InvalidateCount() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return invalidateCount_;
}

int HeadlessWindow::UpdateCount() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return updateCount_;
}

int HeadlessWindow::PaintCount() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return paintCount_;
}

std::optional<unsigned> HeadlessWindow::TimerPeriod(unsigned id) const {
    std::lock_guard<std::mutex> guard(mutex_);
    auto it = timers_.find(id);
    if (it == timers_.end())
        return std::nullopt;
    return static_cast<unsigned>(it->second.period.count());
}

SCROLLINFO HeadlessWindow::ScrollInfo(int bar) const {
    std::lock_guard<std::mutex> guard(mutex_);
    return bars_[bar == SB_VERT].info;
}

std::uint32_t HeadlessWindow::ScrollArrows(int bar) const {
    std::lock_guard<std::mutex> guard(mutex_);
    return bars_[bar == SB_VERT].arrows;
}

int HeadlessWindow::ScrollInfoSetCount(int bar) const {
    std::lock_guard<std::mutex> guard(mutex_);
    return bars_[bar == SB_VERT].setCount;
}

int HeadlessWindow::Cursor() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return cursor_;
}

std::vector<MessageBoxRequest> HeadlessWindow::MessageBoxes() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return boxes_;
}

SIZE HeadlessWindow::ClientSize() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return clientSize_;
}

unsigned HeadlessWindow::Dpi() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return dpi_;
}

POINT HeadlessWindow::ClientToScreen(POINT point) const {
    return POINT{point.x + options_.screenOrigin.x, point.y + options_.screenOrigin.y};
}

POINT HeadlessWindow::ScreenToClient(POINT point) const {
    return POINT{point.x - options_.screenOrigin.x, point.y - options_.screenOrigin.y};
}

void HeadlessWindow::SetTimer(unsigned id, unsigned periodMs) {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        auto period = std::chrono::milliseconds(periodMs);
        timers_[id] = Timer{period, Clock::now() + period};
    }
    wake_.notify_all();
}

void HeadlessWindow::KillTimer(unsigned id) {
    std::lock_guard<std::mutex> guard(mutex_);
    timers_.erase(id);
}

void HeadlessWindow::Invalidate(bool) {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        ++invalidateCount_;
        invalid_ = true;
    }
    wake_.notify_all();
}

void HeadlessWindow::Update() {
    if (!OnWindowThread()) {
        Send([this] { Update(); });
        return;
    }
    bool paint;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        ++updateCount_;
        paint = invalid_;
        invalid_ = false;
    }
    if (paint)
        DeliverPaint();
}

void HeadlessWindow::Present(const FrameView& frame, const RECT* part) {
    Presented shown;
    shown.width = frame.width;
    shown.height = frame.height;
    if (part)
        shown.part = *part;
    if (frame.pixels && frame.width > 0 && frame.height > 0)
        shown.pixels.assign(frame.pixels, frame.pixels + static_cast<size_t>(frame.width) * frame.height);
    std::lock_guard<std::mutex> guard(mutex_);
    ++presentCount_;
    lastPresent_ = std::move(shown);
}

bool HeadlessWindow::GetScrollInfo(int bar, SCROLLINFO& info) const {
    std::lock_guard<std::mutex> guard(mutex_);
    ReadScrollInfo(bars_[bar == SB_VERT].info, info);
    return true;
}

void HeadlessWindow::SetScrollInfo(int bar, const SCROLLINFO& info, bool) {
    std::lock_guard<std::mutex> guard(mutex_);
    Bar& held = bars_[bar == SB_VERT];
    ApplyScrollInfo(held.info, info);
    ++held.setCount;
}

void HeadlessWindow::EnableScrollBar(int bar, std::uint32_t arrows) {
    std::lock_guard<std::mutex> guard(mutex_);
    bars_[bar == SB_VERT].arrows = arrows;
}

void HeadlessWindow::SetCursor(int cursorId) {
    std::lock_guard<std::mutex> guard(mutex_);
    cursor_ = cursorId;
}

void HeadlessWindow::Post(std::function<void()> work) {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (quit_)
            return;
        queue_.push_back(std::move(work));
    }
    wake_.notify_all();
}

void HeadlessWindow::RunModal(const std::function<bool()>& done) {
    if (OnWindowThread()) {
        // The nested loop of a modal box: messages keep flowing meanwhile.
        while (PumpOnce(done)) {
        }
    } else {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait(lock, [&] { return quit_ || done(); });
    }
}

int HeadlessWindow::MessageBox(const MessageBoxRequest& request) {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        boxes_.push_back(request);
    }
    RunModal([this] { return !answers_.empty(); });
    std::lock_guard<std::mutex> guard(mutex_);
    if (answers_.empty())
        return IDCANCEL;
    int answer = answers_.front();
    answers_.pop_front();
    return answer;
}

WindowHandle HeadlessWindow::CreateToolbar(const ToolbarTemplate& toolbar) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (toolbars_.count(kToolbarHandle))
        return 0;
    toolbars_[kToolbarHandle] = toolbar;
    ++toolbarsCreated_;
    return kToolbarHandle;
}

void HeadlessWindow::ChangeToolbarButton(WindowHandle toolbar, const ToolbarButtonChange& change) {
    std::lock_guard<std::mutex> guard(mutex_);
    auto found = toolbars_.find(toolbar);
    if (found == toolbars_.end())
        return;
    toolbarChanges_.push_back(change);
    for (ToolbarButton& button : found->second.buttons) {
        if (button.Separator() || button.id != change.id)
            continue;
        if (change.enabled)
            button.enabled = *change.enabled;
        if (change.checked)
            button.checked = *change.checked;
        if (change.tip)
            button.tip = *change.tip;
    }
}

void HeadlessWindow::MoveChild(WindowHandle child, const RECT& rect) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (auto found = toolbars_.find(child); found != toolbars_.end())
        found->second.rect = rect;
    if (auto found = trees_.find(child); found != trees_.end()) {
        found->second.tree.rect = rect;
        found->second.moves.push_back(rect);
    }
}

RECT HeadlessWindow::ChildRect(WindowHandle child) const {
    std::lock_guard<std::mutex> guard(mutex_);
    if (auto found = trees_.find(child); found != trees_.end())
        return found->second.tree.rect;
    auto found = toolbars_.find(child);
    return found == toolbars_.end() ? RECT{} : found->second.rect;
}

void HeadlessWindow::DestroyChild(WindowHandle child) {
    std::lock_guard<std::mutex> guard(mutex_);
    toolbars_.erase(child);
    trees_.erase(child);
}

WindowHandle HeadlessWindow::CreateTreeView(const TreeViewTemplate& tree) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (trees_.count(kTreeViewHandle))
        return 0;
    ShownTree& shown = trees_[kTreeViewHandle];
    shown.tree = tree;
    shown.moves.push_back(tree.rect);
    return kTreeViewHandle;
}

void HeadlessWindow::ChangeTree(WindowHandle tree, const TreeChange& change) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (auto found = trees_.find(tree); found != trees_.end())
        found->second.changes.push_back(change);
}

void HeadlessWindow::SetTreeRedraw(WindowHandle tree, bool redraw) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (auto found = trees_.find(tree); found != trees_.end())
        found->second.redraw = redraw;
}

std::optional<HeadlessWindow::ShownTree> HeadlessWindow::Tree(WindowHandle tree) const {
    std::lock_guard<std::mutex> guard(mutex_);
    auto found = trees_.find(tree);
    if (found == trees_.end())
        return std::nullopt;
    return found->second;
}

std::uint32_t HeadlessWindow::TrackPopupMenu(const std::vector<MenuItem>& items, POINT point) {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        menus_.push_back(ShownMenu{items, point});
    }
    RunModal([this] { return !menuAnswers_.empty(); });
    std::lock_guard<std::mutex> guard(mutex_);
    if (menuAnswers_.empty())
        return 0;
    const std::uint32_t chosen = menuAnswers_.front();
    menuAnswers_.pop_front();
    // As a real menu: only an item that can be chosen is.
    for (const MenuItem& item : items)
        if (item.id != 0 && item.id == chosen && item.enabled)
            return chosen;
    return 0;
}

HeadlessWindow::ShownDialog* HeadlessWindow::FindDialog(WindowHandle dialog) {
    for (ShownDialog& shown : dialogs_)
        if (shown.handle == dialog)
            return &shown;
    return nullptr;
}

const HeadlessWindow::ShownDialog* HeadlessWindow::FindDialog(WindowHandle dialog) const {
    for (const ShownDialog& shown : dialogs_)
        if (shown.handle == dialog)
            return &shown;
    return nullptr;
}

WindowHandle HeadlessWindow::AddDialog(const DialogTemplate& dialog, DialogClient& client, bool modal) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (dialogClients_.size() >= kOpenDialogLimit)
        return 0;
    const WindowHandle handle = nextDialog_++;
    ShownDialog shown{handle, dialog};
    shown.modal = modal;
    dialogs_.push_back(std::move(shown));
    dialogClients_[handle] = &client;
    return handle;
}

void HeadlessWindow::DropDialog(WindowHandle dialog) {
    dialogClients_.erase(dialog);
    for (auto it = timers_.begin(); it != timers_.end();)
        it = IsDialogTimer(it->first) && DialogOfTimer(it->first) == dialog ? timers_.erase(it) : std::next(it);
}

int HeadlessWindow::RunModalDialog(const DialogTemplate& dialog, DialogClient& client) {
    const WindowHandle handle = AddDialog(dialog, client, true);
    if (handle == 0)
        return IDCANCEL;
    client.OnInitDialog(handle);
    RunModal([this, handle] {
        ShownDialog* shown = FindDialog(handle);
        return !shown || !shown->open;
    });
    std::lock_guard<std::mutex> guard(mutex_);
    DropDialog(handle);
    ShownDialog* shown = FindDialog(handle);
    if (!shown || shown->open) {
        if (shown)
            shown->open = false;
        return IDCANCEL;  // the window closed first
    }
    return shown->endCode;
}

void HeadlessWindow::EndDialog(WindowHandle dialog, int code) {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        ShownDialog* shown = FindDialog(dialog);
        // A modeless dialog ends only with DestroyDialog.
        if (!shown || !shown->open || !shown->modal)
            return;
        shown->open = false;
        shown->endCode = code;
    }
    wake_.notify_all();
}

void HeadlessWindow::ChangeDialogItem(WindowHandle dialog, const DialogItemChange& change) {
    std::lock_guard<std::mutex> guard(mutex_);
    ShownDialog* shown = FindDialog(dialog);
    if (!shown)
        return;
    for (DialogControl& control : shown->dialog.controls) {
        if (control.id != change.control)
            continue;
        if (change.text)
            control.text = *change.text;
        if (change.pos)
            control.pos = *change.pos;
        if (change.enabled)
            control.enabled = *change.enabled;
        if (change.colour && (control.kind == DialogControl::Kind::Swatch || control.kind == DialogControl::Kind::Colour))
            control.colour = *change.colour & 0xFFFFFFu;
    }
}

void HeadlessWindow::SetDialogTitle(WindowHandle dialog, const std::wstring& title) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (ShownDialog* shown = FindDialog(dialog))
        shown->dialog.title = title;
}

void HeadlessWindow::SetDialogTimer(WindowHandle dialog, unsigned id, unsigned periodMs) {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (!dialogClients_.count(dialog))
            return;  // a timer would outlive the dialog it belongs to
    }
    SetTimer(DialogTimerId(dialog, id), periodMs);
}

WindowHandle HeadlessWindow::CreateModelessDialog(const DialogTemplate& dialog, DialogClient& client) {
    const WindowHandle handle = AddDialog(dialog, client, false);
    if (handle != 0)
        client.OnInitDialog(handle);
    return handle;
}

void HeadlessWindow::ShowDialog(WindowHandle dialog, bool visible) {
    std::lock_guard<std::mutex> guard(mutex_);
    ShownDialog* shown = FindDialog(dialog);
    if (shown && shown->open && !shown->modal)
        shown->visible = visible;
}

void HeadlessWindow::DestroyDialog(WindowHandle dialog) {
    DialogClient* client = nullptr;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        ShownDialog* shown = FindDialog(dialog);
        if (!shown || !shown->open || shown->modal)
            return;
        shown->open = false;
        shown->visible = false;
        client = dialogClients_[dialog];
        DropDialog(dialog);
    }
    // Last: the client may delete itself here.
    if (client)
        client->OnDialogDestroyed();
}

}  // namespace zov
