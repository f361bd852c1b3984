// The per-user registry file: keys (paths like "CLSID\{...}\InprocServer32")
// holding named string values, "@" being a key's default value. Servers
// write their entries into it when registered; the container reads it to
// find a server by CLSID or ProgID.
#pragma once

#include "platform/com/Com.h"

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace zov {

struct RegistryData {
    // Key paths compare without regard to ASCII case, as registry keys do.
    struct KeyLess {
        using is_transparent = void;
        bool operator()(std::string_view a, std::string_view b) const;
    };
    std::map<std::string, std::map<std::string, std::string>, KeyLess> keys;

    // Creates the key (and its parents) when missing.
    void SetValue(const std::string& key, const std::string& name, const std::string& value);
    void CreateKey(const std::string& key);
    std::optional<std::string> Value(std::string_view key, std::string_view name = "@") const;
    bool HasKey(std::string_view key) const;
    // Removes the key and every key below it; false when there was none.
    bool DeleteTree(std::string_view key);

    std::string Serialise() const;
    // Refuses text that is not a registry file; a file is never half read.
    static std::optional<RegistryData> Parse(std::string_view text);
};

class RegistryFile {
public:
    explicit RegistryFile(std::string path) : path_(std::move(path)) {}
    // "Registry.txt" in the per-user data folder.
    static RegistryFile ForUser();

    // Nothing when the file cannot be read or is damaged; an absent file
    // reads as empty.
    std::optional<RegistryData> Read() const;
    // Reads, changes and writes back under an exclusive lock of the file, so
    // that two processes registering at once lose nothing. `change` returns
    // false to leave the file as it was. False when the file could not be
    // read, locked or written.
    bool Update(const std::function<bool(RegistryData&)>& change) const;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// What the container needs to load a server.
struct ServerEntry {
    CLSID clsid;
    std::string library;        // InprocServer32
    bool safeForScripting = false;
    bool safeForInitializing = false;
};

// By CLSID text ("{...}") or ProgID; nothing when not registered.
std::optional<ServerEntry> FindServer(const RegistryData& registry, std::string_view clsidOrProgId);

// The largest registry file read; a real one holds a few servers in a few
// kilobytes.
inline constexpr std::size_t kRegistryFileLimit = 1u << 20;

inline constexpr std::string_view kCategorySafeForScripting = "{7DD95801-9882-11CF-9FA9-00AA006C42C4}";
inline constexpr std::string_view kCategorySafeForInitializing = "{7DD95802-9882-11CF-9FA9-00AA006C42C4}";

}  // namespace zov
