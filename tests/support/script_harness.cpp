#include "tests/support/script_harness.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <regex>

#include "runtime/app/errors.h"
#include "runtime/vm/vm.h"
#include "tools/compiler/compile.h"

namespace {

constexpr const char *kRunKey = "vl.scripttest.run";

// TestPrint(...): one output line, the arguments separated by blanks.
int TestPrint(VMState *vm) {
    std::string line;
    for (int i = 1; i <= GetTop(vm); ++i) {
        if (i > 1) line += ' ';
        line += ScriptValueText(vm, i);
    }
    static_cast<ScriptRunResult *>(GetRegistryHandle(vm, kRunKey))->output.push_back(std::move(line));
    return 0;
}

// TestErrorOf(f, ...): the error code of calling f with the arguments, 0 when it succeeds.
int TestErrorOf(VMState *vm) {
    PushNumber(vm, ProtectedCall(vm, GetTop(vm) - 1, 0, 0));
    return 1;
}

const CommandEntry kHarnessCommands[] = {
    {"TestPrint", TestPrint},
    {"TestErrorOf", TestErrorOf},
    {nullptr, nullptr},
};

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

std::string ScriptValueText(VMState *vm, int index) {
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

void RegisterScriptTestCommands(VMState *vm, ScriptRunResult *run, std::initializer_list<const CommandEntry *> suiteCommands) {
    SetRegistryHandle(vm, kRunKey, run);
    RegisterCommands(vm, kHarnessCommands);
    for (const CommandEntry *table : suiteCommands) RegisterCommands(vm, table);
}

bool CompileScriptChunk(std::string_view source, const std::string &fileName, const std::string &baseDirectory,
                        std::vector<uint8_t> &chunk, ScriptRunResult &run) {
    AppletContents applet;
    CompileError error;
    if (!CompileApplet(source, fileName, baseDirectory, applet, error)) {
        run.compileError = std::to_string(error.line) + ":" + std::to_string(error.column) + ": " + error.message;
        return false;
    }
    run.compiled = true;
    // The chunk went through the bytecode writer, as the player gets it.
    chunk = std::move(applet.chunk);
    return true;
}

std::string PrepareScriptChunk(std::string_view source, const std::string &fileName, const std::string &baseDirectory,
                               ScriptExpectations &expected, std::vector<uint8_t> &chunk, ScriptRunResult &run) {
    std::string problem;
    if (!ParseExpectations(source, expected, problem)) return problem;
    if (!CompileScriptChunk(source, fileName, baseDirectory, chunk, run)) return "does not compile: " + run.compileError;
    return "";
}

void RunScriptChunk(VMState *vm, const std::vector<uint8_t> &chunk, const std::string &name, ScriptRunResult &run) {
    int code = LoadChunkBuffer(vm, chunk.data(), chunk.size(), name.c_str());
    if (code == 0) code = ProtectedCall(vm, 0, 0, 0);
    if (code != 0) {
        run.errorCode = code;
        run.errorLine = GetErrorLine(vm);
        run.errorFile = GetErrorFile(vm);
        run.errorMessage = ScriptErrorMessage(vm, code);
    }
}

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

void MaskAddresses(std::vector<std::string> &output) {
    static const std::regex address("0x[0-9a-f]+");
    for (std::string &line : output) line = std::regex_replace(line, address, "ADDR");
}

std::vector<std::string> ScriptFilesBelow(const std::string &root) {
    std::vector<std::string> scripts;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file() && it->path().extension() == ".vls")
            scripts.push_back(std::filesystem::relative(it->path(), root).generic_string());
    }
    std::sort(scripts.begin(), scripts.end());
    return scripts;
}

std::string ScriptTestName(std::string path) {
    std::string name = path.substr(0, path.size() - 4);
    for (char &c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}
