// Where the viewer keeps its per-user files: the local cache, event files,
// sticky notes, the view-state file and the files work windows meet through.
#pragma once

#include <string>

namespace zov {

// $ZOV_DATA_HOME when set (tests point it at a temporary folder), else an
// absolute $XDG_DATA_HOME, else ~/.local/share. No trailing separator.
std::wstring LocalAppDataFolder();

// LocalAppDataFolder() + "\ZOVuvazaR\", in the '\' form the viewer builds its
// paths in (see NativePath).
std::wstring UserDataFolder();

}  // namespace zov
