#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "host/blit.h"
#include "host/clock.h"
#include "imaging/async_draw.h"
#include "imaging/blit.h"
#include "imaging/frame_pacing.h"
#include "imaging/graphics_library.h"
#include "runtime/app/attributes.h"
#include "runtime/app/errors.h"
#include "runtime/app/runtime_globals.h"
#include "tests/runtime/app/vm_harness.h"

namespace {

using vmtest::Nil;

struct GraphicsLibrary : ::testing::Test {
    VMState *vm = nullptr;
    void SetUp() override {
        QuietMode = 1;
        vm = NewVMState();
        InitRuntimeSupport(vm);
        kGraphicsLibrary.registerLibrary(vm);
        kDrawLibrary.registerLibrary(vm);
    }
    void TearDown() override {
        kGraphicsLibrary.freeAll(vm);
        kDrawLibrary.freeAll(vm);
        ClearObjectKinds();
        RemoveAttributeHooks();
        CloseVMState(vm);
        ClearCommandRegistry();
    }
    int Call(const char *name, std::initializer_list<vmtest::Arg> args) {
        SetTop(vm, 0);
        return vmtest::CallGlobal(vm, name, args);
    }
};

TEST_F(GraphicsLibrary, RegistersTheConstantsOtherLibrariesRelyOn) {
    const std::pair<const char *, double> expected[] = {
        {"normalspeed", -1}, {"fastspeed", -2}, {"slowspeed", -3}, {"adf_fx", 0},     {"brush", 3},
        {"bgpicpart", 13},   {"layer", 22},     {"shape", 28},     {"vectorpath", 49}, {"center", -100000},
        {"rightout", -40000}, {"bottomout", -20000}, {"keepasprat", 100000}, {"attrcount", 60},
        {"box", 14},         {"circle", 15},    {"ellipse", 16},   {"line", 17},       {"plot", 18},
        {"polygon", 27},     {"arc", 31},       {"maskinvisible", MASKINVISIBLE}};
    for (auto &[name, value] : expected) {
        const ConstantEntry *c = FindConstant(name);
        ASSERT_NE(c, nullptr) << name;
        EXPECT_EQ(c->number, value) << name;
    }
}

// The kinds the scene uses internally share the enum with the constants but must not reach scripts.
TEST_F(GraphicsLibrary, KindsWithoutAScriptConstantAreNotRegistered) {
    for (const char *name : {"sndmodule", "keydown", "noobject", "mainwindow", "animdisk"})
        EXPECT_EQ(FindConstant(name), nullptr) << name;
}

TEST_F(GraphicsLibrary, MaskModeAndAlphaIntensityAreHeldThroughTheAttributeHook) {
    EXPECT_EQ(GetAttributeNumber(vm, kAttrMaskMode, -1), MASKVISIBLE);
    EXPECT_EQ(GetAttributeNumber(vm, kAttrAlphaIntensity, -1), 128);
    SetAttributeNumber(vm, kAttrMaskMode, MASKINVISIBLE);
    SetAttributeNumber(vm, kAttrAlphaIntensity, 300);
    EXPECT_EQ(GetMaskMode(), MASKINVISIBLE);
    EXPECT_EQ(GetAlphaIntensity(), 255);
    SetAttributeNumber(vm, kAttrMaskMode, 4); // the four further modes are kept as given
    SetAttributeNumber(vm, kAttrAlphaIntensity, -1);
    EXPECT_EQ(GetMaskMode(), 4);
    EXPECT_EQ(GetAlphaIntensity(), -1);
}

TEST_F(GraphicsLibrary, GetAttributeAnswersThroughTheRegisteredKind) {
    RegisterObjectKind({ObjectKindBrush, "BRUSH", [] { return int32_t(4); },
                        [](VMState *vm, ObjectId id, int32_t attribute, int) {
                            if (attribute != ATTRWIDTH) return kAttributeUnanswered;
                            PushNumber(vm, id.number * 10);
                            return 1;
                        }});
    RegisterObjectKind({ObjectKindAnim, "ANIM", [] { return int32_t(2); }, nullptr});
    ASSERT_EQ(Call("getattribute", {3.0, 7.0, double(ATTRWIDTH)}), 0);
    EXPECT_EQ(VMToNumber(vm, 1), 70);
    ASSERT_EQ(Call("getattribute", {3.0, Nil{}, double(ATTRCOUNT)}), 0);
    EXPECT_EQ(VMToNumber(vm, 1), 4);
    ASSERT_EQ(Call("getattribute", {4.0, Nil{}, double(ATTRCOUNT)}), 0);
    EXPECT_EQ(VMToNumber(vm, 1), 2);
    EXPECT_EQ(Call("getattribute", {3.0, 7.0, double(ATTRHASALPHA)}), kErrWrongUsage);
    EXPECT_EQ(Call("getattribute", {4.0, 1.0, double(ATTRWIDTH)}), kErrWrongUsage);
    EXPECT_EQ(Call("getattribute", {99.0, 1.0, 1.0}), kErrWrongUsage);
}

// The statistics print in one fixed order whatever order the libraries registered in; kindless counts are
// listed but never found by kind 0.
TEST_F(GraphicsLibrary, RegisteredKindsComeInTheReportOrder) {
    for (const char *name : {"ASYNCDRAW", "TIMER", "BRUSH", "OWN KIND", "DISPLAY", "SPRITE ON SCREEN"})
        RegisterObjectKind({name[0] == 'B' ? ObjectKindBrush : 0, name, [] { return int32_t(1); }, nullptr});
    std::string order;
    for (const ObjectKindEntry &e : RegisteredObjectKinds()) order += std::string(e.name) + ",";
    EXPECT_EQ(order, "DISPLAY,BRUSH,SPRITE ON SCREEN,TIMER,CLIPREGION,POINTER,ASYNCDRAW,OWN KIND,");
    EXPECT_EQ(FindObjectKind(0), nullptr);
    ASSERT_NE(FindObjectKind(ObjectKindBrush), nullptr);
    EXPECT_STREQ(FindObjectKind(ObjectKindBrush)->name, "BRUSH");
}

TEST_F(GraphicsLibrary, AsyncDrawFrameStepsAndReportsTheEnd) {
    static int steps = 0, frees = 0;
    steps = frees = 0;
    AsyncDrawObject *handle;
    ASSERT_EQ(CreateAsyncDraw(
                  ADF_FX,
                  [](void *, int32_t *done) {
                      *done = ++steps == 2;
                      return 0;
                  },
                  nullptr, [](void *, int32_t) { ++frees; }, nullptr, nullptr, &handle),
              0);
    ASSERT_EQ(Call("asyncdrawframe", {static_cast<void *>(handle)}), 0);
    EXPECT_EQ(VMToNumber(vm, 1), 0);
    ASSERT_EQ(Call("asyncdrawframe", {static_cast<void *>(handle)}), 0);
    EXPECT_EQ(VMToNumber(vm, 1), 1);
    EXPECT_EQ(frees, 1);
    EXPECT_EQ(Call("asyncdrawframe", {static_cast<void *>(handle)}), kErrObjectNotFound);
}

TEST_F(GraphicsLibrary, SetFPSLimitPacesWaitFrame) {
    InstallVirtualClock(0);
    ASSERT_EQ(Call("setfpslimit", {25.0}), 0);
    const int64_t a = WaitFrame(vm), b = WaitFrame(vm);
    EXPECT_EQ(b - a, 40000);
    // A quit request ends a frame's wait at once, even a frame a second long: the clock does not move.
    ASSERT_EQ(Call("setfpslimit", {1.0}), 0);
    QuitRequested = 1;
    const int64_t before = MonotonicMicroseconds();
    WaitFrame(vm);
    EXPECT_EQ(MonotonicMicroseconds(), before);
    QuitRequested = 0;
    RemoveVirtualClock();
}

TEST_F(GraphicsLibrary, SaveSnapshotWritesTheCurrentOutput) {
    static HostBitmap *output = AllocHostBitmap(3, 2);
    CurrentOutputBitmapHook = [] { return output; };
    const std::string path = std::string(VL_BINARY_DIR) + "/imaging-savesnapshot.bmp";
    EXPECT_EQ(Call("savesnapshot", {path}), 0);
    FILE *f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    std::remove(path.c_str());
    EXPECT_EQ(Call("savesnapshot", {std::string("/nonexistent-dir/x.bmp")}), kErrCannotWriteFile);
    CurrentOutputBitmapHook = nullptr;
    FreeHostBitmap(output);
}

} // namespace
