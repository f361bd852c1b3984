#include "control/CommandQueue.h"

#include <gtest/gtest.h>

namespace zov {
namespace {

std::vector<CommandNode> Drain(CommandQueue& queue) {
    std::vector<CommandNode> taken;
    while (auto node = queue.Take())
        taken.push_back(*node);
    return taken;
}

TEST(CommandQueue, KeepsTwentyInArrivalOrderAndDropsTheRest) {
    CommandQueue queue;
    for (int i = 0; i < 20; ++i) {
        POINT p{i, -i};
        EXPECT_TRUE(queue.Post(kCommandMouseMove, &p, 0, 0)) << i;
    }
    POINT late{99, 99};
    EXPECT_FALSE(queue.Post(kCommandMouseMove, &late, 0, 0));
    EXPECT_FALSE(queue.Post(kCommandFlipNext, nullptr, 0, 0));

    auto taken = Drain(queue);
    ASSERT_EQ(taken.size(), 20u);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(taken[i].x, i);
        EXPECT_EQ(taken[i].y, -i);
    }
    EXPECT_EQ(queue.Take(), std::nullopt);
}

TEST(CommandQueue, DragsAndResizesMergeIntoOnePendingNode) {
    CommandQueue queue;
    queue.Post(kCommandFlipNext, nullptr, 0, 0);
    for (int i = 0; i < 50; ++i) {
        POINT p{i, i * 2};
        EXPECT_TRUE(queue.Post(kCommandMouseMove, &p, MK_LBUTTON, 0));
    }
    // A move with no button held never merges, nor is merged into.
    POINT hover{7, 7};
    queue.Post(kCommandMouseMove, &hover, 0, 0);
    queue.Post(kCommandMouseMove, &hover, 0, 0);
    POINT small{100, 50}, big{1920, 1080};
    queue.Post(kCommandSize, &small, SIZE_RESTORED, 0);
    queue.Post(kCommandSize, &big, SIZE_MAXIMIZED, 0);

    auto taken = Drain(queue);
    ASSERT_EQ(taken.size(), 5u);
    EXPECT_EQ(taken[0].code, kCommandFlipNext);
    EXPECT_EQ(taken[1].code, kCommandMouseMove);
    EXPECT_EQ(taken[1].value, static_cast<std::int32_t>(MK_LBUTTON));
    EXPECT_EQ((POINT{taken[1].x, taken[1].y}), (POINT{49, 98}));
    EXPECT_EQ(taken[2].value, 0);
    EXPECT_EQ(taken[3].value, 0);
    // The merged size keeps its first size type; only the point changes.
    EXPECT_EQ(taken[4].code, kCommandSize);
    EXPECT_EQ(taken[4].value, static_cast<std::int32_t>(SIZE_RESTORED));
    EXPECT_EQ((POINT{taken[4].x, taken[4].y}), big);
}

TEST(CommandQueue, AFullQueueStillTakesMerges) {
    CommandQueue queue;
    POINT p{1, 1};
    queue.Post(kCommandMouseMove, &p, MK_LBUTTON, 0);
    for (int i = 0; i < 19; ++i)
        queue.Post(kCommandFlipNext, nullptr, 0, 0);
    POINT last{5, 6};
    EXPECT_TRUE(queue.Post(kCommandMouseMove, &last, MK_LBUTTON, 0));
    EXPECT_FALSE(queue.Post(kCommandMouseMove, &last, 0, 0));
    auto first = queue.Take();
    ASSERT_TRUE(first);
    EXPECT_EQ((POINT{first->x, first->y}), last);
}

TEST(CommandQueue, ADragNeverMergesAcrossAButtonChange) {
    CommandQueue queue;
    POINT first{10, 10}, second{200, 20}, third{300, 30};
    queue.Post(kCommandMouseMove, &first, MK_LBUTTON, 0);
    queue.Post(kCommandButtonUp, &first, 0, 0);
    queue.Post(kCommandButtonDown, &second, 0, 0);
    queue.Post(kCommandMouseMove, &second, MK_LBUTTON, 0);
    queue.Post(kCommandMouseMove, &third, MK_LBUTTON, 0);

    auto taken = Drain(queue);
    ASSERT_EQ(taken.size(), 4u);
    // The first drag still ends where its button came up.
    EXPECT_EQ((POINT{taken[0].x, taken[0].y}), first);
    EXPECT_EQ(taken[1].code, kCommandButtonUp);
    EXPECT_EQ(taken[2].code, kCommandButtonDown);
    EXPECT_EQ(taken[3].code, kCommandMouseMove);
    EXPECT_EQ((POINT{taken[3].x, taken[3].y}), third);
}

TEST(CommandQueue, SlotsRotateWithoutLosingOrder) {
    CommandQueue queue;
    int next = 0;
    int expected = 0;
    // Many rounds of uneven posting and taking wrap the ring several times.
    for (int round = 0; round < 40; ++round) {
        for (int i = 0; i < 3 + round % 7; ++i) {
            POINT p{next, 0};
            if (queue.Post(kCommandMouseWheel, &p, 0, static_cast<std::int16_t>(next)))
                ++next;
        }
        for (int i = 0; i < 2 + round % 5; ++i) {
            auto node = queue.Take();
            if (!node)
                break;
            EXPECT_EQ(node->x, expected);
            EXPECT_EQ(node->delta, expected);
            ++expected;
        }
    }
    for (auto& node : Drain(queue))
        EXPECT_EQ(node.x, expected++);
    EXPECT_EQ(expected, next);
}

TEST(ScrollRequestQueue, TenSlotsInOrderThenDropped) {
    ScrollRequestQueue queue;
    for (int i = 0; i < 10; ++i) {
        SCROLLINFO info;
        info.fMask = SIF_POS;
        info.nPos = i;
        bool posted = i % 2 ? queue.PostEnable(SB_HORZ, ESB_DISABLE_BOTH) : queue.PostSetInfo(SB_VERT, info);
        EXPECT_TRUE(posted);
    }
    EXPECT_FALSE(queue.PostEnable(SB_VERT, ESB_ENABLE_BOTH));
    for (int i = 0; i < 10; ++i) {
        auto request = queue.Take();
        ASSERT_TRUE(request);
        if (i % 2) {
            EXPECT_EQ(request->kind, kScrollRequestEnable);
            EXPECT_EQ(request->bar, SB_HORZ);
            EXPECT_EQ(request->arg, static_cast<std::int32_t>(ESB_DISABLE_BOTH));
        } else {
            EXPECT_EQ(request->kind, kScrollRequestSetInfo);
            EXPECT_EQ(request->arg, 1);
            EXPECT_EQ(request->info.nPos, i);
        }
    }
    EXPECT_EQ(queue.Take(), std::nullopt);
    EXPECT_TRUE(queue.PostEnable(SB_VERT, ESB_ENABLE_BOTH));
}

}  // namespace
}  // namespace zov
