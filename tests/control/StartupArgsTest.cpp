#include "control/StartupArgs.h"

#include "platform/Encoding.h"
#include "tests/support/TempDataHome.h"

namespace zov {
namespace {

class StartupArgs : public test::TempDataHome {
protected:
    std::vector<StartupCommand> Read(const std::string& bytes) {
        return ReadStartupArgs(FromUtf8(WriteBytes("args.txt", bytes)));
    }
};

TEST_F(StartupArgs, ReadsTheCommandsALaunchWrites) {
    auto commands = Read(
        "SetUp\r\nja\r\nC0C0C0\r\nfalse\r\nloginId\r\nhttp://h:8080/prev\r\nFolder\r\nfalse\r\n"
        "ShowFiles\r\n<\\\\srv\\docs\\\x95\x74\xE2\xB3.pdf>\r\n<\x95\x74\xE2\xB3>\r\n"
        "ZoomUpFirstObject\r\n");
    ASSERT_EQ(commands.size(), 3u);
    EXPECT_EQ(commands[0].kind, StartupCommand::Kind::SetUp);
    EXPECT_EQ(commands[0].args, (std::vector<std::wstring>{L"ja", L"C0C0C0", L"false", L"loginId",
                                                           L"http://h:8080/prev", L"Folder", L"false"}));
    EXPECT_EQ(commands[1].kind, StartupCommand::Kind::ShowFiles);
    EXPECT_EQ(commands[1].args,
              (std::vector<std::wstring>{L"<\\\\srv\\docs\\\u4ed8\u7b8b.pdf>", L"<\u4ed8\u7b8b>"}));
    EXPECT_EQ(commands[2].kind, StartupCommand::Kind::ZoomUpFirstObject);
    EXPECT_TRUE(commands[2].args.empty());
}

TEST_F(StartupArgs, TrimsSkipsStrayLinesAndDropsCutOffCommands) {
    auto commands = Read("# left by hand\r\nZoomUpFirstObject  \t\r\nnoise\r\nShowFiles\r\n<a.pdf>   \r\n");
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].kind, StartupCommand::Kind::ZoomUpFirstObject);

    // An argument line that happens to be a command word is still an argument.
    commands = Read("ShowFiles\nZoomUpFirstObject\n<cap>\n");
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].args, (std::vector<std::wstring>{L"ZoomUpFirstObject", L"<cap>"}));

    EXPECT_TRUE(ReadStartupArgs(L"/nonexistent/args.txt").empty());
}

TEST_F(StartupArgs, LinesLongerThanTheLimitSpillIntoTheNextLine) {
    std::string longPath(1023, 'p');
    auto commands = Read("ShowFiles\r\n" + longPath + "tail\r\n<cap>\r\n");
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].args[0], std::wstring(1023, L'p'));
    EXPECT_EQ(commands[0].args[1], L"tail");
}

}  // namespace
}  // namespace zov
