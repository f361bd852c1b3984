// The parameter object an OnOpenUrl event carries: one string, Msg.
#pragma once

#include "platform/com/Com.h"

#include <atomic>
#include <mutex>
#include <string>

namespace zov {

extern const CLSID CLSID_CVEventParam;
extern const IID IID_ICVEventParam;

class CCVEventParam final : public IDispatch {
public:
    CCVEventParam() = default;
    CCVEventParam(const CCVEventParam&) = delete;
    CCVEventParam& operator=(const CCVEventParam&) = delete;

    HRESULT QueryInterface(const IID& iid, void** object) override;
    std::uint32_t AddRef() override;
    std::uint32_t Release() override;

    // Msg (1), read and written.
    std::span<const DispatchMember> Members() const override;
    HRESULT GetIDsOfNames(std::string_view name, DISPID& id) const override;
    HRESULT Invoke(DISPID id, std::span<const Variant> args, Variant* result) override;

    std::wstring Msg() const;
    void SetMsg(std::wstring message);

private:
    ~CCVEventParam() = default;

    std::atomic<std::uint32_t> references_{1};
    mutable std::mutex mutex_;
    std::wstring message_;
};

}  // namespace zov
