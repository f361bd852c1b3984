#include "dirtree/Volumes.h"

#include "platform/Encoding.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <sstream>

namespace zov {

namespace {

// A mount table far larger than this is no machine's.
constexpr std::size_t kMountTableLimit = std::size_t{1} << 20;

// Network file systems count as volumes; every other kind without a device
// (proc, tmpfs, cgroup, overlay...) does not.
bool IsNetworkType(std::string_view type) {
    for (std::string_view network : {"nfs", "nfs4", "cifs", "smb3", "smbfs", "fuse.sshfs", "9p"})
        if (type == network)
            return true;
    return false;
}

// The table writes blanks, tabs, newlines and backslashes of a mount point
// as three octal digits after a backslash.
std::string Unescape(std::string_view field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string_view digits = field.substr(i + 1, 3);
            if (digits.size() == 3 && std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '7'; })) {
                out += static_cast<char>((digits[0] - '0') * 64 + (digits[1] - '0') * 8 + (digits[2] - '0'));
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

}  // namespace

std::vector<std::wstring> VolumesOfMountTable(std::string_view table) {
    std::vector<std::wstring> volumes{L"/"};
    std::size_t used = 2;
    std::istringstream lines{std::string(table.substr(0, kMountTableLimit))};
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string source, point, type;
        if (!(fields >> source >> point >> type))
            continue;
        if (source.rfind("/dev/", 0) != 0 && !IsNetworkType(type))
            continue;
        std::wstring volume = FromUtf8(Unescape(point));
        if (volume.empty() || volume.front() != L'/')
            continue;
        if (volume.back() != L'/')
            volume += L'/';
        if (std::find(volumes.begin(), volumes.end(), volume) != volumes.end())
            continue;
        if (used + volume.size() + 1 > kDriveStringsChars)
            break;
        used += volume.size() + 1;
        volumes.push_back(std::move(volume));
    }
    std::sort(volumes.begin() + 1, volumes.end());
    return volumes;
}

std::optional<std::vector<std::wstring>> MachineVolumes() {
    std::optional<std::string> table = ReadRegularNativeFile("/proc/self/mounts", kMountTableLimit);
    if (!table)
        return std::nullopt;
    return VolumesOfMountTable(*table);
}

}  // namespace zov
