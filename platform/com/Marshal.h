// Objects of one window thread used from another thread. A window thread is
// an apartment: the objects made on it are called on it only. To use such an
// object elsewhere, it is put into an interface stream on its own thread and
// taken out on the other one as a proxy, whose calls are posted back to the
// object's thread.
#pragma once

#include "platform/com/Com.h"

#include <functional>
#include <memory>
#include <mutex>

namespace zov {

class HostWindow;

class Apartment {
public:
    // The apartment of `window`'s thread.
    explicit Apartment(HostWindow& window) : window_(&window) {}
    // Runs `work` on the apartment's thread after what waits there; false,
    // and `work` is dropped, once the apartment is closed.
    bool Post(std::function<void()> work);
    // Called on the apartment's thread before its window goes: later posts
    // are dropped.
    void Close();

private:
    std::mutex mutex_;
    HostWindow* window_;  // not owned; null once closed
};

// An object ready to cross to another thread; holds a reference on it.
class InterfaceStream {
public:
    InterfaceStream() = default;
    InterfaceStream(IDispatch* object, std::shared_ptr<Apartment> home);
    ~InterfaceStream();
    InterfaceStream(InterfaceStream&& other) noexcept;
    InterfaceStream& operator=(InterfaceStream&& other) noexcept;
    InterfaceStream(const InterfaceStream&) = delete;
    InterfaceStream& operator=(const InterfaceStream&) = delete;

    // The proxy, with one reference for the caller; null for an empty
    // stream. The stream is empty afterwards.
    //
    // Calls through the proxy are one-way: Invoke posts the call to the
    // object's thread and returns S_OK at once with no result, so that a
    // thread that is told to stop never waits on a window thread. The
    // object must count its references atomically. A dispatch argument that
    // is a proxy of the same apartment reaches the object as the object it
    // stands for, as it would after marshalling back.
    IDispatch* Unmarshal();

private:
    IDispatch* object_ = nullptr;
    std::shared_ptr<Apartment> home_;
};

}  // namespace zov
