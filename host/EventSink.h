// The container's side of a control's events: a sink connected to the
// control's outgoing interface that sends each event to the page, where the
// element raises it as a DOM event.
#pragma once

#include "platform/com/Com.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace zov::host {

class ElementLink;

// Longest string an event carries to the page, in UTF-16 units; longer
// ones are cut.
inline constexpr std::size_t kEventStringLimit = 1 << 16;
// Readable properties of one dispatch argument sent along; more are left out.
inline constexpr std::size_t kEventPropertyLimit = 32;

class EventSink final : public IDispatch {
public:
    EventSink(std::uint32_t element, std::shared_ptr<ElementLink> link, std::span<const DispatchMember> events);
    EventSink(const EventSink&) = delete;
    EventSink& operator=(const EventSink&) = delete;

    HRESULT QueryInterface(const IID& iid, void** object) override;
    std::uint32_t AddRef() override;
    std::uint32_t Release() override;
    std::span<const DispatchMember> Members() const override { return events_; }
    HRESULT GetIDsOfNames(std::string_view name, DISPID& id) const override;
    // Sends {"t":"event","el":E,"name":...,"args":[...]}: strings, numbers
    // and booleans as they are; a dispatch argument as an object of its
    // readable properties, read on this thread (the page's).
    HRESULT Invoke(DISPID id, std::span<const Variant> args, Variant* result) override;

    // Nothing more reaches the page.
    void Disconnect() { connected_ = false; }

private:
    ~EventSink() = default;

    const std::uint32_t element_;
    const std::shared_ptr<ElementLink> link_;
    const std::span<const DispatchMember> events_;
    std::atomic<bool> connected_{true};
    std::atomic<std::uint32_t> references_{1};
};

}  // namespace zov::host
