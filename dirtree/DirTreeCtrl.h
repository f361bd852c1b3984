// The folder tree at the left of the control: roots the page names (folders,
// shares and web folders, each with an optional display name) or the
// machine's volumes; children listed when a folder is opened and forgotten
// when it is closed. Choosing a folder shows its files.
#pragma once

#include "platform/TreeView.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zov {

// What the tree asks of the control that made it.
class IDirTreeOwner {
public:
    virtual ~IDirTreeOwner() = default;
    // The reader chose `folder` in the tree: show its files.
    virtual void ShowFolderFiles(const std::wstring& folder) = 0;
};

// A real root (ending in its separator) and the name the tree shows for it.
struct ConvTable {
    std::wstring path;
    std::wstring name;
};

inline constexpr std::int32_t kTreeControlId = 1002;
inline constexpr std::uint32_t kTreeStyle = 0x50800007;
// The tree's width lying closed and open, and the step it slides by.
inline constexpr std::int32_t kTreeClosedWidth = 40;
inline constexpr std::int32_t kTreeOpenWidth = 300;
inline constexpr std::int32_t kTreeSlideStep = 20;
inline constexpr int kTreeSlideSleepMs = 5;
// Roots taken from one list at most; the rest are left out.
inline constexpr std::size_t kTreeRootLimit = 64;
// Display names one tree keeps at most, newest first.
inline constexpr std::size_t kDisplayNameLimit = 256;
// Web subfolders asked whether they have subfolders of their own when a
// web folder opens; the rest show an open button without being asked, so
// that a folder of thousands of subfolders is not thousands of requests.
inline constexpr std::size_t kWebChildProbeLimit = 32;

class CDirTreeCtrl : public TreeViewCtrl {
public:
    explicit CDirTreeCtrl(IDirTreeOwner* owner) : owner(owner) {}

    // `roots` and `names` are lists separated by "<>"; without roots the
    // machine's volumes are shown.
    bool SetRoots(const std::wstring& roots, const std::wstring& names);
    std::wstring ItemPath(TreeItem item) const;
    void ExpandedChanged(TreeItem item, bool expanded);
    void SelectionChanged();
    void PointerMoved();

    const std::wstring& LastError() const { return lastError; }
    const std::vector<ConvTable>& DisplayNames() const { return displayNames; }

protected:
    void OnItemExpanded(TreeItem item, bool expanded) override { ExpandedChanged(item, expanded); }
    void OnSelectionChanged() override { SelectionChanged(); }
    void OnPointerMoved(POINT point) override { (void)point, PointerMoved(); }

private:
    using TreeViewCtrl::InsertItem;
    // The item for `path` under `parent`; 0 when its pictures could not be had.
    TreeItem InsertItem(TreeItem parent, const std::wstring& path, const std::wstring& displayName,
                        bool isFile = false);
    bool HasChildren(const std::wstring& path) const;
    void FillChildren(TreeItem item, const std::wstring& path);
    void AddEmptyChild(TreeItem item);
    bool AttachSystemImages();

    std::wstring lastError;
    bool systemImagesAttached = false;
    std::int32_t showFiles = 0;
    bool showingVolumes = false;
    std::wstring rootPath;
    IDirTreeOwner* owner = nullptr;  // not owned
    // This tree's own roots' names: another page's tree cannot redirect it.
    std::vector<ConvTable> displayNames;
};

}  // namespace zov
