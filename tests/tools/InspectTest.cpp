#include "documents/PageFileWriter.h"
#include "documents/PreviewPaths.h"
#include "platform/FileSystem.h"
#include "tests/support/NginxServer.h"
#include "platform/Encoding.h"
#include "platform/image/ImageDecoder.h"
#include "tests/support/RunTool.h"
#include "tests/support/TempDataHome.h"


namespace zov {
namespace {

using Outcome = test::ToolRun;

Outcome RunInspect(const std::string& arguments) {
    return test::RunTool(ZOV_INSPECT, arguments);
}

class Inspect : public test::TempDataHome {};

TEST_F(Inspect, PrintsAPageFileAndWritesItsPictures) {
    std::vector<std::uint32_t> pixels(12 * 8);
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<std::uint32_t>(i * 0x020406);
    PageFileContent content;
    content.extendedHeader = true;
    content.image1 = PageFileImage{12, 8, 0, EncodePng(pixels.data(), 12, 8)};
    content.image2 = PageFileImage{12, 8, 0, EncodePng(pixels.data(), 12, 8)};
    content.text = "\xE6\xA6\x82\xE8\xA6\x81 summary";
    content.pageList = std::vector<std::int32_t>{1, 1, 1};
    std::string file = Root() + "/doc.pdf_00000001.txt";
    ASSERT_TRUE(WritePageFile(FromUtf8(file), content));

    Outcome run = RunInspect("pagefile '" + file + "' --png '" + Root() + "/out'");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("extended header: yes"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("version: 3"), std::string::npos);
    EXPECT_NE(run.output.find("image 1: 12 x 8"), std::string::npos);
    EXPECT_NE(run.output.find("\xE6\xA6\x82\xE8\xA6\x81 summary"), std::string::npos);
    EXPECT_NE(run.output.find("page list: 3 entries: 1 1 1"), std::string::npos);

    for (const char* name : {"/out-1.png", "/out-2.png"}) {
        std::optional<DecodedImage> written = DecodeImageFile(FromUtf8(Root() + name));
        ASSERT_TRUE(written) << name;
        EXPECT_EQ(written->pixels, pixels) << name;
    }
}

TEST_F(Inspect, SaysWhatIsWrong) {
    WriteBytes("notes.txt", "plain text, not a page file");
    Outcome notPageFile = RunInspect("pagefile '" + Root() + "/notes.txt'");
    EXPECT_EQ(notPageFile.status, 1);
    EXPECT_NE(notPageFile.output.find("not a page file version"), std::string::npos) << notPageFile.output;

    Outcome missing = RunInspect("pagefile '" + Root() + "/missing.txt'");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.output.find("cannot open"), std::string::npos);

    EXPECT_EQ(RunInspect("").status, 2);
    EXPECT_EQ(RunInspect("pagefile").status, 2);
    EXPECT_EQ(RunInspect("pagefile a b").status, 2);
}

TEST_F(Inspect, NamesTheOtherFilesOfAPreviewFolderInsteadOfReadingThemAsPages) {
    // The status file of a finished conversion, as the converter leaves it.
    WriteBytes("doc.pdf_FFFFFFFF.txt", "**ZAZPreviewStatus:Success\r\n");
    Outcome status = RunInspect("pagefile '" + Root() + "/doc.pdf_FFFFFFFF.txt'");
    EXPECT_EQ(status.status, 1);
    EXPECT_NE(status.output.find("a preview status file"), std::string::npos) << status.output;
    EXPECT_NE(status.output.find("status: 0 Success"), std::string::npos) << status.output;
    EXPECT_EQ(status.output.find("image 1"), std::string::npos) << status.output;
    EXPECT_EQ(status.output.find("\r"), std::string::npos) << status.output;

    WriteBytes("busy.pdf_FFFFFFFF.txt", "**ZAZPreviewStatus:CreatingNo");
    Outcome unknown = RunInspect("pagefile '" + Root() + "/busy.pdf_FFFFFFFF.txt'");
    EXPECT_NE(unknown.output.find("a preview status file"), std::string::npos) << unknown.output;
    EXPECT_NE(unknown.output.find("status: 1 none"), std::string::npos) << unknown.output;

    // A search text file starts with a zero word; its rest is no picture.
    WriteBytes("doc.pdf_00000001_s.txt", std::string("\0\0\0\0", 4) + "page words and more page words");
    Outcome search = RunInspect("pagefile '" + Root() + "/doc.pdf_00000001_s.txt'");
    EXPECT_EQ(search.status, 1);
    EXPECT_NE(search.output.find("a search text file"), std::string::npos) << search.output;
    EXPECT_EQ(search.output.find(" x "), std::string::npos) << search.output;

    // A page file whose first picture claims more data than the file holds.
    std::vector<std::uint32_t> pixels(4 * 4, 0xFFFFFF);
    PageFileContent content;
    content.image1 = PageFileImage{4, 4, 0, EncodePng(pixels.data(), 4, 4)};
    std::string cut = Root() + "/cut.pdf_00000002.txt";
    ASSERT_TRUE(WritePageFile(FromUtf8(cut), content));
    std::optional<std::string> whole = ReadRegularFile(FromUtf8(cut), 1 << 20);
    ASSERT_TRUE(whole);
    WriteBytes("cut.pdf_00000002.txt", whole->substr(0, 40));
    Outcome shortened = RunInspect("pagefile '" + cut + "'");
    EXPECT_NE(shortened.output.find("image 1: 4 x 4"), std::string::npos) << shortened.output;
    EXPECT_NE(shortened.output.find("runs past the end of the file"), std::string::npos) << shortened.output;
}

TEST_F(Inspect, ShowsAPreviewAListingAndAFileType) {
    PreviewSettings settings;
    settings.previewRoot = WideRoot() + L"\\previews";
    settings.folderMode = L"Folder";
    const std::wstring document = L"\\\\srv\\share\\plan.pdf";
    std::vector<std::uint32_t> pixels(4 * 4, 0xFFFFFF);
    PageFileContent content;
    content.image1 = PageFileImage{4, 4, 0, EncodePng(pixels.data(), 4, 4)};
    content.text = "ground floor";
    content.pageList = std::vector<std::int32_t>{1, 1};
    std::wstring first = PageFilePath(document, 1, settings);
    ASSERT_TRUE(CreateFolderTree(first.substr(0, first.rfind(L'\\'))));
    ASSERT_TRUE(WritePageFile(first, content));
    content.text = "first floor";
    content.pageList.reset();
    ASSERT_TRUE(WritePageFile(PageFilePath(document, 2, settings), content));

    Outcome preview = RunInspect("preview --root '" + Root() + "/previews' --mode Folder '\\\\srv\\share\\plan.pdf'");
    EXPECT_EQ(preview.status, 0) << preview.output;
    EXPECT_NE(preview.output.find("status: 0 Success"), std::string::npos) << preview.output;
    EXPECT_NE(preview.output.find("page list: 2 entries"), std::string::npos);
    EXPECT_NE(preview.output.find("format version: 3"), std::string::npos);
    EXPECT_NE(preview.output.find("page 2: first floor"), std::string::npos);
    // Where the files are, as the reader's system spells it.
    const std::string folder = NativePath(PreviewFolder(document, settings));
    EXPECT_NE(preview.output.find("preview folder: " + folder + "\n"), std::string::npos) << preview.output;
    EXPECT_NE(preview.output.find("status file: " + folder), std::string::npos) << preview.output;
    EXPECT_EQ(preview.output.find('\\'), std::string::npos) << preview.output;
    Outcome remote = RunInspect("preview --root http://127.0.0.1:9/previews --mode Folder '\\\\srv\\share\\plan.pdf'");
    EXPECT_NE(remote.output.find("preview folder: http://127.0.0.1:9/previews/"), std::string::npos) << remote.output;
    EXPECT_EQ(remote.output.find('\\'), std::string::npos) << remote.output;
    EXPECT_EQ(RunInspect("preview --root /nowhere --mode Sideways x.pdf").status, 2);

    test::NginxServer nginx;
    ASSERT_TRUE(nginx.Running());
    nginx.WriteFile("dir/b.pdf", "b");
    nginx.WriteFile("dir/a.ppt", "a");
    Outcome listed = RunInspect("list " + nginx.Url("/dir/"));
    EXPECT_EQ(listed.status, 0);
    EXPECT_EQ(listed.output, "a.ppt\nb.pdf\n");
    EXPECT_EQ(RunInspect("list " + nginx.Url("/nothing/")).status, 1);

    Outcome type = RunInspect("classify photo.JPG");
    EXPECT_EQ(type.status, 0);
    EXPECT_EQ(type.output.rfind("8 ", 0), 0u) << type.output;
    EXPECT_EQ(RunInspect("classify archive.jpeg").status, 1);
}

}  // namespace
}  // namespace zov
