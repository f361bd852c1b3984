// Frames for the page: the window's picture cut into 64 x 64 tiles, of which
// only those that changed since the last frame the page received are sent.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace zov::host {

inline constexpr std::int32_t kTileSize = 64;
inline constexpr std::size_t kFrameHeaderBytes = 20;
inline constexpr std::size_t kTileHeaderBytes = 16;
inline constexpr std::uint8_t kMessageFrame = 1;
// Frames sent to one element and not yet acknowledged. More than one keeps
// the next frame's encoding and sending going while the page draws the last;
// few enough that what the page shows is never more than a few ticks old.
inline constexpr std::uint32_t kFramesInFlight = 3;

// How a tile's pixels are written. Pages are mostly runs of one colour (paper,
// desk), and the page's socket moves bytes far slower than memory does.
enum TileEncoding : std::uint8_t {
    kTileRaw = 0,    // w*h pixels, RGBA (read by the page; no longer written)
    kTileSolid = 1,  // one pixel, RGBA, for the whole tile
    kTileRuns = 2,   // runs in row-major order: count (2 bytes, 1..4096), R, G, B
    kTileRgb = 3,    // w*h pixels, R, G, B: a quarter less to move than RGBA
};

// Tiles that change in two frames running are moving (a turning leaf, a
// zoom): each channel of their colours goes rounded to a multiple of
// kMovingStep (255 stays 255), which makes the runs of a shaded, noisy page
// picture longer and its tiles some forty per cent smaller, while the desk,
// white paper and black stay exactly as they are. A tile sent so is sent
// exactly as soon as a frame finds it unchanged, and the window asks for such
// a frame when it stops presenting (kRepairDelay): what rests on the page is
// always exact.
inline constexpr std::uint32_t kMovingStep = 8;
inline constexpr std::chrono::milliseconds kRepairDelay{40};

// What the page holds of each tile beyond the pixels `sent` records.
struct TileHistory {
    std::int32_t columns = 0;
    std::int32_t rows = 0;
    std::vector<std::uint8_t> changed;  // in the last frame
    std::vector<std::uint8_t> lossy;    // the page shows an approximation
    std::size_t lossyTiles = 0;
};

// A picture in words 0x00RRGGBB, row-major, top row first.
struct Picture {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint32_t> pixels;
};

struct EncodedFrame {
    std::string bytes;  // the binary message
    std::uint32_t tiles = 0;
};

// The frame message taking the page from `sent` to `current`: every tile of
// `current` that differs from `sent`, all of them when the sizes differ.
// Afterwards `sent` equals `current`. Nothing (zero tiles) when no pixel
// changed.
// With `history`, moving tiles go approximately and approximations that came
// to rest exactly; `sent` always records the exact pixels, `history` which of
// them the page has only approximately.
EncodedFrame EncodeFrame(std::uint32_t element, std::uint32_t sequence, const Picture& current, Picture& sent,
                         TileHistory* history = nullptr);

}  // namespace zov::host
