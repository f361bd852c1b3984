// The start-up argument file, as a launch leaves it in the per-user data
// folder for the new window's control, read by the real reader.
#include "control/StartupArgs.h"
#include "platform/FileSystem.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

constexpr std::size_t kMaxLineChars = 1023;

std::size_t ArgumentCount(zov::StartupCommand::Kind kind) {
    switch (kind) {
    case zov::StartupCommand::Kind::SetUp: return 7;
    case zov::StartupCommand::Kind::ShowFiles: return 2;
    case zov::StartupCommand::Kind::ZoomUpFirstObject: return 0;
    }
    return ~std::size_t{0};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zov;
    fuzz::DataHome();
    static const std::wstring path = StartupArgsPath();
    static const bool made = CreateFolderTree(path.substr(0, path.rfind(L'\\')));
    ZOV_FUZZ_CHECK(made);
    fuzz::ReplaceFile(NativePath(path), data, size);
    for (const StartupCommand& command : ReadStartupArgs(path)) {
        ZOV_FUZZ_CHECK(command.args.size() == ArgumentCount(command.kind));
        for (const std::wstring& arg : command.args) {
            ZOV_FUZZ_CHECK(arg.size() <= kMaxLineChars);
            ZOV_FUZZ_CHECK(arg.empty() || (arg.back() != L' ' && arg.back() != L'\t' && arg.back() != L'\r' &&
                                           arg.back() != L'\n'));
        }
    }
    return 0;
}
