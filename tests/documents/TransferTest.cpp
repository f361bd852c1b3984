#include "documents/EventFile.h"
#include "documents/PreviewLog.h"
#include "documents/PreviewSettings.h"
#include "documents/Upload.h"
#include "platform/DataFolder.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "platform/HeadlessWindow.h"
#include "tests/support/NginxServer.h"
#include "tests/support/TempDataHome.h"
#include "tests/support/TestHttpServer.h"

#include <filesystem>

namespace zov {
namespace {

class Transfers : public test::TempDataHome {
protected:
    void SetUp() override {
        TempDataHome::SetUp();
        SetPreviewSettings(PreviewSettings{});
    }
    void TearDown() override {
        SetPreviewSettings(PreviewSettings{});
        TempDataHome::TearDown();
    }
};

TEST_F(Transfers, UploadsArriveWholeUnderTheirOwnNames) {
    test::NginxServer nginx;
    ASSERT_TRUE(nginx.Running());
    std::string twoKilobytes(2048, '\0');
    for (std::size_t i = 0; i < twoKilobytes.size(); ++i)
        twoKilobytes[i] = static_cast<char>(i * 7);
    std::wstring full = FromUtf8(WriteBytes("out/exact.bin", twoKilobytes));
    std::wstring empty = FromUtf8(WriteBytes("out/empty.bin", ""));
    std::wstring spaced = FromUtf8(WriteBytes("out/My Notes.pdf", "notes"));

    EXPECT_TRUE(Upload(full, FromUtf8(nginx.Url("/up"))));
    EXPECT_TRUE(Upload(empty, FromUtf8(nginx.Url("/up/"))));
    EXPECT_TRUE(Upload(spaced, FromUtf8(nginx.Url("/up/new"))));
    EXPECT_EQ(nginx.ReadFile("up/exact.bin"), twoKilobytes);
    EXPECT_TRUE(nginx.Exists("up/empty.bin"));
    EXPECT_EQ(nginx.ReadFile("up/empty.bin"), "");
    EXPECT_EQ(nginx.ReadFile("up/new/My Notes.pdf"), "notes");

    // A server that refuses the PUT, a missing file, a bad address.
    EXPECT_FALSE(Upload(full, FromUtf8(nginx.Url("/plain/up"))));
    EXPECT_FALSE(Upload(WideRoot() + L"\\out\\missing.bin", FromUtf8(nginx.Url("/up"))));
    EXPECT_FALSE(Upload(full, L"ftp://127.0.0.1/up"));
}

TEST_F(Transfers, ThePreviewLogSendsItsBodyByteForByte) {
    test::TestHttpServer service;
    service.Answer("/svc", 200, "<?xml version=\"1.0\"?><soap:Envelope><soap:Body/></soap:Envelope>");
    PreviewSettings settings;
    settings.fkeyBaseUrl = FromUtf8(service.Url("/svc"));
    settings.previewLogNamespace = L"http://example.test/log/";
    SetPreviewSettings(settings);
    HeadlessWindow window;

    PreviewLog(L"K&1<2", L"user01", &window);
    auto requests = service.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].Header("Content-Type"), "text/xml");
    EXPECT_EQ(requests[0].body,
              "<?xml version=\"1.0\" encoding=\"utf-8\"?> \t\t<soap:Envelope "
              "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
              "xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"> \t\t  <soap:Body> \t\t\t"
              "<AddPreviewLogByCrypedKey xmlns=\"http://example.test/log/\"> \t\t\t  <logobject>K&1<2</logobject> "
              "\t\t\t  <vfUser>user01</vfUser> \t\t\t  <vfPassword></vfPassword> \t\t\t  <cryptKey>rovorezedov</cryptKey> "
              "\t\t\t  <cryptPassword></cryptPassword> \t\t\t</AddPreviewLogByCrypedKey> \t\t  </soap:Body> "
              "\t\t</soap:Envelope>");
    EXPECT_TRUE(window.MessageBoxes().empty());

    // A fault is shown, unless it stands at the very first character.
    service.Answer("/svc", 500, "<?xml version=\"1.0\"?><soap:Fault>no such key</soap:Fault>");
    window.AnswerMessageBox(IDOK);
    PreviewLog(L"K2", L"user01", &window);
    service.Answer("/svc", 500, "<soap:Fault>at the start</soap:Fault>");
    PreviewLog(L"K3", L"user01", &window);
    auto boxes = window.MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, L"AddPreviewLogByCrypedKey error :: \n<?xml version=\"1.0\"?><soap:Fault>no such key</soap:Fault>");
}

TEST_F(Transfers, AServiceAnswerBeyondItsLimitIsAFailedSend) {
    test::TestHttpServer service;
    std::string fault = "<?xml version=\"1.0\"?><soap:Fault>";
    service.Answer("/svc", 500, fault + std::string(kMaxPreviewLogAnswerBytes, 'x') + "</soap:Fault>");
    PreviewSettings settings;
    settings.fkeyBaseUrl = FromUtf8(service.Url("/svc"));
    SetPreviewSettings(settings);
    HeadlessWindow window;
    window.AnswerMessageBox(IDOK);
    PreviewLog(L"K1", L"user01", &window);
    auto boxes = window.MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, L"AddPreviewLogByCrypedKey error :: send");
}

TEST_F(Transfers, InFkeyModeThePreviewLogIsAGet) {
    test::TestHttpServer service;
    service.Answer("/svc/get", 200, "ok");
    PreviewSettings settings;
    settings.fkeyMode = true;
    settings.fkeyBaseUrl = FromUtf8(service.Url("/svc/get"));
    SetPreviewSettings(settings);
    PreviewLog(L"a/b/K123", L"ignored", nullptr);
    auto requests = service.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].target, "/svc/get?fkey=K123&l=1");

    HeadlessWindow window;
    window.AnswerMessageBox(IDOK);
    settings.fkeyBaseUrl = L"http://127.0.0.1:1/svc/get";
    SetPreviewSettings(settings);
    PreviewLog(L"K9", L"", &window);
    ASSERT_EQ(window.MessageBoxes().size(), 1u);
    EXPECT_EQ(window.MessageBoxes()[0].text.rfind(L"AccessServiceEValueNSAddPreviewLog Exception :: ", 0), 0u);
}

TEST_F(Transfers, AnEventFileHoldsTheAddressAloneInAWipedFolder) {
    ASSERT_TRUE(CreateFolderTree(EventFolder()));
    WriteBytes("ZOVuvazaR/Event/00000007.txt", "an unread event of another viewer");
    ASSERT_TRUE(WriteEvent(L"page.htm?doc=%id%", 255, L"  Report", L"A17", L"http://h/r.pdf"));
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(NativePath(EventFolder())))
        files.push_back(entry.path().filename().string());
    EXPECT_EQ(files, std::vector<std::string>{"000000FF.txt"});
    EXPECT_EQ(ReadBytes(NativePath(EventFolder() + L"000000FF.txt")), "page.htm?doc=A17");

    ASSERT_TRUE(WriteEvent(L"open?k=%key%&i=%id%", 255, L"c", L"ID", L"path"));
    EXPECT_EQ(ReadBytes(NativePath(EventFolder() + L"000000FF.txt")), "open?k=%key%&i=ID");
    ASSERT_TRUE(WriteEvent(L"open?k=%key%", 1, L"c", L"ID", L"\\\\srv\\a.pdf"));
    EXPECT_EQ(ReadBytes(NativePath(EventFolder() + L"00000001.txt")), "open?k=\\\\srv\\a.pdf");

    EXPECT_FALSE(WriteEvent(L"x=%id%", 2, L"   ", L"ID", L"p"));
    EXPECT_FALSE(WriteEvent(L"", 2, L"c", L"ID", L"p"));
    EXPECT_FALSE(WriteEvent(L"no placeholder", 2, L"c", L"ID", L"p"));
    EXPECT_FALSE(WriteEvent(L"x=%id%", 2, L"c", std::wstring(1100, L'a'), L"p"));
    EXPECT_FALSE(PathExists(EventFolder() + L"00000002.txt"));
    // Characters are stored as their low 8 bits.
    ASSERT_TRUE(WriteEvent(L"u=%id%", 3, L"c", L"\u0141", L"p"));
    EXPECT_EQ(ReadBytes(NativePath(EventFolder() + L"00000003.txt")), "u=A");
}

}  // namespace
}  // namespace zov
