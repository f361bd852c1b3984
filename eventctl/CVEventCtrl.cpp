#include "eventctl/CVEventCtrl.h"

#include "eventctl/CVEventParam.h"
#include "eventctl/EventWatch.h"

#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <mutex>

namespace zov {

const CLSID CLSID_CVEventCtrl = GuidLiteral("{EB37848E-6108-42FE-A2FC-FEA14A0A64B6}");
const IID IID_ICVEventCtrl = GuidLiteral("{0C8AC800-C27F-44C6-BF07-03C68C9CF8F6}");
const IID DIID__ICVEventCtrlEvents = GuidLiteral("{F41991D0-F9B5-4DCF-9B7A-462C82FDA01E}");

namespace {

constexpr DISPID kDispDisplayString = 1;
constexpr DISPID kDispMyCallMethod = 3;
constexpr DISPID kDispAttachObject = 4;
constexpr DISPID kDispOnOpenUrl = 1;
constexpr DISPID kDispMsg = 1;

std::atomic<int> liveControls{0};

const std::vector<DispatchMember>& Table() {
    static const std::vector<DispatchMember> table = {
        {kDispDisplayString, "DisplayString", {}, VarType::String, MemberKind::PropertyGet},
        {kDispDisplayString, "DisplayString", {VarType::String}, VarType::Empty, MemberKind::PropertyPut},
        {kDispMyCallMethod, "MyCallMethod", {}, VarType::Empty},
        {kDispAttachObject, "AttachObject", {VarType::Long}, VarType::Empty},
    };
    return table;
}

const std::vector<DispatchMember>& EventTable() {
    static const std::vector<DispatchMember> table = {
        {kDispOnOpenUrl, "OnOpenUrl", {VarType::Dispatch}, VarType::Empty},
    };
    return table;
}

}  // namespace

// What the control and its watcher thread share. The watcher may outlive
// the control by a little when it does not stop in time, so nothing here
// points into the control.
struct CCVEventCtrl::Watch {
    std::atomic<bool> stop{false};
    std::atomic<std::int32_t> eventId{0};
    std::mutex mutex;
    std::condition_variable wake;
    bool finished = false;  // guarded by mutex
    // Made on the page's thread, taken out by the watcher when it first fires.
    std::vector<InterfaceStream> sinks;
    InterfaceStream param;
    // For the error box; the window is null once the control closed.
    std::shared_ptr<Apartment> home;
    HostWindow* window = nullptr;  // guarded by mutex; not owned
};

namespace {

bool SameFile(const EventFileState& a, const EventFileState& b) {
    return a.nativePath == b.nativePath && a.inode == b.inode && a.size == b.size && a.modified == b.modified;
}

void ShowWatchError(const std::shared_ptr<CCVEventCtrl::Watch>& watch);

void RunWatcher(std::shared_ptr<CCVEventCtrl::Watch> watch) {
    std::vector<IDispatch*> sinks;
    IDispatch* param = nullptr;
    bool unmarshalled = false;
    // A file that could not be deleted fires once, not every pass.
    std::optional<EventFileState> stuck;
    try {
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(watch->mutex);
                watch->wake.wait_for(lock, kWatchPeriod, [&] { return watch->stop.load(); });
            }
            if (watch->stop)
                break;
            const std::int32_t id = watch->eventId;
            if (id == 0)
                continue;
            EventFileState file = ReadEventFile(static_cast<std::uint32_t>(id));
            // An empty file is left where it is and looked at again.
            if (file.kind != EventFileState::Kind::Line)
                continue;
            if (stuck && SameFile(*stuck, file))
                continue;
            const bool deleted = ::unlink(file.nativePath.c_str()) == 0 || errno == ENOENT;
            if (deleted)
                stuck.reset();
            else
                stuck = file;
            if (!unmarshalled) {
                unmarshalled = true;
                for (InterfaceStream& stream : watch->sinks)
                    if (IDispatch* sink = stream.Unmarshal())
                        sinks.push_back(sink);
                param = watch->param.Unmarshal();
            }
            if (!param)
                continue;
            const Variant message[] = {Variant(std::move(file.line))};
            param->Invoke(1, message, nullptr);
            const Variant argument[] = {Variant(param)};
            for (IDispatch* sink : sinks)
                sink->Invoke(kDispOnOpenUrl, argument, nullptr);
        }
    } catch (...) {
        ShowWatchError(watch);
    }
    for (IDispatch* sink : sinks)
        sink->Release();
    if (param)
        param->Release();
    {
        std::lock_guard<std::mutex> guard(watch->mutex);
        watch->finished = true;
    }
    watch->wake.notify_all();
}

void ShowWatchError(const std::shared_ptr<CCVEventCtrl::Watch>& watch) {
    if (!watch->home)
        return;
    watch->home->Post([watch] {
        HostWindow* window;
        {
            std::lock_guard<std::mutex> guard(watch->mutex);
            window = watch->window;
        }
        if (window)
            window->MessageBox(MessageBoxRequest{std::wstring(kWatchErrorText), L"", MB_OK, {}});
    });
}

}  // namespace

CCVEventCtrl::CCVEventCtrl() : param_(new CCVEventParam()) {
    ++liveControls;
}

CCVEventCtrl::~CCVEventCtrl() {
    StopWatcher();
    for (auto& [cookie, sink] : sinks_)
        sink->Release();
    param_->Release();
    --liveControls;
}

int CCVEventCtrl::LiveCount() {
    return liveControls;
}

HRESULT CCVEventCtrl::QueryInterface(const IID& iid, void** object) {
    if (!object)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_ICVEventCtrl)
        *object = static_cast<IDispatch*>(this);
    else if (iid == IID_IOleObject)
        *object = static_cast<IOleObject*>(this);
    else if (iid == IID_IConnectionPointContainer)
        *object = static_cast<IConnectionPointContainer*>(this);
    else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

std::uint32_t CCVEventCtrl::AddRef() {
    return ++references_;
}

std::uint32_t CCVEventCtrl::Release() {
    const std::uint32_t left = --references_;
    if (left == 0)
        delete this;
    return left;
}

std::span<const DispatchMember> CCVEventCtrl::Members() const {
    return Table();
}

HRESULT CCVEventCtrl::GetIDsOfNames(std::string_view name, DISPID& id) const {
    const DispatchMember* member = FindMember(Table(), name);
    if (!member)
        return DISP_E_UNKNOWNNAME;
    id = member->id;
    return S_OK;
}

HRESULT CCVEventCtrl::Invoke(DISPID id, std::span<const Variant> args, Variant* result) {
    const DispatchMember* member = InvokedMember(Table(), id, args.size());
    if (!member)
        return DISP_E_MEMBERNOTFOUND;
    if (HRESULT checked = CheckArguments(*member, args); FAILED(checked))
        return checked;
    try {
        Variant value;
        switch (id) {
        case kDispDisplayString:
            if (member->kind == MemberKind::PropertyPut)
                SetDisplayString(args[0].String());
            else if (displayString_)
                value = Variant(*displayString_);
            break;
        case kDispMyCallMethod: MyCallMethod(); break;
        case kDispAttachObject: AttachObject(args[0].Long()); break;
        default: return DISP_E_MEMBERNOTFOUND;
        }
        if (result)
            *result = std::move(value);
        return S_OK;
    } catch (...) {
        return DISP_E_EXCEPTION;
    }
}

std::span<const DispatchMember> CCVEventCtrl::EventMembers() const {
    return EventTable();
}

HRESULT CCVEventCtrl::Advise(IDispatch* sink, std::uint32_t& cookie) {
    if (!sink)
        return E_POINTER;
    if (sinks_.size() >= kMaxEventSinks)
        return E_FAIL;
    sink->AddRef();
    cookie = nextCookie_++;
    sinks_.emplace_back(cookie, sink);
    return S_OK;
}

HRESULT CCVEventCtrl::Unadvise(std::uint32_t cookie) {
    for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
        if (it->first == cookie) {
            it->second->Release();
            sinks_.erase(it);
            return S_OK;
        }
    }
    return E_INVALIDARG;
}

HRESULT CCVEventCtrl::SetClientSite(HostWindow* window) {
    window_ = window;
    if (apartment_)
        apartment_->Close();
    apartment_ = window ? std::make_shared<Apartment>(*window) : nullptr;
    if (watch_) {
        std::lock_guard<std::mutex> guard(watch_->mutex);
        watch_->window = window;
    }
    return S_OK;
}

HRESULT CCVEventCtrl::Close() {
    StopWatcher();
    if (apartment_)
        apartment_->Close();
    return S_OK;
}

void CCVEventCtrl::SetDisplayString(std::wstring text) {
    displayString_ = std::move(text);
    if (window_)
        window_->Invalidate(false);
}

void CCVEventCtrl::MyCallMethod() {
    param_->SetMsg(L"はろー");
    FireOnThisThread();
}

void CCVEventCtrl::FireOnThisThread() {
    const Variant argument[] = {Variant(static_cast<IDispatch*>(param_))};
    // A sink may disconnect itself while it is called.
    std::vector<std::pair<std::uint32_t, IDispatch*>> sinks = sinks_;
    for (auto& [cookie, sink] : sinks)
        sink->AddRef();
    for (auto& [cookie, sink] : sinks) {
        sink->Invoke(kDispOnOpenUrl, argument, nullptr);
        sink->Release();
    }
}

HRESULT CCVEventCtrl::AttachObject(std::int32_t eventId) {
    if (!watch_)
        StartWatcher();
    if (watch_)
        watch_->eventId = eventId;
    return S_OK;
}

void CCVEventCtrl::StartWatcher() {
    auto watch = std::make_shared<Watch>();
    // The sinks and the parameter object go to the watcher as streams: the
    // watcher's calls come back to this thread.
    if (apartment_) {
        for (auto& [cookie, sink] : sinks_) {
            if (watch->sinks.size() >= kMaxEventSinks)
                break;
            watch->sinks.emplace_back(sink, apartment_);
        }
        watch->param = InterfaceStream(param_, apartment_);
    }
    watch->home = apartment_;
    watch->window = window_;
    watcher_ = std::thread(RunWatcher, watch);
    watch_ = std::move(watch);
}

void CCVEventCtrl::StopWatcher() {
    if (!watch_)
        return;
    watch_->stop = true;
    watch_->wake.notify_all();
    bool finished;
    {
        std::unique_lock<std::mutex> lock(watch_->mutex);
        finished = watch_->wake.wait_for(lock, kWatcherStopWait, [&] { return watch_->finished; });
        watch_->window = nullptr;
    }
    // A watcher that did not end in time ends on its own later; it holds
    // only what it shares with us.
    if (watcher_.joinable()) {
        if (finished)
            watcher_.join();
        else
            watcher_.detach();
    }
    watch_.reset();
}

}  // namespace zov
