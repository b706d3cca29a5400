// The text drawing scripts: every tests/text/scripts/*.vls is compiled with vlc and run on the scene fixture with
// the display, brush, layers, text and transition libraries, windows on SDL's offscreen driver and the virtual clock.
//
//   TestPrint(...)                one output line, the arguments separated by blanks
//   TestErrorOf(f, ...)           the error code of calling f with the arguments, 0 when it succeeds
//   TestCheckWindow()             the window against a composition of the layer list
//   TestPixel(x, y)               the output's pixel as $RRGGBB text
//   TestCompare(x1, y1, x2, y2, w, h)  pixels that differ between two areas of the output, and whether the first
//                                 holds anything but the background
//   TestObject(id)                a text object's "width height offsetx offsety angle"
//   TestLock(id, delta)           counts a text object's holders up or down; TestTextRecords() the records kept
//   TestObjectPixel(id, x, y)     a text object's pixel: "RRGGBB alpha" (a mask gives 255 or 0)
//   TestCursor()                  "x y" of the text cursor; TestTabs() the tab stops
//   TestKey(code)                 queues a key press as the pump would
//   TestRedrawLayer(layer)        renders the layer's states again as a transform change does
//   TestFailAllocation(n)         the nth allocation of the text renderer from now fails
//
// Expectations stand in comments: "; expect: TEXT" per output line, "; expect error: CODE" for the final error.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <unistd.h>

#include "fx/transitionfx_library.h"
#include "imaging/blit.h"
#include "imaging/graphics_library.h"
#include "player/applet_loader.h"
#include "runtime/app/errors.h"
#include "scene/images/brush.h"
#include "scene/images/scene_objects.h"
#include "scene/layers/layers.h"
#include "tests/scene/events_fixture.h"
#include "tests/scene/layer_script_support.h"
#include "text/layout/text_library.h"
#include "text/layout/text_objects.h"

namespace {

std::vector<std::string> *Output = nullptr;

std::string Hex(uint32_t rgb) {
    char text[16];
    std::snprintf(text, sizeof text, "%06X", rgb & 0xFFFFFF);
    return text;
}

int TestPrint(VMState *vm) {
    std::string line;
    for (int i = 1; i <= GetTop(vm); i++) {
        if (i > 1) line += ' ';
        size_t length = 0;
        const char *text = ValueType(vm, i) == TNIL ? nullptr : VMToString(vm, i, &length);
        line += text ? std::string(text, length) : "Nil";
    }
    Output->push_back(line);
    return 0;
}

int TestErrorOf(VMState *vm) {
    PushNumber(vm, ProtectedCall(vm, GetTop(vm) - 1, 0, 0));
    return 1;
}

int TestPixel(VMState *vm) {
    const DisplayRecord *d = CurrentDisplay;
    const HostBitmap *b = d->layersEnabled ? d->secondBitmap : CurrentOutputBitmapHook();
    const int32_t x = CheckInt32Arg(vm, 1), y = CheckInt32Arg(vm, 2);
    PushString(vm, (x < 0 || y < 0 || x >= b->width || y >= b->height) ? "out" : Hex(HostBitmapRow32(b, y)[x]).c_str());
    return 1;
}

int TestCompare(VMState *vm) {
    const HostBitmap *b = CurrentOutputBitmapHook();
    const int32_t x1 = CheckInt32Arg(vm, 1), y1 = CheckInt32Arg(vm, 2), x2 = CheckInt32Arg(vm, 3),
                  y2 = CheckInt32Arg(vm, 4), w = CheckInt32Arg(vm, 5), h = CheckInt32Arg(vm, 6);
    int differing = 0, drawn = 0;
    const uint32_t background = HostBitmapRow32(b, 0)[0] & 0xFFFFFF;
    for (int32_t y = 0; y < h; y++)
        for (int32_t x = 0; x < w; x++) {
            const uint32_t a = HostBitmapRow32(b, y1 + y)[x1 + x] & 0xFFFFFF, c = HostBitmapRow32(b, y2 + y)[x2 + x] & 0xFFFFFF;
            differing += a != c;
            drawn += a != background;
        }
    PushString(vm, (std::to_string(differing) + (drawn ? " drawn" : " empty")).c_str());
    return 1;
}

TextObject *ObjectArg(VMState *vm) {
    ObjectId id{};
    ReadObjectId(&id, vm, 1);
    TextObject *object = nullptr;
    if (int error = FindTextObject(id, &object, 0)) RaiseError(vm, error);
    return object;
}

int TestObject(VMState *vm) {
    const TextObject *o = ObjectArg(vm);
    const std::string text = std::to_string(o->image.width) + " " + std::to_string(o->image.height) + " " +
                             std::to_string(o->offsetX) + " " + std::to_string(o->offsetY) + " " +
                             std::to_string(o->transform.rotate);
    PushString(vm, text.c_str());
    return 1;
}

int TestObjectPixel(VMState *vm) {
    const ImageTriple &img = ObjectArg(vm)->image;
    const int32_t x = CheckInt32Arg(vm, 2), y = CheckInt32Arg(vm, 3);
    if (x < 0 || y < 0 || x >= img.width || y >= img.height) RaiseError(vm, kErrWrongUsage);
    const int alpha = img.alpha ? img.alpha->bytes[size_t(y) * size_t(img.alpha->bytesPerRow) + size_t(x)]
                                : (MaskBit(img.mask, x, y) ? 255 : 0);
    const std::string text = (alpha ? Hex(HostBitmapRow32(img.bitmap, y)[x]) : std::string("------")) + " " +
                             std::to_string(alpha);
    PushString(vm, text.c_str());
    return 1;
}

int TestCursor(VMState *vm) {
    const std::string text = std::to_string(CurrentDisplay->cursorX) + " " + std::to_string(CurrentDisplay->cursorY);
    PushString(vm, text.c_str());
    return 1;
}

int TestTabs(VMState *vm) {
    std::string text;
    for (int32_t i = 0; i < CurrentDisplay->tabCount; i++) text += (i ? " " : "") + std::to_string(CurrentDisplay->tabStops[i]);
    PushString(vm, text.c_str());
    return 1;
}

int TestKey(VMState *vm) {
    QueueEvent(CurrentDisplay, kEventKey, 1, int32_t(0x80000000u), CheckInt32Arg(vm, 1));
    return 0;
}

int TestLock(VMState *vm) {
    ObjectArg(vm)->lockCount += CheckInt32Arg(vm, 2);
    return 0;
}

int TestTextRecords(VMState *vm) {
    PushNumber(vm, double(TextObjectList().size()));
    return 1;
}

int TestRedrawLayer(VMState *vm) {
    vlLayer *layer = GetNthLayer(CurrentBGPic, CheckLayerArg(vm, 1));
    if (!layer) RaiseError(vm, kErrWrongUsage);
    if (int error = UpdateLayerImage(vm, layer, 0)) RaiseError(vm, error);
    return 0;
}

int TestFailAllocation(VMState *vm) {
    TextAllocFailAfter = CheckInt32Arg(vm, 1);
    return 0;
}

const CommandEntry kTestCommands[] = {
    {"TestPrint", TestPrint},   {"TestErrorOf", TestErrorOf},         {"TestPixel", TestPixel}, {"TestCompare", TestCompare},
    {"TestObject", TestObject}, {"TestObjectPixel", TestObjectPixel}, {"TestCursor", TestCursor},
    {"TestTabs", TestTabs},     {"TestKey", TestKey},                 {"TestFailAllocation", TestFailAllocation},
    {"TestLock", TestLock},     {"TestTextRecords", TestTextRecords}, {"TestRedrawLayer", TestRedrawLayer},
    {nullptr, nullptr},
};

std::string ScriptsDirectory() { return std::string(VL_SOURCE_DIR) + "/tests/text/scripts"; }

std::vector<std::string> FindScripts() {
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(ScriptsDirectory()))
        if (entry.path().extension() == ".vls") names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class TextScript : public EventFixture, public testing::WithParamInterface<std::string> {};

TEST_P(TextScript, BehavesAsItsCommentsSay) {
    const std::string path = ScriptsDirectory() + "/" + GetParam();
    std::ifstream in(path);
    std::stringstream source;
    source << in.rdbuf();
    std::vector<std::string> expected;
    int expectedError = 0;
    std::istringstream lines(source.str());
    for (std::string line; std::getline(lines, line);) {
        const size_t at = line.find_first_not_of(" \t");
        if (at == std::string::npos || line[at] != ';') continue;
        const std::string comment = line.substr(at + 1);
        if (comment.rfind(" expect: ", 0) == 0) expected.push_back(comment.substr(9));
        else if (comment.rfind(" expect error: ", 0) == 0) expectedError = std::atoi(comment.c_str() + 15);
    }
    const std::string applet =
        (std::filesystem::temp_directory_path() / ("text_" + std::to_string(getpid()) + "_" + GetParam() + ".vla")).string();
    const std::string command = "'" + std::string(VL_BINARY_DIR) + "/tools/vlc' -o '" + applet + "' '" + path + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    LoadedApplet loaded;
    ASSERT_EQ(ReadAppletRecords(applet.c_str(), 0, applet.c_str(), &loaded), 0);
    std::filesystem::remove(applet);

    std::vector<std::string> output;
    Output = &output;
    ASSERT_EQ(layertest::SetUpLayerScripts(vm, &output), 0);
    kGraphicsLibrary.registerLibrary(vm);
    kTextLibrary.registerLibrary(vm);
    kTransitionFxLibrary.registerLibrary(vm);
    RegisterCommands(vm, kTestCommands);
    ASSERT_EQ(LoadChunkBuffer(vm, loaded.chunk.data(), loaded.chunk.size(), GetParam().c_str()), 0);
    const int code = ProtectedCall(vm, 0, 0, 0);
    TextAllocFailAfter = 0;
    layertest::TearDownLayerScripts(vm, display);
    kTextLibrary.freeAll(vm);
    Output = nullptr;
    for (std::string &line : output) line = std::regex_replace(line, std::regex("0x[0-9a-f]+"), "ADDR");
    EXPECT_EQ(code, expectedError) << "at line " << GetErrorLine(vm);
    for (size_t i = 0; i < std::max(output.size(), expected.size()); i++)
        EXPECT_EQ(i < output.size() ? output[i] : "<none>", i < expected.size() ? expected[i] : "<none>")
            << "output line " << i + 1;
}

std::string TestName(const testing::TestParamInfo<std::string> &info) {
    std::string name = info.param.substr(0, info.param.size() - 4);
    for (char &c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Scripts, TextScript, testing::ValuesIn(FindScripts()), TestName);

} // namespace
