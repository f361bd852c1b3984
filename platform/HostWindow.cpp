#include "platform/HostWindow.h"

#include <algorithm>

namespace zov {

void ClampScrollPosition(SCROLLINFO& info) {
    std::int64_t page = info.nPage > 0 ? static_cast<std::int64_t>(info.nPage) - 1 : 0;
    std::int64_t highest = std::max<std::int64_t>(info.nMin, info.nMax - page);
    info.nPos = static_cast<std::int32_t>(std::clamp<std::int64_t>(info.nPos, info.nMin, highest));
}

}  // namespace zov
