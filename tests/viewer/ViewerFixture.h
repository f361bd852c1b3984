// The viewer test fixture: a viewer in a control in a headless window,
// reading previews that the tests write into a local preview root.
#pragma once

#include "control/ViewerSetup.h"
#include "control/ZOVuvazaRCtrl.h"
#include "documents/PageFileWriter.h"
#include "documents/PreviewPaths.h"
#include "documents/PreviewSettings.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "platform/HeadlessWindow.h"
#include "platform/Locks.h"
#include "platform/image/ImageDecoder.h"
#include "pixels/Draw.h"
#include "tests/support/TempDataHome.h"
#include "viewer/ZAZViewer.h"

#include <algorithm>
#include <cstdlib>
#include <thread>
#include <type_traits>

namespace zov::test {

using namespace std::chrono_literals;

class ViewerFixture : public TempDataHome {
protected:
    void SetUp() override {
        TempDataHome::SetUp();
        PreviewSettings settings;
        settings.previewRoot = WideRoot() + L"\\previews";
        settings.folderMode = L"Folder";
        SetPreviewSettings(settings);
        SetDeskColour(0xC0, 0xC0, 0xC0);
        window_ = std::make_unique<HeadlessWindow>(WindowOptions());
        window_->Send([this] {
            control_ = std::make_unique<CZOVuvazaRCtrl>();
            control_->AttachWindow(window_.get());
            viewer_ = SetUpViewer(*control_);
        });
        window_->Attach(control_.get());
        ASSERT_NE(viewer_, nullptr);
        viewer_->Resize();
    }

    // Unit tests deliver the ticks themselves (Tick); integration tests let
    // the window run the control's timer, as the container does.
    virtual HeadlessWindow::Options WindowOptions() const {
        HeadlessWindow::Options options;
        options.runTimers = false;
        options.clientSize = SIZE{640, 480};
        return options;
    }

    void TearDown() override {
        window_->Attach(nullptr);
        window_->Send([this] { control_.reset(); });
        window_.reset();
        SetPreviewSettings(PreviewSettings{});
        TempDataHome::TearDown();
    }

    std::wstring Document(const std::string& name) const { return WideRoot() + L"\\docs\\" + FromUtf8(name); }

    // A finished preview of `pages` pages of w x h pictures.
    void WritePreview(const std::wstring& document, int pages, int w = 60, int h = 84) {
        WriteTextPreview(document, std::vector<std::string>(static_cast<std::size_t>(pages)), 3, w, h);
    }

    // A finished preview with one page per entry of `texts` (an empty one
    // gives the page no text), in page file format `version`.
    void WriteTextPreview(const std::wstring& document, const std::vector<std::string>& texts, int version = 3,
                          int w = 60, int h = 84) {
        PreviewSettings settings = GetPreviewSettings();
        std::wstring first = PageFilePath(document, 1, settings);
        ASSERT_TRUE(CreateFolderTree(first.substr(0, first.rfind(L'\\'))));
        const std::int32_t pages = static_cast<std::int32_t>(texts.size());
        for (std::int32_t n = 1; n <= pages; ++n) {
            std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w) * h, 0xFFFFFF - 0x101010u * n);
            PageFileContent content;
            content.version = version;
            content.imageType = 3;
            content.image1 = PageFileImage{w, h, 0, EncodePng(pixels.data(), w, h)};
            if (!texts[n - 1].empty())
                content.text = texts[n - 1] + "\n";
            if (n == 1)
                content.pageList = std::vector<std::int32_t>(static_cast<std::size_t>(pages), 1);
            ASSERT_TRUE(WritePageFile(PageFilePath(document, n, settings), content));
        }
        ASSERT_TRUE(WriteFileAtomically(PageFilePath(document, kStatusFile, settings), "**ZAZPreviewStatus:Success"));
    }

    static std::vector<std::uint8_t> SolidPng(int w, int h, std::uint32_t colour) {
        std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w) * h, colour);
        return EncodePng(pixels.data(), w, h);
    }

    // Texts of `pages` pages, `word` on the pages named.
    static std::vector<std::string> Texts(int pages, const std::string& word, const std::vector<int>& hits) {
        std::vector<std::string> texts;
        for (int n = 1; n <= pages; ++n)
            texts.push_back(std::find(hits.begin(), hits.end(), n) != hits.end() ? "page with " + word : "plain page");
        return texts;
    }

    DisplayFileList Files(const std::vector<std::wstring>& paths) {
        DisplayFileList list;
        for (const std::wstring& path : paths) {
            DisplayFile file;
            file.path = path;
            file.openPage = 1;
            list.push_back(file);
        }
        return list;
    }

    // Hands the list over and runs the update step that lays it out, as the
    // first step after the loader took it does.
    void Load(DisplayFileList list) {
        viewer_->LoadFileList(std::move(list));
        ASSERT_TRUE(Eventually([this] { return viewer_->ListLoaded(); }));
        Step();
    }

    // Loads the list and waits until the loader's first pass is done.
    std::vector<ZAZObject*> LoadAll(const std::vector<std::wstring>& paths) {
        Load(Files(paths));
        EXPECT_TRUE(Eventually([this] { return viewer_->PreviewPassDone(); }));
        return viewer_->Objects();
    }

    // Loads the documents and waits until every page list is complete.
    std::vector<ZAZObject*> LoadComplete(const std::vector<std::wstring>& paths) {
        Load(Files(paths));
        EXPECT_TRUE(Eventually([&] {
            LockGuard desk(DeskLock());
            return viewer_->objects.size() == paths.size() &&
                   std::all_of(viewer_->objects.begin(), viewer_->objects.end(),
                               [](const auto& book) { return book->loadState == 4; });
        }));
        Step();
        return viewer_->Objects();
    }

    // `count` books of `pages` pages.
    std::vector<ZAZObject*> LoadBooks(int count, int pages = 8) {
        std::vector<std::wstring> paths;
        for (int i = 0; i < count; ++i) {
            paths.push_back(Document("book" + std::to_string(i) + ".pdf"));
            WritePreview(paths.back(), pages);
        }
        return LoadAll(paths);
    }

    void ZoomInto(ZAZObject* book) {
        {
            ViewLock lock;
            viewer_->currentObject = book;
        }
        ASSERT_TRUE(viewer_->ZoomIn());
        ASSERT_EQ(viewer_->ZoomedObject(), book);
    }

    // Runs `call` on the control's window thread, as the page's calls come.
    template <typename Call>
    auto OnWindow(Call call) {
        using Result = decltype(call(*control_));
        if constexpr (std::is_void_v<Result>) {
            window_->Send([&] { call(*control_); });
        } else {
            Result result{};
            window_->Send([&] { result = call(*control_); });
            return result;
        }
    }

    std::vector<std::wstring> DeskPaths() {
        LockGuard desk(DeskLock());
        std::vector<std::wstring> paths;
        for (const auto& book : viewer_->objects)
            paths.push_back(book->path);
        return paths;
    }

    bool DeskBecomes(const std::vector<std::wstring>& paths) {
        return Eventually([&] { return DeskPaths() == paths; });
    }

    template <typename Predicate>
    static bool Eventually(Predicate done) {
        for (int i = 0; i < 1500 && !done(); ++i)
            std::this_thread::sleep_for(5ms);
        return done();
    }

    // One update step as the update thread runs it.
    bool Step() {
        ViewLock lock;
        return viewer_->UpdateStep();
    }

    // Applies the scroll-bar changes the viewer posted, as a timer tick does.
    void Tick() { window_->SendTimer(1); }

    std::unique_ptr<HeadlessWindow> window_;
    std::unique_ptr<CZOVuvazaRCtrl> control_;
    ZAZViewer* viewer_ = nullptr;
};

}  // namespace zov::test
