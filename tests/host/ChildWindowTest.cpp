// The control's child windows through the page protocol: the toolbar and its
// pictures as the page gets them, modeless dialogs with their colours, and
// what the page may send back.
#include "platform/HostWindow.h"
#include "tests/host/PageClient.h"
#include "tests/host/RecordingControl.h"

namespace zov::host {
namespace {

using namespace pagetest;
using namespace recordingtest;

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

    // The same element on a screen of twice the density: as large on the
    // screen, in twice the pixels, with the pictures drawn for it.
    page.Send({{"t", "size"}, {"el", 1}, {"w", 1536}, {"h", 800}, {"scale", 2}});
    std::optional<Json> dense = page.WaitText([](const Json& m) {
        return m.value("t", "") == "child" && m.value("image", 0) == 64;
    });
    ASSERT_TRUE(dense);
    EXPECT_EQ((*dense)["rect"], Json({0, 0, 1536, 84}));
    EXPECT_EQ((*dense)["scale"], 2.0);
    const std::vector<std::string> fine = page.ImageLists();
    ASSERT_GE(fine.size(), 4u);
    EXPECT_EQ(Word(fine.back(), 12, 2), 64u);
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

void* RecordingLibrary() {
    static void* library = dlopen(ZOV_RECORDING_CONTROL, RTLD_NOW | RTLD_LOCAL);
    return library;
}

// The recording control, registered by its own entry point, whose dialogs
// note what reaches them.
class DialogServer : public HostServer {
protected:
    void SetUp() override {
        HostServer::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_NE(RecordingLibrary(), nullptr) << dlerror();
        auto registerServer = reinterpret_cast<DllRegisterServerFunction>(dlsym(RecordingLibrary(), "DllRegisterServer"));
        ASSERT_NE(registerServer, nullptr);
        ASSERT_EQ(registerServer(), S_OK);
        record_ = reinterpret_cast<DialogRecordFunction>(dlsym(RecordingLibrary(), kDialogRecordExport))();
        ASSERT_NE(record_, nullptr);
        // Every window numbers its dialogs from the same first handle.
        std::lock_guard lock(record_->mutex);
        record_->dialogs.clear();
    }

    bool Open(Page& page) {
        std::optional<Json> created = page.Create(1, {{"clsid", kRecordingControlClsid}, {"w", 640}, {"h", 400}});
        return created && (*created)["t"] == "created";
    }

    // Opens a dialog; its handle, 0 when refused.
    WindowHandle OpenDialog(Page& page) {
        std::optional<Json> answer = page.Call(1, "Dialog", Json::array());
        return answer && answer->contains("v") ? (*answer)["v"].get<WindowHandle>() : 0;
    }

    // The dialog's record once `ready` holds for it, within the wait.
    DialogEvents WaitFor(WindowHandle dialog, const std::function<bool(const DialogEvents&)>& ready) {
        std::unique_lock lock(record_->mutex);
        record_->changed.wait_for(lock, kWait, [&] { return ready(record_->dialogs[dialog]); });
        return record_->dialogs[dialog];
    }
    DialogEvents Now(WindowHandle dialog) {
        std::lock_guard lock(record_->mutex);
        return record_->dialogs[dialog];
    }

    DialogRecord* record_ = nullptr;  // the server's, for the life of the process
};

std::function<bool(const Json&)> Message(const std::string& type, WindowHandle dialog) {
    return [type, dialog](const Json& m) { return m.value("t", "") == type && m.value("h", 0u) == dialog; };
}

Json Event(WindowHandle dialog, std::int32_t control, const std::string& event) {
    return {{"t", "childEvent"}, {"el", 1}, {"h", dialog}, {"ctl", control}, {"e", event}};
}

TEST_F(DialogServer, AModelessDialogLivesBesideTheWindowUntilItIsDestroyed) {
    Page page(port_);
    ASSERT_TRUE(Open(page));
    // The call returns while the dialog stays up.
    const WindowHandle dialog = OpenDialog(page);
    ASSERT_GE(dialog, kFirstDialogHandle);
    std::optional<Json> child = page.WaitText(Message("child", dialog));
    ASSERT_TRUE(child);
    EXPECT_EQ((*child)["modal"], false);
    const Json& controls = (*child)["controls"];
    ASSERT_EQ(controls.size(), 6u);
    EXPECT_EQ(controls[1]["class"], "edit");
    EXPECT_EQ(controls[1]["multiline"], true);
    EXPECT_EQ(controls[2], Json({{"id", kSwatch}, {"class", "swatch"}, {"text", ""}, {"colour", "#ffffff"}}));
    EXPECT_EQ(controls[3]["class"], "colour");
    EXPECT_EQ(controls[3]["text"], "Colour...");
    EXPECT_FALSE(controls[4].contains("multiline"));

    // Its timer ticks; activation reaches it.
    WaitFor(dialog, [](const DialogEvents& e) { return e.ticks >= 2; });
    page.Send({{"t", "childEvent"}, {"el", 1}, {"h", dialog}, {"e", "activate"}});
    EXPECT_EQ(WaitFor(dialog, [](const DialogEvents& e) { return e.activations == 1; }).activations, 1);

    // A modal box goes up in front of it: what the page says of the dialog
    // meanwhile is not taken, and the box is answered as ever.
    ASSERT_TRUE(page.Send({{"t", "call"}, {"el", 1}, {"id", 90}, {"m", "Box"}, {"a", Json::array()}}));
    std::optional<Json> box = page.WaitType("messageBox", 1);
    ASSERT_TRUE(box);
    page.Send({{"t", "childEvent"}, {"el", 1}, {"h", dialog}, {"e", "activate"}});
    page.Send(Event(dialog, IDCANCEL, "click"));
    page.Send({{"t", "answer"}, {"el", 1}, {"id", (*box)["id"]}, {"v", IDOK}});
    std::optional<Json> answered = page.WaitReturn(1, 90);
    ASSERT_TRUE(answered);
    EXPECT_EQ((*answered)["v"], IDOK);
    // So does a modal dialog.
    ASSERT_TRUE(page.Send({{"t", "call"}, {"el", 1}, {"id", 91}, {"m", "Modal"}, {"a", Json::array()}}));
    std::optional<Json> modal = page.WaitText([](const Json& m) { return m.value("t", "") == "child" && m.value("modal", false); });
    ASSERT_TRUE(modal);
    page.Send(Event((*modal)["h"].get<WindowHandle>(), IDOK, "click"));
    std::optional<Json> ended = page.WaitReturn(1, 91);
    ASSERT_TRUE(ended);
    EXPECT_EQ((*ended)["v"], IDOK);
    DialogEvents held = Now(dialog);
    EXPECT_EQ(held.activations, 1);
    EXPECT_TRUE(held.commands.empty());
    EXPECT_FALSE(held.destroyed);

    // Hidden and shown again by the control.
    ASSERT_TRUE(page.Call(1, "Show", {static_cast<std::int64_t>(dialog), false}));
    std::optional<Json> hidden = page.WaitText(Message("childUpdate", dialog));
    ASSERT_TRUE(hidden);
    EXPECT_EQ((*hidden)["visible"], false);

    // Cancel destroys it: the page is told, its timer stops.
    page.Send(Event(dialog, IDCANCEL, "click"));
    ASSERT_TRUE(page.WaitText(Message("childDestroy", dialog)));
    DialogEvents gone = WaitFor(dialog, [](const DialogEvents& e) { return e.destroyed; });
    EXPECT_TRUE(gone.destroyed);
    EXPECT_EQ(gone.commands, std::vector<std::int32_t>{IDCANCEL});
    std::this_thread::sleep_for(std::chrono::milliseconds(kDialogTimerMs * 8));
    EXPECT_EQ(Now(dialog).ticks, gone.ticks);
    // What comes for it later is not taken.
    page.Send({{"t", "childEvent"}, {"el", 1}, {"h", dialog}, {"e", "activate"}});
    ASSERT_TRUE(page.Call(1, "Visible", Json::array()));
    EXPECT_EQ(Now(dialog).activations, 1);
}

TEST_F(DialogServer, ColoursFromThePageAreCheckedAndReachTheDialog) {
    Page page(port_);
    ASSERT_TRUE(Open(page));
    const WindowHandle dialog = OpenDialog(page);
    ASSERT_NE(dialog, 0u);
    for (const Json& bad : {Json("#12345"), Json("#1234567"), Json("123456#"), Json("#12345g"), Json("red"),
                            Json(" #123456"), Json("#-12345"), Json(0x123456), Json(nullptr)}) {
        Json event = Event(dialog, kColourButton, "colour");
        event["colour"] = bad;
        page.Send(event);
        std::optional<Json> error = page.WaitText([](const Json& m) { return m.value("t", "") == "error"; });
        ASSERT_TRUE(error) << bad.dump();
    }
    page.Send(Event(dialog, kColourButton, "colour"));  // none at all
    ASSERT_TRUE(page.WaitText([](const Json& m) { return m.value("t", "") == "error"; }));
    // Only the Colour control chooses colours.
    for (const std::int32_t control : {kSwatch, kCommentEdit, 77}) {
        Json event = Event(dialog, control, "colour");
        event["colour"] = "#000000";
        page.Send(event);
    }
    Json chosen = Event(dialog, kColourButton, "colour");
    chosen["colour"] = "#1a2B3c";
    page.Send(chosen);
    DialogEvents events = WaitFor(dialog, [](const DialogEvents& e) { return !e.colours.empty(); });
    EXPECT_EQ(events.colours, std::vector<std::uint32_t>{0x3C2B1Au});
    // The dialog shows it in its swatch and its button, as the page writes colours.
    for (const std::int32_t control : {kSwatch, kColourButton}) {
        std::optional<Json> update = page.WaitText([&](const Json& m) {
            return m.value("t", "") == "childUpdate" && m.value("ctl", 0) == control;
        });
        ASSERT_TRUE(update) << control;
        EXPECT_EQ((*update)["colour"], "#1a2b3c");
    }
}

TEST_F(DialogServer, OpenDialogsAreBoundedAndTheWindowsEndDestroysThem) {
    Page page(port_);
    ASSERT_TRUE(Open(page));
    std::vector<WindowHandle> dialogs;
    for (std::size_t i = 0; i < kOpenDialogLimit; ++i) {
        dialogs.push_back(OpenDialog(page));
        ASSERT_NE(dialogs.back(), 0u) << i;
    }
    EXPECT_EQ(OpenDialog(page), 0u);
    // A modal dialog at the bound is answered Cancel without being shown.
    std::optional<Json> modal = page.Call(1, "Modal", Json::array());
    ASSERT_TRUE(modal);
    EXPECT_EQ((*modal)["v"], IDCANCEL);

    // The page hides the element, and the control can tell.
    EXPECT_EQ((*page.Call(1, "Visible", Json::array()))["v"], true);
    page.Send({{"t", "visible"}, {"el", 1}, {"v", false}});
    EXPECT_EQ((*page.Call(1, "Visible", Json::array()))["v"], false);
    page.Send({{"t", "visible"}, {"el", 1}, {"v", "no"}});
    ASSERT_TRUE(page.WaitText([](const Json& m) { return m.value("t", "") == "error"; }));
    EXPECT_EQ((*page.Call(1, "Visible", Json::array()))["v"], false);

    // The element goes: every dialog with it, each told, the page too.
    page.Send({{"t", "destroy"}, {"el", 1}});
    ASSERT_TRUE(page.WaitType("destroyed", 1));
    for (const WindowHandle dialog : dialogs) {
        EXPECT_TRUE(Now(dialog).destroyed) << dialog;
        EXPECT_TRUE(page.WaitText(Message("childDestroy", dialog), std::chrono::milliseconds(0))) << dialog;
    }
}

}  // namespace
}  // namespace zov::host
