#include "control/StartupArgs.h"

#include "platform/DataFolder.h"
#include "platform/TextFile.h"

namespace zov {

namespace {

constexpr size_t kMaxLineChars = 1023;

}  // namespace

std::wstring StartupArgsPath() {
    return UserDataFolder() + L"TempOnLoadArgs.txt";
}

std::vector<StartupCommand> ReadStartupArgs(const std::wstring& path) {
    std::vector<StartupCommand> commands;
    TextFileReader reader;
    if (!reader.Open(path))
        return commands;
    auto nextLine = [&reader]() -> std::optional<std::wstring> {
        auto line = reader.ReadLine(kMaxLineChars);
        if (line)
            *line = TrimTrailingSpace(*line);
        return line;
    };
    while (auto word = nextLine()) {
        StartupCommand command;
        size_t argCount;
        if (*word == L"SetUp") {
            command.kind = StartupCommand::Kind::SetUp;
            argCount = 7;
        } else if (*word == L"ShowFiles") {
            command.kind = StartupCommand::Kind::ShowFiles;
            argCount = 2;
        } else if (*word == L"ZoomUpFirstObject") {
            command.kind = StartupCommand::Kind::ZoomUpFirstObject;
            argCount = 0;
        } else {
            continue;
        }
        while (command.args.size() < argCount) {
            auto arg = nextLine();
            if (!arg)
                break;
            command.args.push_back(std::move(*arg));
        }
        if (command.args.size() == argCount)
            commands.push_back(std::move(command));
    }
    return commands;
}

}  // namespace zov
