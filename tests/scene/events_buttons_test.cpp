// Buttons of background pictures: the button stage of clicks, hover over and out, MakeButton's checks and the
// DumpButtons text.
#include <filesystem>
#include <unistd.h>

#include "host/debug_output.h"
#include "runtime/app/errors.h"
#include "runtime/app/hooks.h"
#include "scene/display/display_list.h"
#include "scene/events/buttons.h"
#include "scene/events/event_commands.h"
#include "tests/scene/events_fixture.h"
#include "tests/support/files.h"

namespace {

class Buttons : public EventFixture {
protected:
    // A button whose every function is the recorder; returns the record.
    vlBGPicButton *Add(int32_t number, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                       std::initializer_list<const char *> functions) {
        NewTable(vm);
        for (const char *name : functions) {
            PushRef(vm, kRegistryIndex, RecorderRef());
            SetField(vm, -2, name);
        }
        vlBGPicButton *b = nullptr;
        EXPECT_EQ(AddSimpleButton(vm, display->picture, ObjectId{number, nullptr}, x1, y1, x2, y2,
                                  MakeRef(vm, kRegistryIndex), -1, &b),
                  0);
        return b;
    }
    vlBGPicButton *AddFull(int32_t number, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
        return Add(number, x1, y1, x2, y2,
                   {"onmouseover", "onmouseout", "onmousedown", "onmouseup", "onrightmousedown", "onrightmouseup",
                    "onmidmousedown", "onmidmouseup"});
    }
    void MoveMouse(int32_t x, int32_t y) {
        display->hostWindow->mouseX = x;
        display->hostWindow->mouseY = y;
        display->hostWindow->mouseMoved = true;
        display->hostWindow->lastMouseMoveMicros = PumpClockNow();
    }
    void DrainEvents() {
        while (CheckEvent() == 1) {
        }
    }
    // What DumpButtons writes for the display's picture.
    std::string DumpText() {
        std::string path = (std::filesystem::temp_directory_path() /
                            ("events_dumpbuttons_" + std::to_string(getpid()) + ".txt"))
                               .string();
        EXPECT_EQ(SetDebugDevice(path.c_str()), 0);
        DumpButtons(display->picture);
        SetDebugDevice(nullptr);
        std::string text = ReadFileText(path);
        std::filesystem::remove(path);
        return text;
    }
    std::vector<std::string> Ids() const {
        std::vector<std::string> ids;
        for (const RecordedMessage &m : Recorder.messages) ids.push_back(m.Get("id"));
        return ids;
    }
    // Calls MakeButton with the given arguments already pushed after the function; returns the error code.
    int MakeButton(std::initializer_list<double> numbers, bool withTable, bool tableHasFunction) {
        PushNativeFunction(vm, CmdMakeButton, "makebutton");
        for (double n : numbers) PushNumber(vm, n);
        int count = int(numbers.size());
        if (withTable) {
            NewTable(vm);
            if (tableHasFunction) {
                PushRef(vm, kRegistryIndex, RecorderRef());
                SetField(vm, -2, "onmousedown");
            }
            count++;
        }
        return ProtectedCall(vm, count, 0, 0);
    }
};

TEST_F(Buttons, AllThreeMouseButtonsGiveDownAndUpInOrder) {
    AddFull(1, 10, 10, 20, 20);
    for (int kind : {kEventLeftMouse, kEventRightMouse, kEventMiddleMouse}) {
        Click(display, kind, 15, 15, 1);
        Click(display, kind, 15, 15, 0);
    }
    DrainEvents();
    EXPECT_EQ(Actions(), (std::vector<std::string>{"OnMouseDown", "OnMouseUp", "OnRightMouseDown", "OnRightMouseUp",
                                                   "OnMidMouseDown", "OnMidMouseUp"}));
}

TEST_F(Buttons, RectanglesAreInclusive) {
    Add(1, 10, 10, 20, 20, {"onmousedown"});
    Click(display, kEventLeftMouse, 20, 20, 1);
    Click(display, kEventLeftMouse, 21, 20, 1);
    Click(display, kEventLeftMouse, 10, 9, 1);
    DrainEvents();
    EXPECT_EQ(Actions(), (std::vector<std::string>{"OnMouseDown"}));
}

TEST_F(Buttons, NewerOfTwoOverlappingButtonsGetsClickAndHover) {
    AddFull(1, 0, 0, 20, 20);
    AddFull(2, 10, 10, 30, 30);
    MoveMouse(15, 15);
    DrainEvents();
    Click(display, kEventLeftMouse, 15, 15, 1);
    DrainEvents();
    EXPECT_EQ(Actions(), (std::vector<std::string>{"OnMouseOver", "OnMouseDown"}));
    EXPECT_EQ(Ids(), (std::vector<std::string>{"2", "2"}));
}

TEST_F(Buttons, ButtonOfAnUnknownTypeNeverTakesAClick) {
    AddFull(1, 0, 0, 20, 20)->type = 2;
    Click(display, kEventLeftMouse, 5, 5, 1);
    DrainEvents();
    EXPECT_TRUE(Recorder.messages.empty());
}

TEST_F(Buttons, InputResetUnderTheMouseGivesNoSecondMouseOver) {
    AddFull(1, 0, 0, 20, 20);
    MoveMouse(5, 5);
    DrainEvents();
    ResetDisplayInputState(display);
    MoveMouse(6, 6);
    DrainEvents();
    EXPECT_EQ(Actions(), (std::vector<std::string>{"OnMouseOver"}));
}

TEST_F(Buttons, UpOnAnotherButtonOnlyEndsThePress) {
    vlBGPicButton *a = AddFull(1, 0, 0, 9, 9);
    AddFull(2, 20, 0, 29, 9);
    Click(display, kEventLeftMouse, 5, 5, 1);
    Click(display, kEventLeftMouse, 25, 5, 0);
    DrainEvents();
    EXPECT_EQ(Actions(), (std::vector<std::string>{"OnMouseDown"}));
    EXPECT_EQ(Ids(), (std::vector<std::string>{"1"}));
    EXPECT_EQ(a->state & kButtonLeftPressed, 0);
}

TEST_F(Buttons, DownOnAButtonWithoutTheFunctionStillTakesTheEvent) {
    Add(1, 0, 0, 20, 20, {"onmouseup"});
    vlBGPicButton *top = display->picture->buttons;
    Add(2, 0, 0, 20, 20, {"onmouseover"}); // newer, nearer the head, no onmousedown
    vlBGPicButton *upper = display->picture->buttons;
    Click(display, kEventLeftMouse, 5, 5, 1);
    DrainEvents();
    EXPECT_TRUE(Recorder.messages.empty());
    EXPECT_NE(upper->state & kButtonLeftPressed, 0);
    EXPECT_EQ(top->state & kButtonLeftPressed, 0);
}

TEST_F(Buttons, DisabledButtonStaysSilent) {
    vlBGPicButton *b = AddFull(1, 0, 0, 20, 20);
    SetButtonEnabled(b, 0);
    MoveMouse(5, 5);
    Click(display, kEventLeftMouse, 5, 5, 1);
    Click(display, kEventLeftMouse, 5, 5, 0);
    DrainEvents();
    EXPECT_TRUE(Recorder.messages.empty());
}

TEST_F(Buttons, HoverGivesOverThenOutWhenThePointerMovesToAnother) {
    AddFull(1, 0, 0, 9, 9);
    AddFull(2, 20, 0, 29, 9);
    MoveMouse(5, 5);
    DrainEvents();
    MoveMouse(25, 5);
    DrainEvents();
    MoveMouse(50, 50);
    DrainEvents();
    EXPECT_EQ(Actions(), (std::vector<std::string>{"OnMouseOver", "OnMouseOut", "OnMouseOver", "OnMouseOut"}));
    EXPECT_EQ(Ids(), (std::vector<std::string>{"1", "1", "2", "2"}));
}

TEST_F(Buttons, HoverWithoutMovementCallsNothing) {
    AddFull(1, 0, 0, 9, 9);
    MoveMouse(5, 5);
    DrainEvents();
    DrainEvents();
    EXPECT_EQ(Recorder.messages.size(), 1u);
}

TEST_F(Buttons, ButtonFreedInsideItsCallbackDoesNotDerailTheHover) {
    AddFull(1, 0, 0, 9, 9);
    AddFull(2, 20, 0, 29, 9);
    MoveMouse(5, 5);
    DrainEvents();
    Recorder.inside = [](VMState *vm) {
        BGPic *p = CurrentBGPic;
        vlBGPicButton *b;
        if (FindButton(p, ObjectId{1, nullptr}, &b) == 0) FreeButton(vm, p, b);
    };
    MoveMouse(25, 5);
    DrainEvents();
    EXPECT_EQ(Actions(), (std::vector<std::string>{"OnMouseOver", "OnMouseOut", "OnMouseOver"}));
}

TEST_F(Buttons, ScaledDisplayDividesWindowCoordinates) {
    Add(1, 10, 10, 20, 20, {"onmousedown"});
    display->scaleX = 2.0, display->scaleY = 2.0;
    Click(display, kEventLeftMouse, 41, 41, 1); // 20.5 -> 20: inside
    Click(display, kEventLeftMouse, 42, 20, 1); // 21: outside
    DrainEvents();
    EXPECT_EQ(Recorder.messages.size(), 1u);
}

TEST_F(Buttons, HitTestUsesTheDisplayTheButtonIsOn) {
    DisplayRecord *other = AddDisplay(2);
    other->scaleX = other->scaleY = 0.5;
    display->scaleX = display->scaleY = 3.0; // the current display's factors must not apply to the other one
    NewTable(vm);
    PushRef(vm, kRegistryIndex, RecorderRef());
    SetField(vm, -2, "onmousedown");
    ASSERT_EQ(AddSimpleButton(vm, other->picture, ObjectId{1, nullptr}, 10, 10, 20, 20, MakeRef(vm, kRegistryIndex), -1),
              0);
    Click(other, kEventLeftMouse, 6, 6, 1); // 12 in the picture
    DrainEvents();
    EXPECT_EQ(Recorder.messages.size(), 1u);
}

TEST_F(Buttons, MakeButtonRefusesZeroWidth) {
    EXPECT_EQ(MakeButton({1, 0, 0, 0, 0, 10}, true, true), 1055);
    EXPECT_EQ(display->picture->buttons, nullptr);
}

TEST_F(Buttons, MakeButtonRefusesATableWithoutFunctions) {
    EXPECT_EQ(MakeButton({1, 0, 0, 0, 10, 10}, true, false), 1055);
}

TEST_F(Buttons, MakeButtonRefusesARedirectedOutput) {
    display->outputKind = 3; // a brush
    EXPECT_EQ(MakeButton({1, 0, 0, 0, 10, 10}, true, true), 1191);
}

TEST_F(Buttons, FailedMakeButtonKeepsTheOldButton) {
    ASSERT_EQ(MakeButton({1, 0, 0, 0, 10, 10}, true, true), 0);
    EXPECT_EQ(MakeButton({1, 0, 0, 0, 0, 10}, true, true), 1055);
    vlBGPicButton *b;
    EXPECT_EQ(FindButton(display->picture, ObjectId{1, nullptr}, &b), 0);
}

TEST_F(Buttons, MakeButtonWithTheSameNumberReplacesTheOld) {
    ASSERT_EQ(MakeButton({1, 0, 0, 0, 10, 10}, true, true), 0);
    ASSERT_EQ(MakeButton({1, 0, 5, 5, 10, 10}, true, true), 0);
    ASSERT_NE(display->picture->buttons, nullptr);
    EXPECT_EQ(display->picture->buttons->next, nullptr);
    EXPECT_EQ(display->picture->buttons->x, 5);
}

TEST_F(Buttons, LayerButtonWithoutLayersIsOutOfRange) {
    EXPECT_EQ(MakeButton({1, 1, 1, 0, 0}, true, true), 1081);
}

TEST_F(Buttons, DeletingAMissingButtonNamesIt) {
    EXPECT_EQ(Call(CmdDeleteButton, {5}), 1188);
    EXPECT_EQ(GetErrorText(1188), "Could not find button 5!");
}

TEST_F(Buttons, DumpButtonsTextIsExact) {
    display->picture->id = ObjectId{7, nullptr};
    Add(1, 1, 2, 3, 4, {"onmousedown"});
    Add(2, 10, 20, 30, 40, {"onmousedown"});
    std::string captured = DumpText();
    char header[160];
    std::snprintf(header, sizeof header, "BUTTON SYSTEM INFO - BGPIC: 7 (%p)\nsizeof(vlBGPicButton): 100\nButtons: 2\n",
                  static_cast<void *>(display->picture));
    EXPECT_EQ(captured, std::string(header) + "(1) Type: 0 - X1: 10 - Y1: 20 - X2: 30 - Y2: 40\n"
                                              "(2) Type: 0 - X1: 1 - Y1: 2 - X2: 3 - Y2: 4\n");
}

} // namespace

namespace {

// A picture freed while the hover walk stands on one of its buttons: the picture code frees the buttons
// with FreeButton, which moves the walk off them.
TEST_F(Buttons, PictureFreeingItsButtonsMovesTheDispatchOffThem) {
    vlBGPicButton *a = AddFull(1, 0, 0, 9, 9);
    AddFull(2, 20, 0, 29, 9);
    MoveMouse(5, 5);
    DrainEvents();
    MoveMouse(25, 5);
    EXPECT_EQ(CheckEvent(), 1); // OnMouseOut of button 1; the walk restarts from the first button
    TheEventState->buttonIterator = a;
    FreeButton(a->vm, display->picture, a);
    EXPECT_NE(TheEventState->buttonIterator, a);
    DrainEvents();
    EXPECT_EQ(Actions(), (std::vector<std::string>{"OnMouseOver", "OnMouseOut", "OnMouseOver"}));
}

} // namespace

namespace {

// LAYERBUTTONs on a hand-made layer of the picture (the layer commands come later).
class LayerButtons : public Buttons {
protected:
    void SetUp() override {
        Buttons::SetUp();
        state.screenX = 10, state.screenY = 10, state.screenWidth = 8, state.screenHeight = 8;
        layer.current = &state;
        layer.name = name;
        AddTailNode(&display->picture->layers, &other.node);
        AddTailNode(&display->picture->layers, &layer.node);
    }
    void TearDown() override {
        RemoveNode(&layer.node);
        RemoveNode(&other.node);
        FreeMaskPlane(state.mask);
        FreeHostBitmap(state.bitmap);
        state.mask = nullptr;
        state.bitmap = nullptr;
        Buttons::TearDown();
    }
    int AddOn(vlLayer *target, int pixelExact, int activeWhenHidden) {
        NewTable(vm);
        PushRef(vm, kRegistryIndex, RecorderRef());
        SetField(vm, -2, "onmousedown");
        return AddLayerButton(vm, display->picture, ObjectId{9, nullptr}, target, pixelExact, activeWhenHidden,
                              MakeRef(vm, kRegistryIndex), -1);
    }
    char name[8] = "logo";
    vlLayer other, layer;
    LayerDrawParams state;
};

TEST_F(LayerButtons, ClickCarriesTheLayerPositionAndName) {
    ASSERT_EQ(AddOn(&layer, 0, 0), 0);
    Click(display, kEventLeftMouse, 12, 12, 1);
    EXPECT_EQ(CheckEvent(), 1);
    ASSERT_EQ(Recorder.messages.size(), 1u);
    EXPECT_EQ(Recorder.messages[0].Get("layer"), "2");
    EXPECT_EQ(Recorder.messages[0].Get("layername"), "logo");
    EXPECT_EQ(Recorder.messages[0].Get("width"), "0");
}

TEST_F(LayerButtons, CoveredRectangleIsHalfOpen) {
    ASSERT_EQ(AddOn(&layer, 0, 0), 0);
    Click(display, kEventLeftMouse, 18, 12, 1);
    EXPECT_EQ(CheckEvent(), 0);
}

TEST_F(LayerButtons, HiddenLayerIgnoredUnlessActiveWhenHidden) {
    layer.hidden = 1;
    ASSERT_EQ(AddOn(&layer, 0, 0), 0);
    Click(display, kEventLeftMouse, 12, 12, 1);
    EXPECT_EQ(CheckEvent(), 0);
    RemoveLayerButtons(vm, display->picture, &layer);
    ASSERT_EQ(AddOn(&layer, 0, 1), 0);
    Click(display, kEventLeftMouse, 12, 12, 1);
    EXPECT_EQ(CheckEvent(), 1);
}

TEST_F(LayerButtons, PixelExactMissesTransparentPixels) {
    state.bitmap = AllocHostBitmap(8, 8);
    state.mask = AllocMaskPlane(nullptr, 8, 8, true);
    state.mask->bits[0] = 0x80; // only the layer's top-left pixel is visible
    ASSERT_EQ(AddOn(&layer, 1, 0), 0);
    Click(display, kEventLeftMouse, 11, 10, 1);
    Click(display, kEventLeftMouse, 10, 10, 1);
    while (CheckEvent() == 1) {
    }
    EXPECT_EQ(Recorder.messages.size(), 1u);
}

TEST_F(LayerButtons, SecondButtonOnTheSameLayerIsRefused) {
    ASSERT_EQ(AddOn(&layer, 0, 0), 0);
    EXPECT_EQ(AddOn(&layer, 0, 0), 1055);
    EXPECT_EQ(AddOn(&other, 0, 0), 0);
}

TEST_F(LayerButtons, DumpShowsTheLayerButtonTypeAndEmptyRectangle) {
    ASSERT_EQ(AddOn(&layer, 0, 0), 0);
    std::string text = DumpText();
    EXPECT_NE(text.find("(1) Type: 1 - X1: 0 - Y1: 0 - X2: -1 - Y2: -1\n"), std::string::npos) << text;
}

} // namespace
