#include "dirtree/DirTreeCtrl.h"

#include "dirtree/SystemImages.h"
#include "dirtree/Volumes.h"
#include "documents/FolderListing.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

namespace zov {

namespace {

namespace fs = std::filesystem;

constexpr wchar_t kListSeparator[] = L"<>";

bool StartsWith(std::wstring_view text, std::wstring_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool EndsWithSeparator(std::wstring_view text) {
    return !text.empty() && (text.back() == L'\\' || text.back() == L'/');
}

bool IsWeb(std::wstring_view path) {
    return StartsWith(path, L"http");
}

// Cuts the leading item off a "<>"-separated list.
std::wstring CutLeading(std::wstring& list) {
    const std::size_t at = list.find(kListSeparator);
    std::wstring item = list.substr(0, at);
    list = at == std::wstring::npos ? std::wstring() : list.substr(at + 2);
    return item;
}

// A name a listing gave that can stand as one path component.
bool IsComponent(std::wstring_view name) {
    return !name.empty() && name != L"." && name != L".." && name.find_first_of(L"/\\") == std::wstring_view::npos;
}

// A local folder's entries; a share path that climbs out of the share mount
// root lists nothing. Links are not followed: the tree shows what lies in
// the folder, not where a link points.
struct LocalEntries {
    std::vector<std::wstring> folders;
    std::vector<std::wstring> files;
};

template <typename Stop>
LocalEntries ListLocal(const std::wstring& path, bool withFiles, Stop stop) {
    LocalEntries entries;
    if (IsSharePath(path) && EscapesShareMountRoot(path))
        return entries;
    std::error_code error;
    fs::directory_iterator it(NativePath(path), fs::directory_options::skip_permission_denied, error);
    std::size_t seen = 0;
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        if (++seen > kMaxFolderNames)
            break;
        std::wstring name = FromUtf8(it->path().filename().string());
        if (!IsComponent(name))
            continue;
        const fs::file_status status = it->symlink_status(error);
        if (error)
            break;
        if (fs::is_directory(status))
            entries.folders.push_back(std::move(name));
        else if (withFiles && fs::is_regular_file(status) && name.front() != L'.')
            entries.files.push_back(std::move(name));
        if (stop(entries))
            break;
    }
    return entries;
}

// A web folder's subfolders (without their '/') and files; nothing when it
// cannot be listed.
LocalEntries ListWeb(const std::wstring& folder) {
    LocalEntries entries;
    FolderContents contents = ListHttpFolder(L"", L"", folder);
    if (!contents.names)
        return entries;
    for (std::wstring& name : *contents.names) {
        const bool isFolder = EndsWithSeparator(name);
        if (isFolder)
            name.pop_back();
        if (!IsComponent(name))
            continue;
        (isFolder ? entries.folders : entries.files).push_back(std::move(name));
    }
    return entries;
}

}  // namespace

bool CDirTreeCtrl::AttachSystemImages() {
    // The four pictures every tree needs come first; without them there is
    // no list to show.
    for (TreeIcon icon : {TreeIcon::Drive, TreeIcon::RemoteFolder, TreeIcon::Folder, TreeIcon::OpenFolder})
        if (!SystemImageIndex(icon)) {
            lastError = L"Cannot retrieve the Handle of SystemImageList!";
            return false;
        }
    SetImageList(SystemImages());
    systemImagesAttached = true;
    return true;
}

bool CDirTreeCtrl::SetRoots(const std::wstring& roots, const std::wstring& names) {
    try {
        ModifyStyle(TVS_EDITLABELS, 0);
        DeleteAllItems();
        if (!AttachSystemImages())
            return false;
        showFiles = 0;
        showingVolumes = false;
        if (!roots.empty()) {
            std::wstring rootList = roots, nameList = names;
            std::size_t taken = 0;
            while (!rootList.empty() && taken < kTreeRootLimit) {
                std::wstring root = CutLeading(rootList);
                std::wstring name = CutLeading(nameList);
                if (root.empty())
                    continue;
                ++taken;
                if (IsSharePath(root) && EscapesShareMountRoot(root))
                    continue;
                const wchar_t separator = IsWeb(root) ? L'/' : L'\\';
                if (root.back() != separator)
                    root += separator;
                const TreeItem item = InsertItem(kTreeRoot, root, name);
                if (item && HasChildren(root))
                    AddEmptyChild(item);
                if (!name.empty()) {
                    displayNames.insert(displayNames.begin(), ConvTable{root, name});
                    if (displayNames.size() > kDisplayNameLimit)
                        displayNames.pop_back();
                }
            }
            return true;
        }
        std::optional<std::vector<std::wstring>> volumes = MachineVolumes();
        if (!volumes) {
            lastError = L"Error Getting Logical DriveStrings!";
            return false;
        }
        showingVolumes = true;
        for (const std::wstring& volume : *volumes) {
            const TreeItem item = InsertItem(kTreeRoot, volume, L"");
            if (item && HasChildren(volume))
                AddEmptyChild(item);
        }
        rootPath.clear();
        return true;
    } catch (const std::exception& error) {
        lastError = FromUtf8(error.what());
        return false;
    }
}

void CDirTreeCtrl::AddEmptyChild(TreeItem item) {
    TreeViewCtrl::InsertItem(L"", -1, -1, item);
}

TreeItem CDirTreeCtrl::InsertItem(TreeItem parent, const std::wstring& path, const std::wstring& displayName,
                                  bool isFile) {
    const bool web = IsWeb(path);
    std::wstring text = path;
    while (EndsWithSeparator(text) && text.size() > 1)
        text.pop_back();
    // A volume "/" keeps its one separator as its text.
    if (text.size() == 1 && EndsWithSeparator(text) && parent != kTreeRoot)
        text.clear();

    TreeIcon closed = TreeIcon::Folder, open = TreeIcon::OpenFolder;
    std::wstring extension;
    if (isFile) {
        closed = open = TreeIcon::File;
        const std::size_t slash = text.find_last_of(L"/\\"), dot = text.rfind(L'.');
        if (dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash))
            extension = text.substr(dot);
    } else if (parent == kTreeRoot && (web || IsSharePath(path))) {
        closed = open = TreeIcon::RemoteFolder;
    } else if (parent == kTreeRoot && showingVolumes) {
        closed = open = TreeIcon::Drive;
    }
    const std::optional<std::int32_t> image = SystemImageIndex(closed, extension);
    const std::optional<std::int32_t> openImage = SystemImageIndex(open, extension);
    if (!image || !openImage) {
        lastError = L"Error Gettting SystemFileInfo!";
        return 0;
    }

    if (parent == kTreeRoot) {
        if (!displayName.empty())
            text = displayName;
    } else {
        // Local names hold neither separator: either ends the folder's part.
        const std::size_t at = text.find_last_of(web ? L"/" : L"\\/");
        if (at != std::wstring::npos)
            text = text.substr(at + 1);
    }
    return TreeViewCtrl::InsertItem(text, *image, *openImage, parent);
}

bool CDirTreeCtrl::HasChildren(const std::wstring& path) const {
    if (IsWeb(path)) {
        const LocalEntries entries = ListWeb(EndsWithSeparator(path) ? path : path + L'/');
        return !entries.folders.empty() || (showFiles && !entries.files.empty());
    }
    const LocalEntries entries = ListLocal(path, showFiles != 0, [](const LocalEntries& found) {
        return !found.folders.empty() || !found.files.empty();
    });
    return !entries.folders.empty() || !entries.files.empty();
}

void CDirTreeCtrl::FillChildren(TreeItem item, const std::wstring& path) {
    const bool web = IsWeb(path);
    std::wstring folder = path;
    const wchar_t separator = web ? L'/' : L'\\';
    // A volume "/" ends in a separator already; a second would make a share path.
    if (folder.empty() || (web ? folder.back() != separator : !EndsWithSeparator(folder)))
        folder += separator;
    LocalEntries entries = web ? ListWeb(folder) : ListLocal(folder, showFiles != 0, [](const LocalEntries&) {
        return false;
    });
    std::sort(entries.folders.begin(), entries.folders.end());

    HostWindow* window = Window();
    SetRedraw(false);
    if (window)
        window->SetCursor(IDC_WAIT);
    std::size_t probed = 0;
    for (const std::wstring& name : entries.folders) {
        const std::wstring child = folder + name + (web ? L"/" : L"");
        const TreeItem inserted = InsertItem(item, child, L"");
        if (!inserted)
            continue;
        if ((!web || probed++ < kWebChildProbeLimit) ? HasChildren(child) : true)
            AddEmptyChild(inserted);
    }
    if (showFiles) {
        std::sort(entries.files.begin(), entries.files.end());
        for (const std::wstring& name : entries.files)
            InsertItem(item, folder + name, L"", true);
    }
    SetRedraw(true);
    if (window)
        window->SetCursor(IDC_ARROW);
    // A file type seen for the first time added a picture.
    const ImageList& shown = GetImageList();
    const std::size_t side = static_cast<std::size_t>(kSmallIconSide) * kSmallIconSide;
    if (shown.pixels.size() / side != SystemImageCount())
        SetImageList(SystemImages());
}

std::wstring CDirTreeCtrl::ItemPath(TreeItem item) const {
    std::vector<TreeItem> chain;
    for (TreeItem at = item; at; at = GetParentItem(at))
        chain.push_back(at);
    std::wstring path;
    for (auto at = chain.rbegin(); at != chain.rend(); ++at) {
        path += GetItemText(*at);
        if (!EndsWithSeparator(path))
            path += L'\\';
    }
    while (path.size() > 1 && EndsWithSeparator(path))
        path.pop_back();
    // A display name stands for its root only as a whole first component.
    for (const ConvTable& entry : displayNames) {
        if (!StartsWith(path, entry.name))
            continue;
        if (path.size() == entry.name.size()) {
            path = entry.path;
            break;
        }
        if (path[entry.name.size()] == L'\\' || path[entry.name.size()] == L'/') {
            path = entry.path + path.substr(entry.name.size() + 1);
            break;
        }
    }
    // After the names are translated, so that a named web root's paths are
    // addresses throughout.
    if (IsWeb(path)) {
        std::replace(path.begin(), path.end(), L'\\', L'/');
        if (path.back() != L'/')
            path += L'/';
    }
    return path;
}

void CDirTreeCtrl::ExpandedChanged(TreeItem item, bool expanded) {
    try {
        for (TreeItem child : Children(item))
            DeleteItem(child);
        if (expanded)
            FillChildren(item, ItemPath(item));
        else
            AddEmptyChild(item);
    } catch (const std::exception& error) {
        lastError = FromUtf8(error.what());
    }
}

void CDirTreeCtrl::SelectionChanged() {
    const TreeItem item = GetSelectedItem();
    if (item && owner)
        owner->ShowFolderFiles(ItemPath(item));
}

void CDirTreeCtrl::PointerMoved() {
    RECT rect = GetWindowRect();
    if (rect.right - rect.left != kTreeClosedWidth)
        return;
    for (std::int32_t width = kTreeClosedWidth + kTreeSlideStep; width <= kTreeOpenWidth - kTreeSlideStep;
         width += kTreeSlideStep) {
        std::this_thread::sleep_for(std::chrono::milliseconds(kTreeSlideSleepMs));
        rect.right = rect.left + width;
        MoveWindow(rect);
    }
    rect.right = rect.left + kTreeOpenWidth;
    MoveWindow(rect);
}

}  // namespace zov
