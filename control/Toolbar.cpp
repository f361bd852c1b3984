#include "control/Toolbar.h"

#include "render/FileIcons.h"
#include "resources/Resources.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <string_view>

namespace zov {

namespace {

struct Tip {
    const wchar_t* japanese;
    const wchar_t* english;
};

// Buttons 1..19.
constexpr Tip kTips[] = {
    {L"拡大", L"Zoom in"},
    {L"縮小", L"Zoom out"},
    {L"右ページを全てめくる", L"Flip all of right-hand pages"},
    {L"右ページを10ページめくる", L"Flip 10 right-hand pages"},
    {L"右ページをめくる", L"Flip a right-hand"},
    {L"左ページをめくる", L"Flip a left-hand page"},
    {L"左ページを10ページめくる", L"Flip 10 left-hand pages"},
    {L"左ページを全てめくる", L"Flip all of left-hand pages"},
    {L"自動ページめくり", L"Flip automatically"},
    {L"ページめくりの速度調整", L"Speed regulation of flipping a page"},
    {L"サムネイル表示に戻す", L"View files in thumbnailed form"},
    {L"見開き", L"Double spread"},
    {L"片開き", L"Single spread"},
    {L"単ページ", L"Single page"},
    {L"左開き", L"Left stitch"},
    {L"右開き", L"Right stitch"},
    {L"前のファイル", L"Previous File"},
    {L"次のファイル", L"Next File"},
    {L"検索ダイアログ", L"Search Dialog"},
};
constexpr Tip kStopTip = {L"停止", L"Stop"};

// 0 is a separator.
constexpr std::int32_t kStandardLayout[] = {1, 2, 0, 3, 4, 5, 6, 7, 8, 0, 9, 10, 0, 11, 0, 12, 13, 14, 0, 15, 16, 0, 17, 18};
constexpr std::int32_t kLargeLayout[] = {19, 0, 1, 2, 0, 3, 4, 5, 6, 7, 8, 0, 9, 10, 0, 11, 0, 12, 13, 14, 0, 15, 16, 0, 17, 18};

// The toolbar's own bitmap and its two image lists, per kind.
struct Bitmaps {
    std::int32_t buttons;
    std::int32_t images;
    std::int32_t disabled;
};
constexpr Bitmaps kStandard32Bitmaps{171, 259, 261};
constexpr Bitmaps kStandard16Bitmaps{275, 268, 269};
constexpr Bitmaps kLarge32Bitmaps{278, 272, 273};

std::string_view BitmapFile(std::int32_t resource, bool fine) {
    // The 16-pixel pictures at twice the size are the 32-pixel ones.
    if (fine) {
        switch (resource) {
        case 171:
        case 259: return "toolbar/standard-64.png";
        case 261: return "toolbar/standard-64-disabled.png";
        case 275:
        case 268: return "toolbar/standard-32.png";
        case 269: return "toolbar/standard-32-disabled.png";
        case 278:
        case 272: return "toolbar/large-64.png";
        case 273: return "toolbar/large-64-disabled.png";
        default: return {};
        }
    }
    switch (resource) {
    case 171:
    case 259: return "toolbar/standard-32.png";
    case 261: return "toolbar/standard-32-disabled.png";
    case 275:
    case 268: return "toolbar/standard-16.png";
    case 269: return "toolbar/standard-16-disabled.png";
    case 278:
    case 272: return "toolbar/large-32.png";
    case 273: return "toolbar/large-32-disabled.png";
    default: return {};
    }
}

// The longest strip a bitmap may be: 32 buttons at 64 pixels.
constexpr std::uint32_t kLongestStrip = 32 * 64;

struct SpeedItem {
    std::uint32_t id;
    int speed;
    const wchar_t* japanese;
    const wchar_t* english;
};
constexpr SpeedItem kSpeedItems[] = {
    {32787, 50, L"最高速", L"Highest speed"},
    {32788, 20, L"高速", L"High speed"},
    {32789, 10, L"中速", L"Medium speed"},
    {32790, 5, L"低速", L"Low speed"},
    {32791, 2, L"最低速", L"Lowest speed"},
};

}  // namespace

ToolbarKind ChooseToolbarKind(bool large, std::int32_t windowWidth) {
    if (large)
        return ToolbarKind::Large32;
    return windowWidth >= kLargeImagesMinWidth ? ToolbarKind::Standard32 : ToolbarKind::Standard16;
}

std::int32_t ImageSideOf(ToolbarKind kind) {
    return kind == ToolbarKind::Standard16 ? 16 : 32;
}

double ToolbarScale(double deviceScale) {
    return std::isfinite(deviceScale) ? std::clamp(deviceScale, 1.0, static_cast<double>(kMaxDpi) / kBaseDpi) : 1.0;
}

std::int32_t ShownImageSide(ToolbarKind kind, double deviceScale) {
    return ToolbarLength(ImageSideOf(kind), ToolbarScale(deviceScale));
}

std::wstring ToolbarTip(std::int32_t button, bool japanese, bool autoFlipRunning) {
    if (button < 1 || button > static_cast<std::int32_t>(std::size(kTips)))
        return {};
    const Tip& tip = button == kButtonAutoFlip && autoFlipRunning ? kStopTip : kTips[button - 1];
    return japanese ? tip.japanese : tip.english;
}

ImageList ToolbarBitmap(std::int32_t resource, bool fine) {
    ImageList list;
    const std::string_view file = BitmapFile(resource, fine);
    if (file.empty())
        return list;
    std::optional<RgbaImage> strip = ReadRgbaPng(EmbeddedResource(file), kLongestStrip);
    if (!strip || strip->height <= 0 || strip->width % strip->height != 0)
        return list;
    list.imageWidth = strip->height;
    list.imageHeight = strip->height;
    list.pixels.resize(static_cast<std::size_t>(strip->width) * static_cast<std::size_t>(strip->height));
    for (std::size_t i = 0; i < list.pixels.size(); ++i) {
        const std::uint8_t* p = &strip->rgba[i * 4];
        list.pixels[i] = (std::uint32_t{p[3]} << 24) | (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
    }
    return list;
}

ToolbarTemplate MakeToolbar(ToolbarKind kind, std::int32_t width, bool japanese, bool autoFlipRunning,
                            double scale) {
    const Bitmaps& bitmaps = kind == ToolbarKind::Large32      ? kLarge32Bitmaps
                             : kind == ToolbarKind::Standard32 ? kStandard32Bitmaps
                                                               : kStandard16Bitmaps;
    ToolbarTemplate toolbar;
    toolbar.scale = ToolbarScale(scale);
    toolbar.imageSide = ShownImageSide(kind, scale);
    toolbar.rect = RECT{0, 0, width, ToolbarHeight(toolbar.imageSide, toolbar.scale)};
    const bool fine = toolbar.scale >= kFinePicturesScale;
    toolbar.images = ToolbarBitmap(bitmaps.images, fine);
    toolbar.disabledImages = ToolbarBitmap(bitmaps.disabled, fine);
    std::int32_t image = 0;
    auto add = [&](std::int32_t id) {
        ToolbarButton button;
        if (id != 0) {
            button.id = id;
            button.image = image++;
            button.tip = ToolbarTip(id, japanese, autoFlipRunning);
            button.dropdown = id == kButtonSpeed;
        }
        toolbar.buttons.push_back(button);
    };
    if (kind == ToolbarKind::Large32)
        for (std::int32_t id : kLargeLayout)
            add(id);
    else
        for (std::int32_t id : kStandardLayout)
            add(id);
    return toolbar;
}

std::vector<MenuItem> SpeedMenu(bool japanese, int speed) {
    std::vector<MenuItem> items;
    for (const SpeedItem& item : kSpeedItems)
        items.push_back(MenuItem{item.id, japanese ? item.japanese : item.english, item.speed == speed, true});
    return items;
}

int SpeedOfMenuItem(std::uint32_t item) {
    for (const SpeedItem& speedItem : kSpeedItems)
        if (speedItem.id == item)
            return speedItem.speed;
    return 0;
}

std::vector<MenuItem> ContextMenu(bool zoomed) {
    // Japanese in both languages.
    return {
        MenuItem{kMenuAddNote, L"付箋を追加", false, zoomed},
        MenuItem{kMenuOpenInNewWindow, L"新しいウインドウで開く", false, true},
        MenuItem{kMenuJumpToPage, L"指定ページへのジャンプ", false, zoomed},
        MenuItem{},
        MenuItem{kMenuDelete, L"削除", false, !zoomed},
    };
}

}  // namespace zov
