// The event relay through the container: its properties over the protocol,
// its events reaching the page, and the launch pages the container keeps.
#include "tests/host/PageClient.h"

#include "host/Launches.h"

#include <filesystem>
#include <fstream>

namespace zov::host {
namespace {

using namespace pagetest;

class RelayHost : public HostServer {
protected:
    void SetUp() override {
        HostServer::SetUp();
        void* relay = dlopen(ZOV_RELAY_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(relay, nullptr) << dlerror();
        auto registerServer = reinterpret_cast<DllRegisterServerFunction>(dlsym(relay, "DllRegisterServer"));
        ASSERT_NE(registerServer, nullptr);
        ASSERT_EQ(registerServer(), S_OK);
    }
};

TEST_F(RelayHost, PropertiesAndEventsCrossTheSocket) {
    Page page(port_);
    ASSERT_TRUE(page.Connected());
    std::optional<Json> created = page.Create(1, {{"progid", "ZOZozovuDOvezo.CVEventCtrl"}, {"w", 0}, {"h", 0}});
    ASSERT_TRUE(created);
    ASSERT_EQ((*created)["t"], "created") << created->dump();
    EXPECT_EQ((*created)["members"][0],
              Json({{"id", 1}, {"name", "DisplayString"}, {"args", Json::array()}, {"result", "string"}, {"kind", "get"}}));
    EXPECT_EQ((*created)["members"][1]["kind"], "put");

    EXPECT_EQ((*page.Call(1, "DisplayString", Json::array()))["v"], nullptr);
    ASSERT_TRUE(page.Send({{"t", "call"}, {"el", 1}, {"id", 50}, {"m", "DisplayString"}, {"k", "put"}, {"a", {"shown"}}}));
    EXPECT_FALSE(page.WaitReturn(1, 50)->contains("error"));
    EXPECT_EQ((*page.Call(1, "DisplayString", Json::array()))["v"], "shown");
    // A reading given a value, and a method written to, are refused.
    EXPECT_TRUE(page.Call(1, "DisplayString", {"x"})->contains("error"));
    ASSERT_TRUE(page.Send({{"t", "call"}, {"el", 1}, {"id", 51}, {"m", "MyCallMethod"}, {"k", "put"}, {"a", {"x"}}}));
    EXPECT_TRUE(page.WaitReturn(1, 51)->contains("error"));

    page.Call(1, "MyCallMethod", Json::array());
    std::optional<Json> event = page.WaitType("event", 1);
    ASSERT_TRUE(event);
    EXPECT_EQ(*event, Json({{"t", "event"}, {"el", 1}, {"name", "OnOpenUrl"}, {"args", {{{"Msg", "はろー"}}}}}));

    // The viewer's event file, found by the watcher, comes the same way.
    std::filesystem::create_directories(Root() + "/ZOVuvazaR/Event");
    std::ofstream(Root() + "/ZOVuvazaR/Event/0000002A.txt") << "open?doc=42";
    page.Call(1, "AttachObject", {42});
    event = page.WaitType("event", 1);
    ASSERT_TRUE(event);
    EXPECT_EQ((*event)["args"][0]["Msg"], "open?doc=42");

    // The parameter object is no control a page may make.
    std::optional<Json> param = page.Create(2, {{"progid", "ZOZozovuDOvezo.CVEventParam"}});
    ASSERT_TRUE(param);
    EXPECT_EQ((*param)["t"], "error");
}

TEST_F(RelayHost, LaunchPagesAreKeptForAWhileAndTheirWorkRunsOnce) {
    Launches launches;
    int ran = 0;
    std::optional<std::string> token = launches.Add(LaunchPage{"<html>one</html>", [&] { ++ran; }});
    ASSERT_TRUE(token);
    EXPECT_EQ(token->size(), 32u);
    EXPECT_EQ(launches.Page(*token), "<html>one</html>");
    std::function<void()> work = launches.Take(*token);
    ASSERT_TRUE(work);
    work();
    EXPECT_FALSE(launches.Take(*token)) << "a launch prepares one control only";
    EXPECT_EQ(launches.Page(*token), "<html>one</html>") << "the window may load its page again";
    EXPECT_EQ(ran, 1);
    EXPECT_FALSE(launches.Page("0123456789abcdef0123456789abcdef"));
    for (std::size_t i = 1; i < kLaunchLimit; ++i)
        EXPECT_TRUE(launches.Add(LaunchPage{"x", {}}));
    EXPECT_FALSE(launches.Add(LaunchPage{"x", {}})) << "past the limit";
    EXPECT_FALSE(launches.Add(LaunchPage{std::string(kLaunchPageBytes + 1, 'x'), {}}));

    // The container's own: an address it never gave is not found.
    EXPECT_EQ(Fetch(port_, Get(port_, "/launch/0123456789abcdef0123456789abcdef")).status, 404u);
    EXPECT_EQ(Fetch(port_, Get(port_, "/launch/../zov.js")).status, 404u);
}

}  // namespace
}  // namespace zov::host
