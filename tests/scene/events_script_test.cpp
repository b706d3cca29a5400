// The scene's compiled scripts: every tests/scene/events/*.vls and tests/scene/layers/*.vls is compiled with vlc
// and run on a VM with the event library, a display on the virtual clock and a few test commands that stand in
// for the user. The layer scripts also get the display, brush and layers libraries (their displays open real
// windows on SDL's offscreen driver), a small in-memory anim library, and the debug output as output lines.
//
//   TestPrint(...)                one output line, the arguments separated by blanks
//   TestQueueMouse(kind, x, y, down), TestQueueKey(code, down), TestQueueWindow(kind)
//                                 queue what the pump would (window coordinates)
//   TestMoveMouse(x, y)           the pointer moved there (window coordinates)
//   TestAdvance(ms)               the virtual clock moves on
//   TestErrorOf(f, ...)           the error code of calling f with the arguments, 0 when it succeeds
//   TestCheckWindow()             compares the window with a composition of the layer list made with the
//                                 per-pixel generic kernels; prints the first differing pixel
//   TestRefreshCount()            the compositor's rectangle redraws since the last call
//
// Expectations stand in comments: "; expect: TEXT" for each output line, "; expect error: CODE" for the error
// the script stops with.
#include <algorithm>
#include <cstdlib>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "fx/transitionfx_library.h"
#include "player/applet_loader.h"
#include "tests/scene/layer_script_support.h"
#include "tests/scene/events_fixture.h"

namespace {

std::vector<std::string> *output = nullptr;

int TestPrint(VMState *vm) {
    std::string line;
    for (int i = 1; i <= GetTop(vm); i++) {
        if (i > 1) line += ' ';
        size_t length = 0;
        const char *text = ValueType(vm, i) == TNIL ? "Nil" : VMToString(vm, i, &length);
        line += text ? std::string(text, ValueType(vm, i) == TNIL ? 3 : length) : "?";
    }
    output->push_back(line);
    return 0;
}

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

int TestErrorOf(VMState *vm) {
    PushNumber(vm, ProtectedCall(vm, GetTop(vm) - 1, 0, 0));
    return 1;
}

const CommandEntry kTestCommands[] = {
    {"TestPrint", TestPrint},         {"TestQueueMouse", TestQueueMouse}, {"TestQueueKey", TestQueueKey},
    {"TestQueueWindow", TestQueueWindow}, {"TestMoveMouse", TestMoveMouse}, {"TestAdvance", TestAdvance},
    {"TestErrorOf", TestErrorOf},     {nullptr, nullptr},
};

std::string ScriptsDirectory() { return std::string(VL_SOURCE_DIR) + "/tests/scene"; }

// Paths relative to the scripts directory, events first.
std::vector<std::string> FindScripts() {
    std::vector<std::string> names;
    for (const char *folder : {"events", "layers"}) {
        std::vector<std::string> found;
        for (const auto &entry : std::filesystem::directory_iterator(ScriptsDirectory() + "/" + folder))
            if (entry.path().extension() == ".vls") found.push_back(std::string(folder) + "/" + entry.path().filename().string());
        std::sort(found.begin(), found.end());
        names.insert(names.end(), found.begin(), found.end());
    }
    return names;
}

struct Expectations {
    std::vector<std::string> lines;
    int error = 0;
};

Expectations ReadExpectations(const std::string &source) {
    Expectations e;
    std::istringstream in(source);
    std::string line;
    while (std::getline(in, line)) {
        size_t at = line.find_first_not_of(" \t");
        if (at == std::string::npos || line[at] != ';') continue;
        std::string comment = line.substr(at + 1);
        if (comment.rfind(" expect: ", 0) == 0) e.lines.push_back(comment.substr(9));
        else if (comment.rfind(" expect error: ", 0) == 0) e.error = std::atoi(comment.c_str() + 15);
    }
    return e;
}

class EventScript : public EventFixture, public testing::WithParamInterface<std::string> {};

TEST_P(EventScript, BehavesAsItsCommentsSay) {
    std::string path = ScriptsDirectory() + "/" + GetParam();
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    Expectations expected = ReadExpectations(text.str());

    std::string compiler = std::string(VL_BINARY_DIR) + "/tools/vlc";
    ASSERT_TRUE(std::filesystem::exists(compiler)) << "the tests need the compiler: build the vlc target";
    std::string base = std::filesystem::path(GetParam()).filename().string();
    std::string applet = (std::filesystem::temp_directory_path() / ("scene_" + std::to_string(getpid()) + "_" + base + ".vla")).string();
    std::string command = "'" + compiler + "' -o '" + applet + "' '" + path + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    LoadedApplet loaded;
    ASSERT_EQ(ReadAppletRecords(applet.c_str(), 0, applet.c_str(), &loaded), 0);
    std::filesystem::remove(applet);

    std::vector<std::string> lines;
    output = &lines;
    RegisterCommands(vm, kTestCommands);
    const bool layers = GetParam().rfind("layers/", 0) == 0;
    if (layers) {
        ASSERT_EQ(layertest::SetUpLayerScripts(vm, &lines), 0);
        kTransitionFxLibrary.registerLibrary(vm);
    }
    int code = LoadChunkBuffer(vm, loaded.chunk.data(), loaded.chunk.size(), GetParam().c_str());
    ASSERT_EQ(code, 0);
    code = ProtectedCall(vm, 0, 0, 0);
    if (layers) layertest::TearDownLayerScripts(vm, display);
    output = nullptr;
    // Addresses differ from run to run.
    for (std::string &line : lines) line = std::regex_replace(line, std::regex("0x[0-9a-f]+"), "ADDR");
    EXPECT_EQ(code, expected.error) << "at line " << GetErrorLine(vm);
    // Line by line, so that a long output shows where it went wrong.
    for (size_t i = 0; i < std::max(lines.size(), expected.lines.size()); i++)
        EXPECT_EQ(i < lines.size() ? lines[i] : "<none>", i < expected.lines.size() ? expected.lines[i] : "<none>")
            << "output line " << i + 1;
}

std::string TestName(const testing::TestParamInfo<std::string> &info) {
    std::string name = info.param.substr(0, info.param.size() - 4);
    name = name.substr(name.find('/') + 1);
    for (char &c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Scripts, EventScript, testing::ValuesIn(FindScripts()), TestName);

} // namespace
