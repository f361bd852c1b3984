#include "host/WebWindow.h"

#include "host/DropStaging.h"
#include "host/EventSink.h"
#include "host/Protocol.h"
#include "platform/Encoding.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstring>
#include <random>

namespace zov::host {

namespace {

using Json = nlohmann::json;

const char* CursorName(int cursorId) {
    switch (cursorId) {
    case IDC_HAND: return "pointer";
    case IDC_IBEAM: return "text";
    case IDC_WAIT: return "wait";
    case IDC_CROSS: return "crosshair";
    case IDC_SIZEALL: return "move";
    case IDC_SIZEWE: return "ew-resize";
    case IDC_SIZENS: return "ns-resize";
    case IDC_SIZENWSE: return "nwse-resize";
    case IDC_SIZENESW: return "nesw-resize";
    case IDC_NO: return "not-allowed";
    case IDC_ARROW:
    default: return "default";
    }
}

const char* BarName(int bar) {
    return bar == SB_HORZ ? "h" : "v";
}

// The live windows by handle: the desktop's window list, as far as this
// container's windows go. Handles are random so that the windows of two
// containers of one user (who share the coordination files) differ too.
std::mutex liveMutex;
std::map<std::uint32_t, WebWindow*> liveWindows;

std::uint32_t TakeWindowHandle(WebWindow* window) {
    static std::mt19937 random{std::random_device{}()};
    std::lock_guard<std::mutex> guard(liveMutex);
    for (;;) {
        const std::uint32_t handle = static_cast<std::uint32_t>(random());
        if (handle != 0 && liveWindows.emplace(handle, window).second)
            return handle;
    }
}

}  // namespace

WebWindow::WebWindow(std::uint32_t element, std::shared_ptr<ElementLink> link, SIZE size, POINT screenOrigin,
                     unsigned dpi)
    : element_(element), handle_(TakeWindowHandle(this)), link_(std::move(link)), size_(size), origin_(screenOrigin),
      dpi_(dpi) {
    for (SCROLLINFO& bar : bars_) {
        bar.nMin = 0;
        bar.nMax = 0;
        bar.nPage = 0;
        bar.nPos = 0;
    }
    if (FrameTrace::Enabled())
        trace_.emplace();
}

WebWindow::~WebWindow() {
    {
        std::lock_guard<std::mutex> guard(liveMutex);
        liveWindows.erase(handle_);
    }
    Destroy();
    Join();
}

void WebWindow::Start(IClassFactory* factory, std::uint32_t initialCommand, CreatedHandler created) {
    thread_ = std::thread([this, factory, initialCommand, created = std::move(created)] {
        Run(factory, initialCommand, created);
    });
}

void WebWindow::Run(IClassFactory* factory, std::uint32_t initialCommand, const CreatedHandler& created) {
    threadId_ = std::this_thread::get_id();
    void* made = nullptr;
    HRESULT result = factory ? factory->CreateInstance(nullptr, IID_IDispatch, &made) : E_POINTER;
    if (FAILED(result) || !made) {
        created({}, "the control could not be created");
        return;
    }
    dispatch_ = static_cast<IDispatch*>(made);
    void* ole = nullptr;
    if (FAILED(dispatch_->QueryInterface(IID_IOleObject, &ole)) || !ole) {
        Release();
        created({}, "the object is not a control");
        return;
    }
    object_ = static_cast<IOleObject*>(ole);
    object_->SetClientSite(this);
    client_ = object_->Client();
    ConnectEvents();
    if (initialCommand != 0)
        client_->OnCommand(initialCommand);
    const SIZE size = ClientSize();
    client_->OnSize(SIZE_RESTORED, size.cx, size.cy);
    created(dispatch_->Members(), {});
    Invalidate(false);
    RunUntil(nullptr);
    Release();
}

void WebWindow::ConnectEvents() {
    void* container = nullptr;
    if (FAILED(dispatch_->QueryInterface(IID_IConnectionPointContainer, &container)) || !container)
        return;
    events_ = static_cast<IConnectionPointContainer*>(container);
    sink_ = new EventSink(element_, link_, events_->EventMembers());
    if (FAILED(events_->Advise(sink_, sinkCookie_)))
        sinkCookie_ = 0;
}

void WebWindow::DisconnectEvents() {
    if (sink_)
        sink_->Disconnect();
    if (events_) {
        if (sinkCookie_ != 0)
            events_->Unadvise(sinkCookie_);
        events_->Release();
        events_ = nullptr;
    }
    if (sink_) {
        sink_->Release();
        sink_ = nullptr;
    }
}

void WebWindow::Release() {
    DisconnectEvents();
    if (object_) {
        object_->Close();
        // The control had its chance to close its dialogs; the rest go with
        // the window, while the control that made them still lives.
        DestroyModelessDialogs();
        object_->SetClientSite(nullptr);
        object_->Release();
        object_ = nullptr;
    }
    client_ = nullptr;
    if (dispatch_) {
        dispatch_->Release();
        dispatch_ = nullptr;
    }
}

bool WebWindow::ActivateWindow(std::uint32_t handle) {
    std::lock_guard<std::mutex> guard(liveMutex);
    auto found = liveWindows.find(handle);
    if (found == liveWindows.end())
        return false;
    // The page of that window raises itself as far as its browser lets it.
    found->second->link_->SendText(Json({{"t", "focus"}, {"el", found->second->element_}}).dump());
    return true;
}

bool WebWindow::OpenWindow(LaunchPage page) {
    return link_->OpenWindow(element_, std::move(page));
}

bool WebWindow::PostMessage(std::function<void()> work, MessageKind kind) {
    {
        std::lock_guard lock(mutex_);
        if (closing_)
            return false;
        if (kind == MessageKind::Input) {
            if (pendingInput_ >= kPendingInputLimit)
                return true;
            ++pendingInput_;
        }
        tasks_.push_back(Task{std::move(work), kind});
    }
    wake_.notify_one();
    return true;
}

void WebWindow::Destroy() {
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    wake_.notify_one();
}

void WebWindow::Join() {
    if (thread_.joinable() && std::this_thread::get_id() != thread_.get_id())
        thread_.join();
}

void WebWindow::RunUntil(const std::function<bool()>& done) {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (closing_)
            return;
        if (done) {
            lock.unlock();
            const bool finished = done();
            lock.lock();
            if (finished)
                return;
        }
        if (std::optional<Task> task = NextTask()) {
            lock.unlock();
            try {
                task->work();
            } catch (...) {
                // A message that fails is dropped; the window goes on.
            }
            lock.lock();
            continue;
        }
        if (invalid_) {
            invalid_ = false;
            lock.unlock();
            Paint();
            lock.lock();
            continue;
        }
        const Clock::time_point now = Clock::now();
        auto next = timers_.end();
        for (auto it = timers_.begin(); it != timers_.end(); ++it)
            if (next == timers_.end() || it->second.due < next->second.due)
                next = it;
        if (next != timers_.end() && next->second.due <= now) {
            const unsigned id = next->first;
            next->second.due = now + next->second.period;
            lock.unlock();
            DeliverTimer(id);
            lock.lock();
            continue;
        }
        if (const std::int64_t repair = repairDue_.load(); repair != 0) {
            const Clock::time_point due{Clock::duration{repair}};
            if (due <= now) {
                std::int64_t expected = repair;
                repairDue_.compare_exchange_strong(expected, 0);
                lock.unlock();
                RequestRepair();
                lock.lock();
                continue;
            }
            if (next == timers_.end() || due < next->second.due) {
                wake_.wait_until(lock, due);
                continue;
            }
        }
        if (next != timers_.end())
            wake_.wait_until(lock, next->second.due);
        else
            wake_.wait(lock);
    }
}

std::optional<WebWindow::Task> WebWindow::NextTask() {
    for (auto it = tasks_.begin(); it != tasks_.end();) {
        if (it->kind == MessageKind::Input && modalDepth_ > 0) {
            it = tasks_.erase(it);
            --pendingInput_;
            continue;
        }
        if (it->kind == MessageKind::Call && modalDepth_ > 0) {
            ++it;
            continue;
        }
        Task task = std::move(*it);
        tasks_.erase(it);
        if (task.kind == MessageKind::Input)
            --pendingInput_;
        return task;
    }
    return std::nullopt;
}

void WebWindow::DeliverTimer(unsigned id) {
    if (IsDialogTimer(id)) {
        auto found = dialogs_.find(DialogOfTimer(id));
        if (found != dialogs_.end() && !found->second.ended)
            found->second.client->OnDialogTimer(id & 0xFFu);
        return;
    }
    if (client_)
        client_->OnTimer(id);
}

void WebWindow::Paint() {
    if (!client_)
        return;
    const SIZE size = ClientSize();
    client_->OnPaint(RECT{0, 0, size.cx, size.cy});
}

void WebWindow::DeliverSize(std::int32_t width, std::int32_t height, POINT screenOrigin, unsigned dpi) {
    bool dpiChanged;
    {
        std::lock_guard lock(mutex_);
        size_ = SIZE{width, height};
        origin_ = screenOrigin;
        dpiChanged = dpi != dpi_;
        dpi_ = dpi;
    }
    if (client_ && dpiChanged)
        client_->OnDpiChanged(dpi);
    if (client_)
        client_->OnSize(SIZE_RESTORED, width, height);
    Invalidate(false);
}

void WebWindow::DeliverMouse(const std::string& event, std::uint32_t keys, POINT point) {
    if (!client_)
        return;
    if (event == "down")
        client_->OnLButtonDown(keys, point);
    else if (event == "up")
        client_->OnLButtonUp(keys, point);
    else if (event == "move")
        client_->OnMouseMove(keys, point);
    else if (event == "rup")
        client_->OnRButtonUp(keys, point);
    // "rdown" has no handler in the control; the menu opens on release.
    if (event == "move" || event == "down")
        client_->OnSetCursor();
}

void WebWindow::DeliverWheel(std::uint32_t keys, std::int16_t delta, POINT screenPoint) {
    if (client_)
        client_->OnMouseWheel(keys, delta, screenPoint);
}

void WebWindow::DeliverKey(std::uint32_t virtualKey, std::uint32_t keys) {
    if (client_)
        client_->OnKeyDown(virtualKey, keys);
}

void WebWindow::DeliverMotionSetting(bool reduced) {
    if (client_)
        client_->OnMotionSetting(reduced);
}

void WebWindow::DeliverScroll(int bar, int code, std::int32_t position) {
    if (!client_)
        return;
    if (code == SB_THUMBTRACK || code == SB_THUMBPOSITION) {
        std::lock_guard lock(mutex_);
        bars_[bar].nTrackPos = position;
    }
    if (bar == SB_HORZ)
        client_->OnHScroll(code);
    else
        client_->OnVScroll(code);
}

void WebWindow::DeliverAnswer(std::uint32_t question, int answer) {
    // Only questions asked and not yet answered count.
    if (question == 0 || question > lastQuestion_)
        return;
    answers_.emplace(question, answer);
}

void WebWindow::DeliverChildEvent(WindowHandle child, std::int32_t control, const std::string& event,
                                  const DialogValues& values, COLORREF colour) {
    if (!client_)
        return;
    if (child == kToolbarHandle) {
        if (!toolbar_)
            return;
        // Only a button the toolbar shows enabled can be pressed.
        const auto button = std::find_if(toolbar_->buttons.begin(), toolbar_->buttons.end(),
                                         [&](const ToolbarButton& b) { return !b.Separator() && b.id == control; });
        if (button == toolbar_->buttons.end() || !button->enabled)
            return;
        if (event == "click")
            client_->OnCommand(static_cast<std::uint32_t>(control));
        else if (event == "dropdown" && button->dropdown)
            client_->OnToolbarDropDown(control);
        return;
    }
    auto found = dialogs_.find(child);
    if (found == dialogs_.end() || found->second.ended)
        return;
    OpenDialog& dialog = found->second;
    // A modeless dialog stands behind a modal box, menu or dialog as the
    // window does: what the page says of it then is not taken.
    if (!dialog.modal && modalDepth_ > 0)
        return;
    if (event == "activate") {
        dialog.client->OnDialogActivate();
        return;
    }
    if (event == "colour") {
        auto chooser = dialog.controls.find(control);
        if (chooser == dialog.controls.end() || chooser->second.first != DialogControl::Kind::Colour ||
            !chooser->second.second)
            return;
        dialog.client->OnDialogColour(control, colour);
        return;
    }
    if (event == "click")
        dialog.client->OnDialogCommand(control, values);
}

void WebWindow::DeliverVisible(bool visible) {
    visible_ = visible;
}

bool WebWindow::IsVisible() const {
    return visible_;
}

void WebWindow::DeliverVerb(const std::string& verb) {
    if (client_ && verb == "properties")
        client_->OnProperties();
}

HRESULT WebWindow::Invoke(DISPID id, std::span<const Variant> args, Variant& result) {
    if (!dispatch_)
        return E_UNEXPECTED;
    return dispatch_->Invoke(id, args, &result);
}

void WebWindow::DeliverDrop(std::shared_ptr<DropStaging> staging) {
    if (client_ && staging)
        client_->OnDropFiles(staging->Paths());
    staging.reset();
}

std::optional<EncodedFrame> WebWindow::TakeFrame() {
    std::uint32_t next = 0;
    {
        std::lock_guard lock(frameMutex_);
        if (!dirty_ || !MaySendLocked())
            return std::nullopt;
        // Encoded outside the lock so that presenting never waits for it.
        // The pictures trade places rather than copy: the next present
        // writes the whole window, or first takes the rest from here.
        // A repair with no new picture encodes the newest one again.
        if (!currentStale_)
            std::swap(snapshot_, current_);
        currentStale_ = true;
        dirty_ = false;
        encoding_ = true;
        next = sequence_ + 1;
    }
    const FrameTrace::Clock::time_point began = FrameTrace::Clock::now();
    EncodedFrame frame = EncodeFrame(element_, next, snapshot_, sent_, &history_);
    const bool lossy = history_.lossyTiles > 0;
    repairDue_ = lossy ? (Clock::now() + kRepairDelay).time_since_epoch().count() : 0;
    if (lossy) {
        // Taken first, so that the window thread is either waiting already
        // or yet to read the time.
        { std::lock_guard wait(mutex_); }
        wake_.notify_one();
    }
    bool again = false;
    {
        std::lock_guard lock(frameMutex_);
        if (trace_)
            trace_->Encoded(next, began, FrameTrace::Clock::now(), frame.bytes.size(), frame.tiles);
        encoding_ = false;
        lossy_ = lossy;
        if (frame.tiles != 0)
            ++sequence_;
        // A picture presented while this one was encoded found the encoder
        // busy and told no one: it is told now, while credit remains.
        again = dirty_ && MaySendLocked();
    }
    if (again)
        link_->FrameReady(element_);
    if (frame.tiles == 0)
        return std::nullopt;
    return frame;
}

void WebWindow::RequestRepair() {
    bool notify = false;
    {
        std::lock_guard lock(frameMutex_);
        // An encoding under way sets the next time itself.
        if (!lossy_ || encoding_)
            return;
        dirty_ = true;
        notify = MaySendLocked();
    }
    if (notify)
        link_->FrameReady(element_);
}

void WebWindow::FrameAcked(std::uint32_t sequence) {
    bool again = false;
    {
        std::lock_guard lock(frameMutex_);
        // Acknowledgements are cumulative; one for a frame never sent, or
        // older than the last, changes nothing.
        if (sequence > sequence_ || sequence <= acked_)
            return;
        acked_ = sequence;
        if (trace_)
            trace_->Acked(element_, sequence, FrameTrace::Clock::now());
        again = dirty_ && MaySendLocked();
    }
    if (again)
        link_->FrameReady(element_);
}

SIZE WebWindow::ClientSize() const {
    std::lock_guard lock(mutex_);
    return size_;
}

unsigned WebWindow::Dpi() const {
    std::lock_guard lock(mutex_);
    return dpi_;
}

POINT WebWindow::ClientToScreen(POINT point) const {
    std::lock_guard lock(mutex_);
    return POINT{point.x + origin_.x, point.y + origin_.y};
}

POINT WebWindow::ScreenToClient(POINT point) const {
    std::lock_guard lock(mutex_);
    return POINT{point.x - origin_.x, point.y - origin_.y};
}

void WebWindow::SetTimer(unsigned id, unsigned periodMs) {
    {
        std::lock_guard lock(mutex_);
        const auto period = std::chrono::milliseconds(std::max(1u, periodMs));
        timers_[id] = Timer{period, Clock::now() + period};
    }
    wake_.notify_one();
}

void WebWindow::KillTimer(unsigned id) {
    std::lock_guard lock(mutex_);
    timers_.erase(id);
}

void WebWindow::Invalidate(bool) {
    {
        std::lock_guard lock(mutex_);
        invalid_ = true;
    }
    wake_.notify_one();
}

void WebWindow::Update() {
    if (std::this_thread::get_id() != threadId_)
        return;
    bool paint = false;
    {
        std::lock_guard lock(mutex_);
        paint = invalid_;
        invalid_ = false;
    }
    if (paint)
        Paint();
}

void WebWindow::Present(const FrameView& frame, const RECT* part) {
    if (!frame.pixels || frame.width <= 0 || frame.height <= 0)
        return;
    bool notify = false;
    {
        std::lock_guard lock(frameMutex_);
        const auto width = static_cast<std::size_t>(frame.width);
        const std::size_t count = width * static_cast<std::size_t>(frame.height);
        // After a frame was taken, current_ holds an older picture than the
        // encoder's (which only reads it): a part is drawn on the newest.
        const Picture& newest = currentStale_ ? snapshot_ : current_;
        RECT area{0, 0, frame.width, frame.height};
        // A new size needs the whole picture.
        if (part && newest.width == frame.width && newest.height == frame.height) {
            area = RECT{std::max(0, part->left), std::max(0, part->top), std::min(frame.width, part->right),
                        std::min(frame.height, part->bottom)};
            if (area.right <= area.left || area.bottom <= area.top)
                return;
        }
        const bool whole =
            area.left == 0 && area.top == 0 && area.right == frame.width && area.bottom == frame.height;
        if (!whole && currentStale_) {
            current_ = snapshot_;
        } else if (current_.width != frame.width || current_.height != frame.height) {
            current_.width = frame.width;
            current_.height = frame.height;
            current_.pixels.assign(count, 0);
        }
        currentStale_ = false;
        for (std::int32_t row = area.top; row < area.bottom; ++row) {
            const std::size_t at = static_cast<std::size_t>(row) * width + static_cast<std::size_t>(area.left);
            std::memcpy(&current_.pixels[at], frame.pixels + at,
                        static_cast<std::size_t>(area.right - area.left) * sizeof(std::uint32_t));
        }
        dirty_ = true;
        if (lossy_)
            repairDue_ = (Clock::now() + kRepairDelay).time_since_epoch().count();
        if (trace_)
            trace_->Presented(FrameTrace::Clock::now());
        notify = MaySendLocked();
    }
    if (notify)
        link_->FrameReady(element_);
}

bool WebWindow::GetScrollInfo(int bar, SCROLLINFO& info) const {
    if (bar != SB_HORZ && bar != SB_VERT)
        return false;
    std::lock_guard lock(mutex_);
    ReadScrollInfo(bars_[bar], info);
    return true;
}

void WebWindow::SetScrollInfo(int bar, const SCROLLINFO& info, bool) {
    if (bar != SB_HORZ && bar != SB_VERT)
        return;
    Json message;
    {
        std::lock_guard lock(mutex_);
        SCROLLINFO& stored = bars_[bar];
        const SCROLLINFO before = stored;
        ApplyScrollInfo(stored, info);
        if (barsSent_[bar] && before.nMin == stored.nMin && before.nMax == stored.nMax &&
            before.nPage == stored.nPage && before.nPos == stored.nPos)
            return;
        barsSent_[bar] = true;
        message = {{"t", "scrollInfo"}, {"el", element_},      {"bar", BarName(bar)}, {"min", stored.nMin},
                   {"max", stored.nMax}, {"page", stored.nPage}, {"pos", stored.nPos}};
    }
    link_->SendText(message.dump());
}

void WebWindow::EnableScrollBar(int bar, std::uint32_t arrows) {
    if (bar != SB_HORZ && bar != SB_VERT)
        return;
    Json message = {{"t", "scrollEnable"}, {"el", element_}, {"bar", BarName(bar)}, {"arrows", arrows}};
    link_->SendText(message.dump());
}

void WebWindow::SetCursor(int cursorId) {
    const std::string name = CursorName(cursorId);
    if (name == cursor_)
        return;
    cursor_ = name;
    Json message = {{"t", "cursor"}, {"el", element_}, {"c", name}};
    link_->SendText(message.dump());
}

void WebWindow::DescribeScreen(const ScreenDescription& description) {
    // Captions and page texts are the documents' own; a broken one is
    // replaced, not a reason to fail.
    auto dump = [](const Json& json) { return json.dump(-1, ' ', false, Json::error_handler_t::replace); };
    // The list and the texts go only when they change; the points that open
    // the books move with every scroll and go each time, compactly.
    Json books = Json::array();
    Json clicks = Json::array();
    for (const DescribedBook& book : description.books) {
        books.push_back({{"caption", ToUtf8(book.caption)}, {"pages", book.pages}, {"selected", book.selected}});
        clicks.push_back(book.click.x >= 0 ? Json::array({book.click.x, book.click.y}) : Json());
    }
    Json pages = Json::array();
    for (const DescribedPage& page : description.openPages) {
        Json entry = {{"n", page.number}};
        if (page.read)
            entry["text"] = ToUtf8(page.text);
        pages.push_back(std::move(entry));
    }
    Json message = {{"t", "screen"}, {"el", element_}, {"zoomed", description.zoomed}, {"clicks", std::move(clicks)}};
    std::string booksText = dump(books), pagesText = dump(pages);
    if (booksText != describedBooks_) {
        message["books"] = std::move(books);
        describedBooks_ = std::move(booksText);
    }
    if (pagesText != describedPages_) {
        message["pages"] = std::move(pages);
        describedPages_ = std::move(pagesText);
    }
    link_->SendText(dump(message));
}

void WebWindow::Post(std::function<void()> work) {
    PostMessage(std::move(work));
}

bool WebWindow::CanAsk() const {
    return std::this_thread::get_id() == threadId_ && modalDepth_ < kModalDepthLimit;
}

std::optional<int> WebWindow::Ask(const std::string& message, std::uint32_t question) {
    link_->SendText(message);
    ++modalDepth_;
    RunUntil([this, question] { return answers_.count(question) != 0; });
    --modalDepth_;
    auto answer = answers_.find(question);
    if (answer == answers_.end())
        return std::nullopt;  // the window closed first
    const int result = answer->second;
    answers_.erase(answer);
    return result;
}

int WebWindow::MessageBox(const MessageBoxRequest& request) {
    if (!CanAsk())
        return IDCANCEL;
    const std::uint32_t question = ++lastQuestion_;
    Json buttons = Json::array();
    for (const std::wstring& label : request.buttonLabels)
        buttons.push_back(ToUtf8(label));
    Json message = {{"t", "messageBox"},       {"el", element_},  {"id", question},
                    {"text", ToUtf8(request.text)}, {"caption", ToUtf8(request.caption)},
                    {"type", request.type},   {"buttons", buttons}};
    return Ask(message.dump(), question).value_or(IDCANCEL);
}

std::uint32_t WebWindow::SendImageList(const ImageList& list) {
    const std::uint32_t handle = ++lastImageList_;
    const std::size_t count =
        list.imageWidth > 0 && list.imageHeight > 0
            ? list.pixels.size() / (static_cast<std::size_t>(list.imageWidth) * static_cast<std::size_t>(list.imageHeight))
            : 0;
    std::string bytes(20 + list.pixels.size() * 4, '\0');
    auto put = [&bytes](std::size_t at, std::uint64_t value, int size) {
        for (int i = 0; i < size; ++i)
            bytes[at + static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    put(0, 2, 1);
    put(4, element_, 4);
    put(8, handle, 4);
    put(12, static_cast<std::uint32_t>(list.imageWidth), 2);
    put(14, static_cast<std::uint32_t>(list.imageHeight), 2);
    put(16, count, 4);
    // The strip is count images wide; the pixels arrive as 0xAARRGGBB words
    // with the alpha a picture file gave them.
    std::size_t at = 20;
    for (const std::uint32_t pixel : list.pixels) {
        bytes[at++] = static_cast<char>((pixel >> 16) & 0xFF);
        bytes[at++] = static_cast<char>((pixel >> 8) & 0xFF);
        bytes[at++] = static_cast<char>(pixel & 0xFF);
        bytes[at++] = static_cast<char>((pixel >> 24) & 0xFF);
    }
    link_->SendBinary(std::move(bytes));
    return handle;
}

namespace {

Json ButtonJson(const ToolbarButton& button) {
    if (button.Separator())
        return {{"sep", true}};
    return {{"id", button.id},           {"image", button.image},     {"tip", ToUtf8(button.tip)},
            {"enabled", button.enabled}, {"checked", button.checked}, {"dropdown", button.dropdown}};
}

const char* ControlClass(DialogControl::Kind kind) {
    switch (kind) {
    case DialogControl::Kind::Edit: return "edit";
    case DialogControl::Kind::Button: return "button";
    case DialogControl::Kind::Progress: return "progress";
    case DialogControl::Kind::Swatch: return "swatch";
    case DialogControl::Kind::Colour: return "colour";
    default: return "static";
    }
}

bool HasColour(DialogControl::Kind kind) {
    return kind == DialogControl::Kind::Swatch || kind == DialogControl::Kind::Colour;
}

// 0x00BBGGRR as the page writes colours: "#rrggbb".
std::string ColourText(COLORREF colour) {
    static const char digits[] = "0123456789abcdef";
    std::string text = "#";
    for (const unsigned shift : {0u, 8u, 16u}) {
        const unsigned byte = (colour >> shift) & 0xFFu;
        text += digits[byte >> 4];
        text += digits[byte & 0xFu];
    }
    return text;
}

Json DialogMessage(std::uint32_t element, WindowHandle handle, const DialogTemplate& dialog, bool modal) {
    Json controls = Json::array();
    for (const DialogControl& control : dialog.controls) {
        Json item = {{"id", control.id}, {"class", ControlClass(control.kind)}, {"text", ToUtf8(control.text)}};
        if (control.focus)
            item["focus"] = true;
        if (control.isDefault)
            item["default"] = true;
        if (!control.enabled)
            item["enabled"] = false;
        if (control.kind == DialogControl::Kind::Edit && control.multiline)
            item["multiline"] = true;
        if (HasColour(control.kind))
            item["colour"] = ColourText(control.colour);
        if (control.kind == DialogControl::Kind::Progress) {
            item["min"] = control.min;
            item["max"] = control.max;
            item["pos"] = control.pos;
        }
        controls.push_back(item);
    }
    Json message = {{"t", "child"},   {"el", element},         {"h", handle},       {"kind", "dialog"},
                    {"modal", modal}, {"resource", dialog.resource}, {"title", ToUtf8(dialog.title)},
                    {"controls", controls}};
    if (!dialog.tabs.empty()) {
        Json tabs = Json::array();
        for (const std::wstring& tab : dialog.tabs)
            tabs.push_back(ToUtf8(tab));
        message["tabs"] = tabs;
    }
    return message;
}

}  // namespace

WindowHandle WebWindow::CreateToolbar(const ToolbarTemplate& toolbar) {
    if (toolbar_)
        return 0;
    const std::uint32_t images = SendImageList(toolbar.images);
    const std::uint32_t disabled = SendImageList(toolbar.disabledImages);
    Json buttons = Json::array();
    for (const ToolbarButton& button : toolbar.buttons)
        buttons.push_back(ButtonJson(button));
    Json message = {{"t", "child"},        {"el", element_},          {"h", kToolbarHandle},
                    {"kind", "toolbar"},   {"rect", RectJson(toolbar.rect)}, {"image", toolbar.imageSide},
                    {"images", images},    {"disabledImages", disabled}, {"buttons", buttons}};
    if (toolbar.scale != 1.0)
        message["scale"] = toolbar.scale;
    link_->SendText(message.dump());
    toolbar_ = toolbar;
    return kToolbarHandle;
}

void WebWindow::ChangeToolbarButton(WindowHandle toolbar, const ToolbarButtonChange& change) {
    if (toolbar != kToolbarHandle || !toolbar_)
        return;
    Json message = {{"t", "childUpdate"}, {"el", element_}, {"h", toolbar}, {"button", change.id}};
    for (ToolbarButton& button : toolbar_->buttons) {
        if (button.Separator() || button.id != change.id)
            continue;
        if (change.enabled) {
            button.enabled = *change.enabled;
            message["enabled"] = *change.enabled;
        }
        if (change.checked) {
            button.checked = *change.checked;
            message["checked"] = *change.checked;
        }
        if (change.tip) {
            button.tip = *change.tip;
            message["tip"] = ToUtf8(*change.tip);
        }
        link_->SendText(message.dump());
        return;
    }
}

void WebWindow::MoveChild(WindowHandle child, const RECT& rect) {
    if (child == kTreeViewHandle && tree_) {
        tree_->rect = rect;
        return SendChildRect(child, rect);
    }
    if (child != kToolbarHandle || !toolbar_)
        return;
    toolbar_->rect = rect;
    SendChildRect(child, rect);
}

void WebWindow::SendChildRect(WindowHandle child, const RECT& rect) {
    link_->SendText(Json({{"t", "childUpdate"}, {"el", element_}, {"h", child}, {"rect", RectJson(rect)}}).dump());
}

RECT WebWindow::ChildRect(WindowHandle child) const {
    if (child == kTreeViewHandle)
        return tree_ ? tree_->rect : RECT{};
    return child == kToolbarHandle && toolbar_ ? toolbar_->rect : RECT{};
}

void WebWindow::DestroyChild(WindowHandle child) {
    if (child == kTreeViewHandle && tree_)
        tree_.reset();
    else if (child == kToolbarHandle && toolbar_)
        toolbar_.reset();
    else
        return;
    link_->SendText(Json({{"t", "childDestroy"}, {"el", element_}, {"h", child}}).dump());
}

std::uint32_t WebWindow::TrackPopupMenu(const std::vector<MenuItem>& items, POINT point) {
    if (!CanAsk())
        return 0;
    const std::uint32_t question = ++lastQuestion_;
    Json list = Json::array();
    for (const MenuItem& item : items) {
        if (item.id == 0)
            list.push_back({{"sep", true}});
        else
            list.push_back(
                {{"id", item.id}, {"text", ToUtf8(item.text)}, {"checked", item.checked}, {"enabled", item.enabled}});
    }
    Json message = {{"t", "menu"}, {"el", element_}, {"id", question}, {"x", point.x}, {"y", point.y}, {"items", list}};
    const std::optional<int> chosen = Ask(message.dump(), question);
    if (!chosen)
        return 0;
    // Only an item the menu offers, and not greyed, can be chosen.
    for (const MenuItem& item : items)
        if (item.id != 0 && item.enabled && static_cast<std::int64_t>(item.id) == *chosen)
            return item.id;
    return 0;
}

WindowHandle WebWindow::OpenNewDialog(const DialogTemplate& dialog, DialogClient& client, bool modal) {
    if (std::this_thread::get_id() != threadId_ || dialogs_.size() >= kOpenDialogLimit)
        return 0;
    const WindowHandle handle = nextDialog_++;
    link_->SendText(DialogMessage(element_, handle, dialog, modal).dump());
    OpenDialog& open = dialogs_[handle];
    open.client = &client;
    open.modal = modal;
    for (const DialogControl& control : dialog.controls)
        open.controls.emplace(control.id, std::make_pair(control.kind, control.enabled));
    return handle;
}

void WebWindow::CloseDialog(WindowHandle dialog) {
    dialogs_.erase(dialog);
    {
        std::lock_guard lock(mutex_);
        for (auto it = timers_.begin(); it != timers_.end();)
            it = IsDialogTimer(it->first) && DialogOfTimer(it->first) == dialog ? timers_.erase(it) : std::next(it);
    }
    link_->SendText(Json({{"t", "childDestroy"}, {"el", element_}, {"h", dialog}}).dump());
}

int WebWindow::RunModalDialog(const DialogTemplate& dialog, DialogClient& client) {
    if (!CanAsk())
        return IDCANCEL;
    const WindowHandle handle = OpenNewDialog(dialog, client, true);
    if (handle == 0)
        return IDCANCEL;
    ++modalDepth_;
    client.OnInitDialog(handle);
    RunUntil([this, handle] { return dialogs_[handle].ended; });
    --modalDepth_;
    const int code = dialogs_[handle].ended ? dialogs_[handle].code : IDCANCEL;
    CloseDialog(handle);
    return code;
}

WindowHandle WebWindow::CreateModelessDialog(const DialogTemplate& dialog, DialogClient& client) {
    const WindowHandle handle = OpenNewDialog(dialog, client, false);
    if (handle != 0)
        client.OnInitDialog(handle);
    return handle;
}

void WebWindow::ShowDialog(WindowHandle dialog, bool visible) {
    auto found = dialogs_.find(dialog);
    if (found == dialogs_.end() || found->second.modal || found->second.visible == visible)
        return;
    found->second.visible = visible;
    link_->SendText(Json({{"t", "childUpdate"}, {"el", element_}, {"h", dialog}, {"visible", visible}}).dump());
}

void WebWindow::DestroyDialog(WindowHandle dialog) {
    auto found = dialogs_.find(dialog);
    if (found == dialogs_.end() || found->second.modal)
        return;
    DialogClient* client = found->second.client;
    CloseDialog(dialog);
    // Last: the client may delete itself here.
    client->OnDialogDestroyed();
}

void WebWindow::DestroyModelessDialogs() {
    for (;;) {
        auto left = std::find_if(dialogs_.begin(), dialogs_.end(), [](const auto& d) { return !d.second.modal; });
        if (left == dialogs_.end())
            return;
        DestroyDialog(left->first);
    }
}

void WebWindow::EndDialog(WindowHandle dialog, int code) {
    auto found = dialogs_.find(dialog);
    // A modeless dialog ends only with DestroyDialog.
    if (found == dialogs_.end() || found->second.ended || !found->second.modal)
        return;
    found->second.ended = true;
    found->second.code = code;
}

void WebWindow::ChangeDialogItem(WindowHandle dialog, const DialogItemChange& change) {
    auto found = dialogs_.find(dialog);
    if (found == dialogs_.end())
        return;
    auto control = found->second.controls.find(change.control);
    Json message = {{"t", "childUpdate"}, {"el", element_}, {"h", dialog}, {"ctl", change.control}};
    if (change.text)
        message["text"] = ToUtf8(*change.text);
    if (change.pos)
        message["pos"] = *change.pos;
    if (change.enabled) {
        message["enabled"] = *change.enabled;
        if (control != found->second.controls.end())
            control->second.second = *change.enabled;
    }
    if (change.colour && control != found->second.controls.end() && HasColour(control->second.first))
        message["colour"] = ColourText(*change.colour);
    link_->SendText(message.dump());
}

void WebWindow::SetDialogTitle(WindowHandle dialog, const std::wstring& title) {
    if (!dialogs_.count(dialog))
        return;
    link_->SendText(Json({{"t", "childUpdate"}, {"el", element_}, {"h", dialog}, {"title", ToUtf8(title)}}).dump());
}

void WebWindow::SetDialogTimer(WindowHandle dialog, unsigned id, unsigned periodMs) {
    if (dialogs_.count(dialog))
        SetTimer(DialogTimerId(dialog, id), periodMs);
}

}  // namespace zov::host
