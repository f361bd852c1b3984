#include "platform/com/Registry.h"
#include "tests/support/TempDataHome.h"

#include <gtest/gtest.h>

#include <atomic>
#include <sys/stat.h>
#include <filesystem>
#include <thread>
#include <vector>

namespace zov {
namespace {

constexpr std::string_view kControl = "{D340FA1C-4A07-4590-BFFB-FA14857D23DF}";

TEST(Guid, ParsesOnlyTheBracedFormAndFormatsUpperCase) {
    std::optional<GUID> guid = ParseGuid("{01234567-89ab-CDEF-0123-456789abcdef}");
    ASSERT_TRUE(guid);
    EXPECT_EQ(guid->Data1, 0x01234567u);
    EXPECT_EQ(guid->Data2, 0x89ABu);
    EXPECT_EQ(guid->Data3, 0xCDEFu);
    const std::array<std::uint8_t, 8> tail{0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
    EXPECT_EQ(guid->Data4, tail);
    EXPECT_EQ(FormatGuid(*guid), "{01234567-89AB-CDEF-0123-456789ABCDEF}");
    EXPECT_EQ(ParseGuid(FormatGuid(*guid)), guid);
    EXPECT_EQ(FormatGuid(GUID{}), "{00000000-0000-0000-0000-000000000000}");

    for (std::string_view bad : {
             "",
             "D340FA1C-4A07-4590-BFFB-FA14857D23DF",      // no braces
             "{D340FA1C-4A07-4590-BFFB-FA14857D23DF",     // one brace
             "(D340FA1C-4A07-4590-BFFB-FA14857D23DF)",    // other brackets
             "{D340FA1C-4A07-4590-BFFB-FA14857D23D}",     // a digit short
             "{D340FA1C-4A07-4590-BFFB-FA14857D23DF0}",   // a digit over
             "{D340FA1C-4A07-4590-BFFB-FA14857D23DF} ",   // trailing blank
             "{D340FA1C4-A07-4590-BFFB-FA14857D23DF}",    // dash moved
             "{D340FA1C-4A07-4590-BFFBFFA14857D23DF-}",   // dash moved
             "{D340FA1G-4A07-4590-BFFB-FA14857D23DF}",    // not hexadecimal
             "{D340FA1C-4A07-4590-BFFB-FA14857D23D }",
             "{+340FA1C-4A07-4590-BFFB-FA14857D23DF}",
             "{0x40FA1C-4A07-4590-BFFB-FA14857D23DF}",
         })
        EXPECT_FALSE(ParseGuid(bad)) << bad;
}

TEST(RegistryData, RoundTripKeepsKeysValuesAndEscapes) {
    RegistryData data;
    data.SetValue("CLSID\\{A}\\InprocServer32", "@", "/opt/zov/lib.so");
    data.SetValue("CLSID\\{A}\\InprocServer32", "ThreadingModel", "Apartment");
    data.SetValue("Odd", "name=with=equals", "value=with=equals");
    data.SetValue("Odd", "back\\slash\\", "C:\\path\\\\to\\");
    data.SetValue("Odd", "lines", "one\ntwo\r\nthree\n");
    data.SetValue("Odd", "", "");
    data.SetValue("Odd", "\\n", "\\=");  // escape sequences as plain text
    data.SetValue("Odd", "[Looks]", "like a key");
    data.SetValue("Odd", "[", "]");
    data.CreateKey("Empty\\Key");

    // Parents are created with their children.
    EXPECT_TRUE(data.HasKey("CLSID"));
    EXPECT_TRUE(data.HasKey("CLSID\\{A}"));
    EXPECT_TRUE(data.HasKey("Empty"));

    const std::string text = data.Serialise();
    // One value a line: the line ends inside values are escaped.
    EXPECT_EQ(text.find("one\ntwo"), std::string::npos);
    std::optional<RegistryData> back = RegistryData::Parse(text);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->keys, data.keys);
    EXPECT_EQ(back->Value("Odd", "name=with=equals"), "value=with=equals");
    EXPECT_EQ(back->Value("Odd", "lines"), "one\ntwo\r\nthree\n");
    EXPECT_EQ(back->Value("Odd", "\\n"), "\\=");
    EXPECT_EQ(back->Serialise(), text);
}

TEST(RegistryData, KeysIgnoreCaseValueNamesDoNot) {
    RegistryData data;
    data.SetValue("CLSID\\{ABC}", "@", "first");
    data.SetValue("clsid\\{abc}", "@", "second");
    EXPECT_EQ(data.keys.size(), 2u);  // "CLSID" and the one class key
    EXPECT_EQ(data.Value("Clsid\\{aBc}"), "second");
    EXPECT_TRUE(data.HasKey("CLSID\\{abc}"));
    data.SetValue("CLSID\\{ABC}", "Name", "x");
    EXPECT_FALSE(data.Value("CLSID\\{ABC}", "name"));
    EXPECT_FALSE(data.Value("CLSID\\{ABC}", "Missing"));
    EXPECT_FALSE(data.Value("CLSID\\{ABCD}"));
}

TEST(RegistryData, DeleteTreeRemovesExactlyTheSubtree) {
    RegistryData data;
    for (const char* key : {"CLSID\\{A}\\InprocServer32", "CLSID\\{A}\\Implemented Categories\\{C}",
                            "CLSID\\{A}x\\InprocServer32", "CLSID\\{A}-old\\InprocServer32", "CLSID\\{A}.1",
                            "CLSID\\{A} copy\\ProgID", "CLSID\\{B}", "ZOV.Ctrl\\CLSID", "ZOV.Ctrl.1\\CLSID",
                            "ZOV.Ctrl\\CurVer"})
        data.SetValue(key, "@", "v");

    // Siblings sort between a key and its children ('-', '.', ' ' and digits
    // come before '\\'); they stay, and none of the children may.
    EXPECT_TRUE(data.DeleteTree("clsid\\{a}"));
    EXPECT_FALSE(data.HasKey("CLSID\\{A}"));
    EXPECT_FALSE(data.HasKey("CLSID\\{A}\\InprocServer32"));
    EXPECT_FALSE(data.HasKey("CLSID\\{A}\\Implemented Categories"));
    EXPECT_FALSE(data.HasKey("CLSID\\{A}\\Implemented Categories\\{C}"));
    for (const char* kept : {"CLSID", "CLSID\\{A}x\\InprocServer32", "CLSID\\{A}-old\\InprocServer32", "CLSID\\{A}.1",
                             "CLSID\\{A} copy\\ProgID", "CLSID\\{B}"})
        EXPECT_TRUE(data.HasKey(kept)) << kept;

    EXPECT_TRUE(data.DeleteTree("ZOV.Ctrl"));
    EXPECT_FALSE(data.HasKey("ZOV.Ctrl\\CLSID"));
    EXPECT_FALSE(data.HasKey("ZOV.Ctrl\\CurVer"));
    EXPECT_TRUE(data.HasKey("ZOV.Ctrl.1\\CLSID"));

    EXPECT_FALSE(data.DeleteTree("CLSID\\{A}"));
    EXPECT_FALSE(data.DeleteTree("Nothing"));
}

TEST(RegistryData, DamagedTextIsRefused) {
    EXPECT_TRUE(RegistryData::Parse(""));  // an empty file holds nothing yet
    for (std::string_view bad : {
             "not a registry\n",
             "ZOV registry 1\r\n[K]\r\n",       // line ends changed
             "ZOV registry 2\n",
             "ZOV registry 1\nname=value\n",   // a value outside any key
             "ZOV registry 1\n[K\n",
             "ZOV registry 1\n[]\n",
             "ZOV registry 1\n[K]\nno equals sign\n",
             "ZOV registry 1\n[K]\nname=trailing\\\n",
             "ZOV registry 1\n[K]\nname=unknown \\q escape\n",
             "\nZOV registry 1\n[K]\n",
         })
        EXPECT_FALSE(RegistryData::Parse(bad)) << bad;
}

using RegistryFileTest = test::TempDataHome;

TEST_F(RegistryFileTest, AbsentFileReadsEmptyAndUpdateCreatesIt) {
    RegistryFile file = RegistryFile::ForUser();
    EXPECT_EQ(file.Path().rfind(Root() + "/", 0), 0u);
    EXPECT_EQ(std::filesystem::path(file.Path()).filename(), "Registry.txt");
    std::optional<RegistryData> empty = file.Read();
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->keys.empty());

    // Declining the change writes nothing.
    EXPECT_TRUE(file.Update([](RegistryData&) { return false; }));
    EXPECT_FALSE(std::filesystem::exists(file.Path()));

    ASSERT_TRUE(file.Update([](RegistryData& r) {
        r.SetValue("K\\Sub", "v", "a=b\\c\nd");
        return true;
    }));
    std::optional<RegistryData> read = file.Read();
    ASSERT_TRUE(read);
    EXPECT_EQ(read->Value("k\\sub", "v"), "a=b\\c\nd");

    // A file in a folder not made yet.
    RegistryFile nested(Root() + "/a/b/Registry.txt");
    EXPECT_TRUE(nested.Update([](RegistryData& r) {
        r.CreateKey("X");
        return true;
    }));
    EXPECT_TRUE(nested.Read()->HasKey("X"));
}

TEST_F(RegistryFileTest, DamagedFileIsNeitherReadNorOverwritten) {
    const std::string damaged = "ZOV registry 1\n[CLSID\\{A}]\n@=/lib.so\ngarbage line\n";
    const std::string path = WriteBytes("Registry.txt", damaged);
    RegistryFile file(path);
    EXPECT_FALSE(file.Read());
    bool asked = false;
    EXPECT_FALSE(file.Update([&](RegistryData& r) {
        asked = true;
        r.SetValue("New", "@", "x");
        return true;
    }));
    EXPECT_FALSE(asked);
    EXPECT_EQ(ReadBytes(path), damaged);
}

TEST_F(RegistryFileTest, OnlyARegularFileOfBoundedSizeIsRead) {
    // Well formed but over the limit: refused, and left as it was.
    std::string huge = "ZOV registry 1\n[CLSID\\{A}]\n@=";
    huge.append(kRegistryFileLimit, 'x');
    huge += "\n";
    const std::string path = WriteBytes("big/Registry.txt", huge);
    RegistryFile big(path);
    EXPECT_FALSE(big.Read());
    EXPECT_FALSE(big.Update([](RegistryData&) { return true; }));
    EXPECT_EQ(std::filesystem::file_size(path), huge.size());

    // A pipe in its place would hold a reader for ever.
    std::filesystem::create_directories(Root() + "/pipe");
    const std::string fifo = Root() + "/pipe/Registry.txt";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(RegistryFile(fifo).Read());
}

TEST_F(RegistryFileTest, ConcurrentUpdatesLoseNothing) {
    RegistryFile file = RegistryFile::ForUser();
    constexpr int kThreads = 6;
    constexpr int kEach = 15;
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) {
                // Each update reads the file anew; unlocked read-modify-write
                // would drop the other threads' keys.
                const bool ok = RegistryFile::ForUser().Update([&](RegistryData& r) {
                    r.SetValue("T" + std::to_string(t) + "\\K" + std::to_string(i), "@", std::to_string(i));
                    std::optional<std::string> count = r.Value("Counter");
                    r.SetValue("Counter", "@", std::to_string(count ? std::stoi(*count) + 1 : 1));
                    return true;
                });
                if (!ok)
                    ++failures;
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(failures, 0);
    std::optional<RegistryData> data = file.Read();
    ASSERT_TRUE(data);
    EXPECT_EQ(data->Value("Counter"), std::to_string(kThreads * kEach));
    for (int t = 0; t < kThreads; ++t)
        for (int i = 0; i < kEach; ++i)
            EXPECT_TRUE(data->HasKey("T" + std::to_string(t) + "\\K" + std::to_string(i))) << t << " " << i;
}

// A class entry as a server writes it.
RegistryData WithServer(bool scripting, bool initializing) {
    RegistryData r;
    const std::string key = "CLSID\\" + std::string(kControl);
    r.SetValue(key + "\\InprocServer32", "@", "/opt/zov/libServer.so");
    r.SetValue(key + "\\ProgID", "@", "ZOV.Ctrl.1");
    r.SetValue("ZOV.Ctrl.1\\CLSID", "@", std::string(kControl));
    if (scripting)
        r.CreateKey(key + "\\Implemented Categories\\" + std::string(kCategorySafeForScripting));
    if (initializing)
        r.CreateKey(key + "\\Implemented Categories\\" + std::string(kCategorySafeForInitializing));
    return r;
}

TEST(FindServer, ByClsidOrProgIdWithItsCategories) {
    const RegistryData registry = WithServer(true, false);
    for (std::string_view name : {kControl, std::string_view("{d340fa1c-4a07-4590-bffb-fa14857d23df}"),
                                  std::string_view("ZOV.Ctrl.1"), std::string_view("zov.ctrl.1")}) {
        std::optional<ServerEntry> entry = FindServer(registry, name);
        ASSERT_TRUE(entry) << name;
        EXPECT_EQ(entry->clsid, GuidLiteral(kControl));
        EXPECT_EQ(entry->library, "/opt/zov/libServer.so");
        EXPECT_TRUE(entry->safeForScripting);
        EXPECT_FALSE(entry->safeForInitializing);
    }
    std::optional<ServerEntry> both = FindServer(WithServer(true, true), "ZOV.Ctrl.1");
    ASSERT_TRUE(both);
    EXPECT_TRUE(both->safeForInitializing);
    std::optional<ServerEntry> unsafe = FindServer(WithServer(false, true), kControl);
    ASSERT_TRUE(unsafe);
    EXPECT_FALSE(unsafe->safeForScripting);
}

TEST(FindServer, NothingWithoutAUsableEntry) {
    const RegistryData registry = WithServer(true, true);
    EXPECT_FALSE(FindServer(registry, "{00000000-0000-0000-0000-000000000001}"));
    EXPECT_FALSE(FindServer(registry, "ZOV.Other.1"));
    EXPECT_FALSE(FindServer(registry, ""));
    EXPECT_FALSE(FindServer(registry, "D340FA1C-4A07-4590-BFFB-FA14857D23DF"));

    RegistryData badProgId = registry;
    badProgId.SetValue("ZOV.Bad\\CLSID", "@", "not a clsid");
    EXPECT_FALSE(FindServer(badProgId, "ZOV.Bad"));

    RegistryData noLibrary = registry;
    noLibrary.SetValue("CLSID\\" + std::string(kControl) + "\\InprocServer32", "@", "");
    EXPECT_FALSE(FindServer(noLibrary, kControl));
    noLibrary.DeleteTree("CLSID\\" + std::string(kControl) + "\\InprocServer32");
    EXPECT_FALSE(FindServer(noLibrary, "ZOV.Ctrl.1"));
}

}  // namespace
}  // namespace zov
