// The scene's compiled scripts: every tests/scene/events/*.vls and tests/scene/layers/*.vls runs on the script
// harness, on a VM with the event library, a display on the virtual clock and a few test commands that stand in
// for the user. The layer scripts also get the display, brush and layers libraries (their displays open real
// windows on SDL's offscreen driver), a small in-memory anim library, and the debug output as output lines.
//
//   TestQueueMouse(kind, x, y, down), TestQueueKey(code, down), TestQueueWindow(kind)
//                                 queue what the pump would (window coordinates)
//   TestMoveMouse(x, y)           the pointer moved there (window coordinates)
//   TestAdvance(ms)               the virtual clock moves on
//   TestCheckWindow()             compares the window with a composition of the layer list made with the
//                                 per-pixel generic kernels; prints the first differing pixel
//   TestRefreshCount()            the compositor's rectangle redraws since the last call
//
// TestPrint, TestErrorOf and the expectation comments are the harness's (tests/support/script_harness.h).
#include <filesystem>

#include "fx/transitionfx_library.h"
#include "tests/scene/events_fixture.h"
#include "tests/scene/layer_script_support.h"
#include "tests/support/files.h"
#include "tests/support/script_harness.h"

namespace {

int TestQueueMouse(VMState *vm) {
    QueueEvent(CurrentDisplay, CheckInt32Arg(vm, 1), CheckInt32Arg(vm, 2), CheckInt32Arg(vm, 3), CheckInt32Arg(vm, 4));
    return 0;
}

int TestQueueKey(VMState *vm) {
    QueueEvent(CurrentDisplay, kEventKey, CheckInt32Arg(vm, 2), int32_t(0x80000000u), CheckInt32Arg(vm, 1));
    return 0;
}

int TestQueueWindow(VMState *vm) {
    QueueEvent(CurrentDisplay, CheckInt32Arg(vm, 1), 0, 0, 0);
    return 0;
}

int TestMoveMouse(VMState *vm) {
    HostWindow *w = CurrentDisplay->hostWindow;
    w->mouseX = CheckInt32Arg(vm, 1);
    w->mouseY = CheckInt32Arg(vm, 2);
    w->mouseMoved = true;
    w->lastMouseMoveMicros = PumpClockNow();
    return 0;
}

int TestAdvance(VMState *vm) {
    AdvanceVirtualClock(int64_t(CheckNumberArg(vm, 1)) * 1000);
    return 0;
}

const CommandEntry kSceneCommands[] = {
    {"TestQueueMouse", TestQueueMouse}, {"TestQueueKey", TestQueueKey}, {"TestQueueWindow", TestQueueWindow},
    {"TestMoveMouse", TestMoveMouse},   {"TestAdvance", TestAdvance},   {nullptr, nullptr},
};

std::string ScriptsDirectory() { return std::string(VL_SOURCE_DIR) + "/tests/scene"; }

// Paths relative to the scripts directory, events first.
std::vector<std::string> FindScripts() {
    std::vector<std::string> names;
    for (const char *folder : {"events", "layers"})
        for (const std::string &name : ScriptFilesBelow(ScriptsDirectory() + "/" + folder))
            names.push_back(std::string(folder) + "/" + name);
    return names;
}

class EventScript : public EventFixture, public testing::WithParamInterface<std::string> {};

TEST_P(EventScript, BehavesAsItsCommentsSay) {
    const std::string path = ScriptsDirectory() + "/" + GetParam();
    const std::string source = ReadFileText(path);
    ScriptExpectations expected;
    std::string problem;
    ASSERT_TRUE(ParseExpectations(source, expected, problem)) << problem;
    ScriptRunResult run;
    std::vector<uint8_t> chunk;
    ASSERT_TRUE(CompileScriptChunk(source, path, std::filesystem::path(path).parent_path().string(), chunk, run))
        << run.compileError;

    RegisterScriptTestCommands(vm, &run, {kSceneCommands});
    const bool layers = GetParam().rfind("layers/", 0) == 0;
    if (layers) {
        ASSERT_EQ(layertest::SetUpLayerScripts(vm, &run.output), 0);
        kTransitionFxLibrary.registerLibrary(vm);
    }
    RunScriptChunk(vm, chunk, GetParam(), run);
    if (layers) layertest::TearDownLayerScripts(vm, display);
    MaskAddresses(run.output);
    EXPECT_EQ(CompareRun(expected, run), "") << GetParam();
}

std::string TestName(const testing::TestParamInfo<std::string> &info) {
    return ScriptTestName(info.param.substr(info.param.find('/') + 1));
}

INSTANTIATE_TEST_SUITE_P(Scripts, EventScript, testing::ValuesIn(FindScripts()), TestName);

} // namespace
