// The container in this process with the real control server, driven by a
// page client over loopback.
#include "tests/host/PageClient.h"
#include "tests/host/FrameReader.h"

namespace zov::host {
namespace {

using namespace pagetest;

TEST_F(HostServer, HelloThenCreatedWithTheDispatchTable) {
    Page page(port_);
    ASSERT_TRUE(page.Connected());
    std::optional<Json> hello = page.WaitText([](const Json& m) { return m.value("t", "") == "hello"; });
    ASSERT_TRUE(hello);
    EXPECT_EQ((*hello)["v"], 1);
    EXPECT_EQ((*hello)["limits"],
              Json({{"message", 1048576}, {"elements", 16}, {"string", 262144}, {"calls", 64}, {"side", 8192}, {"area", 16777216},
                    {"dropFiles", 100}, {"dropFileBytes", 104857600}, {"dropBytes", 268435456}, {"dropIdleMs", 30000}}));

    std::optional<Json> created = page.Create(1, {{"clsid", kControlClsid}});
    ASSERT_TRUE(created);
    ASSERT_EQ((*created)["t"], "created") << created->dump();
    const Json& members = (*created)["members"];
    ASSERT_EQ(members.size(), 43u);
    EXPECT_EQ(members.front(), Json({{"id", -552}, {"name", "AboutBox"}, {"args", Json::array()}, {"result", "void"}}));
    EXPECT_EQ(members.back(), Json({{"id", 42}, {"name", "ClearMemory"}, {"args", Json::array()}, {"result", "void"}}));
    for (std::size_t i = 1; i < members.size(); ++i)
        EXPECT_LT(members[i - 1]["id"].get<int>(), members[i]["id"].get<int>()) << i;
    auto member = [&](const std::string& name) {
        for (const Json& m : members)
            if (m["name"] == name)
                return m;
        return Json();
    };
    EXPECT_EQ(member("SetUp"), Json({{"id", 24},
                                     {"name", "SetUp"},
                                     {"args", {"string", "string", "bool", "string", "string", "string", "bool"}},
                                     {"result", "long"}}));
    EXPECT_EQ(member("GetToolBarVisible")["result"], "bool");
    EXPECT_EQ(member("eValueGetSelectedFiles")["result"], "string");
    EXPECT_EQ(member("SetAllSelectedFlag")["args"], Json({"bool"}));

    std::optional<Json> byProgId = page.Create(2, {{"progid", kControlProgId}, {"w", 100}, {"h", 80}});
    ASSERT_TRUE(byProgId);
    ASSERT_EQ((*byProgId)["t"], "created") << byProgId->dump();
    EXPECT_EQ((*byProgId)["members"], members);

    // An element's number is the page's, once.
    std::optional<Json> again = page.Create(2, {{"progid", kControlProgId}});
    ASSERT_TRUE(again);
    EXPECT_EQ((*again)["t"], "error");
}

TEST_F(HostServer, CreateRefusesUnknownAndUnsafeControls) {
    Page page(port_);
    ASSERT_TRUE(page.Connected());
    for (const Json& fields : {Json({{"clsid", "{00000000-0000-0000-0000-000000000001}"}}),
                               Json({{"progid", "ZOVUVAZAR.NoSuchCtrl.1"}}), Json({{"clsid", ""}}),
                               Json({{"clsid", 7}}), Json::object(),
                               Json({{"clsid", kControlClsid}, {"w", -1}}),
                               Json({{"clsid", kControlClsid}, {"h", "200"}})}) {
        std::optional<Json> answer = page.Create(1, fields);
        ASSERT_TRUE(answer) << fields.dump();
        EXPECT_EQ((*answer)["t"], "error") << fields.dump();
        EXPECT_TRUE((*answer)["message"].is_string());
    }

    // Registered, but not as safely scriptable: pages may not have it.
    RegistryFile registry = RegistryFile::ForUser();
    ASSERT_TRUE(registry.Update([](RegistryData& r) {
        return r.DeleteTree("CLSID\\" + std::string(kControlClsid) + "\\Implemented Categories\\" +
                            std::string(kCategorySafeForScripting));
    }));
    ASSERT_TRUE(registry.Read()->HasKey("CLSID\\" + std::string(kControlClsid) + "\\InprocServer32"));
    for (const char* name : {"clsid", "progid"}) {
        std::optional<Json> answer = page.Create(2, {{name, name == std::string("clsid") ? kControlClsid : kControlProgId}});
        ASSERT_TRUE(answer);
        EXPECT_EQ((*answer)["t"], "error") << answer->dump();
    }
    // The refused elements do not exist.
    ASSERT_TRUE(page.Send({{"t", "call"}, {"el", 2}, {"id", 1}, {"m", "GetToolBarVisible"}, {"a", Json::array()}}));
    EXPECT_TRUE(page.WaitType("error", 2));
}

TEST_F(HostServer, CallsAreCheckedAndTheElementGoesOn) {
    Page page(port_);
    ASSERT_TRUE(page.Connected());
    ASSERT_EQ((*page.Create(1, {{"clsid", kControlClsid}}))["t"], "created");

    std::optional<Json> setUp = SetUpViewer(page, 1);
    ASSERT_TRUE(setUp);
    ASSERT_TRUE((*setUp)["v"].is_number_integer()) << setUp->dump();
    EXPECT_GE((*setUp)["v"].get<std::int64_t>(), 0);

    std::optional<Json> visible = page.Call(1, "GetToolBarVisible", Json::array());
    ASSERT_TRUE(visible);
    EXPECT_TRUE((*visible)["v"].is_boolean()) << visible->dump();
    // Names without regard to case, and DISPIDs.
    std::optional<Json> lower = page.Call(1, "gettoolbarvisible", Json::array());
    ASSERT_TRUE(lower);
    EXPECT_EQ((*lower)["v"], (*visible)["v"]);
    ASSERT_TRUE(page.Send({{"t", "call"}, {"el", 1}, {"id", 500}, {"d", 22}, {"a", Json::array()}}));
    std::optional<Json> byDispid = page.WaitReturn(1, 500);
    ASSERT_TRUE(byDispid);
    EXPECT_EQ((*byDispid)["v"], (*visible)["v"]);

    // An answer with an error and no value.
    auto refused = [&](Json call) {
        call["t"] = "call";
        call["el"] = 1;
        const std::int64_t id = call["id"];
        std::optional<Json> answer = page.Send(call) ? page.WaitReturn(1, id) : std::nullopt;
        const bool ok = answer && !answer->contains("v") && answer->value("error", "") != "";
        EXPECT_TRUE(ok) << call.dump().substr(0, 200) << " answered " << (answer ? answer->dump() : "nothing");
        return ok;
    };
    const Json none = Json::array();
    refused({{"id", 10}, {"m", "GetToolBarVisible"}, {"a", Json::array({true})}});
    refused({{"id", 11}, {"m", "SetUp"}, {"a", {"en", "C0C0C0", true}}});
    refused({{"id", 12}, {"m", "SetUp"}, {"a", {"en", "C0C0C0", "true", "", "", "Folder", false}}});
    refused({{"id", 13}, {"m", "SetUp"}, {"a", {"en", "C0C0C0", 1, "", "", "Folder", false}}});
    refused({{"id", 14}, {"m", "Search"}, {"a", Json::array({42})}});
    refused({{"id", 15}, {"m", "Search"}, {"a", Json::array({nullptr})}});
    refused({{"id", 16}, {"m", "NoSuchMethod"}, {"a", none}});
    refused({{"id", 17}, {"d", 4242}, {"a", none}});
    // No method takes a long; a DISPID is one, and must be an integer in range.
    refused({{"id", 18}, {"d", 22.5}, {"a", none}});
    refused({{"id", 19}, {"d", 4294967318LL}, {"a", none}});  // 22 + 2^32
    refused({{"id", 20}, {"m", "Search"}, {"a", "text"}});
    refused({{"id", 21}, {"m", "Search"}});
    refused({{"id", 22}, {"a", none}});

    // The longest string is counted in UTF-16 units: a character beyond the
    // basic plane takes two.
    std::string atLimit;
    for (int i = 0; i < 262144 / 2; ++i)
        atLimit += "\xF0\x9F\x98\x80";
    std::optional<Json> accepted = page.Call(1, "Search", Json::array({atLimit}));
    ASSERT_TRUE(accepted);
    EXPECT_EQ(*accepted, Json({{"t", "return"}, {"el", 1}, {"id", accepted->value("id", 0)}, {"v", nullptr}}));
    refused({{"id", 30}, {"m", "Search"}, {"a", Json::array({atLimit + "a"})}});
    refused({{"id", 31}, {"m", "Search"}, {"a", Json::array({std::string(262145, 'a')})}});

    // Answers come in the order of the calls.
    for (int id = 40; id < 45; ++id)
        ASSERT_TRUE(page.Send({{"t", "call"}, {"el", 1}, {"id", id}, {"m", "GetToolBarVisible"}, {"a", Json::array()}}));
    std::vector<int> order;
    for (int i = 0; i < 5; ++i) {
        std::optional<Json> answer = page.WaitText([](const Json& m) {
            return m.value("t", "") == "return" && m.value("id", 0) >= 40 && m.value("id", 0) < 45;
        });
        ASSERT_TRUE(answer);
        order.push_back(answer->value("id", 0));
    }
    EXPECT_EQ(order, std::vector<int>({40, 41, 42, 43, 44}));

    std::optional<Json> after = page.Call(1, "GetToolBarVisible", Json::array());
    ASSERT_TRUE(after);
    EXPECT_EQ((*after)["v"], (*visible)["v"]);
    EXPECT_FALSE(page.Closed());
}

TEST_F(HostServer, CallsBeforeSetUpGiveNeutralValues) {
    Page page(port_);
    ASSERT_TRUE(page.Connected());
    ASSERT_EQ((*page.Create(1, {{"clsid", kControlClsid}}))["t"], "created");
    const std::pair<const char*, Json> calls[] = {
        {"GetSelectedFiles", Json::array()},
        {"eValueGetSelectedFiles", Json::array()},
        {"ShowWorkWindow", {"a.pdf", "x"}},
        {"eValueSetFiles", {"/a.pdf/", "/1/", "/A/", "/0/", ""}},
    };
    const Json expected[] = {"", "", -1, 0};
    for (std::size_t i = 0; i < std::size(calls); ++i) {
        std::optional<Json> answer = page.Call(1, calls[i].first, calls[i].second);
        ASSERT_TRUE(answer) << calls[i].first;
        EXPECT_EQ(answer->value("v", Json("missing")), expected[i]) << answer->dump();
    }
    // Without a viewer nothing is drawn.
    EXPECT_FALSE(page.WaitBinary(300ms));
}

TEST_F(HostServer, AtMostThreeFramesInFlightUntilTheyAreAcknowledged) {
    Page page(port_);
    ASSERT_TRUE(page.Connected());
    ASSERT_EQ((*page.Create(3, {{"clsid", kControlClsid}, {"w", 300}, {"h", 200}}))["t"], "created");
    ASSERT_TRUE(ShowEmptyDesk(page, 3));

    std::optional<std::string> first = page.WaitBinary();
    ASSERT_TRUE(first);
    test::Canvas canvas;
    std::optional<test::Frame> frame = test::ReadFrame(*first, &canvas);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->kind, 1u);
    EXPECT_EQ(frame->element, 3u);
    EXPECT_EQ(frame->sequence, 1u);
    EXPECT_EQ(frame->width, 300u);
    EXPECT_EQ(frame->height, 200u);
    EXPECT_EQ(frame->tiles.size(), 5u * 4u);  // the first frame is whole
    // The empty desk in the colour SetUp gave.
    EXPECT_EQ(canvas.pixels[150 * 300 + 150], 0xC0C0C0u);

    auto resize = [&](int w, int h) {
        return page.Send({{"t", "size"}, {"el", 3}, {"w", w}, {"h", h}, {"sx", 0}, {"sy", 0}});
    };
    // Two more pictures go out before the page has answered any.
    for (std::uint32_t sequence : {2u, 3u}) {
        ASSERT_TRUE(resize(300 + 20 * static_cast<int>(sequence), 200));
        std::optional<std::string> next = page.WaitBinary();
        ASSERT_TRUE(next) << sequence;
        frame = test::ReadFrame(*next, &canvas);
        ASSERT_TRUE(frame);
        EXPECT_EQ(frame->sequence, sequence);
    }
    // The fourth waits for the page.
    ASSERT_TRUE(resize(380, 250));
    EXPECT_FALSE(page.WaitBinary(700ms));
    ASSERT_TRUE(page.Send({{"t", "frameAck"}, {"el", 3}, {"seq", 9}}));  // never sent
    EXPECT_FALSE(page.WaitBinary(300ms));

    // Acknowledgements count for the frames before them too.
    ASSERT_TRUE(page.Send({{"t", "frameAck"}, {"el", 3}, {"seq", 3}}));
    std::optional<std::string> fourth = page.WaitBinary();
    ASSERT_TRUE(fourth);
    frame = test::ReadFrame(*fourth, &canvas);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->element, 3u);
    EXPECT_EQ(frame->sequence, 4u);
    EXPECT_EQ(frame->width, 380u);
    EXPECT_EQ(frame->height, 250u);
    EXPECT_EQ(frame->tiles.size(), 6u * 4u);
    EXPECT_EQ(std::count(canvas.pixels.begin(), canvas.pixels.end(), 0xFF000000u), 0);  // all painted
}

TEST_F(HostServer, BadMessagesAreAnsweredAndTheConnectionStays) {
    Page page(port_);
    ASSERT_TRUE(page.Connected());
    ASSERT_EQ((*page.Create(1, {{"clsid", kControlClsid}}))["t"], "created");

    auto error = [&](std::int64_t element) {
        return page.WaitText([element](const Json& m) {
            return m.value("t", "") == "error" && m.value("el", std::int64_t{0}) == element &&
                   m.value("message", "") != "";
        });
    };
    for (const char* text : {"not json", "[1,2,3]", "\"create\"", "{\"el\":1}", "{\"t\":5,\"el\":1}",
                             "{\"t\":\"call\"}", "{\"t\":\"call\",\"el\":0}", "{\"t\":\"call\",\"el\":\"1\"}",
                             "{\"t\":\"call\",\"el\":1.5}", "{\"t\":\"call\",\"el\":-1}"}) {
        ASSERT_TRUE(page.SendText(text));
        EXPECT_TRUE(error(0)) << text;
    }
    ASSERT_TRUE(page.SendBinary(std::string(24, '\1')));
    EXPECT_TRUE(error(0));

    ASSERT_TRUE(page.Send({{"t", "call"}, {"el", 99}, {"id", 1}, {"m", "GetToolBarVisible"}, {"a", Json::array()}}));
    EXPECT_TRUE(error(99));
    ASSERT_TRUE(page.Send({{"t", "nonsense"}, {"el", 1}}));
    EXPECT_TRUE(error(1));
    ASSERT_TRUE(page.Send({{"t", "call"}, {"el", 1}, {"id", "7"}, {"m", "GetToolBarVisible"}, {"a", Json::array()}}));
    EXPECT_TRUE(error(1));
    ASSERT_TRUE(page.Send({{"t", "mouse"}, {"el", 1}, {"e", "click"}, {"x", 1}, {"y", 1}}));
    EXPECT_TRUE(error(1));
    // Keys: a code outside the virtual keys, a missing one, an unknown event.
    for (const Json& key : {Json{{"t", "key"}, {"el", 1}, {"e", "down"}, {"code", 999}},
                            Json{{"t", "key"}, {"el", 1}, {"e", "down"}},
                            Json{{"t", "key"}, {"el", 1}, {"e", "press"}, {"code", 13}}}) {
        ASSERT_TRUE(page.Send(key));
        EXPECT_TRUE(error(1)) << key.dump();
    }
    // A screen density that is no number, none, or beyond any screen.
    for (const Json& scale : {Json("2"), Json(0), Json(-1.5), Json(16.5), Json::array()}) {
        ASSERT_TRUE(page.Send({{"t", "size"}, {"el", 1}, {"w", 100}, {"h", 100}, {"scale", scale}}));
        EXPECT_TRUE(error(1)) << scale.dump();
    }
    ASSERT_TRUE(page.Send({{"t", "create"}, {"el", 2}, {"clsid", kControlClsid}, {"w", 100}, {"h", 100},
                           {"scale", nullptr}}));
    EXPECT_TRUE(error(2));

    EXPECT_FALSE(page.Closed());
    std::optional<Json> answer = page.Call(1, "GetToolBarVisible", Json::array());
    ASSERT_TRUE(answer);
    EXPECT_TRUE(answer->contains("v")) << answer->dump();

    // Only a message over the size limit ends the connection.
    page.SendText(std::string(1048577, ' '));  // may fail half written: the server stops reading it
    page.WaitText([](const Json&) { return false; });
    EXPECT_TRUE(page.Closed());
    EXPECT_EQ(page.CloseCode(), 1009);
}

TEST_F(HostServer, SixteenElementsAtMostAndDestroyFreesOne) {
    Page page(port_);
    ASSERT_TRUE(page.Connected());
    for (int element = 1; element <= 16; ++element)
        ASSERT_TRUE(page.Send({{"t", "create"}, {"el", element}, {"clsid", kControlClsid}, {"w", 64}, {"h", 64}}));
    for (int element = 1; element <= 16; ++element) {
        std::optional<Json> created = page.WaitType("created", element);
        ASSERT_TRUE(created) << element;
    }
    std::optional<Json> seventeenth = page.Create(17, {{"clsid", kControlClsid}});
    ASSERT_TRUE(seventeenth);
    EXPECT_EQ((*seventeenth)["t"], "error");

    ASSERT_TRUE(page.Send({{"t", "destroy"}, {"el", 5}}));
    EXPECT_TRUE(page.WaitType("destroyed", 5));
    ASSERT_TRUE(page.Send({{"t", "call"}, {"el", 5}, {"id", 1}, {"m", "GetToolBarVisible"}, {"a", Json::array()}}));
    EXPECT_TRUE(page.WaitType("error", 5));

    std::optional<Json> instead = page.Create(17, {{"clsid", kControlClsid}});
    ASSERT_TRUE(instead);
    EXPECT_EQ((*instead)["t"], "created");
    EXPECT_TRUE(page.Call(16, "GetToolBarVisible", Json::array()));
}

TEST_F(HostServer, ClosingThePageReleasesEveryControl) {
    auto canUnloadNow = Export<DllCanUnloadNowFunction>("DllCanUnloadNow");
    ASSERT_NE(canUnloadNow, nullptr);
    {
        Page page(port_);
        ASSERT_TRUE(page.Connected());
        ASSERT_EQ((*page.Create(1, {{"clsid", kControlClsid}}))["t"], "created");
        ASSERT_EQ((*page.Create(2, {{"clsid", kControlClsid}}))["t"], "created");
        ASSERT_TRUE(ShowEmptyDesk(page, 1));
        ASSERT_TRUE(page.WaitBinary());
        EXPECT_NE(canUnloadNow(), S_OK);
    }
    // The container keeps its class factory while it runs; once it has
    // stopped, nothing of the server may be left alive.
    StopServer();
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (canUnloadNow() != S_OK && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(20ms);
    EXPECT_EQ(canUnloadNow(), S_OK);
}

TEST_F(HostServer, UpgradeNeedsOurHostAndAnAllowedOrigin) {
    const std::string own = "http://127.0.0.1:" + std::to_string(port_);
    EXPECT_EQ(Fetch(port_, Upgrade(port_, "", own)).status, 101u);
    EXPECT_EQ(Fetch(port_, Upgrade(port_, "localhost:" + std::to_string(port_), "http://localhost:" + std::to_string(port_))).status,
              101u);

    for (const std::string& origin : {std::string("http://evil.example"), std::string("null"), std::string(),
                                      "https://127.0.0.1:" + std::to_string(port_),
                                      "http://127.0.0.1:" + std::to_string(port_ + 1)})
        EXPECT_EQ(Fetch(port_, Upgrade(port_, "", origin)).status, 403u) << origin;

    for (const std::string& host : {"evil.example:" + std::to_string(port_),
                                    "127.0.0.1.evil.example:" + std::to_string(port_),
                                    "127.0.0.1:" + std::to_string(port_ + 1), std::string("127.0.0.1")})
        EXPECT_EQ(Fetch(port_, Upgrade(port_, host, own)).status, 421u) << host;

    EXPECT_EQ(Fetch(port_, Upgrade(port_, "", own, "/other")).status, 404u);

    // And a page of another origin cannot connect at all.
    Page foreign(port_, "http://evil.example");
    EXPECT_FALSE(foreign.Connected());
}

TEST_F(HostServer, ServesOnlyTheElementScriptAndTheDemo) {
    HttpAnswer script = Fetch(port_, Get(port_, "/zov.js"));
    EXPECT_EQ(script.status, 200u);
    EXPECT_EQ(script.body, "// the element script\n");
    EXPECT_EQ(script.headers[http::field::content_type].substr(0, 15), "text/javascript");
    // The source map beside it, for the page author's debugger.
    HttpAnswer map = Fetch(port_, Get(port_, "/zov.js.map"));
    EXPECT_EQ(map.status, 200u);
    EXPECT_EQ(map.body, "{\"version\":3}");
    EXPECT_EQ(map.headers[http::field::content_type], "application/json");

    HttpAnswer demo = Fetch(port_, Get(port_, "/demo/"));
    EXPECT_EQ(demo.status, 200u);
    EXPECT_EQ(demo.body, "<!doctype html><title>demo</title>\n");
    EXPECT_EQ(Fetch(port_, Get(port_, "/demo/index.html?x=1")).status, 200u);
    HttpAnswer root = Fetch(port_, Get(port_, "/"));
    EXPECT_EQ(root.status, 302u);
    EXPECT_EQ(root.headers[http::field::location], "/demo/");

    for (const char* target : {"/demo/../x", "/demo/..%2fx", "/demo/%2e%2e/x", "/demo//x", "/demo/.hidden",
                               "/node_modules/x", "/x", "/zov.js/", "/zov.js.map/", "/zov.map", "/web/zov.js", "/demo/..\\x"})
        EXPECT_EQ(Fetch(port_, Get(port_, target)).status, 404u) << target;

    http::request<http::empty_body> rebound = Get(port_, "/zov.js");
    rebound.set(http::field::host, "evil.example:" + std::to_string(port_));
    EXPECT_EQ(Fetch(port_, rebound).status, 421u);
}

}  // namespace
}  // namespace zov::host
