// The event relay control: it watches the event file of one viewer instance
// and raises OnOpenUrl on its page's thread with the address the viewer
// wrote, so that the page can open it.
#pragma once

#include "platform/HostWindow.h"
#include "platform/com/Com.h"
#include "platform/com/Marshal.h"

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace zov {

extern const CLSID CLSID_CVEventCtrl;
extern const IID IID_ICVEventCtrl;
extern const IID DIID__ICVEventCtrlEvents;

class CCVEventParam;

// How often the watcher looks for the event file.
inline constexpr std::chrono::milliseconds kWatchPeriod{100};
// How long the control's end waits for its watcher.
inline constexpr std::chrono::milliseconds kWatcherStopWait{1000};
// Sinks connected at once; the watcher takes at most this many.
inline constexpr std::size_t kMaxEventSinks = 100;
inline constexpr std::wstring_view kWatchErrorText = L"ThreadWatching exception error";

class CCVEventCtrl final : public IDispatch, public IOleObject, public IConnectionPointContainer, public WindowClient {
public:
    CCVEventCtrl();
    CCVEventCtrl(const CCVEventCtrl&) = delete;
    CCVEventCtrl& operator=(const CCVEventCtrl&) = delete;

    HRESULT QueryInterface(const IID& iid, void** object) override;
    std::uint32_t AddRef() override;
    std::uint32_t Release() override;

    // ICVEventCtrl: DisplayString (1), MyCallMethod (3), AttachObject (4).
    std::span<const DispatchMember> Members() const override;
    HRESULT GetIDsOfNames(std::string_view name, DISPID& id) const override;
    HRESULT Invoke(DISPID id, std::span<const Variant> args, Variant* result) override;

    // _ICVEventCtrlEvents: OnOpenUrl (1).
    std::span<const DispatchMember> EventMembers() const override;
    HRESULT Advise(IDispatch* sink, std::uint32_t& cookie) override;
    HRESULT Unadvise(std::uint32_t cookie) override;

    HRESULT SetClientSite(HostWindow* window) override;
    WindowClient* Client() override { return this; }
    HRESULT Close() override;

    // The scripting members, on the page's thread.
    const std::optional<std::wstring>& DisplayString() const { return displayString_; }
    void SetDisplayString(std::wstring text);
    void MyCallMethod();
    HRESULT AttachObject(std::int32_t eventId);

    // The control draws nothing and takes no input.
    void OnTimer(unsigned) override {}
    void OnPaint(const RECT&) override {}
    void OnLButtonDown(std::uint32_t, POINT) override {}
    void OnLButtonUp(std::uint32_t, POINT) override {}
    void OnRButtonUp(std::uint32_t, POINT) override {}
    void OnMouseMove(std::uint32_t, POINT) override {}
    void OnMouseWheel(std::uint32_t, std::int16_t, POINT) override {}
    void OnVScroll(int) override {}
    void OnHScroll(int) override {}
    void OnSize(std::uint32_t, std::int32_t, std::int32_t) override {}
    bool OnSetCursor() override { return false; }

    // Live controls of this server, for unloading.
    static int LiveCount();
    // What the control shares with its watcher thread.
    struct Watch;

private:
    ~CCVEventCtrl();
    void StartWatcher();
    void StopWatcher();
    void FireOnThisThread();

    std::atomic<std::uint32_t> references_{1};
    std::optional<std::wstring> displayString_;
    CCVEventParam* param_ = nullptr;  // owned reference
    HostWindow* window_ = nullptr;    // not owned
    std::shared_ptr<Apartment> apartment_;
    std::vector<std::pair<std::uint32_t, IDispatch*>> sinks_;  // references held
    std::uint32_t nextCookie_ = 1;
    std::shared_ptr<Watch> watch_;  // null until the first AttachObject
    std::thread watcher_;
};

}  // namespace zov
