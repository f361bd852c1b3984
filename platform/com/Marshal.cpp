#include "platform/com/Marshal.h"

#include "platform/HostWindow.h"

#include <atomic>
#include <utility>
#include <vector>

namespace zov {

bool Apartment::Post(std::function<void()> work) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (!window_)
        return false;
    window_->Post(std::move(work));
    return true;
}

void Apartment::Close() {
    std::lock_guard<std::mutex> guard(mutex_);
    window_ = nullptr;
}

namespace {

// A reference that goes wherever the posted call goes, and is given back
// whether the call ran or was dropped.
struct Held {
    explicit Held(IDispatch* object) : object(object) {
        if (object)
            object->AddRef();
    }
    ~Held() {
        if (object)
            object->Release();
    }
    Held(const Held& other) : Held(other.object) {}
    Held& operator=(const Held&) = delete;
    IDispatch* object;
};

class DispatchProxy final : public IDispatch {
public:
    DispatchProxy(IDispatch* target, std::shared_ptr<Apartment> home) : target_(target), home_(std::move(home)) {}

    HRESULT QueryInterface(const IID& iid, void** object) override {
        if (!object)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch) {
            *object = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    std::uint32_t AddRef() override { return ++references_; }
    std::uint32_t Release() override {
        const std::uint32_t left = --references_;
        if (left == 0)
            delete this;
        return left;
    }

    // The type information is the object's, which does not change.
    std::span<const DispatchMember> Members() const override { return target_.object->Members(); }
    HRESULT GetIDsOfNames(std::string_view name, DISPID& id) const override {
        return target_.object->GetIDsOfNames(name, id);
    }

    HRESULT Invoke(DISPID id, std::span<const Variant> args, Variant* result) override {
        if (result)
            *result = Variant();
        std::vector<Variant> copied;
        std::vector<Held> held;
        held.reserve(args.size());
        for (const Variant& arg : args) {
            IDispatch* dispatch = arg.Type() == VarType::Dispatch ? arg.Dispatch() : nullptr;
            if (auto* proxy = dynamic_cast<DispatchProxy*>(dispatch); proxy && proxy->home_ == home_)
                dispatch = proxy->target_.object;
            if (dispatch) {
                held.emplace_back(dispatch);
                copied.emplace_back(dispatch);
            } else {
                copied.push_back(arg);
            }
        }
        const bool posted = home_->Post(
            [target = target_, id, copied = std::move(copied), held = std::move(held)]() {
                Variant ignored;
                target.object->Invoke(id, copied, &ignored);
            });
        return posted ? S_OK : E_UNEXPECTED;
    }

private:
    ~DispatchProxy() = default;

    Held target_;
    std::shared_ptr<Apartment> home_;
    std::atomic<std::uint32_t> references_{1};
};

}  // namespace

InterfaceStream::InterfaceStream(IDispatch* object, std::shared_ptr<Apartment> home)
    : object_(object), home_(std::move(home)) {
    if (object_)
        object_->AddRef();
}

InterfaceStream::~InterfaceStream() {
    if (object_)
        object_->Release();
}

InterfaceStream::InterfaceStream(InterfaceStream&& other) noexcept
    : object_(std::exchange(other.object_, nullptr)), home_(std::move(other.home_)) {}

InterfaceStream& InterfaceStream::operator=(InterfaceStream&& other) noexcept {
    if (this != &other) {
        if (object_)
            object_->Release();
        object_ = std::exchange(other.object_, nullptr);
        home_ = std::move(other.home_);
    }
    return *this;
}

IDispatch* InterfaceStream::Unmarshal() {
    if (!object_ || !home_)
        return nullptr;
    auto* proxy = new DispatchProxy(object_, home_);
    object_->Release();  // the proxy holds its own
    object_ = nullptr;
    home_.reset();
    return proxy;
}

}  // namespace zov
