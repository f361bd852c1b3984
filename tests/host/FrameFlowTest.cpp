// The window's side of frames without a page: what is presented, taken,
// and acknowledged, with a link that only counts the calls.
#include "host/WebWindow.h"
#include "tests/host/FrameReader.h"

#include <gtest/gtest.h>

#include <atomic>

namespace zov::host {
namespace {

struct CountingLink : ElementLink {
    std::atomic<int> ready{0};
    void SendText(std::string) override {}
    void SendBinary(std::string) override {}
    void FrameReady(std::uint32_t) override { ++ready; }
};

std::vector<std::uint32_t> Filled(std::int32_t w, std::int32_t h, std::uint32_t colour) {
    return std::vector<std::uint32_t>(static_cast<std::size_t>(w) * h, colour);
}

TEST(FrameFlow, PartsPresentedWhileFramesTravelLandOnTheNewestPicture) {
    auto link = std::make_shared<CountingLink>();
    WebWindow window(1, link, SIZE{128, 64}, POINT{0, 0});
    test::Canvas canvas;
    auto take = [&] {
        std::optional<EncodedFrame> frame = window.TakeFrame();
        if (frame) {
            EXPECT_TRUE(test::ReadFrame(frame->bytes, &canvas));
        }
        return frame.has_value();
    };

    std::vector<std::uint32_t> a = Filled(128, 64, 0x00AA0000);
    window.Present(FrameView{a.data(), 128, 64}, nullptr);
    ASSERT_TRUE(take());
    // Only the right half is presented anew: the left half must stay as the
    // first picture had it, though that one went to the encoder.
    std::vector<std::uint32_t> b = Filled(128, 64, 0x0000BB00);
    const RECT right{64, 0, 128, 64};
    window.Present(FrameView{b.data(), 128, 64}, &right);
    ASSERT_TRUE(take());
    window.Present(FrameView{b.data(), 128, 64}, &right);  // nothing new
    EXPECT_FALSE(take());
    const RECT corner{0, 0, 10, 10};
    std::vector<std::uint32_t> c = Filled(128, 64, 0x000000CC);
    window.Present(FrameView{c.data(), 128, 64}, &corner);
    ASSERT_TRUE(take());
    for (std::int32_t y = 0; y < 64; ++y)
        for (std::int32_t x = 0; x < 128; ++x) {
            const std::uint32_t expected = x < 10 && y < 10 ? 0x000000CC : x < 64 ? 0x00AA0000 : 0x0000BB00;
            ASSERT_EQ(canvas.pixels[static_cast<std::size_t>(y) * 128 + x], expected) << x << "," << y;
        }

    // Three frames travel unanswered; the fourth picture waits for an answer,
    // which counts for every frame before it too.
    window.Present(FrameView{a.data(), 128, 64}, nullptr);
    EXPECT_FALSE(take());
    const int before = link->ready;
    window.FrameAcked(3);
    EXPECT_EQ(link->ready, before + 1);
    EXPECT_TRUE(take());
}

}  // namespace
}  // namespace zov::host
