// ProgramMain in-process, with libraries of the test's own making.
#include "runtime/app/attributes.h"
#include "runtime/app/command.h"
#include "player/startup.h"
#include "tests/player/player_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> events;
std::vector<UserArgument> seenArguments;
DisplayConfig seenDisplay;

int RecordSoundAttribute(VMState *, int tag, AttributeValue *value) {
    if (tag != kAttrNoSound && tag != kAttrMasterVolume) return 0;
    events.push_back("set " + std::to_string(tag) + " " + std::to_string(static_cast<int>(value->numbers[0])));
    return 1;
}

int CmdRecordStartup(VMState *vm) {
    seenArguments = GetStartupConfig(vm)->userArguments;
    seenDisplay = *GetAppletSettings(vm);
    return 0;
}

const CommandEntry kProbeCommands[] = {{"RecordStartup", CmdRecordStartup}, {nullptr, nullptr}};

void RegisterSound(VMState *) {
    events.push_back("register sound");
    AddSetAttributeHook(RecordSoundAttribute);
}
void RegisterProbe(VMState *vm) {
    events.push_back("register probe");
    RegisterCommands(vm, kProbeCommands);
}
void FreeSound(VMState *) { events.push_back("free sound"); }

int RunMain(std::vector<std::string> words) {
    words.insert(words.begin(), "vistaloom");
    std::vector<char *> argv;
    for (auto &word : words) argv.push_back(word.data());
    const LibraryDescriptor libraries[] = {{"probe", RegisterProbe, nullptr}, {"sound", RegisterSound, FreeSound}};
    return ProgramMain(static_cast<int>(argv.size()), argv.data(), libraries);
}

class ProgramMainTest : public ::testing::Test {
protected:
    void SetUp() override {
        events.clear();
        seenArguments.clear();
        seenDisplay = DisplayConfig{};
    }
    void TearDown() override {
        RemoveAttributeHooks();
        ClearCommandRegistry();
    }
    ScratchDirectory dir;
};

TEST_F(ProgramMainTest, SoundOptionsAreHandedOverAfterTheSoundLibraryRegistered) {
    WriteBytes(dir.File("a.vla"), CompileToApplet("x = 1\n", "a.vls", dir.path));
    EXPECT_EQ(RunMain({"-nosound", "-mastervolume", "12", dir.File("a.vla")}), 0);
    std::vector<std::string> expected = {"register probe", "register sound", "set 3 1", "set 4 12", "free sound"};
    EXPECT_EQ(events, expected);
}

TEST_F(ProgramMainTest, DefaultsReachTheSoundLibraryToo) {
    WriteBytes(dir.File("a.vla"), CompileToApplet("x = 1\n", "a.vls", dir.path));
    EXPECT_EQ(RunMain({dir.File("a.vla")}), 0);
    ASSERT_GE(events.size(), 4u);
    EXPECT_EQ(events[2], "set 3 0");
    EXPECT_EQ(events[3], "set 4 30");
}

TEST_F(ProgramMainTest, ScriptSeesItsUserArgumentsAndDisplaySettings) {
    WriteBytes(dir.File("a.vla"),
               CompileToApplet("@DISPLAY {Width = 320, HideTitleBar = 1}\nRecordStartup()\n", "a.vls", dir.path));
    // No CreateDisplay is registered here, so the declared display stops the run after the settings are known.
    RunMain({dir.File("a.vla"), "-level", "3", "extra"});
    ASSERT_EQ(seenArguments.size(), 0u); // the script never ran
    EXPECT_NE(std::find(events.begin(), events.end(), "free sound"), events.end());

    WriteBytes(dir.File("b.vla"), CompileToApplet("RecordStartup()\n", "b.vls", dir.path));
    EXPECT_EQ(RunMain({"-hidetitlebar", "0", dir.File("b.vla"), "-level", "3", "extra"}), 0);
    ASSERT_EQ(seenArguments.size(), 2u);
    EXPECT_EQ(seenArguments[0].name, "level");
    EXPECT_EQ(seenArguments[0].value, "3");
    EXPECT_EQ(seenArguments[1].value, "extra");
    EXPECT_EQ(seenDisplay.hideTitleBar, 0);
}

TEST_F(ProgramMainTest, UsageErrorsExitWithTwoBeforeAnyLibraryRegisters) {
    EXPECT_EQ(RunMain({"-nosuchoption", "x.vla"}), 2);
    EXPECT_EQ(RunMain({}), 2);
    EXPECT_TRUE(events.empty());
}

} // namespace
