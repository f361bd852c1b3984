#include "documents/FolderListing.h"
#include "documents/UrlText.h"
#include "platform/Encoding.h"
#include "platform/HeadlessWindow.h"
#include "platform/net/HttpClient.h"
#include "tests/support/FifoTrap.h"
#include "tests/support/NginxServer.h"
#include "tests/support/TempDataHome.h"
#include "tests/support/TestHttpServer.h"

#include <filesystem>

namespace zov {
namespace {

using Names = std::vector<std::wstring>;

TEST(UrlText, EncodingKeepsOnlyTheSafeBytes) {
    EXPECT_EQ(EncodeUrl(L"http://h:80/a b/(x)*'-._~%"), "http://h:80/a%20b/(x)*'-._%7E%25");
    EXPECT_EQ(EncodeUrl(L"/\u8cc7\u6599/"), "/%E8%B3%87%E6%96%99/");
    EXPECT_EQ(RequestUrl(L"http://h/a b/\u8cc7?x=%41&y"), "http://h/a%20b/%E8%B3%87?x=%41&y");
    EXPECT_EQ(DecodeText("My%20File.pdf", true), L"My File.pdf");
    EXPECT_EQ(DecodeText("%E8%B3%87%E6%96%99", true), L"\u8cc7\u6599");
    EXPECT_EQ(DecodeText("\x8e\x91\x97\xbf", false), L"\u8cc7\u6599");  // code page 932
    EXPECT_EQ(DecodeText("100%", true), L"100%");
}

TEST(FolderListing, PreviewFileNamesNeedUpperCaseHexAndLowerCaseTxt) {
    EXPECT_TRUE(IsPreviewFileName(L"a.ppt_0000001F.txt"));
    EXPECT_TRUE(IsPreviewFileName(L"/dir/a.ppt_FFFFFFFF.txt"));
    EXPECT_FALSE(IsPreviewFileName(L"a.ppt_0000001f.txt"));
    EXPECT_FALSE(IsPreviewFileName(L"a.ppt_0000001F.TXT"));
    EXPECT_FALSE(IsPreviewFileName(L"a.ppt_0000001F_s.txt"));
    EXPECT_FALSE(IsPreviewFileName(L"notes.txt"));
}

class Listing : public test::TempDataHome {
protected:
    void TearDown() override {
        SetHttpSettings(HttpSettings{});
        TempDataHome::TearDown();
    }
};

TEST_F(Listing, WebDavListsFilesAndSubfoldersButNotPreviews) {
    test::NginxServer nginx;
    ASSERT_TRUE(nginx.Running());
    nginx.WriteFile("dir/a.ppt", "a");
    nginx.WriteFile("dir/a.ppt_00000001.txt", "preview");
    nginx.WriteFile("dir/Zeta.pdf", "z");
    nginx.WriteFile("dir/My File.pdf", "m");
    nginx.WriteFile("dir/sub/inner.doc", "i");

    auto names = GetFolderFiles(L"", L"", FromUtf8(nginx.Url("/dir")));
    ASSERT_TRUE(names);
    // Sorted by code unit: upper case before lower case.
    EXPECT_EQ(*names, (Names{L"My File.pdf", L"Zeta.pdf", L"a.ppt", L"sub/"}));
    EXPECT_EQ(GetFolderFiles(L"", L"", FromUtf8(nginx.Url("/dir/sub/"))), (Names{L"inner.doc"}));
    EXPECT_EQ(GetFolderFiles(L"", L"", FromUtf8(nginx.Url("/empty/"))), std::nullopt);
}

TEST_F(Listing, WithoutWebDavTheIndexPageIsRead) {
    test::NginxServer nginx;
    ASSERT_TRUE(nginx.Running());
    nginx.WriteFile("dir/b.pdf", "b");
    nginx.WriteFile("dir/a.ppt", "a");
    nginx.WriteFile("dir/My File.pdf", "m");
    nginx.WriteFile("dir/a.ppt_00000001.txt", "preview");
    nginx.WriteFile("dir/sub/x.doc", "x");
    bool transportFailed = true;
    EXPECT_EQ(WebDavList(L"", L"", FromUtf8(nginx.Url("/plain/dir/")), &transportFailed), std::nullopt);
    EXPECT_FALSE(transportFailed);  // a 405, not a failure: the index page is next

    auto names = GetFolderFiles(L"", L"", FromUtf8(nginx.Url("/plain/dir/")));
    ASSERT_TRUE(names);
    // The parent link is kept as the index page writes it.
    EXPECT_EQ(*names, (Names{L"../", L"My File.pdf", L"a.ppt", L"b.pdf", L"sub/"}));
}

TEST_F(Listing, IndexLinksRelativeAbsoluteAndSortLinks) {
    test::TestHttpServer server;
    server.Answer("/dir/sub/", 200,
                  "<html><body><A HREF=\"?C=N;O=D\">Name</A> <a href=\"/dir/\">Parent</a>\n"
                  "<a href=\"b.pdf\">b</a> <a href=\"a.ppt\">a</a> <a href=\"/dir/sub/c.doc\">c</a>\n"
                  "<a href=\"/other/elsewhere.pdf\">x</a> <a href=\"a.ppt_00000002.txt\">p</a>\n"
                  "<a href=\"a%20long%20name%20with%20spaces.pdf\">long</a> <a href=noquotes>n</a>\n");
    auto names = GetFolderFiles(L"", L"", FromUtf8(server.Url("/dir/sub/")));
    ASSERT_TRUE(names);
    EXPECT_EQ(*names, (Names{L"a long name with spaces.pdf", L"a.ppt", L"b.pdf", L"c.doc"}));
    // PROPFIND was asked first and refused.
    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].method, "PROPFIND");
    EXPECT_EQ(requests[0].Header("Depth"), "1");
    EXPECT_EQ(requests[0].body, "<?xml version='1.0'?><propfind xmlns=\"DAV:\"><propname/></propfind>");
}

TEST_F(Listing, AnIndexPageIsReadUpToItsLimit) {
    test::TestHttpServer server;
    std::string page = "<a href=\"first.pdf\">f</a>" + std::string(1000000, ' ') + "<a href=\"late.pdf\">l</a>";
    server.Answer("/big/", 200, page);
    EXPECT_EQ(GetFolderFiles(L"", L"", FromUtf8(server.Url("/big/"))), (Names{L"first.pdf"}));
}

TEST_F(Listing, FailuresGiveNothingAndTheIndexFailureIsShown) {
    HeadlessWindow::Options options;
    options.runTimers = false;
    HeadlessWindow window(options);
    // Nothing listens there: the WebDAV request fails, and that ends it.
    EXPECT_EQ(GetFolderFiles(L"", L"", L"http://127.0.0.1:1/dir/", &window), std::nullopt);
    EXPECT_TRUE(window.MessageBoxes().empty());

    // WebDAV refused, then the index page stalls.
    HttpSettings quick;
    quick.stallTimeout = std::chrono::milliseconds(300);
    SetHttpSettings(quick);
    test::TestHttpServer server;
    server.Route("/slow/", [](const test::TestRequest& request) {
        test::TestResponse response;
        if (request.method == "PROPFIND")
            response.status = 405;
        else
            response.stall = true;
        return response;
    });
    window.AnswerMessageBox(IDOK);
    EXPECT_EQ(GetFolderFiles(L"", L"", FromUtf8(server.Url("/slow/")), &window), std::nullopt);
    auto boxes = window.MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text.rfind(L"GetHttpFolderFiles Exception :: ", 0), 0u);
}

TEST_F(Listing, AnEmptyFolderIsListedAsEmptyAndAMissingOneIsNot) {
    test::NginxServer nginx;
    ASSERT_TRUE(nginx.Running());
    std::filesystem::create_directories(nginx.Root() + "/empty");
    nginx.WriteFile("full/a.pdf", "a");

    // WebDAV names the folder and nothing in it; the index page of a plain
    // server has only its link up.
    for (const char* folder : {"/empty/", "/plain/empty/", "/empty"}) {
        FolderContents contents = ListHttpFolder(L"", L"", FromUtf8(nginx.Url(folder)));
        ASSERT_TRUE(contents.names) << folder << ": " << ToUtf8(contents.failure);
        EXPECT_TRUE(contents.names->empty()) << folder;
    }
    EXPECT_EQ(ListHttpFolder(L"", L"", FromUtf8(nginx.Url("/plain/full/"))).names, (Names{L"a.pdf"}));
    // GetFolderFiles still falls back to the index page and keeps its link up.
    EXPECT_EQ(GetFolderFiles(L"", L"", FromUtf8(nginx.Url("/empty/"))), (Names{L"../"}));

    for (const char* folder : {"/none/", "/plain/none/"}) {
        FolderContents missing = ListHttpFolder(L"", L"", FromUtf8(nginx.Url(folder)));
        EXPECT_EQ(missing.names, std::nullopt) << folder;
        EXPECT_EQ(missing.failure, L"404 Not Found") << folder;
    }
    FolderContents unreachable = ListHttpFolder(L"", L"", L"http://127.0.0.1:1/dir/");
    EXPECT_EQ(unreachable.names, std::nullopt);
    EXPECT_FALSE(unreachable.failure.empty());
    EXPECT_LE(unreachable.failure.size(), kMaxListingFailureChars);
}

TEST_F(Listing, AnErrorPageIsNoListingWhateverItLinks) {
    test::TestHttpServer server;
    server.Route("/gone/", [](const test::TestRequest& request) {
        return request.method == "PROPFIND" ? test::Reply(405)
                                            : test::Reply(410, "<a href=\"help.html\">help</a> <a href=\"x.pdf\">x</a>");
    });
    FolderContents contents = ListHttpFolder(L"", L"", FromUtf8(server.Url("/gone/")));
    EXPECT_EQ(contents.names, std::nullopt);
    EXPECT_EQ(contents.failure, L"410 Gone");

    // A server that answers PROPFIND as if it were GET, with no WebDAV in
    // it: its index page is read.
    server.Answer("/html/", 200, "<a href=\"b.pdf\">b</a><a href=\"./\">.</a><a href=\"../up.pdf\">up</a>");
    EXPECT_EQ(ListHttpFolder(L"", L"", FromUtf8(server.Url("/html/"))).names, (Names{L"b.pdf"}));
}

TEST_F(Listing, LocalFoldersThatCannotBeOpenedSayWhy) {
    std::filesystem::create_directories(Root() + "/empty");
    WriteBytes("full/a.pdf", "a");
    WriteBytes("file.pdf", "not a folder");
    FolderContents empty = ListFolderOnDisk(WideRoot() + L"\\empty");
    ASSERT_TRUE(empty.names);
    EXPECT_TRUE(empty.names->empty());
    EXPECT_EQ(ListFolderOnDisk(WideRoot() + L"\\full").names, (Names{L"a.pdf"}));
    for (const wchar_t* name : {L"\\none", L"\\file.pdf"}) {
        FolderContents missing = ListFolderOnDisk(WideRoot() + name);
        EXPECT_EQ(missing.names, std::nullopt) << ToUtf8(name);
        EXPECT_FALSE(missing.failure.empty()) << ToUtf8(name);
    }
    EXPECT_EQ(ListFolderOnDisk(WideRoot() + L"\\none").failure, L"No such file or directory");
}

// A WebDAV answer with the given hrefs, as a server would write it.
std::string Multistatus(const std::vector<std::string>& hrefs) {
    std::string body = "<?xml version=\"1.0\" encoding=\"utf-8\" ?><D:multistatus xmlns:D=\"DAV:\">";
    for (const std::string& href : hrefs)
        body += "<D:response><D:href>" + href + "</D:href><D:propstat><D:prop/></D:propstat></D:response>\n";
    return body + "</D:multistatus>";
}

TEST_F(Listing, AWebDavAnswerBeyondItsLimitListsNothing) {
    test::TestHttpServer server;
    test::TestResponse huge = test::Reply(207, Multistatus({"/big/a.pdf"}));
    huge.repeatedLength = kMaxWebDavAnswerBytes + 1;
    server.Route("/big/", [huge](const test::TestRequest&) { return huge; });
    EXPECT_EQ(GetFolderFiles(L"", L"", FromUtf8(server.Url("/big/"))), std::nullopt);
    // Not a refusal of WebDAV: no index page is asked for either.
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0].method, "PROPFIND");
}

// Before, every opening tag searched on to the end of the answer: an answer
// of many opening tags and one closing tag took minutes.
TEST_F(Listing, AWebDavAnswerIsReadInOnePass) {
    test::TestHttpServer server;
    std::string tags;
    for (int i = 0; i < 150000; ++i)
        tags += "<D:href>";
    std::string body = Multistatus({"/dir/", "/dir/first.pdf"}) + tags + "<D:href>/dir/last.pdf</D:href>";
    server.Answer("/dir/", 207, body);
    EXPECT_EQ(GetFolderFiles(L"", L"", FromUtf8(server.Url("/dir/"))), (Names{L"first.pdf", L"last.pdf"}));
}

TEST_F(Listing, ListingsStopAtTheirLimits) {
    test::TestHttpServer server;
    std::vector<std::string> hrefs = {"/many/", "/many/" + std::string(kMaxFolderNameChars + 1, 'n') + ".pdf"};
    for (std::size_t i = 0; i < kMaxFolderNames + 10; ++i)
        hrefs.push_back("/many/" + std::to_string(100000 + i) + ".pdf");
    server.Answer("/many/", 207, Multistatus(hrefs));
    auto names = GetFolderFiles(L"", L"", FromUtf8(server.Url("/many/")));
    ASSERT_TRUE(names);
    ASSERT_EQ(names->size(), kMaxFolderNames);
    EXPECT_EQ(names->front(), L"100000.pdf");  // the long name was skipped
    EXPECT_EQ(names->back(), FromUtf8(std::to_string(100000 + kMaxFolderNames - 1)) + L".pdf");

    std::string page;
    for (std::size_t i = 0; i < kMaxFolderNames + 10; ++i)
        page += "<a href=\"" + std::to_string(100000 + i) + ".doc\">x</a>\n";
    server.Route("/index/", [page](const test::TestRequest& request) {
        return request.method == "PROPFIND" ? test::Reply(405) : test::Reply(200, page);
    });
    names = GetFolderFiles(L"", L"", FromUtf8(server.Url("/index/")));
    ASSERT_TRUE(names);
    EXPECT_EQ(names->size(), kMaxFolderNames);
}

TEST_F(Listing, APipeInALocalFolderIsNeitherListedNorWaitedFor) {
    WriteBytes("folder/a.pdf", "a");
    test::FifoTrap pipe(Root() + "/folder/pipe.pdf");
    Names names = ListLocalFolder(WideRoot() + L"\\folder");
    EXPECT_FALSE(pipe.Caught()) << "the listing waited for the pipe's writer";
    EXPECT_EQ(names, (Names{L"a.pdf"}));
}

TEST_F(Listing, LocalFoldersListSubfoldersAndReadableFiles) {
    WriteBytes("folder/a.pdf", "a");
    WriteBytes("folder/sub/b.pdf", "b");
    Names names = ListLocalFolder(WideRoot() + L"\\folder");
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (Names{L"a.pdf", L"sub"}));
    EXPECT_TRUE(ListLocalFolder(WideRoot() + L"\\none").empty());
}

}  // namespace
}  // namespace zov
