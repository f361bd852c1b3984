// Scripting calls whose work happens on servers, against real ones on
// loopback: the service's own server without a login, deleting the selected
// files, and listing folders. What the user sees is checked on the desk and
// in the message boxes.
#include "control/ModuleSettings.h"
#include "documents/PageFileWriter.h"
#include "platform/image/ImageDecoder.h"
#include "tests/support/NginxServer.h"
#include "tests/support/TestHttpServer.h"
#include "tests/viewer/ViewerFixture.h"

#include <algorithm>
#include <filesystem>
#include <map>

namespace zov::test {
namespace {

std::string PageFileBytes(std::uint32_t colour, std::optional<std::vector<std::int32_t>> pages = std::nullopt) {
    constexpr int kWidth = 60;
    constexpr int kHeight = 84;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(kWidth) * kHeight, colour);
    PageFileContent content;
    content.imageType = 3;
    content.image1 = PageFileImage{kWidth, kHeight, 0, EncodePng(pixels.data(), kWidth, kHeight)};
    content.pageList = std::move(pages);
    std::vector<std::uint8_t> bytes = SerializePageFile(content);
    return std::string(bytes.begin(), bytes.end());
}

std::string QueryOf(const std::string& target) {
    std::size_t mark = target.find('?');
    return mark == std::string::npos ? std::string() : target.substr(mark + 1);
}

class ServerCalls : public ViewerFixture {
protected:
    void TearDown() override {
        SetShareMountRoot(L"/mnt");
        ViewerFixture::TearDown();
    }

    // A desk that should not change: give a wrong change the time to show.
    bool DeskStays(const std::vector<std::wstring>& paths) {
        std::this_thread::sleep_for(100ms);
        return DeskPaths() == paths;
    }

    void SetUpWith(const std::wstring& language, const std::wstring& system) {
        OnWindow([&](CZOVuvazaRCtrl& c) {
            return c.SetUp(language, L"C0C0C0", true, L"", WideRoot() + L"\\previews", system, false);
        });
    }

    // Ticks the timer, as the container does, until the first book has
    // pages and its place on the desk: the shape of its first picture, held
    // over two ticks (a book placed before its picture came takes another
    // shape once it comes, and a click meant for the first misses).
    ZAZObject* FirstBookShown() {
        ZAZObject* shown = nullptr;
        RECT before{};
        Eventually([&] {
            Tick();
            LockGuard desk(DeskLock());
            if (viewer_->objects.empty())
                return false;
            ZAZObject& book = *viewer_->objects.front();
            const RECT bounds = book.Bounds();
            const bool pictured = std::find(book.loadedSmall.begin(), book.loadedSmall.end(), book.Page(0)) !=
                                  book.loadedSmall.end();
            const bool held = bounds == before;
            before = bounds;
            if (book.notDisplayable != 0 || bounds.right <= bounds.left || !pictured || !held)
                return false;
            shown = &book;
            return true;
        });
        return shown;
    }

    // On the book's right-hand page, where a closed book shows its cover.
    // The control hands the clicks to its worker, which zooms.
    void ClickOn(ZAZObject& book) {
        POINT page;
        {
            ViewLock lock;
            page = POINT{(book.S.x + book.T.x) / 2, (book.T.y + book.B.y) / 2};
        }
        window_->SendLButtonDown(MK_LBUTTON, page);
        window_->SendLButtonUp(0, page);
    }

    std::size_t Boxes() const { return window_->MessageBoxes().size(); }
    std::wstring LastBox() const { return window_->MessageBoxes().back().text; }

    static bool Mentions(const std::wstring& text, const std::wstring& part) {
        return text.find(part) != std::wstring::npos;
    }
};

// The service that holds a no-login installation's files: every file by its
// key, and the log by the document's key.
class KeyService {
public:
    // Query -> answer body; anything else is answered 404.
    explicit KeyService(std::map<std::string, std::string> files) : files_(std::move(files)) {
        server_.Route("/svc/get", [this](const TestRequest& request) {
            auto it = files_.find(QueryOf(request.target));
            return it == files_.end() ? Reply(404) : Reply(200, it->second);
        });
    }
    std::wstring Address() const { return FromUtf8(server_.Url("/svc/get")); }
    std::vector<std::string> Targets() const {
        std::vector<std::string> targets;
        for (const TestRequest& request : server_.Requests())
            targets.push_back(request.target);
        return targets;
    }
    std::vector<TestRequest> Requests() const { return server_.Requests(); }

private:
    const std::map<std::string, std::string> files_;  // before the server that reads it
    TestHttpServer server_;
};

TEST_F(ServerCalls, WithoutALoginPagesAndTheLogGoToTheServiceByKey) {
    KeyService service({{"fkey=abcdef123_00000001", PageFileBytes(0x2040A0, std::vector<std::int32_t>{1})},
                        {"fkey=abcdef123_FFFFFFFF", "**ZAZPreviewStatus:Success"},
                        {"fkey=abcdef123&l=1", ""}});
    // Should the log fail, its box must not hold the window.
    window_->AnswerMessageBox(IDOK);

    EXPECT_EQ(OnWindow([&](CZOVuvazaRCtrl& c) { return c.eValueInit(L"en", L"C0C0C0", true, L"", L"", service.Address()); }),
              viewer_->InstanceId());
    const PreviewSettings settings = GetPreviewSettings();
    EXPECT_TRUE(settings.fkeyMode);
    EXPECT_EQ(settings.fkeyBaseUrl, service.Address());
    EXPECT_EQ(OnWindow([](CZOVuvazaRCtrl& c) { return c.eValueSetFiles(L"abcdef123", L"DOC-1", L"Report", L"0", L""); }),
              0);

    ZAZObject* book = FirstBookShown();
    ASSERT_NE(book, nullptr) << "the page never came from the service";
    std::vector<std::string> targets = service.Targets();
    EXPECT_NE(std::find(targets.begin(), targets.end(), "/svc/get?fkey=abcdef123_00000001"), targets.end());
    for (const TestRequest& request : service.Requests()) {
        EXPECT_EQ(request.target.rfind("/svc/get?fkey=abcdef123", 0), 0u) << request.target;
        EXPECT_EQ(request.Header("User-Agent"), std::nullopt) << request.target;
    }

    ClickOn(*book);
    ASSERT_TRUE(Eventually([&] { return viewer_->ZoomedObject() == book; }));
    EXPECT_TRUE(Eventually([&] {
        targets = service.Targets();
        return std::find(targets.begin(), targets.end(), "/svc/get?fkey=abcdef123&l=1") != targets.end();
    }));
    EXPECT_EQ(Boxes(), 0u) << ToUtf8(LastBox());
}

TEST_F(ServerCalls, WithALoginTheLogIsPostedToTheServiceAddress) {
    TestHttpServer server;
    const std::string folder = "/prev/.preview/a/b/c/d/e/f/abcdef123";
    server.Answer(folder + "_00000001.txt", 200, PageFileBytes(0x30A050, std::vector<std::int32_t>{1}));
    server.Answer(folder + "_FFFFFFFF.txt", 200, "**ZAZPreviewStatus:Success");
    server.Answer("/svc/log.asmx", 200, "<?xml version=\"1.0\"?><soap:Envelope/>");
    window_->AnswerMessageBox(IDOK);

    OnWindow([&](CZOVuvazaRCtrl& c) {
        return c.eValueInit(L"en", L"C0C0C0", true, L"user01", FromUtf8(server.Url("/prev")),
                            FromUtf8(server.Url("/svc/log.asmx")));
    });
    EXPECT_FALSE(GetPreviewSettings().fkeyMode);
    OnWindow([](CZOVuvazaRCtrl& c) { return c.eValueSetFiles(L"abcdef123", L"DOC-1", L"Report", L"0", L""); });
    ZAZObject* book = FirstBookShown();
    ASSERT_NE(book, nullptr);
    ClickOn(*book);
    ASSERT_TRUE(Eventually([&] { return viewer_->ZoomedObject() == book; }));

    std::vector<TestRequest> posts;
    ASSERT_TRUE(Eventually([&] {
        posts.clear();
        for (const TestRequest& request : server.Requests())
            if (request.method == "POST")
                posts.push_back(request);
        return posts.size() == 1;
    }));
    EXPECT_EQ(posts[0].target, "/svc/log.asmx");
    EXPECT_NE(posts[0].body.find("<logobject>abcdef123</logobject>"), std::string::npos);
    EXPECT_NE(posts[0].body.find("<vfUser>user01</vfUser>"), std::string::npos);
    EXPECT_EQ(Boxes(), 0u) << ToUtf8(LastBox());
}

TEST_F(ServerCalls, OnlyFilesTheServerDeletedLeaveTheDesk) {
    NginxServer nginx;
    ASSERT_TRUE(nginx.Running());
    for (const char* name : {"docs/a.pdf", "docs/b.pdf", "docs/c.pdf"})
        nginx.WriteFile(name, "pdf");
    SetUpWith(L"en", L"Folder");
    const std::wstring a = FromUtf8(nginx.Url("/docs/a.pdf"));
    const std::wstring b = FromUtf8(nginx.Url("/plain/docs/b.pdf"));  // no WebDAV there: 405
    const std::wstring c = FromUtf8(nginx.Url("/docs/c.pdf"));
    OnWindow([&](CZOVuvazaRCtrl& ctl) { ctl.SetFiles(L"<" + a + L"><" + b + L"><" + c + L">"); });
    ASSERT_TRUE(DeskBecomes({a, b, c}));
    OnWindow([](CZOVuvazaRCtrl& ctl) { ctl.SetAllSelectedFlag(true); });
    window_->AnswerMessageBox(IDOK);
    OnWindow([](CZOVuvazaRCtrl& ctl) { ctl.DeleteSelectedFiles(); });

    EXPECT_FALSE(nginx.Exists("docs/a.pdf"));
    EXPECT_FALSE(nginx.Exists("docs/c.pdf"));
    EXPECT_TRUE(nginx.Exists("docs/b.pdf"));
    EXPECT_TRUE(DeskBecomes({b}));
    ASSERT_EQ(Boxes(), 1u);
    const std::wstring box = LastBox();
    EXPECT_TRUE(Mentions(box, b + L" : 405 Method Not Allowed")) << ToUtf8(box);
    EXPECT_FALSE(Mentions(box, a)) << ToUtf8(box);
    EXPECT_FALSE(Mentions(box, c)) << ToUtf8(box);

    // All deleted: nothing to say.
    nginx.WriteFile("docs/d.pdf", "pdf");
    const std::wstring d = FromUtf8(nginx.Url("/docs/d.pdf"));
    OnWindow([&](CZOVuvazaRCtrl& ctl) { ctl.SetFiles(L"<" + d + L">"); });
    ASSERT_TRUE(DeskBecomes({d}));
    OnWindow([](CZOVuvazaRCtrl& ctl) { ctl.SetAllSelectedFlag(true); });
    OnWindow([](CZOVuvazaRCtrl& ctl) { ctl.DeleteSelectedFiles(); });
    EXPECT_FALSE(nginx.Exists("docs/d.pdf"));
    EXPECT_TRUE(DeskBecomes({}));
    EXPECT_EQ(Boxes(), 1u);
}

TEST_F(ServerCalls, ARefusedFileOfARememberedFolderIsListedAgainAndNamedInJapanese) {
    NginxServer nginx;
    ASSERT_TRUE(nginx.Running());
    nginx.WriteFile("shelf/kept.pdf", "pdf");
    SetUpWith(L"ja", L"Folder");
    const std::wstring folder = FromUtf8(nginx.Url("/plain/shelf/"));
    OnWindow([&](CZOVuvazaRCtrl& ctl) { ctl.SetFolder(folder, true); });
    ASSERT_TRUE(DeskBecomes({folder + L"kept.pdf"}));
    OnWindow([](CZOVuvazaRCtrl& ctl) { ctl.SetAllSelectedFlag(true); });
    window_->AnswerMessageBox(IDOK);
    OnWindow([](CZOVuvazaRCtrl& ctl) { ctl.DeleteSelectedFiles(); });
    ASSERT_EQ(Boxes(), 1u);
    EXPECT_EQ(LastBox().rfind(L"次のファイルは削除されませんでした。\n", 0), 0u) << ToUtf8(LastBox());
    EXPECT_TRUE(nginx.Exists("shelf/kept.pdf"));
    EXPECT_TRUE(DeskStays({folder + L"kept.pdf"}));
}

TEST_F(ServerCalls, AnEmptyServerFolderEmptiesTheDeskAndOneThatCannotBeListedSaysWhy) {
    NginxServer nginx;
    ASSERT_TRUE(nginx.Running());
    nginx.WriteFile("docs/a.pdf", "pdf");
    std::filesystem::create_directories(nginx.Root() + "/empty");
    SetUpWith(L"en", L"Folder");
    const std::wstring docs = FromUtf8(nginx.Url("/docs/"));
    const std::vector<std::wstring> shown = {docs + L"a.pdf"};

    for (const char* empty : {"/empty/", "/plain/empty/"}) {
        OnWindow([&](CZOVuvazaRCtrl& c) { c.SetFolder(docs, false); });
        ASSERT_TRUE(DeskBecomes(shown));
        OnWindow([&](CZOVuvazaRCtrl& c) { c.SetFolder(FromUtf8(nginx.Url(empty)), false); });
        EXPECT_TRUE(DeskBecomes({})) << empty;
        EXPECT_EQ(Boxes(), 0u) << empty;
    }

    OnWindow([&](CZOVuvazaRCtrl& c) { c.SetFolder(docs, false); });
    ASSERT_TRUE(DeskBecomes(shown));
    const std::wstring missing = FromUtf8(nginx.Url("/none/"));
    window_->AnswerMessageBox(IDOK);
    OnWindow([&](CZOVuvazaRCtrl& c) { c.SetFolder(missing, true); });
    ASSERT_EQ(Boxes(), 1u);
    EXPECT_EQ(LastBox(), L"The folder could not be listed.\n" + missing + L" : 404 Not Found");
    EXPECT_TRUE(DeskStays(shown));
    // Remembered all the same, as the page asked.
    EXPECT_EQ(control_->RememberedFolder(), missing);

    window_->AnswerMessageBox(IDOK);
    OnWindow([](CZOVuvazaRCtrl& c) { c.SetFolder(L"http://127.0.0.1:1/docs/", false); });
    ASSERT_EQ(Boxes(), 2u);
    EXPECT_EQ(LastBox().rfind(L"The folder could not be listed.\nhttp://127.0.0.1:1/docs/ : ", 0), 0u);
    EXPECT_GT(LastBox().size(), std::wstring(L"The folder could not be listed.\nhttp://127.0.0.1:1/docs/ : ").size());
    EXPECT_TRUE(DeskStays(shown));
}

TEST_F(ServerCalls, AFailedFolderLeavesTheSamePlaceRootAsItWas) {
    NginxServer nginx;
    ASSERT_TRUE(nginx.Running());
    nginx.WriteFile("docs/a.pdf", "pdf");
    SetUpWith(L"en", L"SamePlace");
    const std::wstring docs = FromUtf8(nginx.Url("/docs/"));
    OnWindow([&](CZOVuvazaRCtrl& c) { c.SetFolder(docs, false); });
    ASSERT_TRUE(DeskBecomes({docs + L"a.pdf"}));
    EXPECT_EQ(GetPreviewSettings().previewRoot, docs);
    window_->AnswerMessageBox(IDOK);
    OnWindow([&](CZOVuvazaRCtrl& c) { c.SetFolder(FromUtf8(nginx.Url("/none/")), false); });
    EXPECT_EQ(Boxes(), 1u);
    EXPECT_EQ(GetPreviewSettings().previewRoot, docs);
}

TEST_F(ServerCalls, ShareFoldersEmptyOrMissing) {
    SetShareMountRoot(FromUtf8(Root() + "/shares"));
    WriteBytes("shares/srv/docs/a.pdf", "pdf");
    std::filesystem::create_directories(Root() + "/shares/srv/empty");
    SetUpWith(L"en", L"Folder");
    const std::vector<std::wstring> shown = {L"\\\\srv\\docs\\a.pdf"};
    OnWindow([](CZOVuvazaRCtrl& c) { c.SetFolder(L"\\\\srv\\docs", false); });
    ASSERT_TRUE(DeskBecomes(shown));
    OnWindow([](CZOVuvazaRCtrl& c) { c.SetFolder(L"\\\\srv\\empty", false); });
    EXPECT_TRUE(DeskBecomes({}));
    EXPECT_EQ(Boxes(), 0u);

    OnWindow([](CZOVuvazaRCtrl& c) { c.SetFolder(L"\\\\srv\\docs", false); });
    ASSERT_TRUE(DeskBecomes(shown));
    window_->AnswerMessageBox(IDOK);
    OnWindow([](CZOVuvazaRCtrl& c) { c.SetFolder(L"\\\\srv\\none", false); });
    ASSERT_EQ(Boxes(), 1u);
    EXPECT_EQ(LastBox(), L"The folder could not be listed.\n\\\\srv\\none : No such file or directory");
    EXPECT_TRUE(DeskStays(shown));

    // A share file cannot be deleted from here: it stays, and the user is told.
    OnWindow([](CZOVuvazaRCtrl& c) { c.SetAllSelectedFlag(true); });
    window_->AnswerMessageBox(IDOK);
    OnWindow([](CZOVuvazaRCtrl& c) { c.DeleteSelectedFiles(); });
    ASSERT_EQ(Boxes(), 2u);
    EXPECT_TRUE(Mentions(LastBox(), L"\\\\srv\\docs\\a.pdf : not an http(s) address")) << ToUtf8(LastBox());
    EXPECT_TRUE(PathExists(FromUtf8(Root() + "/shares/srv/docs/a.pdf")));
    EXPECT_TRUE(DeskStays(shown));
}

}  // namespace
}  // namespace zov::test
