// The machine's volumes, standing in for the logical drives a folder tree
// shows when it is given no roots: "/" first, then every mounted block
// device and network file system, each ending in "/".
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zov {

// The drive list holds at most this many characters, each volume counted
// with one terminator, as a drive-string buffer of 256 characters does; the
// volumes past it are left out.
inline constexpr std::size_t kDriveStringsChars = 256;

// The volumes named by a mount table in the format of /proc/self/mounts.
std::vector<std::wstring> VolumesOfMountTable(std::string_view table);
// The volumes of this machine; nothing when the mount table cannot be read.
std::optional<std::vector<std::wstring>> MachineVolumes();

}  // namespace zov
