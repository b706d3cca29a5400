// The sound commands on the virtual clock: every tests/media/scripts/*.vls runs on the script harness with the
// event and sound libraries, the sound output captured by the manual backend, which each advance of the virtual
// clock pulls, so a wait on a music position ends at a set time and levels are exact. Test commands:
//
//   TestFile(name)        the path of a file the test wrote: "rows.mod", a module whose first order breaks after
//                         row 7 (rows of 120 ms) and whose second is a whole pattern, a looped level tone on
//                         channel 0 from row 0
//   TestNow()             the virtual time in ms; TestAdvance(ms) moves it on (the output is pulled)
//   TestLevels()          the peak left and right values of the output since the last call
//
// TestPrint, TestErrorOf and the expectation comments are the harness's (tests/support/script_harness.h).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "host/audio_output.h"
#include "host/clock.h"
#include "media/sound_library.h"
#include "runtime/app/command.h"
#include "runtime/app/runtime_globals.h"
#include "scene/events/event_library.h"
#include "tests/media/module_builder.h"
#include "tests/support/files.h"
#include "tests/support/script_harness.h"

namespace {

ScratchDirectory *Files = nullptr;

int TestFile(VMState *vm) {
    PushString(vm, Files->File(CheckStringArg(vm, 1, nullptr)).c_str());
    return 1;
}

int TestNow(VMState *vm) {
    PushNumber(vm, double(MonotonicMicroseconds() / 1000));
    return 1;
}

int TestAdvance(VMState *vm) {
    AdvanceVirtualClock(int64_t(CheckNumberArg(vm, 1)) * 1000);
    return 0;
}

int TestLevels(VMState *vm) {
    const std::vector<int16_t> pcm = TakeCapturedAudio();
    int peak[2] = {0, 0};
    for (size_t i = 0; i < pcm.size(); i++) peak[i & 1] = std::max(peak[i & 1], std::abs(int(pcm[i])));
    PushNumber(vm, peak[0]);
    PushNumber(vm, peak[1]);
    return 2;
}

const CommandEntry kSoundTestCommands[] = {
    {"TestFile", TestFile}, {"TestNow", TestNow}, {"TestAdvance", TestAdvance}, {"TestLevels", TestLevels},
    {nullptr, nullptr},
};

std::vector<uint8_t> RowsModule() {
    ModuleBuilder b;
    b.samples.push_back({std::vector<int8_t>(256, 64), 64, 0, 256});
    b.orders = {0, 1};
    b.Note(0, 0, 0, 428, 1);
    b.Effect(0, 7, 1, 0xD, 0); // on to the next order's row 0
    b.Effect(1, 63, 1, 0, 0);
    return b.Build();
}

std::string ScriptsDirectory() { return std::string(VL_SOURCE_DIR) + "/tests/media/scripts"; }

class SoundScript : public testing::TestWithParam<std::string> {};

TEST_P(SoundScript, BehavesAsItsCommentsSay) {
    const std::string path = ScriptsDirectory() + "/" + GetParam();
    const std::string source = ReadFileText(path);
    ScriptExpectations expected;
    ScriptRunResult run;
    std::vector<uint8_t> chunk;
    ASSERT_EQ(PrepareScriptChunk(source, path, ScriptsDirectory(), expected, chunk, run), "");
    ScratchDirectory files;
    Files = &files;
    WriteBytes(files.File("rows.mod"), RowsModule());

    ResetRuntimeGlobals();
    InstallVirtualClock(0);
    UseManualAudioOutput(1, 1);
    VMState *vm = NewVMState();
    InitRuntimeSupport(vm);
    RegisterEventLibrary(vm);
    kSoundLibrary.registerLibrary(vm);
    RegisterScriptTestCommands(vm, &run, {kSoundTestCommands});
    RunScriptChunk(vm, chunk, GetParam(), run);
    kSoundLibrary.freeAll(vm);
    FreeEventLists(vm);
    CloseVMState(vm);
    ClearCommandRegistry();
    UseManualAudioOutput(0, 0);
    RemoveVirtualClock();
    Files = nullptr;
    EXPECT_EQ(CompareRun(expected, run), "") << GetParam();
}

std::string TestName(const testing::TestParamInfo<std::string> &info) { return ScriptTestName(info.param); }

INSTANTIATE_TEST_SUITE_P(Scripts, SoundScript, testing::ValuesIn(ScriptFilesBelow(ScriptsDirectory())), TestName);

} // namespace
