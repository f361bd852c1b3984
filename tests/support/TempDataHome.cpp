#include "tests/support/TempDataHome.h"

#include "platform/Encoding.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace zov::test {

void TempDataHome::SetUp() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zov-test-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    setenv("ZOV_DATA_HOME", root_.c_str(), 1);
    // Tests talk to servers on loopback; a proxy of the machine must not
    // stand in between.
    setenv("no_proxy", "127.0.0.1,localhost", 1);
    setenv("NO_PROXY", "127.0.0.1,localhost", 1);
}

void TempDataHome::TearDown() {
    unsetenv("ZOV_DATA_HOME");
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

std::wstring TempDataHome::WideRoot() const {
    return FromUtf8(root_);
}

std::string TempDataHome::WriteBytes(const std::string& relative, const std::string& bytes) const {
    std::filesystem::path path = std::filesystem::path(root_) / relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
}

std::string TempDataHome::ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace zov::test
