#include "documents/PreviewPaths.h"
#include "documents/PreviewSource.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "tests/support/RunTool.h"
#include "tests/support/TempDataHome.h"

#include <csignal>
#include <filesystem>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace zov {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::RunTool;
using Outcome = test::ToolRun;

// The demo corpus, made once for the whole suite: drawing it takes a while.
class Convert : public test::TempDataHome {
protected:
    static void SetUpTestSuite() {
        corpus_ = (fs::temp_directory_path() / ("zov-corpus-" + std::to_string(getpid()))).string();
        Outcome made = RunTool(ZOV_DEMO_CORPUS, "'" + corpus_ + "'");
        ASSERT_EQ(made.status, 0) << made.output;
    }
    static void TearDownTestSuite() {
        std::error_code ignored;
        fs::remove_all(corpus_, ignored);
    }

    std::string Corpus(const std::string& name) const { return corpus_ + "/" + name; }
    PreviewSettings Settings() const {
        PreviewSettings settings;
        settings.previewRoot = WideRoot() + L"\\previews";
        settings.folderMode = L"Folder";
        return settings;
    }
    Outcome Converter(const std::string& arguments) const {
        return RunTool(ZOV_CONVERT, "--root '" + Root() + "/previews' --mode Folder " + arguments);
    }
    PreviewSource Source(const std::string& file) const { return PreviewSource(FromUtf8(file), Settings()); }

    static std::string corpus_;
};

std::string Convert::corpus_;

TEST_F(Convert, TheDemoCorpusReadsBackThroughThePreviews) {
    Outcome run = Converter("'" + Corpus("brochure.pdf") + "' '" + Corpus("japanese.pdf") + "' '" +
                            Corpus("slides.pdf") + "' '" + Corpus("letter.pdf") + "' '" + Corpus("harbour.png") + "'");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("4 converted (37 pages), 0 failed, 1 skipped"), std::string::npos) << run.output;

    const std::pair<std::string, std::size_t> documents[] = {
        {"brochure.pdf", 24}, {"japanese.pdf", 4}, {"slides.pdf", 8}, {"letter.pdf", 1}};
    for (const auto& [name, pages] : documents) {
        PreviewSource source = Source(Corpus(name));
        EXPECT_EQ(source.Status(), kPreviewSuccess) << name;
        auto list = source.PageList();
        ASSERT_TRUE(list) << name;
        EXPECT_EQ(list->size(), pages) << name;
        EXPECT_EQ(source.FormatVersion(), 3);
        for (std::int32_t n = 1; n <= static_cast<std::int32_t>(pages); ++n) {
            std::wstring pageFile = PageFilePath(FromUtf8(Corpus(name)), n, Settings());
            EXPECT_TRUE(PathExists(SearchTextName(pageFile))) << name << " page " << n;
        }
        auto small = source.LoadPage(1);
        auto large = source.LoadPageDetail(1);
        ASSERT_TRUE(small && large) << name;
        EXPECT_EQ(std::max(small->Width(), small->Height()), 360) << name;
        EXPECT_GT(large->Width() * large->Height(), small->Width() * small->Height() * 16) << name;
    }
    // A4 at 150 dots per inch.
    auto page = Source(Corpus("brochure.pdf")).LoadPageDetail(5);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->Height(), 1754);
    EXPECT_NEAR(page->Width(), 1240, 1);

    std::wstring text;
    ASSERT_TRUE(Source(Corpus("brochure.pdf")).PageText(7, false, text));
    EXPECT_NE(text.find(L"Page 7 of 24"), std::wstring::npos) << ToUtf8(text);
    ASSERT_TRUE(Source(Corpus("japanese.pdf")).PageText(1, false, text));
    EXPECT_NE(text.find(L"\u4f1a\u8b70\u8cc7\u6599"), std::wstring::npos) << ToUtf8(text);
    // Pictures need no preview.
    EXPECT_FALSE(PathExists(PageFilePath(FromUtf8(Corpus("harbour.png")), kStatusFile, Settings())));

    Outcome inspect =
        RunTool(ZOV_INSPECT, "preview --root '" + Root() + "/previews' --mode Folder '" + Corpus("slides.pdf") + "'");
    EXPECT_EQ(inspect.status, 0) << inspect.output;
    EXPECT_NE(inspect.output.find("status: 0 Success"), std::string::npos) << inspect.output;
    EXPECT_NE(inspect.output.find("page list: 8 entries"), std::string::npos);
    EXPECT_NE(inspect.output.find("Slide 3"), std::string::npos);
}

TEST_F(Convert, BadDocumentsFailAloneWithOneLineEach) {
    std::string whole = ReadBytes(Corpus("letter.pdf"));
    WriteBytes("bad/truncated.pdf", whole.substr(0, whole.size() / 3));
    WriteBytes("bad/fake.pdf", "this is a text file with a pdf name\n");
    WriteBytes("bad/report.docx", "PK\x03\x04 not a real office file");
    Outcome run = Converter("'" + Root() + "/bad/truncated.pdf' '" + Root() + "/bad/fake.pdf' '" + Root() +
                            "/bad/missing.pdf' '" + Corpus("letter.pdf") + "' '" + Root() + "/bad/report.docx'");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("failed " + Root() + "/bad/fake.pdf: not a readable PDF"), std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("failed " + Root() + "/bad/missing.pdf: cannot read it"), std::string::npos);
    EXPECT_NE(run.output.find("1 converted"), std::string::npos);
    EXPECT_EQ(Source(Root() + "/bad/truncated.pdf").Status(), kPreviewFailed);
    EXPECT_EQ(Source(Root() + "/bad/fake.pdf").Status(), kPreviewFailed);
    EXPECT_EQ(Source(Corpus("letter.pdf")).Status(), kPreviewSuccess);
    if (!fs::exists("/usr/bin/soffice")) {
        EXPECT_EQ(Source(Root() + "/bad/report.docx").Status(), kPreviewFailed);
        EXPECT_NE(run.output.find("LibreOffice (soffice) is not installed"), std::string::npos);
    }
}

TEST_F(Convert, UnchangedDocumentsAreLeftAndShorterOnesLoseTheirOldPages) {
    WriteBytes("doc/plan.pdf", ReadBytes(Corpus("japanese.pdf")));
    std::string plan = "'" + Root() + "/doc/plan.pdf'";
    ASSERT_EQ(Converter(plan).status, 0);
    Outcome again = Converter("--if-changed " + plan);
    EXPECT_NE(again.output.find("0 converted (0 pages), 0 failed, 0 skipped, 1 unchanged"), std::string::npos)
        << again.output;

    std::this_thread::sleep_for(20ms);
    WriteBytes("doc/plan.pdf", ReadBytes(Corpus("letter.pdf")));
    Outcome changed = Converter("--if-changed " + plan);
    EXPECT_NE(changed.output.find("1 converted (1 pages)"), std::string::npos) << changed.output;
    PreviewSource source = Source(Root() + "/doc/plan.pdf");
    EXPECT_EQ(source.PageList(), std::vector<std::int32_t>{1});
    EXPECT_FALSE(PathExists(PageFilePath(FromUtf8(Root() + "/doc/plan.pdf"), 2, Settings())));
}

TEST_F(Convert, AnExplicitBaseAndAnAddressRoot) {
    Outcome out = RunTool(ZOV_CONVERT, "--out '" + Root() + "/explicit/letter' '" + Corpus("letter.pdf") + "'");
    EXPECT_EQ(out.status, 0) << out.output;
    EXPECT_TRUE(fs::exists(Root() + "/explicit/letter_00000001.txt"));
    EXPECT_TRUE(fs::exists(Root() + "/explicit/letter_FFFFFFFF.txt"));

    // The viewer reads http://srv/prev in Flat mode; the server serves it
    // from a local folder.
    std::string letter = "'" + Corpus("letter.pdf") + "'";
    Outcome served = RunTool(ZOV_CONVERT, "--root http://srv/prev --mode Flat --root-dir '" + Root() +
                                              "/served' --url http://docs.example/files/ " + letter);
    EXPECT_EQ(served.status, 0) << served.output;
    EXPECT_TRUE(fs::exists(Root() + "/served/letter.pdf_00000001.txt"));
    Outcome unplaced = RunTool(ZOV_CONVERT, "--root http://srv/prev --mode Flat " + letter);
    EXPECT_EQ(unplaced.status, 1);
    EXPECT_NE(unplaced.output.find("--root-dir"), std::string::npos);
    EXPECT_EQ(RunTool(ZOV_CONVERT, "--root x --mode Sideways " + letter).status, 2);
    EXPECT_EQ(RunTool(ZOV_CONVERT, "").status, 2);
}

TEST_F(Convert, WatchingAFolderConvertsWhatArrives) {
    fs::create_directories(Root() + "/inbox");
    std::string command = std::string(ZOV_CONVERT) + " --root '" + Root() + "/previews' --mode Folder --watch '" +
                          Root() + "/inbox' >/dev/null 2>&1 & echo $!";
    std::FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    int pid = 0;
    ASSERT_EQ(std::fscanf(pipe, "%d", &pid), 1);
    pclose(pipe);
    std::this_thread::sleep_for(300ms);  // let it start watching
    fs::copy_file(Corpus("letter.pdf"), Root() + "/inbox/arrived.pdf");
    PreviewSource source = Source(Root() + "/inbox/arrived.pdf");
    bool converted = false;
    for (int i = 0; i < 600 && !converted; ++i) {
        std::this_thread::sleep_for(50ms);
        converted = source.Status() == kPreviewSuccess;
    }
    kill(pid, SIGTERM);
    EXPECT_TRUE(converted);
}

}  // namespace
}  // namespace zov
