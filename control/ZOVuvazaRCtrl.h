// The viewer control a page embeds: owns the viewer, the command queue and
// its worker thread, and the timer that drives animation. It lives on its
// window's thread; only the worker (commands) runs elsewhere.
#pragma once

#include "control/CommandQueue.h"
#include "control/PageTexts.h"
#include "dirtree/DirTreeCtrl.h"
#include "viewer/IViewer.h"
#include "viewer/ViewerHost.h"
#include "platform/Handshake.h"
#include "platform/HostWindow.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace zov {

class CVSearchDialog;
struct StartupCommand;

class CZOVuvazaRCtrl final : public WindowClient, public ViewerHost, public IDirTreeOwner {
public:
    static constexpr unsigned kAnimationTimer = 1;
    static constexpr int kDefaultSpeed = 10;
    // The flip speeds the speed menu offers; the timer period is 400 / speed ms.
    static constexpr int kSpeeds[] = {2, 5, 10, 20, 50};
    // Dropped files are taken while the desk and they stay within this.
    static constexpr std::size_t kMaxDeskFiles = 10;
    // How often the window thread looks whether the upload thread is done.
    static constexpr int kUploadPollMs = 100;

    using ViewerFactory = std::function<std::unique_ptr<IViewer>(CZOVuvazaRCtrl& control)>;

    // Starts the worker and deletes a stale start-up argument file.
    CZOVuvazaRCtrl();
    ~CZOVuvazaRCtrl() override;
    CZOVuvazaRCtrl(const CZOVuvazaRCtrl&) = delete;
    CZOVuvazaRCtrl& operator=(const CZOVuvazaRCtrl&) = delete;

    // The window the container gave the control (not owned); messages from it
    // arrive through the WindowClient calls. Window thread.
    void AttachWindow(HostWindow* window);
    HostWindow* Window() const override { return window; }

    // Creates the viewer once, with `make`, and starts the timer. Window thread.
    bool CreateViewer(const ViewerFactory& make);
    IViewer* Viewer() const { return viewer.get(); }

    // Stops the worker and a running search, then deletes the viewer. The
    // control stays usable as a window; commands are no longer run.
    void ClearMemory();

    // The page's scripting methods, on the window thread. Each catches what
    // its work throws and returns its neutral value; those that need the
    // viewer do nothing before SetUp.
    void AboutBox();
    void SetFiles(const std::wstring& list);
    void SetPreviewFolder(const std::wstring& list);
    void FlipRight();
    void FlipLeft();
    void FlipRight2();
    void FlipLeft2();
    void FlipRightClose();
    void FlipLeftClose();
    void FlipAuto();
    void ZoomDown();
    void ScaleUp();
    void ScaleDown();
    void CompleteOpenPage();
    void UnCompleteOpenPage();
    void SingleOpenPage();
    void Search(const std::wstring& keyword);
    void Refresh();
    void SetAllSelectedFlag(bool selected);
    std::int32_t eValueInit(const std::wstring& language, const std::wstring& colour, bool checkboxes,
                            const std::wstring& loginId, const std::wstring& previewFolder,
                            const std::wstring& eValueAddress);
    std::int32_t eValueSetFiles(const std::wstring& paths, const std::wstring& identifiers,
                                const std::wstring& captions, const std::wstring& flags,
                                const std::wstring& eventUrlTemplate);
    std::wstring eValueGetSelectedFiles();
    bool GetToolBarVisible() const { return toolbarVisible; }
    void SetToolBarVisible(bool visible);
    std::int32_t SetUp(const std::wstring& language, const std::wstring& colour, bool checkboxes,
                       const std::wstring& loginId, const std::wstring& previewFolder,
                       const std::wstring& systemName, bool lastFlag);
    std::int32_t ShowFiles(const std::wstring& paths, const std::wstring& captions);
    std::wstring GetSelectedFiles();
    void SetFolderFiles(const std::wstring& folder, const std::wstring& names);
    void SetFolder(const std::wstring& folder, bool remember);
    void DeleteSelectedFiles();
    bool GetDirTreeVisible() const { return folderTree != nullptr; }
    CDirTreeCtrl* FolderTree() const { return folderTree.get(); }
    void SetDirTreeVisible(bool visible, const std::wstring& root, const std::wstring& second);
    void OpenPages(const std::wstring& text);
    std::int32_t ShowWorkWindow(const std::wstring& paths, const std::wstring& captions);
    std::int32_t AddFilesToWorkWindow(const std::wstring& paths, const std::wstring& captions);
    std::int32_t GetWorkWindowCount();
    bool ExistSameFileInWorkWindow(const std::wstring& paths);
    void ZoomUpFirstObject();
    void TextSearchNext(const std::wstring& keyword);
    void TextSearchPrev(const std::wstring& keyword);
    void TextSearchCancel();
    void SetFileList(const std::wstring& listUrl, const std::wstring& stickyFolderUrl);

    bool Japanese() const { return japanese; }
    bool FolderRemembered() const { return folderRemembered; }
    const std::wstring& RememberedFolder() const { return rememberedFolder; }

    // One of kSpeeds; restarts the animation timer. Others are ignored.
    void SetSpeed(int newSpeed);
    int Speed() const { return speed; }
    bool SetupDone() const { return setupDone; }

    // Any thread. False when the queue was full and the command dropped.
    bool PostCommand(std::int32_t code, const POINT* point = nullptr, std::int32_t value = 0,
                     std::int16_t delta = 0);
    std::size_t PendingCommands() const { return commands.PendingCount(); }
    // Scroll-bar changes from the viewer on the worker; applied on the next tick.
    bool PostScrollInfo(int bar, const SCROLLINFO& info) override;
    bool PostEnableScrollBar(int bar, std::uint32_t arrows) override;
    void RefreshWindowState() override;
    void EditNote(std::uint64_t noteTicket, std::wstring text, COLORREF colour) override;

    // Controls alive in this process (the server may unload at zero).
    static int LiveCount();

    // WindowClient
    void OnTimer(unsigned id) override;
    void OnPaint(const RECT& invalid) override;
    void OnLButtonDown(std::uint32_t keyFlags, POINT point) override;
    void OnLButtonUp(std::uint32_t keyFlags, POINT point) override;
    void OnRButtonUp(std::uint32_t keyFlags, POINT point) override;
    void OnMouseMove(std::uint32_t keyFlags, POINT point) override;
    void OnMouseWheel(std::uint32_t keyFlags, std::int16_t delta, POINT screenPoint) override;
    void OnKeyDown(std::uint32_t virtualKey, std::uint32_t keyFlags) override;
    void OnMotionSetting(bool reduced) override;
    void OnDpiChanged(unsigned dpi) override;
    void OnVScroll(int code) override;
    void OnHScroll(int code) override;
    void OnSize(std::uint32_t sizeType, std::int32_t width, std::int32_t height) override;
    bool OnSetCursor() override;
    void OnCommand(std::uint32_t id) override;
    void OnToolbarDropDown(std::int32_t button) override;
    void OnDropFiles(const std::vector<std::wstring>& paths) override;
    void OnProperties() override;
    void OnTreeNotify(WindowHandle tree, const TreeNotification& notification) override;
    // IDirTreeOwner: the folder chosen in the tree is listed and remembered.
    void ShowFolderFiles(const std::wstring& folder) override;
    // Where the folder tree stands: below the toolbar, down to the bottom.
    RECT FolderTreeRect(std::int32_t width) const;
    // Device pixels per CSS pixel of the window's screen.
    double DeviceScale() const;

    // A message box in the control's language: Yes and No read "YES" and
    // "NO" in English. Window thread.
    int AskBox(const std::wstring& text, const std::wstring& caption, std::uint32_t type);

private:
    // Makes the toolbar the window wants now, unless the one it has fits.
    void ChooseAndCreateToolbar();
    void CloseToolbar();
    // Timer step: the buttons' states follow the viewer's.
    void SyncToolbar();
    void EnableButton(std::int32_t button, bool enabled);
    void CheckButton(std::int32_t button, bool checked);
    void ShowSpeedMenu();
    void ShowContextMenu(POINT point);
    void JumpToPage();
    // Opens the book under the context menu in a new browser window.
    void OpenInNewWindow();
    void ShowSearchDialog();
    // The notes of a file list, from a web folder into the notes folder.
    void FetchNotes(const std::wstring& folderUrl);
    // Asks, once per list, whether to search documents without search data.
    bool SearchConsent();
    // The viewer's cursor reaches the window also when the pointer rests.
    void ApplyViewerCursor();
    // Tells the window, when it changed, what it shows; a few times a second.
    void DescribeScreen();
    void WorkerLoop();
    void RunCommand(IViewer& target, const CommandNode& command);
    void StopWorker();
    void CancelSearch();
    void ConsumeStartupArgs();
    void RunStartupCommand(const StartupCommand& command);
    void DrainScrollRequests();
    void Scroll(int bar, int code);
    void RestartTimer();
    // Hands a new list to the viewer (command lock held).
    void LoadList(DisplayFileList list);

    // Owned; created by the first setup, deleted by ClearMemory. Replaced
    // only with the command lock held, so the worker reads it under that lock.
    std::unique_ptr<IViewer> viewer;
    bool japanese = true;
    WindowHandle toolbar = 0;
    int toolbarMode = 0;  // 0 not synchronised, 1 desk, 2 a document zoomed
    bool previousEnabled = false;
    bool nextEnabled = false;
    int speed = kDefaultSpeed;
    // The folder tree window while it is shown.
    std::unique_ptr<CDirTreeCtrl> folderTree;
    bool toolbarVisible = false;
    bool reducedMotion = false;  // as the reader's setting last said
    // Last toolbar check states sent, so that unchanged ones are not resent.
    int stitchState = -1;
    int openModeState = -1;
    int autoFlipState = -1;
    // Set by the first tick that delivered a frame; from then on painting
    // takes the desk lock.
    bool paintingArmed = false;
    bool folderRemembered = false;
    std::wstring rememberedFolder;
    std::wstring rememberedFolderForRelist;
    bool setupDone = false;
    // The modeless search dialog, made by its first opening; it lives with
    // the viewer it searches.
    std::unique_ptr<CVSearchDialog> searchDialog;
    // What readers who cannot see the window are told of it.
    PageTextReader pageTexts;
    PagesFacingUp askedTexts;
    std::optional<OpenPageTexts> readTexts;
    std::optional<ScreenDescription> described;
    std::chrono::steady_clock::time_point describedAt{};
    // The cursor last given to the window for the viewer.
    int appliedCursor = 0;
    // Worker handshake: the window thread writes stopRequested, the worker
    // writes stopped.
    Flag stopRequested{false};
    Flag stopped{false};
    // Cuts the worker's idle sleep short when a command or a stop comes.
    Wakeup workerWake;
    CommandQueue commands;
    ScrollRequestQueue scrollRequests;
    std::unique_ptr<ImageList> toolbarImages;
    std::unique_ptr<ImageList> toolbarDisabledImages;
    // The toolbar as made, with its layout: the speed menu hangs below a button.
    ToolbarTemplate toolbarShape;
    // Set by the last eValueSetFiles outside eValue mode when its first file
    // has search text: the toolbar with the search button.
    bool largeToolbarWanted = false;

    HostWindow* window = nullptr;  // not owned
    std::thread worker;
};

}  // namespace zov
