#include "host/TileFrame.h"

#include <algorithm>
#include <cstring>

namespace zov::host {

namespace {

void Put16(std::string& out, std::size_t at, std::uint32_t value) {
    out[at] = static_cast<char>(value & 0xFF);
    out[at + 1] = static_cast<char>((value >> 8) & 0xFF);
}

void Put32(std::string& out, std::size_t at, std::uint32_t value) {
    Put16(out, at, value & 0xFFFF);
    Put16(out, at + 2, value >> 16);
}

bool TileDiffers(const Picture& a, const Picture& b, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
    const auto rowBytes = static_cast<std::size_t>(w) * sizeof(std::uint32_t);
    for (std::int32_t row = y; row < y + h; ++row) {
        const std::size_t at = static_cast<std::size_t>(row) * static_cast<std::size_t>(a.width) +
                               static_cast<std::size_t>(x);
        if (std::memcmp(&a.pixels[at], &b.pixels[at], rowBytes) != 0)
            return true;
    }
    return false;
}

}  // namespace

namespace {

// One channel of a moving tile's colour, to the nearest multiple of the step.
std::uint32_t Rough(std::uint32_t channel) {
    return std::min<std::uint32_t>(255, (channel + kMovingStep / 2) / kMovingStep * kMovingStep);
}

// Runs of equal pixels of one tile in row-major order, as (count, pixel), of
// the pixels themselves or, `rough`, of their colours rounded.
void CollectRuns(const Picture& picture, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h,
                 std::vector<std::pair<std::uint16_t, std::uint32_t>>& runs, bool rough = false) {
    runs.clear();
    for (std::int32_t row = y; row < y + h; ++row) {
        const std::uint32_t* source =
            &picture.pixels[static_cast<std::size_t>(row) * static_cast<std::size_t>(picture.width) +
                            static_cast<std::size_t>(x)];
        for (std::int32_t i = 0; i < w; ++i) {
            std::uint32_t word = source[i] & 0xFFFFFF;
            if (rough)
                word = Rough(word >> 16) << 16 | Rough(word >> 8 & 0xFF) << 8 | Rough(word & 0xFF);
            if (!runs.empty() && runs.back().second == word)
                ++runs.back().first;
            else
                runs.emplace_back(1, word);
        }
    }
}

void PutRgb(std::uint8_t*& out, std::uint32_t word) {
    *out++ = static_cast<std::uint8_t>(word >> 16);
    *out++ = static_cast<std::uint8_t>(word >> 8);
    *out++ = static_cast<std::uint8_t>(word);
}

// Appends one tile's header and leaves room for `payload` bytes after it;
// returns where they go.
std::uint8_t* PutTileHeader(EncodedFrame& frame, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h,
                            TileEncoding encoding, std::size_t payload) {
    const std::size_t at = frame.bytes.size();
    frame.bytes.resize(at + kTileHeaderBytes + payload);
    Put16(frame.bytes, at, static_cast<std::uint32_t>(x));
    Put16(frame.bytes, at + 2, static_cast<std::uint32_t>(y));
    Put16(frame.bytes, at + 4, static_cast<std::uint32_t>(w));
    Put16(frame.bytes, at + 6, static_cast<std::uint32_t>(h));
    frame.bytes[at + 8] = static_cast<char>(encoding);
    Put32(frame.bytes, at + 12, static_cast<std::uint32_t>(payload));
    ++frame.tiles;
    return reinterpret_cast<std::uint8_t*>(frame.bytes.data() + at + kTileHeaderBytes);
}

void RecordSent(const Picture& current, Picture& sent, std::int32_t x, std::int32_t y, std::int32_t w,
                std::int32_t h) {
    for (std::int32_t row = y; row < y + h; ++row) {
        const std::size_t from =
            static_cast<std::size_t>(row) * static_cast<std::size_t>(current.width) + static_cast<std::size_t>(x);
        std::memcpy(&sent.pixels[from], &current.pixels[from], static_cast<std::size_t>(w) * sizeof(std::uint32_t));
    }
}

// The payload of a w x h tile of `runs` runs in the shortest coding.
std::size_t CodedBytes(std::size_t runs, std::int32_t w, std::int32_t h) {
    const std::size_t rgbBytes = static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 3;
    return runs == 1 ? 4 : runs * 5 < rgbBytes ? runs * 5 : rgbBytes;
}

// The tile in the shortest coding of `runs`, its runs (of its pixels, or of
// an approximation of them).
void PutTile(EncodedFrame& frame, const Picture& current, std::int32_t x, std::int32_t y, std::int32_t w,
             std::int32_t h, const std::vector<std::pair<std::uint16_t, std::uint32_t>>& runs) {
    const std::size_t payload = CodedBytes(runs.size(), w, h);
    if (runs.size() == 1) {
        std::uint8_t* out = PutTileHeader(frame, x, y, w, h, kTileSolid, payload);
        PutRgb(out, runs.front().second);
        *out = 0xFF;
    } else if (payload != static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 3) {
        std::uint8_t* out = PutTileHeader(frame, x, y, w, h, kTileRuns, payload);
        for (const auto& [count, word] : runs) {
            *out++ = static_cast<std::uint8_t>(count & 0xFF);
            *out++ = static_cast<std::uint8_t>(count >> 8);
            PutRgb(out, word);
        }
    } else {
        std::uint8_t* out = PutTileHeader(frame, x, y, w, h, kTileRgb, payload);
        for (std::int32_t row = y; row < y + h; ++row) {
            const std::uint32_t* source =
                &current.pixels[static_cast<std::size_t>(row) * static_cast<std::size_t>(current.width) +
                                static_cast<std::size_t>(x)];
            for (std::int32_t i = 0; i < w; ++i)
                PutRgb(out, source[i]);
        }
    }
}

}  // namespace

EncodedFrame EncodeFrame(std::uint32_t element, std::uint32_t sequence, const Picture& current, Picture& sent,
                         TileHistory* history) {
    const bool whole = sent.width != current.width || sent.height != current.height ||
                       sent.pixels.size() != current.pixels.size();
    if (whole) {
        sent.width = current.width;
        sent.height = current.height;
        sent.pixels.assign(current.pixels.size(), 0);
    }
    const std::int32_t columns = (current.width + kTileSize - 1) / kTileSize;
    const std::int32_t rows = (current.height + kTileSize - 1) / kTileSize;
    if (history && (whole || history->columns != columns || history->rows != rows)) {
        const auto tiles = static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows);
        *history = TileHistory{columns, rows, std::vector<std::uint8_t>(tiles, 0), std::vector<std::uint8_t>(tiles, 0), 0};
    }
    EncodedFrame frame;
    frame.bytes.assign(kFrameHeaderBytes, '\0');
    frame.bytes[0] = static_cast<char>(kMessageFrame);
    Put32(frame.bytes, 4, element);
    Put32(frame.bytes, 8, sequence);
    Put16(frame.bytes, 12, static_cast<std::uint32_t>(current.width));
    Put16(frame.bytes, 14, static_cast<std::uint32_t>(current.height));
    std::vector<std::pair<std::uint16_t, std::uint32_t>> runs;
    std::vector<std::pair<std::uint16_t, std::uint32_t>> rough;
    for (std::int32_t row = 0; row < rows; ++row) {
        const std::int32_t y = row * kTileSize;
        const std::int32_t h = std::min(kTileSize, current.height - y);
        for (std::int32_t column = 0; column < columns; ++column) {
            const std::int32_t x = column * kTileSize;
            const std::int32_t w = std::min(kTileSize, current.width - x);
            const std::int32_t tile = row * columns + column;
            const bool differs = whole || TileDiffers(current, sent, x, y, w, h);
            bool moving = false, lossy = false;
            if (history) {
                const auto t = static_cast<std::size_t>(tile);
                moving = differs && history->changed[t];
                lossy = history->lossy[t] != 0;
                // The first picture, or one of a new size, is no movement.
                history->changed[t] = differs && !whole ? 1 : 0;
            }
            // An approximation that stopped moving is sent exactly.
            if (!differs && !lossy)
                continue;
            CollectRuns(current, x, y, w, h, runs);
            bool approximate = false;
            if (moving && runs.size() > 1) {
                CollectRuns(current, x, y, w, h, rough, true);
                approximate = CodedBytes(rough.size(), w, h) < CodedBytes(runs.size(), w, h);
            }
            PutTile(frame, current, x, y, w, h, approximate ? rough : runs);
            RecordSent(current, sent, x, y, w, h);
            if (history)
                history->lossy[static_cast<std::size_t>(tile)] = approximate ? 1 : 0;
        }
    }
    if (history)
        history->lossyTiles = static_cast<std::size_t>(std::count(history->lossy.begin(), history->lossy.end(), 1));
    Put32(frame.bytes, 16, frame.tiles);
    return frame;
}

}  // namespace zov::host
