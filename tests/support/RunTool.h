// Runs one of the project's command-line tools as a process, for tests that
// check what a user of the tool sees.
#pragma once

#include <string>

namespace zov::test {

struct ToolRun {
    int status = -1;     // the exit status; -1 when it did not exit normally
    std::string output;  // standard output and standard error together
};

// `tool` is the executable's path; `arguments` go through the shell as given.
ToolRun RunTool(const std::string& tool, const std::string& arguments);

}  // namespace zov::test
