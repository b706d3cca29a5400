#include "host/window.h"
#include "scene/display/object_kinds.h"
#include "tests/scene/scene_fixture.h"

namespace {

using scenetest::Options;

struct DisplayListTest : scenetest::SceneTest {
    DisplayRecord *Make(int32_t number, const Options &options = {}) {
        DisplayRecord *d = nullptr;
        EXPECT_EQ(Create(number, options, &d), 0);
        return d;
    }
};

TEST_F(DisplayListTest, FindsByNumberAndByHandle) {
    DisplayRecord *one = Make(1);
    DisplayRecord *found = nullptr;
    EXPECT_EQ(FindDisplay(ObjectId{1, nullptr}, &found), 0);
    EXPECT_EQ(found, one);
    EXPECT_EQ(FindDisplay(ObjectId{5, nullptr}, &found), kErrDisplayNotFound);
    EXPECT_EQ(found, nullptr);
    EXPECT_EQ(GetErrorText(kErrDisplayNotFound), "Could not find display 5!");
    EXPECT_EQ(FindDisplay(ObjectId{0, one}, &found), kErrObjectNotFound);
}

TEST_F(DisplayListTest, FreeingUnlinksAndCounts) {
    Make(1);
    DisplayRecord *two = Make(2);
    Make(3);
    ASSERT_EQ(FreeDisplayById(vm, ObjectId{2, nullptr}), 0);
    EXPECT_EQ(CountDisplays(), 2);
    EXPECT_EQ(DisplayList->next->id.number, 3);
    (void)two;
    EXPECT_EQ(FreeDisplayById(vm, ObjectId{2, nullptr}), kErrDisplayNotFound);
}

TEST_F(DisplayListTest, CurrentDisplayCannotBeFreed) {
    CurrentDisplay = Make(1);
    EXPECT_EQ(FreeDisplayById(vm, ObjectId{1, nullptr}), 1346);
    EXPECT_EQ(CountDisplays(), 1);
}

TEST_F(DisplayListTest, FreeingClearsTheDisplayFromQueuedEvents) {
    DisplayRecord *one = Make(1);
    DisplayRecord *two = Make(2);
    ASSERT_EQ(QueueEvent(one, kEventLeftMouse, 1, 2, 1), 1);
    ASSERT_EQ(QueueEvent(two, kEventLeftMouse, 3, 4, 1), 1);
    ASSERT_EQ(FreeDisplayById(vm, ObjectId{1, nullptr}), 0);
    std::lock_guard<std::recursive_mutex> lock(EventQueueSemaphore);
    EventInfo info;
    ASSERT_EQ(FetchEvent(vm, 0, &info, 0), 1);
    EXPECT_EQ(info.display, nullptr);
    ASSERT_EQ(FetchEvent(vm, 1, &info, 0), 2);
    EXPECT_EQ(info.display, two);
}

DisplayRecord *freedSeen, *successorSeen;

TEST_F(DisplayListTest, FreeingTellsTheEventDispatchTheSuccessor) {
    Make(1);
    DisplayRecord *two = Make(2);
    freedSeen = successorSeen = nullptr;
    EventStateDisplayFreedHook = [](DisplayRecord *freed, DisplayRecord *successor) {
        freedSeen = freed;
        successorSeen = successor;
    };
    DisplayRecord *one = DisplayList;
    ASSERT_EQ(FreeDisplayById(vm, ObjectId{1, nullptr}), 0);
    EXPECT_EQ(freedSeen, one);
    EXPECT_EQ(successorSeen, two);
}

TEST_F(DisplayListTest, FreeingReleasesHandlerReferences) {
    DisplayRecord *one = Make(1);
    PushNumber(vm, 42);
    int ref = MakeRef(vm, kRegistryIndex);
    one->handlers[kSlotOnKeyDown].function = ref;
    ASSERT_EQ(FreeDisplayById(vm, ObjectId{1, nullptr}), 0);
    PushRef(vm, kRegistryIndex, ref);
    EXPECT_NE(ValueType(vm, -1), TNUMBER); // the slot was given back
    SetTop(vm, 0);
}

TEST_F(DisplayListTest, OnlyDisplayIgnoresTheBackfillDisplay) {
    DisplayRecord *one = Make(1);
    EXPECT_EQ(IsOnlyDisplay(one), 1);
    DisplayRecord *backfill = Make(9, {{"private1", 1.0}});
    EXPECT_EQ(DisplayList, backfill);
    EXPECT_EQ(IsOnlyDisplay(one), 1);
    EXPECT_EQ(IsOnlyDisplay(backfill), 0);
}

TEST_F(DisplayListTest, ASecondRealDisplayEndsOnlyDisplay) {
    DisplayRecord *one = Make(1);
    Make(9, {{"private1", 1.0}});
    DisplayRecord *two = Make(2);
    EXPECT_EQ(IsOnlyDisplay(one), 0);
    EXPECT_EQ(IsOnlyDisplay(two), 0);
}

TEST_F(DisplayListTest, ResetInputStateClearsKeysAndMouse) {
    DisplayRecord *one = Make(1);
    one->keyState[299] = 1;
    one->mouseLeft = one->mouseMiddle = 1;
    ResetDisplayInputState(one);
    EXPECT_EQ(one->keyState[299], 0);
    EXPECT_EQ(one->mouseLeft, 0);
    EXPECT_EQ(one->mouseMiddle, 0);
}

// The window holds the state the pump updates and the input commands read.
TEST_F(DisplayListTest, ResetInputStateClearsTheWindowsKeysAndMouseButtons) {
    DisplayRecord *one = Make(1);
    ASSERT_NE(one->hostWindow, nullptr);
    one->hostWindow->keyState[299] = 1;
    one->hostWindow->mouseLeft = one->hostWindow->mouseRight = one->hostWindow->mouseMiddle = true;
    ResetDisplayInputState(one);
    EXPECT_EQ(one->hostWindow->keyState[299], 0);
    EXPECT_FALSE(one->hostWindow->mouseLeft);
    EXPECT_FALSE(one->hostWindow->mouseRight);
    EXPECT_FALSE(one->hostWindow->mouseMiddle);
}

TEST_F(DisplayListTest, ResetInputStateEndsButtonPressesButKeepsTheHover) {
    DisplayRecord *one = Make(1);
    auto *button = new vlBGPicButton;
    button->state = kButtonOver | kButtonLeftPressed | kButtonRightPressed | kButtonMiddlePressed;
    one->picture->buttons = button;
    ResetDisplayInputState(one);
    EXPECT_EQ(button->state, kButtonOver);
}

TEST_F(DisplayListTest, FreeAllEmptiesTheListAndForgetsTheCurrentDisplay) {
    CurrentDisplay = Make(1);
    Make(2);
    EXPECT_EQ(FreeAllDisplays(vm), 0);
    EXPECT_EQ(DisplayList, nullptr);
    EXPECT_EQ(CurrentDisplay, nullptr);
    EXPECT_EQ(CountBGPics(), 2); // own pictures go with the picture library's free-all
}

// ---- Draw state around redirected output -----------------------------------------------------------------------

DisplayRecord TextState() {
    DisplayRecord d;
    d.layersEnabled = 1;
    d.cursorX = 5;
    d.cursorY = 6;
    d.leftMargin = 2;
    d.rightMargin = 300;
    return d;
}

TEST(DisplayDrawState, SaveSetsTheTextStateForTheOutput) {
    DisplayRecord d = TextState();
    SaveDisplayDrawState(&d, ObjectKindBrush, 64);
    EXPECT_EQ(d.drawStateSaved, 1);
    EXPECT_EQ(d.layersEnabled, 0);
    EXPECT_EQ(d.cursorX, 0);
    EXPECT_EQ(d.rightMargin, 63);
}

TEST(DisplayDrawState, PictureOutputKeepsLayersOn) {
    DisplayRecord d = TextState();
    SaveDisplayDrawState(&d, ObjectKindBGPic, 64);
    EXPECT_EQ(d.layersEnabled, 1);
}

TEST(DisplayDrawState, SecondSaveKeepsTheFirst) {
    DisplayRecord d = TextState();
    SaveDisplayDrawState(&d, ObjectKindBrush, 64);
    SaveDisplayDrawState(&d, ObjectKindBrush, 10);
    EXPECT_EQ(d.rightMargin, 63);
    RestoreDisplayDrawState(&d);
    EXPECT_EQ(d.cursorX, 5);
    EXPECT_EQ(d.rightMargin, 300);
    EXPECT_EQ(d.layersEnabled, 1);
    EXPECT_EQ(d.drawStateSaved, 0);
}

TEST(DisplayDrawState, RestoreWithoutSaveChangesNothing) {
    DisplayRecord d = TextState();
    RestoreDisplayDrawState(&d);
    EXPECT_EQ(d.layersEnabled, 1);
    EXPECT_EQ(d.cursorX, 5);
    EXPECT_EQ(d.rightMargin, 300);
}

} // namespace
