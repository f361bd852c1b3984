#include "platform/TreeView.h"

#include <algorithm>

namespace zov {

TreeViewCtrl::~TreeViewCtrl() {
    DestroyWindow();
}

bool TreeViewCtrl::Create(HostWindow& window, std::uint32_t style, const RECT& rect, std::int32_t controlId) {
    DestroyWindow();
    TreeViewTemplate tree;
    tree.rect = rect;
    tree.style = style;
    tree.controlId = controlId;
    handle_ = window.CreateTreeView(tree);
    if (handle_ == 0)
        return false;
    window_ = &window;
    style_ = style;
    return true;
}

void TreeViewCtrl::DestroyWindow() {
    if (window_ && handle_)
        window_->DestroyChild(handle_);
    window_ = nullptr;
    handle_ = 0;
    items_.clear();
    roots_.clear();
    selected_ = 0;
}

void TreeViewCtrl::ModifyStyle(std::uint32_t remove, std::uint32_t add) {
    style_ = (style_ & ~remove) | add;
}

void TreeViewCtrl::Send(const TreeChange& change) {
    if (window_ && handle_)
        window_->ChangeTree(handle_, change);
}

const std::vector<TreeItem>* TreeViewCtrl::ChildList(TreeItem item) const {
    if (item == kTreeRoot)
        return &roots_;
    auto found = items_.find(item);
    return found == items_.end() ? nullptr : &found->second.children;
}

TreeItem TreeViewCtrl::InsertItem(const std::wstring& text, std::int32_t image, std::int32_t openImage,
                                  TreeItem parent) {
    if (items_.size() >= kTreeItemLimit || (parent != kTreeRoot && !Exists(parent)))
        return 0;
    // Identifiers are never handed out twice while their item lives.
    while (nextItem_ == 0 || nextItem_ == kTreeRoot || Exists(nextItem_))
        ++nextItem_;
    const TreeItem id = nextItem_++;
    Item item;
    item.parent = parent;
    item.text = text.substr(0, kTreeItemTextLimit);
    item.image = image;
    item.openImage = openImage;
    (parent == kTreeRoot ? roots_ : items_[parent].children).push_back(id);

    TreeChange change;
    change.kind = TreeChange::Kind::Insert;
    change.item = id;
    change.parent = parent;
    change.text = item.text;
    change.image = image;
    change.openImage = openImage;
    items_.emplace(id, std::move(item));
    Send(change);
    return id;
}

void TreeViewCtrl::Forget(TreeItem item) {
    auto found = items_.find(item);
    if (found == items_.end())
        return;
    const std::vector<TreeItem> children = std::move(found->second.children);
    items_.erase(found);
    if (selected_ == item)
        selected_ = 0;
    for (TreeItem child : children)
        Forget(child);
}

bool TreeViewCtrl::DeleteItem(TreeItem item) {
    if (item == kTreeRoot) {
        items_.clear();
        roots_.clear();
        selected_ = 0;
    } else {
        auto found = items_.find(item);
        if (found == items_.end())
            return false;
        const TreeItem parent = found->second.parent;
        std::vector<TreeItem>& siblings = parent == kTreeRoot ? roots_ : items_[parent].children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), item), siblings.end());
        Forget(item);
    }
    TreeChange change;
    change.kind = TreeChange::Kind::Delete;
    change.item = item;
    Send(change);
    return true;
}

TreeItem TreeViewCtrl::GetChildItem(TreeItem item) const {
    const std::vector<TreeItem>* children = ChildList(item);
    return children && !children->empty() ? children->front() : 0;
}

TreeItem TreeViewCtrl::GetNextSiblingItem(TreeItem item) const {
    auto found = items_.find(item);
    if (found == items_.end())
        return 0;
    const std::vector<TreeItem>* siblings = ChildList(found->second.parent);
    auto at = std::find(siblings->begin(), siblings->end(), item);
    return at != siblings->end() && at + 1 != siblings->end() ? *(at + 1) : 0;
}

TreeItem TreeViewCtrl::GetParentItem(TreeItem item) const {
    auto found = items_.find(item);
    return found == items_.end() || found->second.parent == kTreeRoot ? 0 : found->second.parent;
}

std::vector<TreeItem> TreeViewCtrl::Children(TreeItem item) const {
    const std::vector<TreeItem>* children = ChildList(item);
    return children ? *children : std::vector<TreeItem>{};
}

std::wstring TreeViewCtrl::GetItemText(TreeItem item) const {
    auto found = items_.find(item);
    return found == items_.end() ? std::wstring() : found->second.text;
}

bool TreeViewCtrl::IsExpanded(TreeItem item) const {
    auto found = items_.find(item);
    return found != items_.end() && found->second.expanded;
}

bool TreeViewCtrl::SelectItem(TreeItem item) {
    if (item != 0 && !Exists(item))
        return false;
    selected_ = item;
    TreeChange change;
    change.kind = TreeChange::Kind::Select;
    change.item = item;
    Send(change);
    OnSelectionChanged();
    return true;
}

bool TreeViewCtrl::Expand(TreeItem item, bool expand) {
    auto found = items_.find(item);
    if (found == items_.end())
        return false;
    found->second.expanded = expand;
    TreeChange change;
    change.kind = TreeChange::Kind::Expand;
    change.item = item;
    change.expanded = expand;
    Send(change);
    OnItemExpanded(item, expand);
    return true;
}

void TreeViewCtrl::SetImageList(const ImageList& images) {
    images_ = images;
    TreeChange change;
    change.kind = TreeChange::Kind::Images;
    change.images = images;
    Send(change);
}

void TreeViewCtrl::SetRedraw(bool redraw) {
    if (window_ && handle_)
        window_->SetTreeRedraw(handle_, redraw);
}

void TreeViewCtrl::MoveWindow(const RECT& rect) {
    if (window_ && handle_)
        window_->MoveChild(handle_, rect);
}

RECT TreeViewCtrl::GetWindowRect() const {
    return window_ && handle_ ? window_->ChildRect(handle_) : RECT{};
}

void TreeViewCtrl::Notify(const TreeNotification& notification) {
    switch (notification.kind) {
    case TreeNotification::Kind::Expanded: {
        auto found = items_.find(notification.item);
        if (found == items_.end())
            return;
        // The window shows it opened or closed already.
        found->second.expanded = notification.expanded;
        OnItemExpanded(notification.item, notification.expanded);
        break;
    }
    case TreeNotification::Kind::Selected:
        if (!Exists(notification.item))
            return;
        selected_ = notification.item;
        OnSelectionChanged();
        break;
    case TreeNotification::Kind::MouseMove:
        OnPointerMoved(notification.point);
        break;
    }
}

}  // namespace zov
