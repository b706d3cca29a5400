// The real vistaloom executable, run as a user runs it.
#include "tests/player/player_test_support.h"
#include "tools/applet/link.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sys/stat.h>

namespace {

const char kPrintScript[] = "DebugPrint(\"hello\", 1 + 2)\nLocal x = 5\nDebugPrint(x * 2)\n";

bool Contains(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

void ExpectNoSanitizerReport(const std::string &err) {
    EXPECT_FALSE(Contains(err, "Sanitizer")) << err;
    EXPECT_FALSE(Contains(err, "runtime error")) << err;
}

// Compiles script into <name>.vla in dir and runs it with the debug output on stdout.
PlayerRun RunScript(const ScratchDirectory &dir, const std::string &script, const std::string &name,
                    const std::vector<std::string> &environment = {}) {
    WriteBytes(dir.File(name + ".vla"), CompileToApplet(script, name + ".vls", dir.path));
    return RunPlayer({"-quiet", "-debugdevice", "@stdout", name + ".vla"}, dir.path, environment);
}

// Appends applet to a copy of the player, written as the executable dir/program.
void WriteLinkedProgram(const ScratchDirectory &dir, const std::vector<uint8_t> &applet) {
    std::vector<uint8_t> program;
    std::string error;
    ASSERT_TRUE(LinkApplet(ReadFileBytes(VL_PLAYER_PATH), applet, program, error)) << error;
    WriteBytes(dir.File("program"), program);
    chmod(dir.File("program").c_str(), 0755);
}

TEST(PlayerEndToEnd, RunsAnAppletFromAFile) {
    ScratchDirectory dir;
    PlayerRun run = RunScript(dir, kPrintScript, "demo");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "hello 3\n10\n");
    ExpectNoSanitizerReport(run.err);
}

// Preloading runs before the first display opens, so this reaches the clipboard before any window exists.
TEST(PlayerEndToEnd, ClipboardStreamOpensBeforeTheFirstDisplay) {
    ScratchDirectory dir;
    PlayerRun run = RunScript(dir, "@FILE 1, \":::clipboard\"\nCloseFile(1)\nDebugPrint(\"opened\")\n", "clip");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "opened\n");
    ExpectNoSanitizerReport(run.err);
}

TEST(PlayerEndToEnd, ScriptWritesAndReadsTheClipboardStream) {
    ScratchDirectory dir;
    PlayerRun run = RunScript(dir,
                              "OpenFile(1, \":::clipboard\", #MODE_WRITE)\nWriteLine(1, \"pasted text\")\n"
                              "CloseFile(1)\nOpenFile(1, \":::clipboard\", #MODE_READ)\n"
                              "DebugPrint(ReadLine(1))\nCloseFile(1)\n",
                              "clip");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "pasted text\n");
    ExpectNoSanitizerReport(run.err);
}

TEST(PlayerEndToEnd, RunsAnAppendedCopyWithItsLinkedFiles) {
    ScratchDirectory dir(VL_BINARY_DIR); // for a copy of the player
    WriteText(dir.File("data.txt"), "linked line\n");
    std::string script = "@LINKFILE \"data.txt\"\n@FILE 1, \"data.txt\"\nDebugPrint(ReadLine(1))\nDebugPrint(\"done\")\n";
    ASSERT_NO_FATAL_FAILURE(WriteLinkedProgram(dir, CompileToApplet(script, "linked.vls", dir.path)));
    std::filesystem::remove(dir.File("data.txt")); // only the linked copy is left
    PlayerRun run = RunProgramCapture(dir.File("program"), {"-quiet", "--debugdevice=@stdout"}, dir.path);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "linked line\ndone\n");
    ExpectNoSanitizerReport(run.err);
}

TEST(PlayerEndToEnd, RunsAnAppendedCompressedAppletWithItsLinkedFiles) {
    ScratchDirectory dir(VL_BINARY_DIR); // for a copy of the player
    std::filesystem::create_directory(dir.File("tmp"));
    WriteText(dir.File("data.txt"), "packed line\n");
    std::string script = "@LINKFILE \"data.txt\"\nOpenFile(1, \"data.txt\")\nDebugPrint(ReadLine(1))\n";
    ASSERT_NO_FATAL_FAILURE(WriteLinkedProgram(dir, CompileToApplet(script, "z.vls", dir.path, true)));
    std::filesystem::remove(dir.File("data.txt"));
    PlayerRun run = RunProgramCapture(dir.File("program"), {"-quiet"}, dir.path, {"TMPDIR=" + dir.File("tmp")});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "packed line\n");
    EXPECT_TRUE(std::filesystem::is_empty(dir.File("tmp")));
}

TEST(PlayerEndToEnd, AppendedCompressedAppletCallsItselfAProgram) {
    ScratchDirectory dir(VL_BINARY_DIR); // for a copy of the player
    std::filesystem::create_directory(dir.File("tmp"));
    std::string script = "Local kind, name, extra = GetProgramInfo()\nDebugPrint(kind, extra == Nil)\n";
    ASSERT_NO_FATAL_FAILURE(WriteLinkedProgram(dir, CompileToApplet(script, "z.vls", dir.path, true)));
    PlayerRun run = RunProgramCapture(dir.File("program"), {"-quiet"}, dir.path, {"TMPDIR=" + dir.File("tmp")});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "2 1\n");
}

TEST(PlayerEndToEnd, RunsACompressedAppletAndLeavesNoTemporaryFile) {
    ScratchDirectory dir;
    std::filesystem::create_directory(dir.File("tmp"));
    WriteBytes(dir.File("demo.vlz"), CompileToApplet(kPrintScript, "demo.vls", dir.path, true));
    PlayerRun run = RunPlayer({"-quiet", "-DebugDevice", "@stdout", "demo.vlz"}, dir.path, {"TMPDIR=" + dir.File("tmp")});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "hello 3\n10\n");
    EXPECT_TRUE(std::filesystem::is_empty(dir.File("tmp")));
}

TEST(PlayerEndToEnd, TerminationSignalsShutDownLikeABreak) {
    // The script leaves a file unclosed, says it is running and loops; the signal must still flush the file,
    // remove the unpacked copy and end with 128 + the signal (CTRL-C too, so that a shell loop stops).
    const char script[] = "OpenFile(1, \"out.txt\", #MODE_WRITE)\nWriteLine(1, \"kept\")\n"
                          "OpenFile(2, \"started\", #MODE_WRITE)\nCloseFile(2)\nWhile True\nWend\n";
    // A player still running a minute after the signal is killed, which the status shows. The signal goes once the
    // file $2 is there.
    const char shell[] = "\"$0\" -quiet demo.vlz & p=$!; i=0\n"
                         "while [ ! -e $2 ] && [ $i -lt 1200 ]; do sleep 0.1; i=$((i+1)); done\n"
                         "kill -$1 $p; i=0\n"
                         "while kill -0 $p 2>/dev/null && [ $i -lt 600 ]; do sleep 0.1; i=$((i+1)); done\n"
                         "kill -9 $p 2>/dev/null; wait $p";
    // Also inside one long command or wait: a layer of four million frames stops making them, an anim's pause of
    // 2^31 ms between frames ends, and so does a frame's wait at one frame a second; opening a FIFO nothing writes
    // and a box outlined 1e9 thick do not hold it up. Nor does a program Execute waits for: its shell starts a
    // program of its own, which a CTRL-C does not stop (a shell's background programs ignore it), and says which;
    // the end passes the signal on and leaves neither running.
    const std::string loop = "While True\nWend\n";
    const std::string execute = "Execute(\"sh -c \\\"sleep 100 & echo $! >p; mv p sleep.pid; wait\\\"\")\n";
    const std::map<std::string, std::string> kLongCommands = {
        {"TERM layer", "EnableLayers()\nCreateLayer(0, 0, 1, 1, {Frames = 4000000})\n"},
        {"TERM anim", "CreateBrush(1, 40, 40)\nCreateAnim(1, 1, 10, 10, 3, 3)\nPlayAnim(1, 0, 0, {Speed = 1e300})\n"},
        {"TERM fifo", "ExitOnError(False)\nLoadBrush(1, \"fifo\")\n" + loop},
        {"TERM outline", "SetFormStyle({fillstyle = #FILLNONE, outlinethickness = 1e9})\nBox(5, 5, 100, 60, $FF)\n" + loop},
        {"TERM frame", "SetFPSLimit(1)\nWhile True\n    WaitFrame()\nWend\n"},
        {"TERM execute", execute},
        {"INT execute", execute}};
    for (const char *signalName : {"TERM", "HUP", "INT", "TERM layer", "TERM anim", "TERM fifo", "TERM outline",
                                   "TERM frame", "TERM execute", "INT execute"}) {
        const bool executes = std::string(signalName).ends_with("execute");
        ScratchDirectory dir;
        std::filesystem::create_directory(dir.File("tmp"));
        ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
        std::string source = script;
        if (kLongCommands.count(signalName)) source.replace(source.find("While"), std::string::npos, kLongCommands.at(signalName));
        WriteBytes(dir.File("demo.vlz"), CompileToApplet(source, "demo.vls", dir.path, true));
        PlayerRun run = RunProgramCapture("/bin/sh",
                                          {"-c", shell, VL_PLAYER_PATH, std::string(signalName).substr(0, 4),
                                           executes ? "sleep.pid" : "started"},
                                          dir.path, {"TMPDIR=" + dir.File("tmp")});
        const int signalNumber = signalName[0] == 'T' ? SIGTERM : signalName[0] == 'H' ? SIGHUP : SIGINT;
        EXPECT_EQ(run.exitCode, 128 + signalNumber) << signalName << run.err;
        const std::vector<uint8_t> written = ReadFileBytes(dir.File("out.txt"));
        EXPECT_EQ(std::string(written.begin(), written.end()), "kept\n");
        EXPECT_TRUE(std::filesystem::is_empty(dir.File("tmp")));
        ExpectNoSanitizerReport(run.err);
        if (executes) { // gone, or ended and waiting for init to take it
            std::string pid, stat;
            std::getline(std::ifstream(dir.File("sleep.pid")), pid);
            ASSERT_FALSE(pid.empty()) << signalName;
            std::getline(std::ifstream("/proc/" + pid + "/stat"), stat);
            EXPECT_TRUE(stat.empty() || stat.substr(stat.rfind(')') + 2, 1) == "Z") << signalName << ": " << stat;
        }
    }
}

TEST(PlayerEndToEnd, FailedOverwritesKeepTheOldFile) {
    // A file size limit makes every write past 8 KiB fail, as a full disk would: the savers must leave the old
    // files as they were and no temporary copy behind, and report the error naming the target.
    ScratchDirectory dir;
    std::vector<uint8_t> noise(64 * 1024);
    std::mt19937 random(7);
    for (uint8_t &byte : noise) byte = uint8_t(random());
    WriteBytes(dir.File("noise.bin"), noise);
    for (const char *name : {"keep.bmp", "keep.pak"}) WriteText(dir.File(name), "old");
    WriteBytes(dir.File("save.vla"),
               CompileToApplet("@DISPLAY {Width = 16, Height = 16}\nCreateBrush(1, 128, 128)\nExitOnError(False)\n"
                               "CompressFile(\"noise.bin\", \"keep.pak\")\nDebugPrint(GetLastError() <> 0)\n"
                               "ExitOnError(True)\nSaveBrush(1, \"keep.bmp\")\n",
                               "save.vls", dir.path));
    PlayerRun run = RunProgramCapture("/bin/sh", {"-c", "trap '' XFSZ; ulimit -f 16; exec \"$0\" -quiet -debugdevice "
                                                        "@stdout save.vla", VL_PLAYER_PATH}, dir.path);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "1\n");
    EXPECT_TRUE(Contains(run.err, "save.vls:7: Cannot write to file keep.bmp !")) << run.err;
    for (const char *name : {"keep.bmp", "keep.pak"}) {
        const std::vector<uint8_t> kept = ReadFileBytes(dir.File(name));
        EXPECT_EQ(std::string(kept.begin(), kept.end()), "old") << name;
    }
    size_t files = 0;
    for ([[maybe_unused]] const auto &entry : std::filesystem::directory_iterator(dir.path)) files++;
    EXPECT_EQ(files, 4u); // noise.bin, save.vla and the two kept files: no temporary copy left
}

TEST(PlayerEndToEnd, FileThatCannotBeFlushedAtShutdownIsReported) {
    // 12000 bytes stay in the file's buffer until the shutdown flushes them past the size limit.
    ScratchDirectory dir;
    WriteBytes(dir.File("log.vla"),
               CompileToApplet("OpenFile(1, \"log.txt\", #MODE_WRITE)\nFor i = 1 To 240\n"
                               "WriteLine(1, \"0123456789012345678901234567890123456789012345678\")\nNext\n",
                               "log.vls", dir.path));
    PlayerRun run = RunProgramCapture("/bin/sh", {"-c", "trap '' XFSZ; ulimit -f 8; exec \"$0\" -quiet log.vla",
                                                  VL_PLAYER_PATH}, dir.path);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(Contains(run.err, "log.txt: Could not write all characters to file!")) << run.err;
}

// PROGDIR: is the applet's folder, the linked program's, or the folder -progdir names (scripts/play names the
// script's, having compiled it elsewhere); a file it cannot read is reported with the path PROGDIR: stood for.
TEST(PlayerEndToEnd, ProgDirNamesTheAppletsFolderOrTheOneGiven) {
    ScratchDirectory dir(VL_BINARY_DIR); // for a copy of the player
    for (const char *folder : {"game", "data", "elsewhere"}) std::filesystem::create_directory(dir.File(folder));
    WriteText(dir.File("game/level.txt"), "beside the applet\n");
    WriteText(dir.File("data/level.txt"), "in the folder given\n");
    WriteText(dir.File("level.txt"), "beside the program\n");
    const std::vector<uint8_t> applet =
        CompileToApplet("OpenFile(1, \"PROGDIR:level.txt\")\nDebugPrint(ReadLine(1))\n", "game.vls", dir.path);
    WriteBytes(dir.File("game/game.vla"), applet);
    ASSERT_NO_FATAL_FAILURE(WriteLinkedProgram(dir, applet));
    const std::string player = VL_PLAYER_PATH, program = dir.File("program");
    struct Case {
        std::string program;
        std::vector<std::string> arguments;
        int exitCode;
        std::string out, err;
    } cases[] = {
        {player, {"game/game.vla"}, 0, "beside the applet\n", ""},
        {player, {"-progdir", "data", "game/game.vla"}, 0, "in the folder given\n", ""},
        {player, {"--progdir=" + dir.File("data"), "game/game.vla"}, 0, "in the folder given\n", ""},
        {program, {}, 0, "beside the program\n", ""},
        {program, {"-progdir", "data"}, 0, "in the folder given\n", ""},
        {player, {"-progdir", "elsewhere", "game/game.vla"}, 1, "",
         "game.vls:1: Cannot read file PROGDIR:level.txt ! (" +
             std::filesystem::canonical(dir.File("elsewhere")).string() + "/level.txt)\n"},
        {player, {"-progdir", "nothere", "game/game.vla"}, 2, "", "option PROGDIR needs a directory, not \"nothere\""},
    };
    for (const Case &c : cases) {
        std::vector<std::string> arguments = {"-quiet", "-debugdevice", "@stdout"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        PlayerRun run = RunProgramCapture(c.program, arguments, dir.path);
        const std::string what = c.program + " " + (c.arguments.empty() ? "" : c.arguments[0]);
        EXPECT_EQ(run.exitCode, c.exitCode) << what << ": " << run.err;
        EXPECT_EQ(run.out, c.out) << what;
        EXPECT_TRUE(Contains(run.err, c.err)) << what << ": " << run.err;
    }
}

// A bad command line or applet file stops the player with an exit code and a message on stderr.
TEST(PlayerEndToEnd, CommandLineErrorsExitWithTheirMessage) {
    struct Case {
        const char *what;
        std::vector<std::string> arguments;
        int exitCode;
        const char *message;
    };
    const Case cases[] = {
        {"1211: not an applet", {"readme.txt"}, 1, "readme.txt is no Vistaloom applet!"},
        {"a script", {"script.vls"}, 1, "is no Vistaloom applet!\n(a script is compiled first: vlac script.vls"},
        {"1212: compiling", {"-compile", "script.vls"}, 1, "Compilation is not possible with VistaloomPlayer!"},
        {"missing file", {"nothere.vla"}, 1, "Cannot read file nothere.vla ! (/"},
        {"unknown option", {"-windowed", "demo.vla"}, 2, "unknown option \"-windowed\""},
    };
    ScratchDirectory dir;
    WriteText(dir.File("readme.txt"), "not an applet at all");
    WriteText(dir.File("script.vls"), kPrintScript);
    for (const Case &c : cases) {
        PlayerRun run = RunPlayer(c.arguments, dir.path);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.what;
        EXPECT_TRUE(Contains(run.err, c.message)) << c.what << ": " << run.err;
    }
}

TEST(PlayerEndToEnd, ScriptErrorIsReportedAsFileLineMessage) {
    ScratchDirectory dir;
    PlayerRun run = RunScript(dir, "DebugPrint(\"a\")\n\nx = Nil + 1\n", "err");
    EXPECT_NE(run.exitCode, 0);
    EXPECT_EQ(run.out, "a\n");
    EXPECT_EQ(run.err.rfind("err.vls:3: ", 0), 0u) << run.err;
    EXPECT_EQ(run.err.back(), '\n');
}

// The general limit message says which limit the call hit.
TEST(PlayerEndToEnd, LimitErrorsNameTheLimit) {
    const struct {
        const char *script, *detail;
    } cases[] = {
        {"Box(0, 0, 16385, 10, $FF)\n", "(a shape is at most 16384 pixels wide and high, its edge, shadow and "
                                         "outline included)"},
        {"SetFormStyle({FormStyle = #EDGE, EdgeSize = 3})\nBox(0, 0, 16383, 2, $FF)\n", "(a shape is at most"},
        {"Local v = {}\nFor i = 0 To 1999\n v[i] = i\nNext\nPolygon(0, 0, v, $FF)\n",
         "(a polygon has at most 999 points)"},
        {"EnableLayers()\nBox(0, 0, 100, 10, $FF)\nSetLayerStyle(1, {SizeX = 30000})\n", "(a shape is at most"},
        {"Gosub Deeper\nLabel Deeper\n Gosub Deeper\nEndLabel\n", "(at most 4096 Gosubs may be pending)"},
        {"For i = 1 To 32\n AddTab(i)\nNext\nAddTab(40)\n", "(a display keeps at most 32 tab stops)"},
    };
    for (const auto &c : cases) {
        ScratchDirectory dir;
        PlayerRun run = RunScript(dir, c.script, "limit");
        EXPECT_NE(run.err.find("Internal limit encountered! Contact the author... " + std::string(c.detail)),
                  std::string::npos)
            << c.script << run.err;
    }
}

// Where the table's text names the fault but not the fix, the report adds what was refused and what to write.
TEST(PlayerEndToEnd, ErrorsSayWhatWasRefusedAndWhatToWrite) {
    ScratchDirectory dir;
    const std::string here = std::filesystem::canonical(dir.path).string();
    const std::string cannotDraw = "This operation is not supported by the specified BGPic type! A ";
    const std::string drawnInto = " picture cannot be drawn into; with layers on, SelectBGPic() in its default mode "
                                  "(#SELMODE_LAYERS) puts what is drawn on layers above it.";
    const std::string wrongUsage = "Wrong usage/parameters for this command!\nRead the documentation! ";
    const struct {
        std::string script, message;
    } cases[] = {
        {"CreateGradientBGPic(2, #LINEAR, $FF0000, $0000FF, 64, 64)\nSelectBGPic(2, #SELMODE_NORMAL)\n",
         cannotDraw + "gradient" + drawnInto},
        {"CreateRainbowBGPic(2, #LINEAR, $FF0000, $0000FF, 64, 64)\nSelectBGPic(2, #SELMODE_COMBO)\n",
         cannotDraw + "rainbow" + drawnInto},
        {"CreateBrush(1, 8, 8)\nCreateTexturedBGPic(2, 1, 64, 64)\nSelectBGPic(2, #SELMODE_NORMAL)\n",
         cannotDraw + "textured" + drawnInto},
        {"SetTimeout(Nil, Function() WaitEvent() EndFunction, 1)\nWaitEvent()\n",
         wrongUsage + "WaitEvent() does not run inside an event handler or another callback: return from it and let "
                      "a timeout (SetTimeout) continue.\ncalled from WaitEvent at hint.vls:2"},
        {"SetFontStyle(#BOLD + #SHADOW, $000000, 2, #SHDWSOUTHEAST)\n",
         "Too many arguments for this function! Only #SHADOW or #EDGE given alone takes more arguments (its colour, "
         "size and, for #SHADOW, direction)"},
        {"IsKeyDown(\"ARROWLEFT\")\n",
         wrongUsage + "\"ARROWLEFT\" names no key: a key is one printable character other than a blank, or one of "
                      "TAB, RETURN, ENTER, SPACE, ESC, UP, DOWN, RIGHT, LEFT, HELP, BACKSPACE, DEL, F1, F2, F3, F4, "
                      "F5, F6, F7, F8, F9, F10, F11, F12, F13, F14, F15, F16, INSERT, HOME, END, PAGEUP, PAGEDOWN, "
                      "PRINT, PAUSE, LSHIFT, RSHIFT, LALT, RALT, LCOMMAND, RCOMMAND, LCONTROL or RCONTROL. Did you "
                      "mean \"LEFT\"?"},
        {"CreateBrush(1, 8, 8)\nSaveBrush(1, \"b.png\", 0, 7)\n",
         wrongUsage + "Format 7 is no picture format: #IMGFMT_BMP, #IMGFMT_PNG, #IMGFMT_JPEG, #IMGFMT_GIF or "
                      "#IMGFMT_ILBM."},
        {"OpenDirectory(1, \"nofolder\")\n", "Error locking nofolder! (No such file or directory)"},
        {"CreateBrush(1, 8, 8)\nSaveBrush(1, \"nofolder/b.bmp\")\n",
         "Cannot write to file nofolder/b.bmp ! (" + here + "/nofolder/b.bmp)"},
        {"LoadModule(1, \"hint.vla\")\n",
         "Unknown music format! \"hint.vla\" could not be read as music; the formats read are MPEG audio (MP3), WAVE, "
         "IFF 8SVX or 16SV, and four-channel \"M.K.\" tracker modules."},
        {"EnableLayers()\nTextOut(0, 0, \"1\", {Name = \"clock\"})\nTextOut(0, 9, \"2\", {Name = \"Clock\"})\n",
         "Layer name was already assigned! \"Clock\" names a layer of this background picture already; each picture "
         "keeps its layers while others are shown."},
        {"EnableLayers()\nTextOut(0, 0, \"1\", {Name = \"clock\"})\nTextOut(0, 9, \"2\")\nSetLayerName(2, \"CLOCK\")\n",
         "Layer name was already assigned! \"CLOCK\" names a layer"},
        {"CreateBrush(1, 8, 8)\nCreateAnim(1, 1, 8, 8, 1, 1)\nDisplayAnimFrame(1, 0, 0, 3)\n",
         "Specified animation frame is out of range! Frame 3 was asked for; the frames are 1 to 1."},
        {"Function Tick() EndFunction\nSetInterval(Tick, 1000)\n",
         "Not enough arguments! 2 were given; the form is [handle =] SetInterval(id, function, ms[, userdata])."},
        {"EnableLayers()\nSetFormStyle({FillStyle = #FILLCOLOR, FormStyle = #SHADOW, ShadowSize = 8})\n"
         "Box(0, 0, 5000, 5000, $FF0000)\n",
         "Out of memory! As a layer, a shape with an edge, a shadow or a texture is at most 16777216 pixels (4096 x "
         "4096) before it is scaled or turned; this one is 5008 x 5008 with its shadow."},
        {"SetEventTimeout(5000, 1)\n",
         "Too many arguments for this function! 2 were given; the form is SetEventTimeout(ms).\n"},
        {"SetEventTimeout(Val(\"5000\"))\n",
         "Too many arguments for this function! 2 were given; the form is SetEventTimeout(ms). The last, Val(), gave 2 "
         "results: write it in parentheses, (Val(...)), to pass only its first."},
        {"Function Later(...)\nSetEventTimeout(...)\nEndFunction\nLater(5000, 1)\n",
         "Too many arguments for this function! 2 were given; the form is SetEventTimeout(ms). The last, ..., gave 2 "
         "values: write (...) to pass only the first."},
        {"PlaySample(\"beep\")\n", "Number expected in argument 1! PlaySample() was given the string \"beep\"; the "
                                    "form is PlaySample(id[, options | times, ...])."},
        {"CreateBrush(1, 8, 8)\nDisplayBrush(1, 0, 0, {Width = \"wide\"})\n",
         "Number expected in table argument \"width\"! DisplayBrush() was given the string \"wide\" for \"width\"; the "
         "form is DisplayBrush(id, x, y[, options])."},
        {"SetMetaTable({}, 5)\n", "Table or Nil expected! SetMetaTable() was given the number 5; the form is table = "
                                  "SetMetaTable(table, metatable)."},
        {"Collision(#BOX, 1, 2)\n", "Number expected in argument 4! 3 were given; the form is hit = Collision(#BOX, x1, "
                                    "y1, width1, height1, x2, y2, width2, height2).\n"},
        {"Collision(#SPRITE, 1)\n",
         "Not enough arguments! 2 were given; the form is hit = Collision(#SPRITE, id1, id2).\n"},
        {"LoadSample(1, \"hint.vla\")\n",
         "Sample file \"hint.vla\" is in an unknown/unsupported format! The formats read, in one or two channels, are "
         "WAVE, IFF 8SVX or 16SV, AIFF, AU, CAF, VOC, Wave64, RF64, FLAC, Ogg Vorbis or Opus, MPEG audio (MP3, MP2) "
         "and the other formats libsndfile reads."},
    };
    for (const auto &c : cases) {
        PlayerRun run = RunScript(dir, c.script, "hint");
        EXPECT_EQ(run.exitCode, 1) << c.script;
        EXPECT_TRUE(Contains(run.err, "hint.vls:")) << c.script << run.err;
        EXPECT_TRUE(Contains(run.err, c.message)) << c.script << run.err;
    }
}

// A callback's error ends the callback whatever ExitOnError says; it then fails the command that called it, which
// ExitOnError(False) lets the script step over. With True the callback's line is reported.
TEST(PlayerEndToEnd, ErrorInACallbackEndsItAndFailsTheCallingCommand) {
    const std::string body = "SetTimeout(1, Function()\n"
                             "  DebugPrint(\"callback\")\n"
                             "  LoadBrush(1, \"missing.png\")\n"
                             "  DebugPrint(\"callback goes on\")\n"
                             "EndFunction, 10)\n"
                             "Local m = WaitEvent()\n"
                             "DebugPrint(\"after\", GetLastError(), GetType(m) == #NIL)\n";
    ScratchDirectory dir;
    PlayerRun off = RunScript(dir, "ExitOnError(False)\n" + body, "off");
    EXPECT_EQ(off.exitCode, 0) << off.err;
    EXPECT_EQ(off.out, "callback\nafter 1045 1\n");
    EXPECT_EQ(off.err, "");
    PlayerRun on = RunScript(dir, body, "on");
    EXPECT_EQ(on.exitCode, 1);
    EXPECT_EQ(on.out, "callback\n");
    EXPECT_EQ(on.err.rfind("on.vls:3: ", 0), 0u) << on.err;
}

TEST(PlayerEndToEnd, EndIsNotReportedAndExitsWithZero) {
    ScratchDirectory dir;
    PlayerRun run = RunScript(dir, "DebugPrint(\"before\")\nEnd()\nDebugPrint(\"after\")\n", "end");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "before\n");
    EXPECT_EQ(run.err, "");
}

TEST(PlayerEndToEnd, LibrariesRegisterAndFreeInTheFixedOrders) {
    ScratchDirectory dir;
    PlayerRun run = RunScript(dir, "x = 1\n", "empty", {"VL_TRACE_LIBRARIES=1"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    std::string expected;
    for (const char *name : {"string", "math", "graphics", "draw", "moveobject", "dos", "event", "system", "layers",
                             "text", "anim", "display", "sound", "brush", "bgpic", "transitionfx", "sprite",
                             "memblock", "arexx"})
        expected += std::string("register ") + name + "\n";
    for (const char *name : {"display", "graphics", "draw", "brush", "bgpic", "sprite", "system", "text", "anim",
                             "layers", "dos", "memblock", "arexx", "event", "string", "math", "moveobject",
                             "transitionfx", "sound"})
        expected += std::string("free ") + name + "\n";
    EXPECT_EQ(run.out, expected);
}

// Libraries only some applets need are loaded when first used: the dynamic loader's log of each run says which
// were.
TEST(PlayerEndToEnd, LibrariesSomeAppletsNeedAreLoadedOnFirstUse) {
    const std::string video = std::string(VL_SOURCE_DIR) + "/tests/data/media/video.apng";
    struct Case {
        std::string script, library;
        bool loaded;
    } cases[] = {
        {"x = 1\n", "libavformat", false},
        {"DebugPrint(IsAnim(\"" + std::string(VL_SOURCE_DIR) + "/tests/data/media/dispose.gif\"))\n", "libavformat", false},
        {"DebugPrint(IsAnim(\"" + video + "\"))\n", "libavformat", true},
        {"x = 1\n", "libSDL2_image", false},
        {"LoadBrush(1, \"" + std::string(VL_SOURCE_DIR) + "/tests/data/media/video-0.ppm\")\n", "libSDL2_image", true},
        {"x = 1\n", "libfontconfig", false},
        {"t = GetAvailableFonts()\n", "libfontconfig", true},
        {"x = 1\n", "libjpeg", false},
        {"SaveSnapshot(\"shot.jpg\", #IMGFMT_JPEG, 90)\n", "libjpeg", true},
    };
    for (const Case &c : cases) {
        ScratchDirectory dir;
        PlayerRun run = RunScript(dir, c.script, "lazy", {"LD_DEBUG=files", "LD_DEBUG_OUTPUT=" + dir.File("ld")});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        std::string log;
        for (const auto &entry : std::filesystem::directory_iterator(dir.path))
            if (entry.path().filename().string().rfind("ld.", 0) == 0) log += ReadFileText(entry.path().string());
        EXPECT_FALSE(log.empty());
        EXPECT_EQ(Contains(log, c.library), c.loaded) << c.script;
    }
}

TEST(PlayerEndToEnd, TruncatedAppletsAreRefusedCleanly) {
    ScratchDirectory dir;
    std::vector<uint8_t> applet = CompileToApplet(kPrintScript, "demo.vls", dir.path);
    for (size_t length : {size_t(2), applet.size() / 2, applet.size() - 1}) {
        WriteBytes(dir.File("cut.vla"), std::vector<uint8_t>(applet.begin(), applet.begin() + static_cast<long>(length)));
        PlayerRun run = RunPlayer({"cut.vla"}, dir.path);
        EXPECT_EQ(run.exitCode, 1) << length;
        EXPECT_TRUE(Contains(run.err, "cut.vla is no Vistaloom applet!")) << run.err;
        ExpectNoSanitizerReport(run.err);
    }
}

TEST(PlayerEndToEnd, DebugDeviceFileReceivesTheOutput) {
    ScratchDirectory dir;
    WriteBytes(dir.File("demo.vla"), CompileToApplet(kPrintScript, "demo.vls", dir.path));
    PlayerRun run = RunPlayer({"-quiet", "-debugdevice", "log.txt", "demo.vla"}, dir.path);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "");
    std::vector<uint8_t> log = ReadFileBytes(dir.File("log.txt"));
    EXPECT_EQ(std::string(log.begin(), log.end()), "hello 3\n10\n");
    // A target that takes nothing is reported once, however much is written to it.
    run = RunPlayer({"-quiet", "-debugdevice", "/dev/full", "demo.vla"}, dir.path);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "Cannot write to file /dev/full !\n");
}

TEST(PlayerEndToEnd, HelpListsTheOptions) {
    ScratchDirectory dir;
    PlayerRun run = RunPlayer({"--help"}, dir.path);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(Contains(run.out, "-DEBUGDEVICE VALUE")) << run.out;
    EXPECT_TRUE(Contains(run.out, "-MASTERVOLUME VALUE"));
}

TEST(PlayerEndToEnd, PreloadOfAMissingResourceStopsWithAnError) {
    ScratchDirectory dir;
    PlayerRun run = RunScript(dir, "@BRUSH 1, \"missing-brush.png\"\nDebugPrint(\"ran\")\n", "pre");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(Contains(run.err, "rush")) << run.err; // LoadBrush not there yet, or the missing file
}

// Without a display SDL would fall back to a driver that shows nothing and play into it until killed: the player
// ends at once with one line, unless a driver without windows was asked for. No server listens at :4093, and
// without a runtime directory no Wayland compositor is found.
TEST(PlayerEndToEnd, WithoutADisplayEndsWithOneLineUnlessHeadlessWasAsked) {
    ScratchDirectory dir;
    WriteBytes(dir.File("shown.vla"), CompileToApplet("DebugPrint(\"played\")\n", "shown.vls", dir.path));
    const std::string player = VL_PLAYER_PATH ": ", headless = "; to play without one, set SDL_VIDEODRIVER=offscreen "
                                                               "SDL_AUDIODRIVER=dummy\n";
    const std::string atDisplay = player + "cannot open a window on display DISPLAY=:4093" + headless;
    const struct {
        std::string display, driver;
        int exitCode;
        std::string out, err;
    } cases[] = {
        {":4093", "", 1, "", atDisplay},
        {":4093", "x11", 1, "", atDisplay},
        {"", "", 1, "", player + "no display to open a window on (DISPLAY and WAYLAND_DISPLAY are not set)" + headless},
        {":4093", "offscreen", 0, "played\n", ""},
        {":4093", "x11,OffScreen", 0, "played\n", ""},
        {"", "dummy", 0, "played\n", ""},
    };
    for (const auto &c : cases) {
        // SDL's X11 start talks to D-Bus, whose library keeps a buffer to the end.
        PlayerRun run = RunPlayer({"-quiet", "-debugdevice", "@stdout", "shown.vla"}, dir.path,
                                  {"DISPLAY=" + c.display, "SDL_VIDEODRIVER=" + c.driver, "WAYLAND_DISPLAY=",
                                   "XDG_RUNTIME_DIR=", "LSAN_OPTIONS=suppressions=" VL_SOURCE_DIR
                                   "/tests/data/system/lsan.supp:print_suppressions=0"});
        EXPECT_EQ(run.exitCode, c.exitCode) << c.display << " " << c.driver;
        EXPECT_EQ(run.out, c.out) << c.display << " " << c.driver;
        EXPECT_EQ(run.err, c.err) << c.display << " " << c.driver;
    }
}

} // namespace

// The bundled demo is what a newcomer plays first: it must run clean. Its endless event loop is cut off after a
// few frames, with a snapshot to show the gem ended its bouncing move where the script sends it.
TEST(PlayerEndToEnd, BundledDemoPlaysClean) {
    ScratchDirectory dir;
    std::vector<uint8_t> bytes = ReadFileBytes(std::string(VL_SOURCE_DIR) + "/examples/demo.vls");
    std::string script(bytes.begin(), bytes.end());
    size_t loop = script.find("While True");
    ASSERT_NE(loop, std::string::npos);
    // One display, or Alt+Return would not switch it to full screen.
    script.replace(loop, std::string::npos,
                   "Wait(10)\nSaveSnapshot(\"" + dir.File("shot.bmp") + "\")\nDebugPrint(GetAttribute(#DISPLAY, Nil, #ATTRCOUNT))\n");
    WriteBytes(dir.File("demo.vla"), CompileToApplet(script, "demo.vls", std::string(VL_SOURCE_DIR) + "/examples"));
    PlayerRun run = RunPlayer({"-quiet", "-debugdevice", "@stdout", "demo.vla"}, dir.path);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "Vistaloom demo: close the window to end.\n1\n");
    ExpectNoSanitizerReport(run.err);
    std::vector<uint8_t> shot = ReadFileBytes(dir.File("shot.bmp"));
    uint32_t gem = BmpPixel(shot, 540 + 24, 200 + 24), sky = BmpPixel(shot, 540 + 24, 100);
    EXPECT_GT(gem & 0xFF, 0xC0u) << std::hex << gem;  // the gem is bright blue-white, the sky there dark
    EXPECT_LT(sky & 0xFF, 0xC0u) << std::hex << sky;
    // The shapes: the gradient box runs from yellow to red, the circle cut by its region shows only inside it.
    EXPECT_EQ(BmpPixel(shot, 80, 200), 0xFFE060u);
    EXPECT_EQ(BmpPixel(shot, 175, 225), 0x40C040u);
    EXPECT_EQ(BmpPixel(shot, 250, 240), 0xE04080u);
    EXPECT_NE(BmpPixel(shot, 270, 260), 0xE04080u);
}
