#include "platform/TextFile.h"

#include "platform/Encoding.h"
#include "tests/support/FifoTrap.h"
#include "tests/support/TempDataHome.h"

namespace zov {
namespace {

class TextFile : public test::TempDataHome {
protected:
    std::wstring PathOf(const std::string& name) const { return WideRoot() + L"\\" + FromUtf8(name); }
    std::string BytesOf(const std::string& name) const { return ReadBytes(Root() + "/" + name); }
};

TEST_F(TextFile, WritesTheBytesOfAWindowsTextStream) {
    ASSERT_TRUE(WriteTextFile(PathOf("a.txt"), L"SetUp\nja\n\u4ed8\u7b8b\n"));
    EXPECT_EQ(BytesOf("a.txt"), "SetUp\r\nja\r\n\x95\x74\xE2\xB3\r\n");

    // "\r\n" written through a text stream gains a second CR.
    ASSERT_TRUE(WriteTextFile(PathOf("b.txt"), L"<a>\r\n<b>\r\n"));
    EXPECT_EQ(BytesOf("b.txt"), "<a>\r\r\n<b>\r\r\n");

    ASSERT_TRUE(WriteTextFile(PathOf("c.txt"), L"emoji \U0001F600 end"));
    EXPECT_EQ(BytesOf("c.txt"), "emoji ? end");
}

TEST_F(TextFile, AppendsAndReportsFailures) {
    TextFileWriter writer;
    ASSERT_TRUE(writer.Open(PathOf("log.txt")));
    EXPECT_TRUE(writer.Write(L"one\n"));
    EXPECT_TRUE(writer.Close());
    ASSERT_TRUE(writer.Open(PathOf("log.txt"), TextFileWriter::Mode::Append));
    EXPECT_TRUE(writer.Write(L"two\n"));
    EXPECT_TRUE(writer.Close());
    EXPECT_EQ(BytesOf("log.txt"), "one\r\ntwo\r\n");

    EXPECT_FALSE(WriteTextFile(PathOf("missing\\folder\\x.txt"), L"x"));
    EXPECT_FALSE(writer.Write(L"not open"));
}

TEST_F(TextFile, ReadsLinesBackAsATextStreamDoes) {
    WriteBytes("r.txt", "one\r\ntwo\r\r\nlone\rcr\n\x95\x74\xE2\xB3\r\nlast");
    TextFileReader reader;
    ASSERT_TRUE(reader.Open(PathOf("r.txt")));
    EXPECT_EQ(reader.ReadLine(1023), L"one\n");
    EXPECT_EQ(reader.ReadLine(1023), L"two\r\n");
    EXPECT_EQ(reader.ReadLine(1023), L"lone\rcr\n");
    EXPECT_EQ(reader.ReadLine(1023), L"\u4ed8\u7b8b\n");
    EXPECT_EQ(reader.ReadLine(1023), L"last");
    EXPECT_EQ(reader.ReadLine(1023), std::nullopt);
}

TEST_F(TextFile, LongLinesComeInPiecesOfTheLimit) {
    WriteBytes("long.txt", std::string(5, 'x') + "\r\n\x95\x74\x95\x74\x95\x74\r\n");
    TextFileReader chars;
    ASSERT_TRUE(chars.Open(PathOf("long.txt")));
    EXPECT_EQ(chars.ReadLine(3), L"xxx");
    EXPECT_EQ(chars.ReadLine(3), L"xx\n");
    EXPECT_EQ(chars.ReadLine(3), L"\u4ed8\u4ed8\u4ed8");
    EXPECT_EQ(chars.ReadLine(3), L"\n");

    TextFileReader bytes;
    ASSERT_TRUE(bytes.Open(PathOf("long.txt")));
    EXPECT_EQ(bytes.ReadLineBytes(4), "xxxx");
    EXPECT_EQ(bytes.ReadLineBytes(4), "x\n");
    EXPECT_EQ(bytes.ReadLineBytes(4), "\x95\x74\x95\x74");

    TextFileReader missing;
    EXPECT_FALSE(missing.Open(PathOf("nothing.txt")));
    EXPECT_EQ(missing.ReadLine(10), std::nullopt);
}

TEST_F(TextFile, WrittenTextReadsBackUnchanged) {
    std::wstring text = L"\u6307\u5b9a\\path\\to\\file.pdf\n<a.ppt><b.doc>\r\nend\n";
    ASSERT_TRUE(WriteTextFile(PathOf("rt.txt"), text));
    TextFileReader reader;
    ASSERT_TRUE(reader.Open(PathOf("rt.txt")));
    std::wstring back;
    while (auto line = reader.ReadLine(1023))
        back += *line;
    EXPECT_EQ(back, text);
}

TEST_F(TextFile, Utf8LineAtAnOffset) {
    std::string header(10, '\0');
    WriteBytes("page.txt", header + "\xE4\xBB\x98\xE7\xAE\x8B text\r\nsecond line\n");
    EXPECT_EQ(ReadUtf8Line(PathOf("page.txt"), 10, 1000), L"\u4ed8\u7b8b text\n");
    EXPECT_EQ(ReadUtf8Line(PathOf("page.txt"), 10, 2), L"\u4ed8\u7b8b");
    EXPECT_EQ(ReadUtf8Line(PathOf("page.txt"), 23, 1000), L"second line\n");
    EXPECT_EQ(ReadUtf8Line(PathOf("page.txt"), 500, 1000), std::nullopt);
    EXPECT_EQ(ReadUtf8Line(PathOf("none.txt"), 0, 1000), std::nullopt);
}

// A list downloaded from a server, or a notes file, may be anything: a
// pipe put in its place must not hang the reader, a huge file must not be
// taken into memory whole.
TEST_F(TextFile, OnlyRegularFilesUpToTheLimitAreRead) {
    test::FifoTrap pipe(Root() + "/pipe.txt");
    TextFileReader reader;
    EXPECT_FALSE(reader.Open(PathOf("pipe.txt")));
    EXPECT_EQ(ReadUtf8Line(PathOf("pipe.txt"), 0, 100), std::nullopt);
    EXPECT_FALSE(pipe.Caught()) << "a reader waited for the pipe's writer";
    EXPECT_FALSE(reader.Open(WideRoot()));  // a folder

    WriteBytes("full.txt", std::string(kMaxTextFileBytes - 6, 'x') + "\r\nend\n");
    ASSERT_TRUE(reader.Open(PathOf("full.txt")));
    EXPECT_EQ(reader.ReadLineBytes(kMaxTextFileBytes)->size(), kMaxTextFileBytes - 5);
    EXPECT_EQ(reader.ReadLineBytes(100), "end\n");

    WriteBytes("over.txt", std::string(kMaxTextFileBytes + 1, 'x'));
    EXPECT_FALSE(reader.Open(PathOf("over.txt")));
    EXPECT_EQ(reader.ReadLine(10), std::nullopt);
}

TEST(TrimTrailingSpace, RemovesBlanksAndLineBreaksOnly) {
    EXPECT_EQ(TrimTrailingSpace(L" a b \t\r\n"), L" a b");
    EXPECT_EQ(TrimTrailingSpace(L"\r\n"), L"");
}

}  // namespace
}  // namespace zov
