#include "tools/convert/OfficeToPdf.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace zov {

namespace fs = std::filesystem;

namespace {

std::string MakeTemporaryFolder() {
    std::string pattern = (fs::temp_directory_path() / "zov-convert-XXXXXX").string();
    return mkdtemp(pattern.data()) ? pattern : std::string();
}

// Runs `argv`, output thrown away, stopped after the time limit. The exit
// status, or a text saying why there is none.
bool Run(const std::vector<std::string>& argv, std::string& failure) {
    // Made before fork: the child of a threaded process must not allocate.
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_t pid = fork();
    if (pid < 0) {
        failure = std::string("cannot start ") + argv[0] + ": " + std::strerror(errno);
        return false;
    }
    if (pid == 0) {
        int null = open("/dev/null", O_RDWR);
        if (null >= 0) {
            dup2(null, STDIN_FILENO);
            dup2(null, STDOUT_FILENO);
            dup2(null, STDERR_FILENO);
        }
        // Its own process group, so that a time-out stops its children too.
        setpgid(0, 0);
        execvp(args[0], args.data());
        _exit(127);
    }
    auto deadline = std::chrono::steady_clock::now() + kConversionTimeLimit;
    int status = 0;
    for (;;) {
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
        if (done < 0 && errno != EINTR) {
            failure = std::string("lost ") + argv[0] + ": " + std::strerror(errno);
            return false;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            kill(-pid, SIGKILL);
            waitpid(pid, &status, 0);
            failure = argv[0] + " did not finish within " + std::to_string(kConversionTimeLimit.count()) + " s";
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (WIFSIGNALED(status)) {
        failure = argv[0] + " crashed (signal " + std::to_string(WTERMSIG(status)) + ")";
        return false;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        failure = argv[0] + " failed (exit status " + std::to_string(WEXITSTATUS(status)) + ")";
        return false;
    }
    return true;
}

}  // namespace

bool ProgramInstalled(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= folders.size()) {
        std::size_t end = folders.find(':', start);
        std::string folder = folders.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!folder.empty() && access((folder + "/" + name).c_str(), X_OK) == 0)
            return true;
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return false;
}

PdfConversion OfficeToPdf(const std::string& document) {
    PdfConversion result;
    if (!ProgramInstalled("soffice")) {
        result.reason = "LibreOffice (soffice) is not installed, so office documents cannot be converted";
        return result;
    }
    result.folder = MakeTemporaryFolder();
    if (result.folder.empty()) {
        result.reason = "no temporary folder for LibreOffice";
        return result;
    }
    std::string profile = "-env:UserInstallation=file://" + result.folder + "/profile";
    std::string output = result.folder + "/out";
    if (!Run({"soffice", profile, "--headless", "--norestore", "--nologo", "--convert-to", "pdf", "--outdir", output,
              document},
             result.reason))
        return result;
    result.pdf = output + "/" + fs::path(document).stem().string() + ".pdf";
    if (!fs::exists(result.pdf)) {
        result.reason = "LibreOffice made no PDF of it";
        return result;
    }
    result.ok = true;
    return result;
}

PdfConversion XpsToPdf(const std::string& document) {
    PdfConversion result;
    if (!ProgramInstalled("xpstopdf")) {
        result.reason = "no XPS converter is installed (xpstopdf, Debian package libgxps-utils)";
        return result;
    }
    result.folder = MakeTemporaryFolder();
    if (result.folder.empty()) {
        result.reason = "no temporary folder for xpstopdf";
        return result;
    }
    result.pdf = result.folder + "/document.pdf";
    if (!Run({"xpstopdf", document, result.pdf}, result.reason))
        return result;
    result.ok = fs::exists(result.pdf);
    if (!result.ok)
        result.reason = "xpstopdf made no PDF of it";
    return result;
}

}  // namespace zov
