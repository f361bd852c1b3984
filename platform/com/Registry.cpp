#include "platform/com/Registry.h"

#include "platform/DataFolder.h"
#include "platform/FileSystem.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>

namespace zov {

namespace {

constexpr std::string_view kHeader = "ZOV registry 1";

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWithText(std::string_view key, std::string_view prefix) {
    if (key.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (Lower(key[i]) != Lower(prefix[i]))
            return false;
    return true;
}

bool StartsWithKey(std::string_view key, std::string_view prefix) {
    return StartsWithText(key, prefix) && (key.size() == prefix.size() || key[prefix.size()] == '\\');
}

// Values are one line each: backslash, line ends and, in names, '=' are
// escaped, and so is a name's leading '[', which would start a key.
std::string Escape(std::string_view text, bool name) {
    std::string out;
    if (name && !text.empty() && text.front() == '[')
        out += '\\';
    for (char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '=':
            out += name ? "\\=" : "=";
            break;
        default: out += c;
        }
    }
    return out;
}

std::optional<std::string> Unescape(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size())
            return std::nullopt;
        switch (text[i]) {
        case '\\': out += '\\'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case '=': out += '='; break;
        case '[': out += '['; break;
        default: return std::nullopt;
        }
    }
    return out;
}

// The first '=' not escaped by a backslash.
std::size_t NameEnd(std::string_view line) {
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\\')
            ++i;
        else if (line[i] == '=')
            return i;
    }
    return std::string_view::npos;
}

class FileLock {
public:
    explicit FileLock(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ >= 0 && ::flock(fd_, LOCK_EX) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~FileLock() {
        if (fd_ >= 0)
            ::close(fd_);  // also releases the lock
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool Held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

}  // namespace

bool RegistryData::KeyLess::operator()(std::string_view a, std::string_view b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return Lower(x) < Lower(y); });
}

void RegistryData::CreateKey(const std::string& key) {
    for (std::size_t at = key.find('\\'); at != std::string::npos; at = key.find('\\', at + 1))
        keys.try_emplace(key.substr(0, at));
    keys.try_emplace(key);
}

void RegistryData::SetValue(const std::string& key, const std::string& name, const std::string& value) {
    CreateKey(key);
    keys[key][name] = value;
}

std::optional<std::string> RegistryData::Value(std::string_view key, std::string_view name) const {
    auto found = keys.find(key);
    if (found == keys.end())
        return std::nullopt;
    auto value = found->second.find(std::string(name));
    if (value == found->second.end())
        return std::nullopt;
    return value->second;
}

bool RegistryData::HasKey(std::string_view key) const {
    return keys.find(key) != keys.end();
}

bool RegistryData::DeleteTree(std::string_view key) {
    bool any = false;
    // Siblings such as "Name.1" or "Name 2" sort between a key and its
    // children ('.' and ' ' come before '\\'): the run of keys sharing the
    // text is walked to its end, and only the subtree is taken from it.
    for (auto it = keys.lower_bound(key); it != keys.end() && StartsWithText(it->first, key);) {
        if (StartsWithKey(it->first, key)) {
            it = keys.erase(it);
            any = true;
        } else {
            ++it;
        }
    }
    return any;
}

std::string RegistryData::Serialise() const {
    std::string out(kHeader);
    out += '\n';
    for (const auto& [key, values] : keys) {
        // Key paths are written as they are: '\\' separates their parts and
        // no key holds a line end.
        out += '[' + key + "]\n";
        for (const auto& [name, value] : values)
            out += Escape(name, true) + '=' + Escape(value, false) + '\n';
    }
    return out;
}

std::optional<RegistryData> RegistryData::Parse(std::string_view text) {
    RegistryData data;
    if (text.empty())
        return data;
    std::size_t lineStart = 0;
    bool first = true;
    std::string current;
    bool inKey = false;
    while (lineStart < text.size()) {
        std::size_t lineEnd = text.find('\n', lineStart);
        if (lineEnd == std::string_view::npos)
            lineEnd = text.size();
        std::string_view line = text.substr(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 1;
        if (first) {
            if (line != kHeader)
                return std::nullopt;
            first = false;
            continue;
        }
        if (line.empty())
            continue;
        if (line.front() == '[') {
            if (line.back() != ']')
                return std::nullopt;
            const std::string_view key = line.substr(1, line.size() - 2);
            if (key.empty() || key.find('\r') != std::string_view::npos)
                return std::nullopt;
            current = std::string(key);
            data.keys.try_emplace(current);
            inKey = true;
            continue;
        }
        std::size_t equals = NameEnd(line);
        if (!inKey || equals == std::string_view::npos)
            return std::nullopt;
        std::optional<std::string> name = Unescape(line.substr(0, equals));
        std::optional<std::string> value = Unescape(line.substr(equals + 1));
        if (!name || !value)
            return std::nullopt;
        data.keys[current][*name] = *value;
    }
    if (first)
        return std::nullopt;
    return data;
}

RegistryFile RegistryFile::ForUser() {
    return RegistryFile(NativePath(UserDataFolder() + L"Registry.txt"));
}

std::optional<RegistryData> RegistryFile::Read() const {
    std::error_code error;
    if (!std::filesystem::exists(path_, error) && !error)
        return RegistryData{};
    // Another process may have put anything at this path: only a regular
    // file of bounded size is read, and a pipe cannot hold the reader.
    std::optional<std::string> text = ReadRegularNativeFile(path_, kRegistryFileLimit);
    if (!text)
        return std::nullopt;
    return RegistryData::Parse(*text);
}

bool RegistryFile::Update(const std::function<bool(RegistryData&)>& change) const {
    try {
        std::filesystem::path path(path_);
        std::error_code error;
        std::filesystem::create_directories(path.parent_path(), error);
        if (error)
            return false;
        // A lock file beside the registry: the registry itself is replaced by
        // renaming, which a lock on it would not survive.
        FileLock lock(path_ + ".lock");
        if (!lock.Held())
            return false;
        std::optional<RegistryData> data = Read();
        if (!data)
            return false;
        if (!change(*data))
            return true;
        std::string temporary = path_ + ".tmp";
        {
            std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
            out << data->Serialise();
            out.flush();
            if (!out)
                return false;
        }
        std::filesystem::rename(temporary, path, error);
        return !error;
    } catch (...) {
        return false;
    }
}

std::optional<ServerEntry> FindServer(const RegistryData& registry, std::string_view clsidOrProgId) {
    std::string clsidText;
    if (ParseGuid(clsidOrProgId)) {
        clsidText = std::string(clsidOrProgId);
    } else {
        std::optional<std::string> viaProgId = registry.Value(std::string(clsidOrProgId) + "\\CLSID");
        if (!viaProgId)
            return std::nullopt;
        clsidText = *viaProgId;
    }
    std::optional<GUID> clsid = ParseGuid(clsidText);
    if (!clsid)
        return std::nullopt;
    std::string key = "CLSID\\" + FormatGuid(*clsid);
    std::optional<std::string> library = registry.Value(key + "\\InprocServer32");
    if (!library || library->empty())
        return std::nullopt;
    ServerEntry entry;
    entry.clsid = *clsid;
    entry.library = *library;
    entry.safeForScripting = registry.HasKey(key + "\\Implemented Categories\\" + std::string(kCategorySafeForScripting));
    entry.safeForInitializing =
        registry.HasKey(key + "\\Implemented Categories\\" + std::string(kCategorySafeForInitializing));
    return entry;
}

}  // namespace zov
