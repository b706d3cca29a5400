#include "tests/scripts/script_runner.h"

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "host/clock.h"
#include "host/requester.h"
#include "runtime/app/command.h"
#include "runtime/app/errors.h"
#include "runtime/app/runtime_globals.h"
#include "runtime/vm/proto.h"
#include "runtime/vm/vm.h"
#include "tools/compiler/compile.h"

namespace {

constexpr const char *kRunKey = "vl.scripttest.run";

ScriptRunResult *CurrentRun(VMState *vm) { return static_cast<ScriptRunResult *>(GetRegistryHandle(vm, kRunKey)); }

std::string ValueText(VMState *vm, int index) {
    switch (ValueType(vm, index)) {
    case TNIL: return "Nil";
    case TNUMBER:
    case TSTRING: {
        size_t length = 0;
        PushValue(vm, index); // converting a number in place must not change the argument itself
        const char *text = VMToString(vm, -1, &length);
        std::string s(text, length);
        SetTop(vm, -2);
        return s;
    }
    case TTABLE: return "Table";
    case TFUNCTION: return "Function";
    case TBOOLEAN: return ToBoolean(vm, index) ? "True" : "False";
    default: return "Userdata";
    }
}

// TestPrint(...): one output line, the arguments separated by spaces.
int TestPrint(VMState *vm) {
    std::string line;
    for (int i = 1; i <= GetTop(vm); ++i) {
        if (i > 1) line += ' ';
        line += ValueText(vm, i);
    }
    CurrentRun(vm)->output.push_back(std::move(line));
    return 0;
}

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
    answer.text = ValueText(vm, 3);
    for (int i = 4; i <= GetTop(vm); ++i) answer.paths.push_back(ValueText(vm, i));
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
    {"TestPrint", TestPrint},   {"TestMulti", TestMulti},     {"TestCount", TestCount},
    {"TestFail", TestFail},     {"TestProtect", TestProtect}, {"TestCall", TestCall},
    {"TestGosub", TestGosub},   {"TestGosubAgain", TestGosubAgain},
    {nullptr, nullptr},
};

const CommandEntry kFallbackCommands[] = {
    {"NextItem", FallbackNextItem},         {"Pairs", FallbackPairs},
    {"SetMetaTable", FallbackSetMetatable}, {"GetMetaTable", FallbackGetMetatable},
    {"RawGet", FallbackRawGet},             {nullptr, nullptr},
};

const ConstantEntry kTestConstants[] = {
    {"TEST_ANSWER", nullptr, 42},
    {"TEST_NAME", "forty-two", 0},
    {nullptr, nullptr, 0},
};

std::string Lower(std::string s) {
    for (char &c : s) c = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
    return s;
}

void RegisterTestCommands(VMState *vm) {
    RegisterCommands(vm, kTestCommands);
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
    RegisterConstants(vm, kTestConstants);
}

std::string TrimEnd(std::string_view s) {
    size_t e = s.size();
    while (e > 0 && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
    return std::string(s.substr(0, e));
}

std::string Trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
    return std::string(s.substr(b, e - b));
}

bool ParseErrorExpectation(std::string rest, ScriptExpectations &out, std::string &problem) {
    out.expectError = true;
    char *end = nullptr;
    long code = std::strtol(rest.c_str(), &end, 10);
    if (end == rest.c_str() || code <= 0) {
        problem = "expect error needs a code: " + rest;
        return false;
    }
    out.errorCode = int(code);
    rest = Trim(end);
    if (!rest.empty() && rest[0] == '"') {
        size_t close = rest.find('"', 1);
        if (close == std::string::npos) {
            problem = "unclosed message in expect error";
            return false;
        }
        out.errorMessage = rest.substr(1, close - 1);
        rest = Trim(rest.substr(close + 1));
    }
    if (rest.rfind("at line ", 0) == 0) {
        out.errorLine = std::atoi(rest.c_str() + 8);
        rest.clear();
    }
    if (!rest.empty()) {
        problem = "unreadable expect error: " + rest;
        return false;
    }
    return true;
}

} // namespace

bool ParseExpectations(std::string_view source, ScriptExpectations &out, std::string &problem) {
    out = ScriptExpectations{};
    size_t start = 0;
    while (start <= source.size()) {
        size_t end = source.find('\n', start);
        if (end == std::string_view::npos) end = source.size();
        std::string line = Trim(source.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line[0] != ';') continue;
        std::string comment = Trim(std::string_view(line).substr(1));
        if (comment.rfind("expect:", 0) == 0) {
            // The text starts after one space, so leading spaces in output can still be expected.
            std::string_view text = std::string_view(comment).substr(7);
            if (!text.empty() && text[0] == ' ') text.remove_prefix(1);
            out.output.emplace_back(text);
        } else if (comment.rfind("expect error:", 0) == 0) {
            if (!ParseErrorExpectation(Trim(comment.substr(13)), out, problem)) return false;
        } else if (comment.rfind("expect compile error:", 0) == 0) {
            out.expectCompileError = true;
            out.compileError = Trim(comment.substr(21));
        } else if (comment.rfind("clock:", 0) == 0) {
            struct tm when = {};
            if (!strptime(comment.c_str() + 6, " %Y-%m-%d %H:%M:%S", &when)) {
                problem = "unreadable clock: " + comment;
                return false;
            }
            out.clockStart = int64_t(timegm(&when)) * 1000000;
        } else if (comment.rfind("expect", 0) == 0) {
            problem = "unknown expectation: " + comment;
            return false;
        }
    }
    return true;
}

ScriptRunResult RunScript(std::string_view source, const std::string &fileName, const std::string &baseDirectory) {
    ScriptRunResult result;
    AppletContents applet;
    CompileError error;
    if (!CompileApplet(source, fileName, baseDirectory, applet, error)) {
        result.compileError = std::to_string(error.line) + ":" + std::to_string(error.column) + ": " + error.message;
        return result;
    }
    result.compiled = true;
    // The chunk goes through the bytecode writer and loader, as the player gets it.
    const std::vector<uint8_t> &chunk = applet.chunk;

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
    gosubAgainCalls = 0;
    VMState *vm = NewVMState();
    InitRuntimeSupport(vm);
    for (ScriptLibraryRegister registerLibrary : ScriptTestLibraries()) registerLibrary(vm);
    RegisterTestCommands(vm);
    SetRegistryHandle(vm, kRunKey, &result);
    std::string scratch = (std::filesystem::temp_directory_path() / "vl_script_XXXXXX").string();
    if (!mkdtemp(scratch.data())) scratch.clear();
    SetRegistryHandle(vm, kScratchKey, &scratch);

    int code = LoadChunkBuffer(vm, chunk.data(), chunk.size(), fileName.c_str());
    if (code == 0) code = ProtectedCall(vm, 0, 0, 0);
    if (code != 0) {
        result.errorCode = code;
        result.errorLine = GetErrorLine(vm);
        result.errorFile = GetErrorFile(vm);
    }
    for (ScriptLibraryFree freeAll : ScriptTestLibraryFrees()) freeAll(vm);
    CloseVMState(vm);
    std::error_code ignored;
    if (!scratch.empty()) std::filesystem::remove_all(scratch, ignored);
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

std::string CompareRun(const ScriptExpectations &expected, const ScriptRunResult &run) {
    if (expected.expectCompileError) {
        if (run.compiled) return "compiled, but a compile error was expected: " + expected.compileError;
        if (run.compileError != expected.compileError)
            return "compile error\n  expected: " + expected.compileError + "\n  actual:   " + run.compileError;
        return "";
    }
    if (!run.compiled) return "compile error: " + run.compileError;
    std::string problems;
    size_t lines = std::max(expected.output.size(), run.output.size());
    for (size_t i = 0; i < lines; ++i) {
        const std::string want = i < expected.output.size() ? expected.output[i] : "<nothing>";
        // Expectation comments lose trailing blanks in editors, so they are not compared.
        const std::string got = i < run.output.size() ? TrimEnd(run.output[i]) : "<nothing>";
        if (want != got) {
            problems += "output line " + std::to_string(i + 1) + "\n  expected: " + want + "\n  actual:   " + got + "\n";
            break;
        }
    }
    if (!expected.expectError && run.errorCode != 0) {
        const char *message = FindErrorMessage(run.errorCode);
        problems += "unexpected error " + std::to_string(run.errorCode) + " (" + (message ? message : "?") +
                    ") at " + run.errorFile + ":" + std::to_string(run.errorLine) + "\n";
    }
    if (expected.expectError) {
        if (run.errorCode != expected.errorCode) {
            problems += "expected error " + std::to_string(expected.errorCode) + ", got " +
                        std::to_string(run.errorCode) + " at line " + std::to_string(run.errorLine) + "\n";
        } else {
            if (expected.errorLine && run.errorLine != expected.errorLine)
                problems += "error at line " + std::to_string(run.errorLine) + ", expected line " +
                            std::to_string(expected.errorLine) + "\n";
            if (!expected.errorMessage.empty()) {
                const char *message = FindErrorMessage(run.errorCode);
                if (!message || expected.errorMessage != message)
                    problems += "error message \"" + std::string(message ? message : "") + "\", expected \"" +
                                expected.errorMessage + "\"\n";
            }
        }
    }
    return problems;
}
