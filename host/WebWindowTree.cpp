// The folder tree as the web window shows it: the control's tree changes go
// to the page as operations; while the tree's redraw is off they are held
// back and go together, so that a folder of many subfolders is one message.
#include "host/WebWindow.h"

#include "host/Protocol.h"

#include "platform/Encoding.h"

#include <nlohmann/json.hpp>

namespace zov::host {

namespace {

using Json = nlohmann::json;

// Operations in one message; a larger batch goes as several.
constexpr std::size_t kTreeOperationsPerMessage = 500;

// The protocol names the invisible root item 0.
std::uint32_t ProtocolItem(TreeItem item) {
    return item == kTreeRoot ? 0 : item;
}

}  // namespace

WindowHandle WebWindow::CreateTreeView(const TreeViewTemplate& tree) {
    if (tree_)
        return 0;
    tree_.emplace();
    tree_->rect = tree.rect;
    Json message = {{"t", "child"},
                    {"el", element_},
                    {"h", kTreeViewHandle},
                    {"kind", "tree"},
                    {"rect", RectJson(tree.rect)},
                    {"style", tree.style}};
    link_->SendText(message.dump());
    return kTreeViewHandle;
}

void WebWindow::ChangeTree(WindowHandle tree, const TreeChange& change) {
    if (tree != kTreeViewHandle || !tree_)
        return;
    Json op;
    switch (change.kind) {
    case TreeChange::Kind::Insert:
        op = {{"op", "insert"},
              {"item", ProtocolItem(change.item)},
              {"parent", ProtocolItem(change.parent)},
              {"text", ToUtf8(change.text)},
              {"image", change.image},
              {"openImage", change.openImage}};
        break;
    case TreeChange::Kind::Delete: op = {{"op", "delete"}, {"item", ProtocolItem(change.item)}}; break;
    case TreeChange::Kind::Expand:
        op = {{"op", "expand"}, {"item", ProtocolItem(change.item)}, {"v", change.expanded}};
        break;
    case TreeChange::Kind::Select: op = {{"op", "select"}, {"item", ProtocolItem(change.item)}}; break;
    case TreeChange::Kind::Images: op = {{"op", "images"}, {"images", SendImageList(change.images)}}; break;
    }
    tree_->pending.push_back(op.dump());
    if (tree_->redraw || tree_->pending.size() >= kTreeOperationsPerMessage)
        FlushTree();
}

void WebWindow::SetTreeRedraw(WindowHandle tree, bool redraw) {
    if (tree != kTreeViewHandle || !tree_)
        return;
    tree_->redraw = redraw;
    if (redraw)
        FlushTree();
}

void WebWindow::FlushTree() {
    if (!tree_ || tree_->pending.empty())
        return;
    // The operations are JSON already; they are joined, not parsed again.
    std::string message = R"({"t":"childUpdate","el":)" + std::to_string(element_) +
                          R"(,"h":)" + std::to_string(kTreeViewHandle) + R"(,"tree":[)";
    for (std::size_t i = 0; i < tree_->pending.size(); ++i) {
        if (i)
            message += ',';
        message += tree_->pending[i];
    }
    message += "]}";
    tree_->pending.clear();
    link_->SendText(std::move(message));
}

void WebWindow::DeliverTreeEvent(const TreeNotification& notification) {
    if (!client_ || !tree_)
        return;
    client_->OnTreeNotify(kTreeViewHandle, notification);
}

}  // namespace zov::host
