#include "documents/Download.h"
#include "documents/PreviewSettings.h"
#include "platform/DataFolder.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "platform/net/HttpClient.h"
#include "tests/support/NginxServer.h"
#include "tests/support/TempDataHome.h"
#include "tests/support/TestHttpServer.h"

#include <filesystem>
#include <thread>

namespace zov {
namespace {

using test::TestRequest;
using test::TestResponse;

class Downloads : public test::TempDataHome {
protected:
    void SetUp() override {
        TempDataHome::SetUp();
        SetPreviewSettings(PreviewSettings{});
    }
    void TearDown() override {
        SetPreviewSettings(PreviewSettings{});
        SetHttpSettings(HttpSettings{});
        TempDataHome::TearDown();
    }
    std::wstring Local(const std::wstring& name) const { return UserDataFolder() + L"host\\" + name; }
    std::string Bytes(const std::wstring& local) const { return ReadBytes(NativePath(local)); }
    bool LeftoversIn(const std::wstring& folder) const {
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator(NativePath(folder), ignored))
            if (entry.path().extension() == ".download")
                return true;
        return false;
    }

    test::TestHttpServer server_;
};

TEST_F(Downloads, HeadersAreThoseOfThePreviewClientOrNoneInFkeyMode) {
    server_.Answer("/p/a.ppt_00000001.txt", 200, "page bytes");
    ASSERT_TRUE(Download(FromUtf8(server_.Url("/p/a.ppt_00000001.txt")), Local(L"a.ppt_00000001.txt")));
    EXPECT_EQ(Bytes(Local(L"a.ppt_00000001.txt")), "page bytes");

    PreviewSettings fkey;
    fkey.fkeyMode = true;
    fkey.fkeyBaseUrl = FromUtf8(server_.Url("/svc/get"));
    SetPreviewSettings(fkey);
    server_.Answer("/svc/get", 200, "by key");
    ASSERT_TRUE(Download(L"http://not.used.example/a.ppt", Local(L"a.ppt_00000001.txt")));
    EXPECT_EQ(Bytes(Local(L"a.ppt_00000001.txt")), "by key");

    std::vector<TestRequest> requests = server_.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].Header("Accept"), "text/*");
    EXPECT_EQ(requests[0].Header("User-Agent"), "Corvane");
    EXPECT_EQ(requests[1].target, "/svc/get?fkey=a.ppt_00000001");
    EXPECT_EQ(requests[1].Header("Accept"), std::nullopt);
    EXPECT_EQ(requests[1].Header("User-Agent"), std::nullopt);
}

TEST_F(Downloads, AnyAnswerIsTheFileButAPageStopsAfterItsFirstChunk) {
    const std::string page = "<html>" + std::string(2500000, 'x');
    const std::string binary(2500000, '\x01');
    server_.Answer("/page", 200, page);
    server_.Answer("/binary", 200, binary);
    server_.Answer("/missing", 404, "<html>not found</html>");
    server_.Answer("/empty", 200, "");

    ASSERT_TRUE(Download(FromUtf8(server_.Url("/page")), Local(L"page.txt")));
    EXPECT_EQ(Bytes(Local(L"page.txt")), page.substr(0, kDownloadChunk));
    ASSERT_TRUE(Download(FromUtf8(server_.Url("/binary")), Local(L"binary.txt")));
    EXPECT_EQ(Bytes(Local(L"binary.txt")), binary);
    ASSERT_TRUE(Download(FromUtf8(server_.Url("/missing")), Local(L"missing.txt")));
    EXPECT_EQ(Bytes(Local(L"missing.txt")), "<html>not found</html>");
    ASSERT_TRUE(Download(FromUtf8(server_.Url("/empty")), Local(L"empty.txt")));
    EXPECT_TRUE(PathExists(Local(L"empty.txt")));
    EXPECT_EQ(Bytes(Local(L"empty.txt")), "");
    EXPECT_FALSE(LeftoversIn(UserDataFolder() + L"host"));
}

TEST_F(Downloads, RefusedCancelledAndFailedDownloadsLeaveNoFile) {
    server_.Answer("/file", 200, "content");
    std::atomic<bool> cancel{true};
    EXPECT_FALSE(Download(FromUtf8(server_.Url("/file")), Local(L"cancelled.txt"), &cancel));
    EXPECT_FALSE(PathExists(Local(L"cancelled.txt")));
    EXPECT_TRUE(server_.Requests().empty());

    // Another scheme is refused and whatever was there stays.
    ASSERT_TRUE(CreateFolderTree(UserDataFolder() + L"host"));
    WriteBytes("ZOVuvazaR/host/kept.txt", "old");
    EXPECT_FALSE(Download(L"ftp://127.0.0.1/kept.txt", Local(L"kept.txt")));
    EXPECT_EQ(Bytes(Local(L"kept.txt")), "old");

    // A server that stops sending: the stall time-out ends the transfer.
    HttpSettings quick;
    quick.stallTimeout = std::chrono::milliseconds(400);
    SetHttpSettings(quick);
    server_.Route("/stall", [](const TestRequest&) {
        TestResponse response;
        response.body = std::string(4096, 'x');
        response.stallAfterBytes = 100;
        return response;
    });
    EXPECT_FALSE(Download(FromUtf8(server_.Url("/stall")), Local(L"stalled.txt")));
    EXPECT_FALSE(PathExists(Local(L"stalled.txt")));
    EXPECT_FALSE(LeftoversIn(UserDataFolder() + L"host"));

    // The cache folder cannot be made: a file stands in its way.
    WriteBytes("ZOVuvazaR/blocker", "x");
    EXPECT_FALSE(Download(FromUtf8(server_.Url("/file")), UserDataFolder() + L"blocker\\f.txt"));
}

// A server that keeps sending a little must not keep the download lock:
// every other download of the process waits for it.
TEST_F(Downloads, ATricklingServerLetsGoOfTheDownloadLock) {
    HttpSettings slow;
    slow.stallTimeout = std::chrono::seconds(60);
    slow.minimumSpeed = 1000;
    slow.speedWindow = std::chrono::milliseconds(500);
    SetHttpSettings(slow);
    TestResponse trickle;
    trickle.body = std::string(100000, '\x01');
    trickle.trickle = std::chrono::milliseconds(20);
    server_.Route("/trickle", [trickle](const TestRequest&) { return trickle; });
    server_.Answer("/next", 200, "next file");

    bool trickled = true;
    std::thread first([&] { trickled = Download(FromUtf8(server_.Url("/trickle")), Local(L"trickle.txt")); });
    // Wait until the first download holds the lock, then queue behind it.
    while (server_.Requests().empty())
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_TRUE(Download(FromUtf8(server_.Url("/next")), Local(L"next.txt")));
    first.join();
    EXPECT_FALSE(trickled);
    EXPECT_FALSE(PathExists(Local(L"trickle.txt")));
    EXPECT_EQ(Bytes(Local(L"next.txt")), "next file");
    EXPECT_FALSE(LeftoversIn(UserDataFolder() + L"host"));
}

TEST_F(Downloads, ABodyBeyondTheLimitLeavesNoFile) {
    TestResponse huge;
    huge.body = std::string(4096, '\x02');  // not a page: no first-chunk cut
    huge.repeatedLength = kMaxDownloadBytes + 1;
    server_.Route("/huge", [huge](const TestRequest&) { return huge; });
    TestResponse unannounced = huge;
    unannounced.untilClose = true;
    server_.Route("/unannounced", [unannounced](const TestRequest&) { return unannounced; });

    for (const char* path : {"/huge", "/unannounced"}) {
        EXPECT_FALSE(Download(FromUtf8(server_.Url(path)), Local(L"huge.txt"))) << path;
        EXPECT_FALSE(PathExists(Local(L"huge.txt"))) << path;
        EXPECT_FALSE(LeftoversIn(UserDataFolder() + L"host")) << path;
    }
}

TEST_F(Downloads, DeleteReportsTheServersAnswer) {
    test::NginxServer nginx;
    ASSERT_TRUE(nginx.Running());
    nginx.WriteFile("docs/gone.pdf", "pdf");
    EXPECT_TRUE(SendDelete(FromUtf8(nginx.Url("/docs/gone.pdf"))));
    EXPECT_FALSE(nginx.Exists("docs/gone.pdf"));
    EXPECT_FALSE(SendDelete(FromUtf8(nginx.Url("/docs/gone.pdf"))));
    EXPECT_FALSE(SendDelete(L"not a url"));

    // A plain web server refuses: the file stays, and the answer says why.
    nginx.WriteFile("docs/kept.pdf", "pdf");
    DeleteResult refused = SendDeleteRequest(FromUtf8(nginx.Url("/plain/docs/kept.pdf")));
    EXPECT_FALSE(refused.deleted);
    EXPECT_EQ(refused.status, 405);
    EXPECT_EQ(DeleteFailureReason(refused), L"405 Method Not Allowed");
    EXPECT_TRUE(nginx.Exists("docs/kept.pdf"));

    // Neither a redirect nor a status without a phrase counts as deleted.
    server_.Answer("/moved.pdf", 302, "", {{"Location", "/elsewhere.pdf"}});
    server_.Answer("/odd.pdf", 299, "");
    server_.Answer("/strange.pdf", 499, "");
    EXPECT_FALSE(SendDelete(FromUtf8(server_.Url("/moved.pdf"))));
    EXPECT_TRUE(SendDelete(FromUtf8(server_.Url("/odd.pdf"))));
    DeleteResult strange = SendDeleteRequest(FromUtf8(server_.Url("/strange.pdf")));
    EXPECT_EQ(DeleteFailureReason(strange), L"499");

    // No answer at all: why not, in words.
    DeleteResult unreachable = SendDeleteRequest(L"http://127.0.0.1:1/docs/x.pdf");
    EXPECT_FALSE(unreachable.deleted);
    EXPECT_EQ(unreachable.status, 0);
    EXPECT_FALSE(DeleteFailureReason(unreachable).empty());
    EXPECT_LE(DeleteFailureReason(DeleteResult{false, 0, std::string(1000, 'e')}).size(), kMaxDeleteReasonChars);
    EXPECT_EQ(SendDeleteRequest(L"\\\\srv\\docs\\a.pdf").error, "not an http(s) address");
}

}  // namespace
}  // namespace zov
