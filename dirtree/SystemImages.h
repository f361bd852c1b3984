// The small pictures a folder tree shows, kept once per process as the
// desktop keeps its system image list: an index per kind of item, the
// pictures side by side in one strip.
#pragma once

#include "platform/HostWindow.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace zov {

inline constexpr std::int32_t kSmallIconSide = 16;
// Pictures in the list at most; a further file type gets the picture of
// files of no known type.
inline constexpr std::size_t kSystemImageLimit = 64;

enum class TreeIcon { Drive, RemoteFolder, Folder, OpenFolder, File };

// The picture's index for an item of `kind` (for File, of a file with
// `extension`); nothing when no picture could be made.
std::optional<std::int32_t> SystemImageIndex(TreeIcon kind, std::wstring_view extension = {});
// The whole list as it stands.
ImageList SystemImages();
// How many pictures the list holds, without building its strip.
std::size_t SystemImageCount();

}  // namespace zov
