// The coordination files work windows meet through, read and written as raw
// bytes: hosts from pages and servers, the files-to-add file, the markers.
#include "workwin/WorkWindowFiles.h"

#include "platform/Encoding.h"
#include "tests/support/FifoTrap.h"
#include "tests/support/ImmutableFile.h"
#include "tests/support/TempDataHome.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace zov::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// 日本 and 表 in code page 932; the second byte of 表 is a backslash.
const std::string kNihonBytes = "\x93\xFA\x96\x7B";
const std::string kHyouBytes = "\x95\x5C";
const std::wstring kNihon = L"\u65E5\u672C";
const std::wstring kHyou = L"\u8868";

class WorkWindowFilesTest : public TempDataHome {
protected:
    std::string DataFolder() const { return Root() + "/ZOVuvazaR/"; }
    std::wstring WideDataFolder() const { return WideRoot() + L"\\ZOVuvazaR\\"; }
    std::string Put(const std::string& name, const std::string& bytes) const {
        return WriteBytes("ZOVuvazaR/" + name, bytes);
    }
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(DataFolder()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST(CoordinationHostTest, AddressesListsAndLocalPathsNameTheirHost) {
    struct Case {
        std::wstring location;
        std::wstring host;
    };
    const Case cases[] = {
        {L"", L"localhost"},
        {L"<>\n", L"localhost"},
        {L"http://Server.Example:8080/docs/a.pdf", L"server.example:8080"},
        {L"http://a/x<http://b/y>", L"a"},
        {L"<http://a/x><http://B/y>", L"b"},
        // A token beginning with a blank does not decide.
        {L"<http://a/x>< http://b/y>", L"a"},
        {L"<http://a/x><C:\\docs\\a.pdf>", L""},
        {L"C:\\docs\\a.pdf", L""},
        {L"httpdocs\\a.pdf", L""},
        {L"http://\u00C4RGER/", L"\u00E4rger"},
    };
    for (const Case& c : cases) {
        std::optional<std::wstring> host = CoordinationHost(c.location);
        ASSERT_TRUE(host) << ToUtf8(c.location);
        EXPECT_EQ(*host, c.host) << ToUtf8(c.location);
    }
}

TEST(CoordinationHostTest, HostsThatAreNoPlainFolderNameAreRefused) {
    const std::wstring refused[] = {
        L"http://../x",
        L"http://./x",
        L"http:///x",
        L"http://   /x",
        L"http://a\\b/x",
        L"<http://a\\..\\..\\etc/x>",
        L"http://a\x01" L"b/x",
        std::wstring(L"http://a") + L'\0' + L"b/x",
        L"http://" + std::wstring(256, L'h') + L"/x",
        // 86 characters of three UTF-8 bytes each: 258 bytes.
        L"http://" + std::wstring(86, L'\u65E5') + L"/x",
    };
    for (const std::wstring& location : refused)
        EXPECT_FALSE(CoordinationHost(location)) << ToUtf8(location);
    EXPECT_TRUE(CoordinationHost(L"http://" + std::wstring(255, L'h') + L"/x"));
}

TEST_F(WorkWindowFilesTest, TheFolderIsMadeBelowTheDataFolderAndNeverThroughALink) {
    std::optional<std::wstring> folder = CoordinationFolder(L"http://Docs.Example/a/b.pdf");
    ASSERT_TRUE(folder);
    EXPECT_EQ(*folder, WideDataFolder() + L"docs.example\\");
    EXPECT_TRUE(fs::is_directory(DataFolder() + "docs.example"));
    EXPECT_EQ(CoordinationFolder(L"C:\\docs\\a.pdf"), WideDataFolder());

    EXPECT_FALSE(CoordinationFolder(L"http://../a.pdf"));
    EXPECT_FALSE(CoordinationFolder(L"http:///a.pdf"));
    EXPECT_EQ(Entries(), std::vector<std::string>{"docs.example"});

    fs::create_directories(Root() + "/elsewhere");
    fs::create_directory_symlink(Root() + "/elsewhere", DataFolder() + "linked");
    EXPECT_FALSE(CoordinationFolder(L"http://linked/a.pdf"));
}

TEST_F(WorkWindowFilesTest, TheFilesToAddFileEndsEachListWithCrCrLfInCodePage932) {
    const std::wstring folder = *CoordinationFolder(L"");
    ASSERT_TRUE(WriteAddFilesFile(folder, L"<C:\\" + kNihon + L"\\a.pdf><b.pdf>", L"<" + kHyou + L"><B>"));
    EXPECT_EQ(ReadBytes(DataFolder() + "localhost/AddFiles.txt"),
              "<C:\\" + kNihonBytes + "\\a.pdf><b.pdf>\r\r\n<" + kHyouBytes + "><B>\r\r\n");
    // Written in one piece: nothing is left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(DataFolder() + "localhost"), fs::directory_iterator()), 1);

    std::optional<AddFilesContent> read = ReadAddFilesFile(folder + L"AddFiles.txt");
    ASSERT_TRUE(read);
    EXPECT_EQ(read->paths, L"<C:\\" + kNihon + L"\\a.pdf><b.pdf>");
    EXPECT_EQ(read->captions, L"<" + kHyou + L"><B>");

    // What the reader would refuse is not written.
    EXPECT_FALSE(WriteAddFilesFile(folder, std::wstring(kMaxAddFilesBytes, L'a'), L"<x>"));
    EXPECT_EQ(ReadAddFilesFile(folder + L"AddFiles.txt")->captions, L"<" + kHyou + L"><B>");
}

TEST_F(WorkWindowFilesTest, TheFilesToAddReaderTakesTwoWordsOfWhatOthersWrote) {
    const std::wstring path = WideDataFolder() + L"AddFiles.txt";
    Put("AddFiles.txt", " \r\n\t<a.pdf><b.pdf>\r\r\n<A><" + kNihonBytes + ">\r\r\nthird word\r\n");
    std::optional<AddFilesContent> read = ReadAddFilesFile(path);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->paths, L"<a.pdf><b.pdf>");
    EXPECT_EQ(read->captions, L"<A><" + kNihon + L">");

    Put("AddFiles.txt", "<only.pdf>");
    read = ReadAddFilesFile(path);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->paths, L"<only.pdf>");
    EXPECT_EQ(read->captions, L"");

    // Bytes that are no characters do not stop the reading.
    Put("AddFiles.txt", std::string("<a\x80\xFF", 4) + std::string(1, '\0') + "b> <c>");
    read = ReadAddFilesFile(path);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->captions, L"<c>");

    Put("AddFiles.txt", std::string(kMaxAddFilesBytes + 1, 'a'));
    EXPECT_FALSE(ReadAddFilesFile(path));

    fs::remove(DataFolder() + "AddFiles.txt");
    Put("outside.txt", "<secret> <x>");
    fs::create_symlink(DataFolder() + "outside.txt", DataFolder() + "AddFiles.txt");
    EXPECT_FALSE(ReadAddFilesFile(path));
    fs::remove(DataFolder() + "AddFiles.txt");
    fs::create_directory(DataFolder() + "AddFiles.txt");
    EXPECT_FALSE(ReadAddFilesFile(path));
    fs::remove(DataFolder() + "AddFiles.txt");

    FifoTrap trap(DataFolder() + "AddFiles.txt");
    EXPECT_FALSE(ReadAddFilesFile(path));
    EXPECT_FALSE(trap.Caught());
}

TEST(AddedFilesTest, ListsGoInLockStepAndShortPathsKeepTheirCaptionsInStep) {
    std::vector<AddedFile> files = AddedFiles(L"<a.pdf><x><c.pdf>", L"<A><X><C>");
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].path, L"a.pdf");
    EXPECT_EQ(files[0].caption, L"A");
    EXPECT_EQ(files[1].path, L"c.pdf");
    EXPECT_EQ(files[1].caption, L"C");

    files = AddedFiles(L"<a.pdf><b.pdf>", L"<A>");
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[1].caption, L"");
    EXPECT_TRUE(AddedFiles(L"", L"<A>").empty());

    std::wstring many, captions;
    for (std::size_t i = 0; i < kMaxAddedBooks + 5; ++i) {
        many += L"<f" + std::to_wstring(i) + L".pdf>";
        captions += L"<" + std::to_wstring(i) + L">";
    }
    files = AddedFiles(many, captions);
    ASSERT_EQ(files.size(), kMaxAddedBooks);
    EXPECT_EQ(files.back().path, L"f999.pdf");
    EXPECT_EQ(files.back().caption, L"999");
}

TEST(MarkerNameTest, NamesCarryTheHandleInEightUpperCaseDigitsAndOthersAreRefused) {
    EXPECT_EQ(MarkerName(0xABC), L"WorkWindow_00000ABC.txt");
    EXPECT_EQ(MarkerName(0xFFFFFFFF), L"WorkWindow_FFFFFFFF.txt");
    EXPECT_EQ(MarkerHandle(MarkerName(0x12AB34CD)), 0x12AB34CDu);
    EXPECT_EQ(MarkerHandle(L"WorkWindow_00000abc.txt"), 0xABCu);
    EXPECT_EQ(MarkerHandle(L"WorkWindow_ABCD"), 0xABCDu);

    const std::wstring refused[] = {
        L"WorkWindow_.txt",       L"WorkWindow_",           L"WorkWindow",         L"WorkWindow_XYZ.txt",
        L"WorkWindow_00000000.txt", L"WorkWindow_123456789.txt", L"workwindow_0000ABCD.txt",
        L"AddFiles.txt",          L"WorkWindow_12 34.txt",  L"WorkWindow_-1.txt",  L"WorkWindow_\uFF11\uFF12.txt",
        L"WorkWindow_0000ABCD.txt.part",
    };
    for (const std::wstring& name : refused)
        EXPECT_FALSE(MarkerHandle(name)) << ToUtf8(name);
}

TEST_F(WorkWindowFilesTest, AMarkerIsWrittenOnceWithOnePathALineAndNeverThroughALink) {
    const std::wstring folder = *CoordinationFolder(L"C:\\a.pdf");
    ASSERT_TRUE(WriteMarkerIfMissing(folder, 0x1A2B, {L"C:\\" + kNihon + L"\\a.pdf", L"http://h/" + kHyou + L".pdf"}));
    const std::string marker = DataFolder() + "WorkWindow_00001A2B.txt";
    EXPECT_EQ(ReadBytes(marker), "C:\\" + kNihonBytes + "\\a.pdf\r\nhttp://h/" + kHyouBytes + ".pdf\r\n");

    EXPECT_FALSE(WriteMarkerIfMissing(folder, 0x1A2B, {L"other.pdf"}));
    EXPECT_EQ(ReadBytes(marker), "C:\\" + kNihonBytes + "\\a.pdf\r\nhttp://h/" + kHyouBytes + ".pdf\r\n");

    const std::string outside = WriteBytes("outside.txt", "keep");
    fs::create_symlink(outside, DataFolder() + "WorkWindow_00000001.txt");
    EXPECT_FALSE(WriteMarkerIfMissing(folder, 1, {L"x.pdf"}));
    EXPECT_EQ(ReadBytes(outside), "keep");
    EXPECT_TRUE(ReadMarker(folder + L"WorkWindow_00000001.txt").empty());

    ASSERT_TRUE(WriteMarkerIfMissing(folder, 2, {}));
    EXPECT_EQ(ReadBytes(DataFolder() + "WorkWindow_00000002.txt"), "");
    EXPECT_EQ(Entries(), (std::vector<std::string>{"WorkWindow_00000001.txt", "WorkWindow_00000002.txt",
                                                   "WorkWindow_00001A2B.txt"}));
}

TEST_F(WorkWindowFilesTest, MarkerLinesAreCutIntoPiecesAndBadFilesReadEmpty) {
    const std::wstring path = WideDataFolder() + L"WorkWindow_00000001.txt";
    Put("WorkWindow_00000001.txt", "C:\\" + kNihonBytes + "\\a.pdf\r\n" + std::string(2500, 'x') +
                                       "\r\nlone\rcr\r\n\r\nlast");
    std::vector<std::wstring> lines = ReadMarker(path);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0], L"C:\\" + kNihon + L"\\a.pdf");
    EXPECT_EQ(lines[1], std::wstring(1023, L'x'));
    EXPECT_EQ(lines[2], std::wstring(1023, L'x'));
    EXPECT_EQ(lines[3], std::wstring(454, L'x'));
    EXPECT_EQ(lines[4], L"lone\rcr");
    EXPECT_EQ(lines[5], L"");
    EXPECT_EQ(lines[6], L"last");

    Put("WorkWindow_00000001.txt", std::string("\x81\n\xFF\xFE\n", 5));
    lines = ReadMarker(path);
    ASSERT_EQ(lines.size(), 2u);

    std::string flood;
    for (std::size_t i = 0; i < kMaxMarkerLines + 10; ++i)
        flood += "p\r\n";
    Put("WorkWindow_00000001.txt", flood);
    EXPECT_EQ(ReadMarker(path).size(), kMaxMarkerLines);

    Put("WorkWindow_00000001.txt", std::string(kMaxMarkerBytes + 1, 'a'));
    EXPECT_TRUE(ReadMarker(path).empty());
    EXPECT_TRUE(ReadMarker(WideDataFolder() + L"WorkWindow_00000009.txt").empty());
}

TEST_F(WorkWindowFilesTest, OnlyRegularFilesWithMarkerNamesAreMarkersAndTheLowestIsFirst) {
    fs::create_directories(DataFolder());
    EXPECT_FALSE(FirstMarker(WideDataFolder()));
    Put("WorkWindow_00000002.txt", "b\r\n");
    Put("WorkWindow_0000000A.txt", "a\r\n");
    Put("WorkWindow_zz.txt", "");
    Put("WorkWindow_0000000b.txt", "");
    Put("AddFiles.txt", "");
    fs::create_directory(DataFolder() + "WorkWindow_00000001.txt");
    fs::create_symlink(DataFolder() + "AddFiles.txt", DataFolder() + "WorkWindow_00000003.txt");
    EXPECT_EQ(MarkerNames(WideDataFolder()),
              (std::vector<std::wstring>{L"WorkWindow_00000002.txt", L"WorkWindow_0000000A.txt"}));
    EXPECT_EQ(FirstMarker(WideDataFolder()), L"WorkWindow_00000002.txt");
}

TEST_F(WorkWindowFilesTest, ASweepDeletesEveryMarkerAndWhatStaysIsNotCounted) {
    Put("WorkWindow_00000001.txt", "a\r\n");
    Put("WorkWindow_00000002.txt", "b\r\n");
    Put("WorkWindow_junk", "");
    Put("AddFiles.txt", "<a> <b>");
    fs::create_directory(DataFolder() + "WorkWindow_00000003.txt");
    const auto start = std::chrono::steady_clock::now();
    MarkerSweep sweep = SweepMarkers(WideDataFolder());
    // A folder never goes: it is not tried again and again.
    EXPECT_LT(std::chrono::steady_clock::now() - start, kMarkerDeleteRetryPause);
    ASSERT_EQ(sweep.stayed.size(), 1u);
    EXPECT_EQ(sweep.stayed[0].name, L"WorkWindow_00000003.txt");
    EXPECT_EQ(Entries(), (std::vector<std::string>{"AddFiles.txt", "WorkWindow_00000003.txt"}));
    EXPECT_EQ(CountMarkers(WideDataFolder(), sweep), 0u);

    ASSERT_TRUE(WriteMarkerIfMissing(WideDataFolder(), 7, {L"a.pdf"}));
    ASSERT_TRUE(WriteMarkerIfMissing(WideDataFolder(), 8, {L"b.pdf"}));
    EXPECT_EQ(CountMarkers(WideDataFolder(), sweep), 2u);
}

TEST_F(WorkWindowFilesTest, AMarkerThatCannotBeDeletedHoldsTheSweepOnlyForItsRetries) {
    const std::string marker = Put("WorkWindow_00000005.txt", "a\r\n");
    ImmutableFile locked(marker);
    if (!locked.Locked())
        GTEST_SKIP() << "this file system cannot make a file undeletable";
    const auto start = std::chrono::steady_clock::now();
    MarkerSweep sweep = SweepMarkers(WideDataFolder());
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, kMarkerDeleteRetryPause * kMarkerDeleteRetries);
    EXPECT_LT(took, kMarkerDeleteRetryPause * (kMarkerDeleteRetries + 2));
    ASSERT_EQ(sweep.stayed.size(), 1u);
    EXPECT_EQ(CountMarkers(WideDataFolder(), sweep), 0u);
    // A marker written in its place once it has gone is a live one.
    locked.Unlock();
    fs::remove(marker);
    ASSERT_TRUE(WriteMarkerIfMissing(WideDataFolder(), 5, {L"a.pdf"}));
    EXPECT_EQ(CountMarkers(WideDataFolder(), sweep), 1u);
}

}  // namespace
}  // namespace zov::test
