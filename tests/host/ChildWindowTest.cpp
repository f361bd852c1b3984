// The control's child windows through the page protocol: the toolbar and its
// pictures as the page gets them, and what the page may send back.
#include "tests/host/PageClient.h"

namespace zov::host {
namespace {

using namespace pagetest;

std::uint32_t Word(const std::string& bytes, std::size_t at, int size) {
    std::uint32_t value = 0;
    for (int i = 0; i < size; ++i)
        value |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[at + static_cast<std::size_t>(i)])) << (8 * i);
    return value;
}

std::optional<Json> ToolbarUpdate(Page& page, int button) {
    return page.WaitText([button](const Json& m) {
        return m.value("t", "") == "childUpdate" && m.value("h", 0) == 100 && m.value("button", 0) == button &&
               m.contains("checked");
    });
}

TEST_F(HostServer, TheToolbarComesWithItsPicturesAndItsButtonsReachTheControl) {
    Page page(port_);
    ASSERT_TRUE(page.Connected());
    ASSERT_EQ((*page.Create(1, {{"clsid", kControlClsid}, {"w", 640}, {"h", 400}}))["t"], "created");
    ASSERT_TRUE(ShowEmptyDesk(page, 1));
    std::optional<Json> toolbar = page.WaitText([](const Json& m) { return m.value("t", "") == "child"; });
    ASSERT_TRUE(toolbar);
    EXPECT_EQ((*toolbar)["kind"], "toolbar");
    EXPECT_EQ((*toolbar)["h"], 100);
    EXPECT_EQ((*toolbar)["image"], 16);  // below 768 pixels
    EXPECT_EQ((*toolbar)["rect"], Json({0, 0, 640, 26}));
    ASSERT_EQ((*toolbar)["buttons"].size(), 24u);
    EXPECT_EQ((*toolbar)["buttons"][0]["tip"], "Zoom in");
    EXPECT_EQ((*toolbar)["buttons"][2], Json({{"sep", true}}));

    // Both lists came first, each a strip of eighteen 16-pixel pictures.
    const std::vector<std::string> lists = page.ImageLists();
    ASSERT_EQ(lists.size(), 2u);
    for (const std::string& list : lists) {
        ASSERT_GE(list.size(), 20u);
        EXPECT_EQ(Word(list, 4, 4), 1u);
        EXPECT_EQ(Word(list, 12, 2), 16u);
        EXPECT_EQ(Word(list, 14, 2), 16u);
        EXPECT_EQ(Word(list, 16, 4), 18u);
        EXPECT_EQ(list.size(), 20u + 18u * 16u * 16u * 4u);
    }
    EXPECT_EQ(Word(lists[0], 8, 4), (*toolbar)["images"].get<std::uint32_t>());
    EXPECT_EQ(Word(lists[1], 8, 4), (*toolbar)["disabledImages"].get<std::uint32_t>());

    // A click on "Single page" reaches the control: its check follows.
    page.Send({{"t", "childEvent"}, {"el", 1}, {"h", 100}, {"ctl", 14}, {"e", "click"}});
    std::optional<Json> checked = ToolbarUpdate(page, 14);
    ASSERT_TRUE(checked);
    EXPECT_EQ((*checked)["checked"], true);

    // Made again for 32-pixel pictures at 768 pixels.
    page.Send({{"t", "size"}, {"el", 1}, {"w", 768}, {"h", 400}});
    std::optional<Json> remade = page.WaitText([](const Json& m) {
        return m.value("t", "") == "child" && m.value("image", 0) == 32;
    });
    ASSERT_TRUE(remade);
    EXPECT_EQ((*remade)["rect"], Json({0, 0, 768, 42}));
}

TEST_F(HostServer, ChildEventsThatDoNotFitAreRefused) {
    Page page(port_);
    ASSERT_TRUE(page.Connected());
    ASSERT_EQ((*page.Create(1, {{"clsid", kControlClsid}, {"w", 640}, {"h", 400}}))["t"], "created");
    for (const Json& bad : {Json({{"t", "childEvent"}, {"el", 1}, {"h", 100}, {"e", "click"}}),
                            Json({{"t", "childEvent"}, {"el", 1}, {"h", 100}, {"ctl", 5}, {"e", "drag"}}),
                            Json({{"t", "childEvent"}, {"el", 1}, {"h", 2000}, {"ctl", 1}, {"e", "click"}, {"values", 5}}),
                            Json({{"t", "childEvent"}, {"el", 1}, {"h", 2000}, {"ctl", 1}, {"e", "click"},
                                  {"values", {{"x", "1"}}}}),
                            Json({{"t", "childEvent"}, {"el", 1}, {"h", 2000}, {"ctl", 1}, {"e", "click"},
                                  {"values", {{"253", std::string(300000, 'a')}}}}),
                            Json({{"t", "verb"}, {"el", 1}, {"verb", "edit"}})}) {
        page.Send(bad);
        std::optional<Json> error = page.WaitText([](const Json& m) { return m.value("t", "") == "error"; });
        ASSERT_TRUE(error) << bad.dump().substr(0, 200);
    }
    // An event for a dialog that is not open changes nothing; the element
    // still answers.
    page.Send({{"t", "childEvent"}, {"el", 1}, {"h", 2000}, {"ctl", 1}, {"e", "click"}, {"values", {{"253", "3"}}}});
    std::optional<Json> answer = page.Call(1, "GetToolBarVisible", Json::array());
    ASSERT_TRUE(answer);
}

}  // namespace
}  // namespace zov::host
