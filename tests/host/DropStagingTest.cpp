// A drop's staging against real files in a temporary per-user data folder.
#include "host/DropStaging.h"
#include "platform/DataFolder.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "tests/support/TempDataHome.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>

namespace fs = std::filesystem;

namespace zov::host {
namespace {

using namespace std::chrono_literals;
using Clock = DropStaging::Clock;

class DropStagingTest : public test::TempDataHome {
protected:
    std::string Drops() const { return NativePath(UserDataFolder()) + "drops"; }

    std::unique_ptr<DropStaging> Begin(std::vector<DroppedFile> files, std::string& refusal,
                                       const DropLimits& limits = {}, Clock::time_point now = Clock::now()) {
        return DropStaging::Begin(UserDataFolder(), std::move(files), limits, refusal, now);
    }
    std::unique_ptr<DropStaging> Begin(std::vector<DroppedFile> files) {
        std::string refusal;
        std::unique_ptr<DropStaging> staging = Begin(std::move(files), refusal);
        EXPECT_TRUE(staging) << refusal;
        return staging;
    }
    // What is left below drops/: nothing once every staging is gone.
    std::size_t Leftovers() const {
        std::error_code error;
        if (!fs::exists(Drops(), error))
            return 0;
        return static_cast<std::size_t>(std::distance(fs::recursive_directory_iterator(Drops()), {}));
    }
    // Bytes no text would hold: every byte value, NULs included.
    static std::string Binary(std::size_t size, unsigned seed) {
        std::string bytes(size, '\0');
        for (std::size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<char>((i * 131 + seed) & 0xFF);
        return bytes;
    }
};

TEST_F(DropStagingTest, WritesEveryFileByteForByteIntoAFolderOfItsOwn) {
    const std::string first = Binary(70000, 1);
    const std::string third = Binary(5, 7);
    const std::string japanese = "\xE6\x97\xA5\xE6\x9C\xAC.pdf";
    // Announced out of their numbers' order; paths come in that order.
    std::unique_ptr<DropStaging> staging =
        Begin({{2, japanese, third.size()}, {0, "a.pdf", first.size()}, {1, "empty.txt", 0}});
    ASSERT_TRUE(staging);
    const std::string folder = staging->Folder();
    ASSERT_EQ(fs::path(folder).parent_path().parent_path(), fs::path(Drops()));
    EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all);
    // The empty file is there and complete before any chunk.
    EXPECT_TRUE(fs::is_regular_file(folder + "empty.txt"));
    EXPECT_FALSE(staging->Complete());

    // Chunks of any size, cut anywhere.
    std::size_t at = 0;
    for (std::size_t length : {1u, 4095u, 65536u}) {
        length = std::min(length, first.size() - at);
        ASSERT_EQ(staging->Accept(0, at, std::string_view(first).substr(at, length)), "");
        at += length;
    }
    ASSERT_EQ(staging->Accept(0, at, std::string_view(first).substr(at)), "");
    EXPECT_FALSE(staging->Complete());
    ASSERT_EQ(staging->Accept(2, 0, third), "");
    EXPECT_TRUE(staging->Complete());

    EXPECT_EQ(ReadBytes(folder + "a.pdf"), first);
    EXPECT_EQ(ReadBytes(folder + "empty.txt"), "");
    EXPECT_EQ(ReadBytes(folder + japanese), third);
    const std::vector<std::wstring> paths = staging->Paths();
    ASSERT_EQ(paths.size(), 3u);
    EXPECT_EQ(ToUtf8(paths[0]), folder + "a.pdf");
    EXPECT_EQ(ToUtf8(paths[1]), folder + "empty.txt");
    EXPECT_EQ(paths[2], FromUtf8(folder) + L"\u65E5\u672C.pdf");

    // Two drops at once never share a folder.
    std::unique_ptr<DropStaging> other = Begin({{0, "a.pdf", 1}});
    ASSERT_TRUE(other);
    EXPECT_NE(other->Folder(), folder);

    staging.reset();
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_TRUE(fs::exists(other->Folder()));
    other.reset();
    EXPECT_EQ(Leftovers(), 0u);
}

TEST_F(DropStagingTest, RefusesNamesThatAreNotOneHarmlessComponent) {
    const std::string tooLong(kDropNameBytes + 1, 'x');
    for (const std::string& name :
         {std::string(), std::string("."), std::string(".."), std::string("a/b.pdf"), std::string("../a.pdf"),
          std::string("/etc/passwd"), std::string("a\\b.pdf"), std::string("..\\a.pdf"), std::string("a\x01.pdf"),
          std::string("a\n.pdf"), std::string("a\x7F.pdf"), std::string("a\0b.pdf", 7),
          std::string("a\xC2\x85.pdf"), std::string("a\xFF.pdf"), std::string("a\xC0\xAF.pdf"), tooLong}) {
        std::string refusal;
        EXPECT_FALSE(Begin({{0, "fine.pdf", 1}, {1, name, 1}}, refusal)) << name;
        EXPECT_NE(refusal.find("file 1"), std::string::npos) << refusal;
    }
    EXPECT_EQ(Leftovers(), 0u);

    // What a name may be: long up to the limit, many dots, spaces, any script.
    std::unique_ptr<DropStaging> staging =
        Begin({{0, std::string(kDropNameBytes, 'y'), 0}, {1, "...", 0}, {2, ".hidden", 0}, {3, " a b ", 0},
               {4, "\xE6\x97\xA5", 0}});
    ASSERT_TRUE(staging);
    EXPECT_TRUE(staging->Complete());
    EXPECT_TRUE(fs::exists(staging->Folder() + std::string(kDropNameBytes, 'y')));
}

TEST_F(DropStagingTest, RefusesAnnouncementsOverTheLimitsOrBadlyNumbered) {
    const DropLimits limits{3, 10, 15, 1000ms};
    auto refused = [&](std::vector<DroppedFile> files) {
        std::string refusal;
        const bool made = Begin(std::move(files), refusal, limits) != nullptr;
        EXPECT_TRUE(made || !refusal.empty());
        return !made;
    };
    // At the limits.
    EXPECT_FALSE(refused({{0, "a", 10}, {1, "b", 5}, {2, "c", 0}}));
    // One past each.
    EXPECT_TRUE(refused({{0, "a", 1}, {1, "b", 1}, {2, "c", 1}, {3, "d", 1}}));
    EXPECT_TRUE(refused({{0, "a", 11}}));
    EXPECT_TRUE(refused({{0, "a", 10}, {1, "b", 6}}));
    // Sizes that would wrap around when added.
    EXPECT_TRUE(refused({{0, "a", 10}, {1, "b", ~std::uint64_t{0}}}));
    EXPECT_TRUE(refused({}));
    // Numbers 0 to count - 1, each once; names once.
    EXPECT_TRUE(refused({{0, "a", 1}, {0, "b", 1}}));
    EXPECT_TRUE(refused({{0, "a", 1}, {2, "b", 1}}));
    EXPECT_TRUE(refused({{1, "a", 1}}));
    EXPECT_TRUE(refused({{0, "a.pdf", 1}, {1, "a.pdf", 2}}));
    EXPECT_EQ(Leftovers(), 0u);

    // The default count: 100 files.
    const DropLimits defaults;
    std::vector<DroppedFile> many;
    for (std::uint32_t n = 0; n <= defaults.files; ++n)
        many.push_back({n, "f" + std::to_string(n), 0});
    std::string refusal;
    EXPECT_FALSE(Begin(many, refusal));
    many.pop_back();
    EXPECT_TRUE(Begin(many, refusal)) << refusal;
}

TEST_F(DropStagingTest, RefusesChunksThatDoNotFitTheAnnouncement) {
    const std::vector<DroppedFile> files = {{0, "a", 4}, {1, "z", 0}, {2, "b", 4}};
    struct Case {
        const char* what;
        std::vector<std::tuple<std::uint32_t, std::uint64_t, std::string>> chunks;  // the last is refused
    };
    const Case cases[] = {
        {"an unknown file", {{3, 0, "x"}}},
        {"a file number far out", {{0xFFFFFFFF, 0, "x"}}},
        {"a gap", {{0, 1, "x"}}},
        {"a gap after a chunk", {{0, 0, "ab"}, {0, 3, "c"}}},
        {"an overlap", {{0, 0, "ab"}, {0, 1, "c"}}},
        {"past the size", {{0, 0, "abcde"}}},
        {"past the size after a chunk", {{0, 0, "abc"}, {0, 3, "de"}}},
        {"a complete file again", {{0, 0, "abcd"}, {0, 4, "e"}}},
        {"a file announced empty", {{1, 0, "x"}}},
        {"a later file first", {{2, 0, "b"}}},
        {"no bytes", {{0, 0, ""}}},
    };
    for (const Case& test : cases) {
        std::unique_ptr<DropStaging> staging = Begin(files);
        ASSERT_TRUE(staging);
        for (std::size_t i = 0; i < test.chunks.size(); ++i) {
            const auto& [file, offset, bytes] = test.chunks[i];
            const std::string answer = staging->Accept(file, offset, bytes);
            if (i + 1 < test.chunks.size())
                ASSERT_EQ(answer, "") << test.what;
            else
                EXPECT_NE(answer, "") << test.what;
        }
        // A refused drop takes nothing more, not even what would have fitted.
        EXPECT_NE(staging->Accept(0, 0, "abcd"), "") << test.what;
        EXPECT_FALSE(staging->Complete()) << test.what;
    }
    EXPECT_EQ(Leftovers(), 0u);
}

TEST_F(DropStagingTest, NeverWritesThroughWhatIsPlantedInTheFolder) {
    const std::string outside = WriteBytes("outside/secret", "keep");
    std::unique_ptr<DropStaging> staging = Begin({{0, "a.pdf", 3}, {1, "b.pdf", 3}});
    ASSERT_TRUE(staging);
    const std::string folder = staging->Folder();
    fs::create_symlink(outside, folder + "a.pdf");
    EXPECT_NE(staging->Accept(0, 0, "bad"), "");
    EXPECT_EQ(ReadBytes(outside), "keep");

    // Removal takes links, not what they point at, and folders put there.
    fs::create_symlink(fs::path(outside).parent_path(), folder + "link-to-folder");
    fs::create_directories(folder + "x/y");
    std::ofstream(folder + "x/y/f") << "f";
    staging.reset();
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_EQ(ReadBytes(outside), "keep");
    EXPECT_EQ(Leftovers(), 0u);
}

TEST_F(DropStagingTest, TheFolderGoesInEveryState) {
    using Chunks = std::vector<std::pair<std::uint32_t, std::string>>;  // file and bytes, each from its end so far
    const std::pair<const char*, Chunks> states[] = {
        {"nothing arrived", {}},
        {"a file half written", {{0, "ab"}}},
        {"between files", {{0, "abcd"}}},
        {"complete", {{0, "abcd"}, {1, "efgh"}}},
        {"refused", {{0, "ab"}, {1, "ef"}}},
    };
    for (const auto& [state, chunks] : states) {
        std::unique_ptr<DropStaging> staging = Begin({{0, "a", 4}, {1, "b", 4}});
        ASSERT_TRUE(staging) << state;
        std::uint64_t at[2] = {};
        for (const auto& [file, bytes] : chunks) {
            staging->Accept(file, at[file], bytes);
            at[file] += bytes.size();
        }
        const std::string folder = staging->Folder();
        ASSERT_TRUE(fs::is_directory(folder)) << state;
        staging.reset();
        EXPECT_FALSE(fs::exists(folder)) << state;
        EXPECT_EQ(Leftovers(), 0u) << state;
    }
    const std::vector<DroppedFile> files = {{0, "a", 4}};
    // Removed at once when asked, and only once.
    std::unique_ptr<DropStaging> staging = Begin(files);
    const std::string folder = staging->Folder();
    staging->Remove();
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_EQ(staging->Folder(), "");
    staging.reset();
    EXPECT_TRUE(fs::is_directory(Drops()));
}

TEST_F(DropStagingTest, RefusesADropsFolderThatIsALinkOrNoFolder) {
    const std::string data = NativePath(UserDataFolder());
    const std::string elsewhere = Root() + "/elsewhere";
    fs::create_directories(data);
    fs::create_directories(elsewhere);
    fs::create_directory_symlink(elsewhere, Drops());
    std::string refusal;
    EXPECT_FALSE(Begin({{0, "a.pdf", 0}}, refusal));
    EXPECT_FALSE(refusal.empty());
    EXPECT_TRUE(fs::is_empty(elsewhere));
    EXPECT_TRUE(fs::is_symlink(Drops()));

    fs::remove(Drops());
    std::ofstream(Drops()) << "a file";
    EXPECT_FALSE(Begin({{0, "a.pdf", 0}}, refusal));

    // A data folder not made yet is made.
    fs::remove_all(data);
    EXPECT_TRUE(Begin({{0, "a.pdf", 0}}, refusal)) << refusal;
}

TEST_F(DropStagingTest, ExpiresWhenNoChunkComesForTheIdleTime) {
    const DropLimits limits{10, 100, 100, 200ms};
    const Clock::time_point start = Clock::now();
    std::string refusal;
    std::unique_ptr<DropStaging> staging = Begin({{0, "a", 4}}, refusal, limits, start);
    ASSERT_TRUE(staging) << refusal;
    EXPECT_FALSE(staging->Expired(start + 199ms));
    EXPECT_TRUE(staging->Expired(start + 200ms));
    // Each chunk starts the wait again.
    ASSERT_EQ(staging->Accept(0, 0, "ab", start + 150ms), "");
    EXPECT_FALSE(staging->Expired(start + 349ms));
    EXPECT_TRUE(staging->Expired(start + 350ms));
    EXPECT_EQ(staging->Deadline(), start + 350ms);
}

TEST_F(DropStagingTest, AWriteThatFailsRefusesTheDrop) {
    // The file-size limit makes the kernel fail a write past it, as a full
    // disk does.
    rlimit before{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    auto* previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = before;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    std::unique_ptr<DropStaging> staging = Begin({{0, "a", 8192}});
    const std::string answer = staging ? staging->Accept(0, 0, Binary(8192, 3)) : "no staging";
    setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, previous);
    EXPECT_NE(answer, "");
    ASSERT_TRUE(staging);
    EXPECT_FALSE(staging->Complete());
    staging.reset();
    EXPECT_EQ(Leftovers(), 0u);
}

}  // namespace
}  // namespace zov::host
