#include "host/TileFrame.h"
#include "tests/host/FrameReader.h"

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

}  // namespace
}  // namespace zov::host
