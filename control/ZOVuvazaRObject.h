// The control as the container sees it: the dispatch interface _DZOVuvazaR
// the page scripts, and the window the container gives it.
#pragma once

#include "control/ZOVuvazaRCtrl.h"
#include "platform/com/Com.h"

#include <atomic>
#include <memory>

namespace zov {

extern const IID IID_DZOVuvazaR;
extern const IID IID_DZOZozovuDOvezos;

// _DZOVuvazaR: AboutBox and the 42 methods, in identifier order.
std::span<const DispatchMember> ZOVuvazaRMembers();

class ZOVuvazaRObject final : public IDispatch, public IOleObject {
public:
    ZOVuvazaRObject();
    ZOVuvazaRObject(const ZOVuvazaRObject&) = delete;
    ZOVuvazaRObject& operator=(const ZOVuvazaRObject&) = delete;

    HRESULT QueryInterface(const IID& iid, void** object) override;
    std::uint32_t AddRef() override;
    std::uint32_t Release() override;

    std::span<const DispatchMember> Members() const override;
    HRESULT GetIDsOfNames(std::string_view name, DISPID& id) const override;
    HRESULT Invoke(DISPID id, std::span<const Variant> args, Variant* result) override;

    HRESULT SetClientSite(HostWindow* window) override;
    WindowClient* Client() override;
    HRESULT Close() override;

    CZOVuvazaRCtrl& Control() { return *control_; }

private:
    ~ZOVuvazaRObject();
    Variant Call(DISPID id, std::span<const Variant> a);

    std::atomic<std::uint32_t> references_{1};
    std::unique_ptr<CZOVuvazaRCtrl> control_;
};

}  // namespace zov
