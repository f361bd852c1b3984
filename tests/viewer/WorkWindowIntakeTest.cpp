// A work window's own step: the marker of what it shows, and the files other
// windows add for it, read from the bytes those windows write.
#include "platform/TextFile.h"
#include "tests/viewer/ViewerFixture.h"
#include "workwin/WorkWindowFiles.h"

#include <filesystem>
#include <fstream>
#include <thread>

namespace zov::test {
namespace {

namespace fs = std::filesystem;

class WorkWindowIntakeTest : public ViewerFixture {
protected:
    std::string DataFolder() const { return Root() + "/ZOVuvazaR/"; }
    std::string MarkerFile() const { return DataFolder() + ToUtf8(MarkerName(window_->Handle())); }
    std::string AddFilesFile() const { return DataFolder() + "AddFiles.txt"; }

    static std::string Line(const std::wstring& path) { return ToCp932(path) + "\r\n"; }

    void PutAddFiles(const std::string& bytes) {
        fs::create_directories(DataFolder());
        const std::string part = AddFilesFile() + ".new";
        std::ofstream(part, std::ios::binary) << bytes;
        // A later modification time each time, also within one clock tick.
        written_ += 1s;
        fs::last_write_time(part, written_);
        fs::rename(part, AddFilesFile());
    }

    // The work window's first step, which takes in nothing already there.
    void BecomeWorkWindow() {
        viewer_->SetWorkWindowMode();
        viewer_->WorkWindowStep();
    }

    fs::file_time_type written_ = fs::file_time_type::clock::now();

    std::vector<std::wstring> Captions() {
        LockGuard desk(DeskLock());
        std::vector<std::wstring> captions;
        for (const auto& book : viewer_->objects)
            captions.push_back(book->caption);
        return captions;
    }
};

TEST_F(WorkWindowIntakeTest, OnlyAWorkWindowWritesItsMarkerAndOnlyWhenItIsMissing) {
    const std::wstring a = Document("a.pdf");
    const std::wstring b = Document("b.pdf");
    LoadAll({a, b});
    viewer_->WorkWindowStep();
    EXPECT_FALSE(fs::exists(MarkerFile()));

    viewer_->SetWorkWindowMode();
    viewer_->WorkWindowStep();
    EXPECT_EQ(ReadBytes(MarkerFile()), Line(a) + Line(b));

    LoadAll({b});
    viewer_->WorkWindowStep();
    EXPECT_EQ(ReadBytes(MarkerFile()), Line(a) + Line(b));
    fs::remove(MarkerFile());
    viewer_->WorkWindowStep();
    EXPECT_EQ(ReadBytes(MarkerFile()), Line(b));
}

TEST_F(WorkWindowIntakeTest, AddedFilesGoRightAfterTheirTwinOnceForEachModificationTime) {
    const std::wstring a = Document("a.pdf");
    const std::wstring b = Document("b.pdf");
    const std::wstring c = Document("c.pdf");
    WritePreview(b, 4);
    LoadAll({a, b});
    BecomeWorkWindow();
    // "表" ends in a backslash byte; "file:" is dropped as for any list.
    PutAddFiles("<" + ToCp932(b) + "><file:" + ToCp932(c) + ">\r\r\n<\x95\x5C><C>\r\r\n");
    viewer_->WorkWindowStep();
    EXPECT_EQ(DeskPaths(), (std::vector<std::wstring>{a, b, b, c}));
    EXPECT_EQ(Captions(), (std::vector<std::wstring>{L"", L"", L"\u8868", L"C"}));
    {
        // The twin got its first picture: it stands on the desk as its original does.
        LockGuard desk(DeskLock());
        auto added = std::next(viewer_->objects.begin(), 2);
        EXPECT_GT((*added)->PageCount(), 0);
        EXPECT_GT((*added)->scale, 0);
    }
    // The marker of its first step stays until a count deletes it.
    EXPECT_EQ(ReadBytes(MarkerFile()), Line(a) + Line(b));
    fs::remove(MarkerFile());
    viewer_->WorkWindowStep();
    EXPECT_EQ(ReadBytes(MarkerFile()), Line(a) + Line(b) + Line(b) + Line(c));

    viewer_->WorkWindowStep();
    EXPECT_EQ(DeskPaths().size(), 4u);
    PutAddFiles("<" + ToCp932(a) + ">\r\r\n<again>\r\r\n");
    viewer_->WorkWindowStep();
    EXPECT_EQ(DeskPaths(), (std::vector<std::wstring>{a, a, b, b, c}));
}

TEST_F(WorkWindowIntakeTest, ABookAddedAfterTheLoaderWentIdleStillGetsAllItsPages) {
    const std::wstring a = Document("a.pdf");
    const std::wstring c = Document("c.pdf");
    WritePreview(a, 2);
    WritePreview(c, 12);
    LoadAll({a});
    // The list's passes are over: nothing more to load for it.
    const auto idleBy = std::chrono::steady_clock::now() + 20s;
    while (!viewer_->loaderIdle && std::chrono::steady_clock::now() < idleBy)
        std::this_thread::sleep_for(20ms);
    ASSERT_TRUE(viewer_->loaderIdle);
    BecomeWorkWindow();
    PutAddFiles("<" + ToCp932(c) + ">\r\r\n<C>\r\r\n");
    viewer_->WorkWindowStep();
    ASSERT_EQ(DeskPaths(), (std::vector<std::wstring>{a, c}));
    auto added = [&] {
        LockGuard desk(DeskLock());
        return std::make_pair((*std::next(viewer_->objects.begin()))->loadState,
                              (*std::next(viewer_->objects.begin()))->PageCount());
    };
    const auto end = std::chrono::steady_clock::now() + 30s;
    while (added().first != 4 && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(50ms);
    EXPECT_EQ(added().first, 4);
    EXPECT_GE(added().second, 12);
}

TEST_F(WorkWindowIntakeTest, AFileWrittenBeforeTheWindowBecameOneIsNotForIt) {
    const std::wstring a = Document("a.pdf");
    const std::wstring b = Document("b.pdf");
    LoadAll({a});
    PutAddFiles("<" + ToCp932(b) + ">\r\r\n<B>\r\r\n");
    BecomeWorkWindow();
    viewer_->WorkWindowStep();
    EXPECT_EQ(DeskPaths(), std::vector<std::wstring>{a});
    PutAddFiles("<" + ToCp932(b) + ">\r\r\n<B>\r\r\n");
    viewer_->WorkWindowStep();
    EXPECT_EQ(DeskPaths(), (std::vector<std::wstring>{a, b}));
}

TEST_F(WorkWindowIntakeTest, AFileStillGrowingIsLeftForALaterStepAndTheDeskStaysFreeMeanwhile) {
    const std::wstring a = Document("a.pdf");
    LoadAll({a});
    BecomeWorkWindow();
    fs::create_directories(DataFolder());
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        std::ofstream out(AddFilesFile(), std::ios::binary);
        out << "<" << ToCp932(Document("b.pdf")) << ">";
        out.flush();
        while (!stop) {
            out << "<" << ToCp932(Document("c.pdf")) << ">";
            out.flush();
            std::this_thread::sleep_for(40ms);
        }
        out << "\r\r\n<B>\r\r\n";
    });
    EXPECT_TRUE(Eventually([&] {
        std::error_code error;
        return fs::file_size(AddFilesFile(), error) > 0 && !error;
    }));
    std::atomic<bool> stepped{false};
    std::thread step([&] {
        viewer_->WorkWindowStep();
        stepped = true;
    });
    std::this_thread::sleep_for(300ms);
    EXPECT_FALSE(stepped);
    {
        // Taken from another thread while the step waits on the file.
        std::unique_lock<ProcessLock> desk(DeskLock(), std::try_to_lock);
        EXPECT_TRUE(desk.owns_lock());
    }
    EXPECT_TRUE(Eventually([&] { return stepped.load(); }));
    step.join();
    EXPECT_EQ(DeskPaths(), std::vector<std::wstring>{a});

    stop = true;
    writer.join();
    viewer_->WorkWindowStep();
    const std::vector<std::wstring> paths = DeskPaths();
    ASSERT_GE(paths.size(), 3u);
    EXPECT_EQ(paths[1], Document("b.pdf"));
    EXPECT_EQ(paths.back(), Document("c.pdf"));
}

}  // namespace
}  // namespace zov::test
