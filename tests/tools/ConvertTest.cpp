#include "documents/PreviewPaths.h"
#include "documents/PreviewSource.h"
#include "platform/Encoding.h"
#include "pixels/PixelBuffer.h"
#include "platform/FileSystem.h"
#include "tests/support/RunTool.h"
#include "tests/support/TempDataHome.h"

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <vector>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace zov {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::RunTool;
using Outcome = test::ToolRun;

// A PDF of one page per entry, each a box of the given size in points, its
// /Rotate and its content stream; written out with a correct cross-reference
// table so that the reader takes nothing on trust.
struct TestPage {
    int width;
    int height;
    int rotate;
    std::string content;
};

std::string MakePdf(const std::vector<TestPage>& pages) {
    std::vector<std::string> objects;
    std::string kids;
    for (std::size_t i = 0; i < pages.size(); ++i)
        kids += std::to_string(3 + 2 * i) + " 0 R ";
    objects.push_back("<< /Type /Catalog /Pages 2 0 R >>");
    objects.push_back("<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages.size()) + " >>");
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const TestPage& page = pages[i];
        objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + std::to_string(page.width) + " " +
                          std::to_string(page.height) + "] /Rotate " + std::to_string(page.rotate) +
                          " /Contents " + std::to_string(4 + 2 * i) + " 0 R >>");
        objects.push_back("<< /Length " + std::to_string(page.content.size()) + " >>\nstream\n" + page.content +
                          "\nendstream");
    }
    std::string pdf = "%PDF-1.4\n";
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const std::size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (std::size_t offset : offsets) {
        char line[32];
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
        pdf += line;
    }
    pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
           std::to_string(xref) + "\n%%EOF\n";
    return pdf;
}

int Channel(std::uint32_t pixel, int channel) {
    return static_cast<int>((pixel >> (16 - 8 * channel)) & 0xFF);
}

// How far `small` is from the area mean of `large` over each of its pixels,
// computed here plainly in floating point: the mean difference per channel
// and the share of channels more than `far` apart.
struct Distance {
    double mean = 0;
    double farShare = 0;
};

Distance FromReduced(const PixelBuffer& large, const PixelBuffer& small, int far) {
    const double sx = static_cast<double>(large.Width()) / small.Width();
    const double sy = static_cast<double>(large.Height()) / small.Height();
    double total = 0;
    long farCount = 0;
    for (int y = 0; y < small.Height(); ++y) {
        for (int x = 0; x < small.Width(); ++x) {
            double sum[3] = {0, 0, 0};
            double area = 0;
            const double x0 = x * sx, x1 = (x + 1) * sx, y0 = y * sy, y1 = (y + 1) * sy;
            for (int v = static_cast<int>(y0); v < std::min<double>(std::ceil(y1), large.Height()); ++v) {
                const double wy = std::min<double>(v + 1, y1) - std::max<double>(v, y0);
                for (int u = static_cast<int>(x0); u < std::min<double>(std::ceil(x1), large.Width()); ++u) {
                    const double w = wy * (std::min<double>(u + 1, x1) - std::max<double>(u, x0));
                    for (int c = 0; c < 3; ++c)
                        sum[c] += w * Channel(large.At(u, v), c);
                    area += w;
                }
            }
            for (int c = 0; c < 3; ++c) {
                const double d = std::abs(sum[c] / area - Channel(small.At(x, y), c));
                total += d;
                farCount += d > far;
            }
        }
    }
    const double count = 3.0 * small.Width() * small.Height();
    return {total / count, farCount / count};
}

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

TEST_F(Convert, TheSmallPictureIsTheLargeOneReduced) {
    Outcome run = Converter("'" + Corpus("brochure.pdf") + "' '" + Corpus("slides.pdf") + "'");
    ASSERT_EQ(run.status, 0) << run.output;
    for (const auto& [name, page] : {std::pair{"brochure.pdf", 1}, {"brochure.pdf", 9}, {"slides.pdf", 3}}) {
        PreviewSource source = Source(Corpus(name));
        auto small = source.LoadPage(page);
        auto large = source.LoadPageDetail(page);
        ASSERT_TRUE(small && large) << name << " page " << page;
        EXPECT_EQ(std::max(small->Width(), small->Height()), 360) << name;
        // The proportions of the large picture, to the nearest pixel.
        const double aspect = static_cast<double>(large->Width()) / large->Height();
        EXPECT_NEAR(small->Width(), small->Height() * aspect, 1.0) << name;
        // Both are JPEGs of the same picture, so only coding noise is left.
        Distance distance = FromReduced(*large, *small, 24);
        EXPECT_LT(distance.mean, 3.0) << name << " page " << page;
        EXPECT_LT(distance.farShare, 0.012) << name << " page " << page;
    }
}

TEST_F(Convert, PagesSmallerThanTheSmallPictureAndTurnedPagesKeepTheirShape) {
    // An inch by half an inch, blue on its left half: 150 by 75 pixels for
    // reading, less than the small picture, which is drawn at its own size.
    // Then a page of 200 by 400 points turned a quarter, shown on its side.
    WriteBytes("odd/shapes.pdf", MakePdf({{72, 36, 0, "0 0 1 rg 0 0 36 36 re f"},
                                          {200, 400, 90, "1 0 0 rg 0 0 200 200 re f"}}));
    const std::string file = Root() + "/odd/shapes.pdf";
    Outcome run = Converter("'" + file + "'");
    ASSERT_EQ(run.status, 0) << run.output;
    PreviewSource source = Source(file);
    auto small = source.LoadPage(1);
    auto large = source.LoadPageDetail(1);
    ASSERT_TRUE(small && large);
    EXPECT_EQ(large->Width(), 150);
    EXPECT_EQ(large->Height(), 75);
    ASSERT_EQ(small->Width(), 360);
    ASSERT_EQ(small->Height(), 180);
    for (std::uint32_t pixel : {small->At(40, 90), large->At(20, 37)}) {
        EXPECT_LT(Channel(pixel, 0), 40);
        EXPECT_GT(Channel(pixel, 2), 215);
    }
    EXPECT_GT(Channel(small->At(320, 90), 0), 215);

    small = source.LoadPage(2);
    large = source.LoadPageDetail(2);
    ASSERT_TRUE(small && large);
    EXPECT_EQ(small->Width(), 360);
    EXPECT_EQ(small->Height(), 180);
    EXPECT_NEAR(large->Width(), 833, 1);
    EXPECT_NEAR(large->Height(), 417, 1);
    EXPECT_LT(FromReduced(*large, *small, 24).mean, 3.0);
}

TEST_F(Convert, AManyPageDocumentKeepsEveryPagesText) {
    // The corpus's four PDFs three times over: 111 pages on every core.
    const std::pair<const char*, int> parts[] = {
        {"brochure.pdf", 24}, {"japanese.pdf", 4}, {"slides.pdf", 8}, {"letter.pdf", 1}};
    std::string unite;
    std::vector<std::pair<std::string, int>> origin;  // per page: its document and its page there
    for (int round = 0; round < 3; ++round) {
        for (const auto& [part, count] : parts) {
            unite += " '" + Corpus(part) + "'";
            for (int n = 1; n <= count; ++n)
                origin.emplace_back(part, n);
        }
    }
    fs::create_directories(Root() + "/many");
    const std::string file = Root() + "/many/joined.pdf";
    ASSERT_EQ(RunTool("pdfunite", unite + " '" + file + "'").status, 0);
    std::string originals;
    for (const auto& part : parts)
        originals += " '" + Corpus(part.first) + "'";
    Outcome run = Converter("'" + file + "'" + originals);
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("5 converted (148 pages)"), std::string::npos) << run.output;

    PreviewSource joined = Source(file);
    EXPECT_EQ(joined.Status(), kPreviewSuccess);
    ASSERT_EQ(joined.PageList(), std::vector<std::int32_t>(origin.size(), 1));
    for (std::size_t i = 0; i < origin.size(); ++i) {
        const auto n = static_cast<std::int32_t>(i + 1);
        std::wstring text, expected, search;
        ASSERT_TRUE(joined.PageText(n, false, text)) << "page " << n;
        ASSERT_TRUE(Source(Corpus(origin[i].first)).PageText(origin[i].second, false, expected));
        EXPECT_FALSE(text.empty()) << "page " << n;
        EXPECT_EQ(text, expected) << "page " << n << " is " << origin[i].first << " page " << origin[i].second;
        // The search text file carries the same line after its ten bytes
        // (the line read back keeps its end).
        const std::string bytes = ReadBytes(NativePath(SearchTextName(PageFilePath(FromUtf8(file), n, Settings()))));
        ASSERT_GT(bytes.size(), 10u) << "page " << n;
        EXPECT_EQ(bytes.substr(0, 4), std::string(4, '\0'));
        EXPECT_EQ(FromUtf8(bytes.substr(10)), text) << "page " << n;
    }
    std::wstring seventh;
    ASSERT_TRUE(joined.PageText(37 + 7, false, seventh));
    EXPECT_NE(seventh.find(L"Page 7 of 24"), std::wstring::npos) << ToUtf8(seventh);
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
