// The folder tree on a real headless window: roots from lists with display
// names, real folders on disk, a real nginx with WebDAV, the machine's
// volumes, and the slide open under the pointer.
#include "dirtree/DirTreeCtrl.h"
#include "dirtree/SystemImages.h"
#include "dirtree/Volumes.h"
#include "platform/Encoding.h"
#include "platform/HeadlessWindow.h"
#include "tests/support/NginxServer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace zov {
namespace {

namespace fs = std::filesystem;

struct RecordingOwner : IDirTreeOwner {
    std::vector<std::wstring> shown;
    void ShowFolderFiles(const std::wstring& folder) override { shown.push_back(folder); }
};

class DirTree : public ::testing::Test {
protected:
    void SetUp() override {
        base_ = fs::temp_directory_path() / ("zov-dirtree-" + std::to_string(::getpid()) + "-" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(base_);
        fs::create_directories(base_);
        window_.Send([this] { ASSERT_TRUE(tree_.Create(window_, kTreeStyle, RECT{0, 30, 40, 600}, kTreeControlId)); });
    }
    void TearDown() override {
        window_.Send([this] { tree_.DestroyWindow(); });
        fs::remove_all(base_);
    }

    void MakeFolder(const std::string& relative) { fs::create_directories(base_ / relative); }
    void MakeFile(const std::string& relative) {
        fs::create_directories((base_ / relative).parent_path());
        std::ofstream(base_ / relative) << "x";
    }
    std::wstring Root() const { return FromUtf8(base_.string()); }

    // The texts of the item's children that the reader sees (not the
    // empty mark of a folder not yet listed).
    std::vector<std::wstring> Texts(TreeItem parent) const {
        std::vector<std::wstring> texts;
        for (TreeItem child : tree_.Children(parent))
            if (!tree_.GetItemText(child).empty())
                texts.push_back(tree_.GetItemText(child));
        return texts;
    }
    TreeItem Find(TreeItem parent, const std::wstring& text) const {
        for (TreeItem child : tree_.Children(parent))
            if (tree_.GetItemText(child) == text)
                return child;
        return 0;
    }
    // What the window reports reaches the tree on the window thread, as the
    // control passes it on.
    void Report(const TreeNotification& notification) {
        window_.Send([&] { tree_.Notify(notification); });
    }
    void Open(TreeItem item, bool open = true) {
        Report(TreeNotification{TreeNotification::Kind::Expanded, item, open, {}});
    }

    fs::path base_;
    HeadlessWindow window_;
    RecordingOwner owner_;
    CDirTreeCtrl tree_{&owner_};
};

TEST_F(DirTree, NamedLocalRootsListLazilyAndReportRealPaths) {
    MakeFolder("letters/old");
    MakeFile("letters/march.pdf");
    MakeFile("flat/only-a-file.pdf");
    MakeFolder("empty");
    fs::create_directory_symlink(base_ / "letters", base_ / "link-to-letters");
    window_.Send([this] { ASSERT_TRUE(tree_.SetRoots(Root() + L"<>", L"Docs<>")); });

    const TreeItem root = tree_.GetRootItem();
    ASSERT_NE(root, 0u);
    EXPECT_EQ(tree_.GetItemText(root), L"Docs");
    EXPECT_TRUE(tree_.ItemHasChildren(root)) << "a folder with subfolders shows an open button";
    EXPECT_TRUE(Texts(root).empty()) << "nothing is listed before it opens";
    EXPECT_EQ(tree_.ItemPath(root), Root() + L"\\");

    Open(root);
    EXPECT_EQ(Texts(root), (std::vector<std::wstring>{L"empty", L"flat", L"letters"}))
        << "sorted, only folders, and no link followed";
    const TreeItem letters = Find(root, L"letters");
    EXPECT_TRUE(tree_.ItemHasChildren(letters));
    EXPECT_FALSE(tree_.ItemHasChildren(Find(root, L"flat"))) << "files alone give no open button";
    EXPECT_FALSE(tree_.ItemHasChildren(Find(root, L"empty")));
    // The display name stands for the real root: the page's folder is what is listed.
    EXPECT_EQ(tree_.ItemPath(letters), Root() + L"\\letters");

    Report(TreeNotification{TreeNotification::Kind::Selected, letters, false, {}});
    EXPECT_EQ(owner_.shown, (std::vector<std::wstring>{Root() + L"\\letters"}));

    // Closed, the children are forgotten; opened again, the folder is read afresh.
    MakeFolder("later");
    Open(root, false);
    EXPECT_TRUE(Texts(root).empty());
    EXPECT_TRUE(tree_.ItemHasChildren(root));
    EXPECT_FALSE(tree_.Exists(letters));
    Open(root);
    EXPECT_EQ(Texts(root), (std::vector<std::wstring>{L"empty", L"flat", L"later", L"letters"}));

    // What the window was told matches: a batch for the listing, then redraw on.
    const auto shown = window_.Tree();
    ASSERT_TRUE(shown);
    EXPECT_TRUE(shown->redraw);
    EXPECT_EQ(shown->changes.front().kind, TreeChange::Kind::Delete) << "SetRoots empties the tree first";
}

TEST_F(DirTree, ADisplayNameStandsOnlyForAWholeFirstComponent) {
    MakeFolder("a/inner");
    MakeFolder("b/inner");
    const std::wstring a = Root() + L"\\a", b = Root() + L"\\b";
    // The second root's shown text begins with the first's name.
    window_.Send([&] { ASSERT_TRUE(tree_.SetRoots(a + L"<>" + b, L"Doc<>Doc2")); });
    const TreeItem first = tree_.GetRootItem(), second = tree_.GetNextSiblingItem(first);
    Open(second);
    EXPECT_EQ(tree_.ItemPath(Find(second, L"inner")), b + L"\\inner");
    Open(first);
    EXPECT_EQ(tree_.ItemPath(Find(first, L"inner")), a + L"\\inner");
}

TEST_F(DirTree, AWebRootIsListedByItsServerAndItsPathsAreAddresses) {
    test::NginxServer nginx;
    ASSERT_TRUE(nginx.Running());
    nginx.WriteFile("dav/docs/sub/deep.pdf", "x");
    nginx.WriteFile("dav/docs/report.pdf", "x");
    nginx.WriteFile("dav/plans/site.pdf", "x");
    const std::wstring web = FromUtf8(nginx.Url("/dav"));  // no slash: one is added
    window_.Send([&] { ASSERT_TRUE(tree_.SetRoots(web + L"<>" + web, L"<>Server")); });

    const TreeItem plain = tree_.GetRootItem(), named = tree_.GetNextSiblingItem(plain);
    EXPECT_EQ(tree_.GetItemText(plain), web);
    EXPECT_EQ(tree_.GetItemText(named), L"Server");
    for (TreeItem root : {plain, named}) {
        Open(root);
        ASSERT_EQ(Texts(root), (std::vector<std::wstring>{L"docs", L"plans"}));
        const TreeItem docs = Find(root, L"docs");
        EXPECT_TRUE(tree_.ItemHasChildren(docs));
        EXPECT_FALSE(tree_.ItemHasChildren(Find(root, L"plans")));
        Open(docs);
        EXPECT_EQ(Texts(docs), (std::vector<std::wstring>{L"sub"}));
        EXPECT_EQ(tree_.ItemPath(Find(docs, L"sub")), web + L"/docs/sub/") << "'/' throughout, named or not";
    }
}

TEST_F(DirTree, WithoutRootsTheVolumesAreShown) {
    window_.Send([this] { ASSERT_TRUE(tree_.SetRoots(L"", L"names without roots count for nothing")); });
    const TreeItem root = tree_.GetRootItem();
    ASSERT_NE(root, 0u);
    EXPECT_EQ(tree_.GetItemText(root), L"/");
    EXPECT_EQ(tree_.ItemPath(root), L"/");
    ASSERT_TRUE(tree_.ItemHasChildren(root));
    Open(root);
    const TreeItem usr = Find(root, L"usr");
    ASSERT_NE(usr, 0u);
    EXPECT_EQ(tree_.ItemPath(usr), L"/usr");
    Open(usr);
    EXPECT_NE(Find(usr, L"share"), 0u);
    EXPECT_TRUE(tree_.DisplayNames().empty());
}

TEST(Volumes, TheMountTableGivesDevicesAndNetworkFileSystemsOnly) {
    const std::string table =
        "overlay / overlay rw 0 0\n"
        "proc /proc proc rw 0 0\n"
        "/dev/sda1 /boot ext4 rw 0 0\n"
        "/dev/sdb1 /media/my\\040disk vfat rw 0 0\n"
        "server:/export /mnt/nfs nfs4 rw 0 0\n"
        "tmpfs /run tmpfs rw 0 0\n"
        "/dev/sda1 /boot ext4 rw 0 0\n"
        "damaged line\n";
    EXPECT_EQ(VolumesOfMountTable(table),
              (std::vector<std::wstring>{L"/", L"/boot/", L"/media/my disk/", L"/mnt/nfs/"}));

    // The drive strings stay within their buffer.
    std::string many;
    for (int i = 0; i < 100; ++i)
        many += "/dev/sd" + std::to_string(i) + " /mnt/volume-" + std::to_string(i) + " ext4 rw 0 0\n";
    std::size_t chars = 0;
    for (const std::wstring& volume : VolumesOfMountTable(many))
        chars += volume.size() + 1;
    EXPECT_LE(chars + 1, kDriveStringsChars);
}

TEST_F(DirTree, TheTreeSlidesOpenOnlyFromItsClosedWidth) {
    Report(TreeNotification{TreeNotification::Kind::MouseMove, 0, false, {5, 5}});
    auto moves = window_.Tree()->moves;
    std::vector<std::int32_t> widths;
    for (const RECT& rect : moves) {
        widths.push_back(rect.right - rect.left);
        EXPECT_EQ(rect.top, 30);
        EXPECT_EQ(rect.bottom, 600);
    }
    std::vector<std::int32_t> expected{40};
    for (std::int32_t w = 60; w <= 280; w += 20)
        expected.push_back(w);
    expected.push_back(300);
    EXPECT_EQ(widths, expected);

    // Already open: the pointer over it changes nothing.
    Report(TreeNotification{TreeNotification::Kind::MouseMove, 0, false, {5, 5}});
    EXPECT_EQ(window_.Tree()->moves.size(), moves.size());
}

TEST(TreeView, ItemsChangeAsTheTreeViewDoes) {
    TreeViewCtrl tree;  // no window: the items alone
    const TreeItem a = tree.InsertItem(L"a", 0, 1);
    const TreeItem b = tree.InsertItem(L"b", 0, 1, a);
    const TreeItem c = tree.InsertItem(L"c", 0, 1, b);
    EXPECT_EQ(tree.InsertItem(L"orphan", 0, 1, 12345), 0u) << "no such parent";
    EXPECT_EQ(tree.GetParentItem(c), b);
    EXPECT_EQ(tree.GetParentItem(a), 0u);
    EXPECT_TRUE(tree.SelectItem(c));
    // Deleting an item takes everything below it, the selection too.
    EXPECT_TRUE(tree.DeleteItem(b));
    EXPECT_FALSE(tree.Exists(c));
    EXPECT_EQ(tree.GetSelectedItem(), 0u);
    EXPECT_FALSE(tree.ItemHasChildren(a));
    // What the window reports about an item that is gone is dropped.
    tree.Notify(TreeNotification{TreeNotification::Kind::Selected, c, false, {}});
    EXPECT_EQ(tree.GetSelectedItem(), 0u);
    EXPECT_EQ(tree.GetItemText(tree.InsertItem(std::wstring(5000, L'x'), 0, 1)).size(), kTreeItemTextLimit);
}

TEST(TreeView, ATreeHoldsABoundedNumberOfItems) {
    TreeViewCtrl tree;
    for (std::size_t i = 0; i < kTreeItemLimit; ++i)
        ASSERT_NE(tree.InsertItem(L"x", 0, 0), 0u);
    EXPECT_EQ(tree.InsertItem(L"one too many", 0, 0), 0u);
    EXPECT_EQ(tree.GetCount(), kTreeItemLimit);
}

TEST(SystemImages, FoldersAndDrivesHaveSmallPictures) {
    const auto folder = SystemImageIndex(TreeIcon::Folder);
    const auto open = SystemImageIndex(TreeIcon::OpenFolder);
    const auto drive = SystemImageIndex(TreeIcon::Drive);
    ASSERT_TRUE(folder && open && drive);
    EXPECT_EQ(SystemImageIndex(TreeIcon::Folder), folder) << "one picture per kind";
    EXPECT_NE(*folder, *drive);
    const ImageList list = SystemImages();
    EXPECT_EQ(list.imageHeight, kSmallIconSide);
    const std::size_t count = list.pixels.size() / (kSmallIconSide * kSmallIconSide);
    EXPECT_GT(count, static_cast<std::size_t>(*drive));
    // A picture is not empty: some of its pixels are opaque.
    std::size_t opaque = 0;
    for (std::int32_t y = 0; y < kSmallIconSide; ++y)
        for (std::int32_t x = 0; x < kSmallIconSide; ++x)
            opaque += (list.pixels[y * count * kSmallIconSide + *folder * kSmallIconSide + x] >> 24) > 128;
    EXPECT_GT(opaque, 20u);
}

}  // namespace
}  // namespace zov
