// The per-user registry file, which any local process can write, read as the
// container reads it to find a server; what it accepts must survive being
// written back and read again unchanged.
#include "platform/com/Registry.h"
#include "tests/fuzz/FuzzSupport.h"

#include <filesystem>

namespace {

constexpr std::string_view kAddedKey = "CLSID\\{00000000-0000-0000-0000-000000000001}\\InprocServer32";

bool SameKey(std::string_view a, std::string_view b) {
    zov::RegistryData::KeyLess less;
    return !less(a, b) && !less(b, a);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zov;
    fuzz::DataHome();
    static const RegistryFile file = RegistryFile::ForUser();
    static const bool made = [] {
        std::error_code error;
        std::filesystem::create_directories(std::filesystem::path(file.Path()).parent_path(), error);
        return !error;
    }();
    ZOV_FUZZ_CHECK(made);
    fuzz::ReplaceFile(file.Path(), data, size);

    std::optional<RegistryData> registry = file.Read();
    if (!registry)
        return 0;
    for (std::string_view name : {"ZOVUVAZAR.ZOVuvazaRCtrl.1", "{D340FA1C-4A07-4590-BFFB-FA14857D23DF}"}) {
        if (std::optional<ServerEntry> entry = FindServer(*registry, name))
            ZOV_FUZZ_CHECK(!entry->library.empty());
    }
    std::optional<RegistryData> again = RegistryData::Parse(registry->Serialise());
    ZOV_FUZZ_CHECK(again && again->keys == registry->keys);

    // Registering into it keeps what was there, as two servers registering
    // one after the other need.
    ZOV_FUZZ_CHECK(file.Update([](RegistryData& data) {
        data.SetValue(std::string(kAddedKey), "@", "/lib/x.so");
        return true;
    }));
    std::optional<RegistryData> updated = file.Read();
    ZOV_FUZZ_CHECK(updated && updated->Value(kAddedKey) ==
                                  std::optional<std::string>("/lib/x.so"));
    for (const auto& [key, values] : registry->keys) {
        auto found = updated->keys.find(key);
        ZOV_FUZZ_CHECK(found != updated->keys.end());
        for (const auto& [name, value] : values)
            if (!(SameKey(key, kAddedKey) && name == "@"))
                ZOV_FUZZ_CHECK(found->second.count(name) && found->second.at(name) == value);
    }
    return 0;
}
