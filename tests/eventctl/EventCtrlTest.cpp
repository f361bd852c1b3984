// The event relay control on real threads and real files: the viewer's own
// event writer on one side, the control in a headless window on the other.
#include "documents/EventFile.h"
#include "eventctl/CVEventCtrl.h"
#include "eventctl/CVEventParam.h"
#include "eventctl/EventWatch.h"
#include "eventctl/ZOZozovuDOvezoModule.h"
#include "platform/HeadlessWindow.h"
#include "platform/Encoding.h"
#include "platform/com/Registry.h"
#include "tests/support/ImmutableFile.h"
#include "tests/support/TempDataHome.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

namespace zov {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// Stands for the page's script: records each OnOpenUrl with the Msg it
// reads from the parameter object, and whether it ran on the window thread.
class PageSink final : public IDispatch {
public:
    explicit PageSink(const HeadlessWindow* window) : window_(window) {}
    HRESULT QueryInterface(const IID& iid, void** object) override {
        if (iid != IID_IUnknown && iid != IID_IDispatch)
            return E_NOINTERFACE;
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    std::uint32_t AddRef() override { return ++references_; }
    std::uint32_t Release() override { return --references_; }  // lives on the test's stack
    std::span<const DispatchMember> Members() const override { return {}; }
    HRESULT GetIDsOfNames(std::string_view, DISPID&) const override { return DISP_E_UNKNOWNNAME; }
    HRESULT Invoke(DISPID id, std::span<const Variant> args, Variant*) override {
        Variant msg;
        if (id == 1 && args.size() == 1 && args[0].Dispatch())
            args[0].Dispatch()->Invoke(1, {}, &msg);
        std::lock_guard<std::mutex> guard(mutex_);
        messages_.push_back(msg.String());
        onWindowThread_ = onWindowThread_ && window_->OnWindowThread();
        return S_OK;
    }
    std::vector<std::wstring> Messages() const {
        std::lock_guard<std::mutex> guard(mutex_);
        return messages_;
    }
    bool AllOnWindowThread() const {
        std::lock_guard<std::mutex> guard(mutex_);
        return onWindowThread_;
    }
    // Waits until `count` events came, or `limit` passed.
    bool WaitFor(std::size_t count, std::chrono::milliseconds limit) const {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (Messages().size() < count) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            std::this_thread::sleep_for(5ms);
        }
        return true;
    }

private:
    const HeadlessWindow* window_;
    std::atomic<std::uint32_t> references_{0};
    mutable std::mutex mutex_;
    std::vector<std::wstring> messages_;
    bool onWindowThread_ = true;
};

class EventRelay : public test::TempDataHome {
protected:
    void SetUp() override {
        TempDataHome::SetUp();
        void* factory = nullptr;
        ASSERT_EQ(CZOZozovuDOvezoModule::Instance().GetClassObject(CLSID_CVEventCtrl, IID_IClassFactory, &factory), S_OK);
        void* made = nullptr;
        ASSERT_EQ(static_cast<IClassFactory*>(factory)->CreateInstance(nullptr, IID_IDispatch, &made), S_OK);
        static_cast<IClassFactory*>(factory)->Release();
        control_ = static_cast<IDispatch*>(made);
        void* ole = nullptr;
        void* events = nullptr;
        ASSERT_EQ(control_->QueryInterface(IID_IOleObject, &ole), S_OK);
        ASSERT_EQ(control_->QueryInterface(IID_IConnectionPointContainer, &events), S_OK);
        ole_ = static_cast<IOleObject*>(ole);
        events_ = static_cast<IConnectionPointContainer*>(events);
        // As the container does: the window first, then its sink, on the window thread.
        window_.Send([&] {
            ole_->SetClientSite(&window_);
            events_->Advise(&sink_, cookie_);
        });
    }
    void TearDown() override {
        if (control_)
            CloseControl();
        TempDataHome::TearDown();
    }
    void CloseControl() {
        window_.Send([&] {
            events_->Unadvise(cookie_);
            ole_->Close();
            ole_->SetClientSite(nullptr);
        });
        events_->Release();
        ole_->Release();
        control_->Release();
        control_ = nullptr;
    }
    HRESULT Call(std::string_view name, std::vector<Variant> args, Variant* result = nullptr) {
        DISPID id = 0;
        if (FAILED(control_->GetIDsOfNames(name, id)))
            return DISP_E_UNKNOWNNAME;
        HRESULT hr = E_FAIL;
        window_.Send([&] { hr = control_->Invoke(id, args, result); });
        return hr;
    }
    void Attach(std::int32_t id) { ASSERT_EQ(Call("AttachObject", {Variant(id)}), S_OK); }
    std::string EventFolder() const { return Root() + "/ZOVuvazaR/Event"; }
    std::string EventFile(const char* name) const { return EventFolder() + "/" + name; }
    void WriteRaw(const char* name, const std::string& bytes) const {
        fs::create_directories(EventFolder());
        std::ofstream(EventFile(name), std::ios::binary) << bytes;
    }

    HeadlessWindow window_;
    PageSink sink_{&window_};
    IDispatch* control_ = nullptr;
    IOleObject* ole_ = nullptr;
    IConnectionPointContainer* events_ = nullptr;
    std::uint32_t cookie_ = 0;
};

TEST_F(EventRelay, AnAddressTheViewerWritesFiresOnceOnThePageThreadAndTheFileGoes) {
    Attach(255);
    const auto written = std::chrono::steady_clock::now();
    ASSERT_TRUE(WriteEvent(L"page.htm?doc=%id%", 255, L"Report", L"A17", L"http://h/r.pdf"));
    ASSERT_TRUE(fs::exists(EventFile("000000FF.txt")));
    ASSERT_TRUE(sink_.WaitFor(1, 2s));
    EXPECT_LT(std::chrono::steady_clock::now() - written, 1s);
    EXPECT_EQ(sink_.Messages()[0], L"page.htm?doc=A17");
    EXPECT_TRUE(sink_.AllOnWindowThread());
    EXPECT_FALSE(fs::exists(EventFile("000000FF.txt")));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(sink_.Messages().size(), 1u);

    // A second click fires again; an event of another viewer does not.
    ASSERT_TRUE(WriteEvent(L"next?k=%key%", 7, L"Other", L"", L"x.pdf"));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(sink_.Messages().size(), 1u);
    ASSERT_TRUE(WriteEvent(L"page.htm?doc=%id%", 255, L"Report", L"B2", L"r.pdf"));
    ASSERT_TRUE(sink_.WaitFor(2, 2s));
    EXPECT_EQ(sink_.Messages()[1], L"page.htm?doc=B2");
}

TEST_F(EventRelay, AFileThereBeforeTheIdIsGivenFiresOnceAndAnEmptyOneNever) {
    WriteRaw("0000abcd.txt", "first line\r\nsecond line\r\n");
    WriteRaw("00001234.txt", "");
    // Zero watches nothing.
    Attach(0);
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(sink_.Messages().empty());
    Attach(0xabcd);
    ASSERT_TRUE(sink_.WaitFor(1, 2s));
    // The line as read, its line end with it.
    EXPECT_EQ(sink_.Messages()[0], L"first line\n");
    EXPECT_FALSE(fs::exists(EventFile("0000abcd.txt")));

    Attach(0x1234);
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(sink_.Messages().size(), 1u);
    EXPECT_TRUE(fs::exists(EventFile("00001234.txt")));
}

TEST_F(EventRelay, TheWatcherFiresToTheSinksThereAtItsStartOnly) {
    Attach(3);
    PageSink late(&window_);
    std::uint32_t lateCookie = 0;
    window_.Send([&] { events_->Advise(&late, lateCookie); });
    ASSERT_TRUE(WriteEvent(L"x?id=%id%", 3, L"c", L"7", L"p"));
    ASSERT_TRUE(sink_.WaitFor(1, 2s));
    std::this_thread::sleep_for(200ms);
    EXPECT_TRUE(late.Messages().empty());
    // The page's own hook reaches every sink connected now.
    ASSERT_EQ(Call("MyCallMethod", {}), S_OK);
    EXPECT_EQ(late.Messages().size(), 1u);
    window_.Send([&] { events_->Unadvise(lateCookie); });
}

TEST_F(EventRelay, HostileEventFilesAreCutOrLeftAlone) {
    // A link to another file of the user, a pipe that would block an open,
    // and a folder under the event name are never read.
    fs::create_directories(EventFolder());
    const std::string secret = WriteBytes("secret.txt", "password\n");
    fs::create_symlink(secret, EventFile("00000001.txt"));
    ASSERT_EQ(::mkfifo(EventFile("00000002.txt").c_str(), 0600), 0);
    fs::create_directories(EventFile("00000003.txt"));
    for (std::int32_t id : {1, 2, 3}) {
        Attach(id);
        std::this_thread::sleep_for(250ms);
    }
    EXPECT_TRUE(sink_.Messages().empty());
    EXPECT_TRUE(fs::is_symlink(EventFile("00000001.txt")));

    // A long line is cut at the limit; a zero byte ends the text.
    WriteRaw("00000004.txt", std::string(5000, 'a'));
    WriteRaw("00000005.txt", std::string("go\0to\xff\xfe", 7));
    Attach(4);
    ASSERT_TRUE(sink_.WaitFor(1, 2s));
    Attach(5);
    ASSERT_TRUE(sink_.WaitFor(2, 2s));
    EXPECT_EQ(sink_.Messages()[0], std::wstring(kEventLineChars, L'a'));
    EXPECT_EQ(sink_.Messages()[1], L"go");

    // The control still ends within its second with the pipe in place.
    Attach(2);
    const auto start = std::chrono::steady_clock::now();
    CloseControl();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1500ms);
}

TEST_F(EventRelay, AnEventThatCannotBeDeletedFiresOnlyOnce) {
    WriteRaw("00000009.txt", "stuck");
    test::ImmutableFile stuck(EventFile("00000009.txt"));
    if (!stuck.Locked())
        GTEST_SKIP() << "this file system cannot make a file undeletable";
    Attach(9);
    ASSERT_TRUE(sink_.WaitFor(1, 2s));
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(sink_.Messages().size(), 1u);
    EXPECT_TRUE(fs::exists(EventFile("00000009.txt")));
}

TEST_F(EventRelay, TheScriptingMembers) {
    Variant value;
    ASSERT_EQ(Call("DisplayString", {}, &value), S_OK);
    EXPECT_EQ(value.Type(), VarType::Empty) << "no display string at first";
    ASSERT_EQ(Call("DisplayString", {Variant(L"relay")}), S_OK);
    ASSERT_EQ(Call("DisplayString", {}, &value), S_OK);
    EXPECT_EQ(value.String(), L"relay");
    EXPECT_EQ(Call("AttachObject", {Variant(L"12")}), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(Call("NoSuchMember", {}), DISP_E_UNKNOWNNAME);

    // The page's own test hook fires at once, on the calling thread.
    ASSERT_EQ(Call("MyCallMethod", {}), S_OK);
    ASSERT_EQ(sink_.Messages().size(), 1u);
    EXPECT_EQ(sink_.Messages()[0], L"はろー");
}

class RelayRegistration : public test::TempDataHome {};

TEST_F(RelayRegistration, MakesTheControlCreatableAsSafelyScriptableUnderBothProgIds) {
    ASSERT_EQ(CZOZozovuDOvezoModule::Instance().RegisterServer("/lib/libZOZozovuDOvezo.so"), S_OK);
    std::optional<RegistryData> registry = RegistryFile::ForUser().Read();
    ASSERT_TRUE(registry);
    for (std::string_view name : {"ZOZozovuDOvezo.CVEventCtrl.1", "ZOZozovuDOvezo.CVEventCtrl",
                                  "{EB37848E-6108-42FE-A2FC-FEA14A0A64B6}"}) {
        std::optional<ServerEntry> entry = FindServer(*registry, name);
        ASSERT_TRUE(entry) << name;
        EXPECT_TRUE(entry->safeForScripting) << name;
        EXPECT_EQ(entry->library, "/lib/libZOZozovuDOvezo.so");
    }
    const std::string control = "CLSID\\{EB37848E-6108-42FE-A2FC-FEA14A0A64B6}";
    EXPECT_EQ(registry->Value(control + "\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_EQ(registry->Value(control + "\\MiscStatus\\1"), "131473");
    EXPECT_EQ(registry->Value(control + "\\Version"), "1.0");
    EXPECT_EQ(registry->Value("AppID\\{8BA3F676-FF26-46DD-AF3D-0DD501463A34}"), "ZOZozovuDOvezo");
    EXPECT_EQ(registry->Value("ZOZozovuDOvezo.CVEventParam\\CLSID"), "{4B8CB134-59BD-404B-9126-1BFEF3333DB7}");
    // The parameter object is no control: the container will not make it for a page.
    std::optional<ServerEntry> param = FindServer(*registry, "ZOZozovuDOvezo.CVEventParam.1");
    ASSERT_TRUE(param);
    EXPECT_FALSE(param->safeForScripting);

    ASSERT_EQ(CZOZozovuDOvezoModule::Instance().UnregisterServer(), S_OK);
    registry = RegistryFile::ForUser().Read();
    EXPECT_FALSE(FindServer(*registry, "ZOZozovuDOvezo.CVEventCtrl"));
    EXPECT_EQ(CZOZozovuDOvezoModule::Instance().CanUnloadNow(), S_OK);
}

}  // namespace
}  // namespace zov
