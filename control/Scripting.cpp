// The page's scripting methods. Those that replace lists or settings hold the
// command lock for their whole run, so no queued command sees a desk half
// replaced; those that change the picture post a command and return.
#include "control/ModuleSettings.h"
#include "control/StartupArgs.h"
#include "control/ViewerSetup.h"
#include "dialogs/Dialogs.h"
#include "documents/PreviewSource.h"
#include "control/ZOVuvazaRCtrl.h"
#include "documents/Download.h"
#include "documents/FolderListing.h"
#include "documents/PreviewPaths.h"
#include "documents/PreviewSettings.h"
#include "platform/DataFolder.h"
#include "platform/FileSystem.h"
#include "platform/Locks.h"
#include "platform/TextFile.h"
#include "workwin/WorkWindowFiles.h"

#include <algorithm>
#include <chrono>
#include <cwctype>
#include <limits>
#include <thread>
#include <unordered_set>

namespace zov {

namespace {

constexpr std::size_t kListLineChars = 1023;
// A notes folder names at most this many files worth fetching; the rest are left.
constexpr std::size_t kMaxFetchedNoteFiles = 1000;

bool StartsWith(std::wstring_view text, std::wstring_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// One item of a list the page gave, opened at its first page.
DisplayFile ListedFile(std::wstring path, std::wstring caption = {}, std::wstring documentId = {}, bool flag = false) {
    DisplayFile file;
    file.path = std::move(path);
    file.openPage = 1;
    file.caption = std::move(caption);
    file.documentId = std::move(documentId);
    file.flag = flag;
    return file;
}

// A name read from a server that may be used as one file name in a folder
// of ours: no separators, no way up.
bool IsPlainFileName(std::wstring_view name) {
    return !name.empty() && name != L"." && name != L".." && name.find_first_of(L"/\\") == std::wstring_view::npos &&
           name.find(L'\0') == std::wstring_view::npos;
}

// Every root SetPreviewFolder would take from the list may be one.
bool PreviewRootsAcceptable(const std::vector<std::wstring>& roots) {
    return std::all_of(roots.begin(), roots.end(), [](const std::wstring& root) { return IsAcceptablePreviewRoot(root); });
}

// The service's scheme and host become the preview root without a login.
bool ServiceAddressAcceptable(const std::wstring& address) {
    return address.find(L"://") == std::wstring::npos || IsAcceptablePreviewRoot(SchemeAndHost(address));
}

// A share path that climbs out of the share mount root, also behind the
// "file:" prefix the desk drops.
bool LeavesShareMountRoot(std::wstring_view path) {
    if (StartsWith(path, L"file:"))
        path.remove_prefix(5);
    return EscapesShareMountRoot(path);
}

// A refusal box names at most this many files, each cut to this length: the
// paths are the page's, and a box is read by a person.
constexpr std::size_t kMaxRefusalsShown = 20;
constexpr std::size_t kMaxPathCharsShown = 512;

std::wstring Shortened(std::wstring_view text) {
    if (text.size() <= kMaxPathCharsShown)
        return std::wstring(text);
    return std::wstring(text.substr(0, kMaxPathCharsShown)) + L"...";
}

// How long a count waits for the live work windows to write their markers
// again: several of their update steps.
constexpr std::chrono::milliseconds kMarkerRewriteWait{1000};

// `text` without white space at either end.
std::wstring TrimmedSpace(std::wstring_view text) {
    while (!text.empty() && std::iswspace(static_cast<wint_t>(text.front())))
        text.remove_prefix(1);
    return TrimTrailingSpace(text);
}

// Which files stayed on their servers, and why.
std::wstring RefusalText(const std::vector<RefusedDelete>& refused, bool japanese) {
    std::wstring text = japanese ? L"次のファイルは削除されませんでした。" : L"These files were not deleted.";
    std::size_t shown = 0;
    for (const RefusedDelete& file : refused) {
        if (shown++ == kMaxRefusalsShown)
            break;
        text += L"\n" + Shortened(file.path) + L" : " + DeleteFailureReason(file.result);
    }
    if (refused.size() > kMaxRefusalsShown) {
        const std::wstring more = std::to_wstring(refused.size() - kMaxRefusalsShown);
        text += japanese ? L"\n他 " + more + L" 件" : L"\nand " + more + L" more";
    }
    return text;
}

std::wstring ListingFailureText(std::wstring_view folder, const std::wstring& failure, bool japanese) {
    std::wstring text = japanese ? L"フォルダーの一覧を取得できませんでした。" : L"The folder could not be listed.";
    text += L"\n" + Shortened(folder);
    return failure.empty() ? text : text + L" : " + failure;
}

}  // namespace

void CZOVuvazaRCtrl::LoadList(DisplayFileList list) {
    if (!viewer)
        return;
    std::erase_if(list, [](const DisplayFile& file) { return LeavesShareMountRoot(file.path); });
    viewer->LoadFileList(std::move(list));
}

void CZOVuvazaRCtrl::AboutBox() {
    try {
        if (!window)
            return;
        CAboutDlg about;
        about.DoModal(*window);
    } catch (...) {
    }
}

void CZOVuvazaRCtrl::SetFiles(const std::wstring& list) {
    try {
        LockGuard guard(CommandLock());
        if (!viewer)
            return;
        DisplayFileList files;
        for (std::wstring& path : SplitList(list, kAngleSeparators))
            files.push_back(ListedFile(std::move(path)));
        LoadList(std::move(files));
    } catch (...) {
    }
}

void CZOVuvazaRCtrl::SetPreviewFolder(const std::wstring& list) {
    try {
        LockGuard guard(CommandLock());
        if (!viewer)
            return;
        // The root names the cache folder every page's list clears: one the
        // page may not have refuses the whole call.
        const std::vector<std::wstring> roots = SplitList(list, kAngleSeparators);
        if (!PreviewRootsAcceptable(roots))
            return;
        ModuleSettings settings = GetModuleSettings();
        // Without a login the service's own server holds the previews.
        if (settings.eValueWithoutLogin && settings.eValueAddress.find(L"://") != std::wstring::npos &&
            ServiceAddressAcceptable(settings.eValueAddress))
            SetPreviewRoot(SchemeAndHost(settings.eValueAddress));
        for (const std::wstring& root : roots)
            SetPreviewRoot(root);
    } catch (...) {
    }
}

void CZOVuvazaRCtrl::FlipRight() {
    PostCommand(kCommandFlipPrevious);
}
void CZOVuvazaRCtrl::FlipLeft() {
    PostCommand(kCommandFlipNext);
}
void CZOVuvazaRCtrl::FlipRight2() {
    PostCommand(kCommandFlipPrevious10);
}
void CZOVuvazaRCtrl::FlipLeft2() {
    PostCommand(kCommandFlipNext10);
}
void CZOVuvazaRCtrl::FlipRightClose() {
    PostCommand(kCommandFlipPrevious10);
}
void CZOVuvazaRCtrl::FlipLeftClose() {
    PostCommand(kCommandFlipNext10);
}
void CZOVuvazaRCtrl::ZoomDown() {
    PostCommand(kCommandZoomDown);
}
void CZOVuvazaRCtrl::ScaleUp() {
    PostCommand(kCommandScaleUp);
}
void CZOVuvazaRCtrl::ScaleDown() {
    PostCommand(kCommandScaleDown);
}
void CZOVuvazaRCtrl::CompleteOpenPage() {
    PostCommand(kCommandCompleteOpenPage);
}
void CZOVuvazaRCtrl::UnCompleteOpenPage() {
    PostCommand(kCommandUnCompleteOpenPage);
}
void CZOVuvazaRCtrl::SingleOpenPage() {
    PostCommand(kCommandSingleOpenPage);
}

void CZOVuvazaRCtrl::FlipAuto() {
    try {
        if (viewer)
            viewer->SetAutoFlip(!viewer->AutoFlipOn());
    } catch (...) {
    }
}

void CZOVuvazaRCtrl::Search(const std::wstring& keyword) {
    try {
        if (!viewer)
            return;
        LockGuard guard(CommandLock());
        viewer->Search(keyword);
    } catch (...) {
    }
}

void CZOVuvazaRCtrl::Refresh() {
    try {
        if (!viewer)
            return;
        viewer->ReloadCurrentList(true);
        if (window)
            window->Invalidate(false);
    } catch (...) {
    }
}

void CZOVuvazaRCtrl::SetAllSelectedFlag(bool selected) {
    try {
        if (!viewer)
            return;
        viewer->SetAllSelected(selected);
        viewer->RenderCaptionsOnly();
    } catch (...) {
    }
}

std::int32_t CZOVuvazaRCtrl::eValueInit(const std::wstring& language, const std::wstring& colour, bool checkboxes,
                                        const std::wstring& loginId, const std::wstring& previewFolder,
                                        const std::wstring& eValueAddress) {
    try {
        LockGuard guard(CommandLock());
        if (!PreviewRootsAcceptable(SplitList(previewFolder, kAngleSeparators)) ||
            !ServiceAddressAcceptable(eValueAddress))
            return 0;
        SetEValueAddress(eValueAddress);
        if (loginId.empty() && previewFolder.empty())
            SetEValueWithoutLogin();
        return SetUp(language, colour, checkboxes, loginId, previewFolder, L"eValueNS", true);
    } catch (...) {
        return 0;
    }
}

std::int32_t CZOVuvazaRCtrl::eValueSetFiles(const std::wstring& paths, const std::wstring& identifiers,
                                            const std::wstring& captions, const std::wstring& flags,
                                            const std::wstring& eventUrlTemplate) {
    try {
        LockGuard guard(CommandLock());
        if (!viewer)
            return 0;
        viewer->SetEventUrlTemplate(eventUrlTemplate);
        const std::wstring systemName = GetModuleSettings().systemName;
        DisplayFileList files;
        if (systemName == L"eValueNS" || systemName == L"Flat") {
            // Four lists in lock step: the n-th item of each belongs together.
            ListTokenizer pathList(paths, kSlashSeparators);
            ListTokenizer idList(identifiers, kSlashSeparators);
            ListTokenizer captionList(captions, kSlashSeparators);
            ListTokenizer flagList(flags, kSlashSeparators);
            while (std::optional<std::wstring> path = pathList.Next()) {
                std::wstring id = idList.Next().value_or(L"");
                std::wstring caption = captionList.Next().value_or(L"");
                std::wstring flag = flagList.Next().value_or(L"");
                if (path->size() >= 2)
                    files.push_back(ListedFile(std::move(*path), std::move(caption), std::move(id), flag == L"1"));
            }
        } else if (systemName == L"Folder") {
            ListTokenizer pathList(paths, kAngleSeparators);
            ListTokenizer captionList(captions, kAngleSeparators);
            // Empty items and leading blanks are passed over one character
            // at a time before each item is taken.
            auto skip = [](ListTokenizer& list) {
                while (!list.Done()) {
                    wchar_t c = list.Rest().front();
                    if (c != L' ' && kAngleSeparators.find(c) == std::wstring_view::npos)
                        break;
                    list.SkipOne();
                }
            };
            for (;;) {
                skip(pathList);
                std::optional<std::wstring> path = pathList.Next();
                if (!path)
                    break;
                skip(captionList);
                std::wstring caption = captionList.Next().value_or(L"");
                if (path->size() >= 2)
                    files.push_back(ListedFile(std::move(*path), std::move(caption)));
            }
        }
        const bool large = !files.empty() && PreviewSource(files.front().path).HasSearchText();
        LoadList(std::move(files));
        if (!GetPreviewSettings().eValueNSMode) {
            largeToolbarWanted = large;
            if (toolbarVisible)
                ChooseAndCreateToolbar();
        }
        return 0;
    } catch (...) {
        return -1;
    }
}

std::wstring CZOVuvazaRCtrl::eValueGetSelectedFiles() {
    try {
        if (!viewer)
            return {};
        std::wstring result;
        for (const DisplayFile& file : viewer->SelectedFiles()) {
            if (!result.empty())
                result += L'/';
            result += file.documentId.empty() ? file.path : file.documentId;
        }
        return result;
    } catch (...) {
        return {};
    }
}

void CZOVuvazaRCtrl::SetToolBarVisible(bool visible) {
    try {
        toolbarVisible = visible;
        if (!viewer)
            return;
        if (visible)
            ChooseAndCreateToolbar();
        else
            CloseToolbar();
        viewer->SetToolbarRoom(visible);
        viewer->ReloadCurrentList(true);
        if (window)
            window->Invalidate(false);
    } catch (...) {
    }
}

std::int32_t CZOVuvazaRCtrl::SetUp(const std::wstring& language, const std::wstring& colour, bool checkboxes,
                                   const std::wstring& loginId, const std::wstring& previewFolder,
                                   const std::wstring& systemName, bool lastFlag) {
    (void)lastFlag;  // accepted and without effect
    try {
        LockGuard guard(CommandLock());
        // Refused before anything is set up or stored.
        if (!PreviewRootsAcceptable(SplitList(previewFolder, kAngleSeparators)))
            return 0;
        SetSystemName(systemName);
        japanese = language == L"ja";
        SetUpViewer(*this);
        if (!viewer)
            return 0;
        viewer->SetCheckboxesEnabled(checkboxes);
        SetDeskColourText(colour);
        SetPreviewFolder(previewFolder);
        viewer->SetPreviewLogContext(loginId);
        setupDone = true;
        // The empty desk shows at once, in its colour, before any list.
        if (window)
            window->Invalidate(false);
        return viewer->InstanceId();
    } catch (...) {
        return 0;
    }
}

std::int32_t CZOVuvazaRCtrl::ShowFiles(const std::wstring& paths, const std::wstring& captions) {
    return eValueSetFiles(paths, L"", captions, L"", L"");
}

std::wstring CZOVuvazaRCtrl::GetSelectedFiles() {
    try {
        if (!viewer)
            return {};
        std::wstring result;
        for (const DisplayFile& file : viewer->SelectedFiles())
            result += L"<" + file.path + L">";
        return result;
    } catch (...) {
        return {};
    }
}

void CZOVuvazaRCtrl::SetFolderFiles(const std::wstring& folder, const std::wstring& names) {
    try {
        LockGuard guard(CommandLock());
        if (!viewer)
            return;
        std::wstring base = folder;
        if (!base.empty() && (base.back() == L'\\' || base.back() == L'/'))
            base.pop_back();
        const wchar_t separator = StartsWith(base, L"http") ? L'/' : L'\\';
        DisplayFileList files;
        for (std::wstring& name : SplitList(names, kBarSeparators))
            files.push_back(ListedFile(base + separator + name, name));
        LoadList(std::move(files));
    } catch (...) {
    }
}

void CZOVuvazaRCtrl::SetFolder(const std::wstring& folder, bool remember) {
    try {
        LockGuard guard(CommandLock());
        const bool http = StartsWith(folder, L"http");
        const bool samePlace = GetModuleSettings().systemName == L"SamePlace";
        if (http && samePlace && !PreviewRootsAcceptable(SplitList(folder, kAngleSeparators)))
            return;
        if (LeavesShareMountRoot(folder))
            return;
        std::optional<FolderContents> listing;
        if (http)
            listing = ListHttpFolder(L"", L"", folder);
        else if (StartsWith(folder, L"\\"))
            listing = ListFolderOnDisk(folder);
        // A drive path is not listed.
        if (listing && listing->names) {
            // The folder's previews lie beside its files; set only once the
            // folder is there, so that a failed one changes nothing.
            if (http && samePlace)
                SetPreviewFolder(folder);
            std::wstring joined;
            for (const std::wstring& name : *listing->names) {
                if (!joined.empty())
                    joined += L'|';
                joined += name;
            }
            SetFolderFiles(folder, joined);
        } else if (listing && window) {
            // The desk keeps what it shows; the user hears why.
            window->MessageBox(MessageBoxRequest{ListingFailureText(folder, listing->failure, japanese), L"ZOVuvazaR",
                                                 MB_OK | MB_ICONEXCLAMATION, {}});
        }
        if (remember) {
            folderRemembered = true;
            rememberedFolder = folder;
            rememberedFolderForRelist = folder;
        }
    } catch (...) {
    }
}

void CZOVuvazaRCtrl::DeleteSelectedFiles() {
    try {
        if (!viewer)
            return;
        const std::vector<RefusedDelete> refused = viewer->DeleteSelected();
        // The books of refused files stay; the user hears which and why.
        if (!refused.empty() && window)
            window->MessageBox(
                MessageBoxRequest{RefusalText(refused, japanese), L"ZOVuvazaR", MB_OK | MB_ICONEXCLAMATION, {}});
        // The box's own loop runs the page's calls: ClearMemory may have
        // ended the viewer meanwhile.
        if (!viewer)
            return;
        if (folderRemembered) {
            SetFolder(rememberedFolderForRelist, true);
            return;
        }
        viewer->ReloadCurrentList(true);
        if (window)
            window->Invalidate(false);
    } catch (...) {
    }
}

void CZOVuvazaRCtrl::SetDirTreeVisible(bool visible, const std::wstring& root, const std::wstring& second) {
    try {
        if (visible) {
            if (!folderTree && window) {
                auto tree = std::make_unique<CDirTreeCtrl>(this);
                if (tree->Create(*window, kTreeStyle, FolderTreeRect(kTreeClosedWidth), kTreeControlId)) {
                    folderTree = std::move(tree);
                    if (viewer)
                        viewer->SetTreeRoom(true);
                }
            }
            if (folderTree)
                folderTree->SetRoots(root, second);
        } else {
            // The desk keeps its room for the tree, as it was laid out.
            folderTree.reset();
        }
        if (viewer)
            viewer->ReloadCurrentList(true);
        if (window)
            window->Invalidate(false);
    } catch (...) {
    }
}

void CZOVuvazaRCtrl::OpenPages(const std::wstring& text) {
    try {
        if (viewer)
            viewer->OpenPagesList(text);
    } catch (...) {
    }
}

std::int32_t CZOVuvazaRCtrl::ShowWorkWindow(const std::wstring& paths, const std::wstring& captions) {
    try {
        if (!viewer)
            return -1;
        viewer->SetWorkWindowMode();
        return ShowFiles(paths, captions);
    } catch (...) {
        return -1;
    }
}

std::int32_t CZOVuvazaRCtrl::AddFilesToWorkWindow(const std::wstring& paths, const std::wstring& captions) {
    try {
        // The files go to the folder of the host the paths live on; the
        // work window of that host takes them in at its next step.
        const std::optional<std::wstring> folder = CoordinationFolder(paths);
        if (!folder || !WriteAddFilesFile(*folder, paths, captions))
            return 1;
        if (const std::optional<std::wstring> first = FirstMarker(*folder)) {
            if (const std::optional<std::uint32_t> handle = MarkerHandle(*first); handle && window)
                window->ActivateWindow(*handle);
        }
        return 1;
    } catch (...) {
        return 1;
    }
}

std::int32_t CZOVuvazaRCtrl::GetWorkWindowCount() {
    try {
        const std::optional<std::wstring> folder = CoordinationFolder(GetPreviewSettings().previewRoot);
        if (!folder)
            return 0;
        // Every live work window writes its marker again once it is gone;
        // a closed one does not, so what is there after the wait is alive.
        // Markers that could not be deleted are not counted (see CountMarkers).
        const MarkerSweep sweep = SweepMarkers(*folder);
        if (viewer)
            viewer->WorkWindowStep();
        std::this_thread::sleep_for(kMarkerRewriteWait);
        return static_cast<std::int32_t>(
            std::min<std::size_t>(CountMarkers(*folder, sweep), std::numeric_limits<std::int32_t>::max()));
    } catch (...) {
        return 0;
    }
}

bool CZOVuvazaRCtrl::ExistSameFileInWorkWindow(const std::wstring& paths) {
    try {
        if (!viewer)
            return false;
        GetWorkWindowCount();
        const std::optional<std::wstring> folder = CoordinationFolder(GetPreviewSettings().previewRoot);
        if (!folder)
            return false;
        const std::optional<std::wstring> first = FirstMarker(*folder);
        if (!first)
            return false;
        std::unordered_set<std::wstring> shown;
        for (const std::wstring& line : ReadMarker(*folder + *first))
            shown.insert(TrimmedSpace(line));
        for (const std::wstring& token : SplitList(paths, kAngleSeparators)) {
            if (shown.count(TrimmedSpace(token)))
                return true;
        }
        return false;
    } catch (...) {
        return false;
    }
}

void CZOVuvazaRCtrl::ZoomUpFirstObject() {
    try {
        if (viewer)
            viewer->RequestZoomFirst();
    } catch (...) {
    }
}

void CZOVuvazaRCtrl::TextSearchNext(const std::wstring& keyword) {
    try {
        if (viewer && SearchConsent())
            viewer->SearchStep(keyword, +1);
    } catch (...) {
    }
}

void CZOVuvazaRCtrl::TextSearchPrev(const std::wstring& keyword) {
    try {
        if (viewer && SearchConsent())
            viewer->SearchStep(keyword, -1);
    } catch (...) {
    }
}

void CZOVuvazaRCtrl::TextSearchCancel() {
    try {
        CancelSearch();
    } catch (...) {
    }
}

void CZOVuvazaRCtrl::SetFileList(const std::wstring& listUrl, const std::wstring& stickyFolderUrl) {
    try {
        const std::wstring listFile = UserDataFolder() + L"FileList.txt";
        if (!Download(listUrl, listFile))
            return;
        TextFileReader reader;
        if (!reader.Open(listFile))
            return;
        const std::wstring base = listUrl.substr(0, listUrl.rfind(L'/') == std::wstring::npos ? 0 : listUrl.rfind(L'/'));
        DisplayFileList files;
        while (std::optional<std::wstring> line = reader.ReadLine(kListLineChars)) {
            std::wstring name = TrimTrailingSpace(*line);
            // A blank line names no file (it would name the folder itself).
            if (name.empty())
                continue;
            files.push_back(ListedFile(base + L"/" + name, name));
            // The list's notes are fetched afresh; a name that is no plain
            // file name must not reach outside the notes folder.
            if (IsPlainFileName(name))
                RemoveFile(UserDataFolder() + L".sticky\\" + name + L".sticky");
        }
        {
            LockGuard guard(CommandLock());
            LoadList(std::move(files));
        }
        if (!stickyFolderUrl.empty())
            FetchNotes(stickyFolderUrl);
    } catch (...) {
    }
}

void CZOVuvazaRCtrl::FetchNotes(const std::wstring& folderUrl) {
    if (!IsHttp(folderUrl))
        return;
    FolderContents contents = ListHttpFolder(L"", L"", folderUrl);
    if (!contents.names)
        return;
    std::wstring folder = folderUrl;
    while (!folder.empty() && folder.back() == L'/')
        folder.pop_back();
    std::size_t fetched = 0;
    for (const std::wstring& name : *contents.names) {
        if (fetched == kMaxFetchedNoteFiles)
            break;
        // The server names the files: each must stay one file in the notes
        // folder, under the name without its last extension.
        if (!IsPlainFileName(name))
            continue;
        const std::size_t dot = name.rfind(L'.');
        const std::wstring stem = dot == std::wstring::npos || dot == 0 ? name : name.substr(0, dot);
        if (!IsPlainFileName(stem))
            continue;
        ++fetched;
        Download(folder + L"/" + name, UserDataFolder() + L".sticky\\" + stem);
    }
}

void CZOVuvazaRCtrl::RunStartupCommand(const StartupCommand& command) {
    switch (command.kind) {
    case StartupCommand::Kind::SetUp:
        if (command.args.size() == 7)
            SetUp(command.args[0], command.args[1], command.args[2] == L"true", command.args[3], command.args[4],
                  command.args[5], command.args[6] == L"true");
        break;
    case StartupCommand::Kind::ShowFiles:
        if (command.args.size() == 2)
            ShowFiles(command.args[0], command.args[1]);
        break;
    case StartupCommand::Kind::ZoomUpFirstObject:
        ZoomUpFirstObject();
        break;
    }
}

}  // namespace zov
