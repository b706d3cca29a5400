#include "tests/player/player_test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sys/wait.h>

#include "tools/compiler/compile.h"
#include "tools/compiler/known_names.h"

// 0x00RRGGBB of a pixel of a 24-bit bottom-up BMP file.
uint32_t BmpPixel(const std::vector<uint8_t> &bmp, int x, int y) {
    auto u32 = [&](size_t at) { return uint32_t(bmp[at]) | uint32_t(bmp[at + 1]) << 8 | uint32_t(bmp[at + 2]) << 16 |
                                       uint32_t(bmp[at + 3]) << 24; };
    const uint32_t offset = u32(10);
    const int32_t height = int32_t(u32(22)), width = int32_t(u32(18));
    const size_t stride = (size_t(width) * 3 + 3) & ~size_t(3);
    const size_t at = offset + size_t(height - 1 - y) * stride + size_t(x) * 3;
    return uint32_t(bmp[at + 2]) << 16 | uint32_t(bmp[at + 1]) << 8 | bmp[at];
}

std::vector<uint8_t> CompileToApplet(const std::string &source, const std::string &fileName,
                                     const std::string &baseDirectory, bool compressed) {
    AppletContents contents;
    CompileError error;
    std::vector<uint8_t> bytes;
    if (!CompileApplet(source, fileName, baseDirectory, contents, error)) {
        ADD_FAILURE() << "compile error at " << error.line << ": " << error.message;
        return bytes;
    }
    std::string message;
    if (!BuildAppletFile(contents, compressed, bytes, message)) ADD_FAILURE() << message;
    return bytes;
}

namespace {

std::string Quote(const std::string &word) {
    std::string out = "'";
    for (char c : word) {
        if (c == '\'') out += "'\\''";
        else out += c;
    }
    return out + "'";
}

} // namespace

PlayerRun RunProgramCapture(const std::string &program, const std::vector<std::string> &arguments,
                            const std::string &directory, const std::vector<std::string> &environment) {
    std::string outFile = directory + "/.stdout", errFile = directory + "/.stderr";
    // A player that hangs fails its test after five minutes instead of stalling the whole run; the longest
    // sweeps take more than one under a loaded sanitizer build.
    std::string command =
        "cd " + Quote(directory) + " && timeout 300 env SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy";
    for (const std::string &word : environment) command += " " + Quote(word);
    command += " " + Quote(program);
    for (const std::string &word : arguments) command += " " + Quote(word);
    command += " >" + Quote(outFile) + " 2>" + Quote(errFile) + " </dev/null";
    int status = system(command.c_str());
    PlayerRun run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = ReadFileText(outFile);
    run.err = ReadFileText(errFile);
    std::filesystem::remove(outFile);
    std::filesystem::remove(errFile);
    return run;
}

PlayerRun RunPlayer(const std::vector<std::string> &arguments, const std::string &directory,
                    const std::vector<std::string> &environment) {
    return RunProgramCapture(VL_PLAYER_PATH, arguments, directory, environment);
}

bool SweepLeavesOut(const std::string &command) {
    static const std::set<std::string> kLeftOut = {
        "BreakWhileMouseOn", "DebugOutput", "End",      "Error",         "Execute",        "ExitOnError",
        "FileRequest",       "InKeyStr",    "OpenURL",  "PathRequest",   "Run",            "RunRexxScript",
        "SendRexxCommand",   "StringRequest", "SystemRequest", "CreateRexxPort", "ChangeDirectory"};
    return kLeftOut.count(command) || command.rfind("Wait", 0) == 0 || command.rfind("While", 0) == 0;
}

const char kMakeEveryObject[] = R"(
ExitOnError(False)
CreateDisplay(2, {Width = 64, Height = 64})
OpenDisplay(2)
SelectDisplay(1)
EnableLayers()
Function Make()
    CreateBrush(1, 40, 40, $FF0000) CreateAnim(1, 1, 10, 10, 3, 3) CreateTextObject(1, "ab")
    CreateSprite(1, #BRUSH, 1) CreateBGPic(2, 30, 30) CreateClipRegion(1, #BOX, 0, 0, 20, 20)
    CreatePointer(1, #BRUSH, 1) OpenMusic(1, "tune.mod") LoadModule(1, "tune.mod") LoadSample(1, "tone.wav")
    OpenFile(1, "f.txt") AllocMem(1, 64) OpenDirectory(1, ".")
    CreateDisplay(2, {Width = 64, Height = 64}) OpenDisplay(2) SelectDisplay(1) EnableLayers() SetFPSLimit(1000000)
    If Not LayerExists("a") Then DisplayBrush(1, 0, 0, {Name = "a"}) EndIf
EndFunction
)";

std::string RunSweep(const std::string &setUp, const std::string &call, const std::string &ending, PlayerRun *run,
                     int *commands, const std::vector<std::string> &environment) {
    std::string script = std::string(kMakeEveryObject) + setUp;
    int swept = 0;
    for (const char *name : kKnownCommands) {
        if (SweepLeavesOut(name)) continue;
        std::string line = call;
        for (size_t at; (at = line.find('$')) != std::string::npos;) line.replace(at, 1, name);
        script += line + "\n";
        swept++;
    }
    if (commands) *commands = swept;
    ScratchDirectory dir;
    const std::string data = std::string(VL_SOURCE_DIR) + "/tests/data/media/";
    WriteBytes(dir.File("tune.mod"), ReadFileBytes(data + "effects.mod"));
    WriteBytes(dir.File("tone.wav"), ReadFileBytes(data + "mono16.wav"));
    WriteBytes(dir.File("f.txt"), {'a', 'b'});
    WriteBytes(dir.File("sweep.vla"), CompileToApplet(script + ending, "sweep.vls", dir.path));
    std::vector<std::string> env = {"VL_ALLOCATION_CAP_MB=64"};
    env.insert(env.end(), environment.begin(), environment.end());
    *run = RunPlayer({"-quiet", "-debugdevice", "sweep.txt", "sweep.vla"}, dir.path, env);
    return ReadFileText(dir.File("sweep.txt"));
}
