#include "platform/HostWindow.h"

#include <algorithm>
#include <cmath>

namespace zov {

std::int32_t ToolbarLength(std::int32_t length, double scale) {
    // Math.round of the page: halves go up.
    return static_cast<std::int32_t>(std::floor(length * scale + 0.5));
}

RECT ToolbarButtonRect(const ToolbarTemplate& toolbar, std::int32_t buttonId) {
    const std::int32_t height = toolbar.rect.bottom - toolbar.rect.top;
    const std::int32_t separator = ToolbarLength(kToolbarSeparatorWidth, toolbar.scale);
    const std::int32_t buttonWidth = toolbar.imageSide + ToolbarLength(kToolbarButtonPadding, toolbar.scale);
    std::int32_t left = 0;
    for (const ToolbarButton& button : toolbar.buttons) {
        const std::int32_t width = button.Separator() ? separator : buttonWidth;
        if (!button.Separator() && button.id == buttonId)
            return RECT{left, 0, left + width, height};
        left += width;
    }
    return RECT{};
}

void ClampScrollPosition(SCROLLINFO& info) {
    std::int64_t page = info.nPage > 0 ? static_cast<std::int64_t>(info.nPage) - 1 : 0;
    std::int64_t highest = std::max<std::int64_t>(info.nMin, info.nMax - page);
    info.nPos = static_cast<std::int32_t>(std::clamp<std::int64_t>(info.nPos, info.nMin, highest));
}

void ReadScrollInfo(const SCROLLINFO& held, SCROLLINFO& info) {
    if (info.fMask & SIF_RANGE) {
        info.nMin = held.nMin;
        info.nMax = held.nMax;
    }
    if (info.fMask & SIF_PAGE)
        info.nPage = held.nPage;
    if (info.fMask & SIF_POS)
        info.nPos = held.nPos;
    if (info.fMask & SIF_TRACKPOS)
        info.nTrackPos = held.nTrackPos;
}

void ApplyScrollInfo(SCROLLINFO& held, const SCROLLINFO& info) {
    if (info.fMask & SIF_RANGE) {
        held.nMin = info.nMin;
        held.nMax = info.nMax;
    }
    if (info.fMask & SIF_PAGE)
        held.nPage = info.nPage;
    if (info.fMask & SIF_POS)
        held.nPos = info.nPos;
    std::int64_t range = static_cast<std::int64_t>(held.nMax) - held.nMin + 1;
    if (range < 0)
        range = 0;
    if (held.nPage > range)
        held.nPage = static_cast<std::uint32_t>(range);
    ClampScrollPosition(held);
}

}  // namespace zov
