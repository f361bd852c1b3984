// Pages that name preview roots and share paths meant to reach outside the
// viewer's folders: two controls in one process, driven through the dispatch
// interface the container calls, in a sandbox whose every level holds a
// canary. Whatever the pages say, every canary lives and the registry stays.
#include "control/ZOVuvazaRObject.h"
#include "control/ZOVuvazaRServer.h"
#include "documents/PreviewSettings.h"
#include "platform/DataFolder.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "platform/HeadlessWindow.h"
#include "platform/Locks.h"
#include "platform/com/Registry.h"
#include "tests/support/TempDataHome.h"
#include "viewer/ZAZViewer.h"

#include <filesystem>
#include <thread>

namespace zov::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// One page's element: a control made by the server's class factory in its
// own window, called as the container calls it.
class Page {
public:
    Page() {
        HeadlessWindow::Options options;
        options.runTimers = false;
        window_ = std::make_unique<HeadlessWindow>(options);
        window_->Send([this] {
            void* made = nullptr;
            CZOVuvazaRApp::Instance().GetClassObject(CLSID_ZOVuvazaR, IID_IClassFactory, &made);
            auto* factory = static_cast<IClassFactory*>(made);
            void* dispatch = nullptr;
            factory->CreateInstance(nullptr, IID_IDispatch, &dispatch);
            factory->Release();
            object_ = static_cast<IDispatch*>(dispatch);
            void* ole = nullptr;
            object_->QueryInterface(IID_IOleObject, &ole);
            ole_ = static_cast<IOleObject*>(ole);
            ole_->SetClientSite(window_.get());
        });
        window_->Attach(ole_->Client());
    }

    // Closing the page: the control goes, and its viewer with it.
    ~Page() {
        window_->Attach(nullptr);
        window_->Send([this] {
            ole_->Close();
            ole_->SetClientSite(nullptr);
            ole_->Release();
            object_->Release();
        });
    }

    Variant Call(std::string_view name, std::vector<Variant> args) {
        Variant result;
        window_->Send([&] {
            DISPID id = 0;
            if (SUCCEEDED(object_->GetIDsOfNames(name, id)))
                object_->Invoke(id, args, &result);
        });
        return result;
    }

    Variant SetUp(const std::wstring& previewFolder, const std::wstring& system = L"Folder") {
        return Call("SetUp", {std::wstring(L"en"), std::wstring(L"C0C0C0"), true, std::wstring(), previewFolder, system,
                              false});
    }

    // The selection after selecting all, once the last list is on the desk.
    std::wstring SelectAll() {
        auto* viewer = dynamic_cast<ZAZViewer*>(static_cast<CZOVuvazaRCtrl*>(ole_->Client())->Viewer());
        for (int i = 0; i < 1500 && viewer && !viewer->ListLoaded(); ++i)
            std::this_thread::sleep_for(5ms);
        Call("SetAllSelectedFlag", {true});
        return Call("GetSelectedFiles", {}).String();
    }

private:
    std::unique_ptr<HeadlessWindow> window_;
    IDispatch* object_ = nullptr;
    IOleObject* ole_ = nullptr;
};

class HostilePaths : public TempDataHome {
protected:
    void SetUp() override {
        TempDataHome::SetUp();
        // Deep enough that even the old code's deletions, four levels up at
        // most here, stay inside the temporary folder.
        home_ = Root() + "/a/b/c/home";
        fs::create_directories(home_ + "/ZOVuvazaR");
        setenv("ZOV_DATA_HOME", home_.c_str(), 1);
        SetShareMountRoot(FromUtf8(Root() + "/a/b/c/shares"));
        WriteBytes("a/b/c/shares/srv/docs/a.pdf", "a share's document");
        for (const std::string& canary : Canaries())
            WriteBytes(canary, "alive");
        ASSERT_EQ(CZOVuvazaRApp::Instance().RegisterServer("/opt/zov/libZOVuvazaR.so"), S_OK);
        PreviewSettings settings;
        SetPreviewSettings(settings);
    }

    void TearDown() override {
        SetShareMountRoot(L"/mnt");
        SetPreviewSettings(PreviewSettings{});
        TempDataHome::TearDown();
    }

    // Beside and above the data folder, in it, and beside the share root.
    static std::vector<std::string> Canaries() {
        return {"canary",
                "a/canary",
                "a/b/canary",
                "a/b/c/canary",
                "a/b/c/home/canary",
                "a/b/c/home/ZOVuvazaR/canary",
                "a/b/c/secret/passwd",
                "a/b/etc/passwd"};
    }

    void ExpectEverythingAlive(const std::string& after) {
        for (const std::string& canary : Canaries())
            EXPECT_TRUE(fs::exists(Root() + "/" + canary)) << canary << " after " << after;
        std::optional<RegistryData> registry = RegistryFile::ForUser().Read();
        ASSERT_TRUE(registry) << "after " << after;
        EXPECT_TRUE(FindServer(*registry, "ZOVUVAZAR.ZOVuvazaRCtrl.1")) << "after " << after;
    }

    std::string home_;
};

const wchar_t* const kHostileRoots[] = {
    L"http://..\\..",       L"http://.",          L"http://..",          L"http://..\\..\\..\\..",
    L"https://..\\..",      L"http://../..",      L"http://..\\/..",     L"http://.:8080",
    L"http://%2e%2e",       L"http://%2e%2e\\%2e%2e", L"http://x\\..\\..",  L"http://",
    L"http://[..]",         L"http://a:99999/p",  L"http://user@host/p", L"\\\\..\\..\\etc",
    L"//../../etc",         L"\\/..\\/secret",    L"file://..\\..",
};

TEST_F(HostilePaths, PreviewRootsThatNameNoHostAreRefusedAndNothingOutsideIsDeleted) {
    // Nothing listens there: loads fail at once.
    const std::wstring good = L"http://127.0.0.1:1/p";
    const std::wstring document = L"<http://127.0.0.1:1/docs/x.pdf>";
    {
        Page a;
        Page b;
        const Variant first = a.SetUp(L"<" + good + L">");
        ASSERT_EQ(first.Type(), VarType::Long);
        ASSERT_GT(first.Long(), 0);
        ASSERT_GT(b.SetUp(good).Long(), 0);
        // The good root's own cache is still cleared with a new list.
        WriteBytes("a/b/c/home/ZOVuvazaR/127.0.0.1.1/old.pdf_00000001.txt", "cached");
        a.Call("SetFiles", {document});
        EXPECT_FALSE(fs::exists(home_ + "/ZOVuvazaR/127.0.0.1.1"));

        for (const wchar_t* hostile : kHostileRoots) {
            const std::wstring root = hostile;
            const std::string name = ToUtf8(root);
            // Every way a page hands over a preview root; the refused ones
            // give their failure value and change nothing.
            EXPECT_EQ(b.SetUp(root), Variant(std::int32_t{0})) << name;
            EXPECT_EQ(b.SetUp(L"<" + good + L"><" + root + L">"), Variant(std::int32_t{0})) << name;
            b.Call("SetPreviewFolder", {root});
            b.Call("SetPreviewFolder", {L"<" + root + L">\n<" + good + L">"});
            EXPECT_EQ(b.Call("eValueInit", {std::wstring(L"en"), std::wstring(L"C0C0C0"), false, std::wstring(L"u"),
                                            root, std::wstring(L"http://svc.example/x.asmx")}),
                      Variant(std::int32_t{0}))
                << name;
            // Without a login the service's own host becomes the root.
            if (root.find(L"://") != std::wstring::npos) {
                EXPECT_EQ(b.Call("eValueInit", {std::wstring(L"en"), std::wstring(L"C0C0C0"), false, std::wstring(),
                                                std::wstring(), root + L"/svc.asmx"}),
                          Variant(std::int32_t{0}))
                    << name;
            }
            EXPECT_EQ(GetPreviewSettings().previewRoot, good) << name;
            // The other page's new list clears the cache of the one root.
            a.Call("SetFiles", {document});
            ExpectEverythingAlive(name);
        }
        // A folder to list in "SamePlace" mode becomes the root too.
        ASSERT_GT(b.SetUp(good, L"SamePlace").Long(), 0);
        for (const wchar_t* hostile : {L"http://..\\..", L"http://.", L"http://..\\..\\..\\.."}) {
            b.Call("SetFolder", {std::wstring(hostile), true});
            EXPECT_EQ(GetPreviewSettings().previewRoot, good) << ToUtf8(hostile);
            a.Call("SetFiles", {document});
            ExpectEverythingAlive(ToUtf8(hostile));
        }
        // A root with a host, whatever its path says, clears its own folder.
        b.Call("SetPreviewFolder", {std::wstring(L"http://a/../..")});
        EXPECT_EQ(GetPreviewSettings().previewRoot, L"http://a/../..");
        a.Call("SetFiles", {document});
        ExpectEverythingAlive("http://a/../..");
        b.Call("SetPreviewFolder", {good});
    }
    // Closing both pages cleared again; a new page can still be made and set up.
    ExpectEverythingAlive("closing the pages");
    Page again;
    EXPECT_GT(again.SetUp(good).Long(), 0);
}

TEST_F(HostilePaths, SharePathsStayBelowTheMountRoot) {
    Page page;
    ASSERT_GT(page.SetUp(FromUtf8(Root()) + L"/previews").Long(), 0);
    page.Call("SetFolder", {std::wstring(L"\\\\srv\\docs"), false});
    EXPECT_EQ(page.SelectAll(), L"<\\\\srv\\docs\\a.pdf>");

    const wchar_t* const climbing[] = {
        L"\\\\..\\..\\etc",          L"\\\\..\\secret",        L"\\\\srv\\..\\..\\secret",
        L"\\\\/..\\/secret",         L"\\\\.\\..\\secret",     L"\\\\srv\\docs\\..\\..\\..\\secret",
        L"\\\\srv\\docs\\..\\..",    L"\\\\.",                 L"\\\\srv\\docs\\..\\.\\..\\..\\b\\..\\secret",
    };
    for (const wchar_t* folder : climbing) {
        const std::string name = ToUtf8(folder);
        page.Call("SetFolder", {std::wstring(folder), true});
        EXPECT_EQ(page.SelectAll(), L"<\\\\srv\\docs\\a.pdf>") << name << " was listed";
        const std::wstring outside = std::wstring(folder) + L"\\..\\secret\\passwd";
        page.Call("SetFiles", {L"<" + outside + L">"});
        EXPECT_EQ(page.SelectAll(), L"") << name;
        page.Call("SetFolderFiles", {std::wstring(L"\\\\srv\\docs"), L"..\\..\\..\\secret\\passwd|a.pdf"});
        EXPECT_EQ(page.SelectAll(), L"<\\\\srv\\docs\\a.pdf>") << name;
        page.Call("ShowFiles", {L"<file:" + outside + L">", std::wstring(L"<x>")});
        EXPECT_EQ(page.SelectAll(), L"") << name;
        page.Call("SetPreviewFolder", {std::wstring(folder)});
        EXPECT_EQ(GetPreviewSettings().previewRoot, FromUtf8(Root()) + L"/previews") << name;
        page.Call("SetFolder", {std::wstring(L"\\\\srv\\docs"), false});
        ExpectEverythingAlive(name);
    }
    page.Call("DeleteSelectedFiles", {});
    ExpectEverythingAlive("DeleteSelectedFiles");
}

}  // namespace
}  // namespace zov::test
