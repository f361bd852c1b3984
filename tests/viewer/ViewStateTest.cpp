#include "tests/viewer/ViewerFixture.h"

#include <filesystem>

namespace zov {
namespace {

// The view-state file as the viewers of one user share it: written and read
// by viewers made without a window, as a second page would make them.
class ViewState : public test::TempDataHome {
protected:
    void SetUp() override {
        TempDataHome::SetUp();
        std::filesystem::create_directories(Root() + "/ZOVuvazaR");
    }
    void TearDown() override {
        SetPreviewSettings(PreviewSettings{});
        TempDataHome::TearDown();
    }
    std::string File() const { return Root() + "/ZOVuvazaR/params.txt"; }
    void WriteFile(const std::string& bytes) const { WriteBytes("ZOVuvazaR/params.txt", bytes); }
    std::string FileBytes() const { return ReadBytes(File()); }
    static void SetEValueMode(bool on) {
        PreviewSettings settings;
        settings.folderMode = on ? L"eValueNS" : L"Flat";
        settings.eValueNSMode = on;
        SetPreviewSettings(settings);
    }
};

TEST_F(ViewState, EverySettingIsWrittenAsFiveLinesAndReadBack) {
    SetEValueMode(true);
    {
        ZAZViewer viewer(nullptr);
        // Without a file nothing is written at creation, and the defaults stand.
        EXPECT_FALSE(std::filesystem::exists(File()));
        viewer.StitchLeft();
        EXPECT_EQ(FileBytes(),
                  "**VODorirerScale:1.000000\r\n"
                  "**VODorirerOpenPageMode:UnCompleteOpenPage\r\n"
                  "**VODorirerZoomOpenPageMode:CompleteOpenPage\r\n"
                  "**VODorirerDocumentStitch:Left\r\n");

        viewer.StitchRight();
        viewer.SingleOpenPage(true, false);
        viewer.deskScale = 1.5;
        viewer.SetKeywords(L"検索　ab  cd");
    }
    const std::string saved =
        "**VODorirerScale:1.500000\r\n"
        "**VODorirerOpenPageMode:SingleOpenPage\r\n"
        "**VODorirerZoomOpenPageMode:CompleteOpenPage\r\n"
        "**VODorirerDocumentStitch:Right\r\n"
        "**VODorirerSearchKeyword:\"\x8C\x9F\x8D\xF5 ab  cd\"\r\n";
    EXPECT_EQ(FileBytes(), saved);

    ZAZViewer again(nullptr);
    EXPECT_EQ(again.deskScale, 1.5);
    EXPECT_EQ(again.deskLayout.singlePage, 1);
    EXPECT_EQ(again.deskLayout.openWidth, 0);
    EXPECT_EQ(again.deskLayout.rightStitch, 1);
    EXPECT_EQ(again.zoomLayout.rightStitch, 1);
    EXPECT_EQ(again.zoomLayout.openWidth, 128);
    EXPECT_EQ(again.KeywordsText(), L"検索 ab  cd");
    // Written again, the file comes out byte for byte the same.
    again.SaveViewState();
    EXPECT_EQ(FileBytes(), saved);

    // An empty keyword list is a pair of empty quotes.
    again.SetKeywords(L"");
    EXPECT_NE(FileBytes().find("**VODorirerSearchKeyword:\"\"\r\n"), std::string::npos);
}

TEST_F(ViewState, AHandWrittenFileIsReadRuleByRuleWithoutWritingIt) {
    SetEValueMode(true);
    const std::string written =
        "**VODorirerScale:5.0\r\n"
        "**VODorirerOpenPageMode:CompleteOpenPage\r\n"
        // Does not begin with "CompleteOpenPage": half open.
        "**VODorirerOpenPageMode:UnCompleteOpenPage\r\n"
        "**VODorirerZoomOpenPageMode:SingleOpenPage\r\n"
        "**VODorirerDocumentStitch:Right\r\n"
        // Lower case is not "Right": bound on the left again.
        "**VODorirerDocumentStitch:right\r\n"
        "some other line\r\n"
        "**VODorirerSearchKeyword:\"ab cd ef\"\r\n"
        // The last line may lack its line break; its last word stays whole.
        "**VODorirerSearchKeyword:\"gh\"";
    WriteFile(written);
    const auto before = std::filesystem::last_write_time(File());

    ZAZViewer viewer(nullptr);
    EXPECT_EQ(viewer.deskScale, 5.0);
    EXPECT_EQ(viewer.deskLayout.openWidth, 32);
    EXPECT_EQ(viewer.deskLayout.leafLift, 32);
    EXPECT_EQ(viewer.deskLayout.rightStitch, 0);
    EXPECT_EQ(viewer.deskLayout.leftMargin, 45);
    EXPECT_EQ(viewer.zoomLayout.singlePage, 1);
    EXPECT_EQ(viewer.zoomLayout.openWidth, 0);
    EXPECT_EQ(viewer.zoomLayout.leftMargin, 84);
    EXPECT_EQ(viewer.KeywordsText(), L"ab cd ef gh");
    // The stitch lines went through the operations that save; nothing was.
    EXPECT_EQ(FileBytes(), written);
    EXPECT_EQ(std::filesystem::last_write_time(File()), before);

    // Outside eValue mode the keywords are not taken from the file.
    SetEValueMode(false);
    ZAZViewer plain(nullptr);
    EXPECT_EQ(plain.KeywordsText(), std::nullopt);
    EXPECT_EQ(plain.deskScale, 5.0);
}

TEST_F(ViewState, ScalesOutOfRangeOrUnreadableBecomeOne) {
    struct Case {
        std::string line;
        double scale;
    };
    const Case cases[] = {
        {"**VODorirerScale:0.1", 0.1},
        {"**VODorirerScale:1000", 1000},
        {"**VODorirerScale:  2.5\r\n", 2.5},
        {"**VODorirerScale:+3", 3},
        {"**VODorirerScale:0.05\r\n", 1.0},
        {"**VODorirerScale:1000.5\r\n", 1.0},
        {"**VODorirerScale:-2\r\n", 1.0},
        {"**VODorirerScale:nan\r\n", 1.0},
        {"**VODorirerScale:big\r\n", 1.0},
        {"**VODorirerScale:", 1.0},
        // The value is read from the key's place at the start of a line.
        {"  **VODorirerScale:2.5\r\n", 1.0},
    };
    for (const Case& c : cases) {
        WriteFile("**VODorirerScale:2.0\r\n" + c.line);
        ZAZViewer viewer(nullptr);
        EXPECT_EQ(viewer.deskScale, c.scale) << c.line;
    }
}

TEST_F(ViewState, FilesThatAreNotThereOrTooLargeLeaveTheDefaults) {
    // Far more than five lines: not read at all.
    WriteFile("**VODorirerDocumentStitch:Right\r\n" + std::string(100000, 'x'));
    {
        ZAZViewer viewer(nullptr);
        EXPECT_EQ(viewer.deskLayout.rightStitch, 0);
    }
    // Without the viewer's folder there is no file, and saving makes none.
    std::filesystem::remove_all(Root() + "/ZOVuvazaR");
    ZAZViewer viewer(nullptr);
    EXPECT_EQ(viewer.deskScale, 1.0);
    viewer.StitchRight();
    EXPECT_FALSE(std::filesystem::exists(Root() + "/ZOVuvazaR"));
}

// The operations of a viewer in a window save the state as they change it.
class ViewStateSaves : public test::ViewerFixture {};

TEST_F(ViewStateSaves, ScaleModesAndBindingAreSavedAsTheyChange) {
    std::filesystem::create_directories(Root() + "/ZOVuvazaR");
    const std::string file = Root() + "/ZOVuvazaR/params.txt";
    LoadBooks(3, 2);

    viewer_->CompleteOpenPage(true, false);
    EXPECT_NE(ReadBytes(file).find("**VODorirerOpenPageMode:CompleteOpenPage\r\n"), std::string::npos);
    // Without `save` the file keeps what it had.
    viewer_->SingleOpenPage(false, false);
    EXPECT_NE(ReadBytes(file).find("**VODorirerOpenPageMode:CompleteOpenPage\r\n"), std::string::npos);
    viewer_->UnCompleteOpenPage(true, false);
    EXPECT_NE(ReadBytes(file).find("**VODorirerOpenPageMode:UnCompleteOpenPage\r\n"), std::string::npos);

    viewer_->Scale(0.6666666666666666, 2);
    char line[64];
    std::snprintf(line, sizeof line, "**VODorirerScale:%f\r\n", viewer_->deskScale);
    EXPECT_NE(viewer_->deskScale, 1.0);
    EXPECT_EQ(ReadBytes(file).rfind(line, 0), 0u);

    viewer_->StitchRight();
    EXPECT_NE(ReadBytes(file).find("**VODorirerDocumentStitch:Right\r\n"), std::string::npos);
}

}  // namespace
}  // namespace zov
