// The dispatch pass through native callbacks: message tables, ordering of the display and button stages,
// stale events, nested use, quitting, and displays freed from inside a callback.
#include "runtime/app/attributes.h"
#include "scene/display/display_list.h"
#include "scene/events/buttons.h"
#include "scene/events/display_input.h"
#include "scene/events/event_commands.h"
#include "tests/scene/events_fixture.h"

namespace {

using Keys = std::vector<std::string>;

class Dispatch : public EventFixture {
protected:
    int32_t AddButton(int32_t number, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                      std::initializer_list<const char *> functions, BGPic *bgpic = nullptr) {
        NewTable(vm);
        for (const char *name : functions) {
            PushRef(vm, kRegistryIndex, RecorderRef());
            SetField(vm, -2, name);
        }
        int32_t ref = MakeRef(vm, kRegistryIndex);
        return AddSimpleButton(vm, bgpic ? bgpic : display->picture, ObjectId{number, nullptr}, x1, y1, x2, y2,
                               ref, -1);
    }
    void MoveMouse(DisplayRecord *d, int32_t x, int32_t y) {
        d->hostWindow->mouseX = x;
        d->hostWindow->mouseY = y;
        d->hostWindow->mouseMoved = true;
        d->hostWindow->lastMouseMoveMicros = PumpClockNow();
    }
};

TEST_F(Dispatch, IdleCheckEventTriggersNothing) {
    RecordedMessage table;
    EXPECT_EQ(CheckEvent(&table), 0);
    EXPECT_EQ(table.Keys(), (Keys{"nresults", "triggered"}));
}

TEST_F(Dispatch, ResultsOfTheCallbackComeBackInTheTable) {
    SetHandler(display, kSlotOnMouseDown);
    Recorder.resultsToReturn = 3;
    Click(display, kEventLeftMouse, 4, 5, 1);
    RecordedMessage table;
    EXPECT_EQ(CheckEvent(&table), 1);
    EXPECT_EQ(table.Keys(), (Keys{"action", "id", "results", "nresults", "triggered"}));
    EXPECT_EQ(table.Get("nresults"), "3");
}

TEST_F(Dispatch, DisplayEventMessagesHaveTheirKeysInOrder) {
    for (int slot : {kSlotOnMouseDown, kSlotSizeWindow, kSlotMoveWindow, kSlotModeSwitch, kSlotOnKeyDown})
        SetHandler(display, slot);
    display->width = 320, display->height = 200, display->x = 7, display->y = 8;
    Click(display, kEventLeftMouse, 4, 5, 1);
    QueueEvent(display, kEventWindowResized, 0, 0, 0);
    QueueEvent(display, kEventWindowMoved, 0, 0, 0);
    QueueEvent(display, kEventModeSwitched, 0, 0, 0);
    QueueEvent(display, kEventKey, 1, int32_t(0x80000000u), 275);
    for (int i = 0; i < 5; i++) EXPECT_EQ(CheckEvent(), 1);
    ASSERT_EQ(Recorder.messages.size(), 5u);
    EXPECT_EQ(Recorder.messages[0].Keys(), (Keys{"action", "id"}));
    EXPECT_EQ(Recorder.messages[1].Keys(), (Keys{"action", "width", "height", "id"}));
    EXPECT_EQ(Recorder.messages[1].Get("width"), "320");
    EXPECT_EQ(Recorder.messages[2].Keys(), (Keys{"action", "x", "y", "id"}));
    EXPECT_EQ(Recorder.messages[2].Get("y"), "8");
    EXPECT_EQ(Recorder.messages[3].Keys(), (Keys{"action", "mode", "id"}));
    EXPECT_EQ(Recorder.messages[3].Get("mode"), "1");
    EXPECT_EQ(Recorder.messages[4].Keys(), (Keys{"action", "key", "id"}));
    EXPECT_EQ(Recorder.messages[4].Get("key"), "ESC");
}

TEST_F(Dispatch, DroppedFilesArriveAsAList) {
    SetHandler(display, kSlotOnDropFile);
    std::string names = std::string("a.png") + '\0' + "b c.txt" + '\0' + '\0';
    QueueEvent(display, kEventFilesDropped, 3, 4, 0, std::vector<char>(names.begin(), names.end()));
    EXPECT_EQ(CheckEvent(), 1);
    ASSERT_EQ(Recorder.messages.size(), 1u);
    EXPECT_EQ(Recorder.messages[0].Keys(), (Keys{"action", "id", "x", "y", "dropfiles", "numdropfiles"}));
    EXPECT_EQ(Recorder.messages[0].Get("numdropfiles"), "2");
}

TEST_F(Dispatch, ClickOnAButtonGivesTheDisplayHandlerFirstThenTheButton) {
    SetHandler(display, kSlotOnMouseDown);
    ASSERT_EQ(AddButton(1, 0, 0, 9, 9, {"onmousedown"}), 0);
    Click(display, kEventLeftMouse, 5, 5, 1);
    EXPECT_EQ(CheckEvent(), 1);
    EXPECT_EQ(CheckEvent(), 1);
    EXPECT_EQ(CheckEvent(), 0);
    ASSERT_EQ(Recorder.messages.size(), 2u);
    EXPECT_EQ(Recorder.messages[0].Keys(), (Keys{"action", "id"}));
    EXPECT_EQ(Recorder.messages[1].Keys(), (Keys{"id", "action", "x", "y", "width", "height", "mousedown",
                                                 "rightmousedown", "midmousedown", "display"}));
    EXPECT_EQ(Recorder.messages[1].Get("mousedown"), "1");
    EXPECT_EQ(Recorder.messages[1].Get("width"), "10");
}

TEST_F(Dispatch, StaleEventsAreDroppedBeforeDispatch) {
    SetHandler(display, kSlotOnMouseDown);
    ASSERT_EQ(Call(CmdSetEventTimeout, {100}), 0);
    Click(display, kEventLeftMouse, 1, 1, 1);
    AdvanceMs(101);
    EXPECT_EQ(CheckEvent(), 0);
    EXPECT_EQ(QueuedEventCount(), 0);
}

TEST_F(Dispatch, StaleMouseMoveSendsNoOnMouseMoveButHoverStillRuns) {
    SetHandler(display, kSlotOnMouseMove);
    ASSERT_EQ(AddButton(1, 0, 0, 9, 9, {"onmouseover"}), 0);
    ASSERT_EQ(Call(CmdSetEventTimeout, {100}), 0);
    MoveMouse(display, 5, 5);
    AdvanceMs(150);
    EXPECT_EQ(CheckEvent(), 1);
    EXPECT_EQ(Actions(), (std::vector<std::string>{"OnMouseOver"}));
}

TEST_F(Dispatch, FreshMouseMoveReportsThePicturePosition) {
    SetHandler(display, kSlotOnMouseMove);
    display->scaleX = 2.0, display->scaleY = 2.0;
    MoveMouse(display, 9, 20);
    EXPECT_EQ(CheckEvent(), 1);
    ASSERT_EQ(Recorder.messages.size(), 1u);
    EXPECT_EQ(Recorder.messages[0].Keys(), (Keys{"action", "x", "y", "id"}));
    EXPECT_EQ(Recorder.messages[0].Get("x"), "4");
    EXPECT_EQ(Recorder.messages[0].Get("y"), "10");
}

TEST_F(Dispatch, CallbacksRunWithExitOnErrorCountRaised) {
    SetHandler(display, kSlotOnMouseDown);
    static int seen;
    seen = -1;
    Recorder.inside = [](VMState *) { seen = ExitOnErrorCount; };
    Click(display, kEventLeftMouse, 1, 1, 1);
    EXPECT_EQ(CheckEvent(), 1);
    EXPECT_EQ(seen, 1);
    EXPECT_EQ(ExitOnErrorCount, 0);
}

TEST_F(Dispatch, ErrorInsideACallbackComesOutWithItsCode) {
    SetHandler(display, kSlotOnMouseDown);
    Recorder.inside = [](VMState *vm) { RaiseError(vm, 1089); };
    Click(display, kEventLeftMouse, 1, 1, 1);
    EXPECT_EQ(CheckEvent(), -1089);
    EXPECT_EQ(ExitOnErrorCount, 0);
}

TEST_F(Dispatch, CheckEventInsideACallbackIsRefused) {
    SetHandler(display, kSlotOnMouseDown);
    static int nested;
    Recorder.inside = [](VMState *vm) {
        PushNativeFunction(vm, CmdCheckEvent, "checkevent");
        nested = ProtectedCall(vm, 0, 0, 0);
    };
    Click(display, kEventLeftMouse, 1, 1, 1);
    EXPECT_EQ(CheckEvent(), 1);
    EXPECT_EQ(nested, 1055);
}

TEST_F(Dispatch, QuitAskedForInsideACallbackGivesUserAbort) {
    SetHandler(display, kSlotOnMouseDown);
    Recorder.inside = [](VMState *) { QuitRequested = 1; };
    Click(display, kEventLeftMouse, 1, 1, 1);
    EXPECT_EQ(CheckEvent(), -1003);
}

TEST_F(Dispatch, WaitEventOnAClosedDisplayIsRefused) {
    display->state = DISPSTATE_CLOSED;
    EXPECT_EQ(WaitEvent(), -1347);
}

TEST_F(Dispatch, WaitEventReturnsNothingWhenThePumpReportsQuitting) {
    QuitRequested = 1;
    SignalMainTask(kSignalEvent);
    PushNativeFunction(vm, CmdWaitEvent, "waitevent");
    EXPECT_EQ(ProtectedCall(vm, 0, -1, 0), 0);
    EXPECT_EQ(GetTop(vm), 0);
}

TEST_F(Dispatch, EventOfAFreedDisplayIsDropped) {
    DisplayRecord *other = AddDisplay(2);
    SetHandler(other, kSlotOnMouseDown);
    Click(other, kEventLeftMouse, 1, 1, 1);
    ASSERT_EQ(FreeDisplayById(vm, ObjectId{2, nullptr}), 0);
    EXPECT_EQ(CheckEvent(), 0);
    EXPECT_TRUE(Recorder.messages.empty());
}

// A display handler that frees its own display: the pass resumes at the button stage of that event, which
// must not read the freed record.
TEST_F(Dispatch, CallbackThatFreesItsDisplayLeavesNoDanglingEvent) {
    DisplayRecord *other = AddDisplay(2);
    SetHandler(other, kSlotOnMouseDown);
    NewTable(vm);
    PushRef(vm, kRegistryIndex, RecorderRef());
    SetField(vm, -2, "onmousedown");
    ASSERT_EQ(AddSimpleButton(vm, other->picture, ObjectId{1, nullptr}, 0, 0, 9, 9, MakeRef(vm, kRegistryIndex), -1),
              0);
    Recorder.inside = [](VMState *vm) {
        if (Recorder.messages.size() == 1) FreeDisplayById(vm, ObjectId{2, nullptr});
    };
    Click(other, kEventLeftMouse, 5, 5, 1);
    EXPECT_EQ(CheckEvent(), 1);
    EXPECT_EQ(CheckEvent(), 0);
    EXPECT_EQ(Recorder.messages.size(), 1u);
}

TEST_F(Dispatch, InstallEventHandlerWithANumberReleasesFunctionAndUserdata) {
    PushNativeFunction(vm, CmdInstallEventHandler, "installeventhandler");
    NewTable(vm);
    PushRef(vm, kRegistryIndex, RecorderRef());
    SetField(vm, -2, "onkeydown");
    PushString(vm, "data");
    ASSERT_EQ(ProtectedCall(vm, 2, 0, 0), 0);
    int32_t function = display->handlers[kSlotOnKeyDown].function;
    int32_t userdata = display->handlers[kSlotOnKeyDown].userdata;
    ASSERT_NE(function, -1);
    ASSERT_NE(userdata, -1);
    PushNativeFunction(vm, CmdInstallEventHandler, "installeventhandler");
    NewTable(vm);
    PushNumber(vm, 0);
    SetField(vm, -2, "onkeydown");
    ASSERT_EQ(ProtectedCall(vm, 1, 0, 0), 0);
    EXPECT_EQ(display->handlers[kSlotOnKeyDown].function, -1);
    EXPECT_EQ(display->handlers[kSlotOnKeyDown].userdata, -1);
    PushRef(vm, kRegistryIndex, userdata);
    EXPECT_EQ(ValueType(vm, -1), TNIL);
    SetTop(vm, -2);
}

TEST_F(Dispatch, EachSlotGetsItsOwnUserdataReference) {
    PushNativeFunction(vm, CmdInstallEventHandler, "installeventhandler");
    NewTable(vm);
    PushRef(vm, kRegistryIndex, RecorderRef());
    SetField(vm, -2, "onkeydown");
    PushRef(vm, kRegistryIndex, RecorderRef());
    SetField(vm, -2, "onkeyup");
    PushString(vm, "shared");
    ASSERT_EQ(ProtectedCall(vm, 2, 0, 0), 0);
    // Replacing one handler must leave the other's userdata alone.
    PushNativeFunction(vm, CmdInstallEventHandler, "installeventhandler");
    NewTable(vm);
    PushNumber(vm, 0);
    SetField(vm, -2, "onkeydown");
    ASSERT_EQ(ProtectedCall(vm, 1, 0, 0), 0);
    QueueEvent(display, kEventKey, 0, int32_t(0x80000000u), 'q');
    EXPECT_EQ(CheckEvent(), 1);
    ASSERT_EQ(Recorder.messages.size(), 1u);
    EXPECT_EQ(Recorder.messages[0].Get("userdata"), "shared");
}

TEST_F(Dispatch, CloseWindowHandlerSetsTheCloseWindowFlag) {
    PushNativeFunction(vm, CmdInstallEventHandler, "installeventhandler");
    NewTable(vm);
    PushRef(vm, kRegistryIndex, RecorderRef());
    SetField(vm, -2, "closewindow");
    ASSERT_EQ(ProtectedCall(vm, 1, 0, 0), 0);
    EXPECT_EQ(display->closeWindowFlag, 1);
    EXPECT_EQ(display->hostWindow->closeWindowFlag, 1);
}

TEST_F(Dispatch, InstallEventHandlerRefusesANonFunctionAndChangesNothing) {
    PushNativeFunction(vm, CmdInstallEventHandler, "installeventhandler");
    NewTable(vm);
    PushRef(vm, kRegistryIndex, RecorderRef());
    SetField(vm, -2, "onkeydown");
    PushString(vm, "not a function");
    SetField(vm, -2, "onkeyup");
    EXPECT_EQ(ProtectedCall(vm, 1, 0, 0), 1185);
    EXPECT_EQ(display->handlers[kSlotOnKeyDown].function, -1);
}

// Sound events and ARexx messages through their (injected) sources.
std::vector<SoundEvent> pendingSounds;
int TakeInjectedSound(SoundEvent *out) {
    if (pendingSounds.empty()) return 0;
    *out = pendingSounds.front();
    pendingSounds.erase(pendingSounds.begin());
    return 1;
}

TEST_F(Dispatch, SoundEventsReachTheirGlobalHandlers) {
    pendingSounds = {{kSoundEventSampleEnd, {3, nullptr}, 1200, 2}, {kSoundEventSampleLoop, {4, nullptr}, 0, 1},
                     {kSoundEventMusicEnd, {5, nullptr}, 0, 0}};
    TakeSoundEventHook = TakeInjectedSound;
    SetHandler(nullptr, kGlobalSampleEnd);
    SetHandler(nullptr, kGlobalMusicEnd);
    EXPECT_EQ(CheckEvent(), 1);
    EXPECT_EQ(CheckEvent(), 1);
    EXPECT_EQ(CheckEvent(), 0);
    TakeSoundEventHook = nullptr;
    ASSERT_EQ(Recorder.messages.size(), 2u);
    EXPECT_EQ(Recorder.messages[0].Keys(), (Keys{"time", "starts", "action", "id"}));
    EXPECT_EQ(Recorder.messages[0].Get("time"), "1200");
    EXPECT_EQ(Recorder.messages[1].Keys(), (Keys{"action", "id"})); // the loop event had no handler
    EXPECT_EQ(Recorder.messages[1].Get("action"), "OnMusicEnd");
}

struct FakeRexx {
    std::string text;
    std::string reply;
    bool replied = false;
};
// The library's message record is opaque to the dispatch; the fake stands behind its pointer.
std::vector<FakeRexx *> pendingRexx;
RexxMessage *NextInjectedRexx() {
    if (pendingRexx.empty()) return nullptr;
    FakeRexx *m = pendingRexx.front();
    pendingRexx.erase(pendingRexx.begin());
    return reinterpret_cast<RexxMessage *>(m);
}
std::string_view RexxText(RexxMessage *m) { return reinterpret_cast<FakeRexx *>(m)->text; }
void RexxReply(RexxMessage *message, std::string_view reply) {
    FakeRexx *m = reinterpret_cast<FakeRexx *>(message);
    m->reply = reply;
    m->replied = true;
}

class ARexx : public Dispatch {
protected:
    void SetUp() override {
        Dispatch::SetUp();
        NextRexxMessageHook = NextInjectedRexx;
        GetRexxCommandStringHook = RexxText;
        ReplyRexxMessageHook = RexxReply;
    }
    void TearDown() override {
        NextRexxMessageHook = nullptr;
        GetRexxCommandStringHook = nullptr;
        ReplyRexxMessageHook = nullptr;
        pendingRexx.clear();
        Dispatch::TearDown();
    }
};

TEST(ARexxArguments, QuotedBlanksStayAndOthersSplit) {
    RexxArguments a = SplitRexxArguments("SHOW \"a b\" c");
    EXPECT_EQ(a.command, "SHOW");
    EXPECT_EQ(a.rawArgs, "\"a b\" c");
    EXPECT_EQ(a.argc, 2);
    EXPECT_EQ(a.args, std::string("a b\0c", 5));
}

TEST(ARexxArguments, CommandWithoutBlankHasNoArguments) {
    RexxArguments a = SplitRexxArguments("QUIT");
    EXPECT_EQ(a.command, "QUIT");
    EXPECT_EQ(a.argc, 0);
    EXPECT_EQ(a.rawArgs, "");
}

TEST_F(ARexx, HandlerReplyIsSentBack) {
    FakeRexx m{"SHOW a", "", false};
    pendingRexx = {&m};
    SetHandler(nullptr, kGlobalARexx);
    Recorder.resultsToReturn = 1; // returns 0, which reads as the text "0"
    EXPECT_EQ(CheckEvent(), 1);
    EXPECT_TRUE(m.replied);
    EXPECT_EQ(m.reply, "0");
    ASSERT_EQ(Recorder.messages.size(), 1u);
    EXPECT_EQ(Recorder.messages[0].Keys(), (Keys{"action", "args", "rawargs", "argc", "command"}));
}

TEST_F(ARexx, NonStringResultGives1259) {
    FakeRexx m{"SHOW", "", false};
    pendingRexx = {&m};
    SetHandler(nullptr, kGlobalARexx);
    FreeRef(vm, kRegistryIndex, GlobalEventHandlerSlots[kGlobalARexx].function);
    PushNativeFunction(vm, [](VMState *vm) { NewTable(vm); return 1; }, "tablereturner");
    GlobalEventHandlerSlots[kGlobalARexx].function = MakeRef(vm, kRegistryIndex);
    EXPECT_EQ(CheckEvent(), -1259);
    EXPECT_TRUE(m.replied);
    EXPECT_EQ(m.reply, "");
}

TEST_F(ARexx, MessageWithoutHandlerIsRepliedEmpty) {
    FakeRexx m{"SHOW", "x", false};
    pendingRexx = {&m};
    EXPECT_EQ(CheckEvent(), 0);
    EXPECT_TRUE(m.replied);
    EXPECT_EQ(m.reply, "");
}

} // namespace

namespace {

TEST_F(Dispatch, ModeSwitchReportsTheOwnScreen) {
    SetHandler(display, kSlotModeSwitch);
    OwnScreenFlag = 1;
    QueueEvent(display, kEventModeSwitched, 0, 0, 0);
    EXPECT_EQ(CheckEvent(), 1);
    OwnScreenFlag = 0;
    ASSERT_EQ(Recorder.messages.size(), 1u);
    EXPECT_EQ(Recorder.messages[0].Get("mode"), "2");
}

TEST_F(Dispatch, KeyCodesOutsideTheKeyStateReadAsUp) {
    EXPECT_EQ(DisplayKeyState(display, 300), 0);
    EXPECT_EQ(DisplayKeyState(display, -1), 0);
    EXPECT_EQ(DisplayKeyState(display, 1 << 20), 0);
}

TEST_F(ARexx, ServingOutsideAPassStopsAfterTheFirstCallbackWhenAsked) {
    FakeRexx first{"ONE", "", false}, second{"TWO", "", false};
    pendingRexx = {&first, &second};
    SetHandler(nullptr, kGlobalARexx);
    CallbackRequest request;
    EXPECT_EQ(DispatchARexxEvents(vm, 1, 1, &request), 0);
    EXPECT_TRUE(first.replied);
    EXPECT_FALSE(second.replied);
    EXPECT_EQ(DispatchARexxEvents(vm, 0, 0, &request), 0); // without calling the handler: replied empty
    EXPECT_TRUE(second.replied);
    EXPECT_EQ(Recorder.messages.size(), 1u);
    SetTop(vm, 0);
}

} // namespace

namespace {

TEST_F(Dispatch, WaitEventWorksOnAMinimisedDisplay) {
    display->state = DISPSTATE_MINIMIZED;
    SetHandler(display, kSlotShowWindow);
    QueueEvent(display, kEventWindowShown, 0, 0, 0);
    EXPECT_EQ(WaitEvent(), 1);
}

} // namespace

namespace {

TEST_F(Dispatch, WaitEventInsideACallbackIsRefusedBeforeTheDisplayCheck) {
    SetHandler(display, kSlotOnMouseDown);
    static int nested;
    Recorder.inside = [](VMState *vm) {
        CurrentDisplay->state = DISPSTATE_CLOSED;
        PushNativeFunction(vm, CmdWaitEvent, "waitevent");
        nested = ProtectedCall(vm, 0, 0, 0);
        CurrentDisplay->state = DISPSTATE_OPEN;
    };
    Click(display, kEventLeftMouse, 1, 1, 1);
    EXPECT_EQ(CheckEvent(), 1);
    EXPECT_EQ(nested, 1055);
}

// The mouse-move step stands on a display whose callback frees it: the pass goes on with the next display
// instead of skipping it.
TEST_F(Dispatch, DisplayFreedDuringTheMouseMoveStepDoesNotSkipTheNext) {
    DisplayRecord *second = AddDisplay(2);
    DisplayRecord *third = AddDisplay(3);
    for (DisplayRecord *d : {second, third}) {
        SetHandler(d, kSlotOnMouseMove);
        MoveMouse(d, 1, 1);
    }
    Recorder.inside = [](VMState *vm) {
        if (Recorder.messages.size() == 1) FreeDisplayById(vm, ObjectId{2, nullptr});
    };
    EXPECT_EQ(CheckEvent(), 1);
    EXPECT_EQ(CheckEvent(), 1);
    ASSERT_EQ(Recorder.messages.size(), 2u);
    EXPECT_EQ(Recorder.messages[0].Get("id"), "2");
    EXPECT_EQ(Recorder.messages[1].Get("id"), "3");
}

} // namespace
