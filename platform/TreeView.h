// The tree-view control as a control's code sees it: the items live here,
// the window only shows them. Every change is passed to the window in the
// order it was made; what the reader does comes back through Notify, which
// checks it against the items before a handler sees it.
//
// Threads: the window thread only, as the window's own control would be.
#pragma once

#include "platform/HostWindow.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace zov {

// Tree view styles the tree knows of.
inline constexpr std::uint32_t TVS_HASBUTTONS = 0x0001;
inline constexpr std::uint32_t TVS_HASLINES = 0x0002;
inline constexpr std::uint32_t TVS_LINESATROOT = 0x0004;
inline constexpr std::uint32_t TVS_EDITLABELS = 0x0008;

// A tree holds at most this many items; more are not inserted. A folder
// of ten thousand subfolders opened a few times stays within it.
inline constexpr std::size_t kTreeItemLimit = 50000;
// An item's text is cut to this many characters.
inline constexpr std::size_t kTreeItemTextLimit = 1024;

class TreeViewCtrl {
public:
    TreeViewCtrl() = default;
    virtual ~TreeViewCtrl();
    TreeViewCtrl(const TreeViewCtrl&) = delete;
    TreeViewCtrl& operator=(const TreeViewCtrl&) = delete;

    // Makes the window; false when the host window could not.
    bool Create(HostWindow& window, std::uint32_t style, const RECT& rect, std::int32_t controlId);
    void DestroyWindow();
    WindowHandle Handle() const { return handle_; }
    HostWindow* Window() const { return window_; }

    std::uint32_t GetStyle() const { return style_; }
    void ModifyStyle(std::uint32_t remove, std::uint32_t add);

    // The new item, or 0 when the tree is full or `parent` is no item.
    TreeItem InsertItem(const std::wstring& text, std::int32_t image, std::int32_t openImage,
                        TreeItem parent = kTreeRoot);
    // The item and everything below it; kTreeRoot empties the tree.
    bool DeleteItem(TreeItem item);
    bool DeleteAllItems() { return DeleteItem(kTreeRoot); }
    // 0 when there is none.
    TreeItem GetRootItem() const { return GetChildItem(kTreeRoot); }
    TreeItem GetChildItem(TreeItem item) const;
    TreeItem GetNextSiblingItem(TreeItem item) const;
    TreeItem GetParentItem(TreeItem item) const;
    std::vector<TreeItem> Children(TreeItem item) const;
    std::wstring GetItemText(TreeItem item) const;
    bool ItemHasChildren(TreeItem item) const { return GetChildItem(item) != 0; }
    bool IsExpanded(TreeItem item) const;
    bool Exists(TreeItem item) const { return items_.count(item) != 0; }
    std::size_t GetCount() const { return items_.size(); }

    TreeItem GetSelectedItem() const { return selected_; }
    // Selects as the reader would: the selection handler runs.
    bool SelectItem(TreeItem item);
    // Opens or closes as the reader would: the expand handler runs.
    bool Expand(TreeItem item, bool expand);

    // Replaces the picture list; pictures are indices into it.
    void SetImageList(const ImageList& images);
    const ImageList& GetImageList() const { return images_; }
    void SetRedraw(bool redraw);

    void MoveWindow(const RECT& rect);
    RECT GetWindowRect() const;

    // What the window reports; a notification naming an item the tree does
    // not have is dropped.
    void Notify(const TreeNotification& notification);

protected:
    // After an item was opened or closed.
    virtual void OnItemExpanded(TreeItem item, bool expanded) { (void)item, (void)expanded; }
    // After the selection changed.
    virtual void OnSelectionChanged() {}
    virtual void OnPointerMoved(POINT point) { (void)point; }

private:
    struct Item {
        TreeItem parent = kTreeRoot;
        std::vector<TreeItem> children;
        std::wstring text;
        std::int32_t image = -1;
        std::int32_t openImage = -1;
        bool expanded = false;
    };

    void Send(const TreeChange& change);
    void Forget(TreeItem item);
    const std::vector<TreeItem>* ChildList(TreeItem item) const;

    HostWindow* window_ = nullptr;  // not owned
    WindowHandle handle_ = 0;
    std::uint32_t style_ = 0;
    std::map<TreeItem, Item> items_;
    std::vector<TreeItem> roots_;
    TreeItem selected_ = 0;
    TreeItem nextItem_ = 1;
    ImageList images_;
};

}  // namespace zov
