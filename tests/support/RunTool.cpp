#include "tests/support/RunTool.h"

#include <cstdio>
#include <sys/wait.h>

namespace zov::test {

ToolRun RunTool(const std::string& tool, const std::string& arguments) {
    ToolRun run;
    std::string command = tool + " " + arguments + " 2>&1";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return run;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        run.output.append(buffer, n);
    int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

}  // namespace zov::test
