#include "tests/scripts/script_runner.h"

#include <cstdlib>
#include <ctime>

#include "host/charset.h"
#include "host/clock.h"
#include "host/requester.h"
#include "runtime/app/command.h"
#include "runtime/app/errors.h"
#include "runtime/app/runtime_globals.h"
#include "runtime/vm/proto.h"
#include "runtime/vm/vm.h"
#include "tests/support/files.h"

namespace {

// TestMulti(n): the results 1, 2, ..., n.
int TestMulti(VMState *vm) {
    int n = SaturateToInt32(VMToNumber(vm, 1));
    if (n < 0 || n > 100) return kErrWrongType;
    for (int i = 1; i <= n; ++i) PushNumber(vm, i);
    return n;
}

// TestCount(...): how many arguments arrived.
int TestCount(VMState *vm) {
    PushNumber(vm, GetTop(vm));
    return 1;
}

// TestFail(code): fails with that error code.
int TestFail(VMState *vm) { return SaturateToInt32(VMToNumber(vm, 1)); }

// TestProtect(f, ...): calls f protected; returns the error code (0 on success) and the stack height afterwards,
// which must be what it was before the call.
int TestProtect(VMState *vm) {
    int before = GetTop(vm);
    PushValue(vm, 1);
    for (int i = 2; i <= before; ++i) PushValue(vm, i);
    int code = ProtectedCall(vm, before - 1, 0, 0);
    int after = GetTop(vm);
    PushNumber(vm, code);
    PushNumber(vm, after - before);
    return 2;
}

// TestCall(f, ...): calls f unprotected (errors pass through) and returns all its results.
int TestCall(VMState *vm) {
    int before = GetTop(vm);
    PushValue(vm, 1);
    for (int i = 2; i <= before; ++i) PushValue(vm, i);
    CallFunction(vm, before - 1, -1);
    return GetTop(vm) - before;
}

// TestDispatch(f): calls f protected and fails with its error, as the event commands run handlers.
int TestDispatch(VMState *vm) {
    PushValue(vm, 1);
    return ProtectedCall(vm, 0, 0, 0);
}

int RequestGosub(VMState *vm, int request) {
    const char *name = VMToString(vm, 1);
    int target = name ? FindLabel(vm, name) : -1;
    if (target < 0) return kErrWrongType;
    SetGosubJumpDelta(vm, target - CallPcIndex(vm));
    return request;
}

// TestGosub(label): asks for a GOSUB to the label, as an event command does.
int TestGosub(VMState *vm) { return RequestGosub(vm, -1); }

int gosubAgainCalls = 0;
// TestGosubAgain(label): the first call asks for a GOSUB that re-runs this call after the RETURN; the second
// call returns its call count.
int TestGosubAgain(VMState *vm) {
    if (++gosubAgainCalls == 1) return RequestGosub(vm, -2);
    PushNumber(vm, gosubAgainCalls);
    return 1;
}

// Stand-ins for system library commands, used only while that library is not registered.
int FallbackNextItem(VMState *vm) {
    if (ValueType(vm, 1) != TTABLE) return kErrWrongType;
    SetTop(vm, 2);
    if (NextPair(vm, 1)) return 2;
    PushNil(vm);
    return 1;
}

int FallbackPairs(VMState *vm) {
    if (ValueType(vm, 1) != TTABLE) return kErrWrongType;
    GetGlobal(vm, "nextitem");
    PushValue(vm, 1);
    PushNil(vm);
    return 3;
}

int FallbackSetMetatable(VMState *vm) {
    if (ValueType(vm, 1) != TTABLE) return kErrWrongType;
    SetTop(vm, 2);
    VMSetMetatable(vm, 1);
    PushValue(vm, 1);
    return 1;
}

int FallbackGetMetatable(VMState *vm) {
    if (!VMGetMetatable(vm, 1)) PushNil(vm);
    return 1;
}

int FallbackRawGet(VMState *vm) {
    if (ValueType(vm, 1) != TTABLE) return kErrWrongType;
    SetTop(vm, 2);
    VMRawGet(vm, 1);
    return 1;
}

// The text library's encoding switch, which the string library's case folding follows.
int FallbackSetDefaultEncoding(VMState *vm) {
    const int32_t encoding = CheckInt32Arg(vm, 1);
    if (encoding != kEncodingLatin1 && encoding != kEncodingUtf8) return kErrWrongUsage;
    DefaultEncoding = encoding;
    return 0;
}

const ConstantEntry kFallbackConstants[] = {
    {"ENCODING_ISO8859_1", nullptr, kEncodingLatin1},
    {"ENCODING_UTF8", nullptr, kEncodingUtf8},
    {nullptr, nullptr, 0},
};

// TestClock(): the virtual monotonic clock in milliseconds.
int TestClock(VMState *vm) {
    PushNumber(vm, double(MonotonicMicroseconds() / 1000));
    return 1;
}

// TestMoveWallClock(seconds): a change of the wall clock that timers must not notice.
int TestMoveWallClock(VMState *vm) {
    SetVirtualRealtime(RealtimeMicroseconds() + int64_t(VMToNumber(vm, 1)) * 1000000);
    return 0;
}

// TestAnswerRequester(ok, button, text, path, ...): installs the scripted requesters (on first use) and queues
// the answer the next requester gives.
bool scriptedRequesters = false;
int TestAnswerRequester(VMState *vm) {
    if (!scriptedRequesters) UseScriptedRequesters();
    scriptedRequesters = true;
    RequesterAnswer answer;
    answer.ok = VMToNumber(vm, 1) != 0;
    answer.button = int32_t(VMToNumber(vm, 2));
    answer.text = ScriptValueText(vm, 3);
    for (int i = 4; i <= GetTop(vm); ++i) answer.paths.push_back(ScriptValueText(vm, i));
    QueueScriptedAnswer(answer);
    return 0;
}

// TestLastRequester(): kind, file mode, icon and maximum length of the last requester shown, and whether a
// requester still counts as active.
int TestLastRequester(VMState *vm) {
    if (ScriptedRequests().empty()) return kErrWrongUsage;
    const RequesterRequest &last = ScriptedRequests().back();
    PushNumber(vm, last.kind);
    PushNumber(vm, last.mode);
    PushNumber(vm, last.icon);
    PushNumber(vm, last.maxLength);
    PushNumber(vm, RequesterActive.load());
    return 5;
}

constexpr const char *kScratchKey = "vl.scripttest.scratch";

// TestScratch(): a directory of this run's own, removed after the script.
int TestScratch(VMState *vm) {
    auto *path = static_cast<std::string *>(GetRegistryHandle(vm, kScratchKey));
    PushString(vm, path->c_str());
    return 1;
}

const CommandEntry kTestCommands[] = {
    {"TestClock", TestClock},   {"TestMoveWallClock", TestMoveWallClock},
    {"TestAnswerRequester", TestAnswerRequester}, {"TestLastRequester", TestLastRequester},
    {"TestScratch", TestScratch},
    {"TestMulti", TestMulti},   {"TestCount", TestCount},
    {"TestFail", TestFail},     {"TestProtect", TestProtect}, {"TestCall", TestCall},
    {"TestDispatch", TestDispatch},
    {"TestGosub", TestGosub},   {"TestGosubAgain", TestGosubAgain},
    {nullptr, nullptr},
};

const CommandEntry kFallbackCommands[] = {
    {"NextItem", FallbackNextItem},         {"Pairs", FallbackPairs},
    {"SetMetaTable", FallbackSetMetatable}, {"GetMetaTable", FallbackGetMetatable},
    {"RawGet", FallbackRawGet},             {"SetDefaultEncoding", FallbackSetDefaultEncoding},
    {nullptr, nullptr},
};

std::string Lower(std::string s) {
    for (char &c : s) c = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
    return s;
}

void RegisterTestCommands(VMState *vm, ScriptRunResult *run) {
    RegisterScriptTestCommands(vm, run, {kTestCommands});
    for (const CommandEntry *row = kFallbackCommands; row->name; ++row) {
        std::string name = Lower(row->name);
        GetGlobal(vm, name.c_str());
        bool missing = ValueType(vm, -1) == TNIL;
        SetTop(vm, -2);
        if (missing) {
            PushNativeFunction(vm, row->handler, name.c_str());
            SetGlobal(vm, name.c_str());
        }
    }
    if (!FindConstant("ENCODING_UTF8")) RegisterConstants(vm, kFallbackConstants);
}

} // namespace

ScriptRunResult RunScript(std::string_view source, const std::string &fileName, const std::string &baseDirectory) {
    ScriptRunResult result;
    std::vector<uint8_t> chunk;
    if (!CompileScriptChunk(source, fileName, baseDirectory, chunk, result)) return result;

    ScriptExpectations settings;
    std::string unused;
    ParseExpectations(source, settings, unused);
    std::string savedTz = std::getenv("TZ") ? std::getenv("TZ") : "";
    bool hadTz = std::getenv("TZ") != nullptr;
    if (settings.clockStart >= 0) {
        setenv("TZ", "UTC", 1);
        tzset();
        InstallVirtualClock(settings.clockStart);
    }

    ResetRuntimeGlobals();
    DefaultEncoding = kEncodingLatin1;
    gosubAgainCalls = 0;
    VMState *vm = NewVMState();
    InitRuntimeSupport(vm);
    for (ScriptLibraryRegister registerLibrary : ScriptTestLibraries()) registerLibrary(vm);
    RegisterTestCommands(vm, &result);
    ScratchDirectory scratch;
    SetRegistryHandle(vm, kScratchKey, &scratch.path);

    RunScriptChunk(vm, chunk, fileName, result);
    for (ScriptLibraryFree freeAll : ScriptTestLibraryFrees()) freeAll(vm);
    CloseVMState(vm);
    if (scriptedRequesters) {
        ClearScriptedRequesters();
        SetRequesterBackend(nullptr);
        scriptedRequesters = false;
    }
    if (settings.clockStart >= 0) {
        RemoveVirtualClock();
        if (hadTz) setenv("TZ", savedTz.c_str(), 1);
        else unsetenv("TZ");
        tzset();
    }
    return result;
}

