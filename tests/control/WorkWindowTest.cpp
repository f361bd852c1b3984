// Work windows as pages meet them: several controls, each in its own window
// with its timer running, counting, looking up and adding to one another
// through the files in the per-user data folder.
#include "control/ViewerSetup.h"
#include "control/ZOVuvazaRCtrl.h"
#include "documents/PreviewSettings.h"
#include "platform/Encoding.h"
#include "platform/HeadlessWindow.h"
#include "platform/Locks.h"
#include "tests/support/ImmutableFile.h"
#include "tests/support/TempDataHome.h"
#include "viewer/ZAZViewer.h"
#include "workwin/WorkWindowFiles.h"

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <thread>
#include <unistd.h>

namespace zov::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// One control in its own window, set up as a page sets it up.
class Page {
public:
    explicit Page(const std::wstring& previewRoot) {
        HeadlessWindow::Options options;
        options.clientSize = SIZE{480, 360};
        window_ = std::make_unique<HeadlessWindow>(options);
        window_->Send([&] {
            control_ = std::make_unique<CZOVuvazaRCtrl>();
            control_->AttachWindow(window_.get());
        });
        window_->Attach(control_.get());
        window_->Send([&] { control_->SetUp(L"en", L"C0C0C0", true, L"", previewRoot, L"Folder", false); });
    }
    ~Page() {
        window_->Attach(nullptr);
        window_->Send([this] { control_.reset(); });
        window_.reset();
    }

    template <typename Work>
    auto Call(Work work) {
        decltype(work(*control_)) result{};
        window_->Send([&] { result = work(*control_); });
        return result;
    }

    std::uint32_t Handle() const { return window_->Handle(); }
    HeadlessWindow& Window() { return *window_; }
    ZAZViewer& Viewer() { return *dynamic_cast<ZAZViewer*>(control_->Viewer()); }

    std::vector<std::wstring> DeskPaths() {
        LockGuard desk(DeskLock());
        std::vector<std::wstring> paths;
        for (const auto& book : Viewer().objects)
            paths.push_back(book->path);
        return paths;
    }

private:
    std::unique_ptr<HeadlessWindow> window_;
    std::unique_ptr<CZOVuvazaRCtrl> control_;
};

template <typename Predicate>
bool Eventually(Predicate done) {
    for (int i = 0; i < 1000 && !done(); ++i)
        std::this_thread::sleep_for(10ms);
    return done();
}

class WorkWindowTest : public TempDataHome {
protected:
    void SetUp() override {
        TempDataHome::SetUp();
        PreviewSettings settings;
        settings.previewRoot = PreviewRoot();
        settings.folderMode = L"Folder";
        SetPreviewSettings(settings);
    }
    void TearDown() override {
        SetPreviewSettings(PreviewSettings{});
        TempDataHome::TearDown();
    }

    std::wstring PreviewRoot() const { return WideRoot() + L"\\previews"; }
    std::wstring Document(const std::string& name) const { return WideRoot() + L"\\docs\\" + FromUtf8(name); }
    std::string DataFolder() const { return Root() + "/ZOVuvazaR/"; }
    std::string MarkerOf(Page& page) const { return DataFolder() + ToUtf8(MarkerName(page.Handle())); }

    // A page that shows `paths` as a work window, once its marker is there.
    std::unique_ptr<Page> WorkWindow(const std::vector<std::wstring>& paths) {
        auto page = std::make_unique<Page>(PreviewRoot());
        std::wstring list;
        for (const std::wstring& path : paths)
            list += L"<" + path + L">";
        EXPECT_EQ(page->Call([&](CZOVuvazaRCtrl& c) { return c.ShowWorkWindow(list, L""); }), 0);
        EXPECT_TRUE(Eventually([&] { return page->DeskPaths() == paths && fs::exists(MarkerOf(*page)); }));
        return page;
    }

    static std::int32_t Count(Page& page) {
        return page.Call([](CZOVuvazaRCtrl& c) { return c.GetWorkWindowCount(); });
    }
};

TEST_F(WorkWindowTest, LiveWorkWindowsAreCountedAndAClosedOneIsNotAnyMore) {
    auto first = WorkWindow({Document("a.pdf")});
    auto second = WorkWindow({Document("b.pdf")});
    Page ordinary(PreviewRoot());
    // A marker a window closed long ago left behind.
    std::ofstream(DataFolder() + "WorkWindow_7FFFFF00.txt") << "old.pdf\r\n";

    EXPECT_EQ(Count(*first), 2);
    EXPECT_EQ(Count(ordinary), 2);
    EXPECT_FALSE(fs::exists(DataFolder() + "WorkWindow_7FFFFF00.txt"));
    second.reset();
    EXPECT_EQ(Count(ordinary), 1);
    EXPECT_EQ(Count(*first), 1);
    first.reset();
    EXPECT_EQ(Count(ordinary), 0);
}

TEST_F(WorkWindowTest, TheLookUpReadsTheFirstWorkWindowOnlyAndComparesTrimmedPaths) {
    const std::wstring a = Document("a.pdf");
    const std::wstring b = Document("b.pdf");
    auto first = WorkWindow({a});
    auto second = WorkWindow({b});
    ASSERT_LT(first->Handle(), second->Handle());
    Page ordinary(PreviewRoot());
    auto exists = [&](const std::wstring& paths) {
        return ordinary.Call([&](CZOVuvazaRCtrl& c) { return c.ExistSameFileInWorkWindow(paths); });
    };
    EXPECT_TRUE(exists(L"<" + a + L">"));
    EXPECT_TRUE(exists(L"<x.pdf>< " + a + L" \t>"));
    EXPECT_FALSE(exists(L"<" + b + L">"));
    EXPECT_FALSE(exists(L"<" + Document("A.pdf") + L">"));
    EXPECT_FALSE(exists(L""));
}

TEST_F(WorkWindowTest, AddedFilesJoinTheWorkWindowBesideTheirTwinAndItsWindowIsBroughtForward) {
    const std::wstring a = Document("a.pdf");
    const std::wstring b = Document("b.pdf");
    const std::wstring c = Document("c.pdf");
    Page ordinary(PreviewRoot());
    // No work window yet: the file is written, nothing is brought forward.
    EXPECT_EQ(ordinary.Call([&](CZOVuvazaRCtrl& ctl) { return ctl.AddFilesToWorkWindow(L"<" + c + L">", L"<C>"); }),
              1);
    EXPECT_TRUE(fs::exists(DataFolder() + "AddFiles.txt"));
    EXPECT_TRUE(ordinary.Window().Activations().empty());

    auto work = WorkWindow({a, b});
    EXPECT_EQ(ordinary.Call([&](CZOVuvazaRCtrl& ctl) {
                  return ctl.AddFilesToWorkWindow(L"<" + a + L">", L"<A2>");
              }),
              1);
    EXPECT_TRUE(Eventually([&] { return work->DeskPaths() == std::vector<std::wstring>{a, a, b}; }));
    // The file from before it was a work window was not for it.
    EXPECT_EQ(work->DeskPaths(), (std::vector<std::wstring>{a, a, b}));
    EXPECT_EQ(ordinary.Window().Activations(), std::vector<std::uint32_t>{work->Handle()});
    EXPECT_TRUE(ordinary.DeskPaths().empty());
}

TEST_F(WorkWindowTest, MarkersThatCannotBeDeletedNeitherHoldTheCountNorCount) {
    auto work = WorkWindow({Document("a.pdf")});
    fs::create_directory(DataFolder() + "WorkWindow_7FFFFFF0.txt");
    const std::string stuck = DataFolder() + "WorkWindow_7FFFFFF1.txt";
    std::ofstream(stuck) << "gone.pdf\r\n";
    ImmutableFile locked(stuck);

    const auto start = std::chrono::steady_clock::now();
    const std::int32_t counted = Count(*work);
    const auto took = std::chrono::steady_clock::now() - start;
    locked.Unlock();
    EXPECT_EQ(counted, 1);
    EXPECT_LT(took, 1s + kMarkerDeleteRetryPause * (kMarkerDeleteRetries + 2));
    EXPECT_TRUE(fs::is_directory(DataFolder() + "WorkWindow_7FFFFFF0.txt"));
}

TEST_F(WorkWindowTest, AHostileHostInThePathsOrThePreviewRootDoesNothing) {
    auto work = WorkWindow({Document("a.pdf")});
    Page ordinary(PreviewRoot());
    EXPECT_EQ(ordinary.Call([](CZOVuvazaRCtrl& c) { return c.AddFilesToWorkWindow(L"http://../x.pdf", L"<X>"); }), 1);
    EXPECT_EQ(ordinary.Call([](CZOVuvazaRCtrl& c) { return c.AddFilesToWorkWindow(L"http:///x.pdf", L"<X>"); }), 1);
    EXPECT_FALSE(fs::exists(Root() + "/AddFiles.txt"));
    EXPECT_FALSE(fs::exists(DataFolder() + "AddFiles.txt"));
    EXPECT_TRUE(ordinary.Window().Activations().empty());

    SetPreviewRoot(L"http://../previews");
    EXPECT_EQ(Count(ordinary), 0);
    EXPECT_FALSE(ordinary.Call([&](CZOVuvazaRCtrl& c) { return c.ExistSameFileInWorkWindow(Document("a.pdf")); }));
}

}  // namespace
}  // namespace zov::test
