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

// Runs of equal pixels of one tile in row-major order, as (count, pixel).
void CollectRuns(const Picture& picture, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h,
                 std::vector<std::pair<std::uint16_t, std::uint32_t>>& runs) {
    runs.clear();
    for (std::int32_t row = y; row < y + h; ++row) {
        const std::uint32_t* source =
            &picture.pixels[static_cast<std::size_t>(row) * static_cast<std::size_t>(picture.width) +
                            static_cast<std::size_t>(x)];
        for (std::int32_t i = 0; i < w; ++i) {
            const std::uint32_t word = source[i] & 0xFFFFFF;
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

}  // namespace

EncodedFrame EncodeFrame(std::uint32_t element, std::uint32_t sequence, const Picture& current, Picture& sent) {
    const bool whole = sent.width != current.width || sent.height != current.height ||
                       sent.pixels.size() != current.pixels.size();
    if (whole) {
        sent.width = current.width;
        sent.height = current.height;
        sent.pixels.assign(current.pixels.size(), 0);
    }
    EncodedFrame frame;
    frame.bytes.assign(kFrameHeaderBytes, '\0');
    frame.bytes[0] = static_cast<char>(kMessageFrame);
    Put32(frame.bytes, 4, element);
    Put32(frame.bytes, 8, sequence);
    Put16(frame.bytes, 12, static_cast<std::uint32_t>(current.width));
    Put16(frame.bytes, 14, static_cast<std::uint32_t>(current.height));
    std::vector<std::pair<std::uint16_t, std::uint32_t>> runs;
    for (std::int32_t y = 0; y < current.height; y += kTileSize) {
        const std::int32_t h = std::min(kTileSize, current.height - y);
        for (std::int32_t x = 0; x < current.width; x += kTileSize) {
            const std::int32_t w = std::min(kTileSize, current.width - x);
            if (!whole && !TileDiffers(current, sent, x, y, w, h))
                continue;
            CollectRuns(current, x, y, w, h, runs);
            const std::size_t rawBytes = static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 3;
            TileEncoding encoding = kTileRgb;
            std::size_t payload = rawBytes;
            if (runs.size() == 1) {
                encoding = kTileSolid;
                payload = 4;
            } else if (runs.size() * 5 < rawBytes) {
                encoding = kTileRuns;
                payload = runs.size() * 5;
            }
            const std::size_t at = frame.bytes.size();
            frame.bytes.resize(at + kTileHeaderBytes + payload);
            Put16(frame.bytes, at, static_cast<std::uint32_t>(x));
            Put16(frame.bytes, at + 2, static_cast<std::uint32_t>(y));
            Put16(frame.bytes, at + 4, static_cast<std::uint32_t>(w));
            Put16(frame.bytes, at + 6, static_cast<std::uint32_t>(h));
            frame.bytes[at + 8] = static_cast<char>(encoding);
            Put32(frame.bytes, at + 12, static_cast<std::uint32_t>(payload));
            auto* out = reinterpret_cast<std::uint8_t*>(frame.bytes.data() + at + kTileHeaderBytes);
            if (encoding == kTileSolid) {
                PutRgb(out, runs.front().second);
                *out++ = 0xFF;
            } else if (encoding == kTileRuns) {
                for (const auto& [count, word] : runs) {
                    *out++ = static_cast<std::uint8_t>(count & 0xFF);
                    *out++ = static_cast<std::uint8_t>(count >> 8);
                    PutRgb(out, word);
                }
            }
            for (std::int32_t row = y; row < y + h; ++row) {
                const std::size_t from = static_cast<std::size_t>(row) * static_cast<std::size_t>(current.width) +
                                         static_cast<std::size_t>(x);
                const std::uint32_t* source = &current.pixels[from];
                if (encoding == kTileRgb) {
                    for (std::int32_t i = 0; i < w; ++i)
                        PutRgb(out, source[i]);
                }
                std::memcpy(&sent.pixels[from], source, static_cast<std::size_t>(w) * sizeof(std::uint32_t));
            }
            ++frame.tiles;
        }
    }
    Put32(frame.bytes, 16, frame.tiles);
    return frame;
}

}  // namespace zov::host
