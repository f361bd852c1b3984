// The page's scripting calls on a real control and viewer: list formats,
// setup settings, selections, what a control answers before its setup, and
// the dispatch interface the container drives.
#include "control/ModuleSettings.h"
#include "control/StartupArgs.h"
#include "control/ZOVuvazaRObject.h"
#include "control/ZOVuvazaRServer.h"
#include "platform/TextFile.h"
#include "platform/com/Registry.h"
#include "platform/net/HttpClient.h"
#include "tests/support/NginxServer.h"
#include "tests/support/TestHttpServer.h"
#include "tests/viewer/ViewerFixture.h"

#include <atomic>

#include <cstdio>
#include <filesystem>

namespace zov::test {
namespace {

template <typename Predicate>
bool Soon(Predicate done) {
    for (int i = 0; i < 1500 && !done(); ++i)
        std::this_thread::sleep_for(5ms);
    return done();
}

class ScriptingTest : public ViewerFixture {
protected:
    void Select(const std::vector<int>& indexes) {
        LockGuard desk(DeskLock());
        int i = 0;
        for (const auto& book : viewer_->objects) {
            book->selected = std::find(indexes.begin(), indexes.end(), i) != indexes.end();
            ++i;
        }
    }

    std::int32_t SetUpWith(const std::wstring& language, const std::wstring& colour,
                           const std::wstring& system = L"Folder") {
        return OnWindow([&](CZOVuvazaRCtrl& c) {
            return c.SetUp(language, colour, true, L"", WideRoot() + L"\\previews", system, false);
        });
    }
};

TEST_F(ScriptingTest, SetUpStoresDeskColourWithTheBlueRuleAndPicksTheLanguageExactly) {
    struct Case {
        const wchar_t* colour;
        std::uint32_t stored;
    };
    const Case cases[] = {
        {L"FFFFFF", 0xFFFFFE}, {L"000000", 0x000001}, {L"C0C0C0", 0xC0C0C0}, {L"12", 0x120001},
        {L"zzzzzz", 0x000001}, {L"0A0B0C", 0x0A0B0C}, {L"8080FF", 0x8080FE},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SetUpWith(L"en", c.colour), viewer_->InstanceId()) << ToUtf8(c.colour);
        EXPECT_EQ(DeskColour(), c.stored) << ToUtf8(c.colour);
        EXPECT_EQ(GetModuleSettings().blue, c.stored & 0xFF);
    }
    EXPECT_GE(viewer_->InstanceId(), 0);

    SetUpWith(L"ja", L"C0C0C0");
    EXPECT_TRUE(control_->Japanese());
    SetUpWith(L"JA", L"C0C0C0");
    EXPECT_FALSE(control_->Japanese());
    SetUpWith(L"en", L"C0C0C0", L"eValueNS");
    EXPECT_TRUE(GetModuleSettings().eValueMode);
    EXPECT_TRUE(GetPreviewSettings().eValueNSMode);
    SetUpWith(L"en", L"C0C0C0", L"evaluens");
    EXPECT_FALSE(GetModuleSettings().eValueMode);
}

TEST_F(ScriptingTest, AngleAndNewlineListsGiveTheSameDeskAndShortItemsAreDropped) {
    SetUpWith(L"en", L"C0C0C0");
    const std::wstring a = Document("a.pdf");
    const std::wstring b = Document("b.pdf");
    OnWindow([&](CZOVuvazaRCtrl& c) { c.SetFiles(L"<" + a + L"><" + b + L">"); });
    ASSERT_TRUE(DeskBecomes({a, b}));

    OnWindow([&](CZOVuvazaRCtrl& c) { c.SetFiles(L"<x>"); });
    ASSERT_TRUE(DeskBecomes({}));
    OnWindow([&](CZOVuvazaRCtrl& c) { c.SetFiles(a + L"\n" + b + L"\n"); });
    ASSERT_TRUE(DeskBecomes({a, b}));

    OnWindow([&](CZOVuvazaRCtrl& c) { c.SetFiles(L"<y>\t<" + b + L">\r\n<z>"); });
    EXPECT_TRUE(DeskBecomes({b}));
}

TEST_F(ScriptingTest, FolderListsJoinNamesToTheFolderAndDrivePathsAreOnlyRemembered) {
    SetUpWith(L"en", L"C0C0C0");
    OnWindow([](CZOVuvazaRCtrl& c) { c.SetFolderFiles(L"http://server/docs/", L"a.pdf|b|c.pdf||"); });
    ASSERT_TRUE(DeskBecomes({L"http://server/docs/a.pdf", L"http://server/docs/c.pdf"}));
    OnWindow([](CZOVuvazaRCtrl& c) { c.SetFolderFiles(L"\\\\server\\share\\", L"a.pdf"); });
    ASSERT_TRUE(DeskBecomes({L"\\\\server\\share\\a.pdf"}));

    OnWindow([](CZOVuvazaRCtrl& c) { c.SetFolder(L"C:\\docs", true); });
    EXPECT_TRUE(control_->FolderRemembered());
    EXPECT_EQ(control_->RememberedFolder(), L"C:\\docs");
    // Not listed: the desk keeps what it had.
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(DeskPaths(), std::vector<std::wstring>{L"\\\\server\\share\\a.pdf"});
}

TEST_F(ScriptingTest, SelectionsComeBackInBothFormatsInDeskOrder) {
    SetUpWith(L"en", L"C0C0C0", L"Flat");
    // Four slash lists in lock step; b has no identifier. ('/' would split a
    // path, so these are share paths.)
    const std::wstring a = L"\\\\srv\\docs\\a.pdf";
    const std::wstring b = L"\\\\srv\\docs\\b.pdf";
    const std::wstring c = L"\\\\srv\\docs\\c.pdf";
    EXPECT_EQ(OnWindow([&](CZOVuvazaRCtrl& ctl) {
                  return ctl.eValueSetFiles(a + L"/" + b + L"/" + c, L"id-a//id-c", L"A/B/C", L"1/0/1",
                                            L"http://x/%id%/%key%");
              }),
              0);
    ASSERT_TRUE(DeskBecomes({a, b, c}));
    {
        LockGuard desk(DeskLock());
        auto it = viewer_->objects.begin();
        EXPECT_EQ((*it)->caption, L"A");
        EXPECT_TRUE((*it)->flag);
        EXPECT_FALSE((*std::next(it))->flag);
    }
    EXPECT_EQ(OnWindow([](CZOVuvazaRCtrl& ctl) { return ctl.GetSelectedFiles(); }), L"");
    Select({0, 2});
    EXPECT_EQ(OnWindow([](CZOVuvazaRCtrl& ctl) { return ctl.GetSelectedFiles(); }), L"<" + a + L"><" + c + L">");
    EXPECT_EQ(OnWindow([](CZOVuvazaRCtrl& ctl) { return ctl.eValueGetSelectedFiles(); }), L"id-a/id-c");
    Select({1, 2});
    EXPECT_EQ(OnWindow([](CZOVuvazaRCtrl& ctl) { return ctl.eValueGetSelectedFiles(); }), b + L"/id-c");

    OnWindow([](CZOVuvazaRCtrl& ctl) { ctl.SetAllSelectedFlag(true); });
    EXPECT_EQ(OnWindow([](CZOVuvazaRCtrl& ctl) { return ctl.eValueGetSelectedFiles(); }), L"id-a/" + b + L"/id-c");
}

TEST_F(ScriptingTest, ShowFilesFollowsTheSystemName) {
    const std::wstring a = Document("a.pdf");
    const std::wstring b = Document("b.pdf");
    SetUpWith(L"en", L"C0C0C0", L"Folder");
    // Blanks and empty items before each item are passed over.
    OnWindow([&](CZOVuvazaRCtrl& c) { return c.ShowFiles(L"  <" + a + L">  <" + b + L">", L"<First> <Second>"); });
    ASSERT_TRUE(DeskBecomes({a, b}));
    {
        LockGuard desk(DeskLock());
        EXPECT_EQ(viewer_->objects.front()->caption, L"First");
        EXPECT_EQ(viewer_->objects.back()->caption, L"Second");
    }
    SetUpWith(L"en", L"C0C0C0", L"SamePlace");
    EXPECT_EQ(OnWindow([&](CZOVuvazaRCtrl& c) { return c.ShowFiles(L"<" + a + L">", L"<A>"); }), 0);
    EXPECT_TRUE(DeskBecomes({}));
}

TEST_F(ScriptingTest, PreviewFolderTakesTheLastTokenAndTheServiceHostWithoutLogin) {
    SetUpWith(L"en", L"C0C0C0");
    OnWindow([](CZOVuvazaRCtrl& c) { c.SetPreviewFolder(L"<//one/p><x><http://two/previews>"); });
    EXPECT_EQ(GetPreviewSettings().previewRoot, L"http://two/previews");
    OnWindow([](CZOVuvazaRCtrl& c) { c.SetPreviewFolder(L"<y>"); });
    EXPECT_EQ(GetPreviewSettings().previewRoot, L"http://two/previews");

    EXPECT_EQ(OnWindow([](CZOVuvazaRCtrl& c) {
                  return c.eValueInit(L"en", L"C0C0C0", false, L"", L"", L"http://service.example:8080/app/x.asmx");
              }),
              viewer_->InstanceId());
    EXPECT_EQ(GetPreviewSettings().previewRoot, L"http://service.example:8080");
    EXPECT_EQ(GetModuleSettings().systemName, L"eValueNS");
}

TEST_F(ScriptingTest, FileListFromAServerNamesDocumentsBesideItAndKeepsNotesFolderSafe) {
    SetUpWith(L"en", L"C0C0C0");
    TestHttpServer server;
    server.Answer("/lists/today.txt", 200, "a.pdf  \r\n\r\n../../outside\r\nb.pdf\r\n");
    const std::string notes = Root() + "/ZOVuvazaR/.sticky";
    std::filesystem::create_directories(notes);
    WriteBytes("ZOVuvazaR/.sticky/a.pdf.sticky", "note");
    WriteBytes("outside.sticky", "keep");
    const std::wstring base = L"http://127.0.0.1:" + std::to_wstring(server.Port()) + L"/lists";
    OnWindow([&](CZOVuvazaRCtrl& c) { c.SetFileList(base + L"/today.txt", L""); });
    ASSERT_TRUE(DeskBecomes({base + L"/a.pdf", base + L"/../../outside", base + L"/b.pdf"}));
    EXPECT_FALSE(std::filesystem::exists(notes + "/a.pdf.sticky"));
    EXPECT_TRUE(std::filesystem::exists(Root() + "/outside.sticky"));

    // A list that cannot be had leaves the desk as it was.
    OnWindow([&](CZOVuvazaRCtrl& c) { c.SetFileList(L"http://127.0.0.1:1/lists/none.txt", L""); });
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(DeskPaths().size(), 3u);
}

TEST_F(ScriptingTest, AFileListWithANotesFolderBringsTheNotesOfItsDocuments) {
    SetUpWith(L"en", L"C0C0C0");
    test::NginxServer nginx;
    ASSERT_TRUE(nginx.Running());
    nginx.WriteFile("lists/today.txt", "a.pdf\r\nb.pdf\r\n");
    const std::string note = "%STICKY 1\r\r\n2 00FF00 300 300 220 80 11 260 420\r\r\nfrom the server\r\r\n%EOF";
    nginx.WriteFile("notes/a.pdf.sticky.txt", note);
    nginx.WriteFile("notes/b.pdf.sticky.txt", "%EOF");
    OnWindow([&](CZOVuvazaRCtrl& c) {
        c.SetFileList(FromUtf8(nginx.Url("/lists/today.txt")), FromUtf8(nginx.Url("/notes/")));
    });
    // Each lands under its name without the last extension.
    const std::string notes = Root() + "/ZOVuvazaR/.sticky/";
    EXPECT_EQ(ReadBytes(notes + "a.pdf.sticky"), note);
    EXPECT_TRUE(std::filesystem::exists(notes + "b.pdf.sticky"));
    ASSERT_TRUE(DeskBecomes({FromUtf8(nginx.Url("/lists/a.pdf")), FromUtf8(nginx.Url("/lists/b.pdf"))}));
    ZAZObject* first = viewer_->Objects().front();
    ASSERT_TRUE(Eventually([&] {
        Step();
        LockGuard guard(DocumentLock());
        return first->notes && first->notes->size() == 1;
    }));
    LockGuard guard(DocumentLock());
    EXPECT_EQ(first->notes->front()->text, L"from the server");
}

TEST_F(ScriptingTest, OpenPagesBeforeAnyListReturnsInsteadOfWaitingForEver) {
    SetUpWith(L"en", L"C0C0C0");
    OnWindow([](CZOVuvazaRCtrl& c) { c.OpenPages(L"3/4"); });
    EXPECT_TRUE(DeskPaths().empty());
}

TEST_F(ScriptingTest, ClearMemoryReturnsWhileAFailedListingShowsItsBoxUnderTheCommandLock) {
    SetUpWith(L"en", L"C0C0C0");
    HttpSettings quick;
    quick.stallTimeout = 300ms;
    SetHttpSettings(quick);
    // WebDAV refused, then the index page stalls: the failure is shown in a
    // box while SetFolder holds the command lock.
    TestHttpServer server;
    server.Route("/slow/", [](const TestRequest& request) {
        TestResponse response;
        if (request.method == "PROPFIND")
            response.status = 405;
        else
            response.stall = true;
        return response;
    });
    window_->Post([&] { control_->SetFolder(FromUtf8(server.Url("/slow/")), false); });
    ASSERT_TRUE(Eventually([&] { return window_->MessageBoxes().size() == 1; }));

    // The box's nested loop runs the page's next calls: a command the worker
    // takes and then waits to run, and ClearMemory, which waits for the worker.
    window_->Post([&] { control_->ZoomDown(); });
    ASSERT_TRUE(Eventually([&] { return control_->PendingCommands() == 0; }));
    std::this_thread::sleep_for(50ms);
    std::atomic<bool> cleared{false};
    window_->Post([&] {
        control_->ClearMemory();
        cleared = true;
    });
    if (!Eventually([&] { return cleared.load(); })) {
        // The window thread can never come back: end here rather than hang.
        std::fprintf(stderr, "ClearMemory did not return while the box held the command lock\n");
        std::fflush(stderr);
        std::_Exit(1);
    }
    EXPECT_EQ(control_->Viewer(), nullptr);
    window_->AnswerMessageBox(IDOK);
    window_->Send([] {});
    SetHttpSettings(HttpSettings{});
}

// A control before its setup: no viewer, every call neutral.
class BareControlTest : public TempDataHome {
protected:
    void SetUp() override {
        TempDataHome::SetUp();
        HeadlessWindow::Options options;
        options.runTimers = false;
        window_ = std::make_unique<HeadlessWindow>(options);
        window_->Send([this] {
            object_ = static_cast<IDispatch*>(nullptr);
            void* made = nullptr;
            CZOVuvazaRApp::Instance().GetClassObject(CLSID_ZOVuvazaR, IID_IClassFactory, &made);
            factory_ = static_cast<IClassFactory*>(made);
            void* dispatch = nullptr;
            factory_->CreateInstance(nullptr, IID_IDispatch, &dispatch);
            object_ = static_cast<IDispatch*>(dispatch);
            void* ole = nullptr;
            object_->QueryInterface(IID_IOleObject, &ole);
            ole_ = static_cast<IOleObject*>(ole);
            ole_->SetClientSite(window_.get());
        });
        window_->Attach(ole_->Client());
    }

    void TearDown() override {
        window_->Attach(nullptr);
        window_->Send([this] {
            ole_->Close();
            ole_->SetClientSite(nullptr);
            ole_->Release();
            object_->Release();
            factory_->Release();
        });
        window_.reset();
        TempDataHome::TearDown();
    }

    Variant Call(std::string_view name, std::vector<Variant> args, HRESULT* hr = nullptr) {
        Variant result;
        HRESULT outcome = E_FAIL;
        window_->Send([&] {
            DISPID id = 0;
            outcome = object_->GetIDsOfNames(name, id);
            if (SUCCEEDED(outcome))
                outcome = object_->Invoke(id, args, &result);
        });
        if (hr)
            *hr = outcome;
        return result;
    }

    // Arguments of the declared types, all empty.
    static std::vector<Variant> Neutral(const DispatchMember& member) {
        std::vector<Variant> args;
        for (VarType type : member.args) {
            if (type == VarType::String)
                args.emplace_back(std::wstring(L"<ab>"));
            else if (type == VarType::Long)
                args.emplace_back(std::int32_t{0});
            else
                args.emplace_back(false);
        }
        return args;
    }

    std::unique_ptr<HeadlessWindow> window_;
    IClassFactory* factory_ = nullptr;
    IDispatch* object_ = nullptr;
    IOleObject* ole_ = nullptr;
};

TEST_F(BareControlTest, EveryMethodBeforeSetUpGivesItsNeutralValue) {
    const std::map<std::string_view, Variant> expected = {
        {"eValueSetFiles", Variant(std::int32_t{0})},  {"eValueGetSelectedFiles", Variant(std::wstring())},
        {"GetToolBarVisible", Variant(false)},         {"ShowFiles", Variant(std::int32_t{0})},
        {"GetSelectedFiles", Variant(std::wstring())}, {"GetDirTreeVisible", Variant(false)},
        {"ShowWorkWindow", Variant(std::int32_t{-1})}, {"AddFilesToWorkWindow", Variant(std::int32_t{1})},
        {"GetWorkWindowCount", Variant(std::int32_t{0})}, {"ExistSameFileInWorkWindow", Variant(false)},
    };
    // AboutBox shows its box even before SetUp; the reader closes it.
    std::atomic<bool> finished{false};
    std::thread reader([&] {
        while (!finished) {
            if (std::optional<HeadlessWindow::ShownDialog> open = window_->OpenDialog())
                window_->PressDialogButton(open->handle, IDOK);
            std::this_thread::sleep_for(5ms);
        }
    });
    for (const DispatchMember& member : object_->Members()) {
        // These two set the control up (or, for ClearMemory, end it).
        if (member.name == "SetUp" || member.name == "eValueInit" || member.name == "ClearMemory")
            continue;
        HRESULT hr = E_FAIL;
        Variant result = Call(member.name, Neutral(member), &hr);
        EXPECT_EQ(hr, S_OK) << member.name;
        EXPECT_EQ(result.Type(), member.result) << member.name;
        if (auto it = expected.find(member.name); it != expected.end()) {
            EXPECT_EQ(result, it->second) << member.name;
        }
    }
    finished = true;
    reader.join();
    const std::vector<HeadlessWindow::ShownDialog> shown = window_->Dialogs();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown.front().dialog.resource, 162);
    auto* control = static_cast<CZOVuvazaRCtrl*>(ole_->Client());
    EXPECT_EQ(control->Viewer(), nullptr);
    EXPECT_FALSE(control->SetupDone());
}

TEST_F(BareControlTest, TheDispatchTableChecksNamesCountsAndTypes) {
    std::span<const DispatchMember> members = object_->Members();
    ASSERT_EQ(members.size(), 43u);
    EXPECT_EQ(members.front().id, DISPID_ABOUTBOX);
    for (std::size_t i = 1; i < members.size(); ++i)
        EXPECT_EQ(members[i].id, static_cast<DISPID>(i));
    DISPID id = 0;
    EXPECT_EQ(object_->GetIDsOfNames("setup", id), S_OK);
    EXPECT_EQ(id, 24);
    EXPECT_EQ(object_->GetIDsOfNames("SetUpX", id), DISP_E_UNKNOWNNAME);

    HRESULT hr = S_OK;
    Call("SetFiles", {}, &hr);
    EXPECT_EQ(hr, DISP_E_BADPARAMCOUNT);
    Call("SetFiles", {Variant(std::int32_t{1})}, &hr);
    EXPECT_EQ(hr, DISP_E_TYPEMISMATCH);
    Variant result;
    EXPECT_EQ(object_->Invoke(99, {}, &result), DISP_E_MEMBERNOTFOUND);

    // SetUp through the table makes the viewer; a second gives the same one.
    Variant first = Call("SetUp", {std::wstring(L"en"), std::wstring(L"C0C0C0"), true, std::wstring(),
                                   std::wstring(), std::wstring(L"Folder"), false});
    ASSERT_EQ(first.Type(), VarType::Long);
    EXPECT_GE(first.Long(), 0);
    Variant second = Call("SetUp", {std::wstring(L"en"), std::wstring(L"C0C0C0"), true, std::wstring(),
                                    std::wstring(), std::wstring(L"Folder"), false});
    EXPECT_EQ(first, second);
    EXPECT_EQ(Call("GetToolBarVisible", {}), Variant(true));
    Call("SetToolBarVisible", {false});
    EXPECT_EQ(Call("GetToolBarVisible", {}), Variant(false));
}

TEST_F(BareControlTest, StartupFileSetsUpShowsAndIsConsumed) {
    auto* control = static_cast<CZOVuvazaRCtrl*>(ole_->Client());
    const std::string previews = Root() + "/previews";
    std::filesystem::create_directories(Root() + "/ZOVuvazaR");
    ASSERT_TRUE(WriteTextFile(StartupArgsPath(), L"SetUp\nja\nFFFFFF\nfalse\nloginId\n" + FromUtf8(previews) +
                                                     L"\nFolder\nfalse\nShowFiles\n<" + WideRoot() +
                                                     L"\\docs\\a.pdf>\n<Caption A>\nZoomUpFirstObject\n"));
    window_->SendTimer(CZOVuvazaRCtrl::kAnimationTimer);
    EXPECT_TRUE(control->SetupDone());
    ASSERT_NE(control->Viewer(), nullptr);
    EXPECT_TRUE(control->Japanese());
    EXPECT_EQ(DeskColour(), 0xFFFFFEu);
    EXPECT_FALSE(PathExists(StartupArgsPath()));
    auto* viewer = dynamic_cast<ZAZViewer*>(control->Viewer());
    ASSERT_NE(viewer, nullptr);
    EXPECT_TRUE(viewer->zoomFirstRequested.load());
    EXPECT_TRUE(Soon([&] {
        LockGuard desk(DeskLock());
        return viewer->objects.size() == 1 && viewer->objects.front()->caption == L"Caption A";
    }));
    SetDeskColour(0xC0, 0xC0, 0xC0);
}

// Registration writes the per-user registry file the container reads.
class RegistrationTest : public TempDataHome {};

TEST_F(RegistrationTest, RegisterAndUnregisterRoundTrip) {
    CZOVuvazaRApp& app = CZOVuvazaRApp::Instance();
    ASSERT_EQ(app.RegisterServer("/opt/zov/libZOVuvazaR.so"), S_OK);
    std::optional<RegistryData> data = RegistryFile::ForUser().Read();
    ASSERT_TRUE(data);
    for (std::string_view name : {"{D340FA1C-4A07-4590-BFFB-FA14857D23DF}", "ZOVUVAZAR.ZOVuvazaRCtrl.1",
                                  "zovuvazar.zovuvazarctrl.1"}) {
        std::optional<ServerEntry> entry = FindServer(*data, name);
        ASSERT_TRUE(entry) << name;
        EXPECT_EQ(entry->library, "/opt/zov/libZOVuvazaR.so");
        EXPECT_TRUE(entry->safeForScripting);
        EXPECT_TRUE(entry->safeForInitializing);
    }
    EXPECT_EQ(data->Value("CLSID\\{D340FA1C-4A07-4590-BFFB-FA14857D23DF}\\MiscStatus\\1"), "131473");
    EXPECT_EQ(data->Value("TypeLib\\{EE95D01C-76ED-42EA-B6DF-76A20B689FE6}\\1.0"), "ZOVuvazaRLib");
    EXPECT_EQ(data->Value("ZOVUVAZAR.ZOVuvazaRPropPage.1\\CLSID"), "{C3B8A5CB-72F6-497A-96F8-3A5A2C6D3EDD}");
    // Registering again changes nothing.
    ASSERT_EQ(app.RegisterServer("/opt/zov/libZOVuvazaR.so"), S_OK);
    EXPECT_EQ(RegistryFile::ForUser().Read()->Serialise(), data->Serialise());

    ASSERT_EQ(app.UnregisterServer(), S_OK);
    data = RegistryFile::ForUser().Read();
    ASSERT_TRUE(data);
    EXPECT_FALSE(FindServer(*data, "ZOVUVAZAR.ZOVuvazaRCtrl.1"));
    EXPECT_FALSE(data->HasKey("CLSID\\{D340FA1C-4A07-4590-BFFB-FA14857D23DF}"));
    EXPECT_FALSE(data->HasKey("TypeLib\\{EE95D01C-76ED-42EA-B6DF-76A20B689FE6}"));
    EXPECT_TRUE(data->HasKey("Component Categories\\{7DD95801-9882-11CF-9FA9-00AA006C42C4}"));
}

TEST_F(RegistrationTest, AnUnwritableRegistryFailsAtTheTypeLibrary) {
    // The per-user data folder is a file: nothing can be written below it.
    WriteBytes("ZOVuvazaR", "not a folder");
    EXPECT_EQ(CZOVuvazaRApp::Instance().RegisterServer("/opt/zov/libZOVuvazaR.so"), SELFREG_E_TYPELIB);
    EXPECT_EQ(CZOVuvazaRApp::Instance().UnregisterServer(), SELFREG_E_TYPELIB);
}

TEST_F(RegistrationTest, EachFactoryMakesItsOwnClassOnly) {
    CZOVuvazaRApp& app = CZOVuvazaRApp::Instance();
    void* object = nullptr;
    EXPECT_EQ(app.GetClassObject(IID_IDispatch, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
    // The property page: an object of its own, not a control.
    ASSERT_EQ(app.GetClassObject(CLSID_ZOVuvazaRPropPage, IID_IClassFactory, &object), S_OK);
    auto* pages = static_cast<IClassFactory*>(object);
    void* page = nullptr;
    EXPECT_EQ(pages->CreateInstance(nullptr, IID_IDispatch, &page), E_NOINTERFACE);
    ASSERT_EQ(pages->CreateInstance(nullptr, IID_IUnknown, &page), S_OK);
    EXPECT_EQ(app.CanUnloadNow(), S_FALSE);
    static_cast<IUnknown*>(page)->Release();
    pages->Release();
    EXPECT_EQ(app.CanUnloadNow(), S_OK);
    ASSERT_EQ(app.GetClassObject(CLSID_ZOVuvazaR, IID_IClassFactory, &object), S_OK);
    auto* factory = static_cast<IClassFactory*>(object);
    EXPECT_EQ(app.CanUnloadNow(), S_FALSE);
    void* control = nullptr;
    EXPECT_EQ(factory->CreateInstance(factory, IID_IDispatch, &control), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &control), E_NOINTERFACE);
    EXPECT_EQ(control, nullptr);
    factory->Release();
    EXPECT_EQ(app.CanUnloadNow(), S_OK);
}

}  // namespace
}  // namespace zov::test
