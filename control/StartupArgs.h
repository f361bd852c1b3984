// The start-up argument file through which a launch hands a new window's
// control its first commands ("TempOnLoadArgs.txt" in the per-user folder).
#pragma once

#include <string>
#include <vector>

namespace zov {

struct StartupCommand {
    enum class Kind { SetUp, ShowFiles, ZoomUpFirstObject };
    Kind kind;
    // SetUp: language, colour, checkboxes, login id, preview folder, system
    // name, last flag. ShowFiles: path list, caption list.
    std::vector<std::wstring> args;
};

std::wstring StartupArgsPath();

// Reads the commands in file order: each line trimmed of trailing white space,
// lines read up to 1023 characters, lines that are no command word skipped.
// A command whose argument lines are cut off by the end of the file is left
// out rather than run with made-up arguments.
std::vector<StartupCommand> ReadStartupArgs(const std::wstring& path);

}  // namespace zov
