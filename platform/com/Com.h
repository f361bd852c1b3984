// A small COM-like layer: identifiers, reference-counted interfaces, a
// Variant for scripting arguments, dispatch tables and class factories. A
// control server is a shared library exporting DllGetClassObject and friends
// with C linkage; the container talks to it only through these interfaces.
#pragma once

#include "platform/WinTypes.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace zov {

struct GUID {
    std::uint32_t Data1 = 0;
    std::uint16_t Data2 = 0;
    std::uint16_t Data3 = 0;
    std::array<std::uint8_t, 8> Data4{};
    bool operator==(const GUID&) const = default;
};
using CLSID = GUID;
using IID = GUID;

// Exactly "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", hexadecimal digits of
// either case; anything else is refused.
std::optional<GUID> ParseGuid(std::string_view text);
// Upper-case, with braces, as the registry writes identifiers.
std::string FormatGuid(const GUID& guid);
// For identifiers written in the source; a malformed one is a programming
// error and stops the program at start-up.
GUID GuidLiteral(std::string_view text);

inline constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
inline constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFF);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111);
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = static_cast<HRESULT>(0x80020003);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = static_cast<HRESULT>(0x80020005);
inline constexpr HRESULT DISP_E_UNKNOWNNAME = static_cast<HRESULT>(0x80020006);
inline constexpr HRESULT DISP_E_EXCEPTION = static_cast<HRESULT>(0x80020009);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = static_cast<HRESULT>(0x8002000E);
inline constexpr HRESULT SELFREG_E_TYPELIB = static_cast<HRESULT>(0x80040200);
inline constexpr HRESULT SELFREG_E_CLASS = static_cast<HRESULT>(0x80040201);

constexpr bool SUCCEEDED(HRESULT hr) {
    return hr >= 0;
}
constexpr bool FAILED(HRESULT hr) {
    return hr < 0;
}

using DISPID = std::int32_t;
inline constexpr DISPID DISPID_ABOUTBOX = -552;

class IDispatch;

enum class VarType : std::uint8_t { Empty, String, Long, Bool, Dispatch };

// An argument or result of a scripting call. Dispatch pointers are not owned.
class Variant {
public:
    Variant() = default;
    Variant(std::wstring text) : value_(std::move(text)) {}
    Variant(const wchar_t* text) : value_(std::wstring(text)) {}
    Variant(std::int32_t number) : value_(number) {}
    Variant(bool flag) : value_(flag) {}
    Variant(IDispatch* dispatch) : value_(dispatch) {}

    VarType Type() const { return static_cast<VarType>(value_.index()); }
    // The value of the given type; a Variant of another type gives the
    // type's empty value.
    const std::wstring& String() const;
    std::int32_t Long() const;
    bool Bool() const;
    IDispatch* Dispatch() const;
    bool operator==(const Variant&) const = default;

private:
    std::variant<std::monostate, std::wstring, std::int32_t, bool, IDispatch*> value_;
};

// What a member is. A property's reading and writing are two members of
// one identifier and name: the reading takes no argument, the writing one.
enum class MemberKind : std::uint8_t { Method, PropertyGet, PropertyPut };

// One method of a dispatch interface, as its type library describes it.
struct DispatchMember {
    DISPID id;
    std::string_view name;
    std::vector<VarType> args;
    VarType result;  // Empty: void
    MemberKind kind = MemberKind::Method;
};

// The member with that identifier, or with that name compared without regard
// to ASCII case (as names are looked up from script); null when none. A
// property is found as its reading unless `kind` asks for its writing.
const DispatchMember* FindMember(std::span<const DispatchMember> members, DISPID id,
                                 MemberKind kind = MemberKind::Method);
const DispatchMember* FindMember(std::span<const DispatchMember> members, std::string_view name,
                                 MemberKind kind = MemberKind::Method);
// The member an Invoke of `id` with `argCount` arguments calls: a
// property's writing when it takes that many, else the method or reading.
const DispatchMember* InvokedMember(std::span<const DispatchMember> members, DISPID id, std::size_t argCount);
// S_OK when `args` match the member's argument count and types;
// DISP_E_BADPARAMCOUNT or DISP_E_TYPEMISMATCH otherwise.
HRESULT CheckArguments(const DispatchMember& member, std::span<const Variant> args);
// "string", "long", "bool", "dispatch"; "void" for Empty.
std::string_view TypeName(VarType type);

class IUnknown {
public:
    virtual HRESULT QueryInterface(const IID& iid, void** object) = 0;
    virtual std::uint32_t AddRef() = 0;
    virtual std::uint32_t Release() = 0;

protected:
    ~IUnknown() = default;
};

class IDispatch : public IUnknown {
public:
    // The interface's members in identifier order (its type information).
    virtual std::span<const DispatchMember> Members() const = 0;
    // Looks the name up in Members().
    virtual HRESULT GetIDsOfNames(std::string_view name, DISPID& id) const = 0;
    // Arguments in declaration order. DISP_E_MEMBERNOTFOUND for an unknown
    // identifier; the argument checks of CheckArguments; DISP_E_EXCEPTION when
    // the method threw.
    virtual HRESULT Invoke(DISPID id, std::span<const Variant> args, Variant* result) = 0;

protected:
    ~IDispatch() = default;
};

class IClassFactory : public IUnknown {
public:
    virtual HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** object) = 0;
    virtual HRESULT LockServer(bool lock) = 0;

protected:
    ~IClassFactory() = default;
};

class HostWindow;
class WindowClient;

// What a container needs of a control beyond scripting: a window to live in
// and the messages of that window. Calls come on the control's window thread.
class IOleObject : public IUnknown {
public:
    // The window the control draws into (the client site); set before the
    // control is shown, cleared (null) before it is released.
    virtual HRESULT SetClientSite(HostWindow* window) = 0;
    // Where the window's messages go; valid until Close.
    virtual WindowClient* Client() = 0;
    // Ends the control's work (threads, viewer) before the last release.
    virtual HRESULT Close() = 0;

protected:
    ~IOleObject() = default;
};

// A control's outgoing interface: the container connects its sinks here, and
// the control calls them (as methods of the event members) to raise events.
class IConnectionPointContainer : public IUnknown {
public:
    // The outgoing interface's members, in identifier order.
    virtual std::span<const DispatchMember> EventMembers() const = 0;
    // Connects `sink` (referenced until Unadvise); `cookie` names it.
    virtual HRESULT Advise(IDispatch* sink, std::uint32_t& cookie) = 0;
    virtual HRESULT Unadvise(std::uint32_t cookie) = 0;

protected:
    ~IConnectionPointContainer() = default;
};

extern const IID IID_IUnknown;
extern const IID IID_IDispatch;
extern const IID IID_IClassFactory;
extern const IID IID_IOleObject;
extern const IID IID_IConnectionPointContainer;

// The server exports, as the container finds them with dlsym.
using DllGetClassObjectFunction = HRESULT (*)(const CLSID& clsid, const IID& iid, void** object);
using DllCanUnloadNowFunction = HRESULT (*)();
using DllRegisterServerFunction = HRESULT (*)();

}  // namespace zov
