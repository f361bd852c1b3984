// Files dropped on an element, through a real WebSocket to a control that
// records what it was given.
#include "platform/DataFolder.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "tests/host/PageClient.h"
#include "tests/host/RecordingControl.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace zov::host {
namespace {

using namespace pagetest;
using namespace recordingtest;

void* RecordingLibrary() {
    static void* library = dlopen(ZOV_RECORDING_CONTROL, RTLD_NOW | RTLD_LOCAL);
    return library;
}

// A binary message of kind 3.
std::string Chunk(std::uint32_t element, std::uint32_t file, std::uint32_t offset, std::string_view bytes) {
    std::string message(16, '\0');
    message[0] = 3;
    for (int i = 0; i < 4; ++i) {
        message[4 + i] = static_cast<char>((element >> (8 * i)) & 0xFF);
        message[8 + i] = static_cast<char>((file >> (8 * i)) & 0xFF);
        message[12 + i] = static_cast<char>((offset >> (8 * i)) & 0xFF);
    }
    message += bytes;
    return message;
}

Json File(std::uint32_t n, const std::string& name, std::size_t size) {
    return {{"n", n}, {"name", name}, {"size", size}};
}

Json DropMessage(std::uint32_t element, Json files) {
    return {{"t", "drop"}, {"el", element}, {"x", 120}, {"y", 300}, {"files", std::move(files)}};
}

class DropServer : public HostServer {
protected:
    void SetUp() override {
        HostServer::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_NE(RecordingLibrary(), nullptr) << dlerror();
        auto recordFunction = reinterpret_cast<DropRecordFunction>(dlsym(RecordingLibrary(), kDropRecordExport));
        ASSERT_NE(recordFunction, nullptr);
        record_ = recordFunction();
        {
            std::lock_guard lock(record_->mutex);
            record_->drops.clear();
        }
        const std::string key = "CLSID\\" + std::string(kRecordingControlClsid);
        ASSERT_TRUE(RegistryFile::ForUser().Update([&](RegistryData& r) {
            r.SetValue(key + "\\InprocServer32", "@", ZOV_RECORDING_CONTROL);
            r.CreateKey(key + "\\Implemented Categories\\" + std::string(kCategorySafeForScripting));
            return true;
        }));
    }

    bool CreateRecording(Page& page, std::int64_t element) {
        std::optional<Json> created = page.Create(element, {{"clsid", kRecordingControlClsid}});
        EXPECT_TRUE(created && (*created)["t"] == "created") << (created ? created->dump() : "nothing");
        return created && (*created)["t"] == "created";
    }

    // The drops the control has had, once there are `count` of them.
    std::vector<std::vector<DroppedCopy>> WaitDrops(std::size_t count) {
        std::unique_lock lock(record_->mutex);
        record_->changed.wait_for(lock, kWait, [&] { return record_->drops.size() >= count; });
        return record_->drops;
    }
    std::size_t DropsRecorded() {
        std::lock_guard lock(record_->mutex);
        return record_->drops.size();
    }

    std::string Drops() const { return NativePath(UserDataFolder()) + "drops"; }
    // Drop folders on disk.
    std::size_t FoldersLeft() const {
        std::error_code error;
        if (!fs::exists(Drops(), error))
            return 0;
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(Drops()), {}));
    }
    bool NoFoldersLeftSoon() const {
        const auto until = std::chrono::steady_clock::now() + kWait;
        while (FoldersLeft() != 0 && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(10ms);
        return FoldersLeft() == 0;
    }

    DropRecord* record_ = nullptr;  // the server's, for the life of the process
};

std::string Binary(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7919) >> 3);
    return bytes;
}

TEST_F(DropServer, DroppedFilesReachTheControlAndGoOnceItHasThem) {
    Page page(port_);
    ASSERT_TRUE(page.Connected());
    std::optional<Json> hello = page.WaitText([](const Json& m) { return m.value("t", "") == "hello"; });
    ASSERT_TRUE(hello);
    EXPECT_EQ((*hello)["limits"]["dropIdleMs"], 30000);
    ASSERT_TRUE(CreateRecording(page, 1));

    const std::string big = Binary(300000);
    const std::string small = "%PDF-1.4 small";
    const std::string japanese = "\xE5\xB0\x8F.pdf";
    ASSERT_TRUE(page.Send(DropMessage(
        1, {File(0, "big.pdf", big.size()), File(1, "empty.txt", 0), File(2, japanese, small.size())})));
    for (std::size_t at = 0; at < big.size(); at += 65536)
        ASSERT_TRUE(page.SendBinary(Chunk(1, 0, static_cast<std::uint32_t>(at), big.substr(at, 65536))));
    ASSERT_TRUE(page.SendBinary(Chunk(1, 2, 0, small)));
    ASSERT_TRUE(page.WaitType("dropDone", 1));

    std::vector<std::vector<DroppedCopy>> drops = WaitDrops(1);
    ASSERT_EQ(drops.size(), 1u);
    ASSERT_EQ(drops[0].size(), 3u);
    const std::string folder = fs::path(ToUtf8(drops[0][0].path)).parent_path().string();
    EXPECT_EQ(fs::path(folder).parent_path(), fs::path(Drops()));
    const std::string names[] = {"big.pdf", "empty.txt", japanese};
    const std::string contents[] = {big, "", small};
    for (std::size_t n = 0; n < 3; ++n) {
        EXPECT_EQ(ToUtf8(drops[0][n].path), folder + "/" + names[n]);
        EXPECT_TRUE(drops[0][n].regular) << n;
        EXPECT_TRUE(drops[0][n].bytes == contents[n]) << n;
    }
    // Gone before the page hears the drop is done.
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_EQ(FoldersLeft(), 0u);

    // The element takes the next drop.
    ASSERT_TRUE(page.Send(DropMessage(1, {File(0, "next.txt", 0)})));
    ASSERT_TRUE(page.WaitType("dropDone", 1));
    drops = WaitDrops(2);
    ASSERT_EQ(drops.size(), 2u);
    EXPECT_EQ(ToUtf8(drops[1][0].path).substr(ToUtf8(drops[1][0].path).size() - 9), "/next.txt");
}

TEST_F(DropServer, RefusedDropsAreToldAndLeaveNothing) {
    Page page(port_);
    ASSERT_TRUE(page.Connected());
    ASSERT_TRUE(CreateRecording(page, 1));
    auto refused = [&](const std::string& what) {
        std::optional<Json> answer = page.WaitType("dropRefused", 1);
        EXPECT_TRUE(answer && (*answer)["message"].is_string() && (*answer)["message"] != "") << what;
        EXPECT_EQ(FoldersLeft(), 0u) << what;
    };
    Json many = Json::array();
    for (std::uint32_t n = 0; n <= 100; ++n)
        many.push_back(File(n, "f" + std::to_string(n), 0));

    for (const auto& [what, files] : std::vector<std::pair<std::string, Json>>{
             {"a path for a name", Json::array({File(0, "../x.pdf", 1)})},
             {"a drop over its limit", Json::array({File(0, "a", 104857600), File(1, "b", 104857600),
                                                    File(2, "c", 104857600)})},
             {"too many files", many},
             {"no files", Json::array()},
             {"a file without its size", Json::array({Json({{"n", 0}, {"name", "a.pdf"}})})},
             {"files that are no list", Json::object()},
         }) {
        ASSERT_TRUE(page.Send(DropMessage(1, files)));
        refused(what);
    }

    // Chunks that do not fit; the rest of the drop's chunks are passed over.
    struct Case {
        const char* what;
        std::vector<std::string> chunks;
    };
    for (const Case& test : {
             Case{"past the size", {Chunk(1, 0, 0, "abcdef"), Chunk(1, 0, 6, "g")}},
             Case{"out of order", {Chunk(1, 0, 2, "cd"), Chunk(1, 0, 0, "ab")}},
             Case{"an unknown file", {Chunk(1, 5, 0, "ab"), Chunk(1, 0, 0, "abcd")}},
             Case{"a second drop", {Chunk(1, 0, 0, "ab")}},
         }) {
        ASSERT_TRUE(page.Send(DropMessage(1, {File(0, "a.pdf", 4)})));
        if (test.what == std::string("a second drop")) {
            ASSERT_TRUE(page.SendBinary(test.chunks[0]));
            ASSERT_TRUE(page.Send(DropMessage(1, {File(0, "b.pdf", 2)})));
            ASSERT_TRUE(page.SendBinary(Chunk(1, 0, 0, "xy")));
        } else {
            for (const std::string& chunk : test.chunks)
                ASSERT_TRUE(page.SendBinary(chunk));
        }
        refused(test.what);
    }

    // Chunks for no element, or too short to be one, are errors.
    ASSERT_TRUE(page.SendBinary(Chunk(9, 0, 0, "ab")));
    EXPECT_TRUE(page.WaitType("error", 9));
    ASSERT_TRUE(page.SendBinary(std::string("\3\0\0\0\1\0\0\0", 8)));
    EXPECT_TRUE(page.WaitText([](const Json& m) { return m.value("t", "") == "error" && !m.contains("el"); }));

    // Nothing reached the control, no refusal came twice, and the element
    // still takes a drop.
    ASSERT_TRUE(page.Send(DropMessage(1, {File(0, "fine.pdf", 2)})));
    ASSERT_TRUE(page.SendBinary(Chunk(1, 0, 0, "ok")));
    ASSERT_TRUE(page.WaitType("dropDone", 1));
    EXPECT_FALSE(page.WaitType("dropRefused", 1, 200ms));
    std::vector<std::vector<DroppedCopy>> drops = WaitDrops(1);
    ASSERT_EQ(drops.size(), 1u);
    EXPECT_EQ(drops[0][0].bytes, "ok");
}

TEST_F(DropServer, ADropHalfArrivedGoesWithItsElementOrPage) {
    Page page(port_);
    ASSERT_TRUE(page.Connected());
    ASSERT_TRUE(CreateRecording(page, 1));
    ASSERT_TRUE(page.Send(DropMessage(1, {File(0, "a.pdf", 10)})));
    ASSERT_TRUE(page.SendBinary(Chunk(1, 0, 0, "half")));
    // A call answered at once, so the drop and its chunk have been handled.
    ASSERT_TRUE(page.Call(1, kBoxMethod, {"not a box"}));
    EXPECT_EQ(FoldersLeft(), 1u);
    ASSERT_TRUE(page.Send({{"t", "destroy"}, {"el", 1}}));
    ASSERT_TRUE(page.WaitType("destroyed", 1));
    EXPECT_EQ(FoldersLeft(), 0u);

    ASSERT_TRUE(CreateRecording(page, 2));
    ASSERT_TRUE(page.Send(DropMessage(2, {File(0, "a.pdf", 10)})));
    ASSERT_TRUE(page.SendBinary(Chunk(2, 0, 0, "half")));
    ASSERT_TRUE(page.Call(2, kBoxMethod, {"not a box"}));
    EXPECT_EQ(FoldersLeft(), 1u);
    page.Close();
    EXPECT_TRUE(NoFoldersLeftSoon());
    EXPECT_EQ(DropsRecorded(), 0u);
}

TEST_F(DropServer, ADropBehindAModalBoxIsRefusedAndItsFilesGo) {
    Page page(port_);
    ASSERT_TRUE(page.Connected());
    ASSERT_TRUE(CreateRecording(page, 1));
    ASSERT_TRUE(page.Send({{"t", "call"}, {"el", 1}, {"id", 1}, {"m", kBoxMethod}, {"a", Json::array()}}));
    std::optional<Json> box = page.WaitType("messageBox", 1);
    ASSERT_TRUE(box);

    ASSERT_TRUE(page.Send(DropMessage(1, {File(0, "a.pdf", 3)})));
    ASSERT_TRUE(page.SendBinary(Chunk(1, 0, 0, "abc")));
    ASSERT_TRUE(page.WaitType("dropRefused", 1));
    EXPECT_EQ(FoldersLeft(), 0u);

    ASSERT_TRUE(page.Send({{"t", "answer"}, {"el", 1}, {"id", (*box)["id"]}, {"v", IDOK}}));
    std::optional<Json> answered = page.WaitReturn(1, 1);
    ASSERT_TRUE(answered);
    EXPECT_EQ((*answered)["v"], IDOK);
    EXPECT_EQ(DropsRecorded(), 0u);

    ASSERT_TRUE(page.Send(DropMessage(1, {File(0, "a.pdf", 3)})));
    ASSERT_TRUE(page.SendBinary(Chunk(1, 0, 0, "abc")));
    ASSERT_TRUE(page.WaitType("dropDone", 1));
    EXPECT_EQ(WaitDrops(1).size(), 1u);
}

class IdleDropServer : public DropServer {
protected:
    void Configure(HostConfig& config) override { config.limits.drop.idle = 200ms; }
};

TEST_F(IdleDropServer, ADropThatStopsHalfWayGoesAfterTheIdleTimeWhileThePageIsQuiet) {
    Page page(port_);
    ASSERT_TRUE(page.Connected());
    std::optional<Json> hello = page.WaitText([](const Json& m) { return m.value("t", "") == "hello"; });
    ASSERT_TRUE(hello);
    EXPECT_EQ((*hello)["limits"]["dropIdleMs"], 200);
    ASSERT_TRUE(CreateRecording(page, 1));

    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(page.Send(DropMessage(1, {File(0, "a.pdf", 8)})));
    ASSERT_TRUE(page.SendBinary(Chunk(1, 0, 0, "half")));
    // The page sends nothing more: the session's own timer ends the drop.
    std::optional<Json> refused = page.WaitType("dropRefused", 1);
    ASSERT_TRUE(refused);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 200ms);
    EXPECT_EQ(FoldersLeft(), 0u);

    // The rest, come too late, is passed over; a drop after it is taken.
    ASSERT_TRUE(page.SendBinary(Chunk(1, 0, 4, "rest")));
    ASSERT_TRUE(page.Send(DropMessage(1, {File(0, "b.pdf", 0)})));
    ASSERT_TRUE(page.WaitType("dropDone", 1));
    EXPECT_FALSE(page.WaitType("dropRefused", 1, 100ms));
    EXPECT_EQ(WaitDrops(1).size(), 1u);
}

}  // namespace
}  // namespace zov::host
