#include "host/TileFrame.h"
#include "tests/host/FrameReader.h"

#include <algorithm>
#include <cstdlib>

#include <gtest/gtest.h>

namespace zov::host {
namespace {

using test::Canvas;
using test::Frame;
using test::ReadFrame;

Picture Filled(std::int32_t width, std::int32_t height, std::uint32_t colour) {
    return Picture{width, height, std::vector<std::uint32_t>(static_cast<std::size_t>(width) * height, colour)};
}

void SetPixel(Picture& picture, std::int32_t x, std::int32_t y, std::uint32_t colour) {
    picture.pixels[static_cast<std::size_t>(y) * picture.width + x] = colour;
}

// Noise that no run-length coding shortens.
Picture Noise(std::int32_t width, std::int32_t height) {
    Picture picture = Filled(width, height, 0);
    std::uint32_t state = 12345;
    for (std::uint32_t& pixel : picture.pixels) {
        state = state * 1103515245u + 12345u;
        pixel = state >> 8 & 0xFFFFFF;
    }
    return picture;
}

// Encodes `current`, paints the message on the page's canvas and checks that
// the canvas then shows exactly `current`.
Frame SendAndCheck(const Picture& current, Picture& sent, Canvas& canvas, std::uint32_t sequence = 1) {
    EncodedFrame encoded = EncodeFrame(9, sequence, current, sent);
    std::optional<Frame> frame = ReadFrame(encoded.bytes, &canvas);
    EXPECT_TRUE(frame) << "a malformed frame message";
    if (!frame)
        return {};
    EXPECT_EQ(frame->tiles.size(), encoded.tiles);
    EXPECT_EQ(canvas.pixels, std::vector<std::uint32_t>(current.pixels.begin(), current.pixels.end()));
    EXPECT_EQ(sent.pixels, current.pixels);
    return *frame;
}

TEST(EncodeFrame, HeaderIsLittleEndian) {
    Picture current = Filled(130, 70, 0x00102030);
    Picture sent;
    EncodedFrame frame = EncodeFrame(0x01020304, 0x0A0B0C0D, current, sent);
    ASSERT_GE(frame.bytes.size(), kFrameHeaderBytes);
    EXPECT_EQ(frame.bytes.substr(0, 4), std::string("\x01\0\0\0", 4));
    EXPECT_EQ(frame.bytes.substr(4, 4), std::string("\x04\x03\x02\x01", 4));
    EXPECT_EQ(frame.bytes.substr(8, 4), std::string("\x0D\x0C\x0B\x0A", 4));
    EXPECT_EQ(frame.bytes.substr(12, 2), std::string("\x82\x00", 2));  // 130
    EXPECT_EQ(frame.bytes.substr(14, 2), std::string("\x46\x00", 2));  // 70
    EXPECT_EQ(frame.bytes.substr(16, 4), std::string("\x06\0\0\0", 4));
    // The first tile's header: x, y, w, h.
    EXPECT_EQ(frame.bytes.substr(20, 8), std::string("\0\0\0\0\x40\0\x40\0", 8));
}

TEST(EncodeFrame, FirstFrameSendsEveryTileWithPartialEdges) {
    Picture current = Noise(130, 70);
    Picture sent;
    Canvas canvas;
    Frame frame = SendAndCheck(current, sent, canvas);
    EXPECT_EQ(frame.kind, 1u);
    EXPECT_EQ(frame.element, 9u);
    EXPECT_EQ(frame.width, 130u);
    EXPECT_EQ(frame.height, 70u);
    ASSERT_EQ(frame.tiles.size(), 6u);
    const std::uint32_t expected[6][4] = {{0, 0, 64, 64},  {64, 0, 64, 64},  {128, 0, 2, 64},
                                          {0, 64, 64, 6}, {64, 64, 64, 6}, {128, 64, 2, 6}};
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(frame.tiles[i].x, expected[i][0]) << i;
        EXPECT_EQ(frame.tiles[i].y, expected[i][1]) << i;
        EXPECT_EQ(frame.tiles[i].w, expected[i][2]) << i;
        EXPECT_EQ(frame.tiles[i].h, expected[i][3]) << i;
    }

    // What the page has before the first frame is nothing, not black.
    Picture black = Filled(64, 64, 0);
    Picture none;
    Canvas blank;
    EXPECT_EQ(SendAndCheck(black, none, blank).tiles.size(), 1u);

    // The same picture again: nothing to send.
    EncodedFrame again = EncodeFrame(9, 2, current, sent);
    EXPECT_EQ(again.tiles, 0u);
    EXPECT_EQ(again.bytes.size(), kFrameHeaderBytes);
    EXPECT_EQ(again.bytes.substr(16, 4), std::string(4, '\0'));
}

TEST(EncodeFrame, PixelsArriveAsTheyWereWhateverTheCoding) {
    // Tiles of one colour, of two runs (across row ends), and of noise.
    Picture current = Noise(200, 150);
    for (std::int32_t y = 0; y < 64; ++y)
        for (std::int32_t x = 0; x < 64; ++x)
            SetPixel(current, x, y, 0x00A1B2C3);
    for (std::int32_t y = 0; y < 64; ++y)
        for (std::int32_t x = 64; x < 128; ++x)
            SetPixel(current, x, y, y < 20 || (y == 20 && x < 100) ? 0x00FFFFFF : 0x00000001);
    Picture sent;
    Canvas canvas;
    Frame frame = SendAndCheck(current, sent, canvas);
    ASSERT_EQ(frame.tiles.size(), 12u);
    EXPECT_EQ(frame.tiles[0].encoding, kTileSolid);
    EXPECT_EQ(frame.tiles[0].payload, 4u);
    EXPECT_EQ(frame.tiles[1].encoding, kTileRuns);
    EXPECT_EQ(frame.tiles[1].payload, 10u);
    EXPECT_EQ(frame.tiles[2].encoding, kTileRgb);
    EXPECT_EQ(frame.tiles[2].payload, 64u * 64u * 3u);

    // 0x00RRGGBB words go out as R, G, B (A too when one pixel stands for all).
    EncodedFrame one = EncodeFrame(1, 1, Filled(1, 1, 0x00123456), sent);
    ASSERT_GE(one.bytes.size(), kFrameHeaderBytes + kTileHeaderBytes + 4);
    EXPECT_EQ(one.bytes.substr(kFrameHeaderBytes + kTileHeaderBytes), std::string("\x12\x34\x56\xFF", 4));
    Picture two = Filled(2, 1, 0x00123456);
    SetPixel(two, 1, 0, 0x00ABCDEF);
    sent = Picture{};
    EncodedFrame pair = EncodeFrame(1, 1, two, sent);
    EXPECT_EQ(pair.bytes.substr(kFrameHeaderBytes + kTileHeaderBytes), std::string("\x12\x34\x56\xAB\xCD\xEF", 6));
}

TEST(EncodeFrame, OneChangedPixelSendsOnlyItsTile) {
    Picture current = Noise(200, 150);
    Picture sent;
    Canvas canvas;
    SendAndCheck(current, sent, canvas);

    // The last pixel of a tile and the first of its diagonal neighbour, an
    // edge tile, are told apart.
    SetPixel(current, 191, 127, 0x00A1B2C3);
    Frame frame = SendAndCheck(current, sent, canvas, 2);
    ASSERT_EQ(frame.tiles.size(), 1u);
    EXPECT_EQ(frame.tiles[0].x, 128u);
    EXPECT_EQ(frame.tiles[0].y, 64u);

    SetPixel(current, 192, 128, 0x00000001);
    frame = SendAndCheck(current, sent, canvas, 3);
    ASSERT_EQ(frame.tiles.size(), 1u);
    EXPECT_EQ(frame.tiles[0].x, 192u);
    EXPECT_EQ(frame.tiles[0].y, 128u);
    EXPECT_EQ(frame.tiles[0].w, 8u);
    EXPECT_EQ(frame.tiles[0].h, 22u);

    // Two changes far apart: two tiles, in row order.
    SetPixel(current, 0, 149, 0x00123456);
    SetPixel(current, 70, 0, 0x00654321);
    frame = SendAndCheck(current, sent, canvas, 4);
    ASSERT_EQ(frame.tiles.size(), 2u);
    EXPECT_EQ(frame.tiles[0].x, 64u);
    EXPECT_EQ(frame.tiles[0].y, 0u);
    EXPECT_EQ(frame.tiles[1].x, 0u);
    EXPECT_EQ(frame.tiles[1].y, 128u);
}

TEST(EncodeFrame, SizeChangeResendsEverything) {
    Picture current = Filled(128, 64, 0x00445566);
    Picture sent;
    Canvas canvas;
    SendAndCheck(current, sent, canvas);

    // Same pixel count, other shape: still a new size.
    Frame frame = SendAndCheck(Filled(64, 128, 0x00445566), sent, canvas, 2);
    EXPECT_EQ(frame.width, 64u);
    EXPECT_EQ(frame.height, 128u);
    EXPECT_EQ(frame.tiles.size(), 2u);

    Picture larger = Filled(65, 65, 0x00445566);
    EXPECT_EQ(SendAndCheck(larger, sent, canvas, 3).tiles.size(), 4u);
    EXPECT_EQ(EncodeFrame(1, 4, larger, sent).tiles, 0u);
}

// A shaded leaf: the colour steps every other pixel, as a page picture drawn
// in perspective does, so that runs shorten it little; `phase` moves it.
void PaintLeaf(Picture& picture, std::int32_t x0, std::int32_t x1, std::int32_t y0, std::int32_t y1, int phase) {
    for (std::int32_t y = y0; y < y1; ++y)
        for (std::int32_t x = x0; x < x1; ++x) {
            const auto shade = static_cast<std::uint32_t>((x + y + phase * 5) / 2 % 200 + 30);
            SetPixel(picture, x, y, shade << 16 | (255 - shade) << 8 | 0x81);
        }
}

int LargestChannelError(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
    int worst = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        for (int shift : {0, 8, 16})
            worst = std::max(worst, std::abs(static_cast<int>(a[i] >> shift & 0xFF) - static_cast<int>(b[i] >> shift & 0xFF)));
    return worst;
}

TEST(EncodeFrame, MovingTilesGoApproximatelyAndRestExactly) {
    Picture current = Filled(320, 128, 0x00FFFFFF);
    Picture sent;
    TileHistory history;
    Canvas canvas;
    auto send = [&](std::uint32_t sequence) {
        EncodedFrame encoded = EncodeFrame(9, sequence, current, sent, &history);
        std::optional<Frame> frame = ReadFrame(encoded.bytes, &canvas);
        EXPECT_TRUE(frame) << "a malformed frame message";
        EXPECT_EQ(sent.pixels, current.pixels);  // the exact pixels, whatever went
        return std::make_pair(frame.value_or(Frame{}), encoded.bytes.size());
    };
    // The first picture is no movement, and neither is a first change.
    PaintLeaf(current, 0, 192, 0, 64, 0);
    EXPECT_EQ(send(1).first.tiles.size(), 10u);
    PaintLeaf(current, 0, 192, 0, 64, 1);
    // Meanwhile a tile of one colour changes too: that stays exact.
    for (std::int32_t y = 64; y < 128; ++y)
        for (std::int32_t x = 256; x < 320; ++x)
            SetPixel(current, x, y, 0x00102030);
    const auto [first, firstBytes] = send(2);
    EXPECT_EQ(first.tiles.size(), 4u);
    EXPECT_EQ(canvas.pixels, current.pixels);
    EXPECT_EQ(history.lossyTiles, 0u);

    // Changed again: the leaf goes approximately, in far fewer bytes, but
    // white paper and the desk beside it keep their colours.
    PaintLeaf(current, 0, 192, 0, 64, 2);
    for (std::int32_t y = 0; y < 64; ++y)
        for (std::int32_t x = 170; x < 192; ++x)
            SetPixel(current, x, y, x < 180 ? 0x00FFFFFF : 0x00C0C0C0);
    for (std::int32_t y = 64; y < 128; ++y)
        for (std::int32_t x = 256; x < 320; ++x)
            SetPixel(current, x, y, 0x00102031);
    const auto [moving, movingBytes] = send(3);
    EXPECT_EQ(moving.tiles.size(), 4u);
    EXPECT_EQ(history.lossyTiles, 3u);
    EXPECT_LT(movingBytes * 4, firstBytes);
    EXPECT_NE(canvas.pixels, current.pixels);
    EXPECT_LE(LargestChannelError(canvas.pixels, current.pixels), 4);
    EXPECT_EQ(canvas.pixels[static_cast<std::size_t>(100) * 320 + 300], 0x00102031u);
    EXPECT_EQ(canvas.pixels[static_cast<std::size_t>(30) * 320 + 175], 0x00FFFFFFu);
    EXPECT_EQ(canvas.pixels[static_cast<std::size_t>(30) * 320 + 185], 0x00C0C0C0u);

    // Still: the approximations are sent exactly, and then nothing is.
    const auto [rest, restBytes] = send(4);
    EXPECT_EQ(rest.tiles.size(), 3u);
    EXPECT_EQ(canvas.pixels, current.pixels);
    EXPECT_EQ(history.lossyTiles, 0u);
    EXPECT_EQ(send(5).first.tiles.size(), 0u);

    // A new size forgets what moved.
    current = Filled(100, 64, 0x00FFFFFF);
    PaintLeaf(current, 0, 100, 0, 64, 0);
    send(6);
    PaintLeaf(current, 0, 100, 0, 64, 1);
    send(7);
    EXPECT_EQ(canvas.pixels, current.pixels);
    EXPECT_EQ(history.lossyTiles, 0u);
}

}  // namespace
}  // namespace zov::host
