#include "platform/DataFolder.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "tests/support/FifoTrap.h"
#include "tests/support/TempDataHome.h"

#include <filesystem>
#include <fstream>
#include <thread>

namespace fs = std::filesystem;

namespace zov {
namespace {

using namespace std::chrono_literals;

class FileSystem : public test::TempDataHome {
protected:
    // The viewer's own form of a path below the root: '\' separators.
    std::wstring Viewer(const std::string& relative) const {
        std::wstring path = WideRoot() + L"\\" + FromUtf8(relative);
        for (auto& c : path)
            if (c == L'/')
                c = L'\\';
        return path;
    }
    std::string Native(const std::string& relative) const { return Root() + "/" + relative; }
};

TEST(NativePath, TurnsBackslashesIntoSlashesAndReachesSharesBelowTheMountRoot) {
    EXPECT_EQ(NativePath(L"/home/u\\.local\\share\\ZOVuvazaR\\x.txt"), "/home/u/.local/share/ZOVuvazaR/x.txt");
    EXPECT_EQ(NativePath(L"/tmp/\u4ed8\u7b8b.pdf"), "/tmp/\xE4\xBB\x98\xE7\xAE\x8B.pdf");
    EXPECT_EQ(NativePath(L"\\\\server\\share\\dir\\a.ppt"), "/mnt/server/share/dir/a.ppt");
    EXPECT_EQ(NativePath(L"//server/share/a.ppt"), "/mnt/server/share/a.ppt");

    SetShareMountRoot(L"/srv/shares/");
    EXPECT_EQ(NativePath(L"\\\\server\\share\\a.ppt"), "/srv/shares/server/share/a.ppt");
    SetShareMountRoot(L"/mnt");
}

TEST(NativePath, SharePathsAreResolvedAndNeverClimbOutOfTheMountRoot) {
    // "." and ".." are resolved before the kernel sees them; the trailing
    // separator of a folder stays.
    EXPECT_EQ(NativePath(L"\\\\srv\\share\\..\\other\\.\\a.ppt"), "/mnt/srv/other/a.ppt");
    EXPECT_EQ(NativePath(L"\\\\srv\\\\share//dir\\"), "/mnt/srv/share/dir/");
    EXPECT_EQ(NativePath(L"\\\\.\\srv\\x\\..\\y"), "/mnt/srv/y");
    for (const wchar_t* climbing : {L"\\\\..\\..\\etc", L"//../../etc/passwd", L"\\/..\\/etc", L"\\\\srv\\..\\..\\x",
                                    L"\\\\srv\\share\\..\\..\\..\\etc", L"\\\\.\\..", L"\\\\srv\\..", L"\\\\", L"\\\\.\\."}) {
        EXPECT_EQ(NativePath(climbing), "") << ToUtf8(climbing);
        EXPECT_TRUE(EscapesShareMountRoot(climbing)) << ToUtf8(climbing);
    }
    // Only share paths are checked: other paths are the page's own business.
    EXPECT_FALSE(EscapesShareMountRoot(L"/home/u/../x"));
    EXPECT_FALSE(EscapesShareMountRoot(L"\\\\srv\\share\\a..b"));
    EXPECT_FALSE(EscapesShareMountRoot(L"\\\\srv\\share\\..\\b"));
    EXPECT_TRUE(IsSharePath(L"/\\srv"));
    EXPECT_FALSE(IsSharePath(L"/srv//share"));
}

TEST_F(FileSystem, UserDataFolderFollowsTheEnvironment) {
    EXPECT_EQ(LocalAppDataFolder(), WideRoot());
    EXPECT_EQ(UserDataFolder(), WideRoot() + L"\\ZOVuvazaR\\");

    unsetenv("ZOV_DATA_HOME");
    setenv("XDG_DATA_HOME", "/xdg/data", 1);
    EXPECT_EQ(LocalAppDataFolder(), L"/xdg/data");
    // A relative XDG_DATA_HOME is invalid and falls back to the home folder.
    setenv("XDG_DATA_HOME", "relative/data", 1);
    std::string previousHome = getenv("HOME") ? getenv("HOME") : "";
    setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(LocalAppDataFolder(), L"/home/someone/.local/share");
    unsetenv("XDG_DATA_HOME");
    setenv("HOME", previousHome.c_str(), 1);
}

TEST_F(FileSystem, CreateFolderTreeMakesEveryMissingLevel) {
    EXPECT_TRUE(CreateFolderTree(Viewer("a/b/c\\")));
    EXPECT_TRUE(fs::is_directory(Native("a/b/c")));
    // Nothing to do is success too, whatever the trailing separators.
    EXPECT_TRUE(CreateFolderTree(Viewer("a/b/c")));
    EXPECT_TRUE(CreateFolderTree(Viewer("a\\b\\\\")));
    EXPECT_TRUE(CreateFolderTree(Viewer("a/b/c/d/e")));
    EXPECT_TRUE(fs::is_directory(Native("a/b/c/d/e")));
}

TEST_F(FileSystem, CreateFolderTreeFailsWhenAFileIsInTheWay) {
    WriteBytes("blocker", "x");
    EXPECT_FALSE(CreateFolderTree(Viewer("blocker/below")));
    EXPECT_FALSE(fs::exists(Native("blocker/below")));
}

TEST_F(FileSystem, DeleteTreeRemovesEverythingButNeverFollowsLinks) {
    WriteBytes("ZOVuvazaR/tree/one.txt", "1");
    WriteBytes("ZOVuvazaR/tree/sub/two.txt", "2");
    WriteBytes("ZOVuvazaR/tree/sub/deeper/three.txt", "3");
    WriteBytes("ZOVuvazaR/tree/bad-\xFF-name.txt", "not UTF-8");
    WriteBytes("outside/keep.txt", "keep");
    fs::create_directory_symlink(Native("outside"), Native("ZOVuvazaR/tree/sub/link"));

    EXPECT_TRUE(DeleteTree(UserDataFolder() + L"tree\\"));
    EXPECT_FALSE(fs::exists(Native("ZOVuvazaR/tree")));
    EXPECT_TRUE(fs::exists(Native("outside/keep.txt")));

    EXPECT_FALSE(DeleteTree(UserDataFolder() + L"tree"));  // nothing there any more
    EXPECT_FALSE(DeleteTree(L"\\"));                       // the root is never a cache
    EXPECT_FALSE(DeleteTree(L"//"));
}

TEST_F(FileSystem, DeleteTreeDeletesNothingButFoldersBelowTheDataFolder) {
    // Two levels down, so that a deletion that escaped stays in the test's folder.
    setenv("ZOV_DATA_HOME", Native("a/b/home").c_str(), 1);
    WriteBytes("a/b/home/ZOVuvazaR/Registry.txt", "registry");
    WriteBytes("a/b/home/ZOVuvazaR/cache/a.txt", "a");
    WriteBytes("a/b/home/beside/keep.txt", "keep");
    WriteBytes("a/b/home/shares/srv/docs/keep.txt", "keep");
    WriteBytes("a/b/keep.txt", "keep");
    fs::create_directory_symlink(Native("a/b/home/beside"), Native("a/b/home/ZOVuvazaR/link"));
    SetShareMountRoot(FromUtf8(Native("a/b/home/shares")));
    const std::wstring data = UserDataFolder();
    // The data folder itself, above it, beside it, by a link or a share.
    for (const std::wstring& refused :
         {data, data + L".", data + L"..", data + L"..\\..", data + L"cache\\..", data + L"..\\beside", data + L"link",
          Viewer("a/b/home"), Viewer("a/b/home/beside"), std::wstring(L"\\\\..\\beside"), std::wstring(L"\\\\srv\\docs")}) {
        EXPECT_FALSE(DeleteTree(refused)) << ToUtf8(refused);
    }
    SetShareMountRoot(L"/mnt");
    for (const char* kept : {"a/b/home/ZOVuvazaR/Registry.txt", "a/b/home/ZOVuvazaR/cache/a.txt",
                             "a/b/home/beside/keep.txt", "a/b/home/shares/srv/docs/keep.txt", "a/b/keep.txt"}) {
        EXPECT_TRUE(fs::exists(Native(kept))) << kept;
    }
    EXPECT_TRUE(fs::is_symlink(Native("a/b/home/ZOVuvazaR/link")));

    // A way round that still ends below the data folder is fine: the paths
    // are compared once resolved.
    EXPECT_TRUE(DeleteTree(data + L"..\\ZOVuvazaR\\cache"));
    EXPECT_FALSE(fs::exists(Native("a/b/home/ZOVuvazaR/cache")));
}

TEST_F(FileSystem, NothingIsWrittenForASharePathThatClimbsOut) {
    fs::create_directories(Native("shares/srv"));
    fs::create_directories(Native("cwd"));
    SetShareMountRoot(FromUtf8(Native("shares")));
    const fs::path before = fs::current_path();
    fs::current_path(Native("cwd"));
    EXPECT_FALSE(WriteFileAtomically(L"\\\\srv\\..\\..\\x.txt", "bytes"));
    EXPECT_FALSE(CreateFolderTree(L"\\\\srv\\..\\..\\made\\below"));
    fs::current_path(before);
    SetShareMountRoot(L"/mnt");
    EXPECT_FALSE(fs::exists(Native("x.txt")));
    EXPECT_FALSE(fs::exists(Native("made")));
    // Nor, under a temporary name, where the process happens to be.
    EXPECT_TRUE(fs::is_empty(Native("cwd")));
}

TEST_F(FileSystem, ExistenceAndRemoval) {
    WriteBytes("f.txt", "x");
    EXPECT_TRUE(PathExists(Viewer("f.txt")));
    EXPECT_FALSE(IsFolder(Viewer("f.txt")));
    EXPECT_TRUE(IsFolder(WideRoot()));
    EXPECT_FALSE(RemoveFile(WideRoot()));  // folders are not files
    EXPECT_TRUE(RemoveFile(Viewer("f.txt")));
    EXPECT_FALSE(PathExists(Viewer("f.txt")));
    EXPECT_FALSE(RemoveFile(Viewer("f.txt")));
}

TEST_F(FileSystem, OnlyRegularFilesAreOpenedAndReadUpToTheirLimit) {
    WriteBytes("dir/ten.bin", "0123456789");
    ASSERT_EQ(symlink((Root() + "/dir/ten.bin").c_str(), Native("link.bin").c_str()), 0);
    EXPECT_EQ(ReadRegularFile(Viewer("dir/ten.bin"), 10), "0123456789");
    EXPECT_EQ(ReadRegularFile(Viewer("link.bin"), 100), "0123456789");  // links are followed
    EXPECT_EQ(ReadRegularFile(Viewer("dir/ten.bin"), 9), std::nullopt);
    EXPECT_EQ(ReadRegularFile(Viewer("dir"), 100), std::nullopt);
    EXPECT_EQ(ReadRegularFile(Viewer("missing"), 100), std::nullopt);
    EXPECT_EQ(ReadRegularFile(L"/dev/zero", 100), std::nullopt);  // a device that never ends

    test::FifoTrap pipe(Native("pipe"));
    EXPECT_EQ(OpenRegularFile(Viewer("pipe")), nullptr);
    EXPECT_EQ(ReadRegularFile(Viewer("pipe"), 100), std::nullopt);
    EXPECT_FALSE(pipe.Caught()) << "the open waited for the pipe's writer";

    // What is opened reads as an ordinary, blocking stream.
    std::FILE* file = OpenRegularFile(Viewer("dir/ten.bin"));
    ASSERT_NE(file, nullptr);
    char bytes[16] = {};
    EXPECT_EQ(std::fread(bytes, 1, sizeof bytes, file), 10u);
    EXPECT_EQ(fcntl(fileno(file), F_GETFL) & O_NONBLOCK, 0);
    std::fclose(file);
}

TEST_F(FileSystem, CreationTimeSurvivesRewritesInPlace) {
    WriteBytes("cached.txt", "first");
    auto created = CreationTime(Viewer("cached.txt"));
    auto modified = ModificationTime(Viewer("cached.txt"));
    ASSERT_TRUE(created && modified);
    EXPECT_LE(*created, *modified + 1ms);
    auto now = std::chrono::system_clock::now();
    EXPECT_LT(now - *created, 60s);

    // Overwriting in place keeps the birth time where the file system has one;
    // either way the modification time moves on.
    std::this_thread::sleep_for(20ms);
    std::ofstream(Native("cached.txt"), std::ios::binary | std::ios::trunc) << "second";
    auto rewritten = ModificationTime(Viewer("cached.txt"));
    ASSERT_TRUE(rewritten);
    EXPECT_GT(*rewritten, *modified);
    auto createdAgain = CreationTime(Viewer("cached.txt"));
    ASSERT_TRUE(createdAgain);
    EXPECT_TRUE(*createdAgain == *created || *createdAgain == *rewritten);

    EXPECT_EQ(CreationTime(Viewer("missing.txt")), std::nullopt);
    EXPECT_EQ(ModificationTime(Viewer("missing.txt")), std::nullopt);
}

}  // namespace
}  // namespace zov
