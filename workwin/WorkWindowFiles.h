// The files through which work windows in other browser windows (often other
// processes) meet: the per-host coordination folder, the files-to-add file
// and the markers each work window keeps of what it shows.
#pragma once

namespace zov {

}  // namespace zov
