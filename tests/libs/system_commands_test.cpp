#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "libs/string/string_library.h"
#include "libs/system/system_commands.h"
#include "runtime/app/errors.h"
#include "runtime/app/hooks.h"
#include "runtime/app/startup_config.h"
#include "tests/runtime/app/vm_harness.h"

namespace {

using vmtest::CallGlobal;
using vmtest::Nil;

std::string g_debug;
void CaptureDebug(const char *bytes, size_t length) { g_debug.append(bytes, length); }

struct SystemCommands : ::testing::Test {
    vmtest::Vm vm;
    void SetUp() override {
        g_debug.clear();
        DebugWriteHook = CaptureDebug;
        kSystemLibrary.registerLibrary(vm);
        kStringLibrary.registerLibrary(vm);
    }
    void TearDown() override {
        DebugWriteHook = nullptr;
        SetCallTrace(vm, 0);
        ClearCommandRegistry();
    }
    double Number() { return VMToNumber(vm, -1); }
    std::string Text() {
        size_t length = 0;
        const char *s = VMToString(vm, -1, &length);
        return s ? std::string(s, length) : std::string("<not a string>");
    }
};

TEST_F(SystemCommands, CommandsAreFoundByLowerCaseName) {
    EXPECT_EQ(FindCommand("debugprint"), &CmdDebugPrint);
    GetGlobal(vm, "getlasterror");
    EXPECT_EQ(ValueType(vm, -1), TFUNCTION);
}

TEST_F(SystemCommands, ConstantsAreRegistered) {
    ASSERT_NE(FindConstant("LIGHTUSERDATA"), nullptr);
    EXPECT_EQ(FindConstant("lightuserdata")->number, 9);
    EXPECT_EQ(FindConstant("hkey_current_user")->number, 4);
}

// ---- Debug output -------------------------------------------------------------------------------------------------
TEST_F(SystemCommands, DebugPrintSeparatesWithBlanksAndEndsLine) {
    ASSERT_EQ(CallGlobal(vm, "debugprint", {1.0, 2.5, std::string("three")}), 0);
    EXPECT_EQ(g_debug, "1 2.5 three\n");
}

TEST_F(SystemCommands, DebugPrintKeepsZeroBytes) {
    ASSERT_EQ(CallGlobal(vm, "debugstr", {std::string("a\0b", 3)}), 0);
    EXPECT_EQ(g_debug, std::string("a\0b\n", 4));
}

TEST_F(SystemCommands, DebugPrintShowsTablesAndNil) {
    GetGlobal(vm, "debugval");
    NewTable(vm);
    PushNil(vm);
    ASSERT_EQ(ProtectedCall(vm, 2, 0, 0), 0);
    EXPECT_EQ(g_debug.rfind("Table: ", 0), 0u) << g_debug;
    EXPECT_NE(g_debug.find(" Nil\n"), std::string::npos) << g_debug;
}

TEST_F(SystemCommands, DebugPrintNeedsAnArgument) { EXPECT_EQ(CallGlobal(vm, "debugprint"), 1014); }

TEST_F(SystemCommands, CallTracePrintsEachCommand) {
    ASSERT_EQ(CallGlobal(vm, "debugoutput", {1.0}), 0);
    g_debug.clear();
    ASSERT_EQ(CallGlobal(vm, "getlasterror"), 0);
    EXPECT_EQ(g_debug, "Now calling GetLastError()\n");
    ASSERT_EQ(CallGlobal(vm, "debugoutput", {0.0}), 0);
    g_debug.clear();
    CallGlobal(vm, "getlasterror");
    EXPECT_EQ(g_debug, "");
}

// ---- Errors -------------------------------------------------------------------------------------------------------
TEST_F(SystemCommands, ErrorRaisesUserErrorWithItsText) {
    EXPECT_EQ(CallGlobal(vm, "error", {std::string("Disk full, try again")}), 1239);
    EXPECT_EQ(GetErrorText(1239), "Disk full, try again");
}

TEST_F(SystemCommands, GetErrorNameGivesMessage) {
    ASSERT_EQ(CallGlobal(vm, "geterrorname", {1089.0}), 0);
    EXPECT_EQ(Text(), "Division by zero!");
}

TEST_F(SystemCommands, ErrorIsOnlyRecordedWhenExitOnErrorIsOff) {
    ASSERT_EQ(CallGlobal(vm, "exitonerror", {0.0}), 0);
    EXPECT_EQ(CallGlobal(vm, "geterrorname"), 0); // 1014, recorded
    ASSERT_EQ(CallGlobal(vm, "getlasterror"), 0);
    EXPECT_EQ(Number(), 1014);
    ASSERT_EQ(CallGlobal(vm, "exitonerror", {1.0}), 0);
    EXPECT_EQ(CallGlobal(vm, "geterrorname"), 1014);
}

TEST_F(SystemCommands, ErrorInsideCallbackIsRaisedWithExitOnErrorOff) {
    CallGlobal(vm, "exitonerror", {0.0});
    ExitOnErrorCount = 1;
    EXPECT_EQ(CallGlobal(vm, "error", {std::string("inside")}), 1239);
}

TEST_F(SystemCommands, EveryCommandIsBuilt) {
    // Without arguments each command either runs or refuses its arguments; none may be a placeholder.
    for (const CommandEntry *row = kSystemCommands; row->name; ++row) {
        std::string name = row->name;
        for (char &c : name) c = char(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_NE(CallGlobal(vm, name.c_str()), kErrNotAvailableYet) << row->name;
    }
    QuitRequested = 0;
}

// ---- Program control ----------------------------------------------------------------------------------------------
TEST_F(SystemCommands, EndRequestsQuit) {
    ASSERT_EQ(CallGlobal(vm, "end"), 0);
    EXPECT_EQ(QuitRequested.load(), 1);
}

TEST_F(SystemCommands, GetTypeNumbers) {
    CallGlobal(vm, "gettype", {std::string("s")});
    EXPECT_EQ(Number(), 3);
    CallGlobal(vm, "gettype", {Nil{}});
    EXPECT_EQ(Number(), 0);
    int marker;
    CallGlobal(vm, "gettype", {static_cast<void *>(&marker)});
    EXPECT_EQ(Number(), 9);
    GetGlobal(vm, "gettype");
    PushBoolean(vm, 1);
    ASSERT_EQ(ProtectedCall(vm, 1, 1, 0), 0);
    EXPECT_EQ(Number(), -1);
}

TEST_F(SystemCommands, IIfTreatsOnlyEmptyStringAsFalse) {
    CallGlobal(vm, "iif", {std::string("0"), std::string("a"), std::string("b")});
    EXPECT_EQ(Text(), "a");
    CallGlobal(vm, "iif", {std::string(""), std::string("a"), std::string("b")});
    EXPECT_EQ(Text(), "b");
    CallGlobal(vm, "iif", {0.0, std::string("a"), std::string("b")});
    EXPECT_EQ(Text(), "b");
    GetGlobal(vm, "iif");
    NewTable(vm);
    PushNumber(vm, 1);
    PushNumber(vm, 2);
    EXPECT_EQ(ProtectedCall(vm, 3, 1, 0), 1019);
}

TEST_F(SystemCommands, GetConstantGivesValueOrError) {
    ASSERT_EQ(CallGlobal(vm, "getconstant", {std::string("#table")}), 0);
    EXPECT_EQ(Number(), 4);
    EXPECT_EQ(CallGlobal(vm, "getconstant", {std::string("#NOPE")}), kErrUnknownConstant);
}

TEST_F(SystemCommands, GetMemoryInfoRefusesOtherKinds) {
    ASSERT_EQ(CallGlobal(vm, "getmemoryinfo", {1.0}), 0);
    EXPECT_GT(Number(), 0);
    EXPECT_EQ(CallGlobal(vm, "getmemoryinfo", {2.0}), 1055);
}

TEST_F(SystemCommands, GetVersionFields) {
    ASSERT_EQ(CallGlobal(vm, "getversion"), 0);
    GetField(vm, -1, "application");
    EXPECT_EQ(Text(), "VistaloomPlayer");
    SetTop(vm, -2);
    GetField(vm, -1, "beta");
    EXPECT_EQ(Number(), 0);
}

// ---- Program information ------------------------------------------------------------------------------------------
struct ProgramInfo : SystemCommands {
    StartupConfig config;
    void SetUp() override {
        SystemCommands::SetUp();
        strcpy(config.scriptPath, "/home/u/demo.vla");
        strcpy(config.programName, "vistaloom");
        config.isApplet = 1;
        config.userArguments = {{"level", "3", true}, {"fast", "", false}};
        SetRegistryHandle(vm, "clargs", &config);
    }
};

TEST_F(ProgramInfo, CommandLineListsUserArguments) {
    StartedFromShell = 1;
    ASSERT_EQ(CallGlobal(vm, "getcommandline"), 0);
    EXPECT_EQ(VMToNumber(vm, -1), 1);
    EXPECT_EQ(VMToNumber(vm, -2), 2);
    RawGetIndex(vm, -3, 0);
    GetField(vm, -1, "arg");
    EXPECT_EQ(Text(), "level");
    SetTop(vm, -2);
    GetField(vm, -1, "param");
    EXPECT_EQ(Text(), "3");
    SetTop(vm, -3);
    RawGetIndex(vm, -3, 1);
    GetField(vm, -1, "param");
    EXPECT_EQ(Text(), "");
}

TEST_F(ProgramInfo, AppletGivesKindPathAndProgram) {
    int top = GetTop(vm);
    ASSERT_EQ(CallGlobal(vm, "getprograminfo"), 0);
    ASSERT_EQ(GetTop(vm), top + 3);
    EXPECT_EQ(VMToNumber(vm, -3), 1);
    EXPECT_EQ(Text(), "vistaloom");
}

// PayloadOffset stays 0, as it is for an appended compressed applet read from its unpacked copy.
TEST_F(ProgramInfo, LinkedProgramGivesExactlyTwoResults) {
    config.isLinkedProgram = 1;
    int top = GetTop(vm);
    ASSERT_EQ(CallGlobal(vm, "getprograminfo"), 0);
    ASSERT_EQ(GetTop(vm), top + 2);
    EXPECT_EQ(VMToNumber(vm, -2), 2);
    EXPECT_EQ(Text(), "vistaloom");
}

TEST_F(SystemCommands, GCInfoGivesTwoNumbers) {
    int top = GetTop(vm);
    ASSERT_EQ(CallGlobal(vm, "gcinfo"), 0);
    EXPECT_EQ(GetTop(vm), top + 2);
    EXPECT_EQ(CallGlobal(vm, "collectgarbage"), 0);
}

} // namespace
