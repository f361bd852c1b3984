// Reads frame messages as the page does: header, tiles, and each tile's
// pixels painted onto a canvas of the window's size.
#pragma once

#include "host/TileFrame.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zov::test {

struct FrameTile {
    std::uint32_t x = 0, y = 0, w = 0, h = 0;
    std::uint8_t encoding = 0;
    std::size_t payload = 0;
};

struct Frame {
    std::uint32_t kind = 0, element = 0, sequence = 0, width = 0, height = 0;
    std::vector<FrameTile> tiles;
};

// The page's picture, in words 0x00RRGGBB like the window's.
struct Canvas {
    std::uint32_t width = 0, height = 0;
    std::vector<std::uint32_t> pixels;
};

inline std::uint32_t ReadLittleEndian(const std::string& bytes, std::size_t at, int size) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | static_cast<std::uint8_t>(bytes[at + static_cast<std::size_t>(i)]);
    return value;
}

// Nothing when the message is malformed: lengths that do not add up, a tile
// outside the window, an unknown encoding, runs that do not fill their tile.
// With a canvas, the tiles are painted on it (resized to the frame's size).
inline std::optional<Frame> ReadFrame(const std::string& bytes, Canvas* canvas = nullptr) {
    if (bytes.size() < host::kFrameHeaderBytes)
        return std::nullopt;
    Frame frame{ReadLittleEndian(bytes, 0, 4), ReadLittleEndian(bytes, 4, 4), ReadLittleEndian(bytes, 8, 4),
                ReadLittleEndian(bytes, 12, 2), ReadLittleEndian(bytes, 14, 2), {}};
    if (canvas && (canvas->width != frame.width || canvas->height != frame.height)) {
        canvas->width = frame.width;
        canvas->height = frame.height;
        canvas->pixels.assign(std::size_t{frame.width} * frame.height, 0xFF000000u);  // never painted
    }
    const std::uint32_t count = ReadLittleEndian(bytes, 16, 4);
    std::size_t at = host::kFrameHeaderBytes;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (at + host::kTileHeaderBytes > bytes.size())
            return std::nullopt;
        FrameTile tile{ReadLittleEndian(bytes, at, 2),     ReadLittleEndian(bytes, at + 2, 2),
                       ReadLittleEndian(bytes, at + 4, 2), ReadLittleEndian(bytes, at + 6, 2),
                       static_cast<std::uint8_t>(bytes[at + 8]), ReadLittleEndian(bytes, at + 12, 4)};
        at += host::kTileHeaderBytes;
        if (tile.w == 0 || tile.h == 0 || tile.x + tile.w > frame.width || tile.y + tile.h > frame.height ||
            at + tile.payload > bytes.size())
            return std::nullopt;
        const std::size_t area = std::size_t{tile.w} * tile.h;
        std::vector<std::uint32_t> pixels;
        auto rgb = [&](std::size_t p) {
            return ReadLittleEndian(bytes, p, 1) << 16 | ReadLittleEndian(bytes, p + 1, 1) << 8 |
                   ReadLittleEndian(bytes, p + 2, 1);
        };
        switch (tile.encoding) {
        case host::kTileRaw:
            if (tile.payload != area * 4)
                return std::nullopt;
            for (std::size_t p = 0; p < area; ++p) {
                if (static_cast<std::uint8_t>(bytes[at + p * 4 + 3]) != 0xFF)
                    return std::nullopt;  // the canvas shows opaque pixels only
                pixels.push_back(rgb(at + p * 4));
            }
            break;
        case host::kTileRgb:
            if (tile.payload != area * 3)
                return std::nullopt;
            for (std::size_t p = 0; p < area; ++p)
                pixels.push_back(rgb(at + p * 3));
            break;
        case host::kTileSolid:
            if (tile.payload != 4 || static_cast<std::uint8_t>(bytes[at + 3]) != 0xFF)
                return std::nullopt;
            pixels.assign(area, rgb(at));
            break;
        case host::kTileRuns:
            if (tile.payload % 5 != 0)
                return std::nullopt;
            for (std::size_t p = at; p < at + tile.payload; p += 5) {
                const std::uint32_t run = ReadLittleEndian(bytes, p, 2);
                if (run == 0 || pixels.size() + run > area)
                    return std::nullopt;
                pixels.insert(pixels.end(), run, rgb(p + 2));
            }
            if (pixels.size() != area)
                return std::nullopt;
            break;
        default:
            return std::nullopt;
        }
        at += tile.payload;
        if (canvas)
            for (std::uint32_t row = 0; row < tile.h; ++row)
                for (std::uint32_t column = 0; column < tile.w; ++column)
                    canvas->pixels[std::size_t{tile.y + row} * frame.width + tile.x + column] =
                        pixels[std::size_t{row} * tile.w + column];
        frame.tiles.push_back(tile);
    }
    if (at != bytes.size())
        return std::nullopt;
    return frame;
}

}  // namespace zov::test
