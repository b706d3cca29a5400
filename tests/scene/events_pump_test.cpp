// Input through the host's real pump: SDL events pushed at an offscreen window become queue entries that the
// dispatch delivers to buttons, display handlers and legacy rows.
#include <cstdlib>

#include "host/os/input_inject.h"
#include "host/screen.h"
#include "scene/events/buttons.h"
#include "scene/events/legacy_events.h"
#include "tests/scene/events_fixture.h"

namespace {

class HostPump : public EventFixture {
protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        EventFixture::SetUp();
        leftMouseQuits = GetSystemOption(9);
        SetSystemOption(0, 9, 0); // a left click would otherwise end the program
        HostWindow *w = display->hostWindow;
        w->width = 64, w->height = 48;
        opened = OpenDisplayWindow(w, 0, nullptr, nullptr) == 0;
    }
    void TearDown() override {
        if (opened) CloseDisplayWindow(display->hostWindow);
        EventFixture::TearDown();
        ShutdownVideo();
        SetSystemOption(0, 9, leftMouseQuits);
    }
    bool opened = false;
    int leftMouseQuits = 1;
};

TEST_F(HostPump, InjectedClickReachesTheButton) {
    ASSERT_TRUE(opened);
    NewTable(vm);
    PushRef(vm, kRegistryIndex, RecorderRef());
    SetField(vm, -2, "onmousedown");
    PushRef(vm, kRegistryIndex, RecorderRef());
    SetField(vm, -2, "onmouseup");
    ASSERT_EQ(AddSimpleButton(vm, display->picture, ObjectId{1, nullptr}, 10, 10, 20, 20, MakeRef(vm, kRegistryIndex),
                              -1),
              0);
    InjectMouseButton(display->hostWindow, 1, 15, 15, 1);
    InjectMouseButton(display->hostWindow, 1, 15, 15, 0);
    PumpEvents(vm);
    EXPECT_EQ(CheckEvent(), 1);
    EXPECT_EQ(CheckEvent(), 1);
    EXPECT_EQ(Actions(), (std::vector<std::string>{"OnMouseDown", "OnMouseUp"}));
}

TEST_F(HostPump, InjectedKeyReachesTheKeyHandlerWithItsName) {
    ASSERT_TRUE(opened);
    SetHandler(display, kSlotOnKeyDown);
    InjectKey(display->hostWindow, 259, 1, 0x80000000u); // LEFT
    PumpEvents(vm);
    EXPECT_EQ(CheckEvent(), 1);
    ASSERT_EQ(Recorder.messages.size(), 1u);
    EXPECT_EQ(Recorder.messages[0].Get("key"), "LEFT");
}

TEST_F(HostPump, InjectedMotionGivesHoverOnAButton) {
    ASSERT_TRUE(opened);
    NewTable(vm);
    PushRef(vm, kRegistryIndex, RecorderRef());
    SetField(vm, -2, "onmouseover");
    ASSERT_EQ(AddSimpleButton(vm, display->picture, ObjectId{1, nullptr}, 0, 0, 30, 30, MakeRef(vm, kRegistryIndex),
                              -1),
              0);
    InjectMouseMotion(display->hostWindow, 5, 5);
    PumpEvents(vm);
    EXPECT_EQ(CheckEvent(), 1);
    EXPECT_EQ(Actions(), (std::vector<std::string>{"OnMouseOver"}));
}

} // namespace
